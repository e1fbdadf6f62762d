// The four signs of a running client, the session questions, the pipe protocol and the
// shutdown handshake.
#include "checks/running_clients.h"
#include "unit/checks_fixture.h"

#include <gtest/gtest.h>

using namespace zov;
using namespace zov::sim;

namespace {

class RunningClientsTest : public ChecksFixture {
  protected:
    RunningClients clients() { return RunningClients(run, session.frame); }
};

TEST_F(RunningClientsTest, ClientWindowTestListsEveryClientKindButTheMainWindow) {
    std::string titles;
    EXPECT_FALSE(clients().clientWindows(&titles)) << "the main window is this setup's own";
    sim.windows.addWindow("ZOV Frame", "ZOV - Mail");
    sim.windows.addWindow("zov frame25", "ZOV 2.5");
    sim.windows.addWindow("ZOVInstallerClass", "Install ZOV 8.0");
    sim.windows.addWindow("GLBSInstall", "Uninstall ZOV");
    sim.windows.addWindow("GLBSInstall", "Something else");
    sim.windows.addWindow("Notepad", "Uninstall ZOV");
    EXPECT_TRUE(clients().clientWindows(&titles));
    EXPECT_EQ(titles, "ZOV - Mail\nZOV 2.5\nInstall ZOV 8.0\nUninstall ZOV\n");
}

TEST_F(RunningClientsTest, AnotherSetupIsBroughtForward) {
    EXPECT_FALSE(clients().anotherSetup());
    WindowHandle other = sim.windows.addWindow("ZOVInstallerClass", "Install ZOV 9.0 VR");
    sim.windows.addWindow("ZOVInstallerClass", "Install ZOV 8.0");
    EXPECT_TRUE(clients().anotherSetup());
    EXPECT_EQ(sim.checks.foregrounded, std::vector<WindowHandle>{other});
}

TEST_F(RunningClientsTest, OpenApplicationsListsTenTitlesThenMore) {
    for (int i = 1; i <= 12; ++i)
        sim.checks.styles[sim.windows.addWindow("App", "Window " + std::to_string(i))] = kAppWindowStyle;
    std::string list;
    EXPECT_TRUE(clients().openApplications(list));
    std::string expected;
    for (int i = 1; i <= 10; ++i)
        expected += "Window " + std::to_string(i) + "\n";
    expected += "(more)\n";
    EXPECT_EQ(list, expected);
}

TEST_F(RunningClientsTest, OpenApplicationsSkipsShellWindowsOwnWindowsAndToolWindows) {
    sim.checks.styles[session.frame] = kAppWindowStyle;
    for (const char* shellClass :
         {"Progman", "WFS_Frame", "CabinetWClass", "ExploreWClass", "ZOVLauncherMain"})
        sim.checks.styles[sim.windows.addWindow(shellClass, shellClass)] = kAppWindowStyle;
    WindowHandle owned = sim.windows.addWindow("Owned", "Owned by the frame");
    sim.checks.styles[owned] = kAppWindowStyle;
    sim.checks.parents[owned] = session.frame;
    sim.checks.styles[sim.windows.addWindow("Tool", "No minimise box")] =
        kAppWindowStyle & ~kStyleMinimizeBox;
    sim.checks.styles[sim.windows.addWindow("Hidden", "Hidden")] = kAppWindowStyle & ~kStyleVisible;
    std::string list;
    EXPECT_FALSE(clients().openApplications(list));
    EXPECT_EQ(list, "");
}

TEST_F(RunningClientsTest, MutexPresenceAndTheOpenableRule) {
    bool openable = true;
    EXPECT_FALSE(clients().mutexPresent("Global\\_ZOV_AppMutex", openable));
    EXPECT_FALSE(openable);
    sim.kernel.mutexes["Global\\_ZOV_AppMutex"] = 1;
    EXPECT_TRUE(clients().mutexPresent("Global\\_ZOV_AppMutex", openable));
    EXPECT_TRUE(openable);
    // Held in another session: present, but not openable, on XP or later only.
    sim.checks.deniedMutexes.insert("Global\\_ZOVT_AppMutex");
    EXPECT_TRUE(clients().mutexPresent("Global\\_ZOVT_AppMutex", openable));
    EXPECT_FALSE(openable);
    setWindows("2000");
    openable = true;
    EXPECT_FALSE(clients().mutexPresent("Global\\_ZOVT_AppMutex", openable));
    EXPECT_FALSE(openable);
}

TEST_F(RunningClientsTest, AnyClientUsesTheGlobalPrefixFromXpOn) {
    sim.kernel.mutexes["Global\\_Qtm_AppMutex"] = 1;
    EXPECT_TRUE(clients().anyClientPresent());
    setWindows("2000");
    EXPECT_FALSE(clients().anyClientPresent());
    sim.kernel.mutexes["_ZOVT_AppMutex"] = 1;
    EXPECT_TRUE(clients().anyClientPresent());
}

TEST_F(RunningClientsTest, ClientProcessMustBeTheOneInTheClientFolder) {
    sim.registry.setString(RegRoot::LocalMachine, "Software\\Velquonet\\ZOV\\CurrentVersion", "Apppath",
                           "C:\\Program Files\\ZOV 9.0");
    sim.checks.addProcess("C:\\Elsewhere\\wzov.exe");
    EXPECT_FALSE(clients().findClientProcess("wzov.exe")) << "right name, other folder";
    std::uint32_t pid = sim.checks.addProcess("C:\\Program Files\\ZOV 9.0\\WZOV.EXE");
    ProcessHandle found = clients().findClientProcess("wzov.exe");
    EXPECT_TRUE(found) << "opened with an access mask Windows 2000 and XP accept";
    EXPECT_EQ(sim.checks.openedPids, std::vector<std::uint32_t>{pid});
    sim.checks.toolhelp = false;
    EXPECT_FALSE(clients().findClientProcess("wzov.exe"));
}

TEST_F(RunningClientsTest, ClientProcessReadsOnlyTheFirstClientKeyThatOpens) {
    sim.registry.setString(RegRoot::LocalMachine, "Software\\ZOV\\ZOV\\CurrentVersion", "Apppath", "C:\\Old");
    sim.registry.setString(RegRoot::LocalMachine, "Software\\Velquonet\\Velquonet\\CurrentVersion", "Other",
                           "x");
    sim.checks.addProcess("C:\\Old\\wzov.exe");
    EXPECT_FALSE(clients().findClientProcess("wzov.exe"));
}

TEST_F(RunningClientsTest, SessionTestWithTheClientMutexListsOtherSessionsUsers) {
    std::string user, app;
    EXPECT_FALSE(clients().sessionTest(user, app));
    sim.checks.deniedMutexes.insert("Global\\_ZOV_AppMutex");
    sim.checks.consoleSession = 1;
    sim.checks.processList_.push_back({9001, "C:\\Z\\wzov.exe", {}, 2, true, std::string("alice")});
    sim.checks.processList_.push_back({9002, "C:\\Z\\wzov.exe", {}, 3, false, std::nullopt});
    sim.checks.processList_.push_back({9003, "C:\\Z\\wzov.exe", {}, 1, true, std::string("me")});
    sim.checks.processList_.push_back({9004, "C:\\Z\\WZOV.exe", {}, 4, true, std::string("case")});
    sim.checks.sessionUsers[3] = "bob";
    EXPECT_TRUE(clients().sessionTest(user, app));
    EXPECT_EQ(user, "alice, bob");
    EXPECT_EQ(app, "ZOV");
    EXPECT_TRUE(traced("Getting ZOV users"));
    // Without the session functions the test still answers, with the fallback user.
    sim.checks.sessionsAvailable = false;
    EXPECT_TRUE(clients().sessionTest(user, app));
    EXPECT_EQ(user, "Unknown");
}

TEST_F(RunningClientsTest, SessionTestAsksTheVariantsPipeWithFallbacks) {
    std::string user, app;
    sim.checks.deniedMutexes.insert("Global\\_ZOVT_AppMutex");
    EXPECT_TRUE(clients().sessionTest(user, app));
    EXPECT_EQ(user, "Unknown");
    EXPECT_EQ(app, "ZOV");
    sim.checks.pipeServers["\\\\.\\Pipe\\ZOV"] = [](const std::string& request) -> std::string {
        if (request[0] == 0)
            return std::string("carol\0", 6);
        return "";
    };
    EXPECT_TRUE(clients().sessionTest(user, app));
    EXPECT_EQ(user, "carol");
    EXPECT_EQ(app, "ZOV") << "an empty answer is a failed question";
    ASSERT_FALSE(sim.checks.pipeRequests.empty());
    EXPECT_EQ(sim.checks.pipeRequests.back(), "\\\\.\\Pipe\\ZOV|" + std::string("\3\0\0\0\0\0\0\0", 8));

    sim.checks.deniedMutexes.clear();
    sim.checks.deniedMutexes.insert("Global\\_Qtm_AppMutex");
    EXPECT_TRUE(clients().sessionTest(user, app));
    EXPECT_EQ(app, "Quillstone");
    // An openable variant mutex is in this session: found, no questions asked.
    sim.checks.deniedMutexes.clear();
    sim.kernel.mutexes["Global\\_ZOVT_AppMutex"] = 1;
    std::size_t asked = sim.checks.pipeRequests.size();
    EXPECT_TRUE(clients().sessionTest(user, app));
    EXPECT_EQ(sim.checks.pipeRequests.size(), asked);
}

TEST_F(RunningClientsTest, SessionTestAsksAnotherSetupOrUninstaller) {
    std::string user, app;
    sim.checks.deniedMutexes.insert("Global\\ZOVUninst");
    EXPECT_TRUE(clients().sessionTest(user, app));
    EXPECT_EQ(user, "Unknown");
    EXPECT_EQ(app, "Unknown");
    // Another setup's own server answers.
    sim.checks.deniedMutexes = {"Global\\ZOVInst"};
    RunContext& r = run;
    RunningClients(r, 0).startPipeServer("\\\\.\\Pipe\\ZOVINST");
    EXPECT_TRUE(clients().sessionTest(user, app));
    EXPECT_EQ(user, "Pat Example");
    EXPECT_EQ(app, "Install ZOV 9.0 VR");
}

TEST_F(RunningClientsTest, PipeServerRepliesByTheFirstByte) {
    auto user = [] { return std::string("Pat Example"); };
    std::string title = "Install ZOV 9.0 VR";
    std::string reply = RunningClients::pipeReply(RunningClients::pipeRequest(3), title, user);
    EXPECT_EQ(reply.size(), 19u);
    EXPECT_EQ(reply, std::string("Install ZOV 9.0 VR\0", 19));
    EXPECT_EQ(RunningClients::pipeReply(RunningClients::pipeRequest(0), title, user),
              std::string("Pat Example\0", 12));
    EXPECT_EQ(RunningClients::pipeReply(RunningClients::pipeRequest(7), title, user), "");
    EXPECT_EQ(RunningClients::pipeReply("", title, user), "");
    EXPECT_EQ(RunningClients::pipeReply(std::string(4000, '\3'), title, user).size(), 19u)
        << "a long request is read by its first byte";
    EXPECT_EQ(RunningClients::pipeReply(std::string(1, '\0'), title, [] { return std::string(); }), "")
        << "a failed lookup is an empty reply";
    EXPECT_EQ(
        RunningClients::pipeReply(std::string(1, '\0'), title, [] { return std::string(400, 'n'); }).size(),
        256u);
}

TEST_F(RunningClientsTest, PipeServerRunsOnXpOrLaterOnly) {
    clients().startPipeServer("\\\\.\\Pipe\\ZOVINST");
    EXPECT_EQ(sim.checks.serverStarts.size(), 1u);
    auto reply = sim.checks.transact("\\\\.\\Pipe\\ZOVINST", RunningClients::pipeRequest(3), 256, 5000);
    ASSERT_TRUE(reply);
    EXPECT_EQ(*reply, std::string("Install ZOV 9.0 VR\0", 19));
    setWindows("2000");
    clients().startPipeServer("\\\\.\\Pipe\\ZOVINST");
    EXPECT_EQ(sim.checks.serverStarts.size(), 1u);
    EXPECT_FALSE(clients().askPipe("\\\\.\\Pipe\\ZOVINST", 3)) << "no pipe questions before XP";
}

TEST_F(RunningClientsTest, ShutdownWithoutClientsDoesNothing) {
    EXPECT_EQ(clients().ShutdownClient(), 0);
    EXPECT_TRUE(traced("no clients running"));
}

TEST_F(RunningClientsTest, ShutdownOfAClientThatExitsAtOnceTakesOnePass) {
    SimClient client(sim);
    sim.files.makeDirectory(client.folder + "\\TOD");
    client.start();
    bool markerSeen = false;
    // The marker is there while the client is asked to exit.
    sim.windows.postedQueue.clear();
    auto before = sim.clock.nowMs;
    sim.windows.onPump = [&](SimMachine&) {
        markerSeen = markerSeen || sim.files.fileExists(client.folder + "\\TOD\\CASADIL.phx");
    };
    EXPECT_EQ(clients().ShutdownClient(), 0);
    EXPECT_EQ(sim.clock.nowMs - before, 100u);
    EXPECT_TRUE(client.gone);
    EXPECT_TRUE(markerSeen);
    EXPECT_FALSE(sim.files.fileExists(client.folder + "\\TOD\\CASADIL.phx")) << "removed afterwards";
    EXPECT_EQ(client.queries, 1);
    EXPECT_EQ(client.exitRequests, 1);
    EXPECT_TRUE(traced("sending shutdown message"));
    EXPECT_TRUE(traced("Client sucessfully shut down"));
}

TEST_F(RunningClientsTest, ShutdownMarkerHoldsXAndALineFeed) {
    std::vector<ProcessEntry> processes = {{1, "setup.exe", "D:\\setup.exe"},
                                           {2, "wzov.exe", "C:\\Program Files\\ZOV 9.0\\wzov.exe"}};
    EXPECT_EQ(RunningClients::shutdownMarkerPath(processes), "C:\\Program Files\\ZOV 9.0\\TOD\\CASADIL.phx");
    EXPECT_EQ(RunningClients::shutdownMarkerPath({{3, "ZOV.EXE", "ZOV.EXE"}}), "ZOV.EXETOD\\CASADIL.phx");
    EXPECT_EQ(RunningClients::shutdownMarkerPath({{3, "notepad.exe", "C:\\notepad.exe"}}), "");

    SimClient client(sim);
    client.neverExits = true;
    sim.files.makeDirectory(client.folder + "\\TOD");
    client.start();
    std::string marker;
    sim.windows.onPump = [&](SimMachine&) {
        if (marker.empty())
            marker = sim.files.readText(client.folder + "\\TOD\\CASADIL.phx");
    };
    clients().ShutdownClient();
    EXPECT_EQ(marker, "x\n");
}

TEST_F(RunningClientsTest, ShutdownOfAClientThatNeverExitsTimesOutAfterThirtySeconds) {
    SimClient client(sim);
    client.neverExits = true;
    client.start();
    auto before = sim.clock.nowMs;
    EXPECT_EQ(clients().ShutdownClient(), 1);
    EXPECT_EQ(sim.clock.nowMs - before, 30100u) << "301 passes of 100 ms";
    EXPECT_TRUE(traced("Client shutdown timed out"));
    EXPECT_EQ(client.nudges, 1) << "3624 with wParam 1, once";
    EXPECT_EQ(client.polls, 301) << "a new poll after every reply";
}

TEST_F(RunningClientsTest, ShutdownPollsOnlyAfterAReplyArrived) {
    SimClient client(sim);
    client.neverExits = true;
    client.start();
    sim.checks.silentReplies.insert(client.control);
    EXPECT_EQ(clients().ShutdownClient(), 1);
    EXPECT_EQ(client.polls, 1);
    EXPECT_EQ(client.nudges, 1) << "no reply yet counts as 0";
}

TEST_F(RunningClientsTest, ShutdownOfAClientOnItsWayOutIsNotNudged) {
    SimClient client(sim);
    client.exitAfterPumps = 5;
    client.start();
    EXPECT_EQ(clients().ShutdownClient(), 0);
    EXPECT_EQ(client.nudges, 0);
    EXPECT_TRUE(client.gone);
}

TEST_F(RunningClientsTest, ShutdownOfASixteenBitClientGivesUp) {
    SimClient client(sim);
    client.sixteenBit = true;
    client.start();
    EXPECT_EQ(clients().ShutdownClient(), 2);
    EXPECT_EQ(client.exitRequests, 0);
    EXPECT_TRUE(traced("Client is 16 bit - can't shutdown"));
}

TEST_F(RunningClientsTest, AHungClientDoesNotHoldTheQuery) {
    SimClient client(sim);
    client.start();
    sim.checks.hungWindows.insert(client.control);
    auto before = sim.clock.nowMs;
    EXPECT_EQ(clients().ShutdownClient(), 0);
    EXPECT_EQ(client.exitRequests, 1) << "asked to exit all the same";
    EXPECT_EQ(sim.clock.nowMs - before, RunningClients::kClientAnswerTimeoutMs + 100u);
}

TEST_F(RunningClientsTest, AClientMutexInAnotherSessionDoesNotHoldTheShutdown) {
    SimClient client(sim);
    client.start();
    sim.checks.deniedMutexes.insert("Global\\_ZOV_AppMutex");
    auto before = sim.clock.nowMs;
    EXPECT_EQ(clients().ShutdownClient(), 0);
    EXPECT_EQ(sim.clock.nowMs - before, 100u);
    std::string user, app;
    EXPECT_TRUE(clients().sessionTest(user, app)) << "but the other-sessions test finds it";
}

TEST_F(RunningClientsTest, CancelAtThePromptTellsTheClient) {
    SimClient client(sim);
    client.start();
    clients().postSetupCancelled();
    sim.windows.pumpMessages();
    EXPECT_EQ(client.cancels, 1);
}

} // namespace
