// The frame window as the run sees it: what start-up, the checks and the frame's message
// protocol ask of whatever shows the frame. The Win32 frame window implements it; the tests
// use a fake.
#pragma once

#include "platform/ports.h"

#include <string>

namespace zov {

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

} // namespace zov
