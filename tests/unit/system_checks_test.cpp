// The system checks in their order, with every threshold, prompt and refusal code.
#include "checks/system_checks.h"
#include "unit/checks_fixture.h"

#include <gtest/gtest.h>

#include <functional>

using namespace zov;
using namespace zov::sim;

namespace {

constexpr std::uint64_t MB = 1024 * 1024;
const char* const kRunOnce = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

class SystemChecksTest : public ChecksFixture {
  protected:
    int retryRemovals = 0;
    CheckSwitches switches;

    int check() {
        SystemChecks checks(run, session, frame, dialogs, switches, [this] { ++retryRemovals; });
        return checks.run();
    }
    void browserBuild(const std::string& build) {
        sim.registry.setString(RegRoot::LocalMachine, "Software\\Microsoft\\Internet Explorer", "Build",
                               build);
    }
    bool boxShown(unsigned id) {
        for (const auto& b : sim.windows.boxes)
            if (b.text == text(id))
                return true;
        return false;
    }
    void appWindows(int n) {
        for (int i = 1; i <= n; ++i)
            sim.checks.styles[sim.windows.addWindow("App", "Editor " + std::to_string(i))] = kAppWindowStyle;
    }
};

TEST_F(SystemChecksTest, AGoodMachinePassesOnEveryWindowsFrom98On) {
    const std::pair<std::string, int> expected[] = {{"95", 190}, {"98", 0}, {"ME", 0},    {"NT4", 190},
                                                    {"2000", 0}, {"XP", 0}, {"Vista", 0}, {"7", 0}};
    browserBuild("6.0.2800.1106 62463"); // read as 6.0: only ME looks at it
    for (const auto& [name, code] : expected) {
        SCOPED_TRACE(name);
        setWindows(name);
        abort = false;
        retryRemovals = 0;
        if (name == "ME")
            browserBuild("62463");
        EXPECT_EQ(check(), code);
        EXPECT_EQ(abort, code != 0);
        EXPECT_EQ(retryRemovals, code != 0 ? 1 : 0);
        EXPECT_EQ(session.lowRam, 'F');
    }
    EXPECT_TRUE(boxShown(220));
}

TEST_F(SystemChecksTest, TheChecksTraceTheirStepsInOrder) {
    EXPECT_EQ(check(), 0);
    const std::vector<std::string> expected = {"Verifying OS type...",
                                               "ok",
                                               "checking CPU type...",
                                               "ok",
                                               "checking CPU speed...",
                                               "cpu speed = 2400",
                                               "ok",
                                               "checking memory...",
                                               "ok\n",
                                               "checking color depth...",
                                               "ok",
                                               "checking for running clients...",
                                               "ok\n",
                                               "checking for Client on other user sessions...",
                                               "ok",
                                               "checking for running non-trivial apps...",
                                               "ok",
                                               "checking for initial disk space..."};
    std::vector<std::string> steps;
    for (const auto& line : traceLines())
        if (line.rfind("GUI", 0) != 0)
            steps.push_back(line);
    EXPECT_EQ(steps, expected);
    EXPECT_EQ(historyValue("lf"), "0");
    EXPECT_EQ(sim.system.cpuMeasurements, 2) << "once for the history record, once here";
}

TEST_F(SystemChecksTest, SkipSwitchRunsNothing) {
    switches.skip = true;
    session.lowRam = 'T';
    sim.checks.logPixels = 120;
    EXPECT_EQ(check(), 0);
    EXPECT_EQ(session.lowRam, 'F');
    EXPECT_EQ(historyValue("lf"), "<absent>");
    EXPECT_TRUE(traceLines().empty() || !traced("Verifying OS type..."));
}

TEST_F(SystemChecksTest, LargeFontsAreRecorded) {
    sim.checks.logPixels = 120;
    check();
    EXPECT_EQ(historyValue("lf"), "1");
}

TEST_F(SystemChecksTest, CleanupToolVersionOrSizeOn9xAndTheEventAlways) {
    setWindows("98");
    WindowHandle tool = sim.windows.addWindow("KELTOMAINWINDOW", "Kelto");
    std::uint32_t pid = sim.checks.addProcess("C:\\Program Files\\Kelto\\KELTO.EXE");
    sim.checks.windowPids[tool] = pid;
    const std::string vxd = "C:\\Program Files\\Kelto\\csafe.vxd";
    sim.files.writeText(vxd, std::string(1234, 'v'));
    sim.checks.versions[pathKey(vxd)] = "Kelto Version 4.0.1";
    check();
    EXPECT_EQ(historyValue("wv"), "4.0.1");
    EXPECT_TRUE(recorded(144));

    sim.checks.versions.clear();
    history.StartNew();
    check();
    EXPECT_EQ(historyValue("ws"), "1234");
    sim.files.removeFile(vxd);
    history.StartNew();
    check();
    EXPECT_EQ(historyValue("ws"), "-1");

    // On NT the module walk is not made: only the event.
    setWindows("7");
    sim.files.writeText(vxd, "x");
    history.StartNew();
    check();
    EXPECT_EQ(historyValue("ws"), "<absent>");
    EXPECT_TRUE(recorded(144));
}

TEST_F(SystemChecksTest, WindowsVersionThresholdsComeFromTheStringTable) {
    setWindows("NT4");
    sim.strings.set(1381, "0");
    EXPECT_EQ(check(), 0);
    sim.strings.set(1380, "5");
    EXPECT_EQ(check(), 190);
    EXPECT_TRUE(recorded(148));
}

TEST_F(SystemChecksTest, RestartPendingOnVistaIsTheFile) {
    setWindows("Vista");
    sim.registry.setString(RegRoot::LocalMachine, kRunOnce, "ZOVRebootNeeded", "x");
    EXPECT_EQ(check(), 0) << "the value alone does not count on NT 6.0";
    EXPECT_FALSE(sim.registry.readString(RegRoot::LocalMachine, kRunOnce, "ZOVRebootNeeded"))
        << "and is deleted";
    sim.files.writeText("C:\\zovreboot", "");
    EXPECT_EQ(check(), 190);
    EXPECT_TRUE(boxShown(245));
    EXPECT_FALSE(abort);
    EXPECT_EQ(retryRemovals, 0);
}

TEST_F(SystemChecksTest, RestartPendingOnWindows7IsTheRegistryValue) {
    sim.files.writeText("C:\\zovreboot", "");
    EXPECT_EQ(check(), 0) << "the file does not count on NT 6.1";
    sim.registry.setString(RegRoot::LocalMachine, kRunOnce, "ZOVRebootNeeded", "1");
    EXPECT_EQ(check(), 190);
    EXPECT_FALSE(abort);
    EXPECT_EQ(retryRemovals, 0);
    session.silent = true;
    sim.windows.boxes.clear();
    EXPECT_EQ(check(), 190);
    EXPECT_TRUE(sim.windows.boxes.empty());
}

TEST_F(SystemChecksTest, LanguageListMatchesAnyPiece) {
    setWindows("98");
    sim.checks.language = std::string("0407"); // German (Germany)
    sim.strings.set(2044, "1033,1031");
    EXPECT_EQ(check(), 0);
    EXPECT_TRUE(traced("Checking languages : OS primary language=0x7, sub-language=0x1"));
    EXPECT_TRUE(traced("Comparing...installer primary language=0x9, installer sub-language=0x1"));
    EXPECT_TRUE(traced("Comparing...installer primary language=0x7, installer sub-language=0x1"));
    EXPECT_TRUE(traced("match"));
    EXPECT_TRUE(sim.windows.boxes.empty());
}

TEST_F(SystemChecksTest, LanguagePieceWithATrailingSpaceIsSkipped) {
    setWindows("2000");
    sim.checks.language = std::string("0407");
    sim.strings.set(2044, "1033,1031 ");
    sim.windows.boxAnswers = {BoxAnswer::No};
    EXPECT_EQ(check(), 1815);
    EXPECT_TRUE(traced("Installer language mismatch"));
    EXPECT_EQ(tracedCount("Comparing...installer primary language=0x9, installer sub-language=0x1"), 1);
    EXPECT_TRUE(boxShown(1317));
    EXPECT_TRUE(abort);
    EXPECT_EQ(retryRemovals, 1);
    // Yes goes on.
    abort = false;
    sim.windows.boxAnswers = {BoxAnswer::Yes};
    EXPECT_EQ(check(), 0);
}

TEST_F(SystemChecksTest, LanguageIsNotCheckedSilentlyOnXpOrWhenTheLocaleIsUnknown) {
    sim.checks.language = std::string("0407");
    setWindows("XP");
    EXPECT_EQ(check(), 0);
    setWindows("98");
    session.silent = true;
    EXPECT_EQ(check(), 0);
    session.silent = false;
    sim.checks.language = std::nullopt;
    EXPECT_EQ(check(), 0);
    EXPECT_FALSE(traced("Installer language mismatch"));
    // A locale text that is no number matches nothing.
    sim.checks.language = std::string("zz");
    sim.windows.boxAnswers = {BoxAnswer::Yes};
    EXPECT_EQ(check(), 0);
    EXPECT_TRUE(traced("Checking languages : OS primary language=0xffff, sub-language=0xffff"));
}

TEST_F(SystemChecksTest, LanguageParsing) {
    auto de = SystemChecks::systemLanguage("0407");
    EXPECT_EQ(de.primary, 7u);
    EXPECT_EQ(de.sub, 1u);
    EXPECT_EQ(SystemChecks::systemLanguage("04 07").primary, 0xFFFFu);
    EXPECT_EQ(SystemChecks::systemLanguage("").primary, 0xFFFFu);
    EXPECT_TRUE(SystemChecks::installerLanguage("1031"));
    EXPECT_FALSE(SystemChecks::installerLanguage("1031 "));
    EXPECT_FALSE(SystemChecks::installerLanguage(""));
    EXPECT_FALSE(SystemChecks::installerLanguage("en"));
}

// Another platform has no installed version (0.0) and fails the version check first; with
// the version thresholds at 0 the platform check itself is reached.
TEST_F(SystemChecksTest, UnknownPlatformIsRefused) {
    sim.strings.set(1380, "0");
    sim.strings.set(1381, "0");
    sim.system.os.platform = 3;
    sim.checks.verifyAvailable = false;
    EXPECT_EQ(check(), 1151);
    EXPECT_TRUE(recorded(116));
    EXPECT_TRUE(boxShown(1303));
    EXPECT_TRUE(abort);
    EXPECT_EQ(retryRemovals, 1);
}

TEST_F(SystemChecksTest, UnknownPlatformSilentlyRecordsNothing) {
    session.silent = true;
    sim.strings.set(1380, "0");
    sim.strings.set(1381, "0");
    sim.system.os.platform = 3;
    sim.checks.verifyAvailable = false;
    EXPECT_EQ(check(), 1151);
    EXPECT_FALSE(recorded(116));
    EXPECT_TRUE(sim.windows.boxes.empty());
}

TEST_F(SystemChecksTest, BrowserBuildOnWindowsMe) {
    setWindows("ME");
    const std::pair<std::string, int> builds[] = {
        {"6.0.2800.1106", 190}, {"62462", 190}, {"62463", 0}, {"", 190}, {"62462.5", 0}};
    for (const auto& [build, code] : builds) {
        SCOPED_TRACE(build);
        browserBuild(build);
        abort = false;
        EXPECT_EQ(check(), code);
        EXPECT_FALSE(abort) << "no abort flag for the browser";
        EXPECT_EQ(retryRemovals, 0);
    }
    EXPECT_TRUE(recorded(145));
    EXPECT_TRUE(boxShown(243));
    sim.registry.deleteValue(RegRoot::LocalMachine, "Software\\Microsoft\\Internet Explorer", "Build");
    EXPECT_EQ(check(), 190);
}

TEST_F(SystemChecksTest, AdministratorsOn2000AndLaterOnly) {
    sim.checks.groups = std::vector<TokenGroup>{{"S-1-1-0", 7}, {"S-1-5-32-545", 7}};
    for (const std::string& name : {std::string("2000"), std::string("XP"), std::string("7")}) {
        SCOPED_TRACE(name);
        setWindows(name);
        abort = false;
        retryRemovals = 0;
        EXPECT_EQ(check(), 1314);
        EXPECT_TRUE(abort);
        EXPECT_EQ(retryRemovals, 1);
    }
    EXPECT_TRUE(recorded(119));
    EXPECT_TRUE(boxShown(1306));
    setWindows("98");
    EXPECT_EQ(check(), 0);
    setWindows("7");
    sim.checks.groups = std::nullopt; // the token cannot be read
    EXPECT_EQ(check(), 1314);
}

TEST_F(SystemChecksTest, DenyOnlyAdministratorsGroupPasses) {
    constexpr std::uint32_t kDenyOnly = 0x10;
    sim.checks.groups = std::vector<TokenGroup>{{"S-1-5-32-544", kDenyOnly}};
    EXPECT_EQ(check(), 0);
    EXPECT_TRUE(SystemChecks::isAdministrator(sim.checks.groups));
}

TEST_F(SystemChecksTest, ProcessorClassAsksOnAnOldProcessor) {
    sim.checks.family = 4;
    sim.windows.boxAnswers = {BoxAnswer::No};
    EXPECT_EQ(check(), 216);
    EXPECT_TRUE(recorded(120));
    ASSERT_FALSE(sim.windows.boxes.empty());
    EXPECT_EQ(sim.windows.boxes[0].kind, BoxKind::Question);
    EXPECT_NE(sim.windows.boxes[0].text.find("with a Pentium or better processor"), std::string::npos);
    EXPECT_NE(sim.windows.boxes[0].text.find("detect a Pentium or better"), std::string::npos);
    EXPECT_TRUE(abort);
    EXPECT_EQ(retryRemovals, 1);
    abort = false;
    sim.windows.boxAnswers = {BoxAnswer::Yes};
    EXPECT_EQ(check(), 0);
}

TEST_F(SystemChecksTest, ProcessorFamilyRules) {
    struct Case {
        std::optional<std::uint32_t> cpuid;
        std::uint32_t type;
        std::string wanted;
        bool asks;
    };
    const Case cases[] = {
        {std::nullopt, 486, "Pentium", true},
        {std::nullopt, 586, "PENTIUM", false},
        {0, 386, "Pentium", false},
        {4, 586, "486", false},
        {3, 586, "486", true},
        {3, 586, "Athlon", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.wanted + " " + std::to_string(c.type));
        sim.checks.family = c.cpuid;
        sim.checks.processorTypeValue = c.type;
        sim.strings.set(1271, c.wanted);
        sim.windows.boxes.clear();
        EXPECT_EQ(check(), 0); // unscripted questions answer Yes
        EXPECT_EQ(sim.windows.boxes.size(), c.asks ? 1u : 0u);
    }
    sim.checks.family = 3;
    sim.strings.set(1271, "486");
    session.silent = true;
    EXPECT_EQ(check(), 0);
    EXPECT_TRUE(traced("cpu speed = 2400")) << "the speed is measured in silent runs too";
}

TEST_F(SystemChecksTest, MemoryCountsInstalledMegabytesPlusOne) {
    struct Case {
        std::uint64_t bytes;
        int code;
        char lowRam;
    };
    const Case cases[] = {
        {static_cast<std::uint64_t>(109.5 * MB), 0, 'F'},
        {static_cast<std::uint64_t>(108.9 * MB), 0, 'T'},
        {static_cast<std::uint64_t>(29.5 * MB), 0, 'T'},
        {static_cast<std::uint64_t>(28.9 * MB), 8, 'F'},
        {4096 * MB, 0, 'F'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        sim.system.memoryBytes = c.bytes;
        abort = false;
        EXPECT_EQ(check(), c.code);
        EXPECT_EQ(session.lowRam, c.lowRam);
    }
    EXPECT_TRUE(recorded(152));
    EXPECT_TRUE(recorded(121));
    EXPECT_TRUE(boxShown(1394));
    EXPECT_TRUE(traced("MEM CHECK - Mem Too Low - No Install"));
    EXPECT_EQ(SystemChecks::installedMegabytes(static_cast<std::uint64_t>(109.5 * MB)), 110u);
}

TEST_F(SystemChecksTest, MemoryOption) {
    switches.memoryOption = "OFF";
    sim.system.memoryBytes = static_cast<std::uint64_t>(109.5 * MB);
    EXPECT_EQ(check(), 0);
    EXPECT_EQ(session.lowRam, 'F');
    EXPECT_TRUE(traced("MEM CHECK - Low RAM OFF"));
    sim.system.memoryBytes = static_cast<std::uint64_t>(108.9 * MB);
    EXPECT_EQ(check(), 8);
    EXPECT_TRUE(boxShown(1308));
    EXPECT_EQ(retryRemovals, 1);

    for (const char* force : {"LR", "lr"}) {
        switches.memoryOption = force;
        sim.system.memoryBytes = 4096 * MB;
        EXPECT_EQ(check(), 0);
        EXPECT_EQ(session.lowRam, 'T');
    }
    EXPECT_TRUE(traced("MEM CHECK - Low RAM Force"));

    switches.memoryOption = "whatever";
    sim.system.memoryBytes = 16 * MB;
    EXPECT_EQ(check(), 0) << "no memory test at all";
    EXPECT_EQ(session.lowRam, 'F');
    EXPECT_TRUE(traced("MEM CHECK - Full Install"));
}

TEST_F(SystemChecksTest, MemoryRefusalIsSilentInASilentRun) {
    session.silent = true;
    sim.system.memoryBytes = 16 * MB;
    EXPECT_EQ(check(), 8);
    EXPECT_TRUE(sim.windows.boxes.empty());
    EXPECT_TRUE(abort);
}

TEST_F(SystemChecksTest, ColourDepth) {
    sim.checks.bitsPixel = 4;
    sim.windows.boxAnswers = {BoxAnswer::No};
    EXPECT_EQ(check(), 2017);
    EXPECT_TRUE(recorded(122));
    EXPECT_TRUE(boxShown(1309));
    EXPECT_TRUE(abort);
    EXPECT_EQ(retryRemovals, 0) << "the retry shortcut stays";

    // Skipped, trace lines and all, once easy upgrade found its client.
    sim.traceWire.lines.clear();
    session.upgradeTargetFixed = true;
    sim.windows.boxes.clear();
    EXPECT_EQ(check(), 0);
    EXPECT_FALSE(traced("checking color depth..."));
    EXPECT_TRUE(sim.windows.boxes.empty());
    session.upgradeTargetFixed = false;
    session.silent = true;
    EXPECT_EQ(check(), 0);
}

TEST_F(SystemChecksTest, RunningClientIsAskedToExitBehindTheBusyDisplay) {
    SimClient client(sim);
    client.start();
    EXPECT_EQ(check(), 0);
    EXPECT_TRUE(client.gone);
    auto busy = sim.windows.messagesOf(msg::ShowBusy);
    ASSERT_EQ(busy.size(), 1u);
    EXPECT_EQ(busy[0].lParam, 6);
    EXPECT_EQ(sim.windows.messagesOf(msg::HideBusy).size(), 1u);
}

TEST_F(SystemChecksTest, ClientThatWillNotExitIsListedUntilTheUserExits) {
    SimClient client(sim);
    client.neverExits = true;
    client.start();
    // Retry, then Cancel and Resume, then Cancel and Exit.
    sim.windows.boxAnswers = {BoxAnswer::Retry, BoxAnswer::Cancel, BoxAnswer::Cancel};
    dialogs.resumeAnswers = {true, false};
    EXPECT_EQ(check(), 1051);
    EXPECT_TRUE(abort);
    EXPECT_EQ(retryRemovals, 0);
    ASSERT_EQ(sim.windows.boxes.size(), 3u);
    EXPECT_EQ(sim.windows.boxes[0].kind, BoxKind::Error);
    EXPECT_NE(sim.windows.boxes[0].text.find("currently running:\n\nZOV\n\n"), std::string::npos);
    EXPECT_EQ(dialogs.summaries, 1);
    sim.windows.pumpMessages();
    EXPECT_EQ(client.cancels, 1) << "3627 tells the client";
    auto e = events();
    EXPECT_EQ(std::count(e.begin(), e.end(), 123u), 3);
    EXPECT_EQ(std::count(e.begin(), e.end(), 128u), 2);
}

TEST_F(SystemChecksTest, ClientThatWillNotExitInASilentRunIsLeftAlone) {
    SimClient client(sim);
    client.neverExits = true;
    client.start();
    session.silent = true;
    EXPECT_EQ(check(), 0);
    EXPECT_EQ(client.exitRequests, 1) << "the shutdown still runs";
    EXPECT_TRUE(sim.windows.boxes.empty());
}

TEST_F(SystemChecksTest, AnotherSetupEndsWith1051WithoutAbort) {
    sim.windows.addWindow("ZOVInstallerClass", "Install ZOV 9.0 VR");
    EXPECT_EQ(check(), 1051);
    EXPECT_FALSE(abort);
    EXPECT_EQ(sim.checks.foregrounded.size(), 1u);
    session.silent = true;
    EXPECT_EQ(check(), 0) << "not looked for in a silent run";
}

TEST_F(SystemChecksTest, ClientInAnotherSessionAsksUntilExit) {
    sim.checks.deniedMutexes.insert("Global\\_ZOVT_AppMutex");
    sim.windows.boxAnswers = {BoxAnswer::Retry, BoxAnswer::Cancel};
    dialogs.resumeAnswers = {false};
    EXPECT_EQ(check(), 1051);
    EXPECT_TRUE(abort);
    ASSERT_EQ(sim.windows.boxes.size(), 2u);
    EXPECT_NE(sim.windows.boxes[0].text.find("on user account  \"Unknown\" :\n\nZOV\n"), std::string::npos);
    setWindows("2000");
    abort = false;
    EXPECT_EQ(check(), 0) << "before XP the other sessions are not looked at";
}

TEST_F(SystemChecksTest, OpenApplicationsWarnUntilOkOrExit) {
    appWindows(2);
    sim.windows.boxAnswers = {BoxAnswer::Cancel, BoxAnswer::Ok};
    dialogs.resumeAnswers = {true};
    EXPECT_EQ(check(), 0);
    ASSERT_EQ(sim.windows.boxes.size(), 2u);
    EXPECT_EQ(sim.windows.boxes[0].kind, BoxKind::Warning);
    EXPECT_EQ(sim.windows.boxes[0].text, text(1281) + "Editor 1\nEditor 2\n" + text(1282));
    EXPECT_TRUE(recorded(124));
    sim.windows.boxAnswers = {BoxAnswer::Cancel};
    dialogs.resumeAnswers = {false};
    EXPECT_EQ(check(), 1051);
    EXPECT_TRUE(abort);
}

TEST_F(SystemChecksTest, DiskShortfallInASilentRunRefusesAtOnce) {
    session.silent = true;
    sim.system.freeSpace["C:\\"] = 1000 * 1024;
    EXPECT_EQ(check(), 112);
    EXPECT_TRUE(abort);
    EXPECT_EQ(retryRemovals, 0);
}

TEST_F(SystemChecksTest, SilentRunSkipsEveryPromptButStillRefuses) {
    session.silent = true;
    sim.checks.language = std::string("0407");
    sim.checks.family = 3;
    sim.checks.bitsPixel = 4;
    appWindows(3);
    sim.checks.deniedMutexes.insert("Global\\_ZOVT_AppMutex");
    sim.windows.addWindow("ZOVInstallerClass", "Install ZOV 9.0 VR");
    setWindows("2000");
    EXPECT_EQ(check(), 0);
    EXPECT_TRUE(sim.windows.boxes.empty());
    // The refusals that remain in a silent run, without a message.
    setWindows("95");
    EXPECT_EQ(check(), 190);
    setWindows("7");
    sim.checks.groups = std::vector<TokenGroup>{};
    EXPECT_EQ(check(), 1314);
    EXPECT_TRUE(sim.windows.boxes.empty());
}

// The failure table: code, abort flag and retry shortcut for each refusal.
TEST_F(SystemChecksTest, FailureTable) {
    struct Row {
        std::string cause;
        std::function<void()> arrange;
        int code;
        bool abortFlag;
        bool retryRemoved;
    };
    const Row rows[] = {
        {"passes", [] {}, 0, false, false},
        {"old Windows", [this] { setWindows("95"); }, 190, true, true},
        {"restart pending",
         [this] { sim.registry.setString(RegRoot::LocalMachine, kRunOnce, "ZOVRebootNeeded", "1"); }, 190,
         false, false},
        {"old browser", [this] { setWindows("ME"); }, 190, false, false},
        {"language",
         [this] {
             setWindows("98");
             sim.checks.language = std::string("0407");
             sim.windows.boxAnswers = {BoxAnswer::No};
         },
         1815, true, true},
        {"platform",
         [this] {
             sim.strings.set(1380, "0");
             sim.strings.set(1381, "0");
             sim.system.os.platform = 3;
             sim.checks.verifyAvailable = false;
         },
         1151, true, true},
        {"administrator", [this] { sim.checks.groups = std::vector<TokenGroup>{}; }, 1314, true, true},
        {"processor",
         [this] {
             sim.checks.family = 4;
             sim.windows.boxAnswers = {BoxAnswer::No};
         },
         216, true, true},
        {"memory", [this] { sim.system.memoryBytes = 8 * MB; }, 8, true, true},
        {"colour",
         [this] {
             sim.checks.bitsPixel = 4;
             sim.windows.boxAnswers = {BoxAnswer::No};
         },
         2017, true, false},
        {"another setup", [this] { sim.windows.addWindow("ZOVInstallerClass", "Install ZOV 9.0 VR"); }, 1051,
         false, false},
        {"open applications",
         [this] {
             appWindows(1);
             sim.windows.boxAnswers = {BoxAnswer::Cancel};
         },
         1051, true, false},
        {"disk", [this] { session.silent = true, sim.system.freeSpace["C:\\"] = 0; }, 112, true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.cause);
        sim.system.os = windowsNamed("7");
        sim.strings.overrides.clear();
        sim.checks.verifyAvailable = true;
        sim.checks.language = std::string("0409");
        sim.checks.groups = std::vector<TokenGroup>{{"S-1-5-32-544", 0xF}};
        sim.checks.family = 6;
        sim.checks.bitsPixel = 32;
        sim.checks.styles.clear();
        sim.windows.windows.erase(sim.windows.windows.begin() + 1, sim.windows.windows.end());
        sim.windows.boxAnswers.clear();
        sim.registry.deleteValue(RegRoot::LocalMachine, kRunOnce, "ZOVRebootNeeded");
        sim.system.memoryBytes = 4096 * MB;
        sim.system.freeSpace["C:\\"] = 50ull << 30;
        session.silent = false;
        abort = false;
        retryRemovals = 0;
        row.arrange();
        EXPECT_EQ(check(), row.code);
        EXPECT_EQ(abort, row.abortFlag);
        EXPECT_EQ(retryRemovals, row.retryRemoved ? 1 : 0);
    }
}

} // namespace
