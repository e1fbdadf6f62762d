// The dialogs the checks and the run sequence need from the user interface, behind one
// small interface, and the cancel confirmation built on them. The user interface implements
// `CheckDialogs`; the checks and the run only see this header.
#pragma once

#include "run/context.h"

#include <cstdint>

namespace zov {

// The figures the disk dialogs show; filled by the disk step of the checks and after the
// engine's disk-space error. Kilobytes.
struct DiskFigures {
    char installDrive = 'C';
    char systemDrive = 'C';
    std::uint32_t availableInstall = 0;
    std::uint32_t availableSystem = 0;
    std::int32_t requiredInstall = 0;
    std::int32_t requiredSystem = 0;
};

class CheckDialogs {
  public:
    static constexpr int kCleanupContinue = 1;
    static constexpr int kCleanupCancel = 2;
    static constexpr int kPageBack = -1;
    static constexpr int kPageCancel = 0;
    static constexpr int kPageNext = 1;

    virtual ~CheckDialogs() = default;
    // The resume-or-exit dialog: true for Resume Setup, false for Exit Setup.
    virtual bool resumeSetup() = 0;
    // The cancel summary, shown modally until the user leaves it.
    virtual void cancelSummary() = 0;
    // The disk cleanup dialog; the system-check flag offers Cancel. kCleanupContinue or
    // kCleanupCancel.
    virtual int diskCleanup(DiskFigures& figures, bool systemCheck) = 0;
    // The disk-space page: kPageNext, kPageBack, or kPageCancel when the user asked to
    // cancel (the caller asks the cancel confirmation). During the install (a checkpoint
    // failure) the page has no Back and no change of drive.
    virtual int diskSpacePage(DiskFigures& figures, bool duringInstall) = 0;
};

// Asked whenever the user cancels: Exit or Resume. In a silent run the answer is Exit at
// once; otherwise history event 128, the resume dialog, and on Exit event 134 and the
// cancel summary.
class CancelConfirmation {
  public:
    CancelConfirmation(RunContext& run, CheckDialogs& dialogs) : run_(run), dialogs_(dialogs) {}
    bool exitChosen();

  private:
    RunContext& run_;
    CheckDialogs& dialogs_;
};

} // namespace zov
