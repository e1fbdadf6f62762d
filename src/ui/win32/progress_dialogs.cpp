#include "ui/win32/progress_dialogs.h"

#include <commctrl.h>

#include <cstdio>

namespace zov::win32 {
namespace {

// -- The text progress bar ----------------------------------------------------------------

struct TextProgress {
    TextProgressColours colours;
    int lastWidth = -1;
};

int barPixels(HWND bar, int position) {
    RECT client;
    GetClientRect(bar, &client);
    PBRANGE range{};
    SendMessageA(bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    return appearance::textProgress(range.iLow, range.iHigh, position, client.right).barWidth;
}

void paintTextProgress(HWND bar, const TextProgress& state) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(bar, &ps);
    RECT client;
    GetClientRect(bar, &client);
    PBRANGE range{};
    SendMessageA(bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    const int position = static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0));
    const appearance::BarGeometry g =
        appearance::textProgress(range.iLow, range.iHigh, position, client.right);
    if (g.draw) {
        // Drawn off screen, then copied: no flicker as the bar grows.
        HDC mem = CreateCompatibleDC(dc);
        HBITMAP canvas = CreateCompatibleBitmap(dc, client.right, client.bottom);
        HGDIOBJ oldBitmap = SelectObject(mem, canvas);
        RECT filled{0, 0, g.barWidth, client.bottom}, rest{g.barWidth, 0, client.right, client.bottom};
        HBRUSH barBrush = CreateSolidBrush(state.colours.bar);
        HBRUSH restBrush = CreateSolidBrush(state.colours.background);
        FillRect(mem, &filled, barBrush);
        FillRect(mem, &rest, restBrush);
        DeleteObject(barBrush);
        DeleteObject(restBrush);

        char text[128];
        int n = GetWindowTextA(bar, text, sizeof text);
        if (n == 0)
            n = std::snprintf(text, sizeof text, "%d%%", g.percent);
        HGDIOBJ oldFont =
            SelectObject(mem, reinterpret_cast<HFONT>(SendMessageA(GetParent(bar), WM_GETFONT, 0, 0)));
        SetBkMode(mem, TRANSPARENT);
        const UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;
        HRGN clip = CreateRectRgnIndirect(&filled);
        SelectClipRgn(mem, clip);
        SetTextColor(mem, state.colours.textOverBar);
        DrawTextA(mem, text, n, &client, format);
        SetRectRgn(clip, rest.left, rest.top, rest.right, rest.bottom);
        SelectClipRgn(mem, clip);
        SetTextColor(mem, state.colours.textOverEmpty);
        DrawTextA(mem, text, n, &client, format);
        SelectClipRgn(mem, nullptr);
        DeleteObject(clip);
        SelectObject(mem, oldFont);
        BitBlt(dc, 0, 0, client.right, client.bottom, mem, 0, 0, SRCCOPY);
        SelectObject(mem, oldBitmap);
        DeleteObject(canvas);
        DeleteDC(mem);
    }
    EndPaint(bar, &ps);
}

LRESULT CALLBACK textProgressProc(HWND bar, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                  DWORD_PTR data) {
    auto* state = reinterpret_cast<TextProgress*>(data);
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        paintTextProgress(bar, *state);
        return 0;
    case PBM_SETPOS:
    case PBM_DELTAPOS:
    case PBM_STEPIT: {
        // Repainted at once only when the bar's width in pixels changes.
        LRESULT previous = DefSubclassProc(bar, message, wParam, lParam);
        ValidateRect(bar, nullptr);
        const int width = barPixels(bar, static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0)));
        if (width != state->lastWidth) {
            state->lastWidth = width;
            RedrawWindow(bar, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        }
        return previous;
    }
    case WM_SETTEXT: {
        LRESULT r = DefSubclassProc(bar, message, wParam, lParam);
        RedrawWindow(bar, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        return r;
    }
    case WM_NCDESTROY:
        RemoveWindowSubclass(bar, textProgressProc, 1);
        delete state;
        break;
    default:
        break;
    }
    return DefSubclassProc(bar, message, wParam, lParam);
}

} // namespace

void makeTextProgress(HWND bar, const TextProgressColours& colours) {
    if (bar == nullptr)
        return;
    SendMessageA(bar, PBM_SETRANGE32, 0, 100);
    SetWindowSubclass(bar, textProgressProc, 1, reinterpret_cast<DWORD_PTR>(new TextProgress{colours, -1}));
}

// -- The progress dialog ------------------------------------------------------------------

bool ProgressDialog::createOver(HWND frame) {
    if (!create(frame))
        return false;
    place(frame);
    return true;
}

void ProgressDialog::place(HWND frame) {
    RECT outer, me;
    GetWindowRect(frame, &outer);
    GetWindowRect(hwnd(), &me);
    moveTo(outer.right - 10 - (me.right - me.left), outer.bottom - 10 - (me.bottom - me.top));
}

void ProgressDialog::onInit() {
    using namespace appearance::setting;
    if (overMovie_) {
        SetWindowLongPtrA(hwnd(), GWL_STYLE,
                          GetWindowLongPtrA(hwnd(), GWL_STYLE) & ~static_cast<LONG_PTR>(DS_MODALFRAME));
        SetWindowLongPtrA(hwnd(), GWL_EXSTYLE,
                          GetWindowLongPtrA(hwnd(), GWL_EXSTYLE) &
                              ~static_cast<LONG_PTR>(WS_EX_DLGMODALFRAME));
        SetWindowPos(hwnd(), nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
        useBackgroundColour(look_.colour(IDS_PROGRESS_BACKGROUND_MOVIE));
        useBackground(IDB_PROGRESS_BACKGROUND);
    } else {
        useBackgroundColour(look_.colour(kProgressBackground));
    }
    skinButton(IDCANCEL, IDB_CANCEL);
    SetWindowTextA(hwnd(), look_.text(IDS_PROGRESS_CAPTION).c_str());
    const TextProgressColours colours{look_.colour(kBarColour), look_.colour(kBarBackground),
                                      look_.colour(kBarColour), look_.colour(kBarBackground)};
    makeTextProgress(item(IDC_MAIN_BAR), colours);
    makeTextProgress(item(IDC_SECONDARY_BAR), colours);
    setDefaultTextColour(look_.colour(kPageText));
    if (item(IDC_ANIMATION) != nullptr)
        animation_.load(look_.instance(), IDB_PROGRESS_ANIMATION);
}

bool ProgressDialog::onCommand(int id, int code, HWND) {
    // The cancel button and Escape only raise the cancel request: the engine's next progress
    // report carries it.
    if (id == IDCANCEL && (code == BN_CLICKED || code == 0)) {
        if (onCancel_)
            onCancel_();
        return true;
    }
    return id == IDOK;
}

void ProgressDialog::setMain(int percent) {
    showControl(IDC_SECONDARY_BAR, false);
    showControl(IDC_SECONDARY_LABEL, false);
    SendDlgItemMessageA(hwnd(), IDC_MAIN_BAR, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    char text[32];
    std::snprintf(text, sizeof text, "%d%%", percent);
    setText(IDC_MAIN_PERCENT, text);
}

void ProgressDialog::setSecondary(int percent) {
    showControl(IDC_SECONDARY_BAR, true);
    showControl(IDC_SECONDARY_LABEL, true);
    SendDlgItemMessageA(hwnd(), IDC_SECONDARY_BAR, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    char text[32];
    std::snprintf(text, sizeof text, "%d%%", percent);
    setText(IDC_SECONDARY_PERCENT, text);
}

void ProgressDialog::showSecondary(bool shown) {
    showControl(IDC_SECONDARY_BAR, shown);
    showControl(IDC_SECONDARY_LABEL, shown);
    UpdateWindow(hwnd());
}

void ProgressDialog::showPartnerNote(const std::string& text) {
    setText(IDC_PARTNER_NOTE, text);
    showControl(IDC_PARTNER_NOTE, true);
}

bool ProgressDialog::drawAnimation(int frame) {
    if (item(IDC_ANIMATION) == nullptr || !animation_.loaded())
        return false;
    animationFrame_ = frame;
    HDC dc = GetDC(hwnd());
    drawAnimationFrame(dc);
    ReleaseDC(hwnd(), dc);
    return true;
}

void ProgressDialog::drawAnimationFrame(HDC dc) {
    HWND place = item(IDC_ANIMATION);
    if (place == nullptr || animationFrame_ < 0)
        return;
    RECT r;
    GetWindowRect(place, &r);
    MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&r), 2);
    animation_.drawFrame(dc, animationFrame_, ZOV_PROGRESS_ANIMATION_FRAMES, r);
}

void ProgressDialog::paintBackground(HDC dc) {
    SkinnedDialog::paintBackground(dc);
    drawAnimationFrame(dc);
}

// -- The busy dialog ----------------------------------------------------------------------

void BusyDialog::onInit() {
    using namespace appearance::setting;
    SetWindowTextA(hwnd(), look_.text(IDS_CAPTION).c_str());
    useBackgroundColour(look_.colour(kBusyBackground));
    useBackground(dialogKind_ == 1 ? IDB_BUSY_FEATURES_BACKGROUND : IDB_BUSY_BACKGROUND);
    setDefaultTextColour(look_.colour(kPageText));
    setFont(IDC_BUSY_TEXT, look_.font(item(IDC_BUSY_TEXT), kBusyFont, kBusyFont + 1, kBusyFont + 2));
    SetDlgItemTextA(hwnd(), IDC_BUSY_TEXT, look_.text(appearance::busyTextId(busyKind_)).c_str());
    frames_ = look_.number(kBusyFrames);
    if (frames_ <= 0)
        frames_ = 25;
    if (strip_.load(look_.instance(), IDB_BUSY_ANIMATION))
        SetTimer(hwnd(), kAnimationTimer, kAnimationPeriodMs, nullptr);
}

void BusyDialog::onTimer(UINT_PTR id) {
    if (id != kAnimationTimer)
        return;
    HDC dc = GetDC(hwnd());
    drawFrame(dc);
    ReleaseDC(hwnd(), dc);
    frame_ = (frame_ + 1) % frames_;
}

void BusyDialog::drawFrame(HDC dc) {
    HWND place = item(IDC_ANIMATION);
    if (place == nullptr || !strip_.loaded())
        return;
    RECT r;
    GetWindowRect(place, &r);
    MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&r), 2);
    strip_.drawFrame(dc, frame_, frames_, r);
}

void BusyDialog::paintBackground(HDC dc) {
    SkinnedDialog::paintBackground(dc);
    drawFrame(dc);
}

void BusyDialog::onDestroy() {
    KillTimer(hwnd(), kAnimationTimer);
}

} // namespace zov::win32
