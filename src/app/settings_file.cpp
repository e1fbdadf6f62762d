#include "app/settings_file.h"

#include <utility>
#include <vector>

namespace zov {
namespace {

std::string letter(char c) {
    return c == '\0' ? std::string() : std::string(1, c);
}

} // namespace

int SettingsFile::write(const InstallSession& s) {
    std::vector<std::pair<std::string, std::string>> keys = {
        {"MAINDIR", s.installDirectory},
        {"OLDDIR", s.upgradeDirectory},
        {"VERSION", s.version},
        {"REALVERSION", s.realVersion},
        {"SAMEBUILDS", s.sameBuilds},
        {"INSTALLVER", s.installVer},
        {"INSTEXE", s.installerPath},
        {"DODESKITEM", s.deskItem},
        {"LANGCODE", s.langCode},
        {"COUNTRYCODE", s.countryCode},
        {"SUPERBUILD", s.superBuild},
        {"SUBBUILD", s.subBuild},
        {"CODEBASE", s.codebase},
        {"DOKILLWWWPROXY", s.killProxy},
        {"INSTALL_TYPE", letter(s.installType)},
        {"FILESACTION", letter(s.filesAction)},
        {"REVISION", letter(s.revision)},
        {"OLDCOUNTRYCODE", s.oldCountryCode},
        {"OLDLANGUAGECODE", s.oldLanguageCode},
        {"DOAUTOLAUNCH", s.autoLaunch},
        {"SILENTINSTALL", s.silentInstall},
        {"FRAMEHWND", std::to_string(static_cast<long long>(static_cast<int>(s.frame)))},
    };
    if (s.useScreenName)
        keys.emplace_back("BRANDSN", s.brandScreenName);
    keys.emplace_back("DOICONS", letter(s.doIcons));
    keys.emplace_back("DOOTHERICONS", letter(s.doOtherIcons));
    keys.emplace_back("DO3RDPTYICONS", letter(s.do3rdPartyIcons));
    keys.emplace_back("LOWRAM", letter(s.lowRam));
    keys.emplace_back("IETOOLBAR", letter(s.ieToolbar));
    keys.emplace_back("DESKBAR", letter(s.deskBar));
    keys.emplace_back("64BIT", letter(s.is64Bit));

    // One write of the file rather than one per key (each rewrites the whole file); a key
    // an earlier run left in [enter] does not survive either.
    profile_.writeSection(path_, "enter", keys);
    // No result of an earlier run may survive into this one.
    profile_.deleteSection(path_, "exit");
    profile_.flush();
    return 1;
}

void SettingsFile::writeAddOnChoice(const std::string& toolbar, const std::string& gadget) {
    profile_.writeString(path_, "IETOOLBAR", "VelaInstallSelected", toolbar);
    profile_.writeString(path_, "VISTAGADGET", "VelaInstallSelected", gadget);
}

std::string SettingsFile::readExit(const std::string& key, const std::string& defaultValue) {
    return profile_.readString(path_, "exit", key, defaultValue, kReadBuffer);
}

char SettingsFile::readResult() {
    std::string rc = readExit("rc", "");
    return rc.empty() ? '\0' : rc[0];
}

bool SettingsFile::restartRequested() {
    std::string restart = readExit("RESTART", "N");
    return !restart.empty() && restart[0] == 'Y';
}

std::string SettingsFile::readMainDirectory(const std::string& current) {
    return profile_.readString(path_, "enter", "MAINDIR", current, kPathBuffer);
}

void SettingsFile::removeProgressDll() {
    std::string dll = profile_.readString(path_, "DLLs", "progress.dll", "", kPathBuffer);
    if (!dll.empty() && files_.exists(dll))
        files_.removeFile(dll);
}

} // namespace zov
