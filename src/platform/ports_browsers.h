// What the browser cookie transfer needs of the machine beyond ports.h: the system
// browser's cookie store, the user's application-data folder, and reading and replacing
// the cookie files of browser profiles.
//
// One port, held by Machine as `browsers`. Nothing here includes <windows.h>.
#pragma once

#include <optional>
#include <string>

namespace zov {

class BrowserData {
  public:
    virtual ~BrowserData() = default;

    // InternetGetCookieA for the address with no cookie name: every cookie the system
    // browser holds for it, as "name=value; name=value". Nullopt when there is none, or
    // the cookie functions are not available.
    virtual std::optional<std::string> systemCookies(const std::string& url) = 0;
    // InternetSetCookieA(url, name, data).
    virtual bool setSystemCookie(const std::string& url, const std::string& name,
                                 const std::string& data) = 0;

    // SHGetFolderPathA with the user's application-data folder id (26); nullopt on failure.
    virtual std::optional<std::string> userAppDataFolder() = 0;

    // Can the file be opened for reading?
    virtual bool canRead(const std::string& path) = 0;
    // The whole file; nullopt when it cannot be opened or read.
    virtual std::optional<std::string> readFile(const std::string& path) = 0;
    // Puts `source` in the place of `target` in one step, replacing it (MoveFileExA with
    // MOVEFILE_REPLACE_EXISTING). On failure `target` is as it was.
    virtual bool replaceFile(const std::string& source, const std::string& target) = 0;
};

} // namespace zov
