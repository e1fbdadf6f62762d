// The resume-or-exit question of the cancel confirmation (template 155), and the dialogs of
// the checks as the interactive run shows them: this one and the cancel summary as dialogs
// of their own, the others through the dialogs it is given.
#pragma once

#include "run/dialogs.h"
#include "ui/win32/frame_window.h"
#include "ui/win32/skin.h"

#include <windows.h>

namespace zov::win32 {

class WizardDialogs final : public CheckDialogs {
  public:
    WizardDialogs(Look& look, FrameWindow& frame, CheckDialogs& others)
        : look_(look), frame_(frame), others_(others) {}

    // The modal CResumeSetupDlg: true for Resume Setup (also Escape), false for Exit Setup.
    bool resumeSetup() override;
    // The modal CCancelSummaryDlg once the run is known (setRunContext), else its stand-in.
    void cancelSummary() override;
    void setRunContext(RunContext& run) { run_ = &run; }
    int diskCleanup(DiskFigures& figures, bool systemCheck) override {
        return others_.diskCleanup(figures, systemCheck);
    }
    int diskSpacePage(DiskFigures& figures, bool duringInstall) override {
        return others_.diskSpacePage(figures, duringInstall);
    }

  private:
    Look& look_;
    FrameWindow& frame_;
    CheckDialogs& others_;
    RunContext* run_ = nullptr;
};

} // namespace zov::win32
