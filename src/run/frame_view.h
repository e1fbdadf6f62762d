// The frame window as the run sees it: what start-up, the checks and the frame's message
// protocol ask of whatever shows the frame. The Win32 frame window implements it; the tests
// use a fake.
#pragma once

#include "platform/ports.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zov {

// The frame's progress text without a movie: the headline, then one entry per feature line
// shown (an empty entry stands for a line break only). The window erases its background and
// draws these over it, scaled and placed by its appearance settings.
struct FrameText {
    std::string headline;
    std::vector<std::string> lines;
};

// What media.ini says of the movies, once its sections have passed validation
// (ui/movie_media.h reads it).
struct MovieMedia {
    std::string folder; // the media folder, ending in a backslash
    bool useFlashProgress = false;
    int width = 0, height = 0; // fixed movie size; 0: fill the frame
    int stopsNewMember = 10, stopsUpgrade = 10;
};

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
    // The frame text without a movie (erase the background, then draw), and the switch of the
    // background to the progress picture once progress has started.
    virtual void drawFrameText(const FrameText& text) = 0;
    virtual void useProgressBackground() = 0;
    // The progress dialog's partner note (control 1075, shown with this text) and its
    // animation: frame `frame` of the 8-frame strip at control 1051; false when the dialog
    // has no such control.
    virtual void showPartnerNote(const std::string& text) = 0;
    virtual bool drawProgressAnimation(int frame) = 0;
    // The movie; all of these do nothing without a Flash control.
    virtual bool hasFlash() = 0;
    virtual bool loadMovieSection(const std::string& section) = 0;
    virtual void gotoLabel(const std::string& target, const std::string& label) = 0;
    virtual void playMovie() = 0;
    virtual void pauseMovie() = 0;
    virtual void resumeMovie() = 0; // a paused movie short of its last frame plays on
    virtual bool useFlashProgress() = 0;
    virtual void setMovieLoop(bool loop) = 0;
    virtual void setMovieVariable(const std::string& name, const std::string& value) = 0;
    virtual void saveMovie() = 0;    // remembers the movie and its frame
    virtual void restoreMovie() = 0; // back to what saveMovie remembered
    // A main progress report while a movie plays: the stop points due are reckoned and the
    // movie asked whether it plays; no command follows from either.
    virtual void movieProgress(int /*percent*/, bool /*newMember*/) {}
};

// The frame window's life, as start-up and finish drive it.
class FrameHost : public FrameView {
  public:
    virtual WindowHandle create() = 0; // 0 when the window cannot be made
    virtual WindowHandle handle() = 0;
    virtual void show(bool visible) = 0; // maximised, or hidden
    // The movie control of the given class (registry brace form) as a child of the frame,
    // laid out by `media`: the control's version (major in the high 16 bits), or 0 when it
    // could not be made or is older than 6, and then no control is kept.
    virtual std::uint32_t createMovie(const std::string& /*classId*/, const MovieMedia& /*media*/) {
        return 0;
    }
    virtual void destroyFlash() = 0;
    virtual void destroy() = 0;
    virtual void shutdownFramework() = 0;
};

} // namespace zov
