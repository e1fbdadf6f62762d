// The base of every page and dialog the setup draws itself: a dialog from a template with a
// bitmap, colour or gradient background, transparent text controls in the settings' fonts and
// colours, bitmap-strip and rounded owner-drawn buttons, link-like statics and tooltips. A
// dialog class adds only its own controls and commands.
#pragma once

#include "ui/win32/skin.h"

#include <windows.h>

#include <map>
#include <memory>
#include <set>
#include <string>

namespace zov::win32 {

class SkinnedDialog {
  public:
    SkinnedDialog(Look& look, int templateId) : look_(look), template_(templateId) {}
    virtual ~SkinnedDialog();
    SkinnedDialog(const SkinnedDialog&) = delete;
    SkinnedDialog& operator=(const SkinnedDialog&) = delete;

    // A modeless dialog over `parent`; false when the window could not be made.
    bool create(HWND parent);
    // A modal dialog owned by `owner`; the value EndDialog was given, or -1.
    INT_PTR runModal(HWND owner);
    void destroy();
    HWND hwnd() const { return hwnd_; }
    HWND item(int id) const { return GetDlgItem(hwnd_, id); }
    int templateId() const { return template_; }
    bool visible() const { return hwnd_ != nullptr && IsWindowVisible(hwnd_); }

  protected:
    virtual void onInit() {}
    // A WM_COMMAND; true when the dialog took it.
    virtual bool onCommand(int /*id*/, int /*code*/, HWND /*control*/) { return false; }
    virtual void onTimer(UINT_PTR /*id*/) {}
    // Any other message, before the base looks at it; true (with `result`) to take it.
    virtual bool onMessage(UINT /*message*/, WPARAM, LPARAM, INT_PTR& /*result*/) { return false; }
    virtual void onDestroy() {}
    // The background: gradient, colour, then the picture.
    virtual void paintBackground(HDC dc);

    // The page background: the bitmap drawn at the origin on every erase; the dialog takes
    // its size (stretched into the dialog on a high-DPI display).
    void useBackground(unsigned bitmapId);
    void useBackgroundColour(COLORREF colour);
    void useGradient(COLORREF start, COLORREF end, int angle);
    // A push button drawn from a bitmap strip (4 or 5 frames); nothing for other controls.
    void skinButton(int id, unsigned bitmapId);
    // A skinned button that draws its own text inside the given insets (left, top, right,
    // bottom; negative values move the right and bottom edges in).
    void drawButtonText(int id, RECT insets);
    void roundButton(int id, const RoundedColours& colours);
    void linkStatic(int id);
    void setFont(int id, HFONT font);
    void setTextColour(int id, COLORREF colour) { textColours_[id] = colour; }
    void setDefaultTextColour(COLORREF colour) { defaultText_ = colour; }
    // Sets a control's text and repaints what lies under it (the controls are transparent).
    void setText(int id, const std::string& text);
    void showControl(int id, bool shown);
    void addTooltip(int id, const std::string& text);
    // Centres the dialog over a window (its client area when the dialog is a child of it).
    void centreOver(HWND over);
    void moveTo(int x, int y);

    Look& look_;

  private:
    static INT_PTR CALLBACK dialogProc(HWND, UINT, WPARAM, LPARAM);
    INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);
    bool drawItem(const DRAWITEMSTRUCT& item);
    INT_PTR controlColour(HDC dc, HWND control);

    struct Button {
        std::unique_ptr<Picture> strip;
        int frames = 4;
        bool rounded = false;
        RoundedColours colours = RoundedColours::standard();
        bool drawText = false;
        RECT insets{0, 0, 0, 0};
    };

    int template_;
    HWND hwnd_ = nullptr;
    Picture background_;
    HBRUSH backgroundBrush_ = nullptr;
    bool gradient_ = false;
    COLORREF gradientStart_ = RGB(0, 0, 0), gradientEnd_ = RGB(255, 255, 255);
    int gradientAngle_ = 90;
    std::map<int, Button> buttons_;
    std::map<int, COLORREF> textColours_;
    COLORREF defaultText_ = RGB(0, 0, 0);
    std::set<int> links_;
    HWND tooltip_ = nullptr;
    std::map<int, std::string> tips_; // the texts the tooltip control points into
};

} // namespace zov::win32
