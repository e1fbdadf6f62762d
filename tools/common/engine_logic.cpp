#include "common/engine_logic.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>

namespace zov::tools {

namespace {

std::string trim(const std::string& text) {
    auto begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos)
        return {};
    auto end = text.find_last_not_of(" \t\r\n");
    return text.substr(begin, end - begin + 1);
}

bool flag(const std::string& text) {
    std::string t = trim(text);
    std::transform(t.begin(), t.end(), t.begin(), [](unsigned char c) { return std::tolower(c); });
    return t == "1" || t == "y" || t == "yes" || t == "true";
}

bool isSlash(char c) {
    return c == '\\' || c == '/';
}

} // namespace

std::optional<long long> parseInteger(const std::string& text) {
    std::string t = trim(text);
    std::size_t i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '-' || t[i] == '+')) {
        negative = t[i] == '-';
        ++i;
    }
    if (i == t.size())
        return std::nullopt;
    unsigned long long magnitude = 0;
    for (; i < t.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(t[i])))
            return std::nullopt;
        unsigned digit = static_cast<unsigned>(t[i] - '0');
        if (magnitude > (static_cast<unsigned long long>(LLONG_MAX) - digit) / 10)
            return std::nullopt;
        magnitude = magnitude * 10 + digit;
    }
    return negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
}

std::intptr_t parseFrameHandle(const std::string& text) {
    auto value = parseInteger(text);
    // "%d" of a handle: a signed 32-bit number. Someone writing it unsigned gets the same
    // handle back; anything wider is not a window handle.
    if (!value || *value < INT32_MIN || *value > static_cast<long long>(UINT32_MAX))
        return 0;
    auto handle = static_cast<std::intptr_t>(static_cast<std::int32_t>(static_cast<std::uint32_t>(*value)));
    constexpr std::intptr_t kBroadcast = 0xFFFF;
    return handle == kBroadcast ? 0 : handle;
}

std::uint64_t kilobytesFor(std::uint64_t bytes) {
    return bytes / 1024 + (bytes % 1024 != 0 ? 1 : 0);
}

InstallSizes installSizesFor(const std::vector<PayloadFile>& files) {
    InstallSizes sizes;
    for (const auto& file : files)
        sizes.base += kilobytesFor(file.bytes);
    return sizes;
}

SystemSizes systemSizes() {
    SystemSizes sizes;
    sizes.basesys = 1;
    return sizes;
}

std::uint64_t requiredKilobytes(const InstallSizes& install, const SystemSizes& system, bool sameDrive) {
    return install.total() + (sameDrive ? system.total() : 0);
}

int percentOf(std::uint64_t done, std::uint64_t total) {
    if (total == 0 || done >= total)
        return 100;
    // Halving both keeps done * 100 within range for any total; the ratio barely moves.
    while (done > UINT64_MAX / 100) {
        done >>= 1;
        total >>= 1;
    }
    // done was below total, so this is not complete yet even where halving evened them out.
    return static_cast<int>(std::min<std::uint64_t>(done * 100 / total, 99));
}

bool isDriveRootedPath(const std::string& path) {
    return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
           isSlash(path[2]);
}

std::string normalizeFolder(const std::string& path) {
    std::string folder = path;
    std::replace(folder.begin(), folder.end(), '/', '\\');
    std::size_t keep = isDriveRootedPath(folder) ? 3 : 1;
    while (folder.size() > keep && folder.back() == '\\')
        folder.pop_back();
    return folder;
}

std::string joinPath(const std::string& folder, const std::string& name) {
    if (folder.empty())
        return name;
    if (isSlash(folder.back()))
        return folder + name;
    return folder + "\\" + name;
}

bool isInsideRelative(const std::string& relative) {
    if (relative.empty() || relative.find(':') != std::string::npos || relative[0] == '\\' ||
        relative[0] == '/')
        return false;
    std::string rest = relative;
    std::replace(rest.begin(), rest.end(), '/', '\\');
    for (std::size_t at = 0; at <= rest.size();) {
        std::size_t end = rest.find('\\', at);
        if (end == std::string::npos)
            end = rest.size();
        // The system drops a name's trailing dots and blanks: ". .", "..." and ".. " are ".."
        // or "." to it. No file the engine installs is named so.
        const std::string part = rest.substr(at, end - at);
        if (!part.empty() && part.find_first_not_of(". ") == std::string::npos)
            return false;
        at = end + 1;
    }
    return true;
}

std::vector<std::string> foldersToCreate(const std::string& folder,
                                         const std::function<bool(const std::string&)>& isDirectory) {
    std::string path = normalizeFolder(folder);
    std::vector<std::string> missing;
    if (!isDriveRootedPath(path))
        return missing;
    for (std::size_t i = 3; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '\\')
            continue;
        std::string prefix = path.substr(0, i);
        if (prefix.size() > 3 && !isDirectory(prefix))
            missing.push_back(prefix);
    }
    return missing;
}

EngineControl readControl(const std::function<std::string(const char* key)>& value) {
    EngineControl control;
    std::string result = value("result");
    if (trim(result) == "none")
        control.noResult = true;
    else if (!result.empty())
        control.result = result;
    control.skipInstall = flag(value("skip_install"));
    control.restart = flag(value("restart"));
    control.diskFail = flag(value("diskfail"));
    control.engineBox = flag(value("enginebox"));
    control.crash = flag(value("crash"));
    if (auto delay = parseInteger(value("delay_ms")); delay && *delay > 0)
        control.delayMs = static_cast<unsigned>(std::min<long long>(*delay, kMaxControlDelayMs));
    control.record = trim(value("record"));
    control.roundTrips = trim(value("roundtrips"));
    if (auto phase = parseInteger(value("phase")); phase && *phase >= INT_MIN && *phase <= INT_MAX)
        control.phase = static_cast<int>(*phase);
    if (auto at = parseInteger(value("cancel_at")); at && *at >= 0 && *at <= 100)
        control.cancelAt = static_cast<int>(*at);
    control.holdFile = trim(value("hold_file"));
    std::string hold = trim(value("hold"));
    for (std::size_t start = 0; !control.holdFile.empty() && start < hold.size();) {
        std::size_t comma = hold.find(',', start);
        const std::string point =
            trim(hold.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (point == "start")
            control.holdAtStart = true;
        else if (auto at = parseInteger(point); at && *at >= 0 && *at <= 100)
            control.holdAt.push_back(static_cast<int>(*at));
        start = comma == std::string::npos ? hold.size() : comma + 1;
    }
    std::sort(control.holdAt.begin(), control.holdAt.end());
    return control;
}

std::string recordBlock(const std::string& commandLine,
                        const std::vector<std::pair<std::string, std::string>>& enter) {
    std::string block = commandLine + "\r\n";
    for (const auto& [key, value] : enter)
        block += key + "=" + value + "\r\n";
    block += "\r\n";
    return block;
}

std::vector<std::string> InstallJournal::backupsToDiscard() const {
    std::vector<std::string> backups;
    for (const auto& entry : entries_)
        if (entry.kind == Kind::ReplacedFile)
            backups.push_back(entry.backup);
    return backups;
}

} // namespace zov::tools
