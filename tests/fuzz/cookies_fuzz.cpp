// The screen-name cookie transfer on whatever the browsers left: the system browser's
// cookie text, three profiles' "cookies.txt" and, optionally, Mozilla's registry file as
// raw bytes, on the simulated machine.
//
// Input: u8 options (bit 0: Mozilla's registry file is the next text16 instead of a sound
// one), the system browser's text (text16), then the cookies.txt of Mozilla, the profile
// manager (text16 each) and Quillstone (the rest).
//
// Results stay within the value buffer and the store order; deleting the cookie removes
// exactly the lines that hold both the domain and the name, and the cookie is gone after.
#include "companions/cookies.h"
#include "fuzz/fuzz_input.h"
#include "registry/registry.h"
#include "sim/sim_machine.h"
#include "sim/sim_registry_files.h"

#include <string>
#include <vector>

using namespace zov;

namespace {

const std::string kUrl = "http://register.zov.invalid/webreg";
const std::string kName = "webregSN";
const std::string kMozillaRegistry = "C:\\Users\\user\\AppData\\Roaming\\Mozilla\\registry.dat";
const std::string kMozillaProfile = "C:\\Users\\user\\AppData\\Roaming\\Mozilla\\Profiles\\default";
const std::string kManagerRegistry = "C:\\Windows\\nsreg.dat";
const std::string kManagerProfile = "C:\\Tidewell\\Users\\bob";
const std::string kQuillstone = "C:\\Program Files\\Quillstone";
const std::string kQuillstoneRegistry = kQuillstone + "\\gecko\\usr\\registry.dat";
const std::string kQuillstoneProfile = kQuillstone + "\\gecko\\usr\\profile";

// The system browser answers with the input's text, whatever the address.
class FuzzBrowser final : public sim::SimBrowserData {
  public:
    using SimBrowserData::SimBrowserData;
    std::string text;
    std::optional<std::string> systemCookies(const std::string&) override { return text; }
};

// A profile registry file naming `folder`, as the browsers write one; made once.
std::string registryFile(bool manager, const std::string& folder) {
    sim::SimMachine sim;
    sim::SimRegistryFiles files(sim.files, "C:\\Windows");
    const std::string path = "C:\\Windows\\made.dat";
    reg::HREG h = nullptr;
    reg::NR_RegOpen(path.c_str(), &h);
    reg::RKEY key = 0;
    reg::NR_RegAddKey(h, reg::kKeyCommon, manager ? "Tidewell/ProfileManager" : "Profiles", &key);
    reg::NR_RegSetEntryString(h, key, manager ? "LastTidewellUser" : "CurrentProfile",
                              manager ? "bob" : "default");
    reg::NR_RegAddKey(h, manager ? reg::kKeyUsers : reg::kKeyCommon, manager ? "bob" : "Profiles/default",
                      &key);
    reg::NR_RegSetEntryString(h, key, manager ? "ProfileLocation" : "directory", folder.c_str());
    reg::NR_RegClose(h);
    return sim.files.readText(path);
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end + 1;
        lines.push_back(text.substr(start, end - start));
        start = end;
    }
    return lines;
}

void checkResults(const std::vector<CookieResult>& results) {
    static const std::uint32_t kOrder[] = {kCookieSystemBrowser, kCookieMozilla, kCookieProfileManager,
                                           kCookieQuillstone};
    std::size_t next = 0;
    for (const CookieResult& r : results) {
        fuzz::check(!r.value.empty() && r.value.size() < CCookieStore::kValueSize);
        // The value may become BRANDSN in install.ini: no line of its own.
        fuzz::check(r.value.find_first_of(std::string("\r\n\0", 3)) == std::string::npos);
        while (next < 4 && kOrder[next] != r.storeType)
            ++next;
        fuzz::check(next < 4); // each store once, in the jar's order
        ++next;
    }
}

void checkTimeStamp(const std::string& text) {
    std::tm t{};
    if (!ParseTimeStamp(text, t))
        return;
    fuzz::check(text.size() >= 17);
    fuzz::check(t.tm_sec <= 99 && t.tm_min <= 99 && t.tm_hour <= 99 && t.tm_mday <= 99 && t.tm_mon <= 98);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string mozillaFile = registryFile(false, kMozillaProfile);
    static const std::string managerFile = registryFile(true, kManagerProfile);
    static const std::string quillstoneFile = registryFile(false, kQuillstoneProfile);

    fuzz::Input in(data, size);
    const std::uint8_t options = in.u8();
    sim::SimMachine sim;
    sim::SimRegistryFiles regFiles(sim.files, "C:\\Windows");
    FuzzBrowser browser(sim.files, sim.clock);
    sim.files.makeDirectory(kMozillaRegistry.substr(0, kMozillaRegistry.rfind('\\')));
    sim.files.writeText(kMozillaRegistry, (options & 1) != 0 ? in.text16() : mozillaFile);
    sim.files.writeText(kManagerRegistry, (options & 2) != 0 ? in.text16() : managerFile);
    sim.registry.setString(RegRoot::LocalMachine, "SOFTWARE\\Quillstone\\Quillstone\\CurrentVersion",
                           "AppPath", kQuillstone);
    sim.files.makeDirectory(kQuillstone + "\\gecko\\usr");
    sim.files.writeText(kQuillstoneRegistry, (options & 4) != 0 ? in.text16() : quillstoneFile);
    browser.text = in.text16();
    const std::string mozillaCookies = in.text16();
    const std::string managerCookies = in.text16();
    const std::string quillstoneCookies = in.rest();
    checkTimeStamp(browser.text);

    CookiePorts ports{browser, sim.files, sim.system, sim.registry, sim.clock};
    CCookieJar jar(ports);
    const std::pair<std::uint32_t, const std::string*> profiles[] = {{kCookieMozilla, &mozillaCookies},
                                                                     {kCookieProfileManager, &managerCookies},
                                                                     {kCookieQuillstone, &quillstoneCookies}};
    for (const auto& [type, text] : profiles) {
        auto* store = static_cast<CProfileCookieStore*>(jar.store(type));
        fuzz::check(store->profileFolder().size() <= CProfileCookieStore::kMaxLine);
        if (store->profileFolder().empty())
            continue;
        sim.files.makeDirectory(store->profileFolder());
        sim.files.writeText(store->profileFolder() + "\\cookies.txt", *text);
        for (const std::string& line : linesOf(*text)) {
            checkTimeStamp(line);
            if (store->parse(line, kName))
                fuzz::check(line.find(store->value()) != std::string::npos);
        }
    }

    std::vector<CookieResult> results;
    fuzz::check(jar.collect(kUrl, kName, results) == 1);
    checkResults(results);

    const std::string domain = CookieDomain(kUrl);
    for (const CookieResult& r : results) {
        if (r.storeType == kCookieSystemBrowser)
            continue;
        auto* store = static_cast<CProfileCookieStore*>(jar.store(r.storeType));
        const std::string file = store->profileFolder() + "\\cookies.txt";
        const std::string before = sim.files.readText(file);
        if (!jar.deleteCookie(r.storeType, kUrl, kName, nullptr, 0))
            continue;
        std::string kept;
        for (const std::string& line : linesOf(before))
            if (line.find(domain) == std::string::npos || line.find(kName) == std::string::npos)
                kept += line;
        fuzz::check(sim.files.readText(file) == kept);
        std::string value;
        fuzz::check(!store->get(kUrl, kName, value, CCookieStore::kValueSize));
    }
    return 0;
}
