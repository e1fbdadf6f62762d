// wzov.exe: a stand-in for the installed client. It shows the signs by which the setup
// recognises a running client (mutex, window classes, control window, session pipe) and
// answers the setup's control messages, so that detection and shutdown can be tried
// against a real process.
#include "common/library_search.h"
#include "common/program_args.h"
#include "common/sign_window.h"
#include "common/tool_options.h"
#include "common/wire_formats.h"
#include "protocol/contract.h"

#include <windows.h>

#include <string>

using namespace zov::tools;

namespace {

constexpr UINT_PTR kExitTimer = 1;
constexpr UINT_PTR kLifetimeTimer = 2;

ClientOptions gOptions;
std::string gUserName;
bool gExitPending = false;

std::string ownPath() {
    char buffer[MAX_PATH + 1] = {};
    DWORD n = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    return (n == 0 || n >= sizeof buffer) ? std::string() : std::string(buffer, n);
}

void writeStartMarker() {
    std::string path = ownPath();
    auto slash = path.find_last_of('\\');
    if (slash == std::string::npos)
        return;
    std::string marker = path.substr(0, slash + 1) + "wzov.started";
    HANDLE file = CreateFileA(marker.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    std::string text =
        "pid=" + std::to_string(GetCurrentProcessId()) + "\r\ncommandline=" + GetCommandLineA() + "\r\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

void beginExit(HWND control) {
    if (gOptions.noExit || gExitPending)
        return;
    gExitPending = true;
    if (gOptions.exitDelayMs == 0 || SetTimer(control, kExitTimer, gOptions.exitDelayMs, nullptr) == 0)
        PostQuitMessage(0);
}

LRESULT CALLBACK controlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case zov::msg::ClientQueryBits:
        return MAKELRESULT(gOptions.sixteenBit ? 16 : 32, 0);
    case zov::msg::ClientShutdown:
        beginExit(window);
        return 0;
    case zov::msg::ClientPoll:
        // 0: running as usual; 1: already on its way out.
        return gExitPending ? 1 : 0;
    case zov::msg::ClientNudge:
    case zov::msg::ClientSetupCancelled:
        return 0;
    case WM_TIMER:
        if (wParam == kExitTimer || wParam == kLifetimeTimer) {
            KillTimer(window, wParam);
            PostQuitMessage(0);
        }
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK frameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT area;
        GetClientRect(window, &area);
        const char* text = "ZOV client (stand-in)";
        DrawTextA(dc, text, -1, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_CLOSE:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

// One connection of the session pipe: a request, a reply, until the other side leaves.
DWORD WINAPI pipeConnection(LPVOID parameter) {
    HANDLE pipe = static_cast<HANDLE>(parameter);
    for (;;) {
        unsigned char request[kPipeMessageMax] = {};
        DWORD read = 0;
        if (!ReadFile(pipe, request, sizeof request, &read, nullptr)) {
            if (GetLastError() != ERROR_MORE_DATA)
                break;
            // An oversized request: its first bytes are all that count; drop the rest.
            unsigned char rest[kPipeMessageMax];
            DWORD more = 0;
            while (!ReadFile(pipe, rest, sizeof rest, &more, nullptr) && GetLastError() == ERROR_MORE_DATA) {
            }
        }
        auto command = pipeCommand(request, read);
        if (!command)
            break;
        std::string reply = pipeAnswer(*command, gUserName, gOptions.appTitle);
        DWORD written = 0;
        if (!WriteFile(pipe, reply.data(), static_cast<DWORD>(reply.size()), &written, nullptr) ||
            written != reply.size())
            break;
    }
    FlushFileBuffers(pipe);
    DisconnectNamedPipe(pipe);
    CloseHandle(pipe);
    return 0;
}

DWORD WINAPI pipeListener(LPVOID) {
    for (;;) {
        // A NULL DACL: a setup in any session, under any account, may ask.
        SECURITY_DESCRIPTOR descriptor;
        InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
        SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE);
        SECURITY_ATTRIBUTES attributes = {sizeof attributes, &descriptor, FALSE};
        HANDLE pipe =
            CreateNamedPipeA(zov::names::kClientPipe, PIPE_ACCESS_DUPLEX,
                             PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES,
                             kPipeMessageMax, kPipeMessageMax, 5000, &attributes);
        if (pipe == INVALID_HANDLE_VALUE)
            return 1;
        if (!ConnectNamedPipe(pipe, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) {
            CloseHandle(pipe);
            continue;
        }
        HANDLE thread = CreateThread(nullptr, 0, pipeConnection, pipe, 0, nullptr);
        if (thread == nullptr) {
            DisconnectNamedPipe(pipe);
            CloseHandle(pipe);
        } else {
            CloseHandle(thread);
        }
    }
}

std::string currentUserName() {
    char buffer[257] = {};
    DWORD size = sizeof buffer;
    return GetUserNameA(buffer, &size) ? std::string(buffer) : std::string();
}

// What the stand-in shows for the program it plays.
struct Signs {
    std::string mutex;
    // A hidden control window. The others than the client use the variant's class: with the
    // client's own, the setup would take them for the client itself.
    const char* controlClass;
    const char* windowClass; // a visible top-level window, or none
    const char* windowTitle;
    bool servesPipe;
};

Signs signsOf(ClientSign sign) {
    namespace n = zov::names;
    switch (sign) {
    case ClientSign::Variant:
        return {std::string("Global\\") + n::kVariantMutex, n::kVariantControlClass, nullptr, nullptr, true};
    case ClientSign::Sibling:
        return {std::string("Global\\") + n::kSiblingMutex, n::kVariantControlClass, nullptr, nullptr, true};
    case ClientSign::Uninstaller:
        return {n::kUninstallerMutex, n::kVariantControlClass, n::kUninstallerClass, n::kUninstallerTitle,
                false};
    case ClientSign::Client:
        break;
    }
    return {std::string("Global\\") + n::kClientMutex, n::kClientControlClass, n::kClientFrameClass, "ZOV",
            false};
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    zov::tools::restrictLibrarySearch();
    gOptions = parseClientOptions(programArguments());
    gUserName = gOptions.userName ? *gOptions.userName : currentUserName();
    const Signs signs = signsOf(gOptions.sign);

    // One at a time: a second start hands over to the one that runs.
    bool running = false;
    HANDLE mutex = holdMutexAlone(signs.mutex.c_str(), signs.windowClass, running);
    if (mutex == nullptr)
        return running ? 0 : 1;

    if (!registerWindowClass(signs.controlClass, controlProc, instance)) {
        CloseHandle(mutex);
        return 1;
    }
    HWND control = CreateWindowExA(0, signs.controlClass, "ZOV External API", WS_POPUP, 0, 0, 0, 0, nullptr,
                                   nullptr, instance, nullptr);
    HWND frame = nullptr;
    if (signs.windowClass != nullptr && registerWindowClass(signs.windowClass, frameProc, instance)) {
        frame = CreateWindowExA(0, signs.windowClass, signs.windowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 480, 320, nullptr, nullptr, instance, nullptr);
        if (frame != nullptr) {
            ShowWindow(frame, show);
            UpdateWindow(frame);
        }
    }
    if (control == nullptr || (signs.windowClass != nullptr && frame == nullptr)) {
        CloseHandle(mutex);
        return 1;
    }
    if (signs.servesPipe) {
        HANDLE listener = CreateThread(nullptr, 0, pipeListener, nullptr, 0, nullptr);
        if (listener != nullptr)
            CloseHandle(listener);
    }
    if (gOptions.lifetimeMs > 0)
        SetTimer(control, kLifetimeTimer, gOptions.lifetimeMs, nullptr);
    writeStartMarker();

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }

    // Windows first, then the mutex: once the mutex is gone the client counts as gone.
    if (frame != nullptr)
        DestroyWindow(frame);
    DestroyWindow(control);
    CloseHandle(mutex);
    return 0;
}
