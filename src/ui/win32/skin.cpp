#include "ui/win32/skin.h"
#include "platform/win32/win32_util.h"

#include <commctrl.h>

#include <cstring>
#include <vector>

namespace zov::win32 {
namespace {

using GradientFillFn = BOOL(WINAPI*)(HDC, PTRIVERTEX, ULONG, PVOID, ULONG, ULONG);

GradientFillFn gradientFillFunction() {
    static GradientFillFn fn = [] {
        HMODULE module = loadSystemLibrary("msimg32.dll");
        return module != nullptr ? reinterpret_cast<GradientFillFn>(
                                       reinterpret_cast<void*>(GetProcAddress(module, "GradientFill")))
                                 : GradientFillFn{};
    }();
    return fn;
}

TRIVERTEX vertex(const appearance::Vertex& v) {
    // Channels widened to 16 bits.
    return {v.x,
            v.y,
            static_cast<COLOR16>(v.colour.r << 8),
            static_cast<COLOR16>(v.colour.g << 8),
            static_cast<COLOR16>(v.colour.b << 8),
            0};
}

appearance::Rgb rgbOf(COLORREF c) {
    return {GetRValue(c), GetGValue(c), GetBValue(c)};
}

// A vertical gradient clipped to a rounded rectangle inset from the button's edge.
void roundedLayer(HDC dc, const RECT& whole, int inset, COLORREF top, COLORREF bottom, bool solid) {
    RECT r{whole.left + inset, whole.top + inset, whole.right - inset, whole.bottom - inset};
    if (r.right <= r.left || r.bottom <= r.top)
        return;
    HRGN region = CreateRoundRectRgn(r.left, r.top, r.right + 1, r.bottom + 1, 2, 2);
    SelectClipRgn(dc, region);
    if (solid) {
        HBRUSH brush = CreateSolidBrush(top);
        FillRect(dc, &r, brush);
        DeleteObject(brush);
    } else {
        fillGradient(dc, r, top, bottom, 90);
    }
    SelectClipRgn(dc, nullptr);
    DeleteObject(region);
}

LRESULT CALLBACK linkProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                          DWORD_PTR tracking) {
    switch (message) {
    case WM_SETCURSOR: {
        // The hand only over the text itself.
        POINT pt;
        GetCursorPos(&pt);
        ScreenToClient(hwnd, &pt);
        char text[256];
        int n = GetWindowTextA(hwnd, text, sizeof text);
        HDC dc = GetDC(hwnd);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(hwnd, WM_GETFONT, 0, 0)));
        SIZE extent{0, 0};
        GetTextExtentPoint32A(dc, text, n, &extent);
        SelectObject(dc, old);
        ReleaseDC(hwnd, dc);
        bool over = pt.x >= 0 && pt.y >= 0 && pt.x < extent.cx && pt.y < extent.cy;
        SetCursor(LoadCursorA(nullptr, over ? reinterpret_cast<LPCSTR>(IDC_HAND)
                                            : reinterpret_cast<LPCSTR>(IDC_ARROW)));
        return TRUE;
    }
    case WM_MOUSEMOVE:
        if (*reinterpret_cast<bool*>(tracking) == false) {
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd, 0};
            *reinterpret_cast<bool*>(tracking) = TrackMouseEvent(&track) != FALSE;
        }
        break;
    case WM_MOUSELEAVE:
        *reinterpret_cast<bool*>(tracking) = false;
        SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, linkProc, 1);
        delete reinterpret_cast<bool*>(tracking);
        break;
    default:
        break;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

} // namespace

// -- Look ---------------------------------------------------------------------------------

Look::~Look() {
    for (auto& [key, font] : fonts_)
        DeleteObject(font);
}

COLORREF Look::colour(unsigned id) {
    return colour(appearance::colour(strings_.get(id)));
}

COLORREF Look::colour(appearance::Rgb rgb) {
    HDC screen = GetDC(nullptr);
    const bool palette = (GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE) != 0 ||
                         GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES) < 8;
    ReleaseDC(nullptr, screen);
    return palette ? PALETTERGB(rgb.r, rgb.g, rgb.b) : RGB(rgb.r, rgb.g, rgb.b);
}

HFONT Look::font(HWND like, const appearance::FontSetting& setting) {
    auto key = std::make_tuple(setting.face, setting.height, setting.bold, setting.italic);
    if (auto found = fonts_.find(key); found != fonts_.end())
        return found->second;
    LOGFONTA lf{};
    HFONT base = like != nullptr ? reinterpret_cast<HFONT>(SendMessageA(like, WM_GETFONT, 0, 0)) : nullptr;
    if (base == nullptr)
        base = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    GetObjectA(base, sizeof lf, &lf);
    lstrcpynA(lf.lfFaceName, setting.face.c_str(), LF_FACESIZE);
    lf.lfHeight = setting.height;
    lf.lfWidth = 0;
    lf.lfWeight = setting.bold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = setting.italic ? TRUE : FALSE;
    HFONT made = CreateFontIndirectA(&lf);
    if (made != nullptr)
        fonts_[key] = made;
    return made != nullptr ? made : base;
}

HFONT Look::pageFont(HWND like, bool bold) {
    using namespace appearance::setting;
    appearance::FontSetting f = appearance::font(strings_, kPageFont, kPageFont + 1, kPageFont + 2);
    f.bold = bold;
    return font(like, f);
}

bool highDpiDisplay() {
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi > 96;
}

bool paletteDisplay() {
    HDC screen = GetDC(nullptr);
    bool palette = (GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE) != 0;
    ReleaseDC(nullptr, screen);
    return palette;
}

bool highContrast() {
    HIGHCONTRASTA setting;
    std::memset(&setting, 0, sizeof setting);
    setting.cbSize = sizeof setting;
    return SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof setting, &setting, 0) &&
           (setting.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

// -- Picture ------------------------------------------------------------------------------

void Picture::release() {
    if (bitmap_ != nullptr)
        DeleteObject(bitmap_);
    if (palette_ != nullptr)
        DeleteObject(palette_);
    bitmap_ = nullptr;
    palette_ = nullptr;
    size_ = {0, 0};
    stretch_ = highDpi_ = false;
}

bool Picture::load(HINSTANCE instance, unsigned bitmapId) {
    release();
    bitmap_ = static_cast<HBITMAP>(
        LoadImageA(instance, MAKEINTRESOURCEA(bitmapId), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (bitmap_ == nullptr)
        return false;
    DIBSECTION dib{};
    GetObjectA(bitmap_, sizeof dib, &dib);
    size_ = {dib.dsBm.bmWidth, dib.dsBm.bmHeight};
    if (paletteDisplay()) {
        // The bitmap's own colours for 256 or fewer, a half-tone palette for deeper ones.
        HDC screen = GetDC(nullptr);
        if (dib.dsBmih.biBitCount <= 8) {
            RGBQUAD table[256];
            HDC mem = CreateCompatibleDC(screen);
            HGDIOBJ old = SelectObject(mem, bitmap_);
            UINT count = GetDIBColorTable(mem, 0, 256, table);
            SelectObject(mem, old);
            DeleteDC(mem);
            std::vector<unsigned char> storage(sizeof(LOGPALETTE) + sizeof(PALETTEENTRY) * 256);
            auto* lp = reinterpret_cast<LOGPALETTE*>(storage.data());
            lp->palVersion = 0x300;
            lp->palNumEntries = static_cast<WORD>(count);
            for (UINT i = 0; i < count; ++i)
                lp->palPalEntry[i] = {table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, 0};
            palette_ = CreatePalette(lp);
        } else {
            palette_ = CreateHalftonePalette(screen);
        }
        ReleaseDC(nullptr, screen);
    }
    return true;
}

void Picture::attach(HWND window, int frames) {
    if (!loaded() || frames <= 0)
        return;
    if (highDpiDisplay()) {
        highDpi_ = true;
        GetClientRect(window, &target_);
        return;
    }
    RECT wanted{0, 0, size_.cx / frames, size_.cy};
    AdjustWindowRectEx(&wanted, static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrA(window, GWL_EXSTYLE)));
    SetWindowPos(window, nullptr, 0, 0, wanted.right - wanted.left, wanted.bottom - wanted.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Picture::selectPalette(HDC dc) const {
    if (palette_ != nullptr) {
        SelectPalette(dc, palette_, TRUE);
        RealizePalette(dc);
    }
}

void Picture::draw(HDC dc, const RECT& area) const {
    if (!loaded())
        return;
    selectPalette(dc);
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, bitmap_);
    if (tiled_) {
        for (int y = 0; y < area.bottom; y += size_.cy)
            for (int x = 0; x < area.right; x += size_.cx)
                BitBlt(dc, x, y, size_.cx, size_.cy, mem, 0, 0, SRCCOPY);
    } else if (stretch_ || highDpi_) {
        int mode = SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        StretchBlt(dc, target_.left, target_.top, target_.right - target_.left, target_.bottom - target_.top,
                   mem, 0, 0, size_.cx, size_.cy, SRCCOPY);
        SetStretchBltMode(dc, mode);
    } else {
        BitBlt(dc, offset_.x, offset_.y, size_.cx, size_.cy, mem, 0, 0, SRCCOPY);
    }
    SelectObject(mem, old);
    DeleteDC(mem);
}

void Picture::drawFrame(HDC dc, int index, int frames, const RECT& into) const {
    if (!loaded())
        return;
    appearance::Slice slice = appearance::frameSlice(size_.cx, frames, index);
    selectPalette(dc);
    HDC mem = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(mem, bitmap_);
    const int w = into.right - into.left, h = into.bottom - into.top;
    if (w == slice.width && h == size_.cy) {
        BitBlt(dc, into.left, into.top, w, h, mem, slice.left, 0, SRCCOPY);
    } else {
        int mode = SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        StretchBlt(dc, into.left, into.top, w, h, mem, slice.left, 0, slice.width, size_.cy, SRCCOPY);
        SetStretchBltMode(dc, mode);
    }
    SelectObject(mem, old);
    DeleteDC(mem);
}

// -- Gradients and rounded buttons --------------------------------------------------------

bool fillGradient(HDC dc, const appearance::GradientMesh& mesh) {
    GradientFillFn fill = gradientFillFunction();
    if (fill == nullptr)
        return false;
    std::vector<TRIVERTEX> vertices;
    for (const appearance::Vertex& v : mesh.vertices)
        vertices.push_back(vertex(v));
    if (mesh.kind == appearance::GradientMesh::Kind::Triangles) {
        std::vector<GRADIENT_TRIANGLE> triangles;
        for (std::size_t i = 0; i + 2 < mesh.triangles.size(); i += 3)
            triangles.push_back({mesh.triangles[i], mesh.triangles[i + 1], mesh.triangles[i + 2]});
        return fill(dc, vertices.data(), static_cast<ULONG>(vertices.size()), triangles.data(),
                    static_cast<ULONG>(triangles.size()), GRADIENT_FILL_TRIANGLE) != FALSE;
    }
    GRADIENT_RECT rect{0, 1};
    const ULONG mode =
        mesh.kind == appearance::GradientMesh::Kind::Horizontal ? GRADIENT_FILL_RECT_H : GRADIENT_FILL_RECT_V;
    return fill(dc, vertices.data(), static_cast<ULONG>(vertices.size()), &rect, 1, mode) != FALSE;
}

void fillGradient(HDC dc, const RECT& rect, COLORREF start, COLORREF end, int angle) {
    auto mesh =
        appearance::gradient(rect.left, rect.top, rect.right, rect.bottom, rgbOf(start), rgbOf(end), angle);
    if (mesh && fillGradient(dc, *mesh))
        return;
    if (!mesh)
        return; // an angle that draws nothing
    HBRUSH brush = CreateSolidBrush(end);
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

void drawRoundedButton(const DRAWITEMSTRUCT& item, const RoundedColours& colours) {
    static HFONT caption =
        CreateFontA(12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "Arial");
    const RECT& r = item.rcItem;
    const int w = r.right - r.left, h = r.bottom - r.top;
    HDC mem = CreateCompatibleDC(item.hDC);
    HBITMAP canvas = CreateCompatibleBitmap(item.hDC, w, h);
    HGDIOBJ oldBitmap = SelectObject(mem, canvas);
    RECT whole{0, 0, w, h};
    OSVERSIONINFOA os{sizeof os, 0, 0, 0, 0, {}};
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    GetVersionExA(&os);
#pragma GCC diagnostic pop
    const bool solid = paletteDisplay() || (os.dwMajorVersion == 4 && os.dwMinorVersion == 0 &&
                                            os.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS);
    roundedLayer(mem, whole, 2, colours.dark, colours.middle, solid);
    roundedLayer(mem, whole, 3, colours.highlight, colours.light, solid);
    char text[128];
    int n = GetWindowTextA(item.hwndItem, text, sizeof text);
    HGDIOBJ oldFont = SelectObject(mem, caption);
    SetBkMode(mem, TRANSPARENT);
    SetTextColor(mem, RGB(1, 60, 89));
    DrawTextA(mem, text, n, &whole, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(mem, oldFont);

    HRGN clip = CreateRoundRectRgn(r.left + 2, r.top + 2, r.right - 1, r.bottom - 1, 2, 2);
    SelectClipRgn(item.hDC, clip);
    BitBlt(item.hDC, r.left, r.top, w, h, mem, 0, 0, SRCCOPY);
    SelectClipRgn(item.hDC, nullptr);
    DeleteObject(clip);
    if (item.itemState & ODS_FOCUS) {
        RECT focus{r.left + 5, r.top + 5, r.right - 5, r.bottom - 5};
        DrawFocusRect(item.hDC, &focus);
    }
    SelectObject(mem, oldBitmap);
    DeleteObject(canvas);
    DeleteDC(mem);
}

void makeLinkStatic(HWND control) {
    if (control == nullptr)
        return;
    SetWindowLongPtrA(control, GWL_STYLE, GetWindowLongPtrA(control, GWL_STYLE) | SS_NOTIFY);
    SetWindowSubclass(control, linkProc, 1, reinterpret_cast<DWORD_PTR>(new bool(false)));
}

} // namespace zov::win32
