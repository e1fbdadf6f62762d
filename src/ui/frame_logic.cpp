#include "ui/box_dialogs.h"
#include "ui/frame_logic.h"
#include "checks/disk_space.h"
#include "protocol/contract.h"
#include "platform/message_waits.h"
#include "run/text.h"

#include <cmath>

namespace zov {
namespace {

int clampPercent(std::intptr_t p) {
    return (p < 0 || p > 100) ? 0 : static_cast<int>(p);
}

constexpr unsigned kNewMemberLines = 10000, kOtherLines = 10020, kMaxLines = 10;
constexpr int kAnimationFrames = 8;

} // namespace

int FrameTextState::featureLineCount(char installType) {
    if (lineCount_ < 0) {
        const unsigned first = installType == 'A' ? kNewMemberLines : kOtherLines;
        lineCount_ = 0;
        while (lineCount_ < static_cast<int>(kMaxLines) &&
               !startsWithNoCase(strings_.get(first + lineCount_), "|"))
            ++lineCount_;
    }
    return lineCount_;
}

FrameTextState::Step FrameTextState::update(int p, bool redraw, char installType, char lowRam) {
    Step step;
    if (redraw)
        p = lastPercent_;
    if (p > 100 || p < 0)
        p = 0;
    if (p == lastPercent_ && !redraw)
        return step;
    if (lastPercent_ == 0 && p >= 1 && !started_) {
        started_ = true;
        step.startProgressBackground = true;
    }
    if (p == 0)
        return step;
    const int count = featureLineCount(installType);
    const int shown = static_cast<int>(std::floor(p * 0.01 * count)) + (started_ ? 1 : 0);
    if (shown == linesShown_ && !redraw)
        return step;
    const bool newMember = installType == 'A';
    const unsigned headline = lowRam == 'T' ? (newMember ? 2065 : 2067) : (newMember ? 2092 : 2093);
    FrameText text;
    text.headline = strings_.get(headline);
    // Lines past the table's ten entries have no text of their own.
    const unsigned first = newMember ? kNewMemberLines : kOtherLines;
    for (int i = 0; i < shown && i < static_cast<int>(kMaxLines); ++i) {
        std::string line = strings_.get(first + i);
        text.lines.push_back(startsWithNoCase(line, "|") ? std::string() : line);
    }
    step.draw = std::move(text);
    linesShown_ = shown;
    lastPercent_ = p;
    return step;
}

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
            // The request belongs to the dialog: a later engine run starts without it.
            cancelRequest_ = false;
            secondaryShown_ = false;
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
            view_.saveMovie();
            view_.loadMovieSection("start");
            view_.gotoLabel("/", "wizardback");
            trace.printf("ok");
        }
        return false;
    case msg::ClearMsieBackground:
        trace.printf("Clear MSIE background");
        if (view_.hasFlash()) {
            view_.restoreMovie();
            trace.printf("ok");
        }
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
            if (view_.useFlashProgress()) {
                view_.showProgress(true);
                progressShown_ = true;
            } else {
                trace.printf("GUI: Showing progress dialog");
                view_.showProgress(false);
                progressShown_ = true;
                view_.bringToForeground();
            }
            const bool network = networkAlive();
            if (view_.hasFlash()) {
                run_.history.SetValue("bb", "0");
                if (network) {
                    run_.history.SetValue("bb", "1");
                    view_.loadMovieSection("bband");
                } else {
                    view_.loadMovieSection(session_.installType == 'A' ? "newmember" : "upgrade");
                }
                view_.setMovieLoop(false);
                view_.setMovieVariable("LE", session_.lowRam == 'T' ? "1" : "0");
            } else {
                run_.history.SetValue("bb", network ? "1" : "0");
            }
        } else if (wParam == 1) {
            trace.printf("GUI: Showing sec progress, %d", static_cast<int>(lParam));
            // Shown where it is: with the movie drawing the bars it stays out of sight.
            view_.showProgress(view_.useFlashProgress());
            progressShown_ = true;
            secondaryShown_ = lParam != 0;
            view_.showSecondary(secondaryShown_);
        }
    }
    view_.setCloseEnabled(false);
}

std::intptr_t FrameLogic::onUpdateProgress(std::uintptr_t kind, std::intptr_t lParam) {
    Trace& trace = run_.trace;
    const int percent = clampPercent(lParam);
    if (view_.hasProgress()) {
        if (view_.progressHidden() && !view_.minimizedOrMaximized() && !view_.useFlashProgress())
            view_.showProgress(false);
        if (kind == 1) {
            if (lParam != 0) {
                if (!secondaryShown_) {
                    secondaryShown_ = true;
                    view_.showSecondary(true);
                }
                view_.setSecondaryProgress(percent);
                trace.printf("GUI: WM_UPDATEPROGRESS, %d", static_cast<int>(lParam));
                if (view_.useFlashProgress()) {
                    view_.setMovieVariable("ShowSec", "1");
                    view_.setMovieVariable("SecProgress", std::to_string(percent));
                }
            }
            return 0;
        }
        if (kind != 0 && kind != 2)
            return 0;
        if (secondaryShown_) {
            secondaryShown_ = false;
            view_.showSecondary(false);
        }
        mainPercent_ = percent;
        view_.setMainProgress(percent);
        if (view_.useFlashProgress()) {
            view_.setMovieVariable("ShowSec", "0");
            view_.setMovieVariable("MainProgress", std::to_string(percent));
        }
    } else {
        trace.printf("GUI: Creating progress dialog ...");
        createProgress();
        view_.showProgress(view_.useFlashProgress());
        trace.printf("ok");
        progressShown_ = true;
        // The secondary form is posted: it can neither answer a cancel request nor stand for
        // the whole install's progress.
        if (kind != 0 && kind != 2)
            return 0;
    }
    if (!progressShown_ && !view_.useFlashProgress())
        return 0;
    if (view_.hasFlash()) {
        view_.resumeMovie();
        view_.movieProgress(percent, session_.installType == 'A');
    } else
        drawFrameText(text_.update(percent, false, session_.installType, session_.lowRam));
    if (cancelRequest_) {
        view_.pauseMovie();
        cancelRequest_ = false;
        return frameHandle();
    }
    return 0;
}

void FrameLogic::drawFrameText(const FrameTextState::Step& step) {
    if (step.startProgressBackground)
        view_.useProgressBackground();
    if (step.draw)
        view_.drawFrameText(*step.draw);
}

std::optional<FrameText> FrameLogic::frameTextForPaint() {
    FrameTextState::Step step = text_.update(0, true, session_.installType, session_.lowRam);
    return step.draw;
}

void FrameLogic::onFrameTimer() {
    if (!view_.hasProgress())
        return;
    if (!partnerNoteShown_) {
        partnerNoteShown_ = true;
        view_.showPartnerNote(run_.m.strings.get(1076));
    }
    if (view_.drawProgressAnimation(animationFrame_))
        animationFrame_ = (animationFrame_ + 1) % kAnimationFrames;
}

void FrameLogic::onMovieCommand(const std::string& command) {
    if (equalsNoCase(command, "cancel") && view_.hasProgress())
        requestCancel();
}

std::intptr_t FrameLogic::onDiskSpaceFail() {
    Trace& trace = run_.trace;
    trace.printf("GUI: Checkpoint diskspace check failure");
    if (session_.silent)
        return 0;
    trace.printf("GUI: Showing Disk Cleanup Dialog due to checkpoint failure ...");
    postToFrame(msg::SetMsieBackground);
    DiskFigures figures;
    DiskSpace(run_).diskFigures(session_.installDirectory, settingsPath_, mainPercent_, figures);
    run_.history.RecordEvent(106);
    BoxDialogs boxes(run_);
    CheckDialogs& pages = dialogs != nullptr ? *dialogs : boxes;
    for (;;) {
        view_.setMinimizeBox(true);
        int page = pages.diskSpacePage(figures, true);
        view_.setMinimizeBox(false);
        // The page's exit asks first; Resume shows the page again.
        if (page == CheckDialogs::kPageCancel && CancelConfirmation(run_, pages).exitChosen()) {
            run_.abort = true;
            view_.pauseMovie();
            return frameHandle();
        }
        if (run_.abort)
            return frameHandle();
        if (page == CheckDialogs::kPageNext) {
            postToFrame(msg::ClearMsieBackground);
            run_.history.RecordEvent(115);
            return 0;
        }
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
            while (windows.windowExists(box))
                pumpFor(windows, clock, 200);
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
