// A run over the simulated machine for the fuzz targets that drive whole modules: the
// context every module takes, with an end of the run that throws sim::Exited.
#pragma once

#include "run/context.h"
#include "run/session.h"
#include "sim/sim_machine.h"

namespace zov::fuzz {

class ThrowingFinisher final : public Finisher {
  public:
    [[noreturn]] void finish(std::uint32_t code) override { throw sim::Exited{code}; }
    [[noreturn]] void restartExit(std::uint32_t code) override { throw sim::Exited{code}; }
};

struct SimRun {
    sim::SimMachine sim;
    Machine machine = sim.machine();
    Trace trace{machine.traceWire, machine.clock, machine.system};
    CInstallHistory history{
        {machine.profile, machine.files, machine.system, machine.registry, machine.clock}, "9.0", "4327.271"};
    InstallSession session;
    Prompts prompts{machine.windows, machine.strings, session.silent};
    ThrowingFinisher finisher;
    bool abort = false;
    RunContext run{machine, trace, history, prompts, finisher, abort};
};

} // namespace zov::fuzz
