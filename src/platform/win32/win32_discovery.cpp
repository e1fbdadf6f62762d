// Reading client folders and databases, and the scanner's registry and shell calls.

#include "platform/win32/win32_discovery.h"

#include "platform/win32/win32_ports.h"
#include "platform/win32/win32_util.h"

#include <shlobj.h>

#include <algorithm>
#include <cstring>

namespace zov::win32 {
namespace {

constexpr int kCommonAppDataFolder = 35; // CSIDL_COMMON_APPDATA
constexpr std::uint64_t kUnixEpochAsFileTime = 116444736000000000ull;
constexpr std::uint64_t kFileTimeTicksPerSecond = 10000000ull;

class Win32InputFile final : public InputFile {
  public:
    explicit Win32InputFile(HANDLE file) : file_(file) {}
    ~Win32InputFile() override { CloseHandle(file_); }
    Win32InputFile(const Win32InputFile&) = delete;
    Win32InputFile& operator=(const Win32InputFile&) = delete;

    std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t size) override {
        auto* out = static_cast<unsigned char*>(buffer);
        std::size_t total = 0;
        while (total < size) {
            OVERLAPPED at = {};
            std::uint64_t position = offset + total;
            at.Offset = static_cast<DWORD>(position & 0xFFFFFFFFu);
            at.OffsetHigh = static_cast<DWORD>(position >> 32);
            DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - total, 1u << 30));
            DWORD got = 0;
            if (!ReadFile(file_, out + total, chunk, &got, &at) || got == 0)
                break;
            total += got;
        }
        return total;
    }

  private:
    HANDLE file_;
};

} // namespace

std::unique_ptr<InputFile> Win32Discovery::openRead(const std::string& path) {
    // Shared for writing too: a running client keeps its databases open.
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;
    return std::make_unique<Win32InputFile>(file);
}

std::optional<std::vector<FolderEntry>> Win32Discovery::listFolder(const std::string& folder) {
    std::string pattern = folder + "\\*.*";
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::vector<FolderEntry> entries;
    do {
        FolderEntry entry;
        entry.name.assign(found.cFileName, strnlen(found.cFileName, sizeof found.cFileName));
        entry.directory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.link = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        entries.push_back(std::move(entry));
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return entries;
}

std::optional<std::uint64_t> Win32Discovery::modificationTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return std::nullopt;
    return unixSecondsOf(data.ftLastWriteTime);
}

std::optional<std::string> Win32Discovery::longPathName(const std::string& path) {
    using GetLongPathNameFn = DWORD(WINAPI*)(LPCSTR, LPSTR, DWORD);
    auto getLongPathName =
        procAddress<GetLongPathNameFn>(GetModuleHandleA("kernel32.dll"), "GetLongPathNameA");
    if (getLongPathName == nullptr)
        return std::nullopt;
    char buffer[MAX_PATH] = {};
    DWORD length = getLongPathName(path.c_str(), buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::nullopt;
    return std::string(buffer, length);
}

std::optional<std::string> Win32Discovery::commonAppDataFolder() {
    return shellFolderPath(kCommonAppDataFolder);
}

std::optional<DiscoveryPorts::RegistryValue> Win32Discovery::queryRegistryValue(RegRoot root,
                                                                                const std::string& key,
                                                                                const std::string& value,
                                                                                std::size_t maxBytes) {
    std::optional<win32::RegistryValue> read = readRegistryValue(rootKey(root), key, value, maxBytes);
    if (!read)
        return std::nullopt;
    return RegistryValue{read->type, read->size, std::move(read->text)};
}

bool Win32Discovery::setRegistryString(RegRoot root, const std::string& key, const std::string& value,
                                       const std::string& text) {
    RegistryKey opened;
    if (!opened.create(rootKey(root), key))
        return false;
    return RegSetValueExA(opened.get(), value.empty() ? nullptr : value.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

std::optional<std::vector<std::string>> Win32Discovery::registryValueNames(RegRoot root,
                                                                           const std::string& key) {
    RegistryKey opened(rootKey(root), key, KEY_READ);
    if (!opened)
        return std::nullopt;
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        char name[MAX_PATH] = {};
        DWORD length = MAX_PATH;
        if (RegEnumValueA(opened.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.emplace_back(name, std::min<std::size_t>(length, MAX_PATH - 1));
    }
    return names;
}

std::optional<CalendarTime> Win32Discovery::localTime(std::uint64_t unixSeconds) {
    std::uint64_t ticks = unixSeconds * kFileTimeTicksPerSecond + kUnixEpochAsFileTime;
    FILETIME utc = {static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
    FILETIME local;
    SYSTEMTIME parts;
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &parts))
        return std::nullopt;
    return calendarOf(parts);
}

std::optional<std::string> Win32Discovery::diskScanListFile() {
#ifdef ZOV_TEST_HOOKS
    char path[MAX_PATH + 1] = {};
    DWORD length = GetEnvironmentVariableA("ZOV_TEST_DISK_SCAN", path, sizeof path);
    if (length != 0 && length < sizeof path)
        return std::string(path, length);
#endif
    return std::nullopt;
}

std::optional<std::string> Win32Discovery::formatDate(const CalendarTime& date, const std::string& picture) {
    SYSTEMTIME parts = {};
    parts.wYear = static_cast<WORD>(date.year);
    parts.wMonth = static_cast<WORD>(date.month);
    parts.wDay = static_cast<WORD>(date.day);
    parts.wDayOfWeek = static_cast<WORD>(date.weekday);
    char buffer[64] = {};
    int length = GetDateFormatA(GetThreadLocale(), 0, &parts, picture.empty() ? nullptr : picture.c_str(),
                                buffer, sizeof buffer);
    if (length <= 0)
        return std::nullopt;
    return std::string(buffer, strnlen(buffer, sizeof buffer));
}

} // namespace zov::win32
