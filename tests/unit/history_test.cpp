#include "diag/history.h"

#include "sim/sim_machine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using zov::CInstallHistory;
using zov::RegRoot;
using zov::sim::SimMachine;

namespace {

const std::string kPath = "C:\\IPH.PH";
const std::string kOldPath = "C:\\TPI.PH";
const std::string kUpdates = "SOFTWARE\\Microsoft\\Updates\\";
const std::string kInternetSettings = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

struct History : ::testing::Test {
    SimMachine m;

    CInstallHistory make() {
        return CInstallHistory({m.profile, m.files, m.system, m.registry, m.clock, m.checks}, "9.0",
                               "4327.271");
    }
    std::string value(const std::string& section, const std::string& key) {
        return m.profile.readString(kPath, section, key, "<missing>", 2048);
    }
    std::vector<std::string> sections() { return m.profile.sectionNames(kPath, 4096); }
    std::vector<std::string> keys(const std::string& section) { return m.profile.keys(kPath, section); }
};

using Strings = std::vector<std::string>;

} // namespace

TEST_F(History, FirstRunCreatesInst01HiddenWithKeysInOrder) {
    m.registry.setString(RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Internet Explorer", "Build", "99600");
    m.system.os = {5, 1, 2600, 2, "Service Pack 3"};
    m.registry.createKey(RegRoot::LocalMachine, kUpdates + "Windows XP\\SP3\\KB1");
    auto h = make();
    h.StartNew();

    EXPECT_EQ(m.profile.writes, 1) << "the record's first keys in one write of the file";
    EXPECT_EQ(h.path(), kPath);
    EXPECT_EQ(h.section(), "inst01");
    EXPECT_TRUE(h.isOpen());
    EXPECT_TRUE(m.files.isHidden(kPath));
    // The start is 2026-03-02 09:30:00 UTC; the processor measurement takes a second.
    EXPECT_EQ(m.readText(kPath), "[inst01]\r\n"
                                 "vr=9.0\r\n"
                                 "pd=4327.271\r\n"
                                 "cc=1\r\n"
                                 "os=5.1,Service Pack 3\r\n"
                                 "npr=2\r\n"
                                 "cpu=0:6:10759\r\n"
                                 "ram=4096\r\n"
                                 "br=99600\r\n"
                                 "ds=47683\r\n"
                                 "csd=2400\r\n"
                                 "hf=KB1\r\n"
                                 "qi=0\r\n"
                                 "ut1=2026/3/2 9:30:1\r\n");
    EXPECT_EQ(m.system.cpuMeasurements, 1);
}

TEST_F(History, SystemKeysLeftOutOrReplacedWhenUnknown) {
    // Windows 7, no browser key: neither "br" nor "hf".
    auto h = make();
    h.StartNew();
    EXPECT_EQ(keys("inst01"),
              (Strings{"vr", "pd", "cc", "os", "npr", "cpu", "ram", "ds", "csd", "qi", "ut1"}));
}

TEST_F(History, SystemKeyEdgeValues) {
    m.system.os.platform = 0;
    m.system.memoryBytes = (64ull << 30) + 5;
    m.system.freeSpace["C:\\"] = 5000ull * 1000 * 1000 * 1000; // more kilobytes than 32 bits hold
    m.registry.setString(RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Internet Explorer", "Build",
                         std::string(300, '9')); // too long to read
    auto h = make();
    h.StartNew();
    EXPECT_EQ(value("inst01", "cpu"), "--:--:--");
    EXPECT_EQ(value("inst01", "ram"), "65536");
    EXPECT_EQ(value("inst01", "ds"), "4194303"); // saturated, not wrapped
    EXPECT_EQ(value("inst01", "br"), "");

    SimMachine other;
    other.system.freeSpace.erase("C:\\");
    CInstallHistory h2({other.profile, other.files, other.system, other.registry, other.clock, other.checks},
                       "9.0", "4327.271");
    h2.StartNew();
    EXPECT_EQ(other.profile.readString(kPath, "inst01", "ds", "", 64), "0");

    SimMachine older; // the newer query fails: the older one answers, as in the disk checks
    older.checks.newQueryFails = true;
    CInstallHistory h3({older.profile, older.files, older.system, older.registry, older.clock, older.checks},
                       "9.0", "4327.271");
    h3.StartNew();
    EXPECT_EQ(older.profile.readString(kPath, "inst01", "ds", "", 64), "47683");
    older.checks.oldQueryFails = true;
    h3.StartNew();
    EXPECT_EQ(older.profile.readString(kPath, "inst02", "ds", "", 64), "0");
}

TEST_F(History, HistoryLivesOnTheWindowsDrive) {
    m.system.windows = "E:\\WINNT";
    m.files.makeDirectory("E:\\WINNT");
    auto h = make();
    h.StartNew();
    EXPECT_EQ(h.path(), "E:\\IPH.PH");
    EXPECT_TRUE(m.files.fileExists("E:\\IPH.PH"));
}

TEST_F(History, RotationDropsTheOldestAndNumbersOn) {
    m.writeText(kPath, "[inst01]\r\nvr=a\r\n[inst02]\r\nvr=b\r\n[inst03]\r\nvr=c\r\n");
    auto h = make();
    h.StartNew();
    EXPECT_EQ(sections(), (Strings{"inst02", "inst03", "inst04"}));
    EXPECT_EQ(value("inst04", "vr"), "9.0");
    EXPECT_FALSE(m.files.isHidden(kPath)); // only a first record hides the file
}

TEST_F(History, RotationWithGapsAndMixedCase) {
    m.writeText(kPath, "[general00]\r\np=2\r\n[INST07]\r\nvr=a\r\n[Inst02]\r\nvr=b\r\n[inst11]\r\nvr=c\r\n");
    auto h = make();
    h.StartNew();
    // The first of the family in file order goes, whatever its number.
    EXPECT_EQ(sections(), (Strings{"general00", "Inst02", "inst11", "inst12"}));
}

TEST_F(History, FamilyMatchesFirstFourLettersOnly) {
    m.writeText(kPath, "[Install01]\r\nx=1\r\n[instant]\r\nx=2\r\n");
    auto h = make();
    h.StartNew();
    // Both count, both with number 0: the new record is inst01 and nothing is rotated.
    EXPECT_EQ(sections(), (Strings{"Install01", "instant", "inst01"}));
    EXPECT_FALSE(m.files.isHidden(kPath));

    m.writeText(kPath, "[inst99]\r\nx=1\r\n");
    auto h2 = make();
    h2.StartNew();
    EXPECT_EQ(h2.section(), "inst100");
}

TEST_F(History, ResumeMigratesTheOldFileAndStampsTheNewestRecord) {
    m.writeText(kOldPath, "[inst01]\r\nvr=a\r\n[inst02]\r\nvr=b\r\n");
    m.clock.setUtc(2026, 12, 31, 23, 59, 58);
    auto h = make();
    h.Resume();
    EXPECT_FALSE(m.files.fileExists(kOldPath));
    EXPECT_EQ(h.section(), "inst02");
    EXPECT_TRUE(h.isOpen());
    EXPECT_EQ(value("inst02", "sp2"), "2026/12/31 23:59:58");
    EXPECT_EQ(value("inst01", "vr"), "a");
}

TEST_F(History, ResumeKeepsAnExistingFileAndStillRemovesTheOldOne) {
    m.writeText(kPath, "[inst05]\r\nvr=new\r\n");
    m.writeText(kOldPath, "[inst01]\r\nvr=old\r\n");
    auto h = make();
    h.Resume();
    EXPECT_FALSE(m.files.fileExists(kOldPath));
    EXPECT_EQ(sections(), (Strings{"inst05"}));
    EXPECT_NE(value("inst05", "sp2"), "<missing>");
}

TEST_F(History, ResumeWithoutAnyHistoryStartsAHiddenInst01) {
    auto h = make();
    h.Resume();
    EXPECT_EQ(h.section(), "inst01");
    EXPECT_EQ(keys("inst01"), (Strings{"sp2"}));
    EXPECT_TRUE(m.files.isHidden(kPath));
}

TEST_F(History, ValuesBeforeARecordGoToError) {
    auto h = make();
    h.SetValue("lf", "x");
    h.SetValueLong("pe", -5);
    h.RecordEvent(101);
    m.clock.advance(3000);
    h.RecordEvent(0);
    h.SetGeneral("2");
    h.StartNew();
    h.SetValueULong("pe", 3010);
    h.SetValueUShort("wv", 65535);
    EXPECT_EQ(value("Error", "lf"), "x");
    EXPECT_EQ(value("Error", "pe"), "-5");
    EXPECT_EQ(value("Error", "sc"), "3:101");
    EXPECT_EQ(value("general00", "p"), "2");
    EXPECT_EQ(value("inst01", "pe"), "3010");
    EXPECT_EQ(value("inst01", "wv"), "65535");
}

TEST_F(History, InstallTypeLetters) {
    auto h = make();
    h.StartNew();
    const std::pair<char, const char*> cases[] = {{'A', "a"}, {'C', "b"}, {'D', "c"},
                                                  {'E', "d"}, {'B', "?"}, {0, "?"}};
    for (auto [letter, expected] : cases) {
        h.SetInstallType(letter);
        EXPECT_EQ(value("inst01", "inst"), expected) << "letter " << int(letter);
    }
}

TEST_F(History, EventsAreTimedUntilTheNextAndFinishClosesOnce) {
    auto h = make();
    h.StartNew();
    h.RecordEvent(102);
    m.clock.advance(10'000);
    h.RecordEvent(140);
    m.clock.advance(4'900); // whole seconds only
    h.Finish(true);
    EXPECT_FALSE(h.isOpen());
    EXPECT_EQ(value("inst01", "sc"), "10:102,4:140");
    EXPECT_EQ(value("inst01", "ed"), "1");
    EXPECT_EQ(value("inst01", "ut2"), "2026/3/2 9:30:15");

    const std::string before = m.readText(kPath);
    m.clock.advance(60'000);
    h.Finish(false);
    h.Finish(true);
    EXPECT_EQ(m.readText(kPath), before);
}

TEST_F(History, FinishWithoutPendingEventWritesNoSc) {
    auto h = make();
    h.StartNew();
    h.Finish(false);
    EXPECT_EQ(value("inst01", "ed"), "0");
    EXPECT_EQ(value("inst01", "sc"), "<missing>");

    auto closed = make(); // never opened: Finish does nothing at all
    closed.Finish(true);
    EXPECT_EQ(value("Error", "ed"), "<missing>");
}

TEST_F(History, ScStopsGrowingAt1023Characters) {
    auto h = make();
    h.StartNew();
    // "7:102" plus a comma after 1017 characters makes exactly 1023: still taken.
    const std::string filler(1017, 'x');
    m.profile.writeString(kPath, "inst01", "sc", filler);
    h.RecordEvent(102);
    m.clock.advance(7000);
    h.RecordEvent(140);
    EXPECT_EQ(value("inst01", "sc"), filler + ",7:102");

    // Full: later items are dropped, the value stays as it was, and timing goes on.
    m.clock.advance(2000);
    h.RecordEvent(141);
    EXPECT_EQ(value("inst01", "sc").size(), 1023u);
    m.profile.writeString(kPath, "inst01", "sc", "");
    m.clock.advance(5000);
    h.RecordEvent(0);
    EXPECT_EQ(value("inst01", "sc"), "5:141");
}

TEST_F(History, ScJustOverTheLimitIsDropped) {
    auto h = make();
    h.StartNew();
    const std::string filler(1018, 'x');
    m.profile.writeString(kPath, "inst01", "sc", filler);
    h.RecordEvent(102);
    m.clock.advance(7000);
    h.RecordEvent(0);
    EXPECT_EQ(value("inst01", "sc"), filler);
}

TEST_F(History, WindowsXpFixesTakeTenNamesFromTheEnd) {
    m.system.os = {5, 1, 2600, 2, ""};
    for (int i = 1; i <= 12; ++i)
        m.registry.createKey(RegRoot::LocalMachine, kUpdates + "Windows XP\\SP3\\KB" + std::to_string(i));
    auto h = make();
    h.StartNew();
    EXPECT_EQ(value("inst01", "hf"), "KB12,KB11,KB10,KB9,KB8,KB7,KB6,KB5,KB4,KB3");
}

TEST_F(History, Windows2000FixBudgetShrinksPerExhaustedProduct) {
    m.system.os = {5, 0, 2195, 2, ""};
    for (const char* product : {"P1", "P2", "P3", "P4", "P5"})
        for (const char* fix : {"a", "b"})
            m.registry.createKey(RegRoot::LocalMachine,
                                 kUpdates + "Windows 2000\\" + product + "\\" + product + fix);
    auto h = make();
    h.StartNew();
    // Two names per product plus one for each exhausted product: 2+1, 2+1, 2+1, then one.
    EXPECT_EQ(value("inst01", "hf"), "P5b,P5a,P4b,P4a,P3b,P3a,P2b");
}

TEST_F(History, WindowsXpFixListEmptyOrMissing) {
    m.system.os = {5, 1, 2600, 2, ""};
    m.registry.createKey(RegRoot::LocalMachine, kUpdates + "Windows XP");
    auto h = make();
    h.StartNew();
    EXPECT_EQ(value("inst01", "hf"), "<none>");

    SimMachine bare;
    bare.system.os = {5, 1, 2600, 2, ""};
    CInstallHistory h2({bare.profile, bare.files, bare.system, bare.registry, bare.clock, bare.checks}, "9.0",
                       "4327.271");
    h2.StartNew();
    EXPECT_EQ(bare.profile.readString(kPath, "inst01", "hf", "<missing>", 64), "<missing>");
}

TEST_F(History, LongUpdateNamesNeverOverflowTheList) {
    m.system.os = {5, 1, 2600, 2, ""};
    for (int i = 0; i < 4; ++i)
        m.registry.createKey(RegRoot::LocalMachine,
                             kUpdates + "Windows XP\\SP3\\" + std::string(100, char('a' + i)));
    auto h = make();
    h.StartNew();
    // Whole names only: the last two fit in 255 characters, the third does not.
    EXPECT_EQ(value("inst01", "hf"), std::string(100, 'd') + "," + std::string(100, 'c'));

    SimMachine one;
    one.system.os = {5, 1, 2600, 2, ""};
    one.registry.createKey(RegRoot::LocalMachine, kUpdates + "Windows XP\\SP3\\" + std::string(400, 'k'));
    CInstallHistory h2({one.profile, one.files, one.system, one.registry, one.clock, one.checks}, "9.0",
                       "4327.271");
    h2.StartNew();
    EXPECT_EQ(one.profile.readString(kPath, "inst01", "hf", "", 2048), std::string(255, 'k'));
}

TEST_F(History, Windows98FixListRules) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {";", ""},
        {"Q1", "Q1"},
        {"Q1;Q2;", "Q1,Q2"},
        {"Q1;Q2;;", "Q1,Q2"},
        {"Q1;;Q2", "Q1,,Q2"},
        {";Q1;Q2;", ",Q1,Q2"}, // a leading ';' separates an empty first item
        // Twelve items: ten ';' become ',', the eleventh cuts off everything before it.
        {";Q1;Q2;Q3;Q4;Q5;Q6;Q7;Q8;Q9;Q10;Q11;Q12;", "Q2,Q3,Q4,Q5,Q6,Q7,Q8,Q9,Q10,Q11,Q12"},
        {"Q1;Q2;Q3;Q4;Q5;Q6;Q7;Q8;Q9;Q10;Q11", "Q1,Q2,Q3,Q4,Q5,Q6,Q7,Q8,Q9,Q10,Q11"},
    };
    for (const auto& [minor, expected] : cases)
        EXPECT_EQ(CInstallHistory::fixListFromMinorVersion(minor), expected) << minor;
}

TEST_F(History, Windows98OverLongMinorVersionKeepsTheNewestWholeItems) {
    std::string minor;
    for (char c = 'a'; c < 'a' + 11; ++c)
        minor += std::string(40, c) + ";";
    std::string list = CInstallHistory::fixListFromMinorVersion(minor);
    EXPECT_LE(list.size(), CInstallHistory::kHfLimit);
    // Six items of 40 and five commas: 245 characters, ending with the newest.
    EXPECT_EQ(list.size(), 245u);
    EXPECT_EQ(list.substr(0, 41), std::string(40, 'f') + ",");
    EXPECT_EQ(list.substr(list.size() - 40), std::string(40, 'k'));

    EXPECT_EQ(CInstallHistory::fixListFromMinorVersion(std::string(2047, 'z')), std::string(255, 'z'));
}

TEST_F(History, Windows98AndMeReadMinorVersion) {
    for (unsigned minor : {10u, 90u}) {
        SimMachine w;
        w.system.os = {4, minor, 2222, 1, " A "};
        w.registry.setString(RegRoot::LocalMachine, kInternetSettings, "MinorVersion", ";Q1;Q2;");
        CInstallHistory h({w.profile, w.files, w.system, w.registry, w.clock, w.checks}, "9.0", "4327.271");
        h.StartNew();
        EXPECT_EQ(w.profile.readString(kPath, "inst01", "hf", "", 300), ",Q1,Q2");
        EXPECT_EQ(w.profile.readString(kPath, "inst01", "cpu", "", 300), "0:6:10759");
    }
    SimMachine w95; // Windows 95: no list
    w95.system.os = {4, 0, 950, 1, ""};
    w95.registry.setString(RegRoot::LocalMachine, kInternetSettings, "MinorVersion", "Q1");
    CInstallHistory h({w95.profile, w95.files, w95.system, w95.registry, w95.clock, w95.checks}, "9.0",
                      "4327.271");
    h.StartNew();
    EXPECT_EQ(w95.profile.readString(kPath, "inst01", "hf", "<missing>", 300), "<missing>");
}

TEST_F(History, UnwritableRootNeverStopsTheRun) {
    m.files.readOnlyPrefixes.push_back("C:\\");
    m.writeText(kOldPath, "[inst01]\r\nvr=a\r\n");
    auto h = make();
    EXPECT_NO_THROW({
        h.StartNew();
        h.SetValue("lf", "1");
        h.RecordEvent(102);
        m.clock.advance(1000);
        h.RecordEvent(103);
        h.Finish(true);
    });
    EXPECT_FALSE(m.files.fileExists(kPath));
    EXPECT_FALSE(h.isOpen());

    auto resumed = make();
    EXPECT_NO_THROW(resumed.Resume());
    EXPECT_FALSE(m.files.fileExists(kPath));
    EXPECT_TRUE(m.files.fileExists(kOldPath)); // could not be removed either
}
