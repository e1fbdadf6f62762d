#include "ui/win32/skinned_dialog.h"

#include <commctrl.h>

namespace zov::win32 {

SkinnedDialog::~SkinnedDialog() {
    destroy();
    if (backgroundBrush_ != nullptr)
        DeleteObject(backgroundBrush_);
}

bool SkinnedDialog::create(HWND parent) {
    hwnd_ = CreateDialogParamA(look_.instance(), MAKEINTRESOURCEA(template_), parent, dialogProc,
                               reinterpret_cast<LPARAM>(this));
    return hwnd_ != nullptr;
}

namespace {

// A window that is disabled already waits for a dialog of ours (the agreement over the frame,
// say). A question asked over it belongs to that dialog: closing the question then enables
// the dialog again, not the window under it, which would take input while the dialog is up.
HWND modalOwner(HWND owner) {
    if (owner == nullptr || IsWindowEnabled(owner))
        return owner;
    HWND popup = GetLastActivePopup(owner);
    return popup != nullptr && popup != owner && IsWindowVisible(popup) && IsWindowEnabled(popup) ? popup
                                                                                                  : owner;
}

} // namespace

INT_PTR SkinnedDialog::runModal(HWND owner) {
    return DialogBoxParamA(look_.instance(), MAKEINTRESOURCEA(template_), modalOwner(owner), dialogProc,
                           reinterpret_cast<LPARAM>(this));
}

void SkinnedDialog::destroy() {
    if (hwnd_ != nullptr && IsWindow(hwnd_))
        DestroyWindow(hwnd_);
    hwnd_ = nullptr;
}

INT_PTR CALLBACK SkinnedDialog::dialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
        reinterpret_cast<SkinnedDialog*>(lParam)->hwnd_ = hwnd;
    }
    auto* self = reinterpret_cast<SkinnedDialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    if (self == nullptr)
        return FALSE;
    INT_PTR result = self->handle(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, DWLP_USER, 0);
        self->hwnd_ = nullptr;
    }
    return result;
}

INT_PTR SkinnedDialog::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    INT_PTR taken = 0;
    if (message != WM_INITDIALOG && onMessage(message, wParam, lParam, taken))
        return taken;
    switch (message) {
    case WM_INITDIALOG:
        onInit();
        return TRUE;
    case WM_ERASEBKGND:
        paintBackground(reinterpret_cast<HDC>(wParam));
        SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, 1);
        return TRUE;
    case WM_CTLCOLORDLG:
        return backgroundBrush_ != nullptr ? reinterpret_cast<INT_PTR>(backgroundBrush_) : FALSE;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return controlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_DRAWITEM:
        return drawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)) ? TRUE : FALSE;
    case WM_COMMAND:
        return onCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)) ? TRUE : FALSE;
    case WM_TIMER:
        onTimer(wParam);
        return TRUE;
    case WM_DESTROY:
        onDestroy();
        if (tooltip_ != nullptr)
            DestroyWindow(tooltip_);
        tooltip_ = nullptr;
        return TRUE;
    default:
        return FALSE;
    }
}

void SkinnedDialog::paintBackground(HDC dc) {
    RECT client;
    GetClientRect(hwnd_, &client);
    if (gradient_) {
        if (paletteDisplay()) {
            HBRUSH brush = CreateSolidBrush(gradientEnd_);
            FillRect(dc, &client, brush);
            DeleteObject(brush);
        } else {
            fillGradient(dc, client, gradientStart_, gradientEnd_, gradientAngle_);
        }
    } else {
        FillRect(dc, &client,
                 backgroundBrush_ != nullptr ? backgroundBrush_
                                             : reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    }
    background_.draw(dc, client);
}

INT_PTR SkinnedDialog::controlColour(HDC dc, HWND control) {
    const int id = GetDlgCtrlID(control);
    auto colour = textColours_.find(id);
    SetTextColor(dc, links_.count(id)               ? kLinkColour
                     : colour != textColours_.end() ? colour->second
                                                    : defaultText_);
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
}

bool SkinnedDialog::drawItem(const DRAWITEMSTRUCT& item) {
    auto found = buttons_.find(static_cast<int>(item.CtlID));
    if (item.CtlType != ODT_BUTTON || found == buttons_.end())
        return false;
    const Button& button = found->second;
    if (button.rounded) {
        drawRoundedButton(item, button.colours);
        return true;
    }
    const int frame =
        appearance::buttonFrame((item.itemState & ODS_SELECTED) != 0, (item.itemState & ODS_FOCUS) != 0,
                                (item.itemState & ODS_DISABLED) != 0, button.frames);
    button.strip->drawFrame(item.hDC, frame, button.frames, item.rcItem);
    if (button.drawText) {
        char text[256];
        int n = GetWindowTextA(item.hwndItem, text, sizeof text);
        RECT r{item.rcItem.left + button.insets.left, item.rcItem.top + button.insets.top,
               item.rcItem.right + button.insets.right, item.rcItem.bottom + button.insets.bottom};
        HGDIOBJ old =
            SelectObject(item.hDC, reinterpret_cast<HFONT>(SendMessageA(item.hwndItem, WM_GETFONT, 0, 0)));
        SetBkMode(item.hDC, TRANSPARENT);
        SetTextColor(item.hDC, defaultText_);
        DrawTextA(item.hDC, text, n, &r,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
        SelectObject(item.hDC, old);
    }
    return true;
}

void SkinnedDialog::useBackground(unsigned bitmapId) {
    if (background_.load(look_.instance(), bitmapId))
        background_.attach(hwnd_, 1);
}

void SkinnedDialog::useBackgroundColour(COLORREF colour) {
    if (backgroundBrush_ != nullptr)
        DeleteObject(backgroundBrush_);
    backgroundBrush_ = CreateSolidBrush(colour);
}

void SkinnedDialog::useGradient(COLORREF start, COLORREF end, int angle) {
    gradient_ = true;
    gradientStart_ = start;
    gradientEnd_ = end;
    gradientAngle_ = angle;
}

void SkinnedDialog::skinButton(int id, unsigned bitmapId) {
    HWND control = item(id);
    char cls[16];
    if (control == nullptr || !GetClassNameA(control, cls, sizeof cls) || lstrcmpiA(cls, "Button") != 0)
        return;
    const LONG_PTR type = GetWindowLongPtrA(control, GWL_STYLE) & BS_TYPEMASK;
    if (type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON && type != BS_OWNERDRAW)
        return;
    Button button;
    button.strip = std::make_unique<Picture>();
    if (!button.strip->load(look_.instance(), bitmapId))
        return;
    button.frames = appearance::stripFrames(bitmapId);
    SendMessageA(control, BM_SETSTYLE, BS_OWNERDRAW, FALSE);
    button.strip->attach(control, button.frames);
    buttons_[id] = std::move(button);
    InvalidateRect(control, nullptr, FALSE);
}

void SkinnedDialog::drawButtonText(int id, RECT insets) {
    auto found = buttons_.find(id);
    if (found == buttons_.end())
        return;
    found->second.drawText = true;
    found->second.insets = insets;
}

void SkinnedDialog::roundButton(int id, const RoundedColours& colours) {
    HWND control = item(id);
    if (control == nullptr)
        return;
    Button button;
    button.rounded = true;
    button.colours = colours;
    SendMessageA(control, BM_SETSTYLE, BS_OWNERDRAW, FALSE);
    buttons_[id] = std::move(button);
}

void SkinnedDialog::linkStatic(int id) {
    links_.insert(id);
    makeLinkStatic(item(id));
}

void SkinnedDialog::setFont(int id, HFONT font) {
    if (HWND control = item(id))
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

void SkinnedDialog::setText(int id, const std::string& text) {
    HWND control = item(id);
    if (control == nullptr)
        return;
    SetWindowTextA(control, text.c_str());
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&r), 2);
    InvalidateRect(hwnd_, &r, TRUE);
}

void SkinnedDialog::showControl(int id, bool shown) {
    HWND control = item(id);
    // The control's own flag: before the dialog shows, every child reads as invisible.
    if (control == nullptr || ((GetWindowLongPtrA(control, GWL_STYLE) & WS_VISIBLE) != 0) == shown)
        return;
    ShowWindow(control, shown ? SW_SHOW : SW_HIDE);
    if (!shown) {
        // Nothing paints over a hidden transparent control: the background must.
        RECT r;
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&r), 2);
        InvalidateRect(hwnd_, &r, TRUE);
    }
}

void SkinnedDialog::addTooltip(int id, const std::string& text) {
    HWND control = item(id);
    if (control == nullptr || text.empty() || text[0] == '|')
        return;
    if (tooltip_ == nullptr) {
        tooltip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                                   look_.instance(), nullptr);
        if (tooltip_ == nullptr)
            return;
        SendMessageA(tooltip_, TTM_SETMAXTIPWIDTH, 0, 300);
    }
    tips_[id] = text;
    TOOLINFOA tool{};
    tool.cbSize = TTTOOLINFOA_V1_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = const_cast<char*>(tips_[id].c_str());
    SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

void SkinnedDialog::centreOver(HWND over) {
    if (over == nullptr)
        return;
    RECT me, area;
    GetWindowRect(hwnd_, &me);
    const bool child = (GetWindowLongPtrA(hwnd_, GWL_STYLE) & WS_CHILD) != 0;
    if (child)
        GetClientRect(over, &area);
    else
        GetWindowRect(over, &area);
    const int w = me.right - me.left, h = me.bottom - me.top;
    SetWindowPos(hwnd_, nullptr, area.left + (area.right - area.left - w) / 2,
                 area.top + (area.bottom - area.top - h) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SkinnedDialog::moveTo(int x, int y) {
    SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace zov::win32
