// Windows and messages of the UI thread.

#include "platform/win32/win32_ports.h"

#include <algorithm>

namespace zov::win32 {
namespace {

HWND toWindow(WindowHandle window) {
    return reinterpret_cast<HWND>(window);
}

} // namespace

void Win32WindowSystem::addDialog(HWND dialog) {
    if (dialog != nullptr && std::find(dialogs_.begin(), dialogs_.end(), dialog) == dialogs_.end())
        dialogs_.push_back(dialog);
}

void Win32WindowSystem::removeDialog(HWND dialog) {
    dialogs_.erase(std::remove(dialogs_.begin(), dialogs_.end(), dialog), dialogs_.end());
}

void Win32WindowSystem::pumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        // A dialog may close, and unregister itself, while it handles the message: walk a
        // copy so that the list can change under the loop.
        const std::vector<HWND> dialogs = dialogs_;
        bool handled = false;
        for (HWND dialog : dialogs) {
            if (IsWindow(dialog) && IsDialogMessageA(dialog, &message)) {
                handled = true;
                break;
            }
        }
        if (!handled) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

void Win32WindowSystem::waitForMessage(std::uint32_t milliseconds, const ProcessHandle* process) {
    HANDLE handles[1] = {};
    DWORD count = 0;
    if (process != nullptr && *process)
        handles[count++] = reinterpret_cast<HANDLE>(process->process);
    // Sent messages wake the wait too (QS_SENDMESSAGE): another process's SendMessage blocks
    // until this thread answers. MWMO_INPUTAVAILABLE also counts messages that were already
    // waiting when a dispatch began, so none is left lying until the time is up.
    MsgWaitForMultipleObjectsEx(count, count != 0 ? handles : nullptr,
                                milliseconds == kWaitForever ? INFINITE : milliseconds,
                                QS_ALLINPUT | QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
}

WindowHandle Win32WindowSystem::findWindow(const std::string* windowClass, const std::string* title) {
    HWND found = FindWindowA(windowClass != nullptr ? windowClass->c_str() : nullptr,
                             title != nullptr ? title->c_str() : nullptr);
    return reinterpret_cast<WindowHandle>(found);
}

bool Win32WindowSystem::windowExists(WindowHandle window) {
    return window != 0 && IsWindow(toWindow(window));
}

std::intptr_t Win32WindowSystem::sendMessage(WindowHandle window, std::uint32_t message,
                                             std::uintptr_t wParam, std::intptr_t lParam) {
    return SendMessageA(toWindow(window), message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
}

bool Win32WindowSystem::postMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                    std::intptr_t lParam) {
    return PostMessageA(toWindow(window), message, static_cast<WPARAM>(wParam),
                        static_cast<LPARAM>(lParam)) != FALSE;
}

BoxAnswer Win32WindowSystem::messageBox(BoxKind kind, const std::string& text, const std::string& caption) {
    UINT style = MB_TASKMODAL;
    // What a box that could not be shown answers: the way out, never the way on.
    BoxAnswer unanswered = BoxAnswer::Cancel;
    switch (kind) {
    case BoxKind::Notice:
        style |= MB_ICONINFORMATION | MB_OK;
        unanswered = BoxAnswer::Ok;
        break;
    case BoxKind::Question:
        style |= MB_ICONQUESTION | MB_YESNO;
        unanswered = BoxAnswer::No;
        break;
    case BoxKind::Error:
        style |= MB_ICONSTOP | MB_RETRYCANCEL;
        break;
    case BoxKind::Warning:
        style |= MB_ICONWARNING | MB_OKCANCEL;
        break;
    }
    HWND owner = (owner_ != nullptr && IsWindow(owner_)) ? owner_ : nullptr;
    switch (MessageBoxA(owner, text.c_str(), caption.c_str(), style)) {
    case IDOK:
        return BoxAnswer::Ok;
    case IDCANCEL:
        return BoxAnswer::Cancel;
    case IDYES:
        return BoxAnswer::Yes;
    case IDNO:
        return BoxAnswer::No;
    case IDRETRY:
        return BoxAnswer::Retry;
    default:
        return unanswered;
    }
}

} // namespace zov::win32
