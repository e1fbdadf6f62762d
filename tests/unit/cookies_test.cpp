// The screen-name cookie in the four browser stores, on the simulated machine.
#include "companions/cookies.h"
#include "registry/registry.h"
#include "sim/sim_browsers.h"
#include "sim/sim_registry_files.h"
#include "unit/run_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace zov;
using zov::sim::SimBrowserData;
using zov::sim::SimMachine;
using zov::sim::SimRegistryFiles;

namespace {

const std::string kUrl = "http://register.zov.invalid/webreg/";
const std::string kMozillaRegistry = "C:\\Users\\user\\AppData\\Roaming\\Mozilla\\registry.dat";
const std::string kMozillaProfile = "C:\\Users\\user\\AppData\\Roaming\\Mozilla\\Profiles\\default\\x1y2";
const std::string kManagerProfile = "C:\\Tidewell\\Users\\bob";
const std::string kQuillstone = "C:\\Program Files\\Quillstone";
const std::string kQuillstoneProfile = "C:\\Program Files\\Quillstone\\gecko\\usr\\profile";

// A registry file with one text entry under each of two keys (paths from the root).
void writeRegistryFile(zov::sim::SimFileSystem& files, const std::string& file, const std::string& listKey,
                       const std::string& listEntry, const std::string& name, const std::string& userKey,
                       const std::string& folderEntry, const std::string& folder) {
    files.makeDirectory(file.substr(0, file.rfind('\\')));
    reg::HREG h = nullptr;
    ASSERT_EQ(reg::NR_RegOpen(file.c_str(), &h), reg::kOk);
    reg::RKEY key = 0;
    ASSERT_EQ(reg::NR_RegAddKey(h, reg::kKeyCommon, listKey.substr(listKey.find('/') + 1).c_str(), &key),
              reg::kOk);
    ASSERT_EQ(reg::NR_RegSetEntryString(h, key, listEntry.c_str(), name.c_str()), reg::kOk);
    std::string below = userKey.substr(userKey.find('/') + 1);
    reg::RKEY start = userKey.rfind("Users/", 0) == 0 ? reg::kKeyUsers : reg::kKeyCommon;
    ASSERT_EQ(reg::NR_RegAddKey(h, start, below.c_str(), &key), reg::kOk);
    ASSERT_EQ(reg::NR_RegSetEntryString(h, key, folderEntry.c_str(), folder.c_str()), reg::kOk);
    ASSERT_EQ(reg::NR_RegClose(h), reg::kOk);
}

std::string cookieLine(const std::string& domain, long long expires, const std::string& name,
                       const std::string& value) {
    return domain + "\tTRUE\t/\tFALSE\t" + std::to_string(expires) + "\t" + name + "\t" + value + "\r\n";
}

// The cookie stores, and whole runs that look for the cookie (ScreenNameCookie).
class Cookies : public sim::InstallerFixture {
  protected:
    SimRegistryFiles regFiles{sim.files, "C:\\Windows"};
    SimBrowserData browsers{sim.files, sim.clock};
    CookiePorts ports{browsers, sim.files, sim.system, sim.registry, sim.clock};
    long long now() const { return static_cast<long long>(sim.clock.nowMs / 1000); }
    long long later() const { return now() + 86400; }

    void mozilla(const std::string& cookies) {
        writeRegistryFile(sim.files, kMozillaRegistry, "Common/Profiles", "CurrentProfile", "default",
                          "Common/Profiles/default", "directory", kMozillaProfile);
        sim.files.writeText(kMozillaProfile + "\\cookies.txt", cookies);
    }
    void profileManager(const std::string& cookies) {
        writeRegistryFile(sim.files, "C:\\Windows\\nsreg.dat", "Common/Tidewell/ProfileManager",
                          "LastTidewellUser", "bob", "Users/bob", "ProfileLocation", kManagerProfile);
        sim.files.writeText(kManagerProfile + "\\cookies.txt", cookies);
    }
    void quillstone(const std::string& cookies) {
        sim.registry.setString(RegRoot::LocalMachine, "SOFTWARE\\Quillstone\\Quillstone\\CurrentVersion",
                               "AppPath", kQuillstone);
        sim.files.makeDirectory(kQuillstone + "\\gecko\\usr");
        writeRegistryFile(sim.files, kQuillstone + "\\gecko\\usr\\registry.dat", "Common/Profiles",
                          "CurrentProfile", "q", "Common/Profiles/q", "directory", kQuillstoneProfile);
        sim.files.writeText(kQuillstoneProfile + "\\cookies.txt", cookies);
    }
    std::vector<CookieResult> collect() {
        CCookieJar jar(ports);
        std::vector<CookieResult> found;
        EXPECT_EQ(jar.collect(kUrl, "webregSN", found), 1);
        return found;
    }
    std::vector<std::uint32_t> types(const std::vector<CookieResult>& results) {
        std::vector<std::uint32_t> t;
        for (const auto& r : results)
            t.push_back(r.storeType);
        return t;
    }
};

TEST(CookieText, DomainOfTheAddress) {
    EXPECT_EQ(CookieDomain(kUrl), ".zov.invalid");
    EXPECT_EQ(CookieDomain("http://a.b.c/"), ".b.c");
    EXPECT_EQ(CookieDomain("http://localhost/x"), "");
    EXPECT_EQ(CookieDomain("x"), "");
}

TEST(CookieText, TimeStamp) {
    for (const char* text : {"07152004 13:45:30", "07152004-13.45/30", "07152004T13x45y30"}) {
        std::tm t{};
        ASSERT_TRUE(ParseTimeStamp(text, t)) << text;
        EXPECT_EQ(t.tm_mon, 6);
        EXPECT_EQ(t.tm_mday, 15);
        EXPECT_EQ(t.tm_year, 104);
        EXPECT_EQ(t.tm_hour, 13);
        EXPECT_EQ(t.tm_min, 45);
        EXPECT_EQ(t.tm_sec, 30);
    }
    std::tm t{};
    EXPECT_FALSE(ParseTimeStamp("07152004 13:45", t));
    EXPECT_FALSE(ParseTimeStamp("0715200X 13:45:30", t));
    EXPECT_EQ(t.tm_year, 0);
}

TEST_F(Cookies, SystemBrowserTextIsParsed) {
    CWinInetCookieStore store(browsers);
    EXPECT_TRUE(store.parse("a=1; webregSN=Alice; TimeStamp=x", "webregSN"));
    EXPECT_EQ(store.value(), "Alice");
    EXPECT_TRUE(store.parse("webregSN=Bob\nother", "webregSN"));
    EXPECT_EQ(store.value(), "Bob");
    EXPECT_FALSE(store.parse("a=1; webregSN", "webregSN"));  // nothing follows the name
    EXPECT_FALSE(store.parse("webregSN=; a=1", "webregSN")); // an empty screen name
    EXPECT_FALSE(store.parse("a=1", "webregSN"));
    EXPECT_FALSE(store.parse("webregSN=" + std::string(256, 'v'), "webregSN")); // longer than the buffer
    EXPECT_TRUE(store.parse("webregSN=" + std::string(255, 'v'), "webregSN"));
    EXPECT_FALSE(store.parse("webregSN=Ann\r[DLLs]", "webregSN")); // a line end in a screen name
    browsers.setCookie(kUrl, "webregSN", "Carol");
    std::string out;
    EXPECT_TRUE(store.get(kUrl, "webregSN", out, 4));
    EXPECT_EQ(out, "Car"); // at most the caller's buffer
    browsers.cookieFunctions = false;
    EXPECT_FALSE(store.get(kUrl, "webregSN", out, 256));
}

TEST_F(Cookies, SystemBrowserAndMozillaBothHoldTheCookie) {
    browsers.setCookie(kUrl, "webregSN", "FromIE");
    browsers.setCookie(kUrl, "TimeStamp", "07152004 13:45:30");
    mozilla(cookieLine(".zov.invalid", later(), "webregSN", "FromMozilla"));
    std::vector<CookieResult> found = collect();
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].storeType, kCookieSystemBrowser);
    EXPECT_EQ(found[0].value, "FromIE");
    EXPECT_EQ(found[0].timeStamp.tm_year, 104);
    EXPECT_EQ(found[1].storeType, kCookieMozilla);
    EXPECT_EQ(found[1].value, "FromMozilla");
    EXPECT_EQ(found[1].timeStamp.tm_year, 0); // Mozilla had no "TimeStamp"
}

TEST_F(Cookies, StoresAreAskedInTheOrderOneThreeTwoFour) {
    browsers.setCookie(kUrl, "webregSN", "one");
    mozilla(cookieLine(".zov.invalid", later(), "webregSN", "three"));
    profileManager(cookieLine(".zov.invalid", later(), "webregSN", "two"));
    quillstone(cookieLine("register.zov.invalid", later(), "webregSN", "four"));
    std::vector<CookieResult> found = collect();
    EXPECT_EQ(types(found), (std::vector<std::uint32_t>{1, 3, 2, 4}));
    ASSERT_EQ(found.size(), 4u);
    EXPECT_EQ(found[2].value, "two");
    EXPECT_EQ(found[3].value, "four");
}

TEST_F(Cookies, ExpiredCookieLinesAreNotTaken) {
    for (long long expires : {0LL, -5LL, now() - 1}) {
        mozilla(cookieLine(".zov.invalid", expires, "webregSN", "old"));
        EXPECT_TRUE(collect().empty()) << expires;
    }
    mozilla(cookieLine(".zov.invalid", now(), "webregSN", "now"));
    EXPECT_EQ(collect().size(), 1u);
    // The first line that holds the domain and parses wins; others are passed over.
    mozilla(cookieLine(".zov.invalid", 0, "webregSN", "expired") +
            cookieLine(".other.example", later(), "webregSN", "foreign") +
            cookieLine(".zov.invalid", later(), "webregSN", std::string(250, 'L')) + // longer than a line

            cookieLine(".zov.invalid", later(), "webregSN", "good"));
    std::vector<CookieResult> found = collect();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].value, "good");
}

TEST_F(Cookies, DeleteKeepsEveryOtherLine) {
    const std::string keepDomain = cookieLine(".zov.invalid", later(), "other", "1");
    const std::string keepName = cookieLine(".else.example", later(), "webregSN", "2");
    const std::string drop = cookieLine(".zov.invalid", later(), "webregSN", "me");
    const std::string comment = "# Netscape HTTP Cookie File\n";
    mozilla(comment + keepDomain + drop + keepName);
    CCookieJar jar(ports);
    EXPECT_TRUE(jar.deleteCookie(kCookieMozilla, kUrl, "webregSN", nullptr, 0));
    EXPECT_EQ(sim.files.readText(kMozillaProfile + "\\cookies.txt"), comment + keepDomain + keepName);
    EXPECT_TRUE(sim.files.find(kMozillaProfile + "\\NEW*").empty());
}

TEST_F(Cookies, DeleteWithAGivenDomain) {
    mozilla(cookieLine(".zov.invalid", later(), "webregSN", "a") +
            cookieLine(".else.example", later(), "webregSN", "b"));
    CCookieJar jar(ports);
    const std::string domain = ".else.example";
    EXPECT_TRUE(jar.deleteCookie(kCookieMozilla, kUrl, "webregSN", &domain, 0));
    EXPECT_EQ(sim.files.readText(kMozillaProfile + "\\cookies.txt"),
              cookieLine(".zov.invalid", later(), "webregSN", "a"));
}

TEST_F(Cookies, FailedReplaceLeavesTheOldCookieFileWhole) {
    const std::string original = cookieLine(".zov.invalid", later(), "webregSN", "me") +
                                 cookieLine(".site.example", later(), "session", "keep");
    mozilla(original);
    browsers.replaceFails = true;
    CCookieJar jar(ports);
    EXPECT_FALSE(jar.deleteCookie(kCookieMozilla, kUrl, "webregSN", nullptr, 0));
    EXPECT_EQ(sim.files.readText(kMozillaProfile + "\\cookies.txt"), original);
    EXPECT_TRUE(sim.files.find(kMozillaProfile + "\\NEW*").empty());
    // The same when the profile folder takes no new file.
    browsers.replaceFails = false;
    sim.files.readOnlyPrefixes.push_back(kMozillaProfile);
    EXPECT_FALSE(jar.deleteCookie(kCookieMozilla, kUrl, "webregSN", nullptr, 0));
    EXPECT_EQ(sim.files.readText(kMozillaProfile + "\\cookies.txt"), original);
}

TEST_F(Cookies, DeleteWithoutACookieFileChangesNothing) {
    mozilla("");
    sim.files.removeFile(kMozillaProfile + "\\cookies.txt");
    CCookieJar jar(ports);
    EXPECT_FALSE(jar.deleteCookie(kCookieMozilla, kUrl, "webregSN", nullptr, 0));
    EXPECT_TRUE(sim.files.find(kMozillaProfile + "\\*").empty());
    EXPECT_FALSE(jar.deleteCookie(0, kUrl, "webregSN", nullptr, 0));
    EXPECT_FALSE(jar.deleteCookie(5, kUrl, "webregSN", nullptr, 0));
}

TEST_F(Cookies, SystemBrowserCookieIsReplacedByAnExpiredOne) {
    browsers.setCookie(kUrl, "webregSN", "FromIE");
    browsers.setCookie(kUrl, "other", "stays");
    CCookieJar jar(ports);
    EXPECT_TRUE(jar.deleteCookie(kCookieSystemBrowser, kUrl, "webregSN", nullptr, 0));
    EXPECT_EQ(browsers.systemCookies(kUrl), std::optional<std::string>("other=stays"));
}

TEST_F(Cookies, QuillstoneWithoutItsGeckoRegistryGivesNothing) {
    sim.registry.setString(RegRoot::LocalMachine, "SOFTWARE\\Quillstone\\Quillstone\\CurrentVersion",
                           "AppPath", kQuillstone);
    sim.files.makeDirectory(kQuillstone + "\\gecko\\usr");
    EXPECT_TRUE(collect().empty());
    EXPECT_FALSE(sim.files.fileExists(kQuillstone + "\\gecko\\usr\\registry.dat"));
}

TEST_F(Cookies, MissingRegistryFilesAreNotCreated) {
    sim.files.makeDirectory("C:\\Users\\user\\AppData\\Roaming\\Mozilla");
    CCookieJar jar(ports);
    EXPECT_FALSE(sim.files.fileExists("C:\\Windows\\nsreg.dat"));
    EXPECT_FALSE(sim.files.fileExists(kMozillaRegistry));
    auto* store = static_cast<CProfileCookieStore*>(jar.store(kCookieMozilla));
    EXPECT_EQ(store->registryFile(), kMozillaRegistry);
    EXPECT_EQ(store->profileFolder(), "");
    browsers.appData.reset();
    CCookieJar noFolder(ports);
    EXPECT_EQ(static_cast<CProfileCookieStore*>(noFolder.store(kCookieMozilla))->registryFile(), "");
}

TEST_F(Cookies, ProfileManagerFindsTheLastUsersProfile) {
    profileManager(cookieLine(".zov.invalid", later(), "webregSN", "bob's"));
    CCookieJar jar(ports);
    auto* store = static_cast<CProfileCookieStore*>(jar.store(kCookieProfileManager));
    EXPECT_EQ(store->profileFolder(), kManagerProfile);
    std::vector<CookieResult> found;
    jar.collect(kUrl, "webregSN", found);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].storeType, kCookieProfileManager);
    EXPECT_EQ(found[0].value, "bob's");
}

// --- start-up and the end of a run --------------------------------------------------------

class ScreenNameCookie : public Cookies {
  protected:
    std::string engineResult = "0";
    std::string engineInstallType;

    void SetUp() override {
        Cookies::SetUp();
        sim.processes.registerProgram("D:\\comp01.000", {[this](SimMachine& s, const std::string&) {
                                          std::string ini = s.tempFile("install.ini");
                                          engineInstallType =
                                              s.profile.readString(ini, "enter", "INSTALL_TYPE", "", 16);
                                          s.profile.writeString(ini, "exit", "rc", engineResult);
                                      }});
    }
    void mozillaCookie() {
        sim.files.makeDirectory("C:\\Users\\user\\AppData\\Roaming\\Mozilla");
        mozilla(cookieLine(".zov.invalid", later(), "other", "1") +
                cookieLine(".zov.invalid", later(), "webregSN", "Alice"));
    }
    std::string cookieFile() { return sim.files.readText(kMozillaProfile + "\\cookies.txt"); }
};

TEST_F(ScreenNameCookie, FoundCookieMakesAnAdditionalAccountWithThatName) {
    sim.browsers.setCookie(kUrl, "webregSN", "FromIE");
    mozillaCookie();
    InstallSession& s = defaults("");
    EXPECT_EQ(s.brandScreenName, "FromIE");
    EXPECT_TRUE(s.screenNameWelcome);
    EXPECT_FALSE(s.useScreenName);
    EXPECT_EQ(s.installType, 'E');
}

TEST_F(ScreenNameCookie, SwitchesThatTurnTheLookupOffIgnoreTheCookie) {
    sim.browsers.setCookie(kUrl, "webregSN", "FromIE");
    for (const char* line : {"-n", "-e", "-eu"}) {
        InstallSession& s = defaults(line);
        EXPECT_EQ(s.brandScreenName, "") << line;
        EXPECT_FALSE(s.screenNameWelcome) << line;
    }
    InstallSession& s = defaults("-b Bob");
    EXPECT_EQ(s.brandScreenName, "Bob");
    EXPECT_FALSE(s.screenNameWelcome);
    EXPECT_EQ(s.installType, 'E');
    EXPECT_EQ(defaults("").installType, 'E');
    sim.browsers.cookies.clear();
    EXPECT_EQ(defaults("").installType, 'A');
}

TEST_F(ScreenNameCookie, SuccessDeletesTheCookieFromTheStoreItCameFrom) {
    mozillaCookie();
    const std::string kept = cookieLine(".zov.invalid", later(), "other", "1");
    EXPECT_EQ(run("/s"), 0u);
    EXPECT_EQ(engineInstallType, "E");
    EXPECT_EQ(cookieFile(), kept);
}

TEST_F(ScreenNameCookie, SystemBrowserCookieIsDeletedThere) {
    sim.browsers.setCookie(kUrl, "webregSN", "FromIE");
    mozillaCookie();
    EXPECT_EQ(run("/s"), 0u);
    EXPECT_FALSE(sim.browsers.systemCookies(kUrl));
    EXPECT_NE(cookieFile().find("Alice"), std::string::npos); // Mozilla's stays: it was not used
}

TEST_F(ScreenNameCookie, FailedOrCopiedRunsKeepTheCookie) {
    mozillaCookie();
    const std::string before = cookieFile();
    engineResult = "3";
    EXPECT_EQ(run("/s"), 1602u);
    EXPECT_EQ(cookieFile(), before);
    engineResult = "0";
    EXPECT_EQ(run("/s -? C:\\copy.ini"), 0u);
    EXPECT_EQ(sim.profile.readString("C:\\copy.ini", "enter", "INSTALL_TYPE", "", 16), "E");
    EXPECT_EQ(cookieFile(), before); // no post-install step after a settings copy
}

} // namespace
