// A run context over the simulated machine: tracing, the history record, the session values
// and the prompts, with a finish that ends the run by throwing, as the simulated process exit
// does. For the tests and benchmarks of the modules that take a RunContext.
#pragma once

#include "run/context.h"
#include "run/session.h"
#include "sim/sim_machine.h"

namespace zov::sim {

class ThrowingFinisher : public Finisher {
  public:
    void finish(std::uint32_t code) override { throw Exited{code}; }
    void restartExit(std::uint32_t code) override { throw Exited{code}; }
};

struct SimRun {
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
};

} // namespace zov::sim
