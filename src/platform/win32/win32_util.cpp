#include "platform/win32/win32_util.h"

#include "platform/win32/win32_ports.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace zov::win32 {
namespace {

constexpr DWORD kSearchSystemFolder = 0x00000800; // LOAD_LIBRARY_SEARCH_SYSTEM32

struct VersionFunctions {
    using SizeFn = DWORD(WINAPI*)(LPCSTR, LPDWORD);
    using InfoFn = BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID);
    using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT);
    SizeFn size = nullptr;
    InfoFn info = nullptr;
    QueryFn query = nullptr;
};

const VersionFunctions& versionFunctions() {
    // Loaded once and kept for the process.
    static const VersionFunctions functions = [] {
        HMODULE library = loadSystemLibrary("version.dll");
        VersionFunctions f;
        f.size = procAddress<VersionFunctions::SizeFn>(library, "GetFileVersionInfoSizeA");
        f.info = procAddress<VersionFunctions::InfoFn>(library, "GetFileVersionInfoA");
        f.query = procAddress<VersionFunctions::QueryFn>(library, "VerQueryValueA");
        if (f.size == nullptr || f.info == nullptr || f.query == nullptr)
            f = VersionFunctions{};
        return f;
    }();
    return functions;
}

} // namespace

HKEY rootKey(RegRoot root) {
    return root == RegRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

RegistryKey::RegistryKey(HKEY root, const std::string& name, REGSAM access) {
    if (RegOpenKeyExA(root, name.c_str(), 0, access, &key_) != ERROR_SUCCESS)
        key_ = nullptr;
}

RegistryKey::~RegistryKey() {
    if (key_ != nullptr)
        RegCloseKey(key_);
}

bool RegistryKey::create(HKEY root, const std::string& name) {
    if (RegCreateKeyExA(root, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr) ==
        ERROR_SUCCESS)
        return true;
    key_ = nullptr;
    return false;
}

std::optional<RegistryValue> readRegistryValue(HKEY root, const std::string& key, const std::string& value,
                                               std::size_t maxBytes) {
    if (maxBytes == 0 || maxBytes > 0x7FFFFFFF)
        return std::nullopt;
    RegistryKey opened(root, key, KEY_QUERY_VALUE);
    if (!opened)
        return std::nullopt;
    std::string buffer(maxBytes, '\0');
    RegistryValue result;
    result.size = static_cast<DWORD>(maxBytes);
    if (RegQueryValueExA(opened.get(), value.empty() ? nullptr : value.c_str(), nullptr, &result.type,
                         reinterpret_cast<BYTE*>(buffer.data()), &result.size) != ERROR_SUCCESS)
        return std::nullopt;
    result.text.assign(buffer.data(), strnlen(buffer.data(), std::min<std::size_t>(result.size, maxBytes)));
    return result;
}

void restrictLibrarySearch() {
    // Both are looked up: Windows 2000 and 98 have neither, Windows XP and Vista only the first.
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    using SetDllDirectoryFn = BOOL(WINAPI*)(LPCSTR);
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    if (auto setDllDirectory = procAddress<SetDllDirectoryFn>(kernel, "SetDllDirectoryA"))
        setDllDirectory("");
    // Without this the program's own folder stays first in the search; it also rules what
    // system libraries load by name on our behalf.
    if (auto setDefault = procAddress<SetDefaultDllDirectoriesFn>(kernel, "SetDefaultDllDirectories"))
        setDefault(kSearchSystemFolder);
}

HMODULE loadSystemLibrary(const char* name) {
    char path[MAX_PATH + 1] = {};
    UINT n = GetSystemDirectoryA(path, MAX_PATH);
    const std::size_t nameLength = std::strlen(name);
    if (n == 0 || n + 1 + nameLength > MAX_PATH)
        return nullptr;
    path[n] = '\\';
    std::memcpy(path + n + 1, name, nameLength + 1);
    // The library's own imports are looked for beside it, in the system folder, first.
    return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

std::optional<std::string> shellFolderPath(int folder) {
    using SHGetFolderPathFn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);
    for (const char* libraryName : {"shfolder.dll", "shell32.dll"}) {
        HMODULE library = loadSystemLibrary(libraryName);
        auto getFolderPath = procAddress<SHGetFolderPathFn>(library, "SHGetFolderPathA");
        if (getFolderPath != nullptr) {
            char path[MAX_PATH + 1] = {};
            HRESULT result = getFolderPath(nullptr, folder, nullptr, 0, path);
            FreeLibrary(library);
            if (result != S_OK)
                return std::nullopt;
            return std::string(path, strnlen(path, MAX_PATH));
        }
        if (library != nullptr)
            FreeLibrary(library);
    }
    return std::nullopt;
}

VersionResource::VersionResource(const std::string& path) {
    const VersionFunctions& f = versionFunctions();
    if (f.size == nullptr)
        return;
    DWORD ignored = 0;
    DWORD size = f.size(path.c_str(), &ignored);
    if (size == 0)
        return;
    data_.resize(size);
    if (!f.info(path.c_str(), 0, size, data_.data()))
        data_.clear();
}

bool VersionResource::query(const char* subBlock, void*& value, UINT& length) {
    value = nullptr;
    length = 0;
    return !data_.empty() && versionFunctions().query(data_.data(), subBlock, &value, &length) &&
           value != nullptr;
}

CalendarTime calendarOf(const SYSTEMTIME& time) {
    CalendarTime c;
    c.year = time.wYear;
    c.month = time.wMonth;
    c.day = time.wDay;
    c.hour = time.wHour;
    c.minute = time.wMinute;
    c.second = time.wSecond;
    c.milliseconds = time.wMilliseconds;
    c.weekday = time.wDayOfWeek;
    return c;
}

std::uint64_t unixSecondsOf(const FILETIME& time) {
    constexpr std::uint64_t kEpoch = 116444736000000000ull; // 1970-01-01 in 100 ns units since 1601
    std::uint64_t ticks = (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return ticks < kEpoch ? 0 : (ticks - kEpoch) / 10000000ull;
}

namespace {

DWORD WINAPI runWorker(LPVOID parameter) {
    std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(parameter));
    (*work)();
    return 0;
}

} // namespace

HANDLE startWorker(std::function<void()> work) {
    auto owned = std::make_unique<std::function<void()>>(std::move(work));
    HANDLE thread = CreateThread(nullptr, 0, runWorker, owned.get(), 0, nullptr);
    if (thread == nullptr) {
        (*owned)();
        return nullptr;
    }
    owned.release(); // the thread's now
    return thread;
}

} // namespace zov::win32
