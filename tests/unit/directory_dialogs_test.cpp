// The directory dialog's path check, its tree and drive-list rules, and the disk cleanup
// dialog's texts and the screens behind the checks' dialogs.
#include "ui/directory_rules.h"
#include "ui/disk_dialogs.h"
#include "unit/checks_fixture.h"

#include <gtest/gtest.h>

using namespace zov;
using namespace zov::sim;

namespace {

constexpr std::uint64_t MB = 1024 * 1024;

class DirectoryCheckTest : public ChecksFixture {
  protected:
    void SetUp() override {
        ChecksFixture::SetUp();
        sim.system.freeSpace["C:\\"] = 50000 * MB;
        sim.files.writeText("C:\\Games\\Client\\wzov.exe", "MZ");
        sim.files.writeText("C:\\Old\\wzov.exe", "MZ");
        sim.files.writeText("C:\\Other\\wzov.exe", "MZ");
        sim.files.writeText("C:\\Full\\notes.txt", "x");
        sim.files.writeText("C:\\Dotted\\.profile", "x");
        sim.files.makeDirectory("C:\\Empty");
        sim.files.makeDirectory("C:\\Recycled");
    }
    DirectoryCheck::Result check(const std::string& path, char selected = 0) {
        sim.windows.boxes.clear();
        return DirectoryCheck(run, "c:\\old\\").check(path, selected);
    }
    std::string shown() const { return sim.windows.boxes.empty() ? "" : sim.windows.boxes.back().text; }
};

TEST_F(DirectoryCheckTest, EveryRuleWithItsMessage) {
    struct Case {
        std::string path;
        char selected;
        const char* accepted; // null: refused with `message`
        unsigned message;
    } cases[] = {
        {"C:\\ZOV", 0, "C:\\ZOV", 0},
        {"C:\\\\Program Files\\\\\\ZOV", 0, "C:\\Program Files\\ZOV", 0},
        {"C:\\New\\   ", 0, "C:\\New", 0},
        {"C:\\", 0, nullptr, 1323},
        {"c:\\\\", 0, nullptr, 1323},
        {"\\", 0, nullptr, 1323},
        {"", 0, nullptr, 1323},
        {":\\\\", 0, nullptr, 1323},
        {"Games2", 0, "C:\\Games2", 0},
        {"abc", 0, "C:\\abc", 0},
        {"\\Apps\\ZOV", 0, "C:\\Apps\\ZOV", 0},
        {"ZOV", 'c', "C:\\ZOV", 0},
        {"C:\\a:b", 0, nullptr, 36},
        {"C:\\a;b", 0, nullptr, 36},
        {"C:\\a/b", 0, nullptr, 36},
        {"C:\\a|b", 0, nullptr, 36},
        {"C:\\Recycled\\ZOV", 0, nullptr, 1321},
        {"C:\\RECYCLER\\S-1-5\\ZOV", 0, nullptr, 1321},
        {"c:\\users\\user\\desktop\\", 0, nullptr, 1323},
        {"C:\\Users\\Public\\Desktop", 0, nullptr, 1323},
        {"C:\\Users\\Default\\Desktop", 0, nullptr, 1323}, // the default user's: no such folder
        {"C:\\Full", 0, nullptr, 1323},
        {"C:\\Full\\notes.txt", 0, nullptr, 1323}, // a file, not a folder
        {"C:\\Empty", 0, "C:\\Empty", 0},
        {"C:\\Dotted", 0, "C:\\Dotted", 0},
        {"C:\\OLD", 0, "C:\\OLD", 0}, // the client being upgraded: no question
        {"C:\\Games\\Client\\ZOV", 0, nullptr, 230},
        {"C:\\Games\\Client\\A\\ZOV", 0, nullptr, 230},
        {"C:\\Games\\Client\\A\\B\\ZOV", 0, "C:\\Games\\Client\\A\\B\\ZOV", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        DirectoryCheck::Result r = check(c.path, c.selected);
        if (c.accepted) {
            EXPECT_EQ(r.outcome, DirectoryCheck::Outcome::Accepted);
            EXPECT_EQ(r.path, c.accepted);
            EXPECT_TRUE(sim.windows.boxes.empty());
        } else if (c.message != 0) {
            EXPECT_EQ(r.outcome, DirectoryCheck::Outcome::Refused);
            EXPECT_EQ(shown(), sim.strings.get(c.message));
        }
    }
}

TEST_F(DirectoryCheckTest, LengthLimitIs120Characters) {
    const std::string path120 = "C:\\" + std::string(117, 'a');
    EXPECT_EQ(check(path120).outcome, DirectoryCheck::Outcome::Accepted);
    EXPECT_EQ(check(path120 + "b").outcome, DirectoryCheck::Outcome::Refused);
    EXPECT_EQ(shown(), sim.strings.get(1322));
    // Trailing blanks do not count.
    EXPECT_EQ(check(path120 + "   ").path, path120);
    EXPECT_EQ(events().back(), 129u);
}

TEST_F(DirectoryCheckTest, AnotherClientsFolderAsks) {
    sim.windows.boxAnswers = {BoxAnswer::No, BoxAnswer::Yes};
    EXPECT_EQ(check("C:\\Other").outcome, DirectoryCheck::Outcome::Refused);
    EXPECT_EQ(shown(), sim.strings.get(1324));
    EXPECT_EQ(check("C:\\Other\\").path, "C:\\Other");
    EXPECT_EQ(events().back(), 137u);
}

TEST_F(DirectoryCheckTest, DriveNotReadyRetriesUntilCancelled) {
    // D: is the CD drive without a disc; a bare name goes to the drive selected in the list.
    sim.system.freeSpace["D:\\"] = std::nullopt;
    sim.windows.boxAnswers = {BoxAnswer::Retry};
    DirectoryCheck::Result r = check("ZOV", 'd');
    EXPECT_EQ(r.outcome, DirectoryCheck::Outcome::DriveNotReady);
    ASSERT_EQ(sim.windows.boxes.size(), 2u);
    EXPECT_EQ(shown(), "D:\\ is not accessable\n\nThe device is not ready.");
    EXPECT_EQ(sim.windows.boxes.back().kind, BoxKind::Error);
    auto e = events();
    EXPECT_EQ(std::count(e.begin(), e.end(), 138u), 2);

    sim.windows.boxAnswers = {BoxAnswer::Retry};
    sim.windows.onPump = nullptr;
    sim.system.freeSpace["D:\\"] = 600 * MB; // the disc is in when Retry tests again
    sim.windows.boxes.clear();
    EXPECT_TRUE(DirectoryCheck(run, "").waitUntilReady('D'));
}

TEST(SelectDirState, InitialPathEditBoxAndTyping) {
    SelectDirState s = SelectDirState::fromInitialPath("C:\\Program Files\\ZOV 9.0");
    EXPECT_EQ(s.currentFolder, "C:\\Program Files");
    EXPECT_EQ(s.leaf, "ZOV 9.0");
    EXPECT_EQ(s.editText("c:\\Program Files"), "C:\\Program Files\\ZOV 9.0");
    EXPECT_EQ(s.editText("c:\\"), "C:\\ZOV 9.0");

    s = SelectDirState::fromInitialPath("D:\\ZOV");
    EXPECT_EQ(s.currentFolder, "D:\\");
    EXPECT_EQ(s.leaf, "ZOV");
    s = SelectDirState::fromInitialPath("E:\\");
    EXPECT_EQ(s.currentFolder, "E:\\");
    EXPECT_EQ(s.editText("e:\\"), "E:\\");

    s.typed("d:\\Apps\\New");
    EXPECT_EQ(s.path, "D:\\Apps\\New");
    EXPECT_EQ(s.currentFolder, "D:\\Apps");
    s.typed("name");
    EXPECT_EQ(s.currentFolder, "Name");
}

TEST(PathEllipsis, MiddleComponentsGoFirst) {
    auto within = [](std::size_t n) { return [n](const std::string& text) { return text.size() <= n; }; };
    const std::string path = "C:\\Program Files\\Long Folder\\ZOV 9.0";
    EXPECT_EQ(pathEllipsis(path, within(40)), path);
    EXPECT_EQ(pathEllipsis(path, within(26)), "C:\\...\\Long Folder\\ZOV 9.0");
    EXPECT_EQ(pathEllipsis(path, within(14)), "C:\\...\\ZOV 9.0");
    EXPECT_EQ(pathEllipsis(path, within(5)), "C:\\...\\ZOV 9.0"); // the field cuts it further
    EXPECT_EQ(pathEllipsis("C:\\ZOV", within(3)), "C:\\ZOV");
}

TEST_F(DirectoryCheckTest, TreeChainPathsAndListing) {
    EXPECT_EQ(dirtree::chain("C:\\Program Files\\ZOV"),
              (std::vector<std::string>{"c:\\", "Program Files", "ZOV"}));
    EXPECT_EQ(dirtree::chain("D:\\"), (std::vector<std::string>{"d:\\"}));
    EXPECT_EQ(dirtree::itemPath({"c:\\", "Program Files", "ZOV"}), "c:\\Program Files\\ZOV");
    EXPECT_EQ(dirtree::itemPath({"c:\\"}), "c:\\");

    sim.files.writeText("C:\\Games\\Beta\\readme.txt", "x");
    std::vector<std::string> games = dirtree::subfolders(machine, "c:\\Games\\");
    std::sort(games.begin(), games.end());
    EXPECT_EQ(games, (std::vector<std::string>{"Beta", "Client"}));
    // An unreadable folder lists the Windows drive's root instead.
    std::vector<std::string> fallback = dirtree::subfolders(machine, "Q:\\Nowhere");
    EXPECT_NE(std::find(fallback.begin(), fallback.end(), "Games"), fallback.end());

    using dirtree::OpenStep;
    EXPECT_EQ(dirtree::openStep(false, true, true), OpenStep::RemoveChildren);
    EXPECT_EQ(dirtree::openStep(true, true, true), OpenStep::Nothing);
    EXPECT_EQ(dirtree::openStep(true, true, false), OpenStep::RemoveFirstChild);
    EXPECT_FALSE(dirtree::expandAllowed(true, true));
    EXPECT_TRUE(dirtree::expandAllowed(true, false));
    EXPECT_TRUE(dirtree::expandAllowed(false, true));
}

TEST_F(DirectoryCheckTest, DriveListColumnsAndOrder) {
    DiskFigures f;
    f.systemDrive = 'C';
    f.installDrive = 'E';
    f.requiredSystem = 20480;
    f.requiredInstall = 102400;
    EXPECT_EQ(DriveList::availableText(sim.strings, true, 1228800), "1200MB");
    EXPECT_EQ(DriveList::availableText(sim.strings, false, 0), "-");
    EXPECT_EQ(DriveList::requiredText(sim.strings, 'c', f), "20MB");
    EXPECT_EQ(DriveList::requiredText(sim.strings, 'E', f), "100MB");
    EXPECT_EQ(DriveList::requiredText(sim.strings, 'F', f), "");
    f.installDrive = 'C';
    EXPECT_EQ(DriveList::requiredText(sim.strings, 'C', f), "120MB");

    std::vector<DriveRow> rows = {{"C:\\", "Local Disk (C:)", "1200MB", "120MB"},
                                  {"D:\\", "CD Drive (D:)", "-", ""},
                                  {"E:\\", "Data (E:)", "950MB", ""}};
    DriveList order;
    auto roots = [&] {
        std::string s;
        for (const DriveRow& r : rows)
            s += r.root[0];
        return s;
    };
    order.sortBy(rows, 1); // bytes: "-" < "1200MB" < "950MB"
    EXPECT_EQ(roots(), "DCE");
    order.sortBy(rows, 1);
    EXPECT_EQ(roots(), "ECD");
    order.sortBy(rows, 0);
    EXPECT_EQ(roots(), "DEC");
    EXPECT_TRUE(order.ascending());
}

// -- The disk cleanup dialog ------------------------------------------------------------------

class DiskCleanupTest : public ChecksFixture {
  protected:
    DiskFigures figures;
    void SetUp() override {
        ChecksFixture::SetUp();
        DiskCleanupModel::resetTickCounter();
        sim.system.driveTypes["E:\\"] = 3;
        sim.system.freeSpace["C:\\"] = 500 * MB;
        sim.system.freeSpace["E:\\"] = 10 * MB;
        figures.systemDrive = 'C';
        figures.installDrive = 'E';
        figures.requiredSystem = 100 * 1024;
        figures.requiredInstall = 200 * 1024;
        figures.availableSystem = 500 * 1024;
        figures.availableInstall = 10 * 1024;
        sim.checks.recycleBins["C:\\"] = {3, 300 * MB};
        sim.checks.recycleBins["E:\\"] = {0, 0};
    }
};

TEST_F(DiskCleanupTest, OnlyTheShortDrivesBinCounts) {
    DiskCleanupModel model(run, figures, false);
    model.start();
    const CleanupView& v = model.view();
    EXPECT_EQ(v.binSize, "");
    EXPECT_EQ(v.binHint, sim.strings.get(1040));
    EXPECT_FALSE(v.emptyEnabled);
    EXPECT_FALSE(v.binFull);
    EXPECT_EQ(v.tempHint, sim.strings.get(1329));
    EXPECT_FALSE(v.deleteEnabled);
    EXPECT_TRUE(v.focusContinue);
    EXPECT_FALSE(model.enough());
    EXPECT_EQ(events().back(), 107u);
}

TEST_F(DiskCleanupTest, BinTextsEmptyingAndTheTickCounter) {
    sim.checks.recycleBins["E:\\"] = {1, 400 * 1024}; // 0.4 MB
    DiskCleanupModel model(run, figures, true);
    model.start();
    EXPECT_EQ(model.view().binSize, sim.strings.get(1042));
    EXPECT_EQ(model.view().binHint, sim.strings.get(1283));
    EXPECT_TRUE(model.view().emptyEnabled);

    sim.checks.recycleBins["E:\\"] = {4, 2 * MB + MB / 4};
    EXPECT_TRUE(model.tick());
    EXPECT_EQ(model.view().binSize, "You currently have 2.25 MB of unnecessary files in your Recycle Bin.");

    // The empty button frees the short drive's bin only; enough space shows on a later tick.
    sim.system.freeSpace["E:\\"] = 400 * MB;
    model.emptyBin();
    EXPECT_EQ(sim.checks.emptiedBins, std::vector<std::string>{"E:\\"});
    model.tick(); // counter 1 -> 0: the bin text changes, its own shortfall update sees the space
    EXPECT_TRUE(model.enough());
    EXPECT_EQ(model.view().shortfall, sim.strings.get(195));
    EXPECT_FALSE(model.view().emptyEnabled);
}

TEST_F(DiskCleanupTest, TemporaryFilesAndExplorer) {
    const std::string old = sim.system.temp + "old.tmp";
    sim.files.writeBytes(old, std::vector<std::uint8_t>(3 * MB, 1));
    sim.checks.modified[pathKey(old)] = sim.clock.unixSeconds() - 8 * 86400;
    DiskCleanupModel model(run, figures, false);
    model.start();
    EXPECT_EQ(model.view().tempSize,
              "You currently have 3.00 MB of temporary files that have not been used in at least 1 week.");
    EXPECT_EQ(model.view().tempHint, sim.strings.get(1331));
    EXPECT_TRUE(model.view().deleteEnabled);
    model.deleteTemp();
    EXPECT_FALSE(sim.files.fileExists(old));
    EXPECT_EQ(model.view().tempHint, sim.strings.get(1329));
    model.launchExplorer();
    ASSERT_FALSE(sim.processes.starts.empty());
    EXPECT_EQ(sim.processes.starts.back().commandLine, "\"C:\\Windows\\explorer.exe\"");
    auto e = events();
    EXPECT_NE(std::find(e.begin(), e.end(), 111u), e.end());
    EXPECT_EQ(e.back(), 109u);
}

// -- The screens behind the checks' dialogs ---------------------------------------------------

struct ScriptedHost : PageHost {
    std::function<int(WizardPage&)> onPage;
    int showPage(WizardPage& page) override { return onPage(page); }
};

struct ScriptedDirectoryDialogs : DirectoryDialogs {
    std::string chosen;
    int selects = 0, cleanups = 0;
    int selectDirectory(SelectDirRequest& request) override {
        ++selects;
        EXPECT_EQ(request.templateId, 1037);
        EXPECT_EQ(request.prompt, 1314u);
        if (chosen.empty())
            return kBack;
        request.path = chosen;
        return kDone;
    }
    int diskCleanup(DiskCleanupModel& model) override {
        ++cleanups;
        model.start();
        return 1;
    }
};

TEST_F(DiskCleanupTest, ChangingTheDriveRetriesOnlyOnAnotherDrive) {
    ScriptedHost host;
    ScriptedDirectoryDialogs directories;
    session.installDirectory = "E:\\ZOV";
    ScreenDialogs screens(run, session, host, directories, dialogs);
    host.onPage = [](WizardPage& page) {
        EXPECT_TRUE(page.view().control(page_control::kChangeDrive) == nullptr);
        page.command(page_control::kDiskCleanup);
        return page.command(page_control::kChangeDrive).close ? page_result::kNext : page_result::kBack;
    };
    directories.chosen = "E:\\Other";
    EXPECT_EQ(screens.diskSpacePage(figures, false), page_result::kBack);
    EXPECT_EQ(session.installDirectory, "E:\\Other");
    directories.chosen = "C:\\ZOV";
    EXPECT_EQ(screens.diskSpacePage(figures, false), page_result::kNext);
    EXPECT_EQ(session.installDirectory, "C:\\ZOV");
    EXPECT_EQ(directories.cleanups, 2);

    // One fixed drive only: no change of drive.
    sim.system.driveTypes.erase("E:\\");
    host.onPage = [](WizardPage& page) {
        EXPECT_FALSE(page.view().control(page_control::kChangeDrive)->visible);
        return page_result::kNext;
    };
    screens.diskSpacePage(figures, false);
}

} // namespace
