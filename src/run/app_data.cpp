#include "run/app_data.h"

namespace zov {
namespace {

constexpr std::size_t kPathBuffer = 260;
const char* const kCurrentVersionKey = "Software\\Microsoft\\Windows\\CurrentVersion";

} // namespace

std::optional<std::string> CommonAppDataFolder(const ShellAppDataLookup& shell, Registry& registry) {
    if (shell) {
        if (std::optional<std::string> folder = shell(); folder && !folder->empty())
            return folder;
    }
    std::optional<std::string> value =
        registry.readString(RegRoot::LocalMachine, kCurrentVersionKey, "Common AppData", kPathBuffer);
    if (value && !value->empty())
        return value;
    return std::nullopt;
}

std::string AllUsersAppDataFolder(const ShellAppDataLookup& shell, Registry& registry, SystemInfo& system) {
    if (std::optional<std::string> folder = CommonAppDataFolder(shell, registry))
        return *folder;
    return system.windowsDirectory() + "\\All Users\\Application Data";
}

std::string ClientDataFolder(ProfileStore& profile, const ShellAppDataLookup& shell, Registry& registry,
                             SystemInfo& system, const std::string& clientFolder) {
    const std::string ini = clientFolder + "\\appdata.ini";
    std::string folder = profile.readString(ini, "appdata", "Folder", "", kPathBuffer);
    if (folder.empty())
        return clientFolder;
    std::string base = profile.readString(ini, "appdata", "Common", "", kPathBuffer);
    if (base.empty())
        base = AllUsersAppDataFolder(shell, registry, system);
    // Not cut to a path buffer: a folder that cannot exist is better than the wrong one.
    return base + "\\" + folder;
}

} // namespace zov
