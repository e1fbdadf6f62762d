// The system checks' ports over the Win32 API.

#include "platform/win32/win32_checks.h"

#include "platform/win32/win32_ports.h"
#include "platform/win32/win32_util.h"

#include <windows.h>

#include <cpuid.h>
#include <lm.h>
#include <sddl.h>
#include <shellapi.h>
#include <tlhelp32.h>
#include <wtsapi32.h>

#include <algorithm>
#include <list>
#include <cstdio>
#include <cstring>
#include <memory>

namespace zov::win32 {
namespace {

HWND toWindow(WindowHandle window) {
    return reinterpret_cast<HWND>(window);
}

std::string fixedText(const char* text, std::size_t capacity) {
    return std::string(text, strnlen(text, capacity));
}

// A kernel handle closed on every path out.
class Handle {
  public:
    explicit Handle(HANDLE handle = nullptr) : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    ~Handle() {
        if (handle_ != nullptr)
            CloseHandle(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    explicit operator bool() const { return handle_ != nullptr; }
    HANDLE get() const { return handle_; }

  private:
    HANDLE handle_;
};

// --- version test ---------------------------------------------------------------------------

using VerifyVersionInfoFn = BOOL(WINAPI*)(LPOSVERSIONINFOEXA, DWORD, DWORDLONG);
using VerSetConditionMaskFn = ULONGLONG(WINAPI*)(ULONGLONG, DWORD, BYTE);

struct VersionFunctions {
    VerifyVersionInfoFn verify = nullptr;
    VerSetConditionMaskFn mask = nullptr;
};

const VersionFunctions& versionFunctions() {
    // Looked up once for the process.
    static const VersionFunctions functions = [] {
        HMODULE kernel = GetModuleHandleA("kernel32.dll");
        return VersionFunctions{procAddress<VerifyVersionInfoFn>(kernel, "VerifyVersionInfoA"),
                                procAddress<VerSetConditionMaskFn>(kernel, "VerSetConditionMask")};
    }();
    return functions;
}

// --- Toolhelp ---------------------------------------------------------------------------------

using SnapshotFn = HANDLE(WINAPI*)(DWORD, DWORD);
using ProcessWalkFn = BOOL(WINAPI*)(HANDLE, LPPROCESSENTRY32);
using ModuleWalkFn = BOOL(WINAPI*)(HANDLE, LPMODULEENTRY32);

struct ToolhelpFunctions {
    SnapshotFn snapshot = nullptr;
    ProcessWalkFn processFirst = nullptr, processNext = nullptr;
    ModuleWalkFn moduleFirst = nullptr, moduleNext = nullptr;
    bool complete() const { return snapshot && processFirst && processNext && moduleFirst && moduleNext; }
};

const ToolhelpFunctions& toolhelp() {
    static const ToolhelpFunctions functions = [] {
        HMODULE kernel = GetModuleHandleA("Kernel32.DLL");
        ToolhelpFunctions f;
        f.snapshot = procAddress<SnapshotFn>(kernel, "CreateToolhelp32Snapshot");
        f.processFirst = procAddress<ProcessWalkFn>(kernel, "Process32First");
        f.processNext = procAddress<ProcessWalkFn>(kernel, "Process32Next");
        f.moduleFirst = procAddress<ModuleWalkFn>(kernel, "Module32First");
        f.moduleNext = procAddress<ModuleWalkFn>(kernel, "Module32Next");
        return f;
    }();
    return functions;
}

// Hands each entry of a Toolhelp snapshot to `take`, first to last.
template <typename Entry, typename Walk, typename Take>
void forEachEntry(const Handle& snapshot, Walk first, Walk next, Take take) {
    Entry entry;
    std::memset(&entry, 0, sizeof entry);
    entry.dwSize = sizeof entry;
    for (BOOL more = first(snapshot.get(), &entry); more; more = next(snapshot.get(), &entry)) {
        take(entry);
        entry.dwSize = sizeof entry;
    }
}

std::string fullImagePath(DWORD pid) {
    using QueryImageFn = BOOL(WINAPI*)(HANDLE, DWORD, LPSTR, PDWORD);
    static const QueryImageFn query =
        procAddress<QueryImageFn>(GetModuleHandleA("kernel32.dll"), "QueryFullProcessImageNameA");
    if (query == nullptr)
        return {};
    Handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
    if (!process)
        return {};
    char path[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH;
    if (!query(process.get(), 0, path, &size))
        return {};
    return fixedText(path, sizeof path - 1);
}

// --- session functions ------------------------------------------------------------------------

using WTSRegisterFn = BOOL(WINAPI*)(HWND, DWORD);
using WTSUnRegisterFn = BOOL(WINAPI*)(HWND);
using WTSQueryWFn = BOOL(WINAPI*)(HANDLE, DWORD, WTS_INFO_CLASS, LPWSTR*, DWORD*);
using WTSQueryAFn = BOOL(WINAPI*)(HANDLE, DWORD, WTS_INFO_CLASS, LPSTR*, DWORD*);
using WTSFreeMemoryFn = void(WINAPI*)(PVOID);
using WTSEnumerateProcessesFn = BOOL(WINAPI*)(HANDLE, DWORD, DWORD, PWTS_PROCESS_INFOA*, DWORD*);
using WTSSendMessageFn = BOOL(WINAPI*)(HANDLE, DWORD, LPSTR, DWORD, LPSTR, DWORD, DWORD, DWORD, DWORD*, BOOL);
using ProcessIdToSessionIdFn = BOOL(WINAPI*)(DWORD, DWORD*);
using ActiveConsoleSessionFn = DWORD(WINAPI*)();
using NetUserGetInfoFn = DWORD(WINAPI*)(LPCWSTR, LPCWSTR, DWORD, LPBYTE*);
using NetApiBufferFreeFn = DWORD(WINAPI*)(LPVOID);
using LookupAccountSidFn = BOOL(WINAPI*)(LPCSTR, PSID, LPSTR, LPDWORD, LPSTR, LPDWORD, PSID_NAME_USE);

struct SessionFunctions {
    WTSRegisterFn registerNotification = nullptr;
    WTSUnRegisterFn unregisterNotification = nullptr;
    WTSQueryWFn queryW = nullptr;
    WTSFreeMemoryFn freeMemory = nullptr;
    WTSEnumerateProcessesFn enumerateProcesses = nullptr;
    WTSSendMessageFn sendMessage = nullptr;
    WTSQueryAFn queryA = nullptr;
    ProcessIdToSessionIdFn processIdToSessionId = nullptr;
    ActiveConsoleSessionFn activeConsole = nullptr;
    NetUserGetInfoFn netUserGetInfo = nullptr;
    NetApiBufferFreeFn netApiBufferFree = nullptr;
    LookupAccountSidFn lookupAccountSid = nullptr;
    bool complete = false;
};

// Loaded once for the process and kept; every function must be there, or none counts.
const SessionFunctions& sessionFunctions() {
    static const SessionFunctions functions = [] {
        HMODULE wts = loadSystemLibrary("wtsapi32.dll");
        HMODULE kernel = GetModuleHandleA("kernel32.dll");
        HMODULE net = loadSystemLibrary("netapi32.dll");
        HMODULE advapi = loadSystemLibrary("advapi32.dll");
        SessionFunctions f;
        f.registerNotification = procAddress<WTSRegisterFn>(wts, "WTSRegisterSessionNotification");
        f.unregisterNotification = procAddress<WTSUnRegisterFn>(wts, "WTSUnRegisterSessionNotification");
        f.queryW = procAddress<WTSQueryWFn>(wts, "WTSQuerySessionInformationW");
        f.freeMemory = procAddress<WTSFreeMemoryFn>(wts, "WTSFreeMemory");
        f.enumerateProcesses = procAddress<WTSEnumerateProcessesFn>(wts, "WTSEnumerateProcessesA");
        f.sendMessage = procAddress<WTSSendMessageFn>(wts, "WTSSendMessageA");
        f.queryA = procAddress<WTSQueryAFn>(wts, "WTSQuerySessionInformationA");
        f.processIdToSessionId = procAddress<ProcessIdToSessionIdFn>(kernel, "ProcessIdToSessionId");
        f.activeConsole = procAddress<ActiveConsoleSessionFn>(kernel, "WTSGetActiveConsoleSessionId");
        f.netUserGetInfo = procAddress<NetUserGetInfoFn>(net, "NetUserGetInfo");
        f.netApiBufferFree = procAddress<NetApiBufferFreeFn>(net, "NetApiBufferFree");
        f.lookupAccountSid = procAddress<LookupAccountSidFn>(advapi, "LookupAccountSidA");
        f.complete = f.registerNotification && f.unregisterNotification && f.queryW && f.freeMemory &&
                     f.enumerateProcesses && f.sendMessage && f.queryA && f.processIdToSessionId &&
                     f.activeConsole && f.netUserGetInfo && f.netApiBufferFree && f.lookupAccountSid;
        return f;
    }();
    return functions;
}

// --- pipes ------------------------------------------------------------------------------------

constexpr DWORD kPipeBuffer = 256;
constexpr DWORD kPipeDefaultTimeoutMs = 5000;
// A connection lives this long at most, however its peer behaves: one that connects and
// never speaks, trickles requests or stops reading must not keep its instance for ever.
constexpr DWORD kConnectionLifeMs = 30000;
// At most this many connections at once (the instances a pipe traditionally has): a new
// peer beyond them ends the oldest connection, so that a crowd of peers can neither exhaust
// the process's threads nor keep the server from answering anyone else.
constexpr std::size_t kMaxConnections = 255;
// How long the listener waits before it tries again to make an instance.
constexpr DWORD kListenerRetryMs = 1000;

// One overlapped read or write with a bounded wait, which `cut` (when given and set) ends
// early. On a time-out or a cut the operation is cancelled and error is WAIT_TIMEOUT.
bool boundedIo(HANDLE file, bool write, void* buffer, DWORD size, DWORD& done, DWORD timeoutMs, DWORD& error,
               HANDLE cut = nullptr) {
    done = 0;
    error = 0;
    Handle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!event) {
        error = GetLastError();
        return false;
    }
    OVERLAPPED overlapped;
    std::memset(&overlapped, 0, sizeof overlapped);
    overlapped.hEvent = event.get();
    BOOL ok = write ? WriteFile(file, buffer, size, nullptr, &overlapped)
                    : ReadFile(file, buffer, size, nullptr, &overlapped);
    if (!ok) {
        error = GetLastError();
        if (error == ERROR_MORE_DATA) // done at once, with more of the message left
            GetOverlappedResult(file, &overlapped, &done, FALSE);
        if (error != ERROR_IO_PENDING)
            return false;
        error = 0;
    }
    HANDLE waits[2] = {event.get(), cut};
    if (WaitForMultipleObjects(cut != nullptr ? 2 : 1, waits, FALSE, timeoutMs) != WAIT_OBJECT_0) {
        CancelIo(file);
        GetOverlappedResult(file, &overlapped, &done, TRUE);
        error = WAIT_TIMEOUT;
        return false;
    }
    if (!GetOverlappedResult(file, &overlapped, &done, FALSE)) {
        error = GetLastError();
        return false;
    }
    return true;
}

struct Connection;

struct ServerContext {
    std::string pipe;
    std::size_t maxRequest = 0;
    PipePort::Answer answer;
    // The connections alive, oldest first.
    CriticalSection lock;
    std::list<Connection*> live;
};

struct Connection {
    HANDLE pipe = nullptr;
    HANDLE cut = nullptr; // set by the listener to end the connection now
    bool cutAsked = false;
    std::shared_ptr<ServerContext> server;
};

// Called with the server's lock held.
void cutOldestConnection(ServerContext& server) {
    for (Connection* connection : server.live) {
        if (!connection->cutAsked) {
            connection->cutAsked = true;
            SetEvent(connection->cut);
            return;
        }
    }
}

DWORD WINAPI connectionThread(LPVOID parameter) {
    std::unique_ptr<Connection> connection(static_cast<Connection*>(parameter));
    ServerContext& server = *connection->server;
    HANDLE pipe = connection->pipe;
    const DWORD started = GetTickCount();
    auto remaining = [started]() -> DWORD {
        DWORD spent = GetTickCount() - started;
        return spent >= kConnectionLifeMs ? 0 : kConnectionLifeMs - spent;
    };
    for (;;) {
        char request[kPipeBuffer] = {};
        DWORD read = 0, error = 0;
        const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(server.maxRequest, sizeof request));
        if (!boundedIo(pipe, false, request, wanted, read, remaining(), error, connection->cut)) {
            if (error != ERROR_MORE_DATA)
                break;
            // A request longer than a message may be: its first bytes are all that count;
            // the rest of it is read away so that the next request starts clean.
            char rest[kPipeBuffer];
            DWORD more = 0, restError = ERROR_MORE_DATA;
            while (restError == ERROR_MORE_DATA)
                if (boundedIo(pipe, false, rest, sizeof rest, more, remaining(), restError, connection->cut))
                    restError = 0;
            if (restError != 0)
                break;
        }
        if (read == 0)
            break;
        std::string reply = server.answer(std::string(request, read));
        DWORD written = 0;
        if (!boundedIo(pipe, true, reply.data(), static_cast<DWORD>(reply.size()), written,
                       std::min(kPipeDefaultTimeoutMs, remaining()), error, connection->cut) ||
            written != reply.size())
            break;
    }
    {
        CriticalSection::Hold hold(server.lock);
        server.live.remove(connection.get());
    }
    // No flush: every way out of the loop means the peer has gone, stopped reading, or had
    // its time; waiting for it to read would be waiting for ever.
    DisconnectNamedPipe(pipe);
    CloseHandle(pipe);
    CloseHandle(connection->cut);
    return 0;
}

// A new connection thread for a connected instance; false when none could be started (the
// instance is then closed).
bool serve(const std::shared_ptr<ServerContext>& server, HANDLE pipe) {
    auto connection = std::make_unique<Connection>();
    connection->pipe = pipe;
    connection->server = server;
    connection->cut = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (connection->cut != nullptr) {
        CriticalSection::Hold hold(server->lock);
        if (server->live.size() >= kMaxConnections)
            cutOldestConnection(*server);
        server->live.push_back(connection.get());
        if (HANDLE thread = CreateThread(nullptr, 0, connectionThread, connection.get(), 0, nullptr)) {
            connection.release();
            CloseHandle(thread);
            return true;
        }
        server->live.pop_back();
        CloseHandle(connection->cut);
    }
    DisconnectNamedPipe(pipe);
    CloseHandle(pipe);
    return false;
}

DWORD WINAPI listenerThread(LPVOID parameter) {
    std::shared_ptr<ServerContext> server(static_cast<ServerContext*>(parameter));
    using InitializeFn = BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, DWORD);
    using SetDaclFn = BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, BOOL, PACL, BOOL);
    // The server keeps answering for the whole run: an instance that cannot be made now is
    // tried again a moment later.
    for (;;) {
        // A present but empty DACL: a setup in any session, under any account, may ask.
        HMODULE advapi = GetModuleHandleA("advapi32.dll");
        auto initialize = procAddress<InitializeFn>(advapi, "InitializeSecurityDescriptor");
        auto setDacl = procAddress<SetDaclFn>(advapi, "SetSecurityDescriptorDacl");
        SECURITY_DESCRIPTOR descriptor;
        SECURITY_ATTRIBUTES attributes = {sizeof attributes, nullptr, FALSE};
        if (initialize != nullptr && setDacl != nullptr &&
            initialize(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
            setDacl(&descriptor, TRUE, nullptr, FALSE))
            attributes.lpSecurityDescriptor = &descriptor;
        HANDLE pipe =
            CreateNamedPipeA(server->pipe.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                             PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES,
                             kPipeBuffer, kPipeBuffer, kPipeDefaultTimeoutMs, &attributes);
        if (pipe == INVALID_HANDLE_VALUE) {
            Sleep(kListenerRetryMs);
            continue;
        }
        Handle event(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        OVERLAPPED overlapped;
        std::memset(&overlapped, 0, sizeof overlapped);
        overlapped.hEvent = event.get();
        bool connected = false;
        if (event) {
            if (ConnectNamedPipe(pipe, &overlapped)) {
                connected = true;
            } else {
                DWORD error = GetLastError();
                DWORD ignored = 0;
                connected =
                    error == ERROR_PIPE_CONNECTED ||
                    (error == ERROR_IO_PENDING && GetOverlappedResult(pipe, &overlapped, &ignored, TRUE));
            }
        }
        if (!connected) {
            CloseHandle(pipe);
            continue;
        }
        serve(server, pipe);
    }
}

void CALLBACK pollReplied(HWND, UINT, ULONG_PTR data, LRESULT result) {
    std::unique_ptr<std::function<void(std::intptr_t)>> onReply(
        reinterpret_cast<std::function<void(std::intptr_t)>*>(data));
    (*onReply)(static_cast<std::intptr_t>(result));
}

} // namespace

// --- VersionQuery -------------------------------------------------------------------------------

std::optional<bool> Win32Checks::verifyVersion(std::uint32_t platform, std::uint32_t major,
                                               VersionCondition majorCondition, std::uint32_t minor,
                                               VersionCondition minorCondition) {
    const VersionFunctions& f = versionFunctions();
    if (f.verify == nullptr || f.mask == nullptr)
        return std::nullopt;
    OSVERSIONINFOEXA info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    info.dwPlatformId = platform;
    info.dwMajorVersion = major;
    info.dwMinorVersion = minor;
    DWORD type = VER_PLATFORMID;
    ULONGLONG mask = f.mask(0, VER_PLATFORMID, VER_EQUAL);
    if (majorCondition != VersionCondition::None) {
        type |= VER_MAJORVERSION;
        mask = f.mask(mask, VER_MAJORVERSION, static_cast<BYTE>(majorCondition));
    }
    if (minorCondition != VersionCondition::None) {
        type |= VER_MINORVERSION;
        mask = f.mask(mask, VER_MINORVERSION, static_cast<BYTE>(minorCondition));
    }
    if (f.verify(&info, type, mask))
        return true;
    if (GetLastError() == ERROR_OLD_WIN_VERSION)
        return false;
    return std::nullopt;
}

// --- DesktopProbe -------------------------------------------------------------------------------

int Win32Checks::logPixelsY() {
    HDC screen = GetDC(nullptr);
    int value = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen != nullptr)
        ReleaseDC(nullptr, screen);
    return value;
}

int Win32Checks::bitsPerPixel() {
    HDC screen = GetDC(nullptr);
    int value = screen != nullptr ? GetDeviceCaps(screen, BITSPIXEL) : 32;
    if (screen != nullptr)
        ReleaseDC(nullptr, screen);
    return value;
}

// A named callback: on i686 a lambda does not convert to the stdcall WNDENUMPROC.
static BOOL CALLBACK collectTopWindow(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

std::vector<TopWindow> Win32Checks::topLevelWindows() {
    std::vector<HWND> handles;
    EnumWindows(collectTopWindow, reinterpret_cast<LPARAM>(&handles));
    std::vector<TopWindow> windows;
    windows.reserve(handles.size());
    for (HWND handle : handles) {
        TopWindow w;
        w.handle = reinterpret_cast<WindowHandle>(handle);
        char text[256] = {};
        if (GetClassNameA(handle, text, sizeof text) > 0)
            w.windowClass = fixedText(text, sizeof text - 1);
        text[0] = '\0';
        if (GetWindowTextA(handle, text, sizeof text) > 0)
            w.title = fixedText(text, sizeof text - 1);
        w.style = static_cast<std::uint32_t>(GetWindowLongA(handle, GWL_STYLE));
        w.parent = reinterpret_cast<WindowHandle>(GetParent(handle));
        windows.push_back(std::move(w));
    }
    return windows;
}

void Win32Checks::bringToForeground(WindowHandle window) {
    SetForegroundWindow(toWindow(window));
}

bool Win32Checks::sendWithCallback(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                   std::intptr_t lParam, std::function<void(std::intptr_t)> onReply) {
    auto* callback = new std::function<void(std::intptr_t)>(std::move(onReply));
    if (!SendMessageCallbackA(toWindow(window), message, static_cast<WPARAM>(wParam),
                              static_cast<LPARAM>(lParam), pollReplied,
                              reinterpret_cast<ULONG_PTR>(callback))) {
        delete callback;
        return false;
    }
    return true;
}

std::optional<std::intptr_t> Win32Checks::sendBounded(WindowHandle window, std::uint32_t message,
                                                      std::uintptr_t wParam, std::intptr_t lParam,
                                                      std::uint32_t timeoutMs) {
    DWORD_PTR reply = 0;
    if (!SendMessageTimeoutA(toWindow(window), message, static_cast<WPARAM>(wParam),
                             static_cast<LPARAM>(lParam), SMTO_ABORTIFHUNG, timeoutMs, &reply))
        return std::nullopt;
    return static_cast<std::intptr_t>(reply);
}

void Win32Checks::waitCursor(bool on) {
    SetCursor(LoadCursor(nullptr, on ? IDC_WAIT : IDC_ARROW));
}

// --- ProcessProbe -------------------------------------------------------------------------------

MutexOpen Win32Checks::openMutex(const std::string& name) {
    HANDLE mutex = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, name.c_str());
    if (mutex == nullptr)
        return {false, GetLastError()};
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    return {true, 0};
}

bool Win32Checks::toolhelpAvailable() {
    return toolhelp().complete();
}

std::optional<std::vector<ProcessEntry>> Win32Checks::processList() {
    const ToolhelpFunctions& f = toolhelp();
    if (!f.complete())
        return std::nullopt;
    Handle snapshot(f.snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return std::nullopt;
    std::vector<ProcessEntry> processes;
    forEachEntry<PROCESSENTRY32>(snapshot, f.processFirst, f.processNext, [&](const PROCESSENTRY32& entry) {
        ProcessEntry p;
        p.pid = entry.th32ProcessID;
        p.exeFile = fixedText(entry.szExeFile, sizeof entry.szExeFile);
        p.exePath =
            p.exeFile.find('\\') == std::string::npos ? fullImagePath(entry.th32ProcessID) : p.exeFile;
        if (p.exePath.empty())
            p.exePath = p.exeFile;
        processes.push_back(std::move(p));
    });
    return processes;
}

std::optional<std::vector<ModuleEntry>> Win32Checks::moduleList(std::uint32_t pid) {
    const ToolhelpFunctions& f = toolhelp();
    if (!f.complete())
        return std::nullopt;
    HANDLE raw = INVALID_HANDLE_VALUE;
    // A snapshot of a process that is starting up can fail with ERROR_BAD_LENGTH: try again.
    for (int attempt = 0; attempt < 3 && raw == INVALID_HANDLE_VALUE; ++attempt)
        raw = f.snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, pid);
    Handle snapshot(raw);
    if (!snapshot)
        return std::nullopt;
    std::vector<ModuleEntry> modules;
    forEachEntry<MODULEENTRY32>(snapshot, f.moduleFirst, f.moduleNext, [&](const MODULEENTRY32& entry) {
        modules.push_back({fixedText(entry.szModule, sizeof entry.szModule),
                           fixedText(entry.szExePath, sizeof entry.szExePath)});
    });
    return modules;
}

std::uint32_t Win32Checks::windowProcess(WindowHandle window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(toWindow(window), &pid);
    return pid;
}

ProcessHandle Win32Checks::openProcess(std::uint32_t pid, std::uint32_t access) {
    HANDLE process = OpenProcess(access, FALSE, pid);
    return ProcessHandle{reinterpret_cast<std::uintptr_t>(process), 0};
}

// --- HardwareProbe ------------------------------------------------------------------------------

std::optional<std::vector<TokenGroup>> Win32Checks::tokenGroups() {
    HANDLE raw = nullptr;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &raw)) {
        if (GetLastError() != ERROR_NO_TOKEN || !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw))
            return std::nullopt;
    }
    Handle token(raw);
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenGroups, nullptr, 0, &size);
    if (size == 0)
        return std::nullopt;
    std::vector<unsigned char> buffer(size);
    if (!GetTokenInformation(token.get(), TokenGroups, buffer.data(), size, &size))
        return std::nullopt;
    const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
    std::vector<TokenGroup> out;
    for (DWORD i = 0; i < groups->GroupCount; ++i) {
        char* text = nullptr;
        if (!ConvertSidToStringSidA(groups->Groups[i].Sid, &text) || text == nullptr)
            return std::nullopt;
        out.push_back({text, groups->Groups[i].Attributes});
        LocalFree(text);
    }
    return out;
}

std::uint32_t Win32Checks::processorType() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwProcessorType;
}

std::optional<std::uint32_t> Win32Checks::cpuidFamily() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    // __get_cpuid tests for CPUID itself (the ID flag) on processors that may lack it.
    if (!__get_cpuid(1, &a, &b, &c, &d))
        return std::nullopt;
    return (a >> 8) & 0xF;
}

std::optional<std::string> Win32Checks::defaultLanguage() {
    char text[21] = {};
    if (GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTLANGUAGE, text, sizeof text) == 0)
        return std::nullopt;
    return fixedText(text, sizeof text - 1);
}

// --- DiskProbe ----------------------------------------------------------------------------------

FreeSpaceEx Win32Checks::freeSpaceEx(const std::string& root) {
    using GetDiskFreeSpaceExFn = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
    FreeSpaceEx answer;
    HMODULE kernel = GetModuleHandleA("KERNEL32.dll");
    if (kernel == nullptr) {
        answer.outcome = FreeSpaceEx::Outcome::NoKernel;
        return answer;
    }
    auto query = procAddress<GetDiskFreeSpaceExFn>(kernel, "GetDiskFreeSpaceExA");
    if (query == nullptr) {
        answer.outcome = FreeSpaceEx::Outcome::Missing;
        answer.error = GetLastError();
        return answer;
    }
    ULARGE_INTEGER available, total, free;
    if (!query(root.c_str(), &available, &total, &free)) {
        answer.outcome = FreeSpaceEx::Outcome::Failed;
        answer.error = GetLastError();
        return answer;
    }
    answer.outcome = FreeSpaceEx::Outcome::Ok;
    answer.bytes = available.QuadPart;
    return answer;
}

FreeSpaceOld Win32Checks::freeSpaceOld(const std::string& root) {
    FreeSpaceOld answer;
    DWORD sectors = 0, bytes = 0, clusters = 0, total = 0;
    if (!GetDiskFreeSpaceA(root.c_str(), &sectors, &bytes, &clusters, &total)) {
        answer.error = GetLastError();
        return answer;
    }
    answer.ok = true;
    answer.sectorsPerCluster = sectors;
    answer.bytesPerSector = bytes;
    answer.freeClusters = clusters;
    return answer;
}

std::optional<RecycleBinInfo> Win32Checks::recycleBin(const std::string& root) {
    using QueryFn = HRESULT(WINAPI*)(LPCSTR, LPSHQUERYRBINFO);
    HMODULE shell = loadSystemLibrary("shell32.dll");
    auto query = procAddress<QueryFn>(shell, "SHQueryRecycleBinA");
    std::optional<RecycleBinInfo> answer;
    if (query != nullptr) {
        SHQUERYRBINFO info;
        std::memset(&info, 0, sizeof info);
        info.cbSize = sizeof info;
        if (query(root.c_str(), &info) == S_OK)
            answer = RecycleBinInfo{static_cast<std::uint64_t>(info.i64NumItems),
                                    static_cast<std::uint64_t>(info.i64Size)};
    }
    if (shell != nullptr)
        FreeLibrary(shell);
    return answer;
}

bool Win32Checks::emptyRecycleBin(const std::string& root) {
    using EmptyFn = HRESULT(WINAPI*)(HWND, LPCSTR, DWORD);
    HMODULE shell = loadSystemLibrary("shell32.dll");
    auto empty = procAddress<EmptyFn>(shell, "SHEmptyRecycleBinA");
    bool done = empty != nullptr && empty(nullptr, root.c_str(), SHERB_NOCONFIRMATION) == S_OK;
    if (shell != nullptr)
        FreeLibrary(shell);
    return done;
}

std::optional<std::string> Win32Checks::recycleBinName() {
    std::optional<RegistryValue> read =
        readRegistryValue(HKEY_CLASSES_ROOT, "CLSID\\{645FF040-5081-101B-9F08-00AA002F954E}", "", 256);
    if (!read || (read->type != REG_SZ && read->type != REG_EXPAND_SZ))
        return std::nullopt;
    return std::move(read->text);
}

std::optional<std::string> Win32Checks::shellTypeName(const std::string& path) {
    SHFILEINFOA info;
    std::memset(&info, 0, sizeof info);
    if (SHGetFileInfoA(path.c_str(), 0, &info, sizeof info, SHGFI_TYPENAME) == 0)
        return std::nullopt;
    return fixedText(info.szTypeName, sizeof info.szTypeName);
}

std::optional<std::vector<DirectoryEntry>> Win32Checks::listDirectory(const std::string& directory) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((directory + "\\*.*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::vector<DirectoryEntry> entries;
    do {
        DirectoryEntry entry;
        entry.name = fixedText(data.cFileName, sizeof data.cFileName);
        entry.directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.link = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        entry.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        entry.modified = unixSecondsOf(data.ftLastWriteTime);
        entries.push_back(std::move(entry));
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return entries;
}

bool Win32Checks::deleteFileForced(const std::string& path) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(path.c_str()) != FALSE;
}

bool Win32Checks::removeDirectory(const std::string& path) {
    return RemoveDirectoryA(path.c_str()) != FALSE;
}

bool Win32Checks::createDirectory(const std::string& path) {
    return CreateDirectoryA(path.c_str(), nullptr) != FALSE;
}

std::optional<std::string> Win32Checks::fileVersion(const std::string& path) {
    struct Translation {
        WORD language;
        WORD codePage;
    };
    VersionResource resource(path);
    void* value = nullptr;
    UINT length = 0;
    if (!resource.query("\\VarFileInfo\\Translation", value, length))
        return std::nullopt;
    // Copied out: the resource's block need not be aligned for the structure.
    std::vector<Translation> translations(length / sizeof(Translation));
    std::memcpy(translations.data(), value, translations.size() * sizeof(Translation));
    std::optional<std::string> version;
    for (const Translation& translation : translations) {
        char block[64];
        std::snprintf(block, sizeof block, "\\StringFileInfo\\%08X\\FileVersion",
                      (static_cast<unsigned>(translation.language) << 16) | translation.codePage);
        void* text = nullptr;
        UINT textLength = 0;
        if (resource.query(block, text, textLength))
            version = fixedText(static_cast<const char*>(text), textLength);
    }
    return version;
}

std::optional<std::uint64_t> Win32Checks::fileSize(const std::string& path) {
    Handle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (!file || !GetFileSizeEx(file.get(), &size))
        return std::nullopt;
    return static_cast<std::uint64_t>(size.QuadPart);
}

// --- SessionProbe -------------------------------------------------------------------------------

bool Win32Checks::available() {
    return sessionFunctions().complete;
}

std::uint32_t Win32Checks::activeConsoleSession() {
    const SessionFunctions& f = sessionFunctions();
    return f.complete ? f.activeConsole() : 0xFFFFFFFF;
}

std::optional<std::vector<SessionProcess>> Win32Checks::processes() {
    const SessionFunctions& f = sessionFunctions();
    if (!f.complete)
        return std::nullopt;
    PWTS_PROCESS_INFOA info = nullptr;
    DWORD count = 0;
    if (!f.enumerateProcesses(WTS_CURRENT_SERVER_HANDLE, 0, 1, &info, &count))
        return std::nullopt;
    std::vector<SessionProcess> out;
    for (DWORD i = 0; i < count; ++i) {
        SessionProcess p;
        p.name = info[i].pProcessName != nullptr ? std::string(info[i].pProcessName) : std::string();
        p.session = info[i].SessionId;
        p.hasSid = info[i].pUserSid != nullptr;
        if (p.hasSid) {
            char name[256] = {}, domain[256] = {};
            DWORD nameSize = sizeof name, domainSize = sizeof domain;
            SID_NAME_USE use;
            if (f.lookupAccountSid(nullptr, info[i].pUserSid, name, &nameSize, domain, &domainSize, &use))
                p.account = fixedText(name, sizeof name - 1);
        }
        out.push_back(std::move(p));
    }
    f.freeMemory(info);
    return out;
}

std::optional<std::string> Win32Checks::sessionUserName(std::uint32_t session) {
    const SessionFunctions& f = sessionFunctions();
    if (!f.complete)
        return std::nullopt;
    LPSTR text = nullptr;
    DWORD bytes = 0;
    if (!f.queryA(WTS_CURRENT_SERVER_HANDLE, session, WTSUserName, &text, &bytes) || text == nullptr)
        return std::nullopt;
    std::string name = fixedText(text, bytes);
    f.freeMemory(text);
    return name;
}

std::string Win32Checks::ownUserDisplayName() {
    const SessionFunctions& f = sessionFunctions();
    if (!f.complete)
        return {};
    LPWSTR user = nullptr;
    DWORD bytes = 0;
    if (!f.queryW(WTS_CURRENT_SERVER_HANDLE, WTS_CURRENT_SESSION, WTSUserName, &user, &bytes) ||
        user == nullptr)
        return {};
    std::string answer;
    LPBYTE buffer = nullptr;
    if (f.netUserGetInfo(nullptr, user, 2, &buffer) == NERR_Success && buffer != nullptr) {
        const auto* info = reinterpret_cast<const USER_INFO_2*>(buffer);
        const wchar_t* name = (info->usri2_full_name != nullptr && info->usri2_full_name[0] != L'\0')
                                  ? info->usri2_full_name
                                  : info->usri2_name;
        char text[256] = {};
        if (name != nullptr &&
            WideCharToMultiByte(CP_ACP, 0, name, -1, text, sizeof text, nullptr, nullptr) > 0)
            answer = fixedText(text, sizeof text - 1);
        f.netApiBufferFree(buffer);
    }
    f.freeMemory(user);
    return answer;
}

// --- PipePort -----------------------------------------------------------------------------------

std::optional<std::string> Win32Checks::transact(const std::string& pipe, const std::string& request,
                                                 std::size_t maxReply, std::uint32_t timeoutMs) {
    // A bounded wait: a server whose instances are all busy must not hold the checks.
    if (!WaitNamedPipeA(pipe.c_str(), timeoutMs))
        return std::nullopt;
    Handle file(CreateFileA(pipe.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OVERLAPPED, nullptr));
    if (!file)
        return std::nullopt;
    std::string out = request;
    DWORD written = 0, error = 0;
    if (!boundedIo(file.get(), true, out.data(), static_cast<DWORD>(out.size()), written, timeoutMs, error) ||
        written != out.size())
        return std::nullopt;
    std::string reply(maxReply, '\0');
    DWORD read = 0;
    if (!boundedIo(file.get(), false, reply.data(), static_cast<DWORD>(reply.size()), read, timeoutMs,
                   error) &&
        error != ERROR_MORE_DATA)
        return std::nullopt;
    reply.resize(read);
    return reply;
}

bool Win32Checks::startServer(const std::string& pipe, std::size_t maxRequest, Answer answer) {
    auto* context = new ServerContext;
    context->pipe = pipe;
    context->maxRequest = maxRequest;
    context->answer = std::move(answer);
    HANDLE thread = CreateThread(nullptr, 0, listenerThread, context, 0, nullptr);
    if (thread == nullptr) {
        delete context;
        return false;
    }
    CloseHandle(thread);
    return true;
}

} // namespace zov::win32
