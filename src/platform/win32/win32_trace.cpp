// The wire to the trace viewer: one WM_COPYDATA per line from a hidden sender window.

#include "platform/win32/win32_ports.h"
#include "protocol/contract.h"

#include <cstring>

namespace zov::win32 {
namespace {

constexpr char kSenderClass[] = "TracerSrc";

// The module handle of our own program, found by the file-name part of its path.
HMODULE ownModuleByName() {
    char path[MAX_PATH + 1] = {};
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    const char* name = std::strrchr(path, '\\');
    name = name != nullptr ? name + 1 : path;
    return GetModuleHandleA(name);
}

} // namespace

WindowHandle Win32TraceTransport::findMonitor() {
    return reinterpret_cast<WindowHandle>(FindWindowA(nullptr, names::kTraceMonitorTitle));
}

WindowHandle Win32TraceTransport::createSender() {
    HMODULE module = ownModuleByName();
    if (module == nullptr)
        return 0;
    WNDCLASSA windowClass;
    std::memset(&windowClass, 0, sizeof windowClass);
    windowClass.style = 0;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = module;
    windowClass.lpszClassName = kSenderClass;
    // A class left registered by an earlier sender of this process serves as well.
    if (!RegisterClassA(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return 0;
    HWND sender = CreateWindowA(kSenderClass, "Trace Sender", WS_OVERLAPPEDWINDOW, 0, 0, 0, 0, nullptr,
                                nullptr, module, nullptr);
    return reinterpret_cast<WindowHandle>(sender);
}

bool Win32TraceTransport::send(WindowHandle monitor, WindowHandle sender, const std::string& line) {
    // A caller traces its failure and then the error of the failed call: the send must
    // leave that error as it found it.
    const DWORD callersError = GetLastError();
    if (line.size() >= MAXDWORD)
        return true; // cannot be described by the wire record; dropped like a line to a closed viewer
    COPYDATASTRUCT record;
    record.dwData = 0;
    record.cbData = static_cast<DWORD>(line.size() + 1); // with the terminating NUL
    record.lpData = const_cast<char*>(line.c_str());
    DWORD_PTR answer = 0;
    SetLastError(ERROR_SUCCESS);
    LRESULT sent =
        SendMessageTimeoutA(reinterpret_cast<HWND>(monitor), WM_COPYDATA, static_cast<WPARAM>(sender),
                            reinterpret_cast<LPARAM>(&record), SMTO_NORMAL, kSendTimeoutMs, &answer);
    const bool timedOut = sent == 0 && GetLastError() == ERROR_TIMEOUT;
    SetLastError(callersError);
    // A viewer that has closed makes the call fail at once: silently, as with a plain send.
    return !timedOut;
}

} // namespace zov::win32
