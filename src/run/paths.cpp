#include "run/paths.h"

#include "run/text.h"

#include <cctype>
#include <optional>

namespace zov {

bool startsAtDriveRoot(const std::string& path) {
    return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' &&
           path[2] == '\\';
}

bool insideRecycleBin(Machine& m, const std::string& path) {
    DiskProbe& disk = m.checks.disk;
    // An empty display name would be "contained" in every type name.
    std::optional<std::string> name = disk.recycleBinName();
    if (name && !name->empty()) {
        auto typeContains = [&](const std::string& p) {
            std::optional<std::string> type = disk.shellTypeName(p);
            return type && containsNoCase(*type, *name);
        };
        if (typeContains(path))
            return true;
        for (std::size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1))
            if (typeContains(path.substr(0, at)))
                return true;
    }
    const std::string drive = path.substr(0, 2);
    for (const char* folder : {"\\Recycled", "\\Recycler", "\\$Recycle.bin"})
        if (containsNoCase(path, drive + folder))
            return true;
    return false;
}

bool createDirectoryPath(Machine& m, const std::string& path) {
    FileSystem& files = m.files;
    DiskProbe& disk = m.checks.disk;
    bool result = true;
    for (std::size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1)) {
        const std::string prefix = path.substr(0, at);
        if (!files.isDirectory(prefix))
            result = disk.createDirectory(prefix);
    }
    if (!files.isDirectory(path))
        result = disk.createDirectory(path);
    return result;
}

} // namespace zov
