// The progress component writer and the engine launcher.
#include "unit/run_fixture.h"
#include "engine/component.h"
#include "engine/script.h"
#include "sim/sim_machine.h"
#include "protocol/contract.h"

#include <gtest/gtest.h>

using namespace zov;
using zov::sim::Exited;
using zov::sim::SimMachine;

namespace {

class Engine : public zov::sim::RunFixture {
  protected:
    bool& silent = session.silent;
};

TEST_F(Engine, ComponentIsWrittenInKilobytePiecesWithPumping) {
    sim.resources.data[175] = std::vector<std::uint8_t>(120 * 1024, 7);
    CComponent component(175);
    int pumpsBefore = sim.windows.pumps;
    ASSERT_EQ(component.Write(run, sim.tempFile("progupd.dll")), 1);
    EXPECT_EQ(sim.readText(sim.tempFile("progupd.dll")).size(), 120u * 1024);
    // 500 ms answering messages (none come), then one pump after every third of the 120 pieces.
    EXPECT_EQ(sim.windows.pumps - pumpsBefore, 1 + 40);
    EXPECT_EQ(sim.clock.sleptMs, 0u) << "the pause waits on the message queue";
    EXPECT_EQ(component.GetSize(run), 120u);
}

TEST_F(Engine, SecondWriteDoesNotTouchTheDisk) {
    sim.resources.data[175] = {1, 2, 3};
    CComponent component(175);
    ASSERT_EQ(component.Write(run, sim.tempFile("a.dll")), 1);
    EXPECT_EQ(component.Write(run, sim.tempFile("b.dll")), 1);
    EXPECT_FALSE(sim.files.fileExists(sim.tempFile("b.dll")));
    component.Cleanup(run);
    EXPECT_FALSE(sim.files.fileExists(sim.tempFile("a.dll")));
    // Once its file is gone (the removal after an engine run takes it), it is written again.
    EXPECT_EQ(component.Write(run, sim.tempFile("a.dll")), 1);
    EXPECT_TRUE(sim.files.fileExists(sim.tempFile("a.dll")));
}

TEST_F(Engine, EmptyPathMakesAUniqueTemporaryFile) {
    sim.resources.data[175] = {1, 2, 3};
    CComponent component(175);
    ASSERT_EQ(component.Write(run, ""), 1);
    EXPECT_EQ(component.filePath().rfind(sim.system.temp + "TMP", 0), 0u);
}

TEST_F(Engine, ShortWriteReportsDiskSpaceAndLeavesItUnwritten) {
    sim.resources.data[175] = std::vector<std::uint8_t>(4096, 1);
    sim.files.diskFullAfterBytes = 2000;
    CComponent component(175);
    EXPECT_EQ(component.Write(run, sim.tempFile("progupd.dll")), 0);
    EXPECT_FALSE(component.written());
    EXPECT_EQ(sim.files.openOutputFiles, 0) << "the file is closed once";
    ASSERT_EQ(sim.windows.boxes.size(), 1u);
    EXPECT_NE(sim.windows.boxes[0].text.find("enough free disk space"), std::string::npos);
    // Room again: a later write tries again.
    sim.files.diskFullAfterBytes.reset();
    EXPECT_EQ(component.Write(run, sim.tempFile("progupd.dll")), 1);
}

TEST_F(Engine, MissingResourceEnds1612) {
    CComponent component(175);
    EXPECT_EQ(endCode([&] { component.Write(run, sim.tempFile("x.dll")); }), 1612u);
    EXPECT_TRUE(abort);
    EXPECT_EQ(endCode([&] { component.GetSize(run); }), 1612u);
}

TEST_F(Engine, LoadFailureRetriesThenCancelEnds1612) {
    sim.resources.data[175] = {1};
    sim.resources.loadFailures = 1;
    sim.windows.boxAnswers = {BoxAnswer::Retry};
    CComponent component(175);
    EXPECT_EQ(component.Write(run, sim.tempFile("x.dll")), 1);
    sim.resources.loadFailures = zov::sim::SimResources::kAlways;
    CComponent again(175);
    EXPECT_EQ(endCode([&] { again.Write(run, sim.tempFile("y.dll")); }), 1612u);
}

TEST_F(Engine, SilentLoadFailureEndsAtOnce) {
    silent = true;
    sim.resources.data[175] = {1};
    sim.resources.loadFailures = 1;
    CComponent component(175);
    EXPECT_EQ(endCode([&] { component.Write(run, sim.tempFile("x.dll")); }), 1612u);
    EXPECT_TRUE(sim.windows.boxes.empty());
}

TEST_F(Engine, LockFailureCancelEnds167) {
    sim.traceWire.monitor = 0x99;
    trace.start();
    sim.resources.data[175] = {1};
    sim.resources.lockFailures = zov::sim::SimResources::kAlways;
    CComponent component(175);
    EXPECT_EQ(endCode([&] { component.Write(run, sim.tempFile("x.dll")); }), 167u);
    // The error of the failed step, not the one the trace lines before it left.
    EXPECT_EQ(sim.traceWire.lines.back().text.rfind("Last Error: 8-", 0), 0u);
}

TEST_F(Engine, ScriptCommandLine) {
    CScript script;
    script.setProgramFromModule("D:\\cd\\setup.exe");
    EXPECT_EQ(script.commandLine(), "\"D:\\cd\\comp01.000\"");
    script.setArguments("-z");
    EXPECT_EQ(script.commandLine(), "\"D:\\cd\\comp01.000\" -z");
    EXPECT_FALSE(script.setArguments(std::string(300, 'a')));
    EXPECT_EQ(script.arguments(), "-z");
}

TEST_F(Engine, ExecuteRefusesAnEnginePathTooLongForItsField) {
    // Cut to 259 characters, this path would name "...\\comp01" instead, a file anyone could
    // have put there.
    const std::string folder = "D:\\" + std::string(249, 'f') + "\\";
    sim.processes.registerProgram(folder + "comp01", {[](SimMachine&, const std::string&) {}, 0, 1});
    CScript script;
    script.setProgramFromModule(folder + "setup.exe");
    EXPECT_EQ(endCode([&] { script.Execute(run, sim.tempFile("install.ini")); }), 2u);
    EXPECT_TRUE(sim.processes.starts.empty());
    EXPECT_EQ(sim.windows.boxes.size(), 1u);
}

TEST_F(Engine, ExecuteReturnsTheFirstCharacterOfRc) {
    CScript script;
    script.setProgramFromModule(sim.system.module);
    std::string rc = "7x";
    sim.processes.registerProgram("D:\\comp01.000", {[&rc](SimMachine& s, const std::string&) {
                                                         s.profile.writeString(s.tempFile("install.ini"),
                                                                               "exit", "rc", rc);
                                                     },
                                                     0, 5});
    int pumps = sim.windows.pumps;
    EXPECT_EQ(script.Execute(run, sim.tempFile("install.ini")), '7');
    EXPECT_GE(sim.windows.pumps - pumps, 5) << "the frame stays alive while the engine runs";
    EXPECT_EQ(sim.processes.openHandles(), 0);
    rc = "";
    sim.files.removeFile(sim.tempFile("install.ini"));
    EXPECT_EQ(script.Execute(run, sim.tempFile("install.ini")), '\0');
}

TEST_F(Engine, ExecuteAnswersEachProgressMessageWhenItArrives) {
    CScript script;
    script.setProgramFromModule(sim.system.module);
    WindowHandle frame =
        sim.windows.addWindow("ZOVInstallerClass", "", [](auto...) -> std::intptr_t { return 0; });
    // The engine reports 10, 20 and 75 ms after its start (each report waits for its answer)
    // and ends at its sixth check.
    sim.processes.registerProgram("D:\\comp01.000", {[frame](SimMachine& s, const std::string&) {
                                                         for (std::uint64_t at : {10, 20, 75})
                                                             s.windows.sendFromOtherProcess(
                                                                 at, frame, msg::UpdateProgress, 0, 50);
                                                     },
                                                     0, 6});
    script.Execute(run, sim.tempFile("install.ini"));
    ASSERT_EQ(sim.windows.incoming.size(), 3u);
    for (const auto& report : sim.windows.incoming) {
        EXPECT_TRUE(report.answered);
        EXPECT_EQ(report.answeredMs, report.dueMs) << "answered the moment it came, not at the next check";
    }
}

TEST_F(Engine, ExecuteWithoutEngineEnds2) {
    sim.traceWire.monitor = 0x99;
    trace.start();
    CScript script;
    script.setProgramFromModule(sim.system.module);
    EXPECT_EQ(endCode([&] { script.Execute(run, sim.tempFile("install.ini")); }), 2u);
    EXPECT_EQ(sim.traceWire.lines.back().text,
              "Last Error: 2-The system cannot find the file specified.\r\n");
    ASSERT_EQ(sim.windows.boxes.size(), 1u);
    EXPECT_EQ(sim.windows.boxes[0].text,
              "This copy of ZOV cannot be installed because an installation file is missing or damaged.");
}

} // namespace
