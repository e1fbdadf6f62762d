// The progress and busy displays the frame owns: the progress dialog with its two text
// progress bars, partner note and animation (template 179), and the busy dialog with its
// animation strip (template 156). What each frame message does to them is FrameLogic's.
#pragma once

#include "res/resource.h"
#include "ui/win32/skinned_dialog.h"

#include <functional>
#include <string>

namespace zov::win32 {

// A progress bar that paints its own percentage over the bar: the text in one colour over
// the filled part and in another over the rest. It keeps the standard progress messages
// (PBM_SETPOS, PBM_GETPOS, ...), so that any reader of the control sees its position.
struct TextProgressColours {
    COLORREF bar, background, textOverEmpty, textOverBar;
};
void makeTextProgress(HWND bar, const TextProgressColours& colours);

class ProgressDialog final : public SkinnedDialog {
  public:
    // Over a movie the dialog has no modal frame and its own background picture.
    ProgressDialog(Look& look, std::function<void()> onCancel, bool overMovie = false)
        : SkinnedDialog(look, IDD_PROGRESS), onCancel_(std::move(onCancel)), overMovie_(overMovie) {}

    // Made hidden over the frame, its bottom-right corner 10 pixels inside the frame's.
    bool createOver(HWND frame);
    void place(HWND frame);
    void setMain(int percent);
    void setSecondary(int percent);
    void showSecondary(bool shown);
    void showPartnerNote(const std::string& text);
    // Frame `frame` of the 8-frame strip at the animation's place; false without one.
    bool drawAnimation(int frame);

  protected:
    void onInit() override;
    bool onCommand(int id, int code, HWND control) override;
    void paintBackground(HDC dc) override;

  private:
    void drawAnimationFrame(HDC dc);
    std::function<void()> onCancel_;
    bool overMovie_;
    Picture animation_;
    int animationFrame_ = -1;
};

class BusyDialog final : public SkinnedDialog {
  public:
    static constexpr UINT_PTR kAnimationTimer = 100;
    static constexpr UINT kAnimationPeriodMs = 80;

    BusyDialog(Look& look, int dialogKind, int busyKind)
        : SkinnedDialog(look, IDD_BUSY), dialogKind_(dialogKind), busyKind_(busyKind) {}

  protected:
    void onInit() override;
    void onTimer(UINT_PTR id) override;
    void onDestroy() override;
    void paintBackground(HDC dc) override;
    // Escape and Enter do nothing: the wait is not the user's to end.
    bool onCommand(int id, int, HWND) override { return id == IDOK || id == IDCANCEL; }

  private:
    void drawFrame(HDC dc);
    int dialogKind_, busyKind_;
    Picture strip_;
    int frames_ = 25;
    int frame_ = 0;
};

} // namespace zov::win32
