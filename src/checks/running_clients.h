// Running clients, other setups and the installer's own mutex and pipe.
#pragma once

#include "app/context.h"

#include <string>

namespace zov {

class RunningClients {
  public:
    explicit RunningClients(RunContext& run) : run_(run) {}

    bool anyClientPresent();
    // The running client process "<Apppath>\<name>", opened; empty when none.
    ProcessHandle findClientProcess(const std::string& name);
    // 0 shut down or none running, 1 timed out, 2 a 16-bit client.
    int ShutdownClient();
    void startPipeServer(const std::string& pipeName);

  private:
    RunContext& run_;
};

} // namespace zov
