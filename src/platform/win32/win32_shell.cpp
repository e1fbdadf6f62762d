// Shell and COM, the machine's power, and the service control manager.

#include "platform/win32/win32_ports.h"
#include "platform/win32/win32_util.h"

#include <objbase.h>
#include <objidl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdlib>
#include <cstring>

namespace zov::win32 {
namespace {

constexpr int kProgramFilesFolder = 38; // CSIDL_PROGRAM_FILES
constexpr int kDesktopDirectory = 16;   // CSIDL_DESKTOPDIRECTORY

// COM for the length of one shell-link operation. The UI thread may already have entered
// an apartment (the control container does); a successful call is balanced either way.
class ComScope {
  public:
    ComScope() : result_(CoInitialize(nullptr)) {}
    ~ComScope() {
        if (SUCCEEDED(result_))
            CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

  private:
    HRESULT result_;
};

template <typename Interface> class ComPtr {
  public:
    ComPtr() = default;
    ~ComPtr() {
        if (p_ != nullptr)
            p_->Release();
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    Interface* operator->() const { return p_; }
    Interface** out() { return &p_; }
    void** outVoid() { return reinterpret_cast<void**>(&p_); }
    explicit operator bool() const { return p_ != nullptr; }

  private:
    Interface* p_ = nullptr;
};

// IPersistFile names files in UTF-16; our paths are in the ANSI code page.
std::wstring widePath(const std::string& path) {
    if (path.empty())
        return {};
    int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), static_cast<int>(path.size()), nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), static_cast<int>(path.size()), wide.data(), length);
    return wide;
}

} // namespace

std::optional<std::string> Win32Shell::programFilesFolder() {
    return shellFolderPath(kProgramFilesFolder);
}

std::optional<std::string> Win32Shell::defaultUserDesktop() {
    using SHGetFolderPathFn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);
    HMODULE library = loadSystemLibrary("shell32.dll");
    auto getFolderPath = procAddress<SHGetFolderPathFn>(library, "SHGetFolderPathA");
    std::optional<std::string> folder;
    char path[MAX_PATH + 1] = {};
    // The token -1 names the default user.
    if (getFolderPath != nullptr &&
        getFolderPath(nullptr, kDesktopDirectory, reinterpret_cast<HANDLE>(-1), 0, path) == S_OK)
        folder = std::string(path, strnlen(path, MAX_PATH));
    if (library != nullptr)
        FreeLibrary(library);
    return folder;
}

bool Win32Shell::createShortcut(const std::string& link, const std::string& target,
                                const std::string& description) {
    std::wstring file = widePath(link);
    if (file.empty())
        return false;
    ComScope com;
    ComPtr<IShellLinkA> shellLink;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                shellLink.outVoid())))
        return false;
    if (FAILED(shellLink->SetPath(target.c_str())) || FAILED(shellLink->SetDescription(description.c_str())))
        return false;
    ComPtr<IPersistFile> persist;
    if (FAILED(shellLink->QueryInterface(IID_IPersistFile, persist.outVoid())))
        return false;
    return SUCCEEDED(persist->Save(file.c_str(), TRUE));
}

void Win32Shell::startShortcut(const std::string& link, const std::string& target,
                               const std::string& description) {
    // The worker enters an apartment of its own (ComScope) for the shell link object.
    if (HANDLE worker =
            startWorker([this, link, target, description] { createShortcut(link, target, description); }))
        background_.push_back(worker);
}

std::optional<std::string> Win32Shell::shortcutTarget(const std::string& link) {
    std::wstring file = widePath(link);
    if (file.empty())
        return std::nullopt;
    ComScope com;
    ComPtr<IShellLinkA> shellLink;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                shellLink.outVoid())))
        return std::nullopt;
    ComPtr<IPersistFile> persist;
    if (FAILED(shellLink->QueryInterface(IID_IPersistFile, persist.outVoid())) ||
        FAILED(persist->Load(file.c_str(), STGM_READ)))
        return std::nullopt;
    // The stored path only: resolving a link could search the disks while the UI waits.
    char target[MAX_PATH + 1] = {};
    if (shellLink->GetPath(target, MAX_PATH, nullptr, 0) != S_OK)
        return std::nullopt;
    return std::string(target, strnlen(target, MAX_PATH));
}

bool Win32Shell::deletePattern(const std::string& pattern) {
    if (pattern.empty())
        return false;
    // The shell's file operation is slow to start; when no file matches it has nothing to do.
    // Folders never count: the temporary folder is anyone's to write in, and an elevated
    // run must not delete a folder (or what a planted link points to) because of its name.
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return true;
    bool anyFile = false;
    do
        anyFile = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    while (!anyFile && FindNextFileA(search, &found));
    FindClose(search);
    if (!anyFile)
        return true;
    // The source is a list of names ended by an empty one: one pattern, two NULs.
    std::string from = pattern;
    from.push_back('\0');
    from.push_back('\0');
    SHFILEOPSTRUCTA operation;
    std::memset(&operation, 0, sizeof operation);
    operation.hwnd = nullptr;
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    // No undo (nothing goes to the recycle bin). No error box either: with no owner window
    // it would stop a silent run until someone answered it.
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_FILESONLY;
    return SHFileOperationA(&operation) == 0 && !operation.fAnyOperationsAborted;
}

void Win32Shell::notifyAssociationsChanged() {
    if (HANDLE worker =
            startWorker([] { SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr); }))
        background_.push_back(worker);
}

void Win32Shell::settle() {
    for (HANDLE worker : background_) {
        WaitForSingleObject(worker, INFINITE);
        CloseHandle(worker);
    }
    background_.clear();
}

Win32Shell::~Win32Shell() {
    settle();
}

bool Win32Power::enableShutdownPrivilege() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return false;
    TOKEN_PRIVILEGES privileges;
    std::memset(&privileges, 0, sizeof privileges);
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    bool enabled = false;
    if (LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid)) {
        // The call succeeds even when the token lacks the privilege; only the last error
        // (ERROR_NOT_ALL_ASSIGNED) tells.
        SetLastError(ERROR_SUCCESS);
        BOOL adjusted = AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
        enabled = adjusted && GetLastError() == ERROR_SUCCESS;
    }
    CloseHandle(token);
    return enabled;
}

namespace {

#ifdef ZOV_TEST_HOOKS
// Test builds only: a restart under Wine would end every windowed process of the prefix
// with exit code 0, so a test names a file in which the request is recorded instead.
std::optional<bool> recordRestartForTests() {
    char path[MAX_PATH + 1] = {};
    DWORD length = GetEnvironmentVariableA("ZOV_TEST_RESTART_LOG", path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return std::nullopt;
    HANDLE log = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE)
        return false;
    static const char kLine[] = "restart\r\n";
    DWORD written = 0;
    BOOL ok = WriteFile(log, kLine, sizeof kLine - 1, &written, nullptr);
    CloseHandle(log);
    return ok && written == sizeof kLine - 1;
}
#endif

} // namespace

bool Win32Power::restartWindows() {
#ifdef ZOV_TEST_HOOKS
    if (std::optional<bool> recorded = recordRestartForTests())
        return *recorded;
#endif
    return ExitWindowsEx(EWX_REBOOT, 0) != FALSE;
}

void Win32ServiceControl::load() {
    if (loaded_)
        return;
    loaded_ = true;
    // Stays loaded for the life of the process.
    HMODULE library = loadSystemLibrary("advapi32.dll");
    openSCManager_ = procAddress<OpenSCManagerFn>(library, "OpenSCManagerA");
    openService_ = procAddress<OpenServiceFn>(library, "OpenServiceA");
    startService_ = procAddress<StartServiceFn>(library, "StartServiceA");
    queryServiceStatusEx_ = procAddress<QueryServiceStatusExFn>(library, "QueryServiceStatusEx");
    closeServiceHandle_ = procAddress<CloseServiceHandleFn>(library, "CloseServiceHandle");
}

bool Win32ServiceControl::fail() {
    failure_ = GetLastError();
    // A failure must never read as success (0).
    if (failure_ == 0)
        failure_ = ERROR_GEN_FAILURE;
    return false;
}

bool Win32ServiceControl::available() {
    load();
    const bool found = openSCManager_ != nullptr && openService_ != nullptr && startService_ != nullptr &&
                       queryServiceStatusEx_ != nullptr && closeServiceHandle_ != nullptr;
    if (!found)
        failure_ = ERROR_PROC_NOT_FOUND;
    return found;
}

bool Win32ServiceControl::openManager() {
    if (!available())
        return false;
    if (manager_ == nullptr)
        manager_ = openSCManager_(nullptr, nullptr, 0xF003F); // SC_MANAGER_ALL_ACCESS
    return manager_ != nullptr || fail();
}

bool Win32ServiceControl::openService(const std::string& name) {
    if (manager_ == nullptr) {
        failure_ = ERROR_INVALID_HANDLE;
        return false;
    }
    closeService();
    service_ = openService_(manager_, name.c_str(), 0xF01FF); // SERVICE_ALL_ACCESS
    return service_ != nullptr || fail();
}

std::uint32_t Win32ServiceControl::start() {
    if (service_ == nullptr)
        return failure_ = ERROR_INVALID_HANDLE;
    if (startService_(service_, 0, nullptr))
        return 0;
    fail();
    return failure_;
}

std::optional<ServiceStatus> Win32ServiceControl::query() {
    if (service_ == nullptr)
        return std::nullopt;
    SERVICE_STATUS_PROCESS status;
    std::memset(&status, 0, sizeof status);
    DWORD needed = 0;
    if (!queryServiceStatusEx_(service_, SC_STATUS_PROCESS_INFO, reinterpret_cast<LPBYTE>(&status),
                               sizeof status, &needed)) {
        fail();
        return std::nullopt;
    }
    ServiceStatus result;
    result.state = status.dwCurrentState;
    result.checkPoint = status.dwCheckPoint;
    result.waitHint = status.dwWaitHint;
    return result;
}

void Win32ServiceControl::closeService() {
    if (service_ != nullptr) {
        closeServiceHandle_(service_);
        service_ = nullptr;
    }
}

} // namespace zov::win32
