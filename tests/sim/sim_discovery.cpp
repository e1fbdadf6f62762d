#include "sim/sim_discovery.h"

#include "sim/sim_machine.h"

#include <algorithm>
#include <cstring>

namespace zov::sim {
namespace {

class SimInputFile final : public InputFile {
  public:
    SimInputFile(SimDiscovery& owner, std::string bytes) : owner_(owner), bytes_(std::move(bytes)) {
        ++owner_.openFiles;
    }
    ~SimInputFile() override { --owner_.openFiles; }
    SimInputFile(const SimInputFile&) = delete;
    SimInputFile& operator=(const SimInputFile&) = delete;

    std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t size) override {
        ++owner_.reads;
        if (offset >= bytes_.size())
            return 0;
        std::size_t count = std::min<std::size_t>(size, bytes_.size() - static_cast<std::size_t>(offset));
        std::memcpy(buffer, bytes_.data() + offset, count);
        owner_.bytesRead += count;
        return count;
    }

  private:
    SimDiscovery& owner_;
    std::string bytes_;
};

bool underFolder(const std::string& key, const std::string& folderKey) {
    return key == folderKey || (key.size() > folderKey.size() && key.rfind(folderKey, 0) == 0 &&
                                (folderKey.back() == '\\' || key[folderKey.size()] == '\\'));
}

std::string digits(unsigned value, std::size_t width) {
    std::string text = std::to_string(value);
    return text.size() < width ? std::string(width - text.size(), '0') + text : text;
}

} // namespace

std::string SimDiscovery::resolve(const std::string& path) const {
    std::string current = normalizePath(path);
    for (int hops = 0; hops < 64; ++hops) {
        bool changed = false;
        for (const auto& [link, target] : links) {
            std::string linkKey = pathKey(link);
            std::string key = pathKey(current);
            if (underFolder(key, linkKey)) {
                current = normalizePath(target + current.substr(normalizePath(link).size()));
                changed = true;
                break;
            }
        }
        if (!changed)
            break;
    }
    return current;
}

std::unique_ptr<InputFile> SimDiscovery::openRead(const std::string& path) {
    ++opens;
    std::string real = resolve(path);
    for (const std::string& locked : unreadable)
        if (pathKey(locked) == pathKey(real))
            return nullptr;
    const SimFileSystem::File* file = machine_.files.file(real);
    if (file == nullptr) {
        machine_.system.error = machine_.files.isDirectory(real) ? err::kAccessDenied : err::kFileNotFound;
        return nullptr;
    }
    return std::make_unique<SimInputFile>(*this, file->bytes);
}

std::optional<std::vector<FolderEntry>> SimDiscovery::listFolder(const std::string& folder) {
    ++listings;
    std::string real = resolve(folder);
    auto entries = machine_.files.entries(real);
    if (!entries)
        return std::nullopt;
    std::vector<FolderEntry> out;
    bool root = parentOf(normalizePath(real)).empty();
    if (!root) {
        out.push_back({".", true, false});
        out.push_back({"..", true, false});
    }
    std::string base = normalizePath(folder);
    for (const auto& entry : *entries) {
        std::string full = base + (base.back() == '\\' ? "" : "\\") + entry.name;
        bool link = false;
        for (const auto& [linkPath, target] : links)
            if (pathKey(linkPath) == pathKey(full))
                link = true;
        out.push_back({entry.name, entry.directory, link});
    }
    // Links whose folder is not on the simulated disk still show up in their parent.
    for (const auto& [linkPath, target] : links) {
        std::string norm = normalizePath(linkPath);
        if (pathKey(parentOf(norm)) != pathKey(real) && pathKey(parentOf(norm)) != pathKey(base))
            continue;
        std::string name = norm.substr(norm.rfind('\\') + 1);
        bool listed = std::any_of(out.begin(), out.end(),
                                  [&](const FolderEntry& e) { return equalsNoCase(e.name, name); });
        if (!listed)
            out.push_back({name, true, true});
    }
    return out;
}

std::optional<std::uint64_t> SimDiscovery::modificationTime(const std::string& path) {
    for (const auto& [known, time] : times)
        if (pathKey(known) == pathKey(path))
            return time;
    if (!machine_.files.exists(resolve(path)))
        return std::nullopt;
    return machine_.clock.unixSeconds();
}

std::optional<std::string> SimDiscovery::longPathName(const std::string& path) {
    if (!longPathOffered)
        return std::nullopt;
    for (const auto& [shortName, longName] : longNames)
        if (pathKey(shortName) == pathKey(path))
            return longName;
    if (!machine_.files.exists(path))
        return std::nullopt;
    return path;
}

std::optional<DiscoveryPorts::RegistryValue> SimDiscovery::queryRegistryValue(RegRoot root,
                                                                              const std::string& key,
                                                                              const std::string& value,
                                                                              std::size_t maxBytes) {
    auto values = machine_.registry.valuesOf(root, key);
    if (!values)
        return std::nullopt;
    for (const auto& v : *values) {
        if (!equalsNoCase(v.name, value))
            continue;
        RegistryValue out;
        if (v.isDword) {
            out.type = 4;
            out.size = 4;
            return maxBytes >= 4 ? std::optional<RegistryValue>(out) : std::nullopt;
        }
        out.type = 1;
        out.size = static_cast<std::uint32_t>(v.text.size() + 1);
        if (out.size > maxBytes)
            return std::nullopt; // ERROR_MORE_DATA
        out.text = v.text.substr(0, v.text.find('\0'));
        return out;
    }
    return std::nullopt;
}

bool SimDiscovery::setRegistryString(RegRoot root, const std::string& key, const std::string& value,
                                     const std::string& text) {
    for (const auto& [lockedRoot, lockedKey] : machine_.registry.lockedKeys)
        if (lockedRoot == root && pathKey(lockedKey) == pathKey(key))
            return false;
    machine_.registry.setString(root, key, value, text);
    return true;
}

std::optional<std::vector<std::string>> SimDiscovery::registryValueNames(RegRoot root,
                                                                         const std::string& key) {
    auto values = machine_.registry.valuesOf(root, key);
    if (!values)
        return std::nullopt;
    std::vector<std::string> names;
    for (const auto& v : *values) {
        if (v.name.size() > 259)
            break; // RegEnumValueA fails with ERROR_MORE_DATA and the enumeration ends
        names.push_back(v.name);
    }
    return names;
}

std::optional<CalendarTime> SimDiscovery::localTime(std::uint64_t unixSeconds) {
    std::int64_t local = static_cast<std::int64_t>(unixSeconds) + machine_.clock.utcOffsetSeconds;
    if (local < 0)
        return std::nullopt;
    return SimClock::calendar(static_cast<std::uint64_t>(local) * 1000);
}

std::optional<std::string> SimDiscovery::formatDate(const CalendarTime& date, const std::string& picture) {
    if (refusedPictures.count(picture) != 0)
        return std::nullopt;
    // No picture: the locale's own short date.
    const std::string p = picture.empty() ? "MM/dd/yyyy" : picture;
    std::string out;
    for (std::size_t i = 0; i < p.size();) {
        char c = p[i];
        std::size_t run = 1;
        while (i + run < p.size() && p[i + run] == c)
            ++run;
        if (c == 'd')
            out += digits(date.day, run >= 2 ? 2 : 1);
        else if (c == 'M')
            out += digits(date.month, run >= 2 ? 2 : 1);
        else if (c == 'y')
            out += run >= 3 ? digits(date.year, 4) : digits(date.year % 100, 2);
        else
            out.append(run, c);
        i += run;
    }
    return out;
}

} // namespace zov::sim
