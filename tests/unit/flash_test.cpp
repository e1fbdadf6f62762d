// The Flash Player check and install, the control choice, the trust file, and where the
// installer runs them.
#include "companions/flash.h"
#include "unit/run_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <string>
#include <vector>

using namespace zov;
using zov::sim::SimMachine;

namespace {

using Lines = std::vector<std::string>;

const std::string kPlayerKey = "CLSID\\{D27CDB6E-AE6D-11cf-96B8-444553540000}";
const std::string kOwnKey = "CLSID\\{C1145550-A454-11D4-9020-00D0B7239081}";
const std::string kOcx = "C:\\Windows\\system32\\Macromed\\Flash\\Flash.ocx";
const std::string kInstaller = "D:\\comps\\flash\\setup.exe";
const std::string kTrustFile =
    "C:\\ProgramData\\Macromedia\\Flash Player\\#Security\\FlashPlayerTrust\\ZOV.cfg";
const std::string kEntry = "C:\\Program Files\\ZOV 9.0\\wzov.exe";

TEST(FlashVersion, ComparesMajorThenMinorOnly) {
    const FlashVersion wanted = FlashVersion::fromText(FlashCompanion::kMinimumVersion);
    EXPECT_EQ(CompareMajorMinor(FlashVersion::fromText("9.0.15.0"), wanted), 0);
    EXPECT_EQ(CompareMajorMinor(FlashVersion::fromText("9.0.999.9"), wanted), 0);
    EXPECT_EQ(CompareMajorMinor(FlashVersion::fromText("8.0.35.0"), wanted), -1);
    EXPECT_EQ(CompareMajorMinor(FlashVersion::fromText("8.9.99.0"), wanted), -1);
    EXPECT_EQ(CompareMajorMinor(FlashVersion::fromText("9.1.0.0"), wanted), 1);
    EXPECT_EQ(CompareMajorMinor(FlashVersion::fromText("10.0.0.0"), wanted), 1);
}

TEST(FlashVersion, TextPiecesAreSignedDecimalNumbers) {
    FlashVersion v = FlashVersion::fromText("9.0.16.0");
    EXPECT_EQ((std::vector<std::int64_t>{v.major, v.minor, v.build, v.revision}),
              (std::vector<std::int64_t>{9, 0, 16, 0}));
    v = FlashVersion::fromText(" 7.-2.3x.+4");
    EXPECT_EQ((std::vector<std::int64_t>{v.major, v.minor, v.build, v.revision}),
              (std::vector<std::int64_t>{7, -2, 3, 4}));
    v = FlashVersion::fromText("1.2");
    EXPECT_EQ((std::vector<std::int64_t>{v.major, v.minor, v.build, v.revision}),
              (std::vector<std::int64_t>{1, 2, 0, 0}));
    v = FlashVersion::fromText("99999999999999999999.-99999999999999999999");
    EXPECT_EQ(v.major, INT64_MAX);
    EXPECT_EQ(v.minor, INT64_MIN);
    v = FlashVersion::fromText("");
    EXPECT_EQ(v.major, 0);
}

TEST(FlashVersion, FromTheVersionResourceWords) {
    FlashVersion v = FlashVersion::fromWords(FileVersionWords{0x00090000u, 0x0010002Au});
    EXPECT_EQ((std::vector<std::int64_t>{v.major, v.minor, v.build, v.revision}),
              (std::vector<std::int64_t>{9, 0, 16, 42}));
}

TEST(FlashInstallerTarget, IsLowerCasedAndCutAtComps) {
    EXPECT_EQ(FlashInstallerTarget("D:\\Build\\COMPS\\flash\\setup.exe"), "comps\\flash\\setup.exe");
    EXPECT_EQ(FlashInstallerTarget("comps\\flash\\setup.exe"), "comps\\flash\\setup.exe");
    EXPECT_EQ(FlashInstallerTarget("Flash\\Install.EXE"), "flash\\install.exe");
    EXPECT_EQ(FlashInstallerTarget("x\\MyComps\\a.exe"), "comps\\a.exe");
}

class Flash : public sim::RunFixture {
  protected:
    FlashCompanion flash{run};

    void SetUp() override {
        sim.traceWire.monitor = 0x99;
        trace.start();
        sim.traceWire.lines.clear();
        sim.files.makeDirectory("C:\\ProgramData");
        sim.writeText("D:\\comps.ini", "[mflash]\r\ntarget=comps\\flash\\setup.exe\r\nparams=/s\r\n");
    }

    void installPlayer(const std::string& subkey, std::uint16_t major, std::uint16_t minor,
                       std::uint16_t build) {
        sim.files.writeText(kOcx, "MZ");
        sim.companions.setVersion(kOcx, major, minor, build, 0);
        sim.companions.registerClassKey(kPlayerKey + "\\" + subkey, kOcx);
    }

    void installer(std::uint32_t exitCode, unsigned pollsBeforeEnd = 0) {
        sim.processes.registerProgram(kInstaller, {{}, exitCode, pollsBeforeEnd});
    }

    Lines lines() const {
        Lines all;
        for (const auto& l : sim.traceWire.lines)
            all.push_back(l.text);
        return all;
    }
};

TEST_F(Flash, SameMajorMinorCountsAsInstalled) {
    installPlayer("InProcServer32", 9, 0, 15);
    installer(0);
    EXPECT_TRUE(flash.CheckAndInstall());
    EXPECT_TRUE(sim.companions.detachedStarts.empty());
    EXPECT_EQ(lines(), (Lines{"Adobe Flash Player exists in PC", "Getting Existing File Version",
                              "Same Flash Version already Exists in Computer"}));
}

TEST_F(Flash, HigherVersionCountsAsInstalled) {
    installPlayer("InProcServer32", 10, 0, 22);
    EXPECT_TRUE(flash.CheckAndInstall());
    EXPECT_TRUE(sim.companions.detachedStarts.empty());
    EXPECT_EQ(lines().back(), "Higher Flash Version already Exists in Computer");
}

TEST_F(Flash, LowerVersionRunsTheInstallerFromTheCd) {
    installPlayer("InProcServer32", 8, 0, 35);
    installer(0);
    EXPECT_TRUE(flash.CheckAndInstall());
    EXPECT_EQ(sim.companions.detachedStarts, (Lines{"\"D:\\\\comps\\flash\\setup.exe\" /s"}));
    EXPECT_EQ(sim.companions.waits, (std::vector<std::uint32_t>{9000}));
    EXPECT_EQ(lines(),
              (Lines{"Adobe Flash Player exists in PC", "Getting Existing File Version",
                     "Lower Flash Version Exists in Computer", "\"D:\\\\comps\\flash\\setup.exe\" /s",
                     "Successfully CreateProcess for Adobe Flash Player Installer",
                     "WaitCode for Flash Player is Signaled", "GetExitCodeProcess started",
                     "Return Value in GetExitCodeProcess is Success",
                     "Exit Code Flash Installer Process in Success State",
                     "Successfully Install Adobe Flash Player", "Exit Flash Installation 1"}));
    EXPECT_EQ(sim.processes.openHandles(), 0);
    ASSERT_EQ(sim.processes.starts.size(), 1u);
    EXPECT_FALSE(sim.processes.starts[0].showMaximized);
}

TEST_F(Flash, LocalServerIsReadBeforeInProcServer) {
    installPlayer("InProcServer32", 8, 0, 35);
    const std::string server = "C:\\Flash\\Player.exe";
    sim.files.writeText(server, "MZ");
    sim.companions.setVersion(server, 9, 0, 45, 0);
    sim.companions.registerClassKey(kPlayerKey + "\\LocalServer32", server);
    installer(0);
    EXPECT_TRUE(flash.CheckAndInstall());
    EXPECT_TRUE(sim.companions.detachedStarts.empty());
}

TEST_F(Flash, RegisteredClassWhoseServerFileIsGoneLeadsToTheInstaller) {
    installPlayer("InProcServer32", 9, 0, 45);
    sim.files.removeFile(kOcx);
    installer(0);
    EXPECT_TRUE(flash.CheckAndInstall());
    EXPECT_EQ(lines().front(), "Flash Player OCX does not exists in PC");
    EXPECT_EQ(sim.companions.detachedStarts.size(), 1u);
}

TEST_F(Flash, ServerWithoutVersionResourceCountsAsVersionZero) {
    sim.files.writeText(kOcx, "not a program");
    sim.companions.registerClassKey(kPlayerKey + "\\InProcServer32", kOcx);
    installer(0);
    EXPECT_TRUE(flash.CheckAndInstall());
    EXPECT_EQ(lines()[2], "Lower Flash Version Exists in Computer");
    EXPECT_EQ(sim.companions.detachedStarts.size(), 1u);
}

TEST_F(Flash, NoPlayerRegisteredGoesStraightToTheInstaller) {
    installer(0);
    EXPECT_TRUE(flash.CheckAndInstall());
    EXPECT_EQ(lines().front(), "\"D:\\\\comps\\flash\\setup.exe\" /s");
}

TEST_F(Flash, TargetIsCutAndParamsDefaultToQuiet) {
    sim.writeText("D:\\comps.ini", "[mflash]\r\ntarget=D:\\Build\\COMPS\\flash\\setup.exe\r\nparams=\r\n");
    installer(0);
    EXPECT_TRUE(flash.CheckAndInstall());
    EXPECT_EQ(sim.companions.detachedStarts, (Lines{"\"D:\\\\comps\\flash\\setup.exe\" /Q"}));
}

TEST_F(Flash, NothingToInstallWithoutATargetOrWithAQuoteInIt) {
    sim.writeText("D:\\comps.ini", "[mflash]\r\nparams=/s\r\n");
    EXPECT_FALSE(flash.CheckAndInstall());
    sim.writeText("D:\\comps.ini", "[mflash]\r\ntarget=setup.exe\" /evil \"x\r\n");
    EXPECT_FALSE(flash.CheckAndInstall());
    sim.files.removeFile("D:\\comps.ini");
    EXPECT_FALSE(flash.CheckAndInstall());
    sim.system.module = "setup.exe";
    EXPECT_FALSE(flash.CheckAndInstall());
    EXPECT_TRUE(sim.companions.detachedStarts.empty());
    EXPECT_TRUE(lines().empty());
}

TEST_F(Flash, InstallerThatFailsIsReportedQuietly) {
    installer(1);
    EXPECT_FALSE(flash.CheckAndInstall());
    Lines l = lines();
    ASSERT_GE(l.size(), 4u);
    EXPECT_EQ(
        Lines(l.end() - 4, l.end()),
        (Lines{"Exit Code Flash Installer Process in Failed State", "Unable to Install Adobe Flash Player",
               "Exit Flash Installation -ErrorCode: 0", "Exit Flash Installation 0"}));
    EXPECT_TRUE(sim.windows.boxes.empty());
    EXPECT_EQ(sim.processes.openHandles(), 0);
}

TEST_F(Flash, InstallerStillRunningAfterNineSecondsIsASuccess) {
    installer(0, 1000);
    const std::uint64_t before = sim.clock.nowMs;
    EXPECT_TRUE(flash.CheckAndInstall());
    EXPECT_EQ(sim.clock.nowMs - before, 9000u);
    Lines l = lines();
    EXPECT_EQ(std::count(l.begin(), l.end(), "WaitCode for Flash Player is Signaled"), 0);
    EXPECT_EQ(std::count(l.begin(), l.end(), "Exit Code Flash Installer Process in Active State"), 1);
    EXPECT_EQ(l.back(), "Exit Flash Installation 1");
    // Left running, but not held: the handle is closed.
    EXPECT_EQ(sim.processes.openHandles(), 0);
}

TEST_F(Flash, InstallerThatCannotStartFailsWithTheSystemError) {
    EXPECT_FALSE(flash.CheckAndInstall());
    Lines l = lines();
    EXPECT_EQ(std::count(l.begin(), l.end(), "Successfully CreateProcess for Adobe Flash Player Installer"),
              0);
    EXPECT_EQ(l[l.size() - 2], "Exit Flash Installation -ErrorCode: 2");
}

TEST_F(Flash, ControlChoiceWithNeitherOneOrBothClasses) {
    FlashControlKind kind = FlashControlKind::Public;
    EXPECT_FALSE(flash.ChooseControl(kind));
    EXPECT_EQ(kind, FlashControlKind::Own);

    sim.companions.registerClassKey("CLSID\\{D27CDB6E-AE6D-11CF-96B8-444553540000}\\InProcServer32", kOcx);
    EXPECT_TRUE(flash.ChooseControl(kind));
    EXPECT_EQ(kind, FlashControlKind::Public);
    EXPECT_STREQ(FlashControlClassId(kind), "{D27CDB6E-AE6D-11CF-96B8-444553540000}");

    sim.companions.registerClassKey(kOwnKey + "\\InProcServer32", "C:\\ZOV\\flash.ocx");
    EXPECT_TRUE(flash.ChooseControl(kind));
    EXPECT_EQ(kind, FlashControlKind::Own);
    EXPECT_STREQ(FlashControlClassId(kind), "{C1145550-A454-11D4-9020-00D0B7239081}");

    sim.companions.classKeys.erase(
        sim::pathKey("CLSID\\{D27CDB6E-AE6D-11CF-96B8-444553540000}\\InProcServer32"));
    EXPECT_TRUE(flash.ChooseControl(kind));
    EXPECT_EQ(kind, FlashControlKind::Own);
    EXPECT_EQ(lines(), (Lines{"External Flash available, Using it in Installation",
                              "ZOV's internal Flash available, Using it in Installation",
                              "ZOV's internal Flash available, Using it in Installation"}));
}

TEST_F(Flash, ControlChoiceNeedsTheInProcServerKey) {
    // A class key alone (say, left by an uninstaller) is no control.
    sim.companions.registerClassKey(kOwnKey + "\\ProgID", std::string("x"));
    FlashControlKind kind = FlashControlKind::Public;
    EXPECT_FALSE(flash.ChooseControl(kind));
    EXPECT_EQ(kind, FlashControlKind::Own);
}

// --- the trust file ------------------------------------------------------------------

TEST_F(Flash, TrustUpdateTwiceLeavesOneLine) {
    EXPECT_TRUE(flash.UpdateTrustFile("C:\\Program Files\\ZOV 9.0"));
    EXPECT_TRUE(flash.UpdateTrustFile("C:\\Program Files\\ZOV 9.0"));
    EXPECT_EQ(sim.readText(kTrustFile), kEntry + "\r\n");
    EXPECT_EQ(sim.checks.createdDirectories.size(), 4u); // Macromedia .. FlashPlayerTrust
}

TEST_F(Flash, TrustEntryIsAppendedAfterOtherEntries) {
    sim.writeText(kTrustFile, "C:\\Other\\app.exe\r\nc:\\program files\\zov 9.0\\wzov.exe\r\n");
    EXPECT_TRUE(flash.UpdateTrustFile("C:\\Program Files\\ZOV 9.0"));
    // The test is case-sensitive, as the file's other writers spell paths their own way.
    EXPECT_EQ(sim.readText(kTrustFile),
              "C:\\Other\\app.exe\r\nc:\\program files\\zov 9.0\\wzov.exe\r\n" + kEntry + "\r\n");
}

TEST_F(Flash, TrustEntryDoesNotRunIntoAnUnfinishedLastLine) {
    sim.writeText(kTrustFile, "C:\\Other\\app.exe");
    EXPECT_TRUE(flash.UpdateTrustFile("C:\\Program Files\\ZOV 9.0"));
    EXPECT_EQ(sim.readText(kTrustFile), "C:\\Other\\app.exe\r\n" + kEntry + "\r\n");
}

TEST_F(Flash, LargeTrustFileIsSearchedInPiecesAndNeverCut) {
    const std::size_t chunk = FlashCompanion::kTrustReadChunk;
    // The entry straddles the first two pieces.
    std::string text(chunk - 10, 'x');
    text += "\r\n" + kEntry + "\r\n";
    text += std::string(3 * chunk, 'y') + "\r\n";
    sim.writeText(kTrustFile, text);
    EXPECT_TRUE(flash.UpdateTrustFile("C:\\Program Files\\ZOV 9.0"));
    EXPECT_EQ(sim.readText(kTrustFile), text);
    EXPECT_LE(sim.companions.largestRead, chunk);

    // Without the entry: appended after the last byte, nothing before it lost.
    std::string big(5 * chunk + 123, 'z');
    big += "\r\n";
    sim.writeText(kTrustFile, big);
    EXPECT_TRUE(flash.UpdateTrustFile("C:\\Program Files\\ZOV 9.0"));
    EXPECT_EQ(sim.readText(kTrustFile), big + kEntry + "\r\n");
}

TEST_F(Flash, TrustFolderFromTheRegistryWhenTheShellDoesNotKnow) {
    sim.companions.commonAppData.reset();
    sim.registry.setString(RegRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion",
                           "Common AppData", "C:\\All Data");
    EXPECT_TRUE(flash.UpdateTrustFile("C:\\ZOV"));
    EXPECT_EQ(sim.readText("C:\\All Data\\Macromedia\\Flash Player\\#Security\\FlashPlayerTrust\\ZOV.cfg"),
              "C:\\ZOV\\wzov.exe\r\n");
}

TEST_F(Flash, UnknownCommonFolderIsNotAFailure) {
    sim.companions.commonAppData.reset();
    EXPECT_TRUE(flash.UpdateTrustFile("C:\\ZOV"));
    EXPECT_TRUE(sim.checks.createdDirectories.empty());
    EXPECT_EQ(sim.companions.opens, 0);
}

TEST_F(Flash, TrustFolderOrFileThatCannotBeMadeFails) {
    sim.checks.failingDirectories.insert(sim::pathKey("C:\\ProgramData\\Macromedia\\Flash Player"));
    EXPECT_FALSE(flash.UpdateTrustFile("C:\\ZOV"));
    sim.checks.failingDirectories.clear();
    sim.companions.openFails = true;
    EXPECT_FALSE(flash.UpdateTrustFile("C:\\ZOV"));
}

TEST_F(Flash, UnreadableTrustFileIsLeftUntouched) {
    sim.writeText(kTrustFile, "C:\\Other\\app.exe\r\n");
    sim.companions.sizeFails = true;
    EXPECT_TRUE(flash.UpdateTrustFile("C:\\ZOV"));
    sim.companions.sizeFails = false;
    // A read that fails part way cannot tell whether the entry is there: no second entry.
    sim.writeText(kTrustFile, std::string(3 * FlashCompanion::kTrustReadChunk, 'x'));
    sim.companions.readFailsFrom = FlashCompanion::kTrustReadChunk;
    EXPECT_TRUE(flash.UpdateTrustFile("C:\\ZOV"));
    EXPECT_EQ(sim.readText(kTrustFile).size(), 3 * FlashCompanion::kTrustReadChunk);
}

TEST_F(Flash, FailedAppendIsReported) {
    sim.companions.appendFails = true;
    EXPECT_FALSE(flash.UpdateTrustFile("C:\\ZOV"));
}

// --- where the installer runs them -----------------------------------------------------

class FlashInInstaller : public sim::InstallerFixture {
  protected:
    void SetUp() override {
        InstallerFixture::SetUp();
        sim.processes.registerProgram("D:\\comp01.000", {[](SimMachine& s, const std::string&) {
                                                             s.profile.writeString(s.tempFile("install.ini"),
                                                                                   "exit", "rc", "0");
                                                         },
                                                         0, 0});
        sim.writeText("D:\\comps.ini", "[mflash]\r\ntarget=comps\\flash\\setup.exe\r\nparams=/s\r\n");
        sim.processes.registerProgram(kInstaller, {{}, 0, 0});
    }
};

TEST_F(FlashInInstaller, CheckRunsBeforeTheFrameIsMadeForAnAdministrator) {
    bool frameExistedAtInstall = true;
    sim.processes.registerProgram(kInstaller,
                                  {[this, &frameExistedAtInstall](SimMachine&, const std::string&) {
                                       frameExistedAtInstall = frame.created;
                                   },
                                   0, 0});
    EXPECT_EQ(run("/s"), 0u);
    EXPECT_EQ(sim.companions.detachedStarts.size(), 1u);
    EXPECT_FALSE(frameExistedAtInstall);
}

TEST_F(FlashInInstaller, CheckNeedsAnAdministratorExceptOnWindows9x) {
    // The system checks refuse such a user later; the check comes before them.
    sim.checks.groups = std::vector<TokenGroup>{{"S-1-1-0", 7}, {"S-1-5-11", 7}};
    run("/s");
    EXPECT_TRUE(sim.companions.detachedStarts.empty());

    sim.system.os = OsVersion{4, 10, (4u << 24) | (10u << 16) | 2222u, 1, ""}; // Windows 98
    run("/s");
    EXPECT_EQ(sim.companions.detachedStarts.size(), 1u);
}

TEST_F(FlashInInstaller, TrustEntryAfterTheWizard) {
    EXPECT_EQ(run(""), 0u);
    EXPECT_EQ(sim.readText(kTrustFile), app->session().installDirectory + "\\wzov.exe\r\n");
}

TEST_F(FlashInInstaller, NoTrustEntryAfterAnUnattendedRun) {
    EXPECT_EQ(run("/s"), 0u);
    EXPECT_FALSE(sim.files.fileExists(kTrustFile));
}

} // namespace
