// install.ini: the hand-off between the setup program and the install engine.
#pragma once

#include "run/session.h"
#include "platform/ports.h"

#include <string>

namespace zov {

class SettingsFile {
  public:
    static constexpr std::size_t kReadBuffer = 2048;
    static constexpr std::size_t kPathBuffer = 260;

    SettingsFile(ProfileStore& profile, FileSystem& files, std::string path)
        : profile_(profile), files_(files), path_(std::move(path)) {}

    // "%s%s" of the temporary directory (ending in a backslash) and "install.ini".
    static std::string pathIn(const std::string& tempDirectory) { return tempDirectory + "install.ini"; }
    const std::string& path() const { return path_; }

    // [enter] in its fixed order, then [exit] removed and the profile cache flushed.
    int write(const InstallSession& session);
    // The [IETOOLBAR] and [VISTAGADGET] choice of the optional add-ons.
    void writeAddOnChoice(const std::string& value) { writeAddOnChoice(value, value); }
    void writeAddOnChoice(const std::string& toolbar, const std::string& gadget);
    std::string readExit(const std::string& key, const std::string& defaultValue);
    char readResult();
    bool restartRequested(); // [exit] RESTART: only an upper-case 'Y' first counts
    std::string readMainDirectory(const std::string& current);
    // Deletes the progress DLL the engine named in [DLLs], when there is one.
    void removeProgressDll();

  private:
    ProfileStore& profile_;
    FileSystem& files_;
    std::string path_;
};

} // namespace zov
