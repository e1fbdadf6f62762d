// Facts about the machine, the registry and the clock.

#include "platform/win32/win32_ports.h"
#include "platform/win32/win32_util.h"

#include <intrin.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace zov::win32 {
namespace {

// Calls a "fill this buffer" function, growing the buffer when the answer did not fit.
// Such functions answer 0 on failure and either the needed size or the buffer size when
// the buffer was too small; a path longer than the longest Windows path is not believed.
template <typename Fill> std::string filledText(Fill fill) {
    constexpr DWORD kLongestPath = 32768;
    std::string buffer(MAX_PATH + 1, '\0');
    while (true) {
        DWORD capacity = static_cast<DWORD>(buffer.size());
        DWORD length = fill(buffer.data(), capacity);
        if (length == 0)
            return {};
        if (length < capacity) {
            buffer.resize(strnlen(buffer.data(), length));
            return buffer;
        }
        if (capacity >= kLongestPath)
            return {};
        buffer.assign(std::min<DWORD>(std::max<DWORD>(length + 1, capacity * 2), kLongestPath), '\0');
    }
}

} // namespace

std::string Win32SystemInfo::tempPath() {
    return filledText([](char* buffer, DWORD size) { return GetTempPathA(size, buffer); });
}

std::string Win32SystemInfo::windowsDirectory() {
    return filledText([](char* buffer, DWORD size) { return GetWindowsDirectoryA(buffer, size); });
}

std::string Win32SystemInfo::systemDirectory() {
    return filledText([](char* buffer, DWORD size) { return GetSystemDirectoryA(buffer, size); });
}

std::string Win32SystemInfo::modulePath() {
    return filledText([](char* buffer, DWORD size) { return GetModuleFileNameA(nullptr, buffer, size); });
}

OsVersion Win32SystemInfo::osVersion() {
    OSVERSIONINFOA info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    // The installer must see what the system says of itself, compatibility layers included.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    BOOL ok = GetVersionExA(&info);
#pragma GCC diagnostic pop
    OsVersion version;
    if (!ok)
        return version;
    version.major = info.dwMajorVersion;
    version.minor = info.dwMinorVersion;
    version.build = info.dwBuildNumber;
    version.platform = info.dwPlatformId;
    version.servicePack.assign(info.szCSDVersion, strnlen(info.szCSDVersion, sizeof info.szCSDVersion));
    return version;
}

std::uint32_t Win32SystemInfo::processorCount() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors;
}

std::uint64_t Win32SystemInfo::physicalMemoryBytes() {
    MEMORYSTATUSEX status;
    std::memset(&status, 0, sizeof status);
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status))
        return 0;
    return status.ullTotalPhys;
}

void Win32SystemInfo::processorIdentity(std::uint32_t& architecture, std::uint32_t& level,
                                        std::uint32_t& revision) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    architecture = info.wProcessorArchitecture;
    level = info.wProcessorLevel;
    revision = info.wProcessorRevision;
}

std::uint32_t Win32SystemInfo::measureCpuMhz() {
    LARGE_INTEGER frequency;
    LARGE_INTEGER start;
    LARGE_INTEGER now;
    if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0)
        return 0;
    unsigned long long parts = 1; // of a second, measured and scaled back
#ifdef ZOV_TEST_HOOKS
    // Test builds only: ZOV_TEST_CLOCK_PARTS=N measures a 1/N second (N up to 100), so that
    // the end-to-end suite does not spin a core for two seconds in every run.
    char text[16] = {};
    DWORD length = GetEnvironmentVariableA("ZOV_TEST_CLOCK_PARTS", text, sizeof text);
    if (length > 0 && length < sizeof text)
        parts = std::clamp<unsigned long long>(std::strtoull(text, nullptr, 10), 1, 100);
#endif
    const long long window = frequency.QuadPart / static_cast<long long>(parts);
    unsigned long long ticksBefore = __rdtsc();
    QueryPerformanceCounter(&start);
    do {
        QueryPerformanceCounter(&now);
    } while (now.QuadPart - start.QuadPart < window);
    unsigned long long ticksAfter = __rdtsc();
    return static_cast<std::uint32_t>((ticksAfter - ticksBefore) * parts / 1000000ULL);
}

bool Win32SystemInfo::isWow64() {
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    auto isWow64Process = procAddress<IsWow64ProcessFn>(GetModuleHandleA("kernel32"), "IsWow64Process");
    BOOL wow64 = FALSE;
    if (isWow64Process == nullptr || !isWow64Process(GetCurrentProcess(), &wow64))
        return false;
    return wow64 != FALSE;
}

bool Win32SystemInfo::screenReaderRunning() {
    BOOL running = FALSE;
    if (!SystemParametersInfoA(SPI_GETSCREENREADER, 0, &running, 0))
        return false;
    return running != FALSE;
}

std::uint32_t Win32SystemInfo::driveType(const std::string& root) {
    return GetDriveTypeA(root.c_str());
}

std::uint32_t Win32SystemInfo::lastError() {
    return GetLastError();
}

std::string Win32SystemInfo::errorText(std::uint32_t code) {
    char* text = nullptr;
    DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string result;
    if (length != 0 && text != nullptr)
        result.assign(text, strnlen(text, length));
    if (text != nullptr)
        LocalFree(text);
    return result;
}

bool Win32Registry::keyExists(RegRoot root, const std::string& key) {
    return static_cast<bool>(RegistryKey(rootKey(root), key, KEY_READ));
}

std::optional<std::string> Win32Registry::readString(RegRoot root, const std::string& key,
                                                     const std::string& value, std::size_t maxBytes) {
    std::optional<RegistryValue> read = readRegistryValue(rootKey(root), key, value, maxBytes);
    // A value stored without its terminating NUL can fill the buffer to the last byte: that
    // text does not fit the buffer, just as a longer one does not.
    if (!read || read->text.size() >= maxBytes)
        return std::nullopt;
    return std::move(read->text);
}

std::optional<std::uint32_t> Win32Registry::readDword(RegRoot root, const std::string& key,
                                                      const std::string& value) {
    RegistryKey opened(rootKey(root), key, KEY_QUERY_VALUE);
    if (!opened)
        return std::nullopt;
    DWORD data = 0;
    DWORD size = sizeof data;
    DWORD type = REG_NONE;
    if (RegQueryValueExA(opened.get(), value.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data),
                         &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof data)
        return std::nullopt;
    return data;
}

std::optional<std::vector<std::string>> Win32Registry::subKeys(RegRoot root, const std::string& key) {
    RegistryKey opened(rootKey(root), key, KEY_ENUMERATE_SUB_KEYS);
    if (!opened)
        return std::nullopt;
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        char name[256]; // key names hold at most 255 characters
        DWORD length = sizeof name;
        LONG result = RegEnumKeyExA(opened.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_MORE_DATA)
            continue;
        if (result != ERROR_SUCCESS)
            break;
        names.emplace_back(name, strnlen(name, std::min<std::size_t>(length, sizeof name - 1)));
    }
    return names;
}

bool Win32Registry::deleteValue(RegRoot root, const std::string& key, const std::string& value) {
    RegistryKey opened(rootKey(root), key, KEY_SET_VALUE);
    return opened && RegDeleteValueA(opened.get(), value.c_str()) == ERROR_SUCCESS;
}

std::uint64_t Win32Clock::unixSeconds() {
    std::time_t now = std::time(nullptr);
    return now < 0 ? 0 : static_cast<std::uint64_t>(now);
}

CalendarTime Win32Clock::utcNow() {
    SYSTEMTIME now;
    GetSystemTime(&now);
    return calendarOf(now);
}

CalendarTime Win32Clock::localNow() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return calendarOf(now);
}

std::uint32_t Win32Clock::tickCount() {
    return GetTickCount();
}

void Win32Clock::sleep(std::uint32_t milliseconds) {
    Sleep(milliseconds);
}

} // namespace zov::win32
