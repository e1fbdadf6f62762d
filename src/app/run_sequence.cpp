// The interactive path: from the end of the wizard through the engine and its result.
#include "app/installer.h"
#include "app/results.h"

#include "checks/disk_space.h"
#include "checks/running_clients.h"
#include "protocol/contract.h"

namespace zov {
namespace {

constexpr std::uint32_t kVersion8 = 0x80000; // packed 8.0

std::string folderOf(const std::string& path) {
    std::size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

} // namespace

void InstallerApp::setDialogs(CheckDialogs& dialogs) {
    dialogs_ = &dialogs;
    frameLogic_->dialogs = &dialogs;
}

void InstallerApp::runSequence() {
    if (frame_.hasFlash())
        frame_.playMovie();
    abort_ = false;
    // The wizard leads here, and Back on the disk-space page leads into it again.
    wizard_.start();
    for (;;) {
        if (abort_)
            return;
        upgradeVersion_ = wizard_.upgradeVersion();
        upgradeComponentCheck();
        prepareEngineRun();
        if (engineRunLoop())
            return;
        wizard_.runFrom(WizardFlow::afterDiskSpaceBack(session_.installType));
    }
}

void InstallerApp::upgradeComponentCheck() {
    const std::string message = stringAt(1358);
    if (session_.installType != 'C' || message.size() < 2)
        return;
    const std::string root = stringAt(1357);
    std::optional<std::vector<std::string>> components =
        machine_.registry.subKeys(RegRoot::LocalMachine, root);
    if (!components)
        return;
    for (const std::string& component : *components) {
        std::optional<std::uint32_t> installed =
            machine_.registry.readDword(RegRoot::LocalMachine, root + "\\" + component, stringAt(1356));
        if (!installed || *installed != 1 || component == "9" || component == "208")
            continue;
        if (component == "308") {
            if (upgradeVersion_ < kVersion8 && prompts_.question(233)) {
                history_.RecordEvent(150);
                run_.fail(1602);
            }
            continue;
        }
        const std::string setup =
            folderOf(session_.installerPath) + stringAt(1355) + "\\" + component + "\\" + stringAt(1354);
        if (!machine_.files.exists(setup)) {
            history_.RecordEvent(143);
            prompts_.notice(message);
        }
    }
}

void InstallerApp::prepareEngineRun() {
    machine_.windows.sendMessage(session_.frame, msg::ShowBusy, 0, 2);
    busyShown_ = true;
    frameLogic_->setBusyBeforeEngine(true);
    RunningClients clients(run_, session_.frame);
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

int InstallerApp::showDiskSpacePage(DiskFigures& figures) {
    for (;;) {
        int page = dialogs_->diskSpacePage(figures, false);
        if (page != CheckDialogs::kPageCancel)
            return page;
        if (CancelConfirmation(run_, *dialogs_).exitChosen()) {
            abort_ = true;
            return CheckDialogs::kPageCancel;
        }
    }
}

bool InstallerApp::engineRunLoop() {
    for (;;) {
        history_.RecordEvent(115);
        if (!busyShown_) {
            // Shown again after the disk-space page: the next run's progress replaces it.
            machine_.windows.sendMessage(session_.frame, msg::ShowBusy, 0, 2);
            busyShown_ = true;
            frameLogic_->setBusyBeforeEngine(true);
        }
        settings_.write(session_);
        // The removal after the last run deleted the progress module: write it again.
        writeProgressComponentOrFail();
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
        runEngine();

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
            DiskFigures figures;
            DiskSpace(run_).diskFigures(session_.installDirectory, settings_.path(), 0, figures);
            history_.RecordEvent(106);
            const int page = showDiskSpacePage(figures);
            if (abort_)
                return true;
            if (page == CheckDialogs::kPageNext)
                continue; // the engine runs again with a freshly written install.ini
            if (page == CheckDialogs::kPageBack)
                return false; // back into the wizard, which leads to the preparation again
            abort_ = true;
            return true;
        }
        case EngineResult::Cancel:
            // Exit on the checkpoint's disk-space page stopped the engine after its own
            // confirmation, which already recorded the cancel and showed the summary.
            if (abort_)
                break;
            history_.RecordEvent(134);
            dialogs_->cancelSummary();
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

} // namespace zov
