// The installer's frame: one maximised top-level window hosting the progress and busy
// displays. What its messages mean is decided by FrameLogic; this only shows it.
#pragma once

#include "ui/frame_logic.h"

#include <windows.h>

#include <functional>

namespace zov::win32 {

class FrameWindow final : public FrameHost {
  public:
    using MessageRouter = std::function<bool(UINT, WPARAM, LPARAM, LRESULT&)>;

    FrameWindow(HINSTANCE instance, StringTable& strings) : instance_(instance), strings_(strings) {}

    void setRouter(MessageRouter router) { router_ = std::move(router); }
    void setCloseHandler(std::function<void()> onClose) { onClose_ = std::move(onClose); }
    // Told the new window's handle, so that message boxes get their owner.
    void setCreatedHandler(std::function<void(HWND)> onCreated) { onCreated_ = std::move(onCreated); }

    WindowHandle create() override;
    WindowHandle handle() override { return reinterpret_cast<WindowHandle>(hwnd_); }
    void show(bool visible) override;
    void destroyFlash() override {}
    void destroy() override;
    void shutdownFramework() override;

    bool hasProgress() override { return progress_ != nullptr; }
    void createProgress() override;
    void showProgress(bool outOfSight) override;
    bool progressHidden() override;
    void destroyProgress() override;
    void setMainProgress(int percent) override;
    void setSecondaryProgress(int percent) override;
    void showSecondary(bool shown) override;
    void showBusy(int dialogKind, int busyKind) override;
    bool destroyBusy() override;
    void setCloseEnabled(bool enabled) override;
    void setMinimizeBox(bool present) override;
    bool minimizedOrMaximized() override;
    void bringToForeground() override;
    void drawFrameText(const FrameText& text) override;
    void useProgressBackground() override {}
    void showPartnerNote(const std::string&) override {}
    bool drawProgressAnimation(int) override { return false; }
    bool hasFlash() override { return false; }
    bool loadMovieSection(const std::string&) override { return false; }
    void gotoLabel(const std::string&, const std::string&) override {}
    void playMovie() override {}
    void pauseMovie() override {}
    void resumeMovie() override {}
    bool useFlashProgress() override { return false; }
    void setMovieLoop(bool) override {}
    void setMovieVariable(const std::string&, const std::string&) override {}
    void saveMovie() override {}
    void restoreMovie() override {}

  private:
    static LRESULT CALLBACK windowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT onMessage(UINT, WPARAM, LPARAM);
    void layout();

    HINSTANCE instance_;
    StringTable& strings_;
    HWND hwnd_ = nullptr;
    HWND progress_ = nullptr; // panel holding the bars
    HWND mainBar_ = nullptr, mainText_ = nullptr;
    HWND secondaryBar_ = nullptr;
    HWND busy_ = nullptr;
    HFONT font_ = nullptr;
    MessageRouter router_;
    std::function<void()> onClose_;
    std::function<void(HWND)> onCreated_;
    std::string className_;
    std::string headline_;
};

} // namespace zov::win32
