// The running signs a tool shows the setup: a named mutex held for as long as it runs and a
// window of a known class. Shared by the stand-in client and the engine's uninstaller.
#pragma once

#include <windows.h>

namespace zov::tools {

inline bool registerWindowClass(const char* name, WNDPROC procedure, HINSTANCE instance) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = name;
    return RegisterClassA(&windowClass) != 0;
}

// The mutex, or nullptr. With `running` set, another instance holds it already: that one is
// brought forward (by its window of `windowClass`, if any) and this one should go.
inline HANDLE holdMutexAlone(const char* name, const char* windowClass, bool& running) {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
    running = mutex != nullptr && GetLastError() == ERROR_ALREADY_EXISTS;
    if (!running)
        return mutex;
    if (windowClass != nullptr)
        if (HWND running = FindWindowA(windowClass, nullptr))
            SetForegroundWindow(running);
    CloseHandle(mutex);
    return nullptr;
}

} // namespace zov::tools
