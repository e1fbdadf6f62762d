// The application object: the whole run, from the command line to the exit code.
//
// run() never returns: every path ends in finish(), which decides on a restart or a client
// launch, writes the last history values, cleans up and ends the process.
#pragma once

#include "app/command_line.h"
#include "run/context.h"
#include "run/session.h"
#include "app/settings_file.h"
#include "checks/os_version.h"
#include "companions/cookies.h"
#include "discovery/scanner.h"
#include "engine/component.h"
#include "engine/script.h"
#include "ui/box_dialogs.h"
#include "ui/frame_logic.h"
#include "ui/legal.h"
#include "ui/wizard_flow.h"

#include <memory>
#include <optional>
#include <string>

namespace zov {

class InstallerApp final : public Finisher {
  public:
    static constexpr unsigned kProgressComponent = 175;

    InstallerApp(Machine& machine, FrameHost& frame);

    [[noreturn]] void run(const std::string& commandLine);

    [[noreturn]] void finish(std::uint32_t exitCode) override;
    [[noreturn]] void restartExit(std::uint32_t exitCode) override;

    // Routed here by the frame window's procedure.
    bool onFrameMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                        std::intptr_t& result);

    // Pieces exposed for the scenario tests.
    void computeSessionDefaults();
    InstallSession& session() { return session_; }
    const InstallerCommandLine& commandLine() const { return commandLine_; }
    Trace& trace() { return trace_; }
    CInstallHistory& history() { return history_; }
    FrameLogic& frameLogic() { return *frameLogic_; }
    SettingsFile& settings() { return settings_; }
    CScript& script() { return script_; }
    RunContext& runContext() { return run_; }
    bool abortFlag() const { return abort_; }
    std::uint32_t exitCodeFor(char engineResult);
    // The dialogs of the checks and the run sequence; message-box stand-ins by default.
    void setDialogs(CheckDialogs& dialogs);
    // The message-box stand-ins, for a user interface that replaces only some of them.
    CheckDialogs& boxDialogs() { return boxDialogs_; }
    // What shows the legal agreement and the optional features; without one each takes its
    // default button.
    void setLegalView(LegalView& legal) { legal_ = &legal; }
    // What shows the wizard's pages; without one each page takes its default answer unseen.
    void setPageHost(PageHost& pages) { wizard_.setPageHost(pages); }
    // The wizard flow of the interactive run (the directory page's chooser is set on it).
    WizardFlow& wizard() { return wizard_; }

  private:
    // Start-up.
    void createRetryShortcut();
    void createMovie();
    std::optional<std::string> retryShortcutFolder();
    void legalAgreement();
    void writeAddOnChoice();
    void setDdeq();
    void easyUpgrade();
    void lookUpScreenNameCookie();
    void runCoordinated();
    void runUnattended();
    void writeProgressComponentOrFail();
    void runEngine();
    std::string stringAt(unsigned id) { return machine_.strings.get(id); }

    // The wizard path.
    void runSequence();
    void prepareEngineRun();
    bool engineRunLoop(); // false when the flow must go back into the wizard
    int showDiskSpacePage(DiskFigures& figures);
    void upgradeComponentCheck();

    // Finish.
    void cleanUp();
    bool removeRetryShortcutIn(const std::optional<std::string>& folder);
    bool removeRetryShortcut();
    bool removeCommonRetryShortcut();
    void postInstall();
    void deleteScreenNameCookie();
    void launchClient(const std::string& program);
    void releaseInstallerMutex();
    void endWindows();
    void restartWindows();
    [[noreturn]] void exitProcess(std::uint32_t exitCode);

    Machine& machine_;
    FrameHost& frame_;
    InstallerCommandLine commandLine_;
    InstallSession session_;
    bool abort_ = false;
    Trace trace_;
    CInstallHistory history_;
    Prompts prompts_;
    RunContext run_;
    SettingsFile settings_;
    std::unique_ptr<FrameLogic> frameLogic_;
    ClientScanner scanner_;
    CComponent progressComponent_{kProgressComponent};
    CScript script_;
    OsProbes os_;
    // The browsers' cookie stores, made when start-up looks for the screen-name cookie, and
    // the store the cookie was found in (0: none).
    std::unique_ptr<CCookieJar> cookies_;
    std::uint32_t cookieStore_ = 0;
    BoxDialogs boxDialogs_;
    CheckDialogs* dialogs_ = &boxDialogs_;
    DefaultAnswerPageHost defaultPages_;
    DefaultLegalView defaultLegal_;
    LegalView* legal_ = &defaultLegal_;
    WizardFlow wizard_;
    // Packed version of the client chosen for upgrade (the wizard flow sets it).
    std::uint32_t upgradeVersion_ = 0;
    std::uintptr_t installerMutex_ = 0;
    bool installerMutexCreated_ = false;
    bool busyShown_ = false;
    bool finishing_ = false;
};

} // namespace zov
