// The frame's message protocol with the engine, its progress module and a coordinator.
#include "sim/sim_machine.h"
#include "ui/frame_logic.h"
#include "protocol/contract.h"
#include "unit/checks_fixture.h"
#include "unit/fake_frame.h"

#include <gtest/gtest.h>

using namespace zov;
using zov::sim::Exited;
using zov::sim::FakeFrame;
using zov::sim::SimMachine;

namespace {

class Frame : public zov::sim::RunFixture {
  protected:
    FakeFrame view;
    std::string ini = sim.tempFile("install.ini");
    FrameLogic logic{run, session, view, ini};

    void SetUp() override { session.frame = 0x5150; }

    std::intptr_t send(std::uint32_t message, std::uintptr_t w = 0, std::intptr_t l = 0) {
        std::intptr_t result = -1;
        logic.handle(message, w, l, result);
        return result;
    }
};

TEST_F(Frame, CancelRequestIsAnsweredOnceByTheNextMainUpdate) {
    send(msg::InitProgress);
    send(msg::ShowProgress);
    EXPECT_EQ(send(msg::UpdateProgress, 0, 10), 0);
    logic.requestCancel();
    EXPECT_EQ(send(msg::UpdateProgress, 1, 20), 0) << "the posted secondary form never answers";
    EXPECT_EQ(send(msg::UpdateProgress, 0, 30), 0x5150);
    EXPECT_EQ(send(msg::UpdateProgress, 0, 40), 0);
}

TEST_F(Frame, PercentagesOutsideTheRangeShowAsZero) {
    send(msg::InitProgress);
    send(msg::ShowProgress);
    send(msg::UpdateProgress, 0, 101);
    EXPECT_EQ(view.mainPercent, 0);
    send(msg::UpdateProgress, 0, -5);
    EXPECT_EQ(view.mainPercent, 0);
    send(msg::UpdateProgress, 0, 55);
    EXPECT_EQ(view.mainPercent, 55);
}

TEST_F(Frame, SecondaryUpdateOfZeroChangesNothing) {
    send(msg::InitProgress);
    EXPECT_EQ(send(msg::UpdateProgress, 1, 0), 0);
    EXPECT_EQ(view.secondaryPercent, -1);
}

TEST_F(Frame, UpdateWithoutProgressDialogCreatesIt) {
    EXPECT_EQ(send(msg::UpdateProgress, 0, 5), 0);
    EXPECT_TRUE(view.progress);
    EXPECT_TRUE(logic.progressShown());
}

TEST_F(Frame, SecondaryBarComesWithItsUpdatesAndGoesWithTheMain) {
    send(msg::InitProgress);
    send(msg::UpdateProgress, 1, 30);
    EXPECT_TRUE(view.secondary);
    EXPECT_EQ(view.secondaryPercent, 30);
    send(msg::UpdateProgress, 0, 40);
    EXPECT_FALSE(view.secondary);
    EXPECT_EQ(logic.mainPercent(), 40);
}

TEST_F(Frame, WithTheMovieDrawingTheBarsTheDialogStaysOutOfSight) {
    view.flashProgress = true;
    send(msg::InitProgress);
    send(msg::ShowProgress, 0);
    EXPECT_TRUE(view.progressOutOfSight);
    send(msg::ShowProgress, 1, 1);
    EXPECT_TRUE(view.progressOutOfSight) << "the secondary bar does not bring it back";
    EXPECT_TRUE(view.secondary);
}

TEST_F(Frame, FeatureLinesGrowWithTheProgress) {
    sim.strings.set(10000, "a");
    sim.strings.set(10001, "b");
    sim.strings.set(10002, "|");
    EXPECT_FALSE(logic.frameTextForPaint()) << "nothing to draw before any progress";
    send(msg::InitProgress);
    send(msg::ShowProgress);
    send(msg::UpdateProgress, 0, 50);
    ASSERT_EQ(view.frameTexts.size(), 1u);
    EXPECT_TRUE(view.progressBackground);
    EXPECT_EQ(view.frameTexts[0].headline, sim.strings.get(2092));
    EXPECT_EQ(view.frameTexts[0].lines, (std::vector<std::string>{"a", "b"}))
        << "one earned, one for starting";
    send(msg::UpdateProgress, 0, 60);
    EXPECT_EQ(view.frameTexts.size(), 1u) << "the same number of lines is not drawn again";
    send(msg::UpdateProgress, 0, 100);
    EXPECT_EQ(view.frameTexts.back().lines, (std::vector<std::string>{"a", "b", ""}));
    EXPECT_EQ(logic.frameTextForPaint()->lines.size(), 3u) << "a repaint draws the last text again";
}

TEST_F(Frame, FrameTimerShowsThePartnerNoteOnceAndTurnsTheAnimation) {
    logic.onFrameTimer();
    EXPECT_TRUE(view.partnerNotes.empty()) << "no progress dialog yet";
    send(msg::InitProgress);
    for (int tick = 0; tick < 9; ++tick)
        logic.onFrameTimer();
    EXPECT_EQ(view.partnerNotes, std::vector<std::string>{sim.strings.get(1076)});
    EXPECT_EQ(view.animationFrames, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 0}));
}

TEST_F(Frame, MovieCancelAndTheEndOfTheDialog) {
    logic.onMovieCommand("cancel");
    EXPECT_FALSE(logic.cancelRequested()) << "no progress dialog to carry it";
    send(msg::InitProgress);
    logic.onMovieCommand("play");
    EXPECT_FALSE(logic.cancelRequested());
    logic.onMovieCommand("CANCEL");
    EXPECT_TRUE(logic.cancelRequested());
    send(msg::KillProgress);
    EXPECT_FALSE(logic.cancelRequested()) << "the request ends with its dialog";
}

TEST_F(Frame, SilentRunIgnoresTheProgressMessages) {
    session.silent = true;
    send(msg::InitProgress);
    EXPECT_FALSE(view.progress);
    logic.requestCancel();
    EXPECT_EQ(send(msg::UpdateProgress, 0, 50), 0);
}

TEST_F(Frame, RebootRequestIsWrittenToTheSettingsFile) {
    send(msg::RebootRequest);
    EXPECT_EQ(sim.profile.readString(ini, "exit", "RESTART", "", 10), "Y");
}

TEST_F(Frame, RebootRequestThatCannotBeWrittenIsOnlyTraced) {
    sim.traceWire.monitor = 0x99;
    trace.start();
    sim.files.readOnlyPrefixes.push_back(sim.system.temp);
    send(msg::RebootRequest);
    EXPECT_EQ(sim.traceWire.lines.back().text, "GUI ERROR -- Failed to schedule reboot due to above error.");
}

TEST_F(Frame, CoordinationAndPhase) {
    send(msg::SetInstallPhase, 0, 2);
    EXPECT_EQ(session.installPhase, 2);
    EXPECT_FALSE(logic.coordinationAnswered());
    send(msg::EngineDone, 1);
    EXPECT_TRUE(logic.coordinationAnswered());
    EXPECT_TRUE(logic.coordinationCancel());
    send(msg::EngineDone, 7); // not a valid answer: keeps the last decision
    EXPECT_TRUE(logic.coordinationCancel());
    send(msg::EngineDone, 0);
    EXPECT_FALSE(logic.coordinationCancel());
}

TEST_F(Frame, TwoBusyDisplaysLeaveOne) {
    send(msg::ShowBusy, 0, 2);
    send(msg::ShowBusy, 0, 6);
    EXPECT_EQ(view.busyKinds, (std::vector<int>{2, 6}));
    send(msg::HideBusy);
    EXPECT_FALSE(view.busy);
    EXPECT_TRUE(view.closeEnabled);
}

TEST_F(Frame, ShowProgressAfterTheBusyDisplayRemovesIt) {
    logic.setBusyBeforeEngine(true);
    send(msg::InitProgress);
    send(msg::ShowProgress);
    EXPECT_EQ(sim.windows.messagesOf(msg::HideBusy).size(), 1u);
    EXPECT_FALSE(view.closeEnabled);
    EXPECT_EQ(sim.profile.readString("C:\\IPH.PH", "Error", "bb", "", 8), "0");
}

TEST_F(Frame, DiskSpaceFailureShowsThePageWithWhatIsStillToCopy) {
    zov::sim::ScriptedDialogs dialogs;
    logic.dialogs = &dialogs;
    history.StartNew();
    session.installDirectory = "C:\\Program Files\\ZOV 9.0";
    sim.profile.writeString(ini, "install sizes", "base", "500");
    sim.profile.writeString(ini, "install sizes", "noncore", "1000");
    send(msg::InitProgress);
    send(msg::ShowProgress);
    send(msg::UpdateProgress, 0, 40);
    EXPECT_EQ(send(msg::DiskSpaceFail), 0) << "Next";
    ASSERT_EQ(dialogs.pages, 1);
    EXPECT_EQ(dialogs.pageFigures[0].requiredInstall, 500 + 600) << "40% of the non-core part is in place";
    EXPECT_EQ(dialogs.pageFigures[0].availableInstall, 48828125u);
    EXPECT_EQ(sim.windows.messagesOf(msg::ClearMsieBackground).size(), 1u);

    dialogs.pageAnswers = {CheckDialogs::kPageCancel, CheckDialogs::kPageCancel};
    dialogs.resumeAnswers = {true, false}; // Resume shows the page again; Exit stops the engine
    EXPECT_EQ(send(msg::DiskSpaceFail), 0x5150);
    EXPECT_EQ(dialogs.pages, 3);
    EXPECT_TRUE(abort);
    session.silent = true;
    EXPECT_EQ(send(msg::DiskSpaceFail), 0);
    EXPECT_EQ(dialogs.pages, 3);
}

TEST_F(Frame, EngineBoxWaitEndsWhenTheBoxGoes) {
    WindowHandle box = sim.windows.addWindow("#32770", "ZOV");
    int pumps = 0;
    sim.windows.onPump = [&](SimMachine& s) {
        if (++pumps == 3)
            s.windows.removeWindow(box);
    };
    send(msg::WaitEngineBox);
    EXPECT_EQ(pumps, 3);
    EXPECT_EQ(sim.windows.messagesOf(msg::ClearMsieBackground).size(), 1u);
}

TEST_F(Frame, EngineBoxThatNeverAppearsDoesNotHangTheFrame) {
    std::uint64_t before = sim.clock.nowMs;
    send(msg::WaitEngineBox);
    EXPECT_GE(sim.clock.nowMs - before, logic.engineBoxAppearLimitMs);
    EXPECT_LT(sim.clock.nowMs - before, logic.engineBoxAppearLimitMs + 1000);
}

TEST_F(Frame, CloseWhileTheEngineRunsOnlyRequestsCancel) {
    logic.engineRunning = true;
    logic.onClose();
    EXPECT_TRUE(logic.cancelRequested());
    EXPECT_TRUE(sim.windows.boxes.empty());
}

TEST_F(Frame, CloseOtherwiseAsksAndExitEnds1602) {
    sim.windows.boxAnswers = {BoxAnswer::Yes};
    logic.onClose(); // resume
    EXPECT_FALSE(abort);
    sim.windows.boxAnswers = {BoxAnswer::No};
    try {
        logic.onClose();
        FAIL() << "Exit must end the run";
    } catch (const Exited& e) {
        EXPECT_EQ(e.code, 1602u);
    }
    EXPECT_TRUE(abort);
}

} // namespace
