// The command line as a deployment tool hands it (program name first), through the switch
// table into the session values and install.ini, on the simulated machine.
//
// The table holds only the installer's switches, within their buffers; the session values
// stay within theirs; and install.ini gets exactly its [enter] keys back as written: no
// switch argument may add a section or key of its own to the engine's settings.
#include "app/installer.h"
#include "fuzz/fuzz_input.h"
#include "sim/sim_machine.h"
#include "unit/fake_frame.h"

#include <array>
#include <string>

using namespace zov;

namespace {

constexpr std::array<const char*, 25> kSwitches = {
    "/s", "/notlbar", "/nodskbr", "/oem1", "/oem2", "/x", "-a", "-d", "-e", "-eu", "-f", "-j", "-k",
    "-m", "-n",       "-p",       "-t",    "-u",    "-z", "-?", "-b", "-g", "-h",  "-o", "-v"};

std::string trimmed(const std::string& text) {
    std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

void checkTable(const InstallerCommandLine& table) {
    std::size_t known = 0;
    for (const char* name : kSwitches) {
        std::optional<std::string> value = table.value(name);
        if (!value)
            continue;
        ++known;
        fuzz::check(value->size() < CommandLineParser::kArgumentBuffer);
    }
    fuzz::check(known == table.size()); // nothing but the table's switches
}

void checkSession(sim::SimMachine& sim, InstallerApp& app) {
    const InstallSession& s = app.session();
    constexpr std::size_t kText = 259;
    fuzz::check(s.installDirectory.size() <= kText);
    fuzz::check(s.brandScreenName.size() <= kText && s.xArgument.size() <= kText &&
                s.settingsCopyPath.size() <= kText);
    fuzz::check(s.installType == 'A' || s.installType == 'C' || s.installType == 'E');
    fuzz::check(s.windowShown == (!s.silent || s.hasX || s.hasJ));

    app.settings().write(s);
    const std::string ini = app.settings().path();
    std::vector<std::string> sections = sim.profile.sectionNames(ini, 4096);
    fuzz::check(sections.size() == 1 && sections[0] == "enter");
    std::vector<std::string> keys = sim.profile.keys(ini, "enter");
    fuzz::check(keys.size() == (s.useScreenName ? 30u : 29u)); // the fixed keys, and BRANDSN
    auto same = [&](const char* key, const std::string& written) {
        std::string read = sim.profile.readString(ini, "enter", key, "\x01", 4096);
        std::string want = trimmed(written);
        if (want.size() >= 2 && (want[0] == '"' || want[0] == '\'') && want.back() == want[0])
            want = want.substr(1, want.size() - 2);
        fuzz::check(read == want);
    };
    same("MAINDIR", s.installDirectory);
    if (s.useScreenName)
        same("BRANDSN", s.brandScreenName);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string full(reinterpret_cast<const char*>(data), size);
    const std::string line = withoutProgramName(full);
    fuzz::check(full.size() >= line.size() &&
                full.compare(full.size() - line.size(), line.size(), line) == 0);

    sim::SimMachine sim;
    sim.system.driveTypes["E:\\"] = 4; // a network drive "-v" may name
    sim.files.makeDirectory("E:\\");
    sim::FakeFrame frame;
    Machine machine = sim.machine();
    InstallerApp app(machine, frame);
    auto& table = const_cast<InstallerCommandLine&>(app.commandLine());
    table.parse(line);
    checkTable(table);
    const std::size_t first = table.size();
    table.parse(line);
    fuzz::check(table.size() == first);

    try {
        app.computeSessionDefaults();
        checkSession(sim, app);
    } catch (const sim::Exited&) {
        // An easy upgrade may end the run; what it left is the checks' business.
    }
    return 0;
}
