#include "platform/win32/win32_util.h"

#include "platform/win32/win32_ports.h"

#include <algorithm>
#include <cstring>

namespace zov::win32 {

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

HMODULE loadSystemLibrary(const char* name) {
    char folder[MAX_PATH + 1] = {};
    UINT n = GetSystemDirectoryA(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return nullptr;
    std::string path = std::string(folder, n) + "\\" + name;
    return LoadLibraryA(path.c_str());
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

} // namespace zov::win32
