#include "app/settings_file.h"
#include "sim/sim_machine.h"

#include <gtest/gtest.h>

using namespace zov;
using zov::sim::SimMachine;

namespace {

class Settings : public ::testing::Test {
  protected:
    SimMachine sim;
    SettingsFile file{sim.profile, sim.files, SettingsFile::pathIn(sim.system.temp)};
    InstallSession session;
};

TEST_F(Settings, EnterKeysInOrderAndNoExitSection) {
    // An earlier run's file, with a screen name this run does not use.
    sim.writeText(file.path(), "[enter]\r\nBRANDSN=Old Name\r\n64BIT=Y\r\n[exit]\r\nrc=0\r\nRESTART=Y\r\n");
    session.installDirectory = "C:\\Program Files\\ZOV 9.0";
    session.frame = 0x1234;
    splitBuild(session.build, session.superBuild, session.subBuild, session.revision);
    const int writesBefore = sim.profile.writes;
    file.write(session);
    EXPECT_EQ(sim.profile.writes - writesBefore, 2) << "[enter] in one write, [exit] removed in another";
    auto keys = sim.profile.keys(file.path(), "enter");
    const std::vector<std::string> expected = {
        "MAINDIR",         "OLDDIR",         "VERSION",       "REALVERSION", "SAMEBUILDS", "INSTALLVER",
        "INSTEXE",         "DODESKITEM",     "LANGCODE",      "COUNTRYCODE", "SUPERBUILD", "SUBBUILD",
        "CODEBASE",        "DOKILLWWWPROXY", "INSTALL_TYPE",  "FILESACTION", "REVISION",   "OLDCOUNTRYCODE",
        "OLDLANGUAGECODE", "DOAUTOLAUNCH",   "SILENTINSTALL", "FRAMEHWND",   "DOICONS",    "DOOTHERICONS",
        "DO3RDPTYICONS",   "LOWRAM",         "IETOOLBAR",     "DESKBAR",     "64BIT"};
    EXPECT_EQ(keys, expected);
    EXPECT_EQ(file.readResult(), '\0') << "an earlier run's result must not leak";
    EXPECT_FALSE(file.restartRequested());
    EXPECT_EQ(sim.profile.readString(file.path(), "enter", "FRAMEHWND", "", 64), "4660");
    EXPECT_EQ(sim.profile.readString(file.path(), "enter", "REVISION", "?", 64), "");
    EXPECT_EQ(sim.profile.readString(file.path(), "enter", "SUPERBUILD", "", 64), "4327");
    EXPECT_GE(sim.profile.flushes, 1);
}

TEST_F(Settings, BrandScreenNameOnlyWhenUsed) {
    session.brandScreenName = "FromCookie";
    file.write(session);
    EXPECT_EQ(sim.profile.readString(file.path(), "enter", "BRANDSN", "<absent>", 64), "<absent>");
    session.useScreenName = true;
    file.write(session);
    EXPECT_EQ(sim.profile.readString(file.path(), "enter", "BRANDSN", "<absent>", 64), "FromCookie");
    session.useScreenName = false; // a later run without it must not hand the old name on
    file.write(session);
    EXPECT_EQ(sim.profile.readString(file.path(), "enter", "BRANDSN", "<absent>", 64), "<absent>");
}

TEST_F(Settings, EmptyInstallDirectoryIsAnEmptyValue) {
    file.write(session);
    EXPECT_NE(sim.readText(file.path()).find("MAINDIR=\r\n"), std::string::npos);
}

TEST_F(Settings, FrameHandleIsSignedDecimal) {
    session.frame = static_cast<WindowHandle>(static_cast<std::int32_t>(0xFFFF1234));
    file.write(session);
    EXPECT_EQ(sim.profile.readString(file.path(), "enter", "FRAMEHWND", "", 64), "-60876");
}

TEST_F(Settings, AddOnChoiceComesBeforeEnterInAFreshFile) {
    file.writeAddOnChoice("0");
    file.write(session);
    std::string text = sim.readText(file.path());
    EXPECT_LT(text.find("[IETOOLBAR]"), text.find("[VISTAGADGET]"));
    EXPECT_LT(text.find("[VISTAGADGET]"), text.find("[enter]"));
}

TEST_F(Settings, RestartNeedsAnUpperCaseY) {
    for (auto [value, expected] :
         {std::pair{"Y", true}, {"Yes", true}, {"y", false}, {"N", false}, {"", false}}) {
        sim.profile.writeString(file.path(), "exit", "RESTART", value);
        EXPECT_EQ(file.restartRequested(), expected) << value;
    }
}

TEST_F(Settings, ProgressDllIsRemovedOnlyWhenNamedAndPresent) {
    std::string dll = sim.tempFile("prg1.dll");
    sim.writeText(dll, "MZ");
    file.removeProgressDll(); // nothing named: nothing happens
    EXPECT_TRUE(sim.files.fileExists(dll));
    sim.profile.writeString(file.path(), "DLLs", "progress.dll", dll);
    file.removeProgressDll();
    EXPECT_FALSE(sim.files.fileExists(dll));
    file.removeProgressDll(); // already gone: no harm
}

TEST_F(Settings, Phase2MainDirectoryFallsBackToTheCurrentValue) {
    EXPECT_EQ(file.readMainDirectory("C:\\Current"), "C:\\Current");
    sim.profile.writeString(file.path(), "enter", "MAINDIR", "E:\\Chosen");
    EXPECT_EQ(file.readMainDirectory("C:\\Current"), "E:\\Chosen");
}

} // namespace
