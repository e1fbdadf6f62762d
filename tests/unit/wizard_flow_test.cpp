// The wizard flow on the simulated machine: the pages of every kind of install, where Back
// leads, and the pages' keyboard rules.
#include "common/client_db_writer.h"
#include "protocol/contract.h"
#include "ui/wizard_flow.h"
#include "unit/fake_frame.h"
#include "unit/run_fixture.h"

#include <gtest/gtest.h>

#include <deque>
#include <sstream>
#include <functional>

using namespace zov;
namespace c = zov::page_control;

namespace {

const std::string kClient = "C:\\Program Files\\ZOV 8.0";
const std::string kOther = "C:\\Old\\ZOV";
const std::string kVelquonet = "Software\\Velquonet\\Velquonet";

// Answers each page with a script of clicks (after its arming timers fired); a page without
// a script takes its Enter answer.
class ScriptedPages : public PageHost {
  public:
    std::deque<std::vector<int>> clicks;
    std::vector<int> shown;
    std::vector<PageView> views;
    bool failCreation = false;

    int showPage(WizardPage& page) override {
        if (failCreation)
            return kNotCreated;
        shown.push_back(page.templateId());
        views.push_back(page.view());
        for (const PageTimer& t : views.back().timers)
            page.timer(t.id);
        std::vector<int> script;
        if (!clicks.empty()) {
            script = clicks.front();
            clicks.pop_front();
        }
        for (int control : script)
            if (PageAction a = page.command(control); a.close)
                return a.result;
        if (PageAction a = page.enter(views.back().focus); a.close)
            return a.result;
        ADD_FAILURE() << "page " << page.templateId() << " did not close";
        return page_result::kNext;
    }
};

// A run of the flow on its own simulated machine; several may live in one test.
struct Rig {
    sim::SimMachine sim;
    Machine machine = sim.machine();
    Trace trace{machine.traceWire, machine.clock, machine.system};
    CInstallHistory history{{machine.profile, machine.files, machine.system, machine.registry, machine.clock,
                             machine.checks.disk},
                            "9.0",
                            "4327.271"};
    InstallSession session;
    Prompts prompts{machine.windows, machine.strings, session.silent};
    sim::ThrowingFinisher finisher;
    bool abort = false;
    RunContext run{machine, trace, history, prompts, finisher, abort};
    sim::FakeFrame frame;
    ClientScanner scanner{run, session};
    ScriptedPages pages;
    WizardFlow flow{run, session, scanner, frame, pages};

    Rig() {
        history.StartNew();
        session.frame = sim.windows.addWindow("ZOVInstallerClass", "Install ZOV 9.0 VR");
        session.installerPath = "D:\\setup.exe";
        sim.system.driveTypes["C:\\"] = 3;
    }

    void install(const std::string& folder, std::uint64_t lastUsed = 1000000) {
        sim.files.writeText(folder + "\\wzov.exe", "MZ");
        sim.files.writeBytes(folder + "\\idb\\main.idx",
                             tools::ClientDatabaseWriter().version("8.0").screenNames({"Bob"}).bytes());
        sim.discovery.times[folder + "\\idb\\main.idx"] = lastUsed;
    }
    void registered(const std::string& folder) {
        install(folder);
        sim.registry.setString(RegRoot::LocalMachine, kVelquonet + "\\CurrentVersion", "Apppath", folder);
    }
    void downloadsIn(const std::string& folder, const std::string& file = "news.txt") {
        sim.files.writeText(folder + "\\download\\" + file, "x");
    }
    std::string historyValue(const std::string& key) {
        history.RecordEvent(0); // writes the pending event
        return sim.profile.readString(history.path(), history.section(), key, "<absent>", 4096);
    }
    bool recorded(unsigned event) {
        std::stringstream items(historyValue("sc"));
        for (std::string item; std::getline(items, item, ',');)
            if (item.substr(item.find(':') + 1) == std::to_string(event))
                return true;
        return false;
    }
    // The exit code the flow ended the run with, or 0xFFFFFFFF when it returned.
    std::uint32_t runFlow() {
        try {
            flow.start();
        } catch (const sim::Exited& e) {
            return e.code;
        }
        return 0xFFFFFFFF;
    }
};

class Wizard : public ::testing::Test, public Rig {};

const char* instFor(char installType) {
    switch (installType) {
    case 'A':
        return "a";
    case 'C':
        return "b";
    case 'D':
        return "c";
    default:
        return "d";
    }
}

// Every kind of install: the pages in order and what reaches the session.
TEST_F(Wizard, PageOrderForEveryKindOfInstall) {
    struct Row {
        const char* kind;
        std::function<void(Rig&)> arrange;
        std::deque<std::vector<int>> clicks;
        std::vector<int> pages;
        char installType;
        char filesAction;
        std::string upgradeDirectory;
    };
    const Row rows[] = {
        {"new member", {}, {{c::kNewMember}}, {129}, 'A', 'A', ""},
        {"new member with -a",
         [](Rig& w) { w.session.forceDirectory = true; },
         {{c::kNewMember}, {}},
         {129, 139},
         'A',
         'A',
         ""},
        {"upgrade of the registered client with downloads",
         [](Rig& w) {
             w.registered(kClient);
             w.downloadsIn(kClient);
         },
         {{c::kCurrentMember}, {c::kUpgradeHere, c::kNext}, {c::kNext}, {c::kCopyFiles, c::kNext}, {}},
         {129, 138, 232, 141, 139},
         'C',
         'B',
         kClient},
        {"upgrade of the registered client without downloads",
         [](Rig& w) { w.registered(kClient); },
         {{c::kCurrentMember}, {}, {}, {}},
         {129, 138, 232, 139},
         'C',
         'C',
         kClient},
        {"upgrade chosen from the list after a search",
         [](Rig& w) {
             w.registered(kClient);
             w.install(kOther, 2000000);
         },
         {{c::kCurrentMember}, {}, {c::kSearchOthers, c::kNext}, {}, {}},
         {129, 138, 232, 140, 139},
         'C',
         'C',
         kOther},
        {"upgrade from the cached list, with a Scan",
         [](Rig& w) {
             w.registered(kClient);
             w.install(kOther, 2000000);
             w.sim.registry.setString(RegRoot::LocalMachine, kVelquonet + "\\Installs", "", "1");
             w.sim.registry.setString(RegRoot::LocalMachine, kVelquonet + "\\Installs", kClient, "8.0,1,0");
         },
         {{c::kCurrentMember}, {}, {c::kSearchOthers, c::kNext}, {c::kScanDrives}, {}, {}},
         {129, 138, 232, 140, 140, 139},
         'C',
         'C',
         kOther},
        {"no upgradable client", {}, {{c::kCurrentMember}, {}, {}}, {129, 138, 139}, 'E', 'A', ""},
        {"add an existing account",
         {},
         {{c::kCurrentMember}, {c::kAddAccount, c::kNext}, {}},
         {129, 138, 139},
         'D',
         'A',
         ""},
        {"additional account",
         {},
         {{c::kCurrentMember}, {c::kAdditionalAccount, c::kNext}, {}},
         {129, 138, 139},
         'E',
         'A',
         ""},
        {"screen-name install",
         [](Rig& w) {
             w.session.screenNameWelcome = true;
             w.session.installType = 'E';
             w.session.brandScreenName = "Newcomer";
         },
         {{c::kScreenName}, {}},
         {227, 139},
         'E',
         'A',
         ""},
        {"easy new member (-n)", [](Rig& w) { w.session.showWelcome = false; }, {}, {}, 'A', 'A', ""},
        {"easy member page (-e)",
         [](Rig& w) {
             w.session.showWelcome = false;
             w.session.installType = 'C';
         },
         {{c::kAddAccount, c::kNext}, {}},
         {138, 139},
         'D',
         'A',
         ""},
        {"easy upgrade (-eu)",
         [](Rig& w) {
             w.session.showWelcome = w.session.showMember = w.session.showDirectory = false;
             w.session.installType = 'C';
             w.session.upgradeTargetFixed = true;
             w.session.upgradeDirectory = kClient;
         },
         {},
         {},
         'C',
         'A',
         kClient},
        {"branded screen name (-b)",
         [](Rig& w) {
             w.session.showWelcome = w.session.showMember = false;
             w.session.installType = 'E';
         },
         {{}},
         {139},
         'E',
         'A',
         ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.kind);
        Rig w;
        if (row.arrange)
            row.arrange(w);
        w.pages.clicks = row.clicks;
        EXPECT_EQ(w.runFlow(), 0xFFFFFFFFu);
        EXPECT_EQ(w.pages.shown, row.pages);
        EXPECT_EQ(w.session.installType, row.installType);
        EXPECT_EQ(w.session.filesAction, row.filesAction);
        EXPECT_EQ(w.session.upgradeDirectory, row.upgradeDirectory);
        EXPECT_FALSE(w.abort);
        EXPECT_EQ(w.historyValue("inst"), instFor(row.installType));
    }
}

TEST_F(Wizard, NoUpgradableClientTellsTheUser) {
    pages.clicks = {{c::kCurrentMember}};
    runFlow();
    EXPECT_TRUE(recorded(113));
    ASSERT_EQ(sim.windows.boxes.size(), 1u);
    EXPECT_EQ(sim.windows.boxes[0].text, sim.strings.get(1267));
}

TEST_F(Wizard, BackFromTheDirectoryPageOfAnUpgrade) {
    // Downloads present: back to the downloads page.
    registered(kClient);
    downloadsIn(kClient);
    pages.clicks = {{c::kCurrentMember}, {}, {}, {}, {c::kBack}, {}, {}};
    runFlow();
    EXPECT_EQ(pages.shown, (std::vector<int>{129, 138, 232, 141, 139, 141, 139}));

    // Chosen on the recent-version page without downloads: back to the member page.
    Rig recent;
    recent.registered(kClient);
    recent.pages.clicks = {{c::kCurrentMember}, {}, {}, {c::kBack}, {}, {}, {}};
    recent.runFlow();
    EXPECT_EQ(recent.pages.shown, (std::vector<int>{129, 138, 232, 139, 138, 232, 139}));

    // Chosen from the list: back to the list, which keeps the choice.
    Rig list;
    list.registered(kClient);
    list.install(kOther, 2000000);
    list.pages.clicks = {{c::kCurrentMember}, {}, {c::kSearchOthers, c::kNext}, {}, {c::kBack}, {}, {}};
    list.runFlow();
    EXPECT_EQ(list.pages.shown, (std::vector<int>{129, 138, 232, 140, 139, 140, 139}));
    EXPECT_EQ(list.pages.views[5].list->selected, 0) << "the chosen client stays selected";
}

TEST_F(Wizard, NewerClientFoundBySearchAsksOnceAndNoEndsWith183) {
    registered(kClient);
    sim.files.writeText("C:\\New\\wzov.exe", "MZ");
    sim.files.writeBytes("C:\\New\\idb\\main.idx",
                         tools::ClientDatabaseWriter().version("10.0").screenNames({"Bob"}).bytes());
    sim.windows.boxAnswers = {BoxAnswer::No, BoxAnswer::No};
    pages.clicks = {{c::kCurrentMember}, {}, {c::kSearchOthers, c::kNext}};
    EXPECT_EQ(runFlow(), 183u);
    ASSERT_EQ(sim.windows.boxes.size(), 2u);
    EXPECT_EQ(sim.windows.boxes[0].text, scanner_text::kNewerQuestion);
    EXPECT_TRUE(abort);
}

TEST_F(Wizard, DownloadFolderWithOnlyTheShortcutIsEmpty) {
    registered(kClient);
    downloadsIn(kClient, "ZOV Downloads.lnk");
    pages.clicks = {{c::kCurrentMember}};
    runFlow();
    EXPECT_EQ(pages.shown, (std::vector<int>{129, 138, 232, 139}));
    EXPECT_EQ(session.filesAction, 'C');
}

TEST_F(Wizard, MovingTheDownloadsRemovesTheirShortcut) {
    registered(kClient);
    downloadsIn(kClient);
    downloadsIn(kClient, "ZOV Downloads.lnk");
    pages.clicks = {{c::kCurrentMember}, {}, {}, {c::kMoveFiles, c::kNext}};
    runFlow();
    EXPECT_FALSE(sim.files.fileExists(kClient + "\\download\\ZOV Downloads.lnk"));
    EXPECT_TRUE(recorded(103));
}

TEST_F(Wizard, BackButtonsHiddenWhenThereIsNothingToGoBackTo) {
    auto backHidden = [](const PageView& v) {
        const ControlState* back = v.control(c::kBack);
        return back != nullptr && !back->visible;
    };
    session.showWelcome = false;
    session.installType = 'C';
    pages.clicks = {{c::kAddAccount, c::kNext}};
    runFlow();
    ASSERT_EQ(pages.views.size(), 2u);
    EXPECT_TRUE(backHidden(pages.views[0])) << "member page without a welcome page";
    EXPECT_FALSE(backHidden(pages.views[1])) << "type D with its member page has Back";

    Rig none;
    none.session.showWelcome = none.session.showMember = false;
    none.session.installType = 'D';
    none.runFlow();
    ASSERT_EQ(none.pages.views.size(), 1u);
    EXPECT_TRUE(backHidden(none.pages.views[0]));
}

TEST_F(Wizard, WelcomeBodyComesFromTheCdsSettings) {
    sim.profile.writeString("D:\\comps.ini", "ltext", "text", "Welcome back!");
    runFlow();
    ASSERT_EQ(pages.views.size(), 1u);
    EXPECT_EQ(pages.views[0].control(c::kBody)->text, "Welcome back!");
}

TEST_F(Wizard, PagesThatCannotBeMadeOrAreLeftEndTheRun) {
    pages.failCreation = true;
    EXPECT_EQ(runFlow(), 14u);
    EXPECT_TRUE(recorded(112));
    // A welcome page that comes back with the abort flag set (the frame's Exit) ends with 183.
    struct AbortingPages : PageHost {
        bool& abort;
        explicit AbortingPages(bool& a) : abort(a) {}
        int showPage(WizardPage&) override {
            abort = true;
            return page_result::kNext;
        }
    };
    Rig left;
    AbortingPages aborting(left.abort);
    left.flow.setPageHost(aborting);
    EXPECT_EQ(left.runFlow(), 183u);
}

// --- The pages' own rules --------------------------------------------------------------------

TEST_F(Wizard, WelcomeKeyboardRules) {
    WelcomePage page(session, sim.strings, "");
    EXPECT_EQ(page.view().focus, c::kNewMember);
    // Tab changes the install type at once; Enter without a screen reader follows it.
    EXPECT_EQ(page.tabbedTo(c::kCurrentMember).focus, c::kCurrentMember);
    EXPECT_EQ(session.installType, 'C');
    EXPECT_TRUE(page.enter(c::kNewMember).close);
    EXPECT_EQ(session.installType, 'C');
    // With a screen reader Enter follows the focus.
    session.screenReader = true;
    EXPECT_TRUE(page.enter(c::kNewMember).close);
    EXPECT_EQ(session.installType, 'A');
    // Current member keeps an account kind chosen before.
    session.installType = 'D';
    page.command(c::kCurrentMember);
    EXPECT_EQ(session.installType, 'D');
}

TEST_F(Wizard, ScreenNameWelcomeStoresTheChoice) {
    session.installType = 'E';
    session.brandScreenName = "Newcomer";
    WelcomeScreenNamePage page(session, sim.strings);
    EXPECT_EQ(page.view().control(c::kScreenName)->text, "Newcomer");
    page.command(c::kCurrentMember);
    EXPECT_EQ(session.installType, 'E');
    EXPECT_TRUE(session.showMember);
    EXPECT_FALSE(session.useScreenName);
    EXPECT_TRUE(page.enter(0).close);
    EXPECT_TRUE(session.useScreenName) << "without a screen reader Enter follows the install type";
    EXPECT_FALSE(session.showMember);
}

TEST_F(Wizard, EnterOnBackGoesBackOnlyWhereThePageSaysSo) {
    MemberTypePage member(session, false);
    EXPECT_EQ(member.enter(c::kBack).result, page_result::kBack);
    DownloadsActionPage downloads(session);
    downloads.timer(WizardPage::kArmTimer);
    EXPECT_EQ(downloads.enter(c::kBack).result, page_result::kNext) << "no screen reader";
    session.screenReader = true;
    EXPECT_EQ(downloads.enter(c::kBack).result, page_result::kBack);
}

TEST_F(Wizard, NextIsArmedOnly300MsAfterThePageAppears) {
    session.filesAction = 'C';
    DownloadsActionPage downloads(session);
    ASSERT_EQ(downloads.view().timers.size(), 1u);
    EXPECT_EQ(downloads.view().timers[0].periodMs, 300u);
    EXPECT_FALSE(downloads.command(c::kNext).close);
    EXPECT_FALSE(downloads.enter(0).close);
    EXPECT_EQ(downloads.view().control(c::kLeaveFiles)->checked, true);
    downloads.command(c::kCopyFiles);
    EXPECT_EQ(session.filesAction, 'B') << "a click stores at once";
    EXPECT_TRUE(downloads.command(c::kBack).close) << "Back is never held";
    RecentVersionPage recent(session, kClient);
    EXPECT_FALSE(recent.command(c::kNext).close);
    recent.timer(WizardPage::kArmTimer);
    EXPECT_TRUE(recent.command(c::kNext).close);
}

TEST_F(Wizard, UpgradeListRules) {
    std::vector<ClientListEntry> entries = {{"ZOV 8.0, in C:\\A", "C:\\A"}, {"ZOV 7.0, in C:\\B", "C:\\B"}};
    session.upgradeDirectory = "c:\\b";
    UpgradeListPage page(session, sim.strings, entries, false);
    PageView v = page.view();
    EXPECT_EQ(v.list->selected, 1) << "the folder matches without letter case";
    EXPECT_EQ(v.control(c::kBody)->text, sim.strings.get(40));
    EXPECT_EQ(page.enter(c::kBack).result, page_result::kNext) << "no screen reader";
    EXPECT_EQ(session.upgradeDirectory, "C:\\B");
    page.selectRow(-1);
    EXPECT_EQ(page.command(c::kBack).result, page_result::kBack);
    EXPECT_EQ(session.upgradeDirectory, "C:\\A") << "no selection takes the first row";

    UpgradeListPage scanned(session, sim.strings, entries, true);
    EXPECT_FALSE(scanned.view().control(c::kScanDrives)->visible);
    EXPECT_EQ(scanned.view().control(c::kBody)->text, sim.strings.get(24));
    EXPECT_FALSE(scanned.command(c::kScanDrives).close) << "a second scan is impossible";

    std::vector<ClientListEntry> none;
    UpgradeListPage empty(session, sim.strings, none, false);
    EXPECT_TRUE(empty.command(c::kNext).close);
    EXPECT_EQ(session.upgradeDirectory, "C:\\A") << "an empty list changes nothing";

    EXPECT_EQ(listHorizontalExtent({120, 310, 44}), 316);
    EXPECT_EQ(listHorizontalExtent({}), 0);
    EXPECT_EQ(tabStopPixels(16, averageCharWidth(52 * 7)), 28);
}

} // namespace
