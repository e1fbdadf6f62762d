// "comps.ini" beside the setup program, as any CD or download folder may carry it, read
// through the simulated profile store: the Flash Player installer it names is started from
// the setup's own folder, with the named parameters, and nothing else.
//
// Input: the file's text.
#include "companions/flash.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/sim_run.h"

#include <string>

using namespace zov;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::SimRun r;
    const std::string folder = "D:\\";
    const std::string ini = folder + "\\comps.ini";
    r.sim.files.writeText(ini, std::string(reinterpret_cast<const char*>(data), size));
    // No Flash Player installed: the check goes to the CD's installer.
    FlashCompanion(r.run).CheckAndInstall();

    const auto& starts = r.sim.companions.detachedStarts;
    fuzz::check(starts.size() <= 1);
    if (starts.empty())
        return 0;
    const std::string target = r.sim.profile.readString(ini, "mflash", "target", "", 4096);
    std::string params = r.sim.profile.readString(ini, "mflash", "params", "", 4096);
    constexpr std::size_t kValue = 255;
    const std::string program = folder + "\\" + FlashInstallerTarget(target.substr(0, kValue));
    params = params.empty() ? "/Q" : params.substr(0, kValue);
    // The program the system starts is the quoted first part of the line.
    fuzz::check(sim::SimProcesses::programOf(starts[0]) == program);
    fuzz::check(starts[0] == "\"" + program + "\" " + params);
    return 0;
}
