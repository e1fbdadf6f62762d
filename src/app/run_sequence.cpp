// The interactive path: from the end of the wizard through the engine and its result.
#include "app/installer.h"
#include "app/results.h"

#include "checks/running_clients.h"
#include "ui/frame_messages.h"

#include <algorithm>
#include <cstdlib>

namespace zov {

void InstallerApp::runSequence() {
    if (frame_.hasFlash())
        frame_.playMovie();
    abort_ = false;
    // The wizard pages lead here; until they exist the run goes straight to the engine.
    for (;;) {
        if (abort_)
            return;
        prepareEngineRun();
        if (engineRunLoop())
            return;
    }
}

void InstallerApp::prepareEngineRun() {
    machine_.windows.sendMessage(session_.frame, msg::ShowBusy, 0, 2);
    busyShown_ = true;
    frameLogic_->setBusyBeforeEngine(true);
    RunningClients clients(run_);
    if (clients.anyClientPresent()) {
        ProcessHandle client = clients.findClientProcess(stringAt(1261));
        if (client) {
            bool ended = machine_.processes.terminate(client, 0);
            machine_.processes.close(client);
            if (!ended) {
                abort_ = true;
                history_.RecordEvent(151);
                if (prompts_.warning(stringAt(1392)))
                    restartExit(1051);
                finish(1051);
            }
        }
    }
    settings_.write(session_);
    writeProgressComponentOrFail();
}

bool InstallerApp::engineRunLoop() {
    for (;;) {
        history_.RecordEvent(115);
        if (!busyShown_) {
            machine_.windows.sendMessage(session_.frame, msg::ShowBusy, 0, 2);
            busyShown_ = true;
        }
        settings_.write(session_);
        setDdeq();
        if (!session_.upgradeTargetFixed && session_.installType == 'C') {
            trace_.printf("Upgrading from Client Version '%s' (Codebase '%s')",
                          session_.upgradeBuildText.c_str(), session_.upgradeCodebaseText.c_str());
            trace_.printf("Location of client to upgrade '%s'", session_.upgradeDirectory.c_str());
            history_.SetValue("upc", session_.upgradeCodebaseText);
            history_.SetValue("ucb", session_.upgradeBuildText);
            history_.SetValue("udir", session_.upgradeDirectory);
        }
        trace_.printf("Running script!");
        frameLogic_->engineRunning = true;
        runEngine();
        frameLogic_->engineRunning = false;

        const ResultRow& row = resultRow(session_.engineResult);
        trace_.printf("%s", row.wizardTrace);
        switch (row.result) {
        case EngineResult::Success:
            return true;
        case EngineResult::DiskSpaceError: {
            if (busyShown_) {
                machine_.windows.postMessage(session_.frame, msg::HideBusy, 0, 0);
                busyShown_ = false;
            }
            machine_.windows.postMessage(session_.frame, msg::ResetWizardBack, 0, 0);
            traceDiskFigures();
            history_.RecordEvent(106);
            // The disk-space page decides between Back, Next and exit; until it exists the
            // run ends here as the page's exit would.
            abort_ = true;
            return true;
        }
        case EngineResult::Cancel:
            history_.RecordEvent(134);
            break;
        case EngineResult::NoMinBrowser:
            machine_.windows.postMessage(session_.frame, msg::ResetWizardBack, 0, 0);
            history_.RecordEvent(145);
            prompts_.notice(1375);
            break;
        case EngineResult::MissingComps:
            history_.RecordEvent(147);
            prompts_.notice(1379);
            break;
        case EngineResult::NotNtAdmin:
            removeRetryShortcut();
            history_.RecordEvent(119);
            prompts_.notice(1306);
            run_.fail(1314);
        default:
            break;
        }
        abort_ = true;
        return true;
    }
}

void InstallerApp::traceDiskFigures() {
    if (!trace_.on())
        return;
    char installDrive = session_.installDirectory.empty() ? '?' : session_.installDirectory[0];
    std::string system = machine_.system.systemDirectory();
    char systemDrive = system.empty() ? '?' : system[0];
    auto freeKb = [this](char drive) {
        auto bytes = machine_.system.freeBytes(std::string(1, drive) + ":\\");
        std::uint64_t kb = bytes ? *bytes / 1024 : 0;
        return static_cast<int>(std::min<std::uint64_t>(kb, 0x7FFFFFFF));
    };
    auto size = [this](const char* section, const char* key) {
        return std::atoi(machine_.profile.readString(settings_.path(), section, key, "0", 2048).c_str());
    };
    int required = size("system sizes", "basesys") + size("system sizes", "noncoresys") +
                   size("system sizes", "netfiles") + size("system sizes", "browsersys") +
                   size("system sizes", "upgrade") + size("system sizes", "download") +
                   size("system sizes", "other");
    int requiredInstall = size("install sizes", "base") + size("install sizes", "noncore") +
                          size("install sizes", "netfiles") + size("install sizes", "browseralt") +
                          size("install sizes", "other");
    trace_.printf("Required Space on System Drive (%c:): %dK", systemDrive, required);
    trace_.printf("Available Space on System Drive (%c:): %dK", systemDrive, freeKb(systemDrive));
    trace_.printf("Required Space on Install Drive (%c:): %dK", installDrive, requiredInstall);
    trace_.printf("Available Space on Install Drive (%c:): %dK", installDrive, freeKb(installDrive));
}

} // namespace zov
