#include "companions/cookies.h"

#include "registry/registry.h"

#include <cstdint>

namespace zov {
namespace {

constexpr std::uint32_t kOrder[] = {kCookieSystemBrowser, kCookieMozilla, kCookieProfileManager,
                                    kCookieQuillstone};

// An expired cookie in the place of the old one: the system browser drops it.
const char kExpired[] = "; expires=Sat, 01-Jan-2000 00:00:01 GMT";

const char kQuillstoneKey[] = "SOFTWARE\\Quillstone\\Quillstone\\CurrentVersion";

// Where a profile store's registry file names the profile folder: the current user or
// profile under `listKey`, then its folder entry under `userPrefix` + that name.
struct ProfileLookup {
    const char* listKey;
    const char* currentEntry;
    const char* userPrefix;
    const char* folderEntry;
};

constexpr ProfileLookup kProfileManager{"Common/Tidewell/ProfileManager", "LastTidewellUser", "Users/",
                                        "ProfileLocation"};
constexpr ProfileLookup kProfiles{"Common/Profiles", "CurrentProfile", "Common/Profiles/", "directory"};

// The lines of a text, each with its own line end.
std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    return lines;
}

std::size_t lengthWithoutEnd(const std::string& line) {
    std::size_t n = line.size();
    if (n != 0 && line[n - 1] == '\n')
        --n;
    return n;
}

// atoi's reading of a field, in 64 bits: blanks, a sign, digits.
std::int64_t leadingNumber(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        ++i;
    std::int64_t n = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (n < (INT64_MAX - 9) / 10)
            n = n * 10 + (text[i] - '0');
    }
    return negative ? -n : n;
}

std::string field(const std::string& line, std::size_t index) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < index; ++i) {
        start = line.find('\t', start);
        if (start == std::string::npos)
            return {};
        ++start;
    }
    std::size_t end = line.find('\t', start);
    return line.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

bool twoDigits(const std::string& text, std::size_t at, int& out, int count = 2) {
    out = 0;
    for (int i = 0; i < count; ++i) {
        char c = text[at + static_cast<std::size_t>(i)];
        if (c < '0' || c > '9')
            return false;
        out = out * 10 + (c - '0');
    }
    return true;
}

} // namespace

std::string CookieDomain(const std::string& url) {
    // The scheme and its separator: "http://".
    std::size_t scheme = url.find("://");
    std::string rest =
        scheme != std::string::npos ? url.substr(scheme + 3) : (url.size() > 7 ? url.substr(7) : "");
    std::string host = rest.substr(0, rest.find('/'));
    std::size_t dot = host.find('.');
    return dot == std::string::npos ? std::string() : host.substr(dot);
}

bool ParseTimeStamp(const std::string& text, std::tm& out) {
    out = std::tm{};
    int month, day, year, hour, minute, second;
    if (text.size() < 17 || !twoDigits(text, 0, month) || !twoDigits(text, 2, day) ||
        !twoDigits(text, 4, year, 4) || !twoDigits(text, 9, hour) || !twoDigits(text, 12, minute) ||
        !twoDigits(text, 15, second))
        return false;
    out.tm_sec = second;
    out.tm_min = minute;
    out.tm_hour = hour;
    out.tm_mday = day;
    out.tm_mon = month - 1;
    out.tm_year = year - 1900;
    return true;
}

bool CCookieStore::keep(const std::string& value) {
    // An empty value names no screen name; a longer one would not fit the value buffer; a
    // line end is in no screen name, and in install.ini it would start a line of its own.
    if (value.empty() || value.size() >= kValueSize ||
        value.find_first_of(std::string("\r\n\0", 3)) != std::string::npos)
        return false;
    value_ = value;
    return true;
}

// --- the system browser ----------------------------------------------------------------

bool CWinInetCookieStore::get(const std::string& url, const std::string& name, std::string& out,
                              std::size_t bufferSize) {
    std::optional<std::string> cookies = browsers_.systemCookies(url);
    if (!cookies || !parse(*cookies, name))
        return false;
    out = value_.substr(0, bufferSize == 0 ? 0 : bufferSize - 1);
    return true;
}

bool CWinInetCookieStore::deleteCookie(const std::string& url, const std::string& name, const std::string*) {
    return browsers_.setSystemCookie(url, name, kExpired);
}

bool CWinInetCookieStore::parse(const std::string& text, const std::string& name) {
    std::size_t at = text.find(name);
    if (name.empty() || at == std::string::npos || at + name.size() >= text.size())
        return false;
    std::size_t start = at + name.size() + 1; // past the '='
    std::size_t end = text.find(';', start);
    if (end == std::string::npos)
        end = text.find('\n', start);
    return keep(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
}

// --- profile stores --------------------------------------------------------------------

CProfileCookieStore::CProfileCookieStore(std::uint32_t type, const CookiePorts& ports)
    : type_(type), ports_(ports) {
    if (type == kCookieProfileManager) {
        registryFile_ = ports.system.windowsDirectory() + "\\nsreg.dat";
    } else if (type == kCookieMozilla) {
        // Without the folder there is no registry file to read.
        if (std::optional<std::string> appData = ports.browsers.userAppDataFolder();
            appData && !appData->empty())
            registryFile_ = *appData + "\\Mozilla\\registry.dat";
    } else if (type == kCookieQuillstone) {
        std::optional<std::string> appPath =
            ports.registry.readString(RegRoot::LocalMachine, kQuillstoneKey, "AppPath", 260);
        if (appPath)
            registryFile_ = *appPath + "\\gecko\\usr\\registry.dat";
    }
    if (registryFile_.size() > kMaxLine)
        registryFile_.clear();
    locateProfile();
}

void CProfileCookieStore::locateProfile() {
    profileFolder_.clear();
    // Only a registry file that is there: opening a missing one would leave a new, empty
    // registry file behind in a folder that belongs to somebody else.
    if (registryFile_.empty() || !ports_.browsers.canRead(registryFile_))
        return;
    const ProfileLookup& lookup = type_ == kCookieProfileManager ? kProfileManager : kProfiles;
    reg::HREG hreg = nullptr;
    if (reg::NR_RegOpen(registryFile_.c_str(), &hreg) != reg::kOk)
        return;
    reg::RKEY key = 0;
    char current[100] = {};
    if (reg::NR_RegGetKey(hreg, reg::kKeyRoot, lookup.listKey, &key) == reg::kOk &&
        reg::NR_RegGetEntryString(hreg, key, lookup.currentEntry, current, sizeof current) == reg::kOk &&
        current[0] != '\0') {
        std::string userKey = std::string(lookup.userPrefix) + current;
        char folder[kMaxLine + 1] = {};
        if (reg::NR_RegGetKey(hreg, reg::kKeyRoot, userKey.c_str(), &key) == reg::kOk &&
            reg::NR_RegGetEntryString(hreg, key, lookup.folderEntry, folder, sizeof folder) == reg::kOk)
            profileFolder_ = folder;
    }
    reg::NR_RegClose(hreg);
}

bool CProfileCookieStore::parse(const std::string& line, const std::string& name) {
    std::size_t at = line.find(name);
    if (name.empty() || at == std::string::npos)
        return false;
    std::int64_t expires = leadingNumber(field(line, 4));
    if (expires <= 0 || static_cast<std::uint64_t>(expires) < ports_.clock.unixSeconds())
        return false;
    std::size_t tab = line.find('\t', at + name.size());
    if (tab == std::string::npos)
        return false;
    std::size_t start = tab + 1;
    std::size_t end = line.find("\r\n", start);
    if (end == std::string::npos)
        end = line.find('\n', start);
    return keep(line.substr(start, end == std::string::npos ? std::string::npos : end - start));
}

bool CProfileCookieStore::get(const std::string& url, const std::string& name, std::string& out,
                              std::size_t bufferSize) {
    std::string domain = CookieDomain(url);
    if (domain.empty() || profileFolder_.empty())
        return false;
    std::optional<std::string> text = ports_.browsers.readFile(cookieFile());
    if (!text)
        return false;
    for (const std::string& line : linesOf(*text)) {
        // A line longer than a cookie line can be is not one.
        if (lengthWithoutEnd(line) > kMaxLine)
            continue;
        if (line.find(domain) != std::string::npos && parse(line, name)) {
            out = value_.substr(0, bufferSize == 0 ? 0 : bufferSize - 1);
            return true;
        }
    }
    return false;
}

bool CProfileCookieStore::deleteCookie(const std::string& url, const std::string& name,
                                       const std::string* domain) {
    std::string cookieDomain = domain != nullptr ? *domain : CookieDomain(url);
    // An empty domain is in every line: nothing could be told apart.
    if (cookieDomain.empty() || name.empty() || profileFolder_.empty())
        return false;
    const std::string target = cookieFile();
    std::optional<std::string> text = ports_.browsers.readFile(target);
    if (!text)
        return false;
    std::string kept;
    for (const std::string& line : linesOf(*text)) {
        if (line.find(cookieDomain) == std::string::npos || line.find(name) == std::string::npos)
            kept += line;
    }
    std::string temporary = ports_.files.uniqueFile(profileFolder_, "NEW");
    if (temporary.empty())
        return false;
    std::unique_ptr<OutputFile> out = ports_.files.create(temporary);
    bool written = false;
    if (out) {
        written = out->write(kept.data(), kept.size()) == kept.size();
        out->close();
    }
    // The new file takes the old one's place in one step: whatever fails, the profile
    // keeps a whole "cookies.txt", old or new.
    if (!written || !ports_.browsers.replaceFile(temporary, target)) {
        ports_.files.removeFile(temporary);
        return false;
    }
    return true;
}

// --- the jar ---------------------------------------------------------------------------

CCookieJar::CCookieJar(const CookiePorts& ports) {
    stores_[0] = std::make_unique<CWinInetCookieStore>(ports.browsers);
    for (std::uint32_t type = kCookieProfileManager; type <= kCookieQuillstone; ++type)
        stores_[type - 1] = std::make_unique<CProfileCookieStore>(type, ports);
}

CCookieStore* CCookieJar::store(std::uint32_t storeType) {
    if (storeType < 1 || storeType > stores_.size())
        return nullptr;
    return stores_[storeType - 1].get();
}

int CCookieJar::collect(const std::string& url, const std::string& name, std::vector<CookieResult>& results) {
    results.clear();
    for (std::uint32_t type : kOrder) {
        CCookieStore* s = store(type);
        std::string value;
        if (s == nullptr || !s->get(url, name, value, CCookieStore::kValueSize))
            continue;
        CookieResult result;
        result.value = value;
        result.storeType = type;
        std::string stamp;
        if (s->get(url, "TimeStamp", stamp, CCookieStore::kValueSize))
            ParseTimeStamp(stamp, result.timeStamp);
        results.push_back(result);
    }
    return 1;
}

bool CCookieJar::deleteCookie(std::uint32_t storeType, const std::string& url, const std::string& name,
                              const std::string* domain, int) {
    CCookieStore* s = store(storeType);
    return s != nullptr && s->deleteCookie(url, name, domain);
}

} // namespace zov
