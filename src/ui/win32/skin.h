// The drawing pieces every page and dialog shares: the appearance settings as GDI objects,
// bitmap pictures (backgrounds, button strips, animation strips), gradients and the rounded
// buttons of the skinned dialogs. What to draw is decided by ui/appearance.h.
#pragma once

#include "platform/ports.h"
#include "ui/appearance.h"

#include <windows.h>

#include <map>
#include <string>
#include <tuple>

namespace zov::win32 {

// The appearance settings of the string table as colours and fonts. Fonts are kept for the
// life of the Look (one per face, height, weight and slant).
class Look {
  public:
    Look(HINSTANCE instance, StringTable& strings) : instance_(instance), strings_(strings) {}
    ~Look();
    Look(const Look&) = delete;
    Look& operator=(const Look&) = delete;

    HINSTANCE instance() const { return instance_; }
    StringTable& strings() { return strings_; }
    std::string text(unsigned id) { return strings_.get(id); }
    int number(unsigned id) { return appearance::number(strings_.get(id)); }
    bool flag(unsigned id) { return appearance::flag(strings_.get(id)); }
    // A colour setting; palette-relative on a palette display or one of fewer than 8 bits.
    COLORREF colour(unsigned id);
    COLORREF colour(appearance::Rgb rgb);
    // The font of `like` (a control, or null for the system's dialog font) with the setting's
    // face, height and weight.
    HFONT font(HWND like, const appearance::FontSetting& setting);
    HFONT font(HWND like, unsigned faceId, unsigned heightId, unsigned boldId, unsigned italicId = 0) {
        return font(like, appearance::font(strings_, faceId, heightId, boldId, italicId));
    }
    // The page font (2000-2002) with the bold flag replaced.
    HFONT pageFont(HWND like, bool bold);

  private:
    HINSTANCE instance_;
    StringTable& strings_;
    std::map<std::tuple<std::string, int, bool, bool>, HFONT> fonts_;
};

// True on a display of more than 96 logical pixels per inch: pictures stretch into their
// windows instead of sizing them.
bool highDpiDisplay();
bool paletteDisplay();
// The user's high-contrast setting is on: text areas take the system's window colour
// instead of the skin's.
bool highContrast();

// A bitmap resource with its palette, drawn at an offset, tiled, stretched, or one frame of a
// strip at a time.
class Picture {
  public:
    Picture() = default;
    ~Picture() { release(); }
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    bool load(HINSTANCE instance, unsigned bitmapId);
    bool loaded() const { return bitmap_ != nullptr; }
    int width() const { return size_.cx; }
    int height() const { return size_.cy; }
    void setOffset(int x, int y) { offset_ = {x, y}; }
    void setTiled(bool tiled) { tiled_ = tiled; }
    void stretchTo(const RECT& target) {
        stretch_ = true;
        target_ = target;
    }
    // Sizes the window's client area to one frame, or on a high-DPI display stretches the
    // picture into the client area the window has.
    void attach(HWND window, int frames);
    void draw(HDC dc, const RECT& area) const;
    // Frame i of n at (x, y); with a size, stretched into it.
    void drawFrame(HDC dc, int index, int frames, const RECT& into) const;

  private:
    void release();
    void selectPalette(HDC dc) const;

    HBITMAP bitmap_ = nullptr;
    HPALETTE palette_ = nullptr;
    SIZE size_{0, 0};
    POINT offset_{0, 0};
    bool tiled_ = false;
    bool stretch_ = false;
    bool highDpi_ = false;
    RECT target_{0, 0, 0, 0};
};

// GradientFill of msimg32, loaded by full path from the system folder on first use; false when
// the system has none (the caller then fills with a solid colour).
bool fillGradient(HDC dc, const appearance::GradientMesh& mesh);
void fillGradient(HDC dc, const RECT& rect, COLORREF start, COLORREF end, int angle);

// The four colours of a rounded button (highlight, light, dark, middle).
struct RoundedColours {
    COLORREF highlight, light, dark, middle;
    static RoundedColours standard() {
        return {RGB(222, 241, 250), RGB(98, 186, 227), RGB(35, 118, 153), RGB(35, 118, 153)};
    }
    static RoundedColours grey() {
        return {RGB(255, 255, 255), RGB(204, 226, 240), RGB(90, 114, 138), RGB(135, 160, 190)};
    }
    static RoundedColours green() {
        return {RGB(255, 255, 255), RGB(183, 235, 156), RGB(78, 174, 4), RGB(106, 204, 101)};
    }
};
void drawRoundedButton(const DRAWITEMSTRUCT& item, const RoundedColours& colours);

// The link-like static: hand cursor over its text, transparent text in the link colour; a
// click reaches the dialog as the control's command.
void makeLinkStatic(HWND control);
constexpr COLORREF kLinkColour = RGB(61, 109, 162);

} // namespace zov::win32
