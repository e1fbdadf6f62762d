// DAD.exe: the client's launcher. It shows its splash window for a moment, starts
// wzov.exe from its own folder and goes away, as the setup expects after an install.
#include "common/library_search.h"
#include "protocol/contract.h"

#include <windows.h>

#include <string>

namespace {

constexpr UINT_PTR kSplashTimer = 1;
constexpr UINT kSplashMs = 1500;

int gExitCode = 0;

std::string ownFolder() {
    char buffer[MAX_PATH + 1] = {};
    DWORD n = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    if (n == 0 || n >= sizeof buffer)
        return {};
    std::string path(buffer, n);
    return path.substr(0, path.find_last_of('\\') + 1);
}

bool startClient() {
    std::string folder = ownFolder();
    if (folder.empty())
        return false;
    std::string program = folder + "wzov.exe";
    std::string commandLine = "\"" + program + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

LRESULT CALLBACK splashProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT area;
        GetClientRect(window, &area);
        DrawTextA(dc, "ZOV", -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_TIMER:
        if (wParam == kSplashTimer) {
            KillTimer(window, kSplashTimer);
            gExitCode = startClient() ? 0 : 1;
            DestroyWindow(window);
        }
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    zov::tools::restrictLibrarySearch();
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = splashProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = zov::names::kClientSplashClass;
    if (!RegisterClassA(&windowClass))
        return 1;

    const int width = 320, height = 200;
    int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    HWND splash =
        CreateWindowExA(WS_EX_TOOLWINDOW, zov::names::kClientSplashClass, "ZOV", WS_POPUP | WS_BORDER, x, y,
                        width, height, nullptr, nullptr, instance, nullptr);
    if (splash == nullptr)
        return 1;
    ShowWindow(splash, SW_SHOW);
    UpdateWindow(splash);
    if (SetTimer(splash, kSplashTimer, kSplashMs, nullptr) == 0) {
        gExitCode = startClient() ? 0 : 1;
        DestroyWindow(splash);
    }

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return gExitCode;
}
