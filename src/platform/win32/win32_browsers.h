// The browser port over the Win32 API: WinINet (loaded from the system folder when the
// cookie functions are first needed), the shell's folder lookup and the file functions.
#pragma once

#include "platform/ports_browsers.h"

#include <windows.h>

namespace zov::win32 {

class Win32BrowserData final : public BrowserData {
  public:
    Win32BrowserData() = default;
    Win32BrowserData(const Win32BrowserData&) = delete;
    Win32BrowserData& operator=(const Win32BrowserData&) = delete;
    ~Win32BrowserData() override;

    std::optional<std::string> systemCookies(const std::string& url) override;
    bool setSystemCookie(const std::string& url, const std::string& name, const std::string& data) override;
    std::optional<std::string> userAppDataFolder() override;
    bool canRead(const std::string& path) override;
    std::optional<std::string> readFile(const std::string& path) override;
    bool replaceFile(const std::string& source, const std::string& target) override;

  private:
    bool loadCookieFunctions();

    using GetCookieFn = BOOL(WINAPI*)(LPCSTR, LPCSTR, LPSTR, LPDWORD);
    using SetCookieFn = BOOL(WINAPI*)(LPCSTR, LPCSTR, LPCSTR);
    HMODULE wininet_ = nullptr;
    bool triedWininet_ = false;
    GetCookieFn getCookie_ = nullptr;
    SetCookieFn setCookie_ = nullptr;
};

} // namespace zov::win32
