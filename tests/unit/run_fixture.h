// A run context over the simulated machine, for tests of the modules that end a run.
#pragma once

#include "run/context.h"
#include "run/session.h"
#include "sim/sim_machine.h"

#include <gtest/gtest.h>

#include <functional>

namespace zov::sim {

// Ends the run by throwing, as the simulated process exit does.
class ThrowingFinisher : public Finisher {
  public:
    void finish(std::uint32_t code) override { throw Exited{code}; }
    void restartExit(std::uint32_t code) override { throw Exited{code}; }
};

class RunFixture : public ::testing::Test {
  protected:
    SimMachine sim;
    Machine machine = sim.machine();
    Trace trace{machine.traceWire, machine.clock, machine.system};
    CInstallHistory history{{machine.profile, machine.files, machine.system, machine.registry, machine.clock,
                             machine.checks.disk},
                            "9.0",
                            "4327.271"};
    InstallSession session;
    Prompts prompts{machine.windows, machine.strings, session.silent};
    ThrowingFinisher finisher;
    bool abort = false;
    RunContext run{machine, trace, history, prompts, finisher, abort};

    // The exit code the call ended the run with, or 0xFFFFFFFF when it returned.
    static std::uint32_t endCode(const std::function<void()>& call) {
        try {
            call();
        } catch (const Exited& e) {
            return e.code;
        }
        return 0xFFFFFFFF;
    }
};

} // namespace zov::sim
