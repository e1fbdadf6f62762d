// The frame's message protocol: what each frame message does.
//
// FrameLogic decides; the Win32 frame window only routes its messages here and implements
// FrameView (run/frame_view.h) to show the result.
#pragma once

#include "run/context.h"
#include "run/frame_view.h"
#include "run/session.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace zov {

class CheckDialogs;

// The frame's progress text without a movie: a headline and as many feature lines as the
// percentage has earned, redrawn only when that number changes.
class FrameTextState {
  public:
    explicit FrameTextState(StringTable& strings) : strings_(strings) {}

    struct Step {
        bool startProgressBackground = false; // the first non-zero percentage arrived
        std::optional<FrameText> draw;
    };
    // `redraw` (a repaint of the frame) draws the last percentage again whatever changed.
    Step update(int percent, bool redraw, char installType, char lowRam);
    bool progressStarted() const { return started_; }
    int featureLineCount(char installType);

  private:
    StringTable& strings_;
    int lastPercent_ = 0;
    int linesShown_ = -1;
    int lineCount_ = -1;
    bool started_ = false;
};

class FrameLogic {
  public:
    FrameLogic(RunContext& run, InstallSession& session, FrameView& view, std::string settingsPath)
        : run_(run), session_(session), view_(view), settingsPath_(std::move(settingsPath)) {}

    // Handles a frame message. Returns false for messages left to default processing.
    bool handle(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam, std::intptr_t& result);

    bool coordinationAnswered() const { return coordinationAnswered_; }
    bool coordinationCancel() const { return coordinationCancel_; }
    // The progress dialog's Cancel, the movie's "cancel", or Close while the engine runs; the
    // next main progress update answers it.
    void requestCancel() { cancelRequest_ = true; }
    bool cancelRequested() const { return cancelRequest_; }
    // The frame's timer (2091, every 120 ms): the partner note, then the progress animation.
    void onFrameTimer();
    // A command from the movie: "cancel" (any letter case) raises the cancel request.
    void onMovieCommand(const std::string& command);
    // What a repaint of the frame draws as its progress text (nothing before any progress).
    std::optional<FrameText> frameTextForPaint();
    // The main bar's percentage, for the space still required at a checkpoint failure.
    int mainPercent() const { return mainPercent_; }
    bool progressShown() const { return progressShown_; }
    void setBusyBeforeEngine(bool on) { busyBeforeEngine_ = on; }
    // Close from the system menu, Alt+F4 or a page: while the engine runs it only asks the
    // engine to stop; otherwise the user confirms, and Exit ends the run with 1602.
    void onClose();
    bool engineRunning = false;
    // The cancel confirmation and the disk-space page of a checkpoint failure; message
    // boxes when unset.
    CheckDialogs* dialogs = nullptr;

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
    void createProgress();
    std::intptr_t frameHandle() const { return static_cast<std::intptr_t>(session_.frame); }
    void drawFrameText(const FrameTextState::Step& step);

    RunContext& run_;
    InstallSession& session_;
    FrameView& view_;
    std::string settingsPath_;
    bool coordinationAnswered_ = false;
    bool coordinationCancel_ = false;
    bool cancelRequest_ = false;
    bool progressShown_ = false;
    bool busyBeforeEngine_ = false;
    bool secondaryShown_ = false;
    int mainPercent_ = 0;
    bool partnerNoteShown_ = false;
    int animationFrame_ = 0;
    FrameTextState text_{run_.m.strings};
};

} // namespace zov
