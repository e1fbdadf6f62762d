// The process-wide session values: what the run installs, where, and how.
#pragma once

#include "platform/ports.h"

#include <functional>
#include <string>

namespace zov {

struct InstallSession {
    bool silent = false;
    bool windowShown = true;
    int installPhase = 1;
    std::string engineArguments;
    char engineResult = '\0';

    std::string installDirectory;
    std::string upgradeDirectory;
    char installType = 'A';
    char filesAction = 'A';

    std::string version = "9.0";
    std::string realVersion = "9.9";
    std::string sameBuilds = "4327.271";
    std::string codebase = "4327.271";
    std::string installVer;
    std::string build = "4327.271";
    std::string superBuild, subBuild;
    char revision = '\0';

    std::string langCode = "0", countryCode = "1";
    std::string oldLanguageCode = "0", oldCountryCode = "1";

    std::string deskItem = "A";
    std::string retryShortcutWanted = "A";
    std::string autoLaunch = "Y";
    std::string silentInstall = "N";
    std::string killProxy;
    char doIcons = 'Y', doOtherIcons = 'Y', do3rdPartyIcons = 'Y';
    char ieToolbar = 'Y', deskBar = 'Y';
    char is64Bit = 'N';
    char lowRam = 'F';

    std::string brandScreenName;
    bool useScreenName = false;
    bool screenNameWelcome = false;

    WindowHandle frame = 0;
    bool showWelcome = true, showMember = true, showDirectory = true, forceDirectory = false;
    bool cookieLookup = true;
    bool upgradeTargetFixed = false;
    bool recentVersionChoice = true; // the recent-version page: upgrade it (true) or search
    bool screenReader = false;
    bool noFlash = false; // "-f"

    std::string installerPath;    // INSTEXE
    std::string settingsCopyPath; // "-?"
    bool hasSettingsCopy = false;
    std::string xArgument; // "/x"
    bool hasX = false;
    bool hasJ = false;

    // Upgrade client's texts, read for the run sequence and easy upgrade.
    std::string upgradeBuildText, upgradeCodebaseText;
};

// The build split of a build text: "4327.271" gives "4327", "271", no revision letter.
void splitBuild(const std::string& build, std::string& superBuild, std::string& subBuild, char& revision);

// The first name of "<dir>", "<dir>a".."<dir>z", "<dir>aa".."<dir>az", "<dir>aaa".. that
// does not exist. Stops after a bounded number of tries and returns the last one tried.
std::string uniqueDirectory(const std::string& directory,
                            const std::function<bool(const std::string&)>& exists);

} // namespace zov
