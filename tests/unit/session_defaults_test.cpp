// The session values a run starts with, from switches and the machine.
#include "unit/run_fixture.h"

#include <gtest/gtest.h>

using namespace zov;

namespace {

using SessionDefaults = sim::InstallerFixture;

TEST_F(SessionDefaults, PlainRun) {
    auto& s = defaults("");
    EXPECT_EQ(s.installDirectory, "C:\\Program Files\\ZOV 9.0");
    EXPECT_EQ(s.installType, 'A');
    EXPECT_EQ(s.superBuild, "4327");
    EXPECT_EQ(s.subBuild, "271");
    EXPECT_EQ(s.revision, '\0');
    EXPECT_EQ(s.installerPath, "D:\\setup.exe");
    EXPECT_FALSE(s.silent);
    EXPECT_TRUE(s.windowShown);
    EXPECT_EQ(s.is64Bit, 'N');
}

TEST_F(SessionDefaults, HWinsOverGAndUsesTheProgramFilesName) {
    sim.registry.setString(RegRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion",
                           "ProgramFilesDir", "C:\\Programme");
    EXPECT_EQ(defaults("-h Zov -g E:\\Elsewhere").installDirectory, "C:\\Programme\\Zov");
    EXPECT_EQ(defaults("-g E:\\Elsewhere").installDirectory, "E:\\Elsewhere");
}

TEST_F(SessionDefaults, InstallDirectoryThatWouldNotFitFallsBackToTheDefault) {
    std::string longName(250, 'n');
    EXPECT_EQ(defaults("-h " + longName).installDirectory, "C:\\Program Files\\ZOV 9.0");
    std::string fits(259 - std::string("C:\\Program Files\\").size(), 'f');
    EXPECT_EQ(defaults("-h " + fits).installDirectory, "C:\\Program Files\\" + fits);
}

TEST_F(SessionDefaults, ProgramFilesNameFallsBackWhenTheValueIsMissing) {
    sim.registry.deleteValue(RegRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion",
                             "ProgramFilesDir");
    EXPECT_EQ(defaults("").installDirectory, "C:\\Program Files\\ZOV 9.0");
}

TEST_F(SessionDefaults, ExistingDirectoryGetsALetter) {
    sim.files.makeDirectory("C:\\Program Files\\ZOV 9.0");
    sim.files.makeDirectory("C:\\Program Files\\ZOV 9.0a");
    EXPECT_EQ(defaults("").installDirectory, "C:\\Program Files\\ZOV 9.0b");
}

TEST_F(SessionDefaults, UniqueDirectoryRunsThroughTwoLetterNames) {
    // Every one-letter name is taken, and so is "aa".
    auto exists = [](const std::string& p) { return p.size() <= 5 || p == "C:\\Xaa"; };
    EXPECT_EQ(uniqueDirectory("C:\\X", exists), "C:\\Xab");
    // A full 259-character name cannot grow: the search ends without running forever.
    std::string longest(259, 'q');
    EXPECT_EQ(uniqueDirectory(longest, [](const std::string&) { return true; }), longest);
}

TEST_F(SessionDefaults, InstallDriveFromV) {
    sim.system.driveTypes["E:\\"] = 3;
    sim.system.driveTypes["F:\\"] = 5; // CD-ROM: ignored
    EXPECT_EQ(defaults("-v E").installDirectory, "E:\\Program Files\\ZOV 9.0");
    EXPECT_EQ(defaults("-v F").installDirectory, "C:\\Program Files\\ZOV 9.0");
    EXPECT_EQ(defaults("-v Exyz").installDirectory, "E:\\Program Files\\ZOV 9.0");
}

TEST_F(SessionDefaults, WinIniProbeMakesItAnUpgrade) {
    sim.files.makeDirectory("C:\\Old\\ZOV");
    sim.profile.writeString("C:\\Windows\\win.ini", "WZOV", "AppPath", "C:\\Old\\ZOV");
    EXPECT_EQ(defaults("").installType, 'C');
    sim.profile.writeString("C:\\Windows\\win.ini", "WZOV", "AppPath", "C:\\Gone");
    EXPECT_EQ(defaults("").installType, 'A');
}

TEST_F(SessionDefaults, SilentSwitches) {
    auto& s = defaults("/s");
    EXPECT_TRUE(s.silent);
    EXPECT_FALSE(s.windowShown);
    EXPECT_EQ(s.silentInstall, "Y");
    EXPECT_EQ(s.autoLaunch, "N");
    auto& x = defaults("/s /x foo");
    EXPECT_TRUE(x.silent);
    EXPECT_TRUE(x.windowShown);
    EXPECT_EQ(x.xArgument, "foo");
}

TEST_F(SessionDefaults, DashKOverridesTheIconFlags) {
    auto& s = defaults("-k /oem1");
    EXPECT_EQ(s.doIcons, 'N');
    EXPECT_EQ(s.doOtherIcons, 'N');
    EXPECT_EQ(s.do3rdPartyIcons, 'N');
    EXPECT_EQ(s.deskItem, "");
    EXPECT_EQ(s.retryShortcutWanted, "");
    auto& t = defaults("/oem2 /notlbar /nodskbr -d -m -t");
    EXPECT_EQ(t.doIcons, 'Y');
    EXPECT_EQ(t.do3rdPartyIcons, 'N');
    EXPECT_EQ(t.ieToolbar, 'N');
    EXPECT_EQ(t.deskBar, 'N');
    EXPECT_EQ(t.deskItem, "");
    EXPECT_EQ(t.retryShortcutWanted, "");
    EXPECT_EQ(t.autoLaunch, "N");
}

TEST_F(SessionDefaults, KillProxyOnlyOnOldNt) {
    EXPECT_EQ(defaults("-p").killProxy, "");
    sim.system.os = OsVersion{5, 0, 2195, 2, ""};
    EXPECT_EQ(defaults("-p").killProxy, "A");
    sim.system.os = OsVersion{4, 0, 1381, 2, ""};
    EXPECT_EQ(defaults("-p").killProxy, "A");
}

TEST_F(SessionDefaults, EasySwitches) {
    auto& n = defaults("-n");
    EXPECT_FALSE(n.showWelcome);
    EXPECT_FALSE(n.cookieLookup);
    EXPECT_EQ(n.installType, 'A');
    EXPECT_EQ(sim.profile.readString("C:\\IPH.PH", "inst01", "qi", "", 10), "1");

    auto& e = defaults("-e");
    EXPECT_EQ(e.installType, 'C');
    EXPECT_TRUE(e.showMember);
    EXPECT_FALSE(e.showWelcome);

    auto& b = defaults("-b \"Jane Doe\"");
    EXPECT_EQ(b.brandScreenName, "Jane Doe");
    EXPECT_TRUE(b.useScreenName);
    EXPECT_EQ(b.installType, 'E');
    EXPECT_FALSE(b.showMember);

    auto& empty = defaults("-b");
    EXPECT_FALSE(empty.useScreenName);
    EXPECT_EQ(empty.installType, 'A');
}

TEST_F(SessionDefaults, EasyUpgradeWithoutAClientBecomesAnAdditionalCopy) {
    auto& s = defaults("-eu");
    EXPECT_EQ(s.installType, 'E');
    EXPECT_EQ(s.upgradeDirectory, "");
    EXPECT_FALSE(s.showWelcome);
    EXPECT_FALSE(s.showMember);
    EXPECT_FALSE(s.showDirectory);
    EXPECT_FALSE(s.upgradeTargetFixed);
}

TEST_F(SessionDefaults, Wow64IsRecorded) {
    sim.system.wow64 = true;
    EXPECT_EQ(defaults("").is64Bit, 'Y');
}

TEST(BuildSplit, RevisionLetterAndOddBuilds) {
    std::string super, sub;
    char rev = 'x';
    splitBuild("4327.271b", super, sub, rev);
    EXPECT_EQ(super, "4327");
    EXPECT_EQ(sub, "271");
    EXPECT_EQ(rev, 'b');
    splitBuild("4327", super, sub, rev);
    EXPECT_EQ(super, "4327");
    EXPECT_EQ(sub, "");
    EXPECT_EQ(rev, '\0');
}

} // namespace
