// Where application data lives: the all-users application-data folder and the data folder
// of an installed client, by the rule of its "appdata.ini".
//
// One rule for everybody who asks (the Flash trust file, the client scanner, the directory
// page). The shell lookup is passed in, so that each caller uses the port it already holds.
#pragma once

#include "platform/ports.h"

#include <functional>
#include <optional>
#include <string>

namespace zov {

// SHGetFolderPathA with the common application-data folder id, or nullopt.
using ShellAppDataLookup = std::function<std::optional<std::string>()>;

// The shell's answer, else HKEY_LOCAL_MACHINE "Software\Microsoft\Windows\CurrentVersion"
// value "Common AppData" (260 bytes); nullopt when neither knows (an empty answer counts as
// none).
std::optional<std::string> CommonAppDataFolder(const ShellAppDataLookup& shell, Registry& registry);

// The same, with the Windows folder followed by "\All Users\Application Data" as the last
// resort, so that it always has an answer.
std::string AllUsersAppDataFolder(const ShellAppDataLookup& shell, Registry& registry, SystemInfo& system);

// The folder that holds a client's data. "<client folder>\appdata.ini", section "appdata":
// a non-empty "Folder" gives "<base>\<Folder>", where the base is "Common" or, when that is
// empty, the all-users application-data folder; without "Folder" the data lives in the
// client folder itself, whatever "Common" says.
std::string ClientDataFolder(ProfileStore& profile, const ShellAppDataLookup& shell, Registry& registry,
                             SystemInfo& system, const std::string& clientFolder);

} // namespace zov
