// Processes and named kernel objects.

#include "platform/win32/win32_ports.h"
#include "platform/win32/win32_util.h"

#include <cstring>
#include <vector>

namespace zov::win32 {
namespace {

// The integrity level asked of a standard user's process.
constexpr DWORD kMediumIntegrity = 8192; // SECURITY_MANDATORY_MEDIUM_RID
constexpr DWORD kGroupIntegrity = 0x20;  // SE_GROUP_INTEGRITY

STARTUPINFOA startupInfo(bool showMaximized) {
    STARTUPINFOA info;
    std::memset(&info, 0, sizeof info);
    info.cb = sizeof info;
    if (showMaximized) {
        info.dwFlags = STARTF_USESHOWWINDOW;
        info.wShowWindow = SW_SHOWMAXIMIZED;
    }
    return info;
}

// The process functions may write into the command line: hand them a private copy.
std::vector<char> writableCommandLine(const std::string& commandLine) {
    std::vector<char> text(commandLine.begin(), commandLine.end());
    text.push_back('\0');
    return text;
}

ProcessHandle handles(const PROCESS_INFORMATION& info) {
    ProcessHandle process;
    process.process = reinterpret_cast<std::uintptr_t>(info.hProcess);
    process.thread = reinterpret_cast<std::uintptr_t>(info.hThread);
    return process;
}

HANDLE toHandle(std::uintptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

HMODULE advapi32() {
    // Linked anyway, so this only takes another reference; it is never freed.
    return loadSystemLibrary("advapi32.dll");
}

// A copy of our own token that carries the given integrity level, or null. Every function
// is looked up, as systems before NT 6.0 lack the integrity label.
HANDLE standardUserToken(DWORD integrityLevel) {
    using OpenProcessTokenFn = BOOL(WINAPI*)(HANDLE, DWORD, PHANDLE);
    using DuplicateTokenExFn = BOOL(WINAPI*)(HANDLE, DWORD, LPSECURITY_ATTRIBUTES,
                                             SECURITY_IMPERSONATION_LEVEL, TOKEN_TYPE, PHANDLE);
    using SetTokenInformationFn = BOOL(WINAPI*)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD);
    using AllocateAndInitializeSidFn = BOOL(WINAPI*)(PSID_IDENTIFIER_AUTHORITY, BYTE, DWORD, DWORD, DWORD,
                                                     DWORD, DWORD, DWORD, DWORD, DWORD, PSID*);
    HMODULE library = advapi32();
    auto openProcessToken = procAddress<OpenProcessTokenFn>(library, "OpenProcessToken");
    auto duplicateTokenEx = procAddress<DuplicateTokenExFn>(library, "DuplicateTokenEx");
    auto setTokenInformation = procAddress<SetTokenInformationFn>(library, "SetTokenInformation");
    auto allocateAndInitializeSid =
        procAddress<AllocateAndInitializeSidFn>(library, "AllocateAndInitializeSid");
    if (openProcessToken == nullptr || duplicateTokenEx == nullptr || setTokenInformation == nullptr ||
        allocateAndInitializeSid == nullptr)
        return nullptr;

    HANDLE own = nullptr;
    if (!openProcessToken(GetCurrentProcess(), MAXIMUM_ALLOWED, &own))
        return nullptr;
    HANDLE copy = nullptr;
    BOOL duplicated =
        duplicateTokenEx(own, MAXIMUM_ALLOWED, nullptr, SecurityImpersonation, TokenPrimary, &copy);
    CloseHandle(own);
    if (!duplicated)
        return nullptr;

    SID_IDENTIFIER_AUTHORITY mandatoryLabel = {{0, 0, 0, 0, 0, 16}};
    PSID levelSid = nullptr;
    if (!allocateAndInitializeSid(&mandatoryLabel, 1, integrityLevel, 0, 0, 0, 0, 0, 0, 0, &levelSid)) {
        CloseHandle(copy);
        return nullptr;
    }
    TOKEN_MANDATORY_LABEL label;
    std::memset(&label, 0, sizeof label);
    label.Label.Attributes = kGroupIntegrity;
    label.Label.Sid = levelSid;
    BOOL labelled = setTokenInformation(copy, TokenIntegrityLevel, &label,
                                        static_cast<DWORD>(sizeof label + GetLengthSid(levelSid)));
    FreeSid(levelSid);
    if (!labelled) {
        // An unlabelled copy would start the program with our own full rights.
        CloseHandle(copy);
        return nullptr;
    }
    return copy;
}

} // namespace

ProcessHandle Win32Processes::start(const ProcessStart& what, bool showMaximized) {
    STARTUPINFOA startup = startupInfo(showMaximized);
    PROCESS_INFORMATION info;
    std::memset(&info, 0, sizeof info);
    std::vector<char> command = writableCommandLine(what.commandLine());
    if (!CreateProcessA(what.program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return {};
    return handles(info);
}

Processes::StandardUserStart Win32Processes::startAsStandardUser(const ProcessStart& what, bool showMaximized,
                                                                 ProcessHandle& started) {
    using CreateProcessAsUserFn =
        BOOL(WINAPI*)(HANDLE, LPCSTR, LPSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD,
                      LPVOID, LPCSTR, LPSTARTUPINFOA, LPPROCESS_INFORMATION);
    started = {};
    auto createProcessAsUser = procAddress<CreateProcessAsUserFn>(advapi32(), "CreateProcessAsUserA");
    if (createProcessAsUser == nullptr)
        return StandardUserStart::NoCreateProcessAsUser;
    HANDLE token = standardUserToken(kMediumIntegrity);
    if (token == nullptr)
        return StandardUserStart::NoToken;

    STARTUPINFOA startup = startupInfo(showMaximized);
    PROCESS_INFORMATION info;
    std::memset(&info, 0, sizeof info);
    std::vector<char> command = writableCommandLine(what.commandLine());
    BOOL created = createProcessAsUser(token, what.program.c_str(), command.data(), nullptr, nullptr, FALSE,
                                       NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &info);
    // The caller traces the reason of a failure: keep it across the clean-up.
    DWORD error = GetLastError();
    CloseHandle(token);
    SetLastError(error);
    if (!created)
        return StandardUserStart::Failed;
    started = handles(info);
    return StandardUserStart::Started;
}

bool Win32Processes::hasEnded(const ProcessHandle& process) {
    // Only a wait that timed out means "still running": a handle that cannot be waited on
    // would otherwise keep a caller's wait loop going for ever.
    return WaitForSingleObject(toHandle(process.process), 0) != WAIT_TIMEOUT;
}

std::optional<std::uint32_t> Win32Processes::exitCode(const ProcessHandle& process) {
    DWORD code = 0;
    if (!GetExitCodeProcess(toHandle(process.process), &code))
        return std::nullopt;
    return code;
}

void Win32Processes::close(ProcessHandle& process) {
    if (process.thread != 0)
        CloseHandle(toHandle(process.thread));
    if (process.process != 0)
        CloseHandle(toHandle(process.process));
    process = {};
}

bool Win32Processes::terminate(const ProcessHandle& process, std::uint32_t exitCode) {
    return TerminateProcess(toHandle(process.process), exitCode) != FALSE;
}

std::uintptr_t Win32KernelObjects::createMutex(const std::string& name) {
    // Created owned, so that releasing it at the end is meaningful. When another process
    // made it first the handle still names the same object; that is all that counts here.
    HANDLE mutex = CreateMutexA(nullptr, TRUE, name.c_str());
    return reinterpret_cast<std::uintptr_t>(mutex);
}

void Win32KernelObjects::releaseMutex(std::uintptr_t mutex) {
    if (mutex == 0)
        return;
    ReleaseMutex(toHandle(mutex));
    CloseHandle(toHandle(mutex));
}

bool Win32KernelObjects::createSignalledEvent(const std::string& name) {
    HANDLE event = CreateEventA(nullptr, FALSE, TRUE, name.c_str());
    if (event == nullptr)
        return false;
    // When the waiting process made the event first, creation ignores the initial state:
    // set it explicitly so that the signal is given either way. The handle stays open for
    // the life of the process so that the event outlives this call.
    return SetEvent(event) != FALSE;
}

} // namespace zov::win32
