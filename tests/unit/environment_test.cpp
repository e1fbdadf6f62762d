#include "companions/environment.h"
#include "sim/sim_machine.h"

#include <gtest/gtest.h>

using namespace zov;
using zov::sim::SimMachine;

namespace {

class Service : public ::testing::Test {
  protected:
    SimMachine sim;
    Machine machine = sim.machine();
    Trace trace{machine.traceWire, machine.clock, machine.system};
    bool start() { return StartService(sim.services, sim.clock, trace, "ZOV ACS"); }
};

TEST_F(Service, AlreadyRunningNeedsNoQuery) {
    sim.services.startError = 1056;
    EXPECT_TRUE(start());
    EXPECT_EQ(sim.services.queryCalls, 0);
}

TEST_F(Service, OtherStartFailureIsFalse) {
    sim.services.startError = 5;
    EXPECT_FALSE(start());
}

TEST_F(Service, PendingThenRunning) {
    sim.services.statuses = {{2, 0, 3000}, {2, 1, 3000}, {4, 0, 0}};
    EXPECT_TRUE(start());
    EXPECT_EQ(sim.services.openedServices, std::vector<std::string>{"ZOV ACS"});
}

TEST_F(Service, StuckCheckPointIsGivenUpAfterTheWaitHint) {
    sim.services.statuses = {{2, 0, 3000}};
    std::uint64_t before = sim.clock.nowMs;
    EXPECT_FALSE(start());
    // 1,000 ms sleeps (a tenth of 3,000 is below the floor) until more than 3,000 ms passed.
    EXPECT_EQ(sim.clock.nowMs - before, 4000u);
}

TEST_F(Service, WaitHintSetsTheSleep) {
    sim.services.statuses = {{2, 0, 50000}, {4, 0, 0}};
    std::uint64_t before = sim.clock.nowMs;
    EXPECT_TRUE(start());
    EXPECT_EQ(sim.clock.nowMs - before, 5000u);
    sim.services.statuses = {{2, 0, 0}, {4, 0, 0}};
    before = sim.clock.nowMs;
    EXPECT_TRUE(start());
    EXPECT_EQ(sim.clock.nowMs - before, 1000u);
}

TEST_F(Service, UnavailableOrUnopenable) {
    sim.services.isAvailable = false;
    EXPECT_FALSE(start());
    sim.services.isAvailable = true;
    sim.services.serviceOpens = false;
    EXPECT_FALSE(start());
}

TEST(FirewallHelper, RemovesTheThreeFilesWhenPresent) {
    SimMachine sim;
    std::string temp = sim.system.temp;
    sim.writeText(temp + "\\ZOVInstallerFW.dll", "x");
    sim.writeText(temp + "\\ZOVFirewallMgr.ini", "x");
    sim.writeText(temp + "\\keep.dll", "x");
    RemoveFirewallHelperFiles(sim.files, temp);
    EXPECT_FALSE(sim.files.fileExists(temp + "ZOVInstallerFW.dll"));
    EXPECT_FALSE(sim.files.fileExists(temp + "ZOVFirewallMgr.ini"));
    EXPECT_TRUE(sim.files.fileExists(temp + "keep.dll"));
}

} // namespace
