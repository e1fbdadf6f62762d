// Every run ends here.
#include "app/installer.h"

#include "companions/environment.h"
#include "protocol/contract.h"
#include "platform/message_waits.h"

#include <algorithm>
#include <cctype>

namespace zov {
namespace {

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

void InstallerApp::finish(std::uint32_t code) {
    // A failure inside the finish routine must not start it again.
    if (finishing_)
        exitProcess(code);
    finishing_ = true;
    const std::string temp = machine_.system.tempPath();
    RemoveFirewallHelperFiles(machine_.files, temp);

    bool restart = false;
    std::string launch;
    if (!session_.silent && (code == 0 || code == 3010)) {
        trace_.assertion(!abort_, "gAbort == FALSE", "install", 2594);
        if (abort_) {
            trace_.printf("A successful install was labelled unsuccessful - Fixing it...");
            abort_ = false;
        }
        if (settings_.restartRequested()) {
            trace_.printf("restart requested");
            if (frame_.hasFlash() && frame_.loadMovieSection("start"))
                frame_.gotoLabel("/", "wizardback");
            history_.RecordEvent(126);
            prompts_.notice(1288);
            restart = true;
            code = 3010;
        } else if (!equalsIgnoringCase(session_.autoLaunch, "N")) {
            history_.RecordEvent(127);
            if (session_.installPhase == 2)
                session_.installDirectory = settings_.readMainDirectory(session_.installDirectory);
            launch = session_.installDirectory + "\\" + stringAt(35);
        } else {
            trace_.printf("client launch will be skipped");
        }
    }

    trace_.printf("Outputting final log data ...");
    history_.SetValue("pe", std::to_string(static_cast<long>(static_cast<std::int32_t>(code))));
    history_.Finish(!abort_);

    trace_.printf("Cleaning up...");
    cleanUp();

    if (!launch.empty()) {
        releaseInstallerMutex();
        trace_.printf("Running client -> %s", launch.c_str());
        launchClient(launch);
    }
    endWindows();
    if (restart)
        restartWindows();
    exitProcess(code);
}

void InstallerApp::restartExit(std::uint32_t code) {
    if (finishing_)
        exitProcess(code);
    finishing_ = true;
    trace_.printf("Outputting final log data ...");
    history_.SetValue("pe", std::to_string(static_cast<long>(static_cast<std::int32_t>(code))));
    history_.Finish(!abort_);
    trace_.printf("Cleaning up...");
    cleanUp();
    releaseInstallerMutex();
    endWindows();
    restartWindows();
    exitProcess(code);
}

void InstallerApp::exitProcess(std::uint32_t code) {
    // An exit that skipped the finish routine's record (one started again from inside it)
    // still closes the history; after the routine's own Finish this does nothing.
    history_.Finish(false);
    machine_.shell.settle(); // the association notice may still be under way
    if (trace_.on()) {
        trace_.printf("Exiting, %ld", static_cast<long>(static_cast<std::int32_t>(code)));
        trace_.time();
    }
    machine_.exit.exit(code);
    __builtin_unreachable(); // calls through a virtual are not known to end
}

void InstallerApp::endWindows() {
    frame_.destroyFlash();
    frame_.destroy();
    frame_.shutdownFramework();
}

void InstallerApp::restartWindows() {
    trace_.printf("triggering windows restart...");
    if (os_.nt4OrEarlier() || os_.windows2000() || os_.xpOrLater())
        machine_.power.enableShutdownPrivilege();
    machine_.power.restartWindows();
}

void InstallerApp::releaseInstallerMutex() {
    if (installerMutex_ != 0) {
        machine_.kernel.releaseMutex(installerMutex_);
        installerMutex_ = 0;
    }
}

void InstallerApp::cleanUp() {
    const std::string temp = machine_.system.tempPath();
    trace_.printf("deleting client list");
    scanner_.freeClientList();
    trace_.printf("deleting ProgUpd.dll");
    progressComponent_.Cleanup(run_);
    trace_.printf("deleting temp files...");
    for (const char* name : {"install.dll", "instph.dll", "launcher.dll"})
        machine_.files.removeFile(temp + name);
    if (installerMutexCreated_)
        machine_.files.removeFile(settings_.path());
    machine_.shell.deletePattern(temp + "GL*.TMP");
}

bool InstallerApp::removeRetryShortcutIn(const std::optional<std::string>& folder) {
    machine_.shell.settle();
    if (!folder)
        return false;
    for (const std::string& link : machine_.files.find(*folder + "\\*.lnk")) {
        std::optional<std::string> target = machine_.shell.shortcutTarget(link);
        if (target && equalsIgnoringCase(*target, session_.installerPath))
            machine_.files.removeFile(link);
    }
    return machine_.files.removeFile(*folder + "\\" + stringAt(1289) + ".lnk");
}

bool InstallerApp::removeRetryShortcut() {
    return removeRetryShortcutIn(retryShortcutFolder());
}

bool InstallerApp::removeCommonRetryShortcut() {
    return removeRetryShortcutIn(machine_.registry.readString(
        RegRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
        "Common Desktop"));
}

void InstallerApp::postInstall() {
    if (abort_ || settings_.readResult() != '0')
        return;
    if (session_.useScreenName || session_.screenNameWelcome)
        deleteScreenNameCookie();
    removeRetryShortcut();
    removeCommonRetryShortcut();
}

void InstallerApp::launchClient(const std::string& program) {
    // The client lives under "Program Files": started by its bare path, a planted
    // "C:\\Program.exe" would run with our rights.
    const ProcessStart what{program, ""};
    const std::string commandLine = what.commandLine();
    ProcessHandle client;
    bool started = false;
    std::uint32_t error = 0; // of the failed start, taken before any trace line
    if (os_.vista()) {
        trace_.printf("OS : Vista ");
        if (!StartService(machine_.services, machine_.clock, trace_, "ZOV ACS")) {
            error = machine_.services.lastFailure();
        } else {
            auto outcome = machine_.processes.startAsStandardUser(what, true, client);
            error = machine_.system.lastError();
            if (outcome != Processes::StandardUserStart::NoCreateProcessAsUser)
                trace_.printf("CreateProcessAsUser SuccessFull\n");
            if (outcome == Processes::StandardUserStart::NoToken)
                trace_.printf("GetStandardUserToken Failed\n");
            else if (outcome != Processes::StandardUserStart::NoCreateProcessAsUser)
                trace_.printf("GetStandardUserToken SuccessFull\n");
            started = outcome == Processes::StandardUserStart::Started;
        }
    } else {
        client = machine_.processes.start(what, true);
        started = static_cast<bool>(client);
        error = machine_.system.lastError();
    }
    trace_.printf("Install : CreateProcess = %s%%", commandLine.c_str());
    if (!started) {
        if (trace_.on()) {
            trace_.line("Create Process as User ");
            trace_.lastError(error);
        }
        return;
    }
    trace_.printf("Install : CreateProcess = Inside %s%% ", commandLine.c_str());
    machine_.processes.close(client);
    if (!(frame_.hasFlash() && frame_.loadMovieSection("ending")))
        return;
    const std::string splashClass = names::kClientSplashClass;
    bool seen = false;
    for (int pass = 0; pass < 400; ++pass) {
        pumpFor(machine_.windows, machine_.clock, 50);
        bool present = machine_.windows.findWindow(&splashClass, nullptr) != 0;
        if (seen && !present)
            break;
        seen = seen || present;
    }
}

} // namespace zov
