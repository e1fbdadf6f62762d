// Free space, required sizes, the initial disk check and the clean-up operations.
#include "checks/disk_space.h"
#include "run/paths.h"
#include "unit/checks_fixture.h"

#include <gtest/gtest.h>

#include <limits>

using namespace zov;
using namespace zov::sim;

namespace {

constexpr std::uint64_t KB = 1024;

class DiskSpaceTest : public ChecksFixture {
  protected:
    DiskSpace disk{run};
    CancelConfirmation confirmation{run, dialogs};
    std::string ini() { return sim.tempFile("install.ini"); }
    void size(const char* section, const char* key, const std::string& value) {
        sim.profile.writeString(ini(), section, key, value);
    }
};

TEST_F(DiskSpaceTest, FreeSpaceUsesTheNewerQueryWithItsTraceLines) {
    sim.system.freeSpace["C:\\"] = 123456 * KB;
    EXPECT_EQ(disk.freeKb("C:\\Windows\\system32"), 123456u);
    EXPECT_TRUE(traced("GUI: Trying newer disk space calculation ..."));
    EXPECT_TRUE(traced("GUI: Using new disk space calculation."));
    EXPECT_FALSE(traced("GUI: Trying old disk space calculation ..."));
}

TEST_F(DiskSpaceTest, FreeSpaceFallsBackToTheOlderQuery) {
    sim.system.freeSpace["C:\\"] = 80000 * KB;
    sim.checks.newQueryExists = false;
    EXPECT_EQ(disk.freeKb("C:\\"), 80000u);
    EXPECT_TRUE(traced("GUI Error: New calculation unavailable."));
    EXPECT_TRUE(traced("GUI: Trying old disk space calculation ..."));
    EXPECT_TRUE(traced("GUI: Using old disk space calculation."));

    sim.traceWire.lines.clear();
    sim.checks.newQueryExists = true;
    sim.checks.newQueryFails = true;
    EXPECT_EQ(disk.freeKb("C:\\"), 80000u);
    EXPECT_TRUE(traced("GUI Error: Error using new calculation."));

    sim.traceWire.lines.clear();
    sim.checks.kernelModule = false;
    EXPECT_EQ(disk.freeKb("C:\\"), 80000u);
    EXPECT_FALSE(traced("GUI: Trying old disk space calculation ..."));
    bool asserted = false;
    for (const auto& l : traceLines())
        asserted = asserted || l.find("hKernel32 != NULL") != std::string::npos;
    EXPECT_TRUE(asserted);
}

TEST_F(DiskSpaceTest, AnUnmeasurableDriveReportsZero) {
    sim.checks.newQueryFails = true;
    sim.checks.oldQueryFails = true;
    EXPECT_EQ(disk.freeKb("Q:\\"), 0u);
    EXPECT_TRUE(traced("GUI Error: Error using old disk space calculation."));
    EXPECT_FALSE(disk.driveReady('Q'));
    sim.checks.oldQueryFails = false;
    EXPECT_TRUE(disk.driveReady('C'));
}

TEST_F(DiskSpaceTest, FourTerabytesFreeSaturatesInsteadOfWrapping) {
    // 4 TB is 2^32 KB: kept in 32 bits it would read as 0, and 4 TB + 5 MB as 5 MB.
    sim.system.freeSpace["C:\\"] = (std::uint64_t{1} << 42) + 5 * 1024 * KB;
    EXPECT_EQ(disk.freeKb("C:\\"), std::numeric_limits<std::uint32_t>::max());
    sim.checks.newQueryExists = false; // the older query's product is past 32 bits as well
    EXPECT_EQ(disk.freeKb("C:\\"), std::numeric_limits<std::uint32_t>::max());
    EXPECT_EQ(DiskSpace::kilobytes((std::uint64_t{1} << 42) - 1024), 0xFFFFFFFFu);
}

TEST_F(DiskSpaceTest, RequiredSizesScaleTheNonCorePart) {
    size("install sizes", "base", "5000");
    size("install sizes", "noncore", "1000");
    size("install sizes", "other", "7");
    size("system sizes", "basesys", "100");
    size("system sizes", "noncoresys", "333");
    DiskFigures f;
    EXPECT_TRUE(disk.requiredSizes(ini(), 40, f));
    EXPECT_EQ(f.requiredInstall, 5000 + 600 + 7);
    EXPECT_EQ(f.requiredSystem, 100 + 199); // 333 * 60 / 100 = 199.8, truncated
    EXPECT_TRUE(disk.requiredSizes(ini(), 0, f));
    EXPECT_EQ(f.requiredInstall, 6007);
    EXPECT_TRUE(disk.requiredSizes(ini(), 100, f));
    EXPECT_EQ(f.requiredInstall, 5007);
}

TEST_F(DiskSpaceTest, RequiredSizesTruncateTowardZeroForNegativeValues) {
    size("install sizes", "noncore", "-333");
    DiskFigures f;
    disk.requiredSizes(ini(), 40, f);
    EXPECT_EQ(f.requiredInstall, -199);
    EXPECT_EQ(DiskSpace::scaled(-333, 40), -199);
}

TEST_F(DiskSpaceTest, AHugeNonCoreSizeNeitherOverflowsNorWraps) {
    // 50 million KB times 60 is past 2^31: the 32-bit product was undefined behaviour.
    size("install sizes", "noncore", "50000000");
    DiskFigures f;
    disk.requiredSizes(ini(), 40, f);
    EXPECT_EQ(f.requiredInstall, 30000000);
    // A total past the 32-bit range holds at its largest value.
    size("install sizes", "base", "2147483000");
    disk.requiredSizes(ini(), 0, f);
    EXPECT_EQ(f.requiredInstall, std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(DiskSpace::sizeValue("99999999999999999999"), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(DiskSpace::sizeValue("12abc"), 12);
    EXPECT_EQ(DiskSpace::sizeValue("abc"), 0);
    EXPECT_EQ(DiskSpace::sizeValue("  42"), 42);
}

TEST_F(DiskSpaceTest, AnEmptySizeKeyStopsWithPartialTotals) {
    size("install sizes", "base", "100");
    size("install sizes", "noncore", "50");
    size("install sizes", "netfiles", "");
    size("install sizes", "other", "9999");
    DiskFigures f;
    f.requiredSystem = 77;
    EXPECT_FALSE(disk.requiredSizes(ini(), 0, f));
    EXPECT_EQ(f.requiredInstall, 150);
    EXPECT_EQ(f.requiredSystem, 0);
}

TEST_F(DiskSpaceTest, DiskFiguresTraceTheFourLinesInOrder) {
    sim.system.freeSpace["C:\\"] = 4000 * KB;
    sim.system.driveTypes["E:\\"] = 3;
    sim.system.freeSpace["E:\\"] = 9000 * KB;
    size("install sizes", "base", "300");
    size("system sizes", "basesys", "20");
    DiskFigures f;
    disk.diskFigures("E:\\Program Files\\ZOV 9.0", ini(), 0, f);
    EXPECT_EQ(f.installDrive, 'E');
    EXPECT_EQ(f.systemDrive, 'C');
    EXPECT_EQ(f.availableInstall, 9000u);
    EXPECT_EQ(f.availableSystem, 4000u);
    std::vector<std::string> four;
    for (const auto& l : traceLines())
        if (l.find("Space on") != std::string::npos)
            four.push_back(l);
    EXPECT_EQ(four, (std::vector<std::string>{"Required Space on System Drive (C:): 20K",
                                              "Available Space on System Drive (C:): 4000K",
                                              "Required Space on Install Drive (E:): 300K",
                                              "Available Space on Install Drive (E:): 9000K"}));
}

TEST_F(DiskSpaceTest, InitialCheckPassesWithExactlyTheRequirementPlusTheMargin) {
    // 300 KB of component plus the 1000 KB margin.
    sim.system.freeSpace["C:\\"] = 1300 * KB;
    EXPECT_EQ(disk.initialCheck(dialogs, confirmation), 0);
    EXPECT_TRUE(sim.windows.boxes.empty());
}

TEST_F(DiskSpaceTest, InitialCheckOneKilobyteShortRefusesSilently) {
    session.silent = true;
    sim.system.freeSpace["C:\\"] = 1299 * KB;
    EXPECT_EQ(disk.initialCheck(dialogs, confirmation), 112);
    EXPECT_TRUE(abort);
    EXPECT_TRUE(sim.windows.boxes.empty());
    EXPECT_TRUE(traced("SystemChecks() : Insufficient HD space. Size of component resources = 300 (+1MB), "
                       "Available space (C:\\Users\\user\\AppData\\Local\\Temp\\) = 1299"));
}

TEST_F(DiskSpaceTest, InitialCheckInteractiveCleansUpUntilThereIsRoom) {
    sim.system.freeSpace["C:\\"] = 1000 * KB;
    dialogs.onCleanup = [this] { sim.system.freeSpace["C:\\"] = 5000 * KB; };
    EXPECT_EQ(disk.initialCheck(dialogs, confirmation), 0);
    ASSERT_EQ(sim.windows.boxes.size(), 1u);
    EXPECT_EQ(sim.windows.boxes[0].kind, BoxKind::Warning);
    EXPECT_EQ(sim.windows.boxes[0].text, text(32));
    EXPECT_EQ(dialogs.cleanups, 1);
    EXPECT_EQ(dialogs.cleanupFigures.systemDrive, 'C');
    EXPECT_EQ(dialogs.cleanupFigures.availableSystem, 1000u);
    EXPECT_EQ(dialogs.cleanupFigures.requiredSystem + dialogs.cleanupFigures.requiredInstall, 1300)
        << "the one drive's need, counted once";
    EXPECT_TRUE(recorded(125));
    EXPECT_FALSE(abort);

    // A temporary folder on another drive: the dialog measures and cleans that drive, not
    // the roomy system drive (which would tell the user there is enough space).
    sim.system.temp = "T:\\Temp\\";
    sim.system.freeSpace["T:\\"] = 20 * KB;
    dialogs.onCleanup = [this] { sim.system.freeSpace["T:\\"] = 5000 * KB; };
    EXPECT_EQ(disk.initialCheck(dialogs, confirmation), 0);
    EXPECT_EQ(dialogs.cleanupFigures.systemDrive, 'T');
    EXPECT_EQ(dialogs.cleanupFigures.installDrive, 'T');
    EXPECT_EQ(dialogs.cleanupFigures.availableInstall, 20u);
    // A network folder has no drive to clean: OK on the warning measures it again, with no
    // dialog (a roomy system drive in it would call the space enough).
    sim.system.temp = "\\\\server\\temp\\";
    sim.system.freeSpace["\\\\SERVER\\TEMP\\"] = 0;
    sim.windows.boxAnswers = {BoxAnswer::Ok, BoxAnswer::Cancel};
    dialogs.resumeAnswers = {false};
    EXPECT_EQ(disk.initialCheck(dialogs, confirmation), 112);
    EXPECT_EQ(dialogs.cleanups, 2) << "no dialog for the network folder";
    EXPECT_EQ(dialogs.resumes, 1);
}

TEST_F(DiskSpaceTest, InitialCheckCancelAsksTheConfirmation) {
    sim.system.freeSpace["C:\\"] = 10 * KB;
    // Cancel on the warning, Resume; then the cleanup dialog's cancel, Exit.
    sim.windows.boxAnswers = {BoxAnswer::Cancel, BoxAnswer::Ok};
    dialogs.resumeAnswers = {true, false};
    dialogs.cleanupAnswers = {CheckDialogs::kCleanupCancel};
    EXPECT_EQ(disk.initialCheck(dialogs, confirmation), 112);
    EXPECT_TRUE(abort);
    EXPECT_EQ(dialogs.resumes, 2);
    EXPECT_EQ(dialogs.summaries, 1);
    auto e = events();
    EXPECT_EQ(std::count(e.begin(), e.end(), 128u), 2);
    EXPECT_EQ(std::count(e.begin(), e.end(), 134u), 1);
}

TEST_F(DiskSpaceTest, AMissingComponentEndsTheRunWith1612) {
    sim.resources.data.erase(175);
    EXPECT_EQ(endCode([&] { disk.initialCheck(dialogs, confirmation); }), 1612u);
    EXPECT_TRUE(abort);
    EXPECT_TRUE(recorded(132));
    ASSERT_EQ(sim.windows.boxes.size(), 1u);
    EXPECT_EQ(sim.windows.boxes[0].text,
              "This copy of ZOV cannot be installed because the installation file is damaged.");
}

TEST_F(DiskSpaceTest, ShortfallTextsForOneAndTwoDrives) {
    sim.system.driveTypes["E:\\"] = 3;
    DiskFigures f;
    f.systemDrive = f.installDrive = 'C';
    f.requiredSystem = 600;
    f.requiredInstall = 500;
    sim.system.freeSpace["C:\\"] = 1000 * KB;
    Shortfall s = disk.shortfall(f, true);
    EXPECT_EQ(s.text, "You currently do not have enough disk space on drive C.");
    EXPECT_FALSE(s.enough);
    EXPECT_FALSE(disk.shortfall(f, false).recomputed) << "nothing changed";
    sim.system.freeSpace["C:\\"] = 1100 * KB;
    s = disk.shortfall(f, false);
    EXPECT_TRUE(s.recomputed);
    EXPECT_TRUE(s.enough);
    EXPECT_EQ(s.text, text(195));

    f.installDrive = 'E';
    sim.system.freeSpace["C:\\"] = 100 * KB;
    sim.system.freeSpace["E:\\"] = 100 * KB;
    EXPECT_EQ(disk.shortfall(f, true).text, "You currently do not have enough disk space on drive C and E.");
    EXPECT_EQ(DiskSpace::binDrives(f), (std::vector<char>{'C', 'E'}));
    sim.system.freeSpace["C:\\"] = 1000 * KB;
    EXPECT_EQ(disk.shortfall(f, true).text, "You currently do not have enough disk space on drive E.");
    EXPECT_EQ(DiskSpace::binDrives(f), (std::vector<char>{'E'}));
    sim.system.freeSpace["E:\\"] = 1000 * KB;
    sim.system.freeSpace["C:\\"] = 10 * KB;
    EXPECT_EQ(disk.shortfall(f, true).text, "You currently do not have enough disk space on drive C.");
}

TEST_F(DiskSpaceTest, RecycleBinSizeAndEmptying) {
    sim.checks.recycleBins["C:\\"] = {(std::uint64_t{1} << 32) + 3, 3 * 1024 * KB / 2};
    std::uint32_t items = 0;
    float mb = 0;
    ASSERT_TRUE(disk.recycleBinSize('C', items, mb));
    EXPECT_EQ(items, 3u) << "the low 32 bits of the count";
    EXPECT_FLOAT_EQ(mb, 1.5f);
    EXPECT_FALSE(disk.recycleBinSize('E', items, mb));
    EXPECT_TRUE(disk.emptyRecycleBin('C'));
    EXPECT_FALSE(disk.emptyRecycleBin('E'));
}

TEST_F(DiskSpaceTest, OldTemporaryFilesAreThoseUntouchedForMoreThanSevenDays) {
    const std::uint64_t now = sim.clock.unixSeconds();
    const std::string temp = sim.system.temp;
    auto file = [&](const std::string& name, std::uint64_t age, std::uint64_t bytes) {
        sim.files.writeText(temp + name, "x");
        sim.checks.modified[pathKey(temp + name)] = now - age;
        sim.checks.sizes[pathKey(temp + name)] = bytes;
    };
    const std::uint64_t week = 7 * 24 * 3600;
    file("exactly.tmp", week, 1024 * KB);           // not old
    file("older.tmp", week + 1, 2 * 1024 * KB);     // old
    file(".hidden.tmp", 10 * week, 64 * 1024 * KB); // never counted
    file("sub\\old.dat", week + 100, 1024 * KB);    // old, in a folder that empties
    file("keep\\recent.dat", 60, 1024 * KB);        // keeps its folder
    file("keep\\stale.dat", 3 * week, 1024 * KB);   // old
    EXPECT_FLOAT_EQ(disk.oldTempFilesMb(), 4.0f);
    EXPECT_GT(sim.checks.waitCursors, 0);

    disk.deleteOldTempFiles();
    EXPECT_TRUE(sim.files.fileExists(temp + "exactly.tmp"));
    EXPECT_FALSE(sim.files.fileExists(temp + "older.tmp"));
    EXPECT_TRUE(sim.files.fileExists(temp + ".hidden.tmp"));
    EXPECT_FALSE(sim.files.fileExists(temp + "sub\\old.dat"));
    EXPECT_TRUE(sim.files.fileExists(temp + "keep\\recent.dat"));
    EXPECT_FALSE(sim.files.fileExists(temp + "keep\\stale.dat"));
    EXPECT_EQ(sim.checks.removedDirectories, (std::vector<std::string>{pathKey(temp + "sub")}));
    EXPECT_FLOAT_EQ(disk.oldTempFilesMb(), 0.0f);
}

TEST_F(DiskSpaceTest, OldTemporaryFileWalkNeverFollowsAJunction) {
    const std::string elsewhere = "C:\\Windows\\system32\\config.dat";
    sim.files.writeText(elsewhere, "x");
    sim.checks.modified[pathKey(elsewhere)] = sim.clock.unixSeconds() - 30 * 24 * 3600;
    sim.discovery.links[sim.system.temp + "planted"] = "C:\\Windows\\system32";
    EXPECT_FLOAT_EQ(disk.oldTempFilesMb(), 0.0f);
    disk.deleteOldTempFiles();
    EXPECT_TRUE(sim.files.fileExists(elsewhere));
    EXPECT_TRUE(sim.checks.removedDirectories.empty());
}

TEST(DiskSpaceAge, SevenDaysIsNotOldSevenDaysAndOneSecondIs) {
    const std::uint64_t now = 1772443800;
    EXPECT_FALSE(DiskSpace::isOld(now - 604800, now));
    EXPECT_TRUE(DiskSpace::isOld(now - 604801, now));
    EXPECT_FALSE(DiskSpace::isOld(0, now)) << "an unknown time is never old";
    EXPECT_FALSE(DiskSpace::isOld(now + 1000000, now)) << "a time in the future is not old";
}

TEST_F(DiskSpaceTest, InsideRecycleBin) {
    EXPECT_TRUE(insideRecycleBin(run.m, "D:\\Recycled\\ZOV"));
    EXPECT_TRUE(insideRecycleBin(run.m, "C:\\RECYCLER\\S-1-5\\x"));
    EXPECT_TRUE(insideRecycleBin(run.m, "C:\\$Recycle.Bin\\a"));
    EXPECT_FALSE(insideRecycleBin(run.m, "C:\\Program Files\\ZOV 9.0"));
    // A folder whose shell type name holds the bin's display name, or a parent's does.
    sim.checks.typeNames[pathKey("E:\\Trash")] = "Recycle Bin folder";
    EXPECT_TRUE(insideRecycleBin(run.m, "E:\\Trash\\old\\client"));
    // An empty display name would match every path.
    sim.checks.binName = std::string();
    EXPECT_FALSE(insideRecycleBin(run.m, "E:\\Trash\\old\\client"));
}

TEST_F(DiskSpaceTest, CreateDirectoryPathCreatesEachMissingLevel) {
    sim.files.makeDirectory("C:\\A");
    EXPECT_TRUE(createDirectoryPath(run.m, "C:\\A\\B\\C"));
    EXPECT_EQ(sim.checks.createdDirectories, (std::vector<std::string>{"C:\\A\\B", "C:\\A\\B\\C"}));
    EXPECT_TRUE(createDirectoryPath(run.m, "C:\\A\\B\\C")) << "nothing to create";
    sim.checks.failingDirectories.insert(pathKey("C:\\A\\X"));
    EXPECT_FALSE(createDirectoryPath(run.m, "C:\\A\\X"));
}

} // namespace
