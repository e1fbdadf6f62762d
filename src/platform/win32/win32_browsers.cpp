#include "platform/win32/win32_browsers.h"

#include "platform/win32/win32_ports.h"
#include "platform/win32/win32_util.h"

#include <cstring>

namespace zov::win32 {
namespace {

constexpr int kUserAppDataFolder = 0x1a; // CSIDL_APPDATA
// A cookie file is small; anything this large is not one worth reading into memory.
constexpr DWORD kMaxFileBytes = 64u << 20;

HANDLE openForReading(const std::string& path) {
    return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

Win32BrowserData::~Win32BrowserData() {
    if (wininet_ != nullptr)
        FreeLibrary(wininet_);
}

bool Win32BrowserData::loadCookieFunctions() {
    if (!triedWininet_) {
        triedWininet_ = true;
        wininet_ = loadSystemLibrary("wininet.dll");
        getCookie_ = procAddress<GetCookieFn>(wininet_, "InternetGetCookieA");
        setCookie_ = procAddress<SetCookieFn>(wininet_, "InternetSetCookieA");
    }
    return getCookie_ != nullptr && setCookie_ != nullptr;
}

std::optional<std::string> Win32BrowserData::systemCookies(const std::string& url) {
    if (!loadCookieFunctions())
        return std::nullopt;
    DWORD size = 0;
    getCookie_(url.c_str(), nullptr, nullptr, &size);
    if (size == 0)
        return std::nullopt;
    std::string text(static_cast<std::size_t>(size) + 1, '\0');
    DWORD room = size + 1;
    if (!getCookie_(url.c_str(), nullptr, text.data(), &room))
        return std::nullopt;
    text.resize(strnlen(text.c_str(), text.size()));
    return text;
}

bool Win32BrowserData::setSystemCookie(const std::string& url, const std::string& name,
                                       const std::string& data) {
    if (!loadCookieFunctions())
        return false;
    return setCookie_(url.c_str(), name.c_str(), data.c_str()) != FALSE;
}

std::optional<std::string> Win32BrowserData::userAppDataFolder() {
    return shellFolderPath(kUserAppDataFolder);
}

bool Win32BrowserData::canRead(const std::string& path) {
    HANDLE file = openForReading(path);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

std::optional<std::string> Win32BrowserData::readFile(const std::string& path) {
    HANDLE file = openForReading(path);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::optional<std::string> text;
    DWORD high = 0;
    DWORD size = GetFileSize(file, &high);
    if (size != INVALID_FILE_SIZE && high == 0 && size <= kMaxFileBytes) {
        std::string bytes(size, '\0');
        DWORD got = 0;
        if (size == 0 || (ReadFile(file, bytes.data(), size, &got, nullptr) && got == size))
            text = std::move(bytes);
    }
    CloseHandle(file);
    return text;
}

bool Win32BrowserData::replaceFile(const std::string& source, const std::string& target) {
    return MoveFileExA(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) !=
           FALSE;
}

} // namespace zov::win32
