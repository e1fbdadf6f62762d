#include "sim/sim_browsers.h"

#include "sim/sim_machine.h"

#include <cstdlib>

namespace zov::sim {

void SimBrowserData::setCookie(const std::string& url, const std::string& name, const std::string& data) {
    std::string value = data.substr(0, data.find(';'));
    bool expired = false;
    if (std::size_t at = data.find("expires="); at != std::string::npos) {
        // "expires=Sat, 01-Jan-2000 00:00:01 GMT": the year after the second '-'.
        std::size_t dash = data.find('-', data.find('-', at) + 1);
        if (dash != std::string::npos) {
            unsigned year = static_cast<unsigned>(std::atoi(data.c_str() + dash + 1));
            expired = year < clock_.utcNow().year;
        }
    }
    auto& jar = cookies[url];
    for (auto it = jar.begin(); it != jar.end(); ++it) {
        if (it->first == name) {
            jar.erase(it);
            break;
        }
    }
    if (!expired)
        jar.emplace_back(name, value);
}

std::optional<std::string> SimBrowserData::systemCookies(const std::string& url) {
    auto it = cookies.find(url);
    if (!cookieFunctions || it == cookies.end() || it->second.empty())
        return std::nullopt;
    std::string text;
    for (const auto& [name, value] : it->second)
        text += (text.empty() ? "" : "; ") + name + "=" + value;
    return text;
}

bool SimBrowserData::setSystemCookie(const std::string& url, const std::string& name,
                                     const std::string& data) {
    if (!cookieFunctions)
        return false;
    setCookie(url, name, data);
    return true;
}

bool SimBrowserData::canRead(const std::string& path) {
    return files_.fileExists(path);
}

std::optional<std::string> SimBrowserData::readFile(const std::string& path) {
    if (!files_.fileExists(path))
        return std::nullopt;
    return files_.readText(path);
}

bool SimBrowserData::replaceFile(const std::string& source, const std::string& target) {
    ++replaceCalls;
    if (replaceFails || !files_.fileExists(source) || !files_.canWriteFile(target) ||
        files_.isReadOnly(source))
        return false;
    files_.store(target, files_.readText(source));
    files_.removeFile(source);
    return true;
}

} // namespace zov::sim
