// The ordered checks that decide whether this machine may receive the client.
#pragma once

#include "app/context.h"
#include "app/session.h"

namespace zov {

class SystemChecks {
  public:
    SystemChecks(RunContext& run, InstallSession& session) : run_(run), session_(session) {}
    // 0 when the installation may go on, else the exit code to end with.
    int run();

  private:
    RunContext& run_;
    InstallSession& session_;
};

} // namespace zov
