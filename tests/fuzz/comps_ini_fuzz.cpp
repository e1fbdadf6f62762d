// The CD's settings files, as any CD or download folder may carry them, read through the
// simulated profile store. From "comps.ini": the Flash Player installer it names is started
// from the setup's own folder, with the named parameters, and nothing else; the welcome
// page's text comes whole up to its 4,095 characters. From "media\media.ini": a section
// that plays a movie passed validation, so its file is there; values stay within their
// buffers; the stop points of a progress movie only grow and end at stops + 1.
//
// Input: the text of both files (one text, so that the seeds of either serve both).
#include "companions/flash.h"
#include "discovery/scanner.h"
#include "fuzz/fuzz_input.h"
#include "sim/sim_run.h"
#include "ui/movie_media.h"
#include "ui/wizard_flow.h"
#include "ui/wizard_pages.h"
#include "unit/fake_frame.h"

#include <algorithm>
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

void checkStopPoints(int stops) {
    int reached = 0;
    for (int percent = 0; percent <= 100; ++percent) {
        const int due = StopPointsDue(percent, stops);
        fuzz::check(due >= reached && (stops < 0 || due <= static_cast<long long>(stops) + 1));
        reached = due;
    }
    if (stops >= 0)
        fuzz::check(reached == std::min<long long>(static_cast<long long>(stops) + 1, 0x7FFFFFFF));
}

void checkMedia(sim::SimRun& r, const std::string& text) {
    const std::string folder = "D:\\media\\";
    r.sim.files.writeText(folder + "media.ini", text);
    r.sim.files.writeText(folder + "start.zmv", "");
    r.sim.files.writeText(folder + "loop.zmv", "");
    std::string failed;
    const std::optional<MovieMedia> media = ValidateMedia(r.sim.profile, r.sim.files, folder, &failed);
    if (media) {
        fuzz::check(media->folder == folder);
        fuzz::check(media->width > 0 ? media->height > 0 : media->width == 0 && media->height == 0);
        checkStopPoints(media->stopsNewMember);
        checkStopPoints(media->stopsUpgrade);
    } else {
        fuzz::check(std::any_of(std::begin(kMovieSections), std::end(kMovieSections),
                                [&](const char* s) { return failed == s; }));
    }
    for (const char* section : kMovieSections) {
        const std::optional<MovieSection> s = ReadMovieSection(r.sim.profile, folder, section);
        if (!s)
            continue;
        fuzz::check(s->file.size() < 260 && s->bgColor.size() < 10);
        if (media)
            fuzz::check(r.sim.files.fileExists(folder + s->file));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    sim::SimRun r;
    const std::string folder = "D:\\";
    const std::string ini = folder + "\\comps.ini";
    const std::string text(reinterpret_cast<const char*>(data), size);
    r.sim.files.writeText(ini, text);
    checkFlashInstaller(r, folder, ini);
    checkWelcomeText(r, ini);
    checkMedia(r, text);
    return 0;
}
