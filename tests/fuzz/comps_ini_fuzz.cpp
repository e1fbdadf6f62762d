// "comps.ini" beside the setup program, as any CD or download folder may carry it, read
// through the simulated profile store: the Flash Player installer it names is started from
// the setup's own folder, with the named parameters, and nothing else; the welcome page's
// text comes whole up to its 4,095 characters.
//
// Input: the file's text.
#include "companions/flash.h"
#include "discovery/scanner.h"
#include "fuzz/fuzz_input.h"
#include "sim/sim_run.h"
#include "ui/wizard_flow.h"
#include "ui/wizard_pages.h"
#include "unit/fake_frame.h"

#include <string>

using namespace zov;

namespace {

// The flow is only asked for its welcome text: no page is shown.
class NoPages final : public PageHost {
  public:
    int showPage(WizardPage&) override { fuzz::fail(); }
};

void checkFlashInstaller(sim::SimRun& r, const std::string& folder, const std::string& ini) {
    // No Flash Player installed: the check goes to the CD's installer.
    FlashCompanion(r.run).CheckAndInstall();
    const auto& starts = r.sim.companions.detachedStarts;
    fuzz::check(starts.size() <= 1);
    if (starts.empty())
        return;
    const std::string target = r.sim.profile.readString(ini, "mflash", "target", "", 4096);
    std::string params = r.sim.profile.readString(ini, "mflash", "params", "", 4096);
    constexpr std::size_t kValue = 255;
    const std::string program = folder + "\\" + FlashInstallerTarget(target.substr(0, kValue));
    params = params.empty() ? "/Q" : params.substr(0, kValue);
    // The program the system starts is the one named as the application, and the line it
    // gets starts with that path in quotes.
    const auto& started = r.sim.processes.starts;
    fuzz::check(started.size() == 1 && started[0].program == program);
    fuzz::check(starts[0] == "\"" + program + "\" " + params);
}

void checkWelcomeText(sim::SimRun& r, const std::string& ini) {
    sim::FakeFrame frame;
    ClientScanner scanner(r.run, r.session);
    NoPages pages;
    r.session.installerPath = r.sim.system.module;
    WizardFlow flow(r.run, r.session, scanner, frame, pages);
    const std::string text = flow.welcomeText();
    fuzz::check(text == r.sim.profile.readString(ini, "ltext", "text", "", 1 << 20).substr(0, 4095));
    PageView view = WelcomePage(r.session, r.sim.strings, text).view();
    bool shown = false;
    for (const ControlState& c : view.controls)
        shown = shown || c.text == text;
    fuzz::check(shown == !text.empty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    sim::SimRun r;
    const std::string folder = "D:\\";
    const std::string ini = folder + "\\comps.ini";
    r.sim.files.writeText(ini, std::string(reinterpret_cast<const char*>(data), size));
    checkFlashInstaller(r, folder, ini);
    checkWelcomeText(r, ini);
    return 0;
}
