// The stand-in user interface of the checks: each dialog as a task-modal message box with
// the same choices. The real dialog classes replace it behind `CheckDialogs`.
#pragma once

#include "run/dialogs.h"

namespace zov {

class BoxDialogs final : public CheckDialogs {
  public:
    explicit BoxDialogs(RunContext& run) : run_(run) {}
    bool resumeSetup() override;
    void cancelSummary() override;
    int diskCleanup(DiskFigures& figures, bool systemCheck) override;
    int diskSpacePage(DiskFigures& figures, bool duringInstall) override;

    static const char* const kResumeText;

  private:
    RunContext& run_;
};

} // namespace zov
