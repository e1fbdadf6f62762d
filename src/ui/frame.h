// The frame window as the run sees it, and the frame's message protocol.
//
// FrameLogic decides what each frame message does; the Win32 frame window only routes its
// messages here and implements FrameView to show the result.
#pragma once

#include "app/context.h"
#include "app/session.h"

#include <cstdint>
#include <functional>
#include <string>

namespace zov {

class CheckDialogs;

// What the logic asks of the window: progress and busy displays, menu state, the movie.
class FrameView {
  public:
    virtual ~FrameView() = default;
    virtual bool hasProgress() = 0;
    virtual void createProgress() = 0; // hidden
    virtual void showProgress(bool outOfSight) = 0;
    virtual bool progressHidden() = 0;
    virtual void destroyProgress() = 0;
    virtual void setMainProgress(int percent) = 0;
    virtual void setSecondaryProgress(int percent) = 0;
    virtual void showSecondary(bool shown) = 0;
    virtual void showBusy(int dialogKind, int busyKind) = 0; // replaces any busy display
    virtual bool destroyBusy() = 0;                          // true when there was one
    virtual void setCloseEnabled(bool enabled) = 0;
    virtual void setMinimizeBox(bool present) = 0;
    virtual bool minimizedOrMaximized() = 0;
    virtual void bringToForeground() = 0;
    virtual void drawProgressText(int percent) = 0; // the frame text without a movie
    // The movie; all of these do nothing without a Flash control.
    virtual bool hasFlash() = 0;
    virtual bool loadMovieSection(const std::string& section) = 0;
    virtual void gotoLabel(const std::string& target, const std::string& label) = 0;
    virtual void playMovie() = 0;
    virtual void pauseMovie() = 0;
};

// The frame window's life, as start-up and finish drive it.
class FrameHost : public FrameView {
  public:
    virtual WindowHandle create() = 0; // 0 when the window cannot be made
    virtual WindowHandle handle() = 0;
    virtual void show(bool visible) = 0; // maximised, or hidden
    virtual void destroyFlash() = 0;
    virtual void destroy() = 0;
    virtual void shutdownFramework() = 0;
};

class FrameLogic {
  public:
    FrameLogic(RunContext& run, InstallSession& session, FrameView& view, std::string settingsPath)
        : run_(run), session_(session), view_(view), settingsPath_(std::move(settingsPath)) {}

    // Handles a frame message. Returns false for messages left to default processing.
    bool handle(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t& result);

    bool coordinationAnswered() const { return coordinationAnswered_; }
    bool coordinationCancel() const { return coordinationCancel_; }
    void requestCancel() {
        cancelRequest_ = true;
    } // the progress dialog's Cancel, or Close while the engine runs
    bool cancelRequested() const { return cancelRequest_; }
    bool progressShown() const { return progressShown_; }
    void setBusyBeforeEngine(bool on) { busyBeforeEngine_ = on; }
    // Close from the system menu, Alt+F4 or a page: while the engine runs it only asks the
    // engine to stop; otherwise the user confirms, and Exit ends the run with 1602.
    void onClose();
    bool engineRunning = false;
    // The resume dialog and cancel summary of the cancel confirmation; message boxes when unset.
    CheckDialogs* dialogs = nullptr;

    // The disk-space page shown when the engine fails a checkpoint: 1 Next, 0 exit.
    std::function<int()> diskSpacePage = [] { return 0; };
    // Network probe for the "bb" history value.
    std::function<bool()> networkAlive = [] { return false; };
    // How long to wait for an engine message box to appear before giving up.
    std::uint32_t engineBoxAppearLimitMs = 30000;

  private:
    std::intptr_t onUpdateProgress(std::uintptr_t kind, std::intptr_t percent);
    std::intptr_t onDiskSpaceFail();
    void onShowProgress(std::uintptr_t wParam, std::intptr_t lParam);
    void onWaitEngineBox();
    void postToFrame(std::uint32_t message);
    std::intptr_t frameHandle() const { return static_cast<std::intptr_t>(session_.frame); }

    RunContext& run_;
    InstallSession& session_;
    FrameView& view_;
    std::string settingsPath_;
    bool coordinationAnswered_ = false;
    bool coordinationCancel_ = false;
    bool cancelRequest_ = false;
    bool progressShown_ = false;
    bool busyBeforeEngine_ = false;
};

} // namespace zov
