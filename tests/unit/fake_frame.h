// A frame that records what the run asked of it.
#pragma once

#include "run/frame_view.h"

#include <functional>
#include <string>
#include <vector>

namespace zov::sim {

class FakeFrame : public FrameHost {
  public:
    WindowHandle handleValue = 0x5150;
    bool createFails = false;
    bool created = false, destroyed = false, visible = false, shown = false;
    bool progress = false, progressVisible = false, busy = false, closeEnabled = true, minimizeBox = true;
    int mainPercent = -1, secondaryPercent = -1;
    bool secondary = false;
    std::vector<int> busyKinds;

    // Makes the window's handle; the scenario tests register a simulated window here
    // whose messages reach the installer.
    std::function<WindowHandle()> makeWindow;

    WindowHandle create() override {
        if (createFails)
            return 0;
        created = true;
        if (makeWindow)
            handleValue = makeWindow();
        return handleValue;
    }
    WindowHandle handle() override { return created ? handleValue : 0; }
    void show(bool v) override {
        shown = true;
        visible = v;
    }
    void destroyFlash() override {}
    void destroy() override { destroyed = true; }
    void shutdownFramework() override {}
    bool hasProgress() override { return progress; }
    void createProgress() override { progress = true; }
    void showProgress(bool outOfSight) override {
        progressVisible = true;
        progressOutOfSight = outOfSight;
    }
    bool progressHidden() override { return progress && !progressVisible; }
    void destroyProgress() override { progress = progressVisible = false; }
    void setMainProgress(int p) override { mainPercent = p; }
    void setSecondaryProgress(int p) override { secondaryPercent = p; }
    void showSecondary(bool shown) override { secondary = shown; }
    void showBusy(int, int busyKind) override {
        busy = true;
        busyKinds.push_back(busyKind);
    }
    bool destroyBusy() override {
        bool was = busy;
        busy = false;
        return was;
    }
    void setCloseEnabled(bool e) override { closeEnabled = e; }
    void setMinimizeBox(bool p) override { minimizeBox = p; }
    bool minimizedOrMaximized() override { return false; }
    void bringToForeground() override {}
    void drawFrameText(const FrameText& t) override { frameTexts.push_back(t); }
    void useProgressBackground() override { progressBackground = true; }
    void showPartnerNote(const std::string& text) override { partnerNotes.push_back(text); }
    bool drawProgressAnimation(int frame) override {
        animationFrames.push_back(frame);
        return progress;
    }
    // The movie control: made when createMovie is answered with a version of 6 or later.
    std::uint32_t createMovie(const std::string& classId, const MovieMedia& media) override {
        movieClasses.push_back(classId);
        movieMedia = media;
        flash = movieVersion > 0x5FFFF;
        return flash ? movieVersion : 0;
    }
    bool hasFlash() override { return flash; }
    bool loadMovieSection(const std::string& section) override {
        if (flash)
            movieSections.push_back(section);
        return flash;
    }
    void gotoLabel(const std::string&, const std::string&) override {}
    void playMovie() override { ++moviePlays; }
    void pauseMovie() override {}
    void resumeMovie() override {}
    bool useFlashProgress() override { return flashProgress; }
    void setMovieLoop(bool) override {}
    void setMovieVariable(const std::string&, const std::string&) override {}
    void saveMovie() override {}
    void restoreMovie() override {}

    std::vector<FrameText> frameTexts;
    bool progressBackground = false;
    std::vector<std::string> partnerNotes;
    std::vector<int> animationFrames;
    int moviePlays = 0;
    std::uint32_t movieVersion = 0;
    bool flash = false;
    bool flashProgress = false;      // media.ini's use_flash_progress
    bool progressOutOfSight = false; // as last shown
    std::vector<std::string> movieClasses, movieSections;
    MovieMedia movieMedia;
};

} // namespace zov::sim
