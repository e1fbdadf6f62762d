// The browser port of the simulated machine: the system browser's cookies as a table, the
// user's application-data folder, and profile files on the simulated disk.
#pragma once

#include "platform/ports_browsers.h"

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zov::sim {

class SimFileSystem;
class SimClock;

class SimBrowserData : public BrowserData {
  public:
    SimBrowserData(SimFileSystem& files, SimClock& clock) : files_(files), clock_(clock) {}

    // The system browser's cookies by address, in the order they were set.
    std::map<std::string, std::vector<std::pair<std::string, std::string>>> cookies;
    bool cookieFunctions = true; // false: WinINet is not there
    std::optional<std::string> appData = std::string("C:\\Users\\user\\AppData\\Roaming");
    bool replaceFails = false;
    int replaceCalls = 0;

    // Sets a cookie as a browser would: "value; expires=..." with a past date removes it.
    void setCookie(const std::string& url, const std::string& name, const std::string& value);

    std::optional<std::string> systemCookies(const std::string& url) override;
    bool setSystemCookie(const std::string& url, const std::string& name, const std::string& data) override;
    std::optional<std::string> userAppDataFolder() override { return appData; }
    bool canRead(const std::string& path) override;
    std::optional<std::string> readFile(const std::string& path) override;
    bool replaceFile(const std::string& source, const std::string& target) override;

  private:
    SimFileSystem& files_;
    SimClock& clock_;
};

} // namespace zov::sim
