// The named Windows version probes, through the system's version test and without it.
#include "checks/os_version.h"
#include "unit/checks_fixture.h"

#include <gtest/gtest.h>

using namespace zov;
using namespace zov::sim;

namespace {

struct Expected {
    std::string name;
    bool nt, win9x, w2000, xp, nt4OrEarlier, win95or98, me;
    int versionClass;
    std::uint32_t major, minor;
};

const Expected kTable[] = {
    {"95", false, true, false, false, false, true, false, 0, 4, 0},
    {"98", false, true, false, false, false, true, false, 1, 4, 10},
    {"ME", false, true, false, false, false, false, true, 1, 4, 90},
    {"NT4", true, false, false, false, true, false, false, 3, 4, 0},
    {"2000", true, false, true, false, false, false, false, 4, 5, 0},
    {"XP", true, false, false, true, false, false, false, 5, 5, 1},
    {"Vista", true, false, false, true, false, false, false, 6, 6, 0},
    {"7", true, false, false, true, false, false, false, -1, 6, 1},
};

class OsVersionTest : public ChecksFixture {};

TEST_F(OsVersionTest, NamedProbesOnEveryWindowsWithAndWithoutTheVersionTest) {
    for (bool verify : {true, false}) {
        for (const Expected& e : kTable) {
            SCOPED_TRACE(e.name + (verify ? " with VerifyVersionInfoA" : " from GetVersionExA"));
            setWindows(e.name);
            sim.checks.verifyAvailable = verify;
            OsVersionProbe probe(machine.system, machine.checks.version);
            EXPECT_EQ(probe.nt(), e.nt);
            EXPECT_EQ(probe.win9x(), e.win9x);
            EXPECT_EQ(probe.windows2000(), e.w2000);
            EXPECT_EQ(probe.xpOrLater(), e.xp);
            EXPECT_EQ(probe.nt4OrEarlier(), e.nt4OrEarlier);
            EXPECT_EQ(probe.win95or98(), e.win95or98);
            EXPECT_EQ(probe.windowsMe(), e.me);
            EXPECT_EQ(probe.versionClass(), e.versionClass);
            EXPECT_EQ(probe.restartMarkerIsFile(), e.name == "Vista");
            EXPECT_EQ(probe.installed().major, e.major);
            EXPECT_EQ(probe.installed().minor, e.minor);
            // The shorthand used by start-up and finish agrees with the probe.
            OsProbes shorthand(sim.system.os);
            EXPECT_EQ(shorthand.xpOrLater(), e.xp);
            EXPECT_EQ(shorthand.vista(), e.name == "Vista");
        }
    }
}

TEST_F(OsVersionTest, AFailingVersionTestFallsBackToTheReportedVersion) {
    setWindows("XP");
    sim.checks.verifyFails = true;
    OsVersionProbe probe(machine.system, machine.checks.version);
    EXPECT_TRUE(probe.xpOrLater());
    EXPECT_FALSE(probe.windows2000());
}

TEST_F(OsVersionTest, FamilyAndXpProbesAreAskedOnce) {
    OsVersionProbe probe(machine.system, machine.checks.version);
    probe.nt();
    probe.win9x();
    probe.xpOrLater();
    int calls = sim.checks.verifyCalls;
    for (int i = 0; i < 5; ++i) {
        probe.nt();
        probe.win9x();
        probe.xpOrLater();
    }
    EXPECT_EQ(sim.checks.verifyCalls, calls);
}

TEST(OsVersionField, ConditionsCompareAsTheVersionTestDoes) {
    EXPECT_TRUE(versionFieldMatches(5, VersionCondition::None, 9));
    EXPECT_TRUE(versionFieldMatches(5, VersionCondition::Equal, 5));
    EXPECT_FALSE(versionFieldMatches(5, VersionCondition::Greater, 5));
    EXPECT_TRUE(versionFieldMatches(5, VersionCondition::GreaterEqual, 5));
    EXPECT_TRUE(versionFieldMatches(4, VersionCondition::Less, 5));
    EXPECT_TRUE(versionFieldMatches(5, VersionCondition::LessEqual, 5));
    EXPECT_FALSE(versionFieldMatches(6, VersionCondition::LessEqual, 5));
    // Any platform other than the two families has no installed version.
    OsVersion other{5, 1, 1, 3, ""};
    EXPECT_EQ(installedVersion(other).major, 0u);
}

} // namespace
