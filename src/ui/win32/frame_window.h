// The installer's frame: one maximised top-level window with the product's background,
// hosting the wizard pages and the progress and busy dialogs. What its messages mean is
// decided by FrameLogic; this only shows it.
#pragma once

#include "ui/frame_logic.h"
#include "ui/win32/movie_host.h"
#include "ui/win32/progress_dialogs.h"
#include "ui/win32/skin.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>

namespace zov::win32 {

// Posted by the frame to itself when it gets the focus: activate the window in lParam.
constexpr UINT WM_ACTIVATEPAGE = WM_USER + 20;

class FrameWindow final : public FrameHost {
  public:
    using MessageRouter = std::function<bool(UINT, WPARAM, LPARAM, LRESULT&)>;
    static constexpr UINT_PTR kFrameTimer = 2091;
    static constexpr UINT kFrameTimerPeriodMs = 120;

    FrameWindow(HINSTANCE instance, Look& look) : instance_(instance), look_(look) {}
    ~FrameWindow() override;

    // Routes every frame message to FrameLogic first.
    void setRouter(MessageRouter router) { router_ = std::move(router); }
    // Close from the system menu, Alt+F4 or a page.
    void setCloseHandler(std::function<void()> onClose) { onClose_ = std::move(onClose); }
    // Told the new window's handle, so that message boxes get their owner.
    void setCreatedHandler(std::function<void(HWND)> onCreated) { onCreated_ = std::move(onCreated); }
    // The frame timer's work, the progress dialog's cancel, and the text a repaint draws.
    void setTimerHandler(std::function<void()> onTimer) { onTimer_ = std::move(onTimer); }
    void setCancelHandler(std::function<void()> onCancel) { onCancel_ = std::move(onCancel); }
    void setPaintText(std::function<std::optional<FrameText>()> paintText) {
        paintText_ = std::move(paintText);
    }
    // What the movie needs besides the window: media.ini and the trace; and who hears its
    // commands.
    void setMovieSupport(ProfileStore& profile, Trace& trace) {
        profile_ = &profile;
        trace_ = &trace;
    }
    void setMovieCommandHandler(std::function<void(const std::string&)> onCommand) {
        onMovieCommand_ = std::move(onCommand);
    }
    // Modeless dialogs made or destroyed (their keys must reach them in every message loop).
    void setDialogHandler(std::function<void(HWND, bool)> onDialog) { onDialog_ = std::move(onDialog); }

    HWND hwnd() const { return hwnd_; }
    // The wizard page on show, for activation; null between pages.
    void setCurrentPage(HWND page) { currentPage_ = page; }
    HWND currentPage() const { return currentPage_; }
    HWND progressWindow() const { return progress_ ? progress_->hwnd() : nullptr; }

    WindowHandle create() override;
    WindowHandle handle() override { return reinterpret_cast<WindowHandle>(hwnd_); }
    void show(bool visible) override;
    std::uint32_t createMovie(const std::string& classId, const MovieMedia& media) override;
    void destroyFlash() override { movie_.reset(); }
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
    void useProgressBackground() override;
    void showPartnerNote(const std::string& text) override;
    bool drawProgressAnimation(int frame) override;
    bool hasFlash() override { return movie_ != nullptr; }
    bool loadMovieSection(const std::string& section) override;
    void gotoLabel(const std::string& target, const std::string& label) override;
    void playMovie() override;
    void pauseMovie() override;
    void resumeMovie() override;
    bool useFlashProgress() override { return movie_ != nullptr && media_.useFlashProgress; }
    void setMovieLoop(bool loop) override;
    void setMovieVariable(const std::string& name, const std::string& value) override;
    void saveMovie() override;
    void restoreMovie() override;
    void movieProgress(int percent, bool newMember) override;

    // Brings the frame forward even when another program holds the foreground.
    void forceForeground();

  private:
    static LRESULT CALLBACK windowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT onMessage(UINT, WPARAM, LPARAM);
    void useBackground(unsigned bitmapId, unsigned tiledId, unsigned leftId, unsigned topId);
    void eraseBackground(HDC dc);
    void paintText(HDC dc, const FrameText& text);
    void onFocus(HWND lost);
    void layOutMovie();

    HINSTANCE instance_;
    Look& look_;
    HWND hwnd_ = nullptr;
    Picture background_;
    HBRUSH brush_ = nullptr;
    HPEN pen_ = nullptr;
    std::unique_ptr<ProgressDialog> progress_;
    std::unique_ptr<BusyDialog> busy_;
    HWND currentPage_ = nullptr;
    MessageRouter router_;
    std::function<void()> onClose_, onTimer_, onCancel_;
    std::function<void(HWND)> onCreated_;
    std::function<std::optional<FrameText>()> paintText_;
    std::function<void(HWND, bool)> onDialog_;
    std::string className_;
    std::unique_ptr<MovieHost> movie_;
    MovieMedia media_;
    bool moviePaused_ = false;
    std::string savedMovie_;
    long savedFrame_ = 0;
    ProfileStore* profile_ = nullptr;
    Trace* trace_ = nullptr;
    std::function<void(const std::string&)> onMovieCommand_;
};

} // namespace zov::win32
