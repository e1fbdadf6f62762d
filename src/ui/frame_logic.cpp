#include "ui/box_dialogs.h"
#include "ui/frame_logic.h"

#include "checks/disk_space.h"
#include "protocol/contract.h"

namespace zov {
namespace {

int clampPercent(std::intptr_t p) {
    return (p < 0 || p > 100) ? 0 : static_cast<int>(p);
}

} // namespace

void FrameLogic::postToFrame(std::uint32_t message) {
    run_.m.windows.postMessage(session_.frame, message, 0, 0);
}

void FrameLogic::createProgress() {
    view_.createProgress();
    mainPercent_ = 0;
}

bool FrameLogic::handle(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                        std::intptr_t& result) {
    Trace& trace = run_.trace;
    result = 0;
    switch (message) {
    case msg::InitProgress:
        if (session_.silent)
            return true;
        if (!view_.hasProgress()) {
            trace.printf("GUI: Creating progress dialog ...");
            createProgress();
            trace.printf("ok");
            progressShown_ = false;
        }
        view_.setMinimizeBox(false);
        return true;
    case msg::ShowProgress:
        if (session_.silent)
            return true;
        onShowProgress(wParam, lParam);
        return true;
    case msg::UpdateProgress:
        if (session_.silent)
            return true;
        result = onUpdateProgress(wParam, lParam);
        return true;
    case msg::KillProgress:
        if (session_.silent)
            return true;
        if (view_.hasProgress()) {
            trace.printf("GUI: Deleting progress dialog...");
            view_.destroyProgress();
            mainPercent_ = 0;
            trace.printf("ok");
        }
        view_.setCloseEnabled(true);
        view_.setMinimizeBox(true);
        return true;
    case msg::RebootRequest:
        trace.printf("GUI: Received reboot request via progress dialog.");
        if (run_.m.profile.writeString(settingsPath_, "exit", "RESTART", "Y")) {
            trace.printf("GUI: Reboot scheduled.");
        } else if (trace.on()) {
            trace.lastError(run_.m.system.lastError());
            trace.line("GUI ERROR -- Failed to schedule reboot due to above error.");
        }
        return true;
    case msg::DiskSpaceFail:
        result = onDiskSpaceFail();
        return true;
    case msg::ShowBusy:
        if (view_.hasFlash()) {
            if (lParam == 2) {
                view_.loadMovieSection("initializing");
                view_.gotoLabel("/", "start");
                view_.playMovie();
                view_.setCloseEnabled(false);
                if (!view_.hasProgress())
                    createProgress();
            } else if (lParam == 0) {
                view_.loadMovieSection("searching");
                view_.playMovie();
            }
        } else {
            view_.showBusy(static_cast<int>(wParam), static_cast<int>(lParam));
            if (!view_.hasProgress())
                createProgress();
            view_.setCloseEnabled(false);
        }
        return false;
    case msg::HideBusy:
        trace.printf("Deleting busy dialog (scanning)...");
        if (view_.destroyBusy())
            trace.printf("ok");
        if (!progressShown_)
            view_.setCloseEnabled(true);
        return false;
    case msg::ResetWizardBack:
        trace.printf("Resetting Flash 'Wizardback'");
        if (view_.hasFlash()) {
            view_.loadMovieSection("start");
            view_.gotoLabel("/", "wizardback");
            trace.printf("ok");
        }
        return false;
    case msg::SetMsieBackground:
        trace.printf("Set MSIE background");
        if (view_.hasFlash()) {
            view_.loadMovieSection("start");
            view_.gotoLabel("/", "wizardback");
            trace.printf("ok");
        }
        return false;
    case msg::ClearMsieBackground:
        trace.printf("Clear MSIE background");
        return false;
    case msg::EngineDone:
        coordinationAnswered_ = true;
        if (wParam == 0 || wParam == 1)
            coordinationCancel_ = wParam != 0;
        return true;
    case msg::WaitEngineBox:
        onWaitEngineBox();
        return true;
    case msg::SetInstallPhase:
        session_.installPhase = static_cast<int>(lParam);
        return true;
    default:
        return false;
    }
}

void FrameLogic::onClose() {
    if (engineRunning) {
        cancelRequest_ = true;
        return;
    }
    // The same confirmation as at the check prompts: Exit also shows the cancel summary.
    BoxDialogs boxes(run_);
    if (!CancelConfirmation(run_, dialogs != nullptr ? *dialogs : boxes).exitChosen()) {
        run_.abort = false;
        return;
    }
    view_.destroyBusy();
    view_.destroyProgress();
    run_.fail(1602);
}

void FrameLogic::onShowProgress(std::uintptr_t wParam, std::intptr_t lParam) {
    Trace& trace = run_.trace;
    if (busyBeforeEngine_) {
        busyBeforeEngine_ = false;
        postToFrame(msg::HideBusy);
    }
    if (view_.hasProgress()) {
        if (wParam == 0) {
            trace.printf("GUI: Showing progress dialog");
            view_.showProgress(false);
            progressShown_ = true;
            view_.bringToForeground();
            bool network = networkAlive();
            run_.history.SetValue("bb", network ? "1" : "0");
            if (view_.hasFlash()) {
                if (network)
                    view_.loadMovieSection("bband");
                else
                    view_.loadMovieSection(session_.installType == 'A' ? "newmember" : "upgrade");
            }
        } else if (wParam == 1) {
            trace.printf("GUI: Showing sec progress, %d", static_cast<int>(lParam));
            view_.showProgress(false);
            progressShown_ = true;
            view_.showSecondary(lParam != 0);
        }
    }
    view_.setCloseEnabled(false);
}

std::intptr_t FrameLogic::onUpdateProgress(std::uintptr_t kind, std::intptr_t percent) {
    Trace& trace = run_.trace;
    if (view_.hasProgress()) {
        if (view_.progressHidden() && !view_.minimizedOrMaximized())
            view_.showProgress(false);
        if (kind == 1) {
            if (percent != 0) {
                view_.setSecondaryProgress(clampPercent(percent));
                trace.printf("GUI: WM_UPDATEPROGRESS, %d", static_cast<int>(percent));
            }
            return 0;
        }
        if (kind != 0 && kind != 2)
            return 0;
        mainPercent_ = clampPercent(percent);
        view_.setMainProgress(mainPercent_);
    } else {
        trace.printf("GUI: Creating progress dialog ...");
        createProgress();
        view_.showProgress(false);
        trace.printf("ok");
        progressShown_ = true;
    }
    if (!progressShown_)
        return 0;
    if (!view_.hasFlash())
        view_.drawProgressText(clampPercent(percent));
    if (cancelRequest_) {
        view_.pauseMovie();
        cancelRequest_ = false;
        return frameHandle();
    }
    return 0;
}

std::intptr_t FrameLogic::onDiskSpaceFail() {
    Trace& trace = run_.trace;
    trace.printf("GUI: Checkpoint diskspace check failure");
    if (session_.silent)
        return 0;
    trace.printf("GUI: Showing Disk Cleanup Dialog due to checkpoint failure ...");
    postToFrame(msg::SetMsieBackground);
    // The part of the non-core files already in place needs no more room.
    DiskFigures figures;
    DiskSpace(run_).diskFigures(session_.installDirectory, settingsPath_, mainPercent_, figures);
    run_.history.RecordEvent(106);
    BoxDialogs boxes(run_);
    CheckDialogs& pages = dialogs != nullptr ? *dialogs : boxes;
    for (;;) {
        view_.setMinimizeBox(true);
        const int page = pages.checkpointDiskSpacePage(figures);
        view_.setMinimizeBox(false);
        if (page == CheckDialogs::kPageCancel && CancelConfirmation(run_, pages).exitChosen()) {
            run_.abort = true;
            view_.pauseMovie();
        }
        if (run_.abort)
            return frameHandle();
        if (page == CheckDialogs::kPageNext) {
            postToFrame(msg::ClearMsieBackground);
            run_.history.RecordEvent(115);
            return 0;
        }
        // Resume after a cancel, or a Back the page should not have offered: show it again.
    }
}

void FrameLogic::onWaitEngineBox() {
    // The engine shows its box after this message; a box that never comes must not hold
    // the install forever, so the wait for it to appear is bounded.
    WindowSystem& windows = run_.m.windows;
    Clock& clock = run_.m.clock;
    const std::string dialogClass = "#32770";
    const std::string titles[] = {"Velquonet", "ZOV"};
    std::uint32_t started = clock.tickCount();
    for (;;) {
        WindowHandle box = 0;
        for (const std::string& title : titles)
            if ((box = windows.findWindow(&dialogClass, &title)) != 0)
                break;
        if (box != 0) {
            windows.sendMessage(session_.frame, msg::SetMsieBackground, 0, 0);
            while (windows.windowExists(box)) {
                clock.sleep(200);
                windows.pumpMessages();
            }
            clock.sleep(50);
            break;
        }
        clock.sleep(50);
        if (clock.tickCount() - started >= engineBoxAppearLimitMs)
            break;
    }
    windows.sendMessage(session_.frame, msg::ClearMsieBackground, 0, 0);
}

} // namespace zov
