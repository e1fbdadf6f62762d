// The interactive path from the preparation through the engine and its result, and the
// checks as start-up runs them.
#include "common/client_db_writer.h"
#include "unit/checks_fixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace zov;
using namespace zov::sim;

namespace {

const std::string kEngine = "D:\\comp01.000";

// Each page takes its Enter answer; the pages shown are kept.
struct CountingPages : PageHost {
    std::vector<int> shown;
    DefaultAnswerPageHost answer;
    int showPage(WizardPage& page) override {
        shown.push_back(page.templateId());
        return answer.showPage(page);
    }
};

class RunSequenceTest : public InstallerFixture {
  protected:
    CountingPages pages;
    ScriptedDialogs dialogs;
    std::deque<std::string> results; // one per engine run; the last one repeats
    std::vector<bool> settingsAtStart;
    std::vector<bool> moduleAtStart; // the progress module, which the engine loads
    std::function<void(SimMachine&, WindowHandle frame)> whileCopying;

    void SetUp() override {
        InstallerFixture::SetUp();
        checkDialogs = &dialogs;
        pageHost = &pages;
        sim.traceWire.monitor = 0x777;
        sim.processes.registerProgram(
            kEngine, {[this](SimMachine& s, const std::string&) {
                std::string ini = s.tempFile("install.ini");
                settingsAtStart.push_back(!s.profile.readString(ini, "enter", "MAINDIR", "", 260).empty());
                moduleAtStart.push_back(s.files.fileExists(s.tempFile("progupd.dll")));
                if (whileCopying)
                    whileCopying(s, static_cast<WindowHandle>(std::stoll(
                                        s.profile.readString(ini, "enter", "FRAMEHWND", "0", 32))));
                std::string rc = results.empty() ? "0" : results.front();
                if (results.size() > 1)
                    results.pop_front();
                // The engine leaves a stripped file behind: the next run
                // must get a freshly written one.
                s.files.removeFile(ini);
                if (rc != "none")
                    s.profile.writeString(ini, "exit", "rc", rc);
                s.profile.writeString(ini, "DLLs", "progress.dll", s.tempFile("progupd.dll"));
            }});
    }

    int engineRuns() const { return static_cast<int>(engineCommandLines().size()); }
    std::vector<unsigned> events() {
        std::string sc = sim.profile.readString("C:\\IPH.PH", "inst01", "sc", "", 4096);
        std::vector<unsigned> out;
        std::stringstream items(sc);
        for (std::string item; std::getline(items, item, ',');)
            if (std::size_t colon = item.find(':'); colon != std::string::npos)
                out.push_back(static_cast<unsigned>(std::stoul(item.substr(colon + 1))));
        return out;
    }
    int eventCount(unsigned event) {
        auto e = events();
        return static_cast<int>(std::count(e.begin(), e.end(), event));
    }
    // A registered client the wizard offers for upgrade on its recent-version page.
    void registeredClient(const std::string& version) {
        const std::string folder = "C:\\ZOV" + version;
        sim.files.writeText(folder + "\\wzov.exe", "MZ");
        sim.files.writeBytes(folder + "\\idb\\main.idx",
                             tools::ClientDatabaseWriter().version(version).screenNames({"Bob"}).bytes());
        sim.registry.setString(RegRoot::LocalMachine, "Software\\Velquonet\\Velquonet\\CurrentVersion",
                               "Apppath", folder);
    }
    bool boxShown(unsigned id) {
        for (const auto& b : sim.windows.boxes)
            if (b.text == sim.strings.get(id))
                return true;
        return false;
    }
};

TEST_F(RunSequenceTest, EveryResultOnTheWizardPath) {
    struct Row {
        std::string rc;
        std::uint32_t exitCode;
        std::string trace;
        unsigned message;
        unsigned event;
        int summaries;
    };
    const Row rows[] = {
        {"0", 0, "gScript.Execute returned RESULT_SUCCESS", 0, 0, 0},
        {"1", 1151, "gScript.Execute returned RESULT_INCORRECTOS", 0, 0, 0},
        {"3", 1602, "gScript.Execute returned RESULT_CANCEL", 0, 134, 1},
        {"4", 1067, "gScript.Execute returned RESULT_NOMINBROWSER", 1375, 145, 0},
        {"5", 126, "gScript.Execute returned RESULT_MISSINGCOMPS", 1379, 147, 0},
        {"6", 1602, "gScript.Execute returned RESULT_CANCEL_NOGUI", 0, 0, 0},
        {"7", 33, "gScript.Execute returned RESULT_FILES_IN_USE", 0, 0, 0},
        {"8", 1314, "gScript.Execute returned RESULT_NOT_NT_ADMIN.", 1306, 119, 0},
        {"x", 1067, "gScript.Execute returned RESULT_ERROR", 0, 0, 0},
        {"none", 1067, "gScript.Execute returned RESULT_ERROR", 0, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.rc);
        results = {row.rc};
        sim.traceWire.lines.clear();
        sim.windows.boxes.clear();
        sim.files.removeFile("C:\\IPH.PH");
        dialogs.summaries = 0;
        EXPECT_EQ(run("-t"), row.exitCode);
        EXPECT_TRUE(traced(row.trace));
        EXPECT_EQ(app->abortFlag(), row.rc != "0");
        if (row.message != 0) {
            EXPECT_TRUE(boxShown(row.message));
        }
        if (row.event != 0) {
            EXPECT_EQ(eventCount(row.event), 1);
        }
        EXPECT_EQ(dialogs.summaries, row.summaries);
        EXPECT_EQ(eventCount(115), 1);
    }
}

TEST_F(RunSequenceTest, DiskSpaceErrorThenNextRunsTheEngineAgain) {
    results = {"2", "0"};
    sim.profile.writeString(sim.tempFile("install.ini"), "install sizes", "base", "1");
    std::vector<bool> busyHiddenByProgress;
    whileCopying = [&](SimMachine& s, WindowHandle frame) {
        const std::size_t before = s.windows.messagesOf(msg::HideBusy).size();
        s.windows.sendMessage(frame, msg::ShowProgress, 0, 0);
        busyHiddenByProgress.push_back(s.windows.messagesOf(msg::HideBusy).size() > before);
    };
    EXPECT_EQ(run("-t"), 0u);
    EXPECT_EQ(busyHiddenByProgress, (std::vector<bool>{true, true}))
        << "the progress replaces the busy display";
    EXPECT_EQ(engineRuns(), 2);
    EXPECT_EQ(dialogs.pages, 1);
    EXPECT_EQ(settingsAtStart, (std::vector<bool>{true, true})) << "install.ini written afresh for each run";
    EXPECT_EQ(moduleAtStart, (std::vector<bool>{true, true})) << "each run has its progress module";
    EXPECT_EQ(eventCount(115), 2) << "once per engine run";
    EXPECT_EQ(eventCount(106), 1);
    EXPECT_TRUE(traced("gScript.Execute returned RESULT_DISKSPACEERROR"));
    EXPECT_TRUE(traced("Required Space on System Drive (C:): 0K"));
    EXPECT_TRUE(traced("Available Space on Install Drive (C:): 48828125K"));
    EXPECT_FALSE(app->abortFlag());
    // The busy display went away for the page and came back for the second run.
    EXPECT_EQ(sim.windows.messagesOf(msg::HideBusy).size() >= 1, true);
    EXPECT_EQ(sim.windows.messagesOf(msg::ResetWizardBack).size(), 1u);
    int busy2 = 0;
    for (const auto& m : sim.windows.messagesOf(msg::ShowBusy))
        busy2 += m.lParam == 2 ? 1 : 0;
    EXPECT_EQ(busy2, 2);
}

TEST_F(RunSequenceTest, DiskSpacePageShowsTheFigures) {
    results = {"2", "0"};
    EXPECT_EQ(run("-t"), 0u);
    ASSERT_EQ(dialogs.pageFigures.size(), 1u);
    EXPECT_EQ(dialogs.pageFigures[0].installDrive, 'C');
    EXPECT_EQ(dialogs.pageFigures[0].systemDrive, 'C');
    EXPECT_EQ(dialogs.pageFigures[0].availableSystem, 48828125u);
}

TEST_F(RunSequenceTest, DiskSpaceErrorBackGoesThroughThePreparationAgain) {
    results = {"2", "0"};
    dialogs.pageAnswers = {CheckDialogs::kPageBack};
    EXPECT_EQ(run("-t"), 0u);
    EXPECT_EQ(pages.shown, (std::vector<int>{129, 129})) << "a new member goes back to the welcome page";
    EXPECT_EQ(engineRuns(), 2);
    EXPECT_EQ(moduleAtStart, (std::vector<bool>{true, true}));
    EXPECT_EQ(eventCount(115), 2);
    EXPECT_EQ(eventCount(114), 0);
}

TEST_F(RunSequenceTest, DiskSpaceErrorExitAfterTheConfirmation) {
    results = {"2"};
    dialogs.pageAnswers = {CheckDialogs::kPageCancel, CheckDialogs::kPageCancel};
    dialogs.resumeAnswers = {true, false};
    EXPECT_EQ(run("-t"), 112u);
    EXPECT_EQ(engineRuns(), 1);
    EXPECT_EQ(dialogs.pages, 2) << "Resume shows the page again";
    EXPECT_EQ(dialogs.summaries, 1);
    EXPECT_TRUE(app->abortFlag());
}

TEST_F(RunSequenceTest, ExitOnTheCheckpointDiskSpacePageShowsOneSummary) {
    dialogs.pageAnswers = {CheckDialogs::kPageCancel};
    dialogs.resumeAnswers = {false};
    whileCopying = [this](SimMachine& s, WindowHandle frame) {
        // The engine stops when the frame answers with its own handle, and says so.
        if (s.windows.sendMessage(frame, msg::DiskSpaceFail, 0, 0) == static_cast<std::intptr_t>(frame))
            results = {"3"};
    };
    EXPECT_EQ(run("-t"), 1602u);
    EXPECT_EQ(dialogs.summaries, 1);
    EXPECT_EQ(eventCount(134), 1);
}

TEST_F(RunSequenceTest, DiskSpaceErrorInAnUnattendedRunShowsNoPage) {
    results = {"2"};
    EXPECT_EQ(run("/s"), 112u);
    EXPECT_EQ(dialogs.pages, 0);
    EXPECT_EQ(engineRuns(), 1);
}

TEST_F(RunSequenceTest, ARunningClientProcessIsEndedBeforeTheEngine) {
    sim.registry.setString(RegRoot::LocalMachine, "Software\\Velquonet\\Velquonet\\CurrentVersion", "Apppath",
                           "C:\\Program Files\\ZOV 9.0");
    sim.kernel.mutexes["Global\\_ZOV_AppMutex"] = 1;
    sim.checks.addProcess("C:\\Program Files\\ZOV 9.0\\wzov.exe");
    EXPECT_EQ(run("-u -t"), 0u);
    ASSERT_EQ(sim.processes.terminations.size(), 1u);
    EXPECT_EQ(sim.processes.terminations[0].second, 0u);
    EXPECT_EQ(engineRuns(), 1);
}

TEST_F(RunSequenceTest, AClientThatCannotBeEndedAsksForARestart) {
    sim.registry.setString(RegRoot::LocalMachine, "Software\\Velquonet\\Velquonet\\CurrentVersion", "Apppath",
                           "C:\\Program Files\\ZOV 9.0");
    sim.kernel.mutexes["Global\\_ZOV_AppMutex"] = 1;
    sim.checks.addProcess("C:\\Program Files\\ZOV 9.0\\wzov.exe");
    sim.processes.terminateFails = true;
    sim.windows.boxAnswers = {BoxAnswer::Ok};
    EXPECT_EQ(run("-u -t"), 1051u);
    EXPECT_EQ(sim.power.restartCalls, 1);
    EXPECT_TRUE(boxShown(1392));
    EXPECT_EQ(eventCount(151), 1);
    EXPECT_EQ(engineRuns(), 0);
    EXPECT_EQ(sim.processes.openHandles(), 0) << "the client's handle is closed";

    sim.windows.boxAnswers = {BoxAnswer::Cancel};
    sim.files.removeFile("C:\\IPH.PH");
    EXPECT_EQ(run("-u -t"), 1051u);
    EXPECT_EQ(sim.power.restartCalls, 1) << "Cancel ends without a restart";
}

TEST_F(RunSequenceTest, UpgradeComponentCheckIsOffWithoutItsMessage) {
    registeredClient("7.0");
    sim.registry.setDword(RegRoot::LocalMachine, "Software\\Velquonet\\Velquonet\\COMIT\\308", "installed",
                          1);
    EXPECT_EQ(run("-e -t"), 0u);
    EXPECT_TRUE(sim.windows.boxes.empty());
}

TEST_F(RunSequenceTest, UpgradeComponentCheckWhenSwitchedOn) {
    registeredClient("7.0");
    sim.strings.set(1358, "A component is missing.");
    const std::string root = "Software\\Velquonet\\Velquonet\\COMIT";
    sim.registry.setDword(RegRoot::LocalMachine, root + "\\9", "installed", 1);
    sim.registry.setDword(RegRoot::LocalMachine, root + "\\412", "installed", 1);
    sim.registry.setDword(RegRoot::LocalMachine, root + "\\500", "installed", 0);
    EXPECT_EQ(run("-e -t"), 0u);
    EXPECT_EQ(pages.shown, (std::vector<int>{138, 232, 139})) << "member, recent version, directory";
    EXPECT_EQ(eventCount(143), 1) << "only 412 needs its setup.exe";
    EXPECT_TRUE(boxShown(1358));
    sim.files.writeText("D:\\COMIT\\412\\setup.exe", "MZ");
    sim.windows.boxes.clear();
    sim.files.removeFile("C:\\IPH.PH");
    EXPECT_EQ(run("-e -t"), 0u);
    EXPECT_FALSE(boxShown(1358));
    // 308 asks on an old client; Yes ends the run.
    sim.registry.setDword(RegRoot::LocalMachine, root + "\\308", "installed", 1);
    sim.windows.boxAnswers = {BoxAnswer::Yes};
    sim.files.removeFile("C:\\IPH.PH");
    EXPECT_EQ(run("-e -t"), 1602u);
    EXPECT_EQ(eventCount(150), 1);
    EXPECT_TRUE(app->abortFlag());
}

TEST_F(RunSequenceTest, RefusedChecksEndTheRunBeforeAnySettingsFile) {
    sim.system.memoryBytes = 8u << 20;
    EXPECT_EQ(run("/s"), 8u);
    EXPECT_EQ(engineRuns(), 0);
    EXPECT_FALSE(sim.files.fileExists(sim.tempFile("install.ini")));
    EXPECT_TRUE(sim.kernel.createdMutexes.empty());
}

TEST_F(RunSequenceTest, InstallerMutexAndPipeServerExistAfterTheChecks) {
    bool mutexDuringEngine = false;
    sim.processes.registerProgram(kEngine, {[&](SimMachine& s, const std::string&) {
                                      mutexDuringEngine = s.kernel.mutexes.count("Global\\ZOVInst") == 1;
                                      s.profile.writeString(s.tempFile("install.ini"), "exit", "rc", "0");
                                  }});
    EXPECT_EQ(run("/s"), 0u);
    EXPECT_TRUE(mutexDuringEngine);
    EXPECT_EQ(sim.checks.serverStarts, std::vector<std::string>{"\\\\.\\Pipe\\ZOVINST"});
}

TEST_F(RunSequenceTest, ClosingTheFrameUsesTheSameConfirmation) {
    app = std::make_unique<InstallerApp>(machine, frame);
    app->setDialogs(dialogs);
    dialogs.resumeAnswers = {true};
    app->frameLogic().onClose();
    EXPECT_EQ(dialogs.resumes, 1);
    EXPECT_FALSE(app->abortFlag());
    dialogs.resumeAnswers = {false};
    try {
        app->frameLogic().onClose();
        ADD_FAILURE() << "Exit must end the run";
    } catch (const Exited& e) {
        EXPECT_EQ(e.code, 1602u);
    }
    EXPECT_EQ(dialogs.summaries, 1);
}

} // namespace
