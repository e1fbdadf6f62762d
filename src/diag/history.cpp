#include "diag/history.h"

#include <algorithm>
#include <cctype>
#include <cinttypes>
#include <cstdio>
#include <limits>
#include <optional>
#include <vector>

namespace zov {
namespace {

const char* const kFileName = "IPH.PH";
const char* const kOldFileName = "TPI.PH";
const char* const kFamily = "inst";
const char* const kBrowserKey = "SOFTWARE\\Microsoft\\Internet Explorer";
const char* const kInternetSettingsKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
const char* const kUpdatesKey = "SOFTWARE\\Microsoft\\Updates\\";
constexpr std::size_t kRegistryText = 260;
constexpr std::size_t kMinorVersionBuffer = 2048;
constexpr std::size_t kScBuffer = CInstallHistory::kScLimit + 1;
constexpr unsigned kMaxFixes = 10;
constexpr unsigned kHighestRecord = 99999999; // keeps "number + 1" and "%02u" well inside 32 bits

std::int32_t clampLong(std::uint64_t value) {
    return static_cast<std::int32_t>(
        std::min<std::uint64_t>(value, std::numeric_limits<std::int32_t>::max()));
}

bool startsWithFamily(const std::string& name) {
    if (name.size() < 4)
        return false;
    for (int i = 0; i < 4; ++i)
        if (std::tolower(static_cast<unsigned char>(name[i])) != kFamily[i])
            return false;
    return true;
}

// The decimal number right after the first four characters; 0 when none follows.
unsigned recordNumber(const std::string& name) {
    unsigned number = 0;
    for (std::size_t i = 4; i < name.size() && std::isdigit(static_cast<unsigned char>(name[i])); ++i) {
        number = number * 10 + static_cast<unsigned>(name[i] - '0');
        if (number > kHighestRecord)
            return kHighestRecord;
    }
    return number;
}

std::string recordName(unsigned number) {
    char name[32];
    std::snprintf(name, sizeof name, "%s%02u", kFamily, number);
    return name;
}

// Appends a name to a comma-separated list bounded to kHfLimit characters. False when the
// list is full: the name did not fit whole. A first name that alone is too long is kept
// cut, so that a machine with updates never reports "<none>".
bool appendBounded(std::string& list, const std::string& name) {
    const std::size_t limit = CInstallHistory::kHfLimit;
    if (list.empty()) {
        list = name.substr(0, limit);
        return name.size() <= limit;
    }
    if (list.size() + 1 + name.size() > limit)
        return false;
    list += ',';
    list += name;
    return true;
}

} // namespace

CInstallHistory::CInstallHistory(Ports ports, std::string version, std::string build)
    : ports_(ports), version_(std::move(version)), build_(std::move(build)) {
    path_ = ports_.system.windowsDirectory().substr(0, 3) + kFileName;
}

CInstallHistory::Records CInstallHistory::findRecords() {
    Records records;
    for (const std::string& name : ports_.profile.sectionNames(path_, kSectionNamesBuffer)) {
        if (!startsWithFamily(name))
            continue;
        if (records.count++ == 0)
            records.first = name;
        records.greatest = std::max(records.greatest, recordNumber(name));
    }
    return records;
}

std::string CInstallHistory::now() {
    CalendarTime t = ports_.clock.utcNow();
    char text[96];
    std::snprintf(text, sizeof text, "%u/%u/%u %u:%u:%u", t.year, t.month, t.day, t.hour, t.minute, t.second);
    return text;
}

void CInstallHistory::SetValue(const std::string& key, const std::string& text) {
    if (staged_ != nullptr)
        staged_->emplace_back(key, text);
    else
        ports_.profile.writeString(path_, currentSection(), key, text);
}

void CInstallHistory::SetValueLong(const std::string& key, std::int32_t value) {
    SetValue(key, std::to_string(value));
}

void CInstallHistory::SetValueULong(const std::string& key, std::uint32_t value) {
    SetValue(key, std::to_string(value));
}

void CInstallHistory::SetValueUShort(const std::string& key, std::uint16_t value) {
    SetValue(key, std::to_string(value));
}

void CInstallHistory::SetGeneral(const std::string& text) {
    ports_.profile.writeString(path_, "general00", "p", text);
}

void CInstallHistory::StartNew() {
    Records records = findRecords();
    if (records.count > 2)
        ports_.profile.deleteSection(path_, records.first);

    section_ = recordName(records.greatest + 1);
    // The record's first keys go out in one write of the file, not one write each.
    std::vector<std::pair<std::string, std::string>> keys;
    staged_ = &keys;
    SetValue("vr", version_);
    SetValue("pd", build_);
    SetValue("cc", "1");
    writeSystemKeys();
    SetValue("qi", "0");
    SetValue("ut1", now());
    staged_ = nullptr;
    ports_.profile.writeSection(path_, section_, keys);
    // Hidden only once the write above has made the file.
    if (records.count == 0)
        ports_.files.setHidden(path_);
    open_ = true;
}

void CInstallHistory::writeSystemKeys() {
    SystemInfo& system = ports_.system;
    OsVersion os = system.osVersion();

    char text[320];
    std::snprintf(text, sizeof text, "%ld.%ld,%s", static_cast<long>(os.major), static_cast<long>(os.minor),
                  os.servicePack.c_str());
    SetValue("os", text);

    SetValueLong("npr", clampLong(system.processorCount()));

    if (os.platform == 1 || os.platform == 2) {
        std::uint32_t architecture = 0, level = 0, revision = 0;
        system.processorIdentity(architecture, level, revision);
        std::snprintf(text, sizeof text, "%ld:%ld:%ld", static_cast<long>(architecture),
                      static_cast<long>(level), static_cast<long>(revision));
        SetValue("cpu", text);
    } else {
        SetValue("cpu", "--:--:--");
    }

    SetValueLong("ram", clampLong(system.physicalMemoryBytes() >> 20));

    if (ports_.registry.keyExists(RegRoot::LocalMachine, kBrowserKey))
        SetValue("br", ports_.registry.readString(RegRoot::LocalMachine, kBrowserKey, "Build", kRegistryText)
                           .value_or(""));

    // Free kilobytes of the Windows drive as the disk checks measure them: the newer query,
    // else the older one (a 32-bit figure that saturates rather than wraps), then megabytes.
    const std::string root = system.windowsDirectory().substr(0, 3);
    std::uint64_t freeBytes = 0;
    if (FreeSpaceEx newer = ports_.disk.freeSpaceEx(root); newer.outcome == FreeSpaceEx::Outcome::Ok)
        freeBytes = newer.bytes;
    else if (FreeSpaceOld older = ports_.disk.freeSpaceOld(root); older.ok)
        freeBytes = older.freeBytes();
    const std::uint64_t freeKb = std::min<std::uint64_t>(freeBytes >> 10, 0xFFFFFFFFu);
    SetValueLong("ds", clampLong(freeKb / 1024));

    SetValueLong("csd", clampLong(system.measureCpuMhz()));
    writeFixes(os);
}

std::string CInstallHistory::fixListFromMinorVersion(const std::string& minorVersion) {
    std::string text = minorVersion;
    unsigned replaced = 0;
    for (std::size_t semi = text.rfind(';'); semi != std::string::npos; semi = text.rfind(';')) {
        if (semi + 1 == text.size()) { // nothing after it: the text ends here
            text.resize(semi);
        } else if (replaced == kMaxFixes) { // an eleventh: only the last eleven items stay
            text.erase(0, semi + 1);
            break;
        } else {
            text[semi] = ',';
            ++replaced;
        }
    }
    // Too long for the list: drop whole items from the front, keeping the newest.
    while (text.size() > kHfLimit) {
        std::size_t comma = text.find(',');
        if (comma == std::string::npos) {
            text.resize(kHfLimit);
            break;
        }
        text.erase(0, comma + 1);
    }
    return text;
}

void CInstallHistory::writeFixes(const OsVersion& os) {
    Registry& registry = ports_.registry;
    std::string list;
    if (os.major == 4 && (os.minor == 10 || os.minor == 90)) {
        std::optional<std::string> minor = registry.readString(RegRoot::LocalMachine, kInternetSettingsKey,
                                                               "MinorVersion", kMinorVersionBuffer);
        if (!minor)
            return;
        list = fixListFromMinorVersion(*minor);
    } else if (os.major == 5 && (os.minor == 0 || os.minor == 1)) {
        const std::string key = std::string(kUpdatesKey) + (os.minor == 0 ? "Windows 2000" : "Windows XP");
        std::optional<std::vector<std::string>> products = registry.subKeys(RegRoot::LocalMachine, key);
        if (!products)
            return;
        unsigned budget = kMaxFixes;
        bool full = false;
        for (std::size_t i = products->size(); i-- > 0 && budget > 0 && !full;) {
            std::optional<std::vector<std::string>> fixes =
                registry.subKeys(RegRoot::LocalMachine, key + "\\" + (*products)[i]);
            std::size_t j = fixes ? fixes->size() : 0;
            for (; j-- > 0 && budget > 0;) {
                if (!appendBounded(list, (*fixes)[j])) {
                    full = true;
                    break;
                }
                --budget;
            }
            if (!full && budget > 0)
                --budget; // this product's list is exhausted
        }
    } else {
        return;
    }
    SetValue("hf", list.empty() ? "<none>" : list);
}

void CInstallHistory::Resume() {
    const std::string root = ports_.system.windowsDirectory().substr(0, 3);
    const std::string oldPath = root + kOldFileName;
    if (!ports_.files.exists(path_))
        ports_.files.copyFile(oldPath, path_);
    ports_.files.removeFile(oldPath);

    Records records = findRecords();
    bool fresh = records.count == 0;
    section_ = recordName(fresh ? 1 : records.greatest);
    if (fresh)
        ports_.profile.deleteKey(path_, section_, "zzzzzz");
    SetValue("sp2", now());
    // Hidden only once the write above has made the file: hiding a file that is not
    // there yet would leave the new history visible.
    if (fresh)
        ports_.files.setHidden(path_);
    open_ = true;
}

void CInstallHistory::SetInstallType(char letter) {
    const char* type = "?";
    switch (letter) {
    case 'A':
        type = "a";
        break;
    case 'C':
        type = "b";
        break;
    case 'D':
        type = "c";
        break;
    case 'E':
        type = "d";
        break;
    default:
        break;
    }
    SetValue("inst", type);
}

void CInstallHistory::RecordEvent(unsigned event) {
    const std::uint64_t nowSeconds = ports_.clock.unixSeconds();
    if (pendingEvent_ != 0) {
        std::uint64_t spent = nowSeconds >= pendingSince_ ? nowSeconds - pendingSince_ : 0;
        char item[48];
        std::snprintf(item, sizeof item, "%" PRIu32 ":%u",
                      static_cast<std::uint32_t>(std::min<std::uint64_t>(spent, 0xFFFFFFFFu)), pendingEvent_);
        const std::string section = currentSection();
        std::string sc = ports_.profile.readString(path_, section, "sc", "", kScBuffer);
        std::size_t itemLength = std::char_traits<char>::length(item);
        if (itemLength + 1 + sc.size() <= kScLimit) {
            if (!sc.empty())
                sc += ',';
            sc += item;
            ports_.profile.writeString(path_, section, "sc", sc);
        }
    }
    pendingEvent_ = event;
    pendingSince_ = nowSeconds;
}

void CInstallHistory::Finish(bool success) {
    if (!open_)
        return;
    if (pendingEvent_ != 0)
        RecordEvent(0);
    SetValue("ed", success ? "1" : "0");
    SetValue("ut2", now());
    open_ = false;
}

} // namespace zov
