#include "ui/win32/frame_window.h"

#include <commctrl.h>

#include <cstdio>

namespace zov::win32 {
namespace {

constexpr int kPanelWidth = 360;
constexpr int kPanelHeight = 120;

unsigned busyTextId(int busyKind) {
    switch (busyKind) {
    case 1:
        return 1310;
    case 2:
        return 1334;
    case 3:
        return 1320;
    case 5:
        return 1353;
    case 6:
        return 38;
    default:
        return 1047;
    }
}

} // namespace

WindowHandle FrameWindow::create() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    className_ = strings_.get(1);
    WNDCLASSA wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance_;
    wc.hIcon = LoadIconA(instance_, MAKEINTRESOURCEA(128));
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = className_.c_str();
    if (!RegisterClassA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return 0;
    std::string title = strings_.get(2);
    hwnd_ = CreateWindowA(className_.c_str(), title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance_, this);
    if (hwnd_ == nullptr)
        return 0;
    font_ = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    HMENU menu = GetSystemMenu(hwnd_, FALSE);
    DeleteMenu(menu, SC_RESTORE, MF_BYCOMMAND);
    DeleteMenu(menu, SC_MOVE, MF_BYCOMMAND);
    DeleteMenu(menu, SC_SIZE, MF_BYCOMMAND);
    if (onCreated_)
        onCreated_(hwnd_);
    return handle();
}

void FrameWindow::show(bool visible) {
    if (hwnd_ == nullptr)
        return;
    ShowWindow(hwnd_, visible ? SW_SHOWMAXIMIZED : SW_HIDE);
    UpdateWindow(hwnd_);
}

void FrameWindow::destroy() {
    if (hwnd_ != nullptr && IsWindow(hwnd_))
        DestroyWindow(hwnd_);
    hwnd_ = nullptr;
    progress_ = busy_ = nullptr;
}

void FrameWindow::shutdownFramework() {
    if (!className_.empty())
        UnregisterClassA(className_.c_str(), instance_);
}

void FrameWindow::createProgress() {
    if (progress_ != nullptr || hwnd_ == nullptr)
        return;
    progress_ = CreateWindowExA(WS_EX_DLGMODALFRAME, "STATIC", "", WS_CHILD | SS_NOTIFY, 0, 0, kPanelWidth,
                                kPanelHeight, hwnd_, nullptr, instance_, nullptr);
    std::string caption = strings_.get(1312);
    HWND label = CreateWindowA("STATIC", caption.c_str(), WS_CHILD | WS_VISIBLE, 12, 10, 200, 18, progress_,
                               nullptr, instance_, nullptr);
    mainBar_ = CreateWindowA(PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 12, 34, kPanelWidth - 80, 18,
                             progress_, reinterpret_cast<HMENU>(1064), instance_, nullptr);
    mainText_ = CreateWindowA("STATIC", "0%", WS_CHILD | WS_VISIBLE, kPanelWidth - 60, 34, 44, 18, progress_,
                              reinterpret_cast<HMENU>(1070), instance_, nullptr);
    secondaryBar_ = CreateWindowA(PROGRESS_CLASSA, "", WS_CHILD, 12, 64, kPanelWidth - 80, 14, progress_,
                                  reinterpret_cast<HMENU>(1074), instance_, nullptr);
    for (HWND w : {label, mainText_})
        SendMessageA(w, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    SendMessageA(mainBar_, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendMessageA(secondaryBar_, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    layout();
}

void FrameWindow::layout() {
    if (hwnd_ == nullptr)
        return;
    RECT client;
    GetClientRect(hwnd_, &client);
    // Bottom-right corner 10 pixels inside the frame's.
    if (progress_ != nullptr)
        MoveWindow(progress_, client.right - kPanelWidth - 10, client.bottom - kPanelHeight - 10, kPanelWidth,
                   kPanelHeight, TRUE);
    if (busy_ != nullptr)
        MoveWindow(busy_, (client.right - 400) / 2, (client.bottom - 160) / 2, 400, 160, TRUE);
}

void FrameWindow::showProgress(bool) {
    if (progress_ != nullptr)
        ShowWindow(progress_, SW_SHOW);
}

bool FrameWindow::progressHidden() {
    return progress_ != nullptr && !IsWindowVisible(progress_);
}

void FrameWindow::destroyProgress() {
    if (progress_ != nullptr)
        DestroyWindow(progress_);
    progress_ = mainBar_ = mainText_ = secondaryBar_ = nullptr;
}

void FrameWindow::setMainProgress(int percent) {
    if (mainBar_ == nullptr)
        return;
    ShowWindow(secondaryBar_, SW_HIDE);
    SendMessageA(mainBar_, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
    char text[16];
    std::snprintf(text, sizeof text, "%d%%", percent);
    SetWindowTextA(mainText_, text);
}

void FrameWindow::setSecondaryProgress(int percent) {
    if (secondaryBar_ == nullptr)
        return;
    ShowWindow(secondaryBar_, SW_SHOW);
    SendMessageA(secondaryBar_, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}

void FrameWindow::showSecondary(bool shown) {
    if (secondaryBar_ != nullptr)
        ShowWindow(secondaryBar_, shown ? SW_SHOW : SW_HIDE);
    if (progress_ != nullptr)
        UpdateWindow(progress_);
}

void FrameWindow::showBusy(int, int busyKind) {
    destroyBusy();
    if (hwnd_ == nullptr)
        return;
    std::string text = strings_.get(busyTextId(busyKind));
    busy_ = CreateWindowExA(WS_EX_DLGMODALFRAME, "STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | SS_CENTER, 0,
                            0, 400, 160, hwnd_, reinterpret_cast<HMENU>(1049), instance_, nullptr);
    SendMessageA(busy_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    layout();
    UpdateWindow(busy_);
}

bool FrameWindow::destroyBusy() {
    if (busy_ == nullptr)
        return false;
    DestroyWindow(busy_);
    busy_ = nullptr;
    return true;
}

void FrameWindow::setCloseEnabled(bool enabled) {
    if (hwnd_ != nullptr)
        EnableMenuItem(GetSystemMenu(hwnd_, FALSE), SC_CLOSE,
                       MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void FrameWindow::setMinimizeBox(bool present) {
    if (hwnd_ == nullptr)
        return;
    LONG_PTR style = GetWindowLongPtrA(hwnd_, GWL_STYLE);
    style = present ? (style | WS_MINIMIZEBOX) : (style & ~static_cast<LONG_PTR>(WS_MINIMIZEBOX));
    SetWindowLongPtrA(hwnd_, GWL_STYLE, style);
}

bool FrameWindow::minimizedOrMaximized() {
    return hwnd_ != nullptr && (IsIconic(hwnd_) || IsZoomed(hwnd_));
}

void FrameWindow::bringToForeground() {
    if (hwnd_ != nullptr)
        SetForegroundWindow(hwnd_);
}

void FrameWindow::drawFrameText(const FrameText& text) {
    headline_ = text.headline;
    if (hwnd_ != nullptr)
        InvalidateRect(hwnd_, nullptr, TRUE);
}

LRESULT CALLBACK FrameWindow::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<FrameWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self == nullptr || self->hwnd_ == nullptr)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    return self->onMessage(message, wParam, lParam);
}

LRESULT FrameWindow::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (router_) {
        LRESULT result = 0;
        if (router_(message, wParam, lParam, result))
            return result;
    }
    switch (message) {
    case WM_SIZE:
        if (wParam == SIZE_RESTORED && IsWindowVisible(hwnd_)) {
            // The frame always fills the screen.
            ShowWindow(hwnd_, SW_SHOWMAXIMIZED);
            return 0;
        }
        layout();
        return 0;
    case WM_CLOSE:
        if (onClose_)
            onClose_();
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd_, &ps);
        if (!headline_.empty()) {
            SetBkMode(dc, TRANSPARENT);
            TextOutA(dc, 216, 23, headline_.c_str(), static_cast<int>(headline_.size()));
        }
        EndPaint(hwnd_, &ps);
        return 0;
    }
    default:
        return DefWindowProcA(hwnd_, message, wParam, lParam);
    }
}

} // namespace zov::win32
