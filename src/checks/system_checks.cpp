#include "checks/system_checks.h"

#include "checks/disk_space.h"
#include "checks/running_clients.h"
#include "run/text.h"
#include "protocol/contract.h"

#include <cerrno>
#include <cstdlib>

namespace zov {
namespace {

const char* const kRunOnceKey = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const char* const kRestartValue = "ZOVRebootNeeded";
const char* const kBrowserKey = "Software\\Microsoft\\Internet Explorer";
const char* const kAdministrators = "S-1-5-32-544";
constexpr double kMinimumBrowserBuild = 62462;
constexpr std::size_t kLanguageText = 20;
constexpr std::size_t kBrowserBuildBytes = 256;

std::string folderOf(const std::string& path) {
    std::size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string fileNameOf(const std::string& path) {
    std::size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// strtol's reading of a whole text: leading blanks and a sign allowed, nothing after the
// digits. nullopt when something is left over or no digit was read.
std::optional<long long> wholeNumber(const std::string& text, int base) {
    if (text.empty())
        return std::nullopt;
    errno = 0;
    char* end = nullptr;
    long long value = std::strtoll(text.c_str(), &end, base);
    if (end == text.c_str() || *end != '\0' || errno == ERANGE)
        return std::nullopt;
    return value;
}

} // namespace

SystemChecks::SystemChecks(RunContext& run, InstallSession& session, FrameView& frame, CheckDialogs& dialogs,
                           CheckSwitches switches, std::function<void()> removeRetryShortcut)
    : run_(run), session_(session), frame_(frame), dialogs_(dialogs), switches_(std::move(switches)),
      removeRetryShortcut_(std::move(removeRetryShortcut)), os_(run.m.system, run.m.checks.version) {}

SystemChecks::Language SystemChecks::systemLanguage(const std::string& hexText) {
    Language language;
    std::optional<long long> value = wholeNumber("0x" + hexText, 16);
    if (!value)
        return language;
    const unsigned v = static_cast<unsigned>(*value & 0xFFFFFFFF);
    language.primary = v & 0x3FF;
    language.sub = (v & 0xFFFF) >> 10;
    return language;
}

std::optional<SystemChecks::Language> SystemChecks::installerLanguage(const std::string& piece) {
    std::optional<long long> value = wholeNumber(piece, 10);
    if (!value)
        return std::nullopt;
    const unsigned v = static_cast<unsigned>(*value & 0xFFFFFFFF);
    return Language{v & 0x3FF, (v & 0xFFFF) >> 10};
}

bool SystemChecks::isAdministrator(const std::optional<std::vector<TokenGroup>>& groups) {
    if (!groups)
        return false;
    // Any entry counts, whatever its attributes: a deny-only Administrators group on an
    // elevation-capable account passes too.
    for (const TokenGroup& group : *groups)
        if (group.sid == kAdministrators)
            return true;
    return false;
}

double SystemChecks::browserBuild(const std::string& text) {
    return std::strtod(text.c_str(), nullptr);
}

int SystemChecks::refuse(int code) {
    removeRetryShortcut_();
    run_.abort = true;
    return code;
}

bool SystemChecks::cancelConfirmed() {
    return CancelConfirmation(run_, dialogs_).exitChosen();
}

void SystemChecks::largeFonts() {
    run_.history.SetValue("lf", run_.m.checks.desktop.logPixelsY() > 96 ? "1" : "0");
}

void SystemChecks::cleanupTool() {
    Machine& m = run_.m;
    const std::string toolClass = "KELTOMAINWINDOW";
    WindowHandle window = m.windows.findWindow(&toolClass, nullptr);
    if (window == 0)
        return;
    std::string folder;
    if (os_.win9x() && m.checks.processes.toolhelpAvailable()) {
        std::uint32_t pid = m.checks.processes.windowProcess(window);
        if (std::optional<std::vector<ModuleEntry>> modules = m.checks.processes.moduleList(pid)) {
            for (const ModuleEntry& module : *modules) {
                if (equalsNoCase(module.name, "Kelto.exe") ||
                    equalsNoCase(fileNameOf(module.path), "Kelto.exe")) {
                    folder = folderOf(module.path);
                    break;
                }
            }
        }
    }
    if (!folder.empty()) {
        const std::string file = folder + "csafe.vxd";
        if (std::optional<std::string> version = m.checks.disk.fileVersion(file)) {
            std::string value = *version;
            const std::string marker = "Version ";
            if (std::size_t at = value.find(marker); at != std::string::npos)
                value = value.substr(at + marker.size());
            run_.history.SetValue("wv", value);
        } else {
            std::optional<std::uint64_t> size = m.checks.disk.fileSize(file);
            run_.history.SetValueLong("ws", size ? static_cast<std::int32_t>(*size & 0xFFFFFFFF) : -1);
        }
    }
    run_.history.RecordEvent(144);
}

bool SystemChecks::windowsVersionFails() {
    InstalledVersion installed = os_.installed();
    const std::uint32_t major = static_cast<std::uint32_t>(number(1380));
    const std::uint32_t minor = static_cast<std::uint32_t>(number(1381));
    return installed.major < major || (installed.major == major && installed.minor < minor);
}

bool SystemChecks::restartPending() {
    Machine& m = run_.m;
    if (os_.restartMarkerIsFile()) {
        const std::string windows = m.system.windowsDirectory();
        if (m.files.exists(windows.substr(0, 2) + "\\zovreboot"))
            return true;
        m.registry.deleteValue(RegRoot::LocalMachine, kRunOnceKey, kRestartValue);
        return false;
    }
    return m.registry.readString(RegRoot::LocalMachine, kRunOnceKey, kRestartValue).has_value();
}

bool SystemChecks::languageRefused() {
    Trace& trace = run_.trace;
    std::optional<std::string> hex = run_.m.checks.hardware.defaultLanguage();
    if (!hex)
        return false;
    if (hex->size() > kLanguageText)
        hex->resize(kLanguageText);
    const Language system = systemLanguage(*hex);
    trace.printf("Checking languages : OS primary language=0x%x, sub-language=0x%x", system.primary,
                 system.sub);
    const std::string list = run_.m.strings.get(2044);
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t comma = list.find(',', start);
        const std::string piece =
            list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (std::optional<Language> installer = installerLanguage(piece)) {
            trace.printf("Comparing...installer primary language=0x%x, installer sub-language=0x%x",
                         installer->primary, installer->sub);
            if (installer->primary == system.primary && installer->sub == system.sub) {
                trace.printf("match");
                return false;
            }
        }
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    trace.printf("Installer language mismatch");
    return !run_.prompts.question(1317);
}

int SystemChecks::memory() {
    Trace& trace = run_.trace;
    const std::uint32_t installed = installedMegabytes(run_.m.system.physicalMemoryBytes());
    const std::uint32_t floor = static_cast<std::uint32_t>(number(1393));
    const std::uint32_t line = static_cast<std::uint32_t>(number(1272));
    unsigned message = 0;
    if (switches_.memoryOption) {
        if (equalsNoCase(*switches_.memoryOption, "OFF")) {
            trace.printf("MEM CHECK - Low RAM OFF");
            if (installed < line)
                message = 1308;
            else
                trace.printf("ok\n");
        } else if (equalsNoCase(*switches_.memoryOption, "LR")) {
            trace.printf("MEM CHECK - Low RAM Force");
            session_.lowRam = 'T';
            trace.printf("ok\n");
        } else {
            trace.printf("MEM CHECK - Full Install");
        }
    } else if (installed < floor) {
        message = 1394;
    } else {
        if (installed < line) {
            session_.lowRam = 'T';
            run_.history.RecordEvent(152);
        }
        trace.printf("ok\n");
    }
    if (message == 0)
        return 0;
    trace.printf("MEM CHECK - Mem Too Low - No Install");
    run_.history.RecordEvent(121);
    run_.prompts.notice(message);
    return refuse(8);
}

int SystemChecks::run() {
    session_.lowRam = 'F';
    if (switches_.skip)
        return 0;
    Machine& m = run_.m;
    Trace& trace = run_.trace;
    Prompts& prompts = run_.prompts;
    const bool silent = prompts.silentMode();

    // 1, 2.
    largeFonts();
    cleanupTool();
    // 3.
    if (windowsVersionFails()) {
        run_.history.RecordEvent(148);
        prompts.notice(220);
        return refuse(190);
    }
    // 4. No abort flag: nothing went wrong, the machine only has to restart first.
    if (restartPending()) {
        prompts.notice(245);
        return 190;
    }
    // 5.
    if (!silent && !os_.xpOrLater() && languageRefused())
        return refuse(1815);
    // 6.
    trace.printf("Verifying OS type...");
    if (!os_.nt() && !os_.win9x()) {
        if (!silent)
            run_.history.RecordEvent(116);
        prompts.notice(1303);
        return refuse(1151);
    }
    // 7.
    if (os_.windowsMe()) {
        std::optional<std::string> build =
            m.registry.readString(RegRoot::LocalMachine, kBrowserKey, "Build", kBrowserBuildBytes);
        if (!build || !(browserBuild(*build) > kMinimumBrowserBuild)) {
            run_.history.RecordEvent(145);
            prompts.notice(243);
            return 190;
        }
    }
    // 8.
    if ((os_.windows2000() || os_.xpOrLater()) && !isAdministrator(m.checks.hardware.tokenGroups())) {
        removeRetryShortcut_();
        run_.history.RecordEvent(119);
        prompts.notice(1306);
        run_.abort = true;
        return 1314;
    }
    // 9.
    trace.printf("ok");
    trace.printf("checking CPU type...");
    if (!silent) {
        std::uint32_t family = m.checks.hardware.processorType() / 100;
        if (std::optional<std::uint32_t> cpuid = m.checks.hardware.cpuidFamily())
            family = *cpuid;
        const std::string wanted = m.strings.get(1271);
        std::uint32_t least = 0;
        if (equalsNoCase(wanted, "PENTIUM"))
            least = 5;
        else if (wanted == "486")
            least = 4;
        if (family != 0 && family < least) {
            run_.history.RecordEvent(120);
            if (!prompts.question(formatText(text(1307), {wanted, wanted})))
                return refuse(216);
        }
    }
    // 10. Measured for the trace only.
    trace.printf("ok");
    trace.printf("checking CPU speed...");
    const std::uint32_t mhz = m.system.measureCpuMhz();
    trace.printf("cpu speed = %ld", static_cast<long>(mhz));
    trace.printf("ok");
    trace.printf("checking memory...");
    // 11.
    if (int code = memory(); code != 0)
        return code;
    // 12.
    if (!session_.upgradeTargetFixed) {
        trace.printf("checking color depth...");
        if (!silent && m.checks.desktop.bitsPerPixel() < 8) {
            run_.history.RecordEvent(122);
            if (!prompts.question(1309)) {
                run_.abort = true;
                return 2017;
            }
        }
        trace.printf("ok");
    }
    // 13.
    RunningClients clients(run_, session_.frame);
    if (clients.clientWindows()) {
        if (frame_.hasFlash())
            frame_.loadMovieSection("initializing");
        else
            m.windows.sendMessage(session_.frame, msg::ShowBusy, 0, 6);
        clients.ShutdownClient();
        if (frame_.hasFlash())
            frame_.loadMovieSection("start");
        else
            m.windows.sendMessage(session_.frame, msg::HideBusy, 0, 0);
    }
    // 14.
    trace.printf("checking for running clients...");
    if (!silent) {
        if (clients.anotherSetup())
            return 1051;
        for (std::string titles; clients.clientWindows(&titles); titles.clear()) {
            std::string message = formatText(text(1302), {titles});
            run_.history.RecordEvent(123);
            if (prompts.error(message))
                continue;
            if (cancelConfirmed()) {
                clients.postSetupCancelled();
                run_.abort = true;
                return 1051;
            }
        }
        trace.printf("ok\n");
    }
    // 15.
    if (!silent && os_.xpOrLater()) {
        trace.printf("checking for Client on other user sessions...");
        std::string user, application;
        while (clients.sessionTest(user, application)) {
            if (prompts.error(formatText(text(226), {user, application})))
                continue;
            if (cancelConfirmed()) {
                run_.abort = true;
                return 1051;
            }
        }
        trace.printf("ok");
    }
    // 16.
    if (!silent) {
        trace.printf("checking for running non-trivial apps...");
        std::string list;
        if (clients.openApplications(list)) {
            std::string message = text(1281) + list + text(1282);
            if (message.size() > 1023)
                message.resize(1023);
            run_.history.RecordEvent(124);
            while (!prompts.warning(message)) {
                if (cancelConfirmed()) {
                    run_.abort = true;
                    return 1051;
                }
            }
        }
        trace.printf("ok");
    }
    // 17.
    trace.printf("checking for initial disk space...");
    CancelConfirmation confirmation(run_, dialogs_);
    if (int code = DiskSpace(run_).initialCheck(dialogs_, confirmation); code != 0)
        return code;
    return 0;
}

} // namespace zov
