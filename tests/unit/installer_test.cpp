// Whole runs of the installer against the simulated machine.
#include "protocol/contract.h"
#include "unit/run_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

using namespace zov;
using zov::sim::SimMachine;

namespace {

const std::string kEngine = "D:\\comp01.000";

class InstallerRun : public sim::InstallerFixture {
  protected:
    std::string engineResult = "0";
    bool engineWritesRc = true;
    bool closeDuringEngine = false; // the user closes the frame while the engine runs
    std::string engineRestart;

    void SetUp() override {
        InstallerFixture::SetUp();
        sim.processes.registerProgram(
            kEngine, {[this](SimMachine& s, const std::string&) {
                          std::string ini = s.tempFile("install.ini");
                          if (closeDuringEngine)
                              app->frameLogic().onClose();
                          if (engineWritesRc)
                              s.profile.writeString(ini, "exit", "rc", engineResult);
                          if (!engineRestart.empty())
                              s.profile.writeString(ini, "exit", "RESTART", engineRestart);
                          s.profile.writeString(ini, "DLLs", "progress.dll", s.tempFile("progupd.dll"));
                      },
                      0, 2});
    }
};

TEST_F(InstallerRun, SilentRunInstallsAndCleansUp) {
    EXPECT_EQ(run("/s"), 0u);
    ASSERT_EQ(engineCommandLines().size(), 1u);
    EXPECT_EQ(engineCommandLines()[0], "\"D:\\comp01.000\"");
    EXPECT_FALSE(sim.files.fileExists(sim.tempFile("install.ini")));
    EXPECT_FALSE(sim.files.fileExists(sim.tempFile("progupd.dll")));
    EXPECT_FALSE(frame.visible);
    EXPECT_EQ(history("pe"), "0");
    EXPECT_EQ(history("ed"), "1");
    EXPECT_EQ(sim.power.restartCalls, 0);
    // A silent run never launches the client.
    EXPECT_EQ(sim.processes.starts.size(), 1u);
}

TEST_F(InstallerRun, EveryEngineResultMapsToItsExitCode) {
    const std::pair<std::string, std::uint32_t> table[] = {
        {"0", 0},    {"1", 1151}, {"2", 112},  {"3", 1602}, {"4", 1067}, {"5", 126},
        {"6", 1602}, {"7", 33},   {"8", 1314}, {"x", 1067}, {"7x", 33},
    };
    for (const auto& [rc, code] : table) {
        SCOPED_TRACE(rc);
        engineResult = rc;
        EXPECT_EQ(run("/s"), code);
        EXPECT_EQ(history("ed"), rc == "0" ? "1" : "0") << "only success is recorded as success";
        sim.files.removeFile("C:\\IPH.PH");
    }
}

TEST_F(InstallerRun, EngineWithoutRcEndsWith1067EvenWhenAnOldRcWasLeftBehind) {
    sim.profile.writeString(sim.tempFile("install.ini"), "exit", "rc", "0");
    engineWritesRc = false;
    EXPECT_EQ(run("/s"), 1067u);
}

TEST_F(InstallerRun, EngineArgumentsFromTheSwitches) {
    const std::pair<std::string, std::string> table[] = {
        {"/s /x foo", "\"D:\\comp01.000\" /xfoo"},
        {"-j", "\"D:\\comp01.000\" -j"},
        {"-z", "\"D:\\comp01.000\" -z"},
        {"-j -z", "\"D:\\comp01.000\" -z"},
        {"-? C:\\copy.ini", "\"D:\\comp01.000\" -?"},
    };
    for (const auto& [line, expected] : table) {
        SCOPED_TRACE(line);
        sim.processes.starts.clear();
        EXPECT_EQ(run(line), 0u);
        ASSERT_EQ(engineCommandLines().size(), 1u);
        EXPECT_EQ(engineCommandLines()[0], expected);
    }
}

TEST_F(InstallerRun, CloseWhileTheEngineRunsOnlyAsksItToStopOnEveryPath) {
    closeDuringEngine = true;
    for (const char* line : {"/x foo", "-j", ""}) {
        SCOPED_TRACE(line);
        EXPECT_EQ(run(line), 0u) << "the run must not end under the running engine";
        EXPECT_TRUE(app->frameLogic().cancelRequested());
        sim.files.removeFile("C:\\IPH.PH");
    }
}

TEST_F(InstallerRun, FrameShownForSlashXAndDashJButHiddenForSilentAndSettingsCopy) {
    run("/s /x foo");
    EXPECT_TRUE(frame.visible);
    run("-z -j");
    EXPECT_TRUE(frame.visible);
    EXPECT_TRUE(app->session().silent);
    run("-? C:\\copy.ini");
    EXPECT_FALSE(frame.visible);
}

TEST_F(InstallerRun, SettingsCopyIsMadeAndPostInstallSkipped) {
    sim.files.writeText("C:\\Users\\user\\Desktop\\Retry ZOV 9.0 VR.lnk", "stale");
    EXPECT_EQ(run("-? C:\\copy.ini"), 0u);
    std::string copy = sim.readText("C:\\copy.ini");
    EXPECT_NE(copy.find("[enter]"), std::string::npos);
    EXPECT_NE(copy.find("rc=0"), std::string::npos);
    EXPECT_TRUE(sim.files.fileExists("C:\\Users\\user\\Desktop\\Retry ZOV 9.0 VR.lnk"));
}

TEST_F(InstallerRun, RetryShortcutIsCreatedAndRemovedAfterSuccess) {
    sim.windows.onPump = [](SimMachine& s) {
        // While the engine runs the shortcut must already be on the desktop.
        if (s.processes.starts.size() == 1) {
            EXPECT_TRUE(s.files.fileExists("C:\\Users\\user\\Desktop\\Retry ZOV 9.0 VR.lnk"));
        }
    };
    EXPECT_EQ(run("/s"), 0u);
    EXPECT_FALSE(sim.files.fileExists("C:\\Users\\user\\Desktop\\Retry ZOV 9.0 VR.lnk"));
}

TEST_F(InstallerRun, RetryShortcutStaysAfterAFailure) {
    engineResult = "3";
    EXPECT_EQ(run("/s"), 1602u);
    EXPECT_TRUE(sim.files.fileExists("C:\\Users\\user\\Desktop\\Retry ZOV 9.0 VR.lnk"));
}

TEST_F(InstallerRun, NotAdminRemovesTheRetryShortcutInAnUnattendedRun) {
    engineResult = "8";
    EXPECT_EQ(run("/s"), 1314u);
    EXPECT_FALSE(sim.files.fileExists("C:\\Users\\user\\Desktop\\Retry ZOV 9.0 VR.lnk"));
    EXPECT_TRUE(sim.windows.boxes.empty());
}

TEST_F(InstallerRun, MissingEngineEndsWithTwo) {
    sim.processes.programs.clear();
    EXPECT_EQ(run("/s"), 2u);
}

TEST_F(InstallerRun, MissingProgressComponentEndsWith1612) {
    sim.resources.data.clear();
    EXPECT_EQ(run("/s"), 1612u);
    EXPECT_TRUE(engineCommandLines().empty());
}

TEST_F(InstallerRun, UnwritableTemporaryFolderEndsWith29) {
    sim.files.readOnlyPrefixes.push_back(sim.system.temp);
    EXPECT_EQ(run("/s"), 29u);
    EXPECT_TRUE(engineCommandLines().empty());
}

TEST_F(InstallerRun, RestartRequestInASilentRunGivesZeroAndNoRestart) {
    engineRestart = "Y";
    EXPECT_EQ(run("/s"), 0u);
    EXPECT_EQ(sim.power.restartCalls, 0);
}

TEST_F(InstallerRun, InteractiveSuccessLaunchesTheClientMaximisedByItsQuotedPath) {
    // Plain, then on NT 6.0 as the standard user: a bare path with blanks would first run a
    // planted "C:\\Program.exe".
    for (bool vista : {false, true}) {
        SCOPED_TRACE(vista ? "NT 6.0" : "NT 6.1");
        sim.processes.starts.clear();
        sim.system.os = vista ? OsVersion{6, 0, 6002, 2, ""} : OsVersion{6, 1, 7601, 2, ""};
        sim.services.startError = 1056; // the companion service is running
        EXPECT_EQ(run(""), 0u);
        ASSERT_EQ(sim.processes.starts.size(), 2u);
        EXPECT_EQ(sim.processes.starts[1].program, "C:\\Program Files\\ZOV 9.0\\DAD.exe");
        EXPECT_EQ(sim.processes.starts[1].commandLine, "\"C:\\Program Files\\ZOV 9.0\\DAD.exe\"");
        EXPECT_EQ(sim.processes.starts[1].asStandardUser, vista);
        EXPECT_TRUE(sim.processes.starts[1].showMaximized);
        EXPECT_TRUE(frame.visible);
    }
    // Without the companion service nothing is started, and the trace says why.
    sim.services.serviceOpens = false;
    sim.traceWire.monitor = 0x777;
    EXPECT_EQ(run(""), 0u);
    EXPECT_EQ(sim.processes.starts.size(), 3u);
    EXPECT_TRUE(traced("Last Error: 1060-"));
}

TEST_F(InstallerRun, InteractiveRestartRequestRestartsWithoutLaunch) {
    engineRestart = "Y";
    EXPECT_EQ(run(""), 3010u);
    EXPECT_EQ(sim.power.restartCalls, 1);
    EXPECT_EQ(sim.power.privilegeCalls, 1);
    EXPECT_EQ(sim.processes.starts.size(), 1u);
    ASSERT_FALSE(sim.windows.boxes.empty());
    EXPECT_EQ(sim.windows.boxes.back().text, "Windows must be restarted to complete the installation.");
    EXPECT_EQ(history("pe"), "3010");
}

TEST_F(InstallerRun, ClosingTheFrameUnderTheRestartNoticeStillEndsTheHistory) {
    engineRestart = "Y";
    sim.windows.onBox = [this](const std::string& text) {
        if (text != "Windows must be restarted to complete the installation.")
            return;
        sim.windows.onBox = nullptr;
        sim.windows.boxAnswers = {BoxAnswer::No}; // Exit Setup, asked over the notice
        app->frameLogic().onClose();
    };
    EXPECT_EQ(run(""), 1602u);
    EXPECT_EQ(history("ed"), "0");
    EXPECT_NE(history("ut2"), "<absent>");
}

TEST_F(InstallerRun, LowerCaseRestartValueDoesNotRestart) {
    engineRestart = "yes";
    EXPECT_EQ(run(""), 0u);
    EXPECT_EQ(sim.power.restartCalls, 0);
}

TEST_F(InstallerRun, DashTSkipsTheLaunch) {
    sim.traceWire.monitor = 0x99;
    EXPECT_EQ(run("-t"), 0u);
    EXPECT_EQ(sim.processes.starts.size(), 1u);
    auto lines = traceLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "client launch will be skipped"), lines.end());
}

TEST_F(InstallerRun, InteractiveFailureShowsItsMessageAndRecordsItsEvent) {
    engineResult = "5";
    EXPECT_EQ(run(""), 126u);
    ASSERT_EQ(sim.windows.boxes.size(), 1u);
    EXPECT_EQ(sim.windows.boxes[0].kind, BoxKind::Notice);
    EXPECT_NE(history("sc").find(":147"), std::string::npos);
    EXPECT_EQ(sim.processes.starts.size(), 1u);
}

TEST_F(InstallerRun, FrameThatCannotBeCreatedEndsWith14WithoutABoxInASilentRun) {
    frame.createFails = true;
    for (const char* silent : {"/s", "-j", "/x foo", "-? C:\\copy.ini"}) {
        sim.windows.boxes.clear();
        EXPECT_EQ(run(silent), 14u) << silent;
        EXPECT_TRUE(sim.windows.boxes.empty()) << silent;
    }
    sim.windows.boxes.clear();
    EXPECT_EQ(run(""), 14u);
    ASSERT_EQ(sim.windows.boxes.size(), 1u);
    EXPECT_EQ(sim.windows.boxes[0].text, "Out of Memory");
}

TEST_F(InstallerRun, TraceFollowsTheStartUpStagesInOrder) {
    sim.traceWire.monitor = 0x99;
    EXPECT_EQ(run("/s"), 0u);
    const std::vector<std::string> expected = {"Tracer Sender Window Created",
                                               "",
                                               "Tracing Started",
                                               "Creating main frame window...",
                                               "FrameWindow Created",
                                               "Initializing installer...",
                                               "installer inited",
                                               "Creating retry icon...",
                                               "ok",
                                               "Running system checks:",
                                               "System checks complete",
                                               "CScript:Execute() - CreateProcess() creating script process",
                                               "Running post-installation...",
                                               "Exiting...",
                                               "Outputting final log data ...",
                                               "Cleaning up...",
                                               "Exiting, 0"};
    auto lines = traceLines();
    auto it = lines.begin();
    for (const auto& want : expected) {
        it = std::find(it, lines.end(), want);
        ASSERT_NE(it, lines.end()) << "missing or out of order: '" << want << "'";
    }
    EXPECT_EQ(sim.traceWire.lines.front().sender, 0) << "the first line goes out before the sender is known";
}

TEST_F(InstallerRun, ViewerThatStopsAnsweringDoesNotStopTheRun) {
    sim.traceWire.monitor = 0x99;
    sim.traceWire.answerLines = 5;
    EXPECT_EQ(run("/s"), 0u);
    EXPECT_EQ(sim.traceWire.lines.size(), 5u);
}

class CoordinatedRun : public InstallerRun {
  protected:
    // A coordinating process moves the frame to phase 2 at once, then answers go or cancel.
    void coordinate(std::uintptr_t answer) {
        sim.windows.onPump = [this, answer](SimMachine& s) {
            WindowHandle frameWindow = frame.handleValue;
            if (app->session().installPhase != 2)
                s.windows.sendMessage(frameWindow, msg::SetInstallPhase, 0, 2);
            else if (s.processes.starts.empty() && !app->frameLogic().coordinationAnswered())
                s.windows.sendMessage(frameWindow, msg::EngineDone, answer, 0);
        };
    }
};

TEST_F(CoordinatedRun, GoRunsTheEngineWithPhaseTwoArgument) {
    // The phase arrives at the first pump after the frame exists, before the defaults.
    coordinate(0);
    closeDuringEngine = true; // only asks the engine to stop
    EXPECT_EQ(run("/s"), 0u);
    ASSERT_EQ(engineCommandLines().size(), 1u);
    EXPECT_EQ(engineCommandLines()[0], "\"D:\\comp01.000\" -y2");
    EXPECT_EQ(sim.kernel.events.count("_ZOV_TPI_CI_READY"), 1u);
    EXPECT_EQ(sim.windows.messagesOf(msg::InitProgress).size(), 1u);
    EXPECT_EQ(sim.profile.readString("C:\\IPH.PH", "general00", "p", "", 8), "2");
}

TEST_F(CoordinatedRun, CancelEndsWith1602WithoutTheEngine) {
    coordinate(1);
    EXPECT_EQ(run("/s"), 1602u);
    EXPECT_TRUE(engineCommandLines().empty());
}

TEST_F(CoordinatedRun, TheWaitForTheAnswerSleepsUntilItComes) {
    sim.windows.onPump = [this](SimMachine& s) {
        if (app->session().installPhase != 2) {
            s.windows.sendMessage(frame.handleValue, msg::SetInstallPhase, 0, 2);
            s.windows.sendFromOtherProcess(5000, frame.handleValue, msg::EngineDone, 0, 0);
        }
    };
    EXPECT_EQ(run("/s"), 0u);
    ASSERT_EQ(sim.windows.incoming.size(), 1u);
    EXPECT_TRUE(sim.windows.incoming[0].answered);
    EXPECT_EQ(engineCommandLines().size(), 1u);
}

} // namespace

// The frame's movie, decided once the frame window exists.
class MovieRun : public InstallerRun {
  protected:
    void SetUp() override {
        InstallerRun::SetUp();
        sim.traceWire.monitor = 0x99;
        std::string ini = "[settings]\r\nuse_flash_progress=1\r\n";
        for (const char* section :
             {"start", "initializing", "searching", "newmember", "upgrade", "ending", "bband", "bband2"}) {
            ini += std::string("[") + section + "]\r\nAction=1\r\nFile=" + section + ".zmv\r\n";
            sim.files.writeText(std::string("D:\\media\\") + section + ".zmv", "zmovie 1\r\n");
        }
        sim.files.writeText("D:\\media\\media.ini", ini);
        sim.companions.registerClassKey("CLSID\\{D27CDB6E-AE6D-11CF-96B8-444553540000}\\InProcServer32",
                                        "C:\\player.ocx");
        frame.movieVersion = 0x000A0002;
    }
    bool tracedFlash() const {
        for (const std::string& line : traceLines())
            if (line.rfind("Flash initialized", 0) == 0 || line == "Flash Unavailable")
                return true;
        return false;
    }
};

TEST_F(MovieRun, AValidatedMediaFolderAndARegisteredControlMakeTheMovie) {
    sim.companions.registerClassKey("CLSID\\{C1145550-A454-11D4-9020-00D0B7239081}\\InProcServer32",
                                    "C:\\own.ocx");
    EXPECT_EQ(run("/s"), 0u);
    ASSERT_EQ(frame.movieClasses, std::vector<std::string>{"{C1145550-A454-11D4-9020-00D0B7239081}"})
        << "the client's own control comes first";
    EXPECT_TRUE(frame.movieMedia.useFlashProgress);
    EXPECT_EQ(frame.movieMedia.folder, "D:\\media\\");
    EXPECT_TRUE(traced("Flash initialized, Version 10.2"));
    ASSERT_FALSE(frame.movieSections.empty());
    EXPECT_EQ(frame.movieSections.front(), "start");
}

TEST_F(MovieRun, WithoutAMovieTheBitmapStays) {
    frame.movieVersion = 0x00050000; // older than 6: no control kept
    EXPECT_EQ(run("/s"), 0u);
    EXPECT_EQ(frame.movieClasses, std::vector<std::string>{"{D27CDB6E-AE6D-11CF-96B8-444553540000}"});
    EXPECT_TRUE(traced("Flash Unavailable"));
    EXPECT_FALSE(frame.flash);

    sim.companions.classKeys.clear(); // no control registered
    sim.traceWire.lines.clear();
    EXPECT_EQ(run("/s"), 0u);
    EXPECT_TRUE(traced("Flash Unavailable"));

    // "-f", little memory, a section without its file and an old system never reach the
    // control, and trace nothing about it.
    auto untried = [this](const std::string& line) {
        sim.traceWire.lines.clear();
        frame.movieClasses.clear();
        run(line);
        EXPECT_TRUE(frame.movieClasses.empty()) << line;
        EXPECT_FALSE(tracedFlash()) << line;
    };
    sim.companions.registerClassKey("CLSID\\{D27CDB6E-AE6D-11CF-96B8-444553540000}\\InProcServer32",
                                    "C:\\player.ocx");
    frame.movieVersion = 0x000A0000;
    untried("/s -f");
    sim.system.memoryBytes = 108ull << 20; // 108 MB + 1 is below 110
    untried("/s");
    sim.system.memoryBytes = 4ull << 30;
    sim.files.removeFile("D:\\media\\ending.zmv");
    untried("/s");
}
