// The client scanner on the simulated machine: folder tests, language and version rules, the
// registry's clients, the cache, the disk search and the ordered client list.
#include "common/client_db_writer.h"
#include "discovery/scanner.h"
#include "protocol/contract.h"
#include "unit/run_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace zov;
using Writer = zov::tools::ClientDatabaseWriter;

namespace {

const std::string kInstalls = "Software\\Velquonet\\Velquonet\\Installs";
const std::string kCurrentVersion = "Software\\Velquonet\\Velquonet\\CurrentVersion";

Writer clientDb(const std::string& version = "9.0", const std::vector<std::string>& names = {"Alice"},
                int language = 0, int country = 1, unsigned major = 4000, unsigned minor = 1,
                char letter = 0) {
    Writer w;
    w.version(version).build(major, minor, letter, 1).language(static_cast<std::int16_t>(language));
    w.country(static_cast<std::uint8_t>(country)).codebase("4000.1").screenNames(names);
    return w;
}

class Scanner : public sim::RunFixture {
  protected:
    Scanner() {
        sim.traceWire.monitor = 0x4242;
        trace.start();
        sim.traceWire.lines.clear(); // the sender's own greeting
        sim.system.driveTypes["C:\\"] = 3;
        sim.system.driveTypes["D:\\"] = 5;
        sim.windows.onPump = [this](sim::SimMachine&) { ++pumpsSeen; };
    }

    // A client folder with its program and database; the database's time when given.
    void install(const std::string& folder, const Writer& db, std::optional<std::uint64_t> time = 1000000) {
        sim.files.writeText(folder + "\\wzov.exe", "MZ");
        sim.files.writeBytes(folder + "\\idb\\main.idx", db.bytes());
        sim.discovery.times[folder + "\\idb\\main.idx"] = time;
    }

    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        for (const auto& l : sim.traceWire.lines)
            out.push_back(l.text);
        return out;
    }
    bool traced(const std::string& text) const {
        auto l = lines();
        return std::find(l.begin(), l.end(), text) != l.end();
    }
    std::optional<std::string> cached(const std::string& folder) {
        return sim.registry.readString(RegRoot::LocalMachine, kInstalls, folder);
    }
    std::vector<std::string> listedFolders() const {
        std::vector<std::string> out;
        for (const auto& e : scanner.clientList())
            out.push_back(e.folder);
        return out;
    }

    ClientScanner scanner{run, session};
    int pumpsSeen = 0;
};

// --- TestClientFolder -----------------------------------------------------------------------

TEST_F(Scanner, FolderWithoutProgramOrDatabaseIsRejectedSilently) {
    sim.files.writeBytes("C:\\A\\idb\\main.idx", clientDb().bytes());
    EXPECT_FALSE(scanner.TestClientFolder(0, "C:\\A", true));
    sim.files.writeText("C:\\B\\wzov.exe", "MZ");
    EXPECT_FALSE(scanner.TestClientFolder(0, "C:\\B", true));
    sim.files.writeText("C:\\C\\wzov.exe", "MZ");
    sim.files.makeDirectory("C:\\C\\idb");
    EXPECT_FALSE(scanner.TestClientFolder(0, "C:\\C", true)) << "an idb folder without a signed file";
    EXPECT_TRUE(lines().empty());
    EXPECT_FALSE(sim.registry.keyExists(RegRoot::LocalMachine, kInstalls));
}

TEST_F(Scanner, SignedDatabaseUnderAnotherNameIsFound) {
    sim.files.writeText("C:\\ZOV\\wzov.exe", "MZ");
    sim.files.writeBytes("C:\\ZOV\\idb\\other.dat", clientDb().bytes());
    EXPECT_TRUE(scanner.TestClientFolder(0, "C:\\ZOV", true));
    EXPECT_TRUE(traced("Searching: Found possible client in C:\\ZOV"));
    EXPECT_EQ(cached("C:\\ZOV"), "9.0,1,0");
    ASSERT_EQ(scanner.candidates().size(), 1u);
    EXPECT_EQ(scanner.candidates().front().label, "ZOV 9.0");
}

TEST_F(Scanner, ClientInTheRecycleBinIsNeverFound) {
    install("C:\\RECYCLER\\S-1-5\\Dc1\\ZOV", clientDb());
    EXPECT_FALSE(scanner.TestClientFolder(0, "C:\\RECYCLER\\S-1-5\\Dc1\\ZOV", true));
    install("C:\\$Recycle.Bin\\S-1\\ZOV", clientDb());
    EXPECT_FALSE(scanner.TestClientFolder(0, "C:\\$Recycle.Bin\\S-1\\ZOV", true));
    EXPECT_TRUE(lines().empty());
}

TEST_F(Scanner, DataDirectoryFromAppdataIni) {
    sim.files.writeText("C:\\ZOV\\wzov.exe", "MZ");
    sim.writeText("C:\\ZOV\\appdata.ini", "[appdata]\r\nCommon=\r\nFolder=ZOV Data\r\n");
    sim.files.writeBytes("C:\\ProgramData\\ZOV Data\\idb\\main.idx", clientDb().bytes());
    EXPECT_TRUE(scanner.TestClientFolder(0, "C:\\ZOV", false));
    sim.files.writeText("C:\\Z2\\wzov.exe", "MZ");
    sim.writeText("C:\\Z2\\appdata.ini", "[appdata]\r\nCommon=E:\\Base\r\nFolder=D2\r\n");
    sim.files.writeBytes("E:\\Base\\D2\\idb\\main.idx", clientDb().bytes());
    EXPECT_TRUE(scanner.TestClientFolder(0, "C:\\Z2", false));
    EXPECT_FALSE(sim.registry.keyExists(RegRoot::LocalMachine, kInstalls)) << "no cache writes asked for";
}

TEST_F(Scanner, DatabaseWithoutVersionIsCachedAndIgnored) {
    Writer noVersion;
    noVersion.screenNames({"Alice"});
    install("C:\\Z", noVersion);
    EXPECT_FALSE(scanner.TestClientFolder(0, "C:\\Z", true));
    EXPECT_TRUE(traced("no version string, ignored"));
    EXPECT_EQ(cached("C:\\Z"), ",-1,-1");
}

TEST_F(Scanner, ScreenNameRules) {
    install("C:\\Empty", clientDb("9.0", {}));
    EXPECT_FALSE(scanner.TestClientFolder(0, "C:\\Empty", false));
    EXPECT_TRUE(traced("no screen names, ignored"));
    install("C:\\Guest5", clientDb("9.0", {"Guest     "}));
    EXPECT_FALSE(scanner.TestClientFolder(0, "C:\\Guest5", false));
    EXPECT_TRUE(traced("client not registered, ignored"));
    install("C:\\NewUser", clientDb("9.0", {"New User  "}));
    EXPECT_FALSE(scanner.TestClientFolder(0, "C:\\NewUser", false));
    install("C:\\Guest", clientDb("9.0", {"Guest"}));
    EXPECT_TRUE(scanner.TestClientFolder(0, "C:\\Guest", false)) << "without its blanks it is a real name";
    install("C:\\Member", clientDb("9.0", {"existing member"}));
    EXPECT_TRUE(scanner.TestClientFolder(0, "C:\\Member", false)) << "letter case counts";
    EXPECT_EQ(scanner.firstScreenName(), "existing member");
}

TEST_F(Scanner, MalformedPlaceholderAndLabelSettings) {
    scanner.settings.placeholderNames = "||" + std::string(3000, 'x') + "||Bob";
    scanner.settings.versionLabels = "|Empty|9.0";
    install("C:\\A", clientDb("9.0", {"Bob"}));
    EXPECT_FALSE(scanner.TestClientFolder(0, "C:\\A", false));
    install("C:\\B", clientDb("9.0", {"Carol"}));
    ASSERT_TRUE(scanner.TestClientFolder(0, "C:\\B", false));
    EXPECT_EQ(scanner.candidates().back().label, "ZOV")
        << "a pair without a label and an empty text match nothing";
}

TEST_F(Scanner, VersionLabelsIgnoreCaseAndFallBack) {
    scanner.settings.versionLabels = "9.0A|Beta label";
    install("C:\\A", clientDb("9.0a"));
    ASSERT_TRUE(scanner.TestClientFolder(0, "C:\\A", false));
    EXPECT_EQ(scanner.candidates().back().label, "Beta label");
    scanner.settings = ScannerSettings{};
    install("C:\\B", clientDb("7.2"));
    ASSERT_TRUE(scanner.TestClientFolder(0, "C:\\B", false));
    EXPECT_EQ(scanner.candidates().back().label, "ZOV 7.0");
    install("C:\\C", clientDb("1.5"));
    ASSERT_TRUE(scanner.TestClientFolder(0, "C:\\C", false));
    EXPECT_EQ(scanner.candidates().back().label, "ZOV");
}

// --- language and version rules ---------------------------------------------------------------

TEST_F(Scanner, LanguageRules) {
    struct Case {
        std::string lp, cp;
        int la, ca;
        bool allowed;
        const char* line;
    };
    const Case cases[] = {
        {"5", "7", 5, 7, true, nullptr},   // 1: the same
        {"0", "1", -1, -1, true, nullptr}, // 2: a 3.0 client
        {"-1", "-1", 0, 1, true, nullptr}, // 2
        {"2", "49", 2, -1, true, nullptr}, // 3
        {"0", "2", -1, 1, true, nullptr},  // 4
        {"0", "1", 6, 1, true,
         "Language Upgrade Allowed. Language of Upgrading client found in IDSPREFS_LANGUPG."},
        {"0", "1", 10, 1, false,
         "Language Upgrade Not Allowed.  Language of Upgrading client NOT found in IDSPREFS_LANGUPG."},
        {"0", "1", 0, 33, false, "Language Upgrade Not Allowed. Country codes do not match."},
    };
    for (const Case& c : cases) {
        session.langCode = c.lp;
        session.countryCode = c.cp;
        sim.traceWire.lines.clear();
        EXPECT_EQ(scanner.CheckLanguageUpgrade(c.la, c.ca), c.allowed) << c.lp << "/" << c.cp << " " << c.la;
        if (c.line)
            EXPECT_TRUE(traced(c.line)) << c.line;
        else
            EXPECT_TRUE(lines().empty());
    }
    session.langCode = "0";
    session.countryCode = "1";
    scanner.settings.allowLanguageUpgrade = "n";
    EXPECT_FALSE(scanner.CheckLanguageUpgrade(6, 1));
    EXPECT_TRUE(traced("Language Upgrade Not Allowed. IDSPREFS_ALLOWLANGUPG = N"));
    scanner.settings.allowLanguageUpgrade = "y";
    EXPECT_TRUE(scanner.CheckLanguageUpgrade(6, 1));
}

TEST_F(Scanner, IncompatibleLanguageIsIgnored) {
    install("C:\\Fr", clientDb("9.0", {"Alice"}, 10, 1));
    EXPECT_FALSE(scanner.TestClientFolder(0, "C:\\Fr", true));
    EXPECT_TRUE(traced("not compatible language, ignored"));
    EXPECT_EQ(cached("C:\\Fr"), "9.0,1,10");
}

TEST_F(Scanner, SameBuildAgainstOtherBuild) {
    session.realVersion = "9.0";
    session.sameBuilds = "4000.1,4327.271";
    EXPECT_EQ(scanner.CompareClientVersion(0x00090000, 4327, 271, 0), 0);
    EXPECT_EQ(scanner.CompareClientVersion(0x00090000, 4327 + 65536, 271, 0), 0)
        << "compared as 16-bit values";
    EXPECT_EQ(scanner.CompareClientVersion(0x00090000, 4327, 272, 0), -1) << "another build is older";
    EXPECT_EQ(scanner.CompareClientVersion(0x00090000, 4327, 271, 'a'), -1) << "the letter counts";
    session.revision = 'a';
    EXPECT_EQ(scanner.CompareClientVersion(0x00090000, 4327, 271, 'a'), 0);
    EXPECT_EQ(scanner.CompareClientVersion(0x00080000, 4327, 271, 'a'), -1);
    EXPECT_EQ(scanner.CompareClientVersion(0x00090001, 1, 1, 0), 1);
}

TEST_F(Scanner, MalformedProductVersionSettings) {
    session.realVersion = "9"; // no '.': read as 9.0
    session.sameBuilds = "4327,4327.271x,,.";
    EXPECT_EQ(scanner.CompareClientVersion(0x00090000, 4327, 271, 0), 0)
        << "trailing letters after the minor";
    EXPECT_EQ(scanner.CompareClientVersion(0x00090000, 4327, 0, 0), -1) << "a piece without '.' is no build";
    EXPECT_EQ(scanner.CompareClientVersion(0x00090000, 0, 0, 0), 0) << "'.' reads as 0.0";
}

TEST_F(Scanner, NewerClientIsNeverListedButSetsTheComparison) {
    install("C:\\Old", clientDb("8.0"));
    install("C:\\New", clientDb("10.0", {"Alice"}, 0, 1, 5000, 1));
    install("C:\\Older", clientDb("7.0"));
    EXPECT_TRUE(scanner.TestClientFolder(0, "C:\\Old", false));
    EXPECT_EQ(scanner.comparisonResult(), -1);
    EXPECT_TRUE(scanner.TestClientFolder(0, "C:\\New", false));
    EXPECT_TRUE(traced("Client is newer version -- C:\\New"));
    EXPECT_TRUE(scanner.TestClientFolder(0, "C:\\Older", false));
    EXPECT_EQ(scanner.comparisonResult(), 1);
    EXPECT_EQ(scanner.bestFolder(), "C:\\New");
    EXPECT_EQ(scanner.highestVersion(), 0x000A0000u);
    ASSERT_EQ(scanner.candidates().size(), 2u);
    EXPECT_EQ(scanner.candidates().front().folder, "C:\\Old");
    EXPECT_EQ(scanner.candidates().back().folder, "C:\\Older");
}

TEST_F(Scanner, SameClientSetsComparisonZeroAndTracesItsBuild) {
    session.realVersion = "9.0";
    session.sameBuilds = "4000.1";
    install("C:\\Same", clientDb("9.0", {"Alice"}, 0, 1, 4000, 1));
    EXPECT_TRUE(scanner.TestClientFolder(0, "C:\\Same", false));
    EXPECT_EQ(scanner.comparisonResult(), 0);
    EXPECT_TRUE(traced("Found client checks out..."));
    EXPECT_TRUE(traced("Client is same version -- C:\\Same"));
    EXPECT_TRUE(traced("Found build = 4000.1"));
    EXPECT_TRUE(traced("Adding found client to the list..."));
    EXPECT_EQ(scanner.candidates().size(), 1u) << "the same version is still listed";
}

// --- the client list --------------------------------------------------------------------------

TEST_F(Scanner, ListIsOrderedByLastUseWithTiesInFoundOrder) {
    sim.registry.setString(RegRoot::CurrentUser, "Control Panel\\International", "sShortDate", "yyyy-MM-dd");
    install("C:\\A", clientDb(), 1000000000);
    install("C:\\B", clientDb(), 1500000000);
    install("C:\\C", clientDb(), std::nullopt); // the time cannot be read
    install("C:\\D", clientDb(), 1000000000);
    for (const char* f : {"C:\\A", "C:\\B", "C:\\C", "C:\\D"})
        ASSERT_TRUE(scanner.TestClientFolder(0, f, false));
    scanner.buildClientList();
    EXPECT_EQ(listedFolders(), (std::vector<std::string>{"C:\\B", "C:\\A", "C:\\D", "C:\\C"}));
    EXPECT_EQ(scanner.clientList()[0].text, "ZOV 9.0, in C:\\B, last used 2017-07-14");
    EXPECT_EQ(scanner.clientList()[3].text, "ZOV 9.0, in C:\\C, never used");
    EXPECT_TRUE(scanner.candidates().empty());
    EXPECT_EQ(scanner.clientCount(), 4u);
}

TEST_F(Scanner, DatePictureFromWinIniAndAPlainFallback) {
    sim.writeText("C:\\Windows\\win.ini", "[intl]\r\nsShortDate=d.M.yy\r\n");
    install("C:\\A", clientDb(), 1000000000); // 2001-09-09 01:46:40 UTC
    ASSERT_TRUE(scanner.TestClientFolder(0, "C:\\A", false));
    scanner.buildClientList();
    EXPECT_EQ(scanner.clientList()[0].text, "ZOV 9.0, in C:\\A, last used 9.9.01");
    sim.discovery.refusedPictures.insert("d.M.yy");
    ASSERT_TRUE(scanner.TestClientFolder(0, "C:\\A", false));
    scanner.buildClientList();
    EXPECT_EQ(scanner.clientList()[0].text, "ZOV 9.0, in C:\\A, last used 09/09/2001");
}

TEST_F(Scanner, ListTextsFromSettingsCannotReadMissingArguments) {
    scanner.settings.neverUsedText = "%s %d %s %s %s%%";
    install("C:\\A", clientDb(), std::nullopt);
    ASSERT_TRUE(scanner.TestClientFolder(0, "C:\\A", false));
    scanner.buildClientList();
    EXPECT_EQ(scanner.clientList()[0].text, "ZOV 9.0 %d C:\\A  %");
}

// --- the registry's clients and the cache -------------------------------------------------------

TEST_F(Scanner, LastRegisteredClientMustBeANonEmptyString) {
    EXPECT_EQ(scanner.FindLastRegisteredClient(), std::nullopt);
    const std::string key = "Software\\Velquonet\\Velquonet";
    sim.registry.setDword(RegRoot::LocalMachine, key, "LastRegisteredAppPath", 5);
    EXPECT_EQ(scanner.FindLastRegisteredClient(), std::nullopt);
    sim.registry.setString(RegRoot::LocalMachine, key, "LastRegisteredAppPath", std::string(260, 'x'));
    EXPECT_EQ(scanner.FindLastRegisteredClient(), std::nullopt) << "does not fit 260 bytes";
    sim.registry.setString(RegRoot::LocalMachine, key, "LastRegisteredAppPath", "C:\\ZOV");
    EXPECT_EQ(scanner.FindLastRegisteredClient(), "C:\\ZOV");
}

TEST_F(Scanner, RegisteredOlderClientIsTheOneChoice) {
    install("C:\\Progra~1\\ZOV", clientDb("8.0"));
    sim.registry.setString(RegRoot::LocalMachine, "Software\\ZOV\\ZOV\\CurrentVersion", "Apppath",
                           "C:\\Wrong");
    sim.registry.setString(RegRoot::LocalMachine, kCurrentVersion, "Apppath", "C:\\PROGRA~1\\ZOV");
    sim.discovery.longNames["C:\\PROGRA~1\\ZOV"] = "C:\\Progra~1\\ZOV";
    EXPECT_EQ(scanner.CheckRegisteredClient(), 1);
    EXPECT_TRUE(scanner.apppathFound());
    EXPECT_EQ(scanner.registeredFolder(), "C:\\Progra~1\\ZOV");
    EXPECT_EQ(scanner.clientCount(), 1u);
    EXPECT_TRUE(scanner.candidates().empty());
    EXPECT_TRUE(sim.windows.boxes.empty());
    EXPECT_EQ(cached("C:\\Progra~1\\ZOV"), "8.0,1,0");
}

TEST_F(Scanner, RegisteredClientMissingOrRejected) {
    EXPECT_EQ(scanner.CheckRegisteredClient(), 0);
    EXPECT_FALSE(scanner.apppathFound());
    sim.registry.createKey(RegRoot::LocalMachine, kCurrentVersion); // opens, but no value
    sim.registry.setString(RegRoot::LocalMachine, "Software\\Velquonet\\ZOV\\CurrentVersion", "Apppath",
                           "C:\\Z");
    EXPECT_EQ(scanner.CheckRegisteredClient(), 0) << "only the first key that opens is asked";
    EXPECT_FALSE(scanner.apppathFound());
    sim.registry.setString(RegRoot::LocalMachine, kCurrentVersion, "Apppath", "C:\\Nothing");
    EXPECT_EQ(scanner.CheckRegisteredClient(), 0);
    EXPECT_TRUE(scanner.apppathFound());
}

TEST_F(Scanner, NewerRegisteredClientAsksAndOffersToStartIt) {
    install("C:\\ZOV", clientDb("10.0", {"Alice"}, 0, 1, 5000, 1));
    sim.registry.setString(RegRoot::LocalMachine, kCurrentVersion, "Apppath", "C:\\ZOV");
    sim.windows.boxAnswers = {BoxAnswer::No, BoxAnswer::Yes};
    EXPECT_EQ(endCode([&] { scanner.CheckRegisteredClient(); }), 183u);
    EXPECT_TRUE(abort);
    ASSERT_EQ(sim.windows.boxes.size(), 2u);
    EXPECT_EQ(sim.windows.boxes[0].text, scanner_text::kNewerQuestion);
    EXPECT_EQ(sim.windows.boxes[1].text, scanner_text::kRunNewerQuestion);
    ASSERT_EQ(sim.processes.starts.size(), 1u);
    EXPECT_EQ(sim.processes.starts[0].commandLine, "\"C:\\ZOV\\wzov.exe\"");
    EXPECT_FALSE(sim.processes.starts[0].showMaximized);
}

TEST_F(Scanner, NewerRegisteredClientWithAFixedTargetOrAYes) {
    install("C:\\ZOV", clientDb("10.0", {"Alice"}, 0, 1, 5000, 1));
    sim.registry.setString(RegRoot::LocalMachine, kCurrentVersion, "Apppath", "C:\\ZOV");
    session.upgradeTargetFixed = true;
    EXPECT_EQ(scanner.CheckRegisteredClient(), 1);
    EXPECT_TRUE(sim.windows.boxes.empty());
    session.upgradeTargetFixed = false;
    sim.windows.boxAnswers = {BoxAnswer::Yes};
    EXPECT_EQ(scanner.CheckRegisteredClient(), 1);
    EXPECT_EQ(sim.windows.boxes.size(), 1u);
}

TEST_F(Scanner, SameRegisteredClientAsksTheSameVersionQuestion) {
    session.realVersion = "9.0";
    session.sameBuilds = "4000.1";
    install("C:\\ZOV", clientDb("9.0"));
    sim.registry.setString(RegRoot::LocalMachine, kCurrentVersion, "Apppath", "C:\\ZOV");
    sim.windows.boxAnswers = {BoxAnswer::No, BoxAnswer::No};
    EXPECT_EQ(endCode([&] { scanner.CheckRegisteredClient(); }), 183u);
    ASSERT_EQ(sim.windows.boxes.size(), 2u);
    EXPECT_EQ(sim.windows.boxes[0].text, scanner_text::kSameQuestion);
    EXPECT_EQ(sim.windows.boxes[1].text, scanner_text::kRunSameQuestion);
    EXPECT_TRUE(sim.processes.starts.empty());
    session.silent = true; // silently every question is a Yes
    EXPECT_EQ(scanner.CheckRegisteredClient(), 1);
}

TEST_F(Scanner, RegisteredCheckKeepsCandidatesFoundEarlier) {
    install("C:\\Earlier", clientDb("8.0"));
    install("C:\\ZOV", clientDb("8.0"));
    ASSERT_TRUE(scanner.TestClientFolder(0, "C:\\Earlier", false));
    sim.registry.setString(RegRoot::LocalMachine, kCurrentVersion, "Apppath", "C:\\ZOV");
    EXPECT_EQ(scanner.CheckRegisteredClient(), 1);
    ASSERT_EQ(scanner.candidates().size(), 1u);
    EXPECT_EQ(scanner.candidates().front().folder, "C:\\Earlier");
}

TEST_F(Scanner, CachedClientsAreTestedWithoutRewritingTheCache) {
    install("C:\\A", clientDb("8.0"), 2000);
    install("C:\\B", clientDb("7.0"), 3000);
    sim.registry.setString(RegRoot::LocalMachine, kInstalls, "", "1");
    sim.registry.setString(RegRoot::LocalMachine, kInstalls, "C:\\A", "stale");
    sim.registry.setString(RegRoot::LocalMachine, kInstalls, "C:\\Gone", "8.0,1,0");
    sim.registry.setString(RegRoot::LocalMachine, kInstalls, "C:\\B", "stale");
    EXPECT_EQ(scanner.ListCachedClients(), -1);
    EXPECT_EQ(listedFolders(), (std::vector<std::string>{"C:\\B", "C:\\A"}));
    EXPECT_EQ(cached("C:\\A"), "stale");
    EXPECT_FALSE(scanner.diskScanDone());
}

// --- the disk search -----------------------------------------------------------------------------

TEST_F(Scanner, DiskSearchFindsClientsOnFixedDrivesAndMarksTheCache) {
    sim.system.driveTypes["E:\\"] = 3;
    install("C:\\Program Files\\ZOV 9.0", clientDb("9.0"), 5000);
    install("E:\\Old\\ZOV", clientDb("8.0"), 4000);
    install("D:\\ZOV", clientDb("8.0")); // a CD-ROM
    install("C:\\RECYCLER\\S-1\\ZOV", clientDb("8.0"));
    install("C:\\.hidden\\ZOV", clientDb("8.0"));
    install("C:\\Program Files\\ZOV 9.0\\Nested", clientDb("8.0")); // below an accepted folder
    EXPECT_EQ(scanner.ScanDisksForClients(), -1);
    EXPECT_EQ(listedFolders(), (std::vector<std::string>{"C:\\Program Files\\ZOV 9.0", "E:\\Old\\ZOV"}));
    EXPECT_TRUE(cached("C:\\Program Files\\ZOV 9.0"));
    EXPECT_TRUE(cached("E:\\Old\\ZOV"));
    EXPECT_FALSE(cached("C:\\Program Files\\ZOV 9.0\\Nested"));
    EXPECT_EQ(cached(""), "1");
    EXPECT_TRUE(scanner.diskScanDone());
    EXPECT_TRUE(traced("Scanning for clients..."));
    auto busy = sim.windows.messagesOf(msg::ShowBusy);
    ASSERT_EQ(busy.size(), 1u);
    EXPECT_EQ(busy[0].wParam, 1u);
    EXPECT_GT(pumpsSeen, 10) << "the search keeps the interface alive";
    EXPECT_EQ(sim.discovery.openFiles, 0);
}

TEST_F(Scanner, DiskSearchRunsOncePerRunButAlwaysMarksTheCache) {
    install("C:\\ZOV", clientDb("8.0"));
    scanner.ScanDisksForClients();
    int listings = sim.discovery.listings;
    sim.registry.removeKey(RegRoot::LocalMachine, kInstalls);
    scanner.ScanDisksForClients();
    EXPECT_EQ(sim.discovery.listings, listings);
    EXPECT_EQ(cached(""), "1");
    EXPECT_TRUE(scanner.clientList().size() == 1) << "the list of the first search stays";
}

TEST_F(Scanner, DiskSearchDoesNotFollowLinks) {
    sim.files.makeDirectory("C:\\a\\b");
    sim.discovery.links["C:\\a\\b\\up"] = "C:\\a";   // a loop
    sim.discovery.links["C:\\a\\b\\side"] = "C:\\a"; // two of them: exponential if followed
    install("C:\\target\\ZOV", clientDb("8.0"));
    sim.discovery.links["C:\\a\\client"] = "C:\\target\\ZOV";
    scanner.ScanDisksForClients();
    EXPECT_EQ(listedFolders(), (std::vector<std::string>{"C:\\target\\ZOV"}));
    EXPECT_LT(sim.discovery.listings, 50);
}

TEST_F(Scanner, DeepTreeIsSearchedWithinThePathLimit) {
    std::string deep = "C:";
    for (int level = 0; level < 500; ++level)
        deep += "\\d";
    sim.files.makeDirectory(deep);
    install("C:\\d\\d\\d\\ZOV", clientDb("8.0"));
    scanner.ScanDisksForClients();
    EXPECT_EQ(listedFolders(), (std::vector<std::string>{"C:\\d\\d\\d\\ZOV"}));
    // 259 characters hold "C:" and 128 levels of "\d": nothing deeper is named.
    EXPECT_LE(sim.discovery.listings, 160);
    EXPECT_GE(sim.discovery.listings, 128);
}

TEST_F(Scanner, SearchVisitsFoldersInListingOrder) {
    install("C:\\b\\ZOV", clientDb("8.0"), 7);
    install("C:\\a\\ZOV", clientDb("8.0"), 7);
    install("C:\\a\\x\\ZOV", clientDb("8.0"), 7);
    scanner.ScanDisksForClients();
    // Equal times keep the order found: depth first, names as listed.
    EXPECT_EQ(listedFolders(), (std::vector<std::string>{"C:\\a\\x\\ZOV", "C:\\a\\ZOV", "C:\\b\\ZOV"}));
}

TEST_F(Scanner, TestBuildsWriteTheSearchedListToAFile) {
    install("C:\\A", clientDb("8.0"), 2000000000);
    scanner.diskScanForTests();
    EXPECT_FALSE(scanner.diskScanDone()) << "nothing asked for it";
    sim.discovery.diskScanList = "C:\\list.txt";
    scanner.diskScanForTests();
    EXPECT_EQ(sim.readText("C:\\list.txt"), "ZOV 8.0, in C:\\A, last used 05/18/2033\tC:\\A\r\n");
    EXPECT_EQ(cached(""), "1");
}

// --- the chosen client -----------------------------------------------------------------------

TEST_F(Scanner, UpgradeClientGivesItsLanguageAndCountry) {
    install("C:\\ZOV", clientDb("8.0", {"Alice"}, 6, 1));
    session.upgradeDirectory = "C:\\ZOV";
    std::uint32_t version = 0;
    std::string codebase, build;
    ASSERT_TRUE(scanner.ReadUpgradeClient(version, codebase, build));
    EXPECT_EQ(version, 0x00080000u);
    EXPECT_EQ(codebase, "4000.1");
    EXPECT_EQ(build, "4000.1");
    EXPECT_EQ(session.oldLanguageCode, "6");
    EXPECT_EQ(session.oldCountryCode, "1");
}

TEST_F(Scanner, UpgradeClientOfVersionThreeHasUnknownLanguage) {
    Writer old;
    old.version("3.0").codebase("3.0").build(3, 0, 0);
    install("C:\\ZOV3", old);
    session.upgradeDirectory = "C:\\ZOV3";
    std::uint32_t version = 0;
    std::string codebase, build;
    ASSERT_TRUE(scanner.ReadUpgradeClient(version, codebase, build));
    EXPECT_EQ(session.oldLanguageCode, "-1");
    EXPECT_EQ(session.oldCountryCode, "-1");
}

TEST_F(Scanner, UpgradeClientFailuresLeaveTheOldCodes) {
    std::uint32_t version = 0;
    std::string codebase, build;
    session.upgradeDirectory = "C:\\Nothing";
    EXPECT_FALSE(scanner.ReadUpgradeClient(version, codebase, build));
    Writer damaged;
    damaged.version("8.0").garbage({1, 2, 3}).language(5);
    install("C:\\Damaged", damaged);
    session.upgradeDirectory = "C:\\Damaged";
    EXPECT_FALSE(scanner.ReadUpgradeClient(version, codebase, build));
    EXPECT_EQ(session.oldLanguageCode, "0");
    EXPECT_EQ(session.oldCountryCode, "1");
}

} // namespace
