// The screen-name cookie that the registration web site leaves in the browsers: found in
// four cookie stores at start-up, deleted from the one it came from after a successful
// install.
//
//   CCookieJar jar(ports);                   // the four stores, profiles located once
//   std::vector<CookieResult> found;
//   jar.collect(url, "webregSN", found);     // system browser, Mozilla, profile manager, Quillstone
//   ...
//   jar.deleteCookie(found[0].storeType, url, "webregSN", nullptr, 0);
#pragma once

#include "platform/ports.h"
#include "platform/ports_browsers.h"

#include <array>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace zov {

// Store types.
constexpr std::uint32_t kCookieSystemBrowser = 1;
constexpr std::uint32_t kCookieProfileManager = 2;
constexpr std::uint32_t kCookieMozilla = 3;
constexpr std::uint32_t kCookieQuillstone = 4;

struct CookieResult {
    std::string value;           // at most 255 characters
    std::tm timeStamp{};         // the same store's "TimeStamp" cookie; all zero without one
    std::uint32_t storeType = 0; // 1 to 4
};

// What the stores use of the machine.
struct CookiePorts {
    BrowserData& browsers;
    FileSystem& files;
    SystemInfo& system;
    Registry& registry;
    Clock& clock;
};

class CCookieStore {
  public:
    // The value buffer holds 256 bytes: a value of more than 255 characters is refused
    // rather than cut into a screen name nobody registered.
    static constexpr std::size_t kValueSize = 256;

    virtual ~CCookieStore() = default;
    // The cookie's value, at most bufferSize - 1 characters of it.
    virtual bool get(const std::string& url, const std::string& name, std::string& out,
                     std::size_t bufferSize) = 0;
    // Profile stores take the cookie domain, or derive it from the address when none is given.
    virtual bool deleteCookie(const std::string& url, const std::string& name, const std::string* domain) = 0;
    // Finds the cookie in one text of the store and keeps its value.
    virtual bool parse(const std::string& text, const std::string& name) = 0;
    virtual void locateProfile() {}

    const std::string& value() const { return value_; }

  protected:
    bool keep(const std::string& value);
    std::string value_;
};

// Type 1: the system browser, through the WinINet cookie functions.
class CWinInetCookieStore final : public CCookieStore {
  public:
    explicit CWinInetCookieStore(BrowserData& browsers) : browsers_(browsers) {}
    bool get(const std::string& url, const std::string& name, std::string& out,
             std::size_t bufferSize) override;
    bool deleteCookie(const std::string& url, const std::string& name, const std::string* domain) override;
    bool parse(const std::string& text, const std::string& name) override;

  private:
    BrowserData& browsers_;
};

// Types 2 to 4: a "cookies.txt" in a profile folder found through the browser's registry file.
class CProfileCookieStore final : public CCookieStore {
  public:
    static constexpr std::size_t kMaxLine = 259;

    CProfileCookieStore(std::uint32_t type, const CookiePorts& ports);
    bool get(const std::string& url, const std::string& name, std::string& out,
             std::size_t bufferSize) override;
    bool deleteCookie(const std::string& url, const std::string& name, const std::string* domain) override;
    bool parse(const std::string& text, const std::string& name) override;
    void locateProfile() override;

    const std::string& registryFile() const { return registryFile_; }
    const std::string& profileFolder() const { return profileFolder_; }

  private:
    std::string cookieFile() const { return profileFolder_ + "\\cookies.txt"; }

    std::uint32_t type_;
    CookiePorts ports_;
    std::string registryFile_;  // up to 259 characters
    std::string profileFolder_; // up to 259 characters
};

class CCookieJar {
  public:
    explicit CCookieJar(const CookiePorts& ports);

    // Asks the stores in the order 1, 3, 2, 4; every store holding the cookie adds one
    // result. Always 1.
    int collect(const std::string& url, const std::string& name, std::vector<CookieResult>& results);
    // The store's delete; false for a type outside 1 to 4.
    bool deleteCookie(std::uint32_t storeType, const std::string& url, const std::string& name,
                      const std::string* domain, int unused);
    CCookieStore* store(std::uint32_t storeType);

  private:
    std::array<std::unique_ptr<CCookieStore>, 4> stores_;
};

// The cookie domain of a web address: the host from its first '.' on ("http://a.b.c/x"
// gives ".b.c"); empty when the host has no '.'.
std::string CookieDomain(const std::string& url);

// "MMDDYYYY HH:MM:SS" (separators not checked) into broken-down time; false when a number
// is missing.
bool ParseTimeStamp(const std::string& text, std::tm& out);

} // namespace zov
