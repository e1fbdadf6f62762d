#include "app/installer.h"

#include "app/results.h"
#include "checks/running_clients.h"
#include "checks/system_checks.h"
#include "companions/flash.h"
#include "ui/movie_media.h"
#include "protocol/contract.h"
#include "platform/message_waits.h"

#include <algorithm>
#include <cctype>

namespace zov {
namespace {

constexpr std::uint32_t kDriveFixed = 3;
constexpr std::size_t kMaxPathText = 259;
constexpr std::uint32_t kDriveRemote = 4;
const char* const kCurrentVersionKey = "Software\\Microsoft\\Windows\\CurrentVersion";
const char* const kShellFoldersKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string folderOf(const std::string& path) {
    std::size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

} // namespace

InstallerApp::InstallerApp(Machine& machine, FrameHost& frame)
    : machine_(machine), frame_(frame),
      commandLine_([&machine](const std::string& root) { return machine.files.exists(root); }),
      trace_(machine.traceWire, machine.clock, machine.system),
      history_({machine.profile, machine.files, machine.system, machine.registry, machine.clock,
                machine.checks.disk},
               "9.0", "4327.271"),
      prompts_(machine.windows, machine.strings, session_.silent), run_{machine,  trace_, history_,
                                                                        prompts_, *this,  abort_},
      settings_(machine.profile, machine.files, SettingsFile::pathIn(machine.system.tempPath())),
      scanner_(run_, session_), os_(machine.system.osVersion()), boxDialogs_(run_),
      wizard_(run_, session_, scanner_, frame_, defaultPages_) {
    frameLogic_ = std::make_unique<FrameLogic>(run_, session_, frame_, settings_.path());
    frameLogic_->networkAlive = [this] { return machine_.companions.networkAlive(); };
    frameLogic_->dialogs = dialogs_;
    script_.setProgramFromModule(machine.system.modulePath());
}

bool InstallerApp::onFrameMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                                  std::intptr_t& result) {
    return frameLogic_->handle(message, wParam, lParam, result);
}

// The frame's movie: none with "-f" or little memory; otherwise media.ini's sections must all
// pass, the system be recent enough and a control class be registered; a control older than
// 6 counts as none. Without a movie the frame keeps its bitmap background and frame text.
void InstallerApp::createMovie() {
    auto setting = [this](unsigned id) {
        return static_cast<std::uint32_t>(std::atoi(machine_.strings.get(id).c_str()));
    };
    const std::uint32_t megabytes =
        static_cast<std::uint32_t>(machine_.system.physicalMemoryBytes() >> 20) + 1;
    if (commandLine_.has("-f") || megabytes < setting(1272))
        return;
    const std::string module = machine_.system.modulePath();
    std::optional<MovieMedia> media = ValidateMedia(
        machine_.profile, machine_.files, module.substr(0, module.find_last_of('\\') + 1) + "media\\");
    const InstalledVersion os = installedVersion(machine_.system.osVersion());
    if (!media || os.major < setting(1380) || (os.major == setting(1380) && os.minor < setting(1381)))
        return;
    FlashControlKind kind = FlashControlKind::Own;
    const std::uint32_t version =
        FlashCompanion(run_).ChooseControl(kind) ? frame_.createMovie(FlashControlClassId(kind), *media) : 0;
    if (version == 0) {
        trace_.printf("Flash Unavailable");
        return;
    }
    trace_.printf("Flash initialized, Version %d.%d", static_cast<int>(version >> 16),
                  static_cast<int>(version & 0xFFFF));
    // The wizard's background, still until the flow plays it.
    frame_.loadMovieSection("start");
    frame_.pauseMovie();
}

void InstallerApp::run(const std::string& line) {
    // Stage 2. The switches that make a run silent count from here on: no box may wait for
    // a person, not even one from before the session values are made.
    commandLine_.parse(line);
    session_.silent =
        commandLine_.has("/s") || commandLine_.has("/x") || commandLine_.has("-?") || commandLine_.has("-j");
    // Stage 3.
    trace_.start(0);
    if (trace_.on()) {
        trace_.line("");
        trace_.line("Tracing Started");
        trace_.line("Creating main frame window...");
        trace_.time();
    }
    // Stage 4. The Flash Player check belongs to the frame's creation; it runs first, so
    // that a player it installs is there when the frame makes its movie.
    if (os_.win95or98() || os_.windowsMe() ||
        SystemChecks::isAdministrator(machine_.checks.hardware.tokenGroups()))
        FlashCompanion(run_).CheckAndInstall();
    session_.frame = frame_.create();
    if (session_.frame == 0) {
        history_.RecordEvent(112);
        prompts_.notice(4);
        run_.fail(14);
    }
    createMovie();
    // Stage 5. A coordinating process may have sent the install phase by now: let sent
    // messages in before each test of the phase.
    machine_.windows.pumpMessages();
    if (trace_.on()) {
        trace_.line("FrameWindow Created");
        trace_.time();
        trace_.line("Initializing installer...");
    }
    computeSessionDefaults();
    trace_.printf("installer inited");
    // Stage 6.
    if (session_.retryShortcutWanted == "A") {
        trace_.printf("Creating retry icon...");
        createRetryShortcut();
        trace_.printf("ok");
    } else {
        trace_.printf("Retry icon skipped");
    }
    // Stage 7.
    frame_.show(session_.windowShown);
    // Stage 8.
    trace_.printf("Running system checks:");
    CheckSwitches switches{commandLine_.has("-u"), commandLine_.value("-o")};
    if (int code =
            SystemChecks(run_, session_, frame_, *dialogs_, switches, [this] { removeRetryShortcut(); })
                .run();
        code != 0) {
        machine_.windows.pumpMessages();
        if (session_.installPhase == 2)
            machine_.kernel.createSignalledEvent(names::kCoordinatorStopEvent);
        run_.fail(static_cast<std::uint32_t>(code));
    }
    // Stage 9.
    legalAgreement();
    // Stage 10.
    writeAddOnChoice();
    // Stage 11.
    machine_.windows.pumpMessages();
    if (session_.installPhase == 2)
        machine_.kernel.createSignalledEvent(names::kCoordinatorReadyEvent);
    machine_.shell.settle();
    trace_.printf("System checks complete");
    // Stage 12.
    installerMutex_ = machine_.kernel.createMutex(names::kInstallerMutex);
    installerMutexCreated_ = true;
    RunningClients(run_, session_.frame).startPipeServer(names::kInstallerPipe);
    if (commandLine_.has("-z"))
        script_.setArguments("-z");
    else if (commandLine_.has("-j"))
        script_.setArguments("-j");
    session_.screenReader = machine_.system.screenReaderRunning();
    session_.engineArguments = script_.arguments();
    scanner_.diskScanForTests();
    // Stage 13.
    machine_.windows.pumpMessages();
    if (session_.installPhase == 2) {
        runCoordinated();
    } else if (session_.silent) {
        runUnattended();
    } else {
        trace_.printf("Running installation wizard...");
        runSequence();
        trace_.printf("Ending installation wizard...");
        FlashCompanion(run_).UpdateTrustFile(session_.installDirectory);
    }
    // Stage 14.
    if (session_.hasSettingsCopy)
        machine_.files.copyFile(settings_.path(), session_.settingsCopyPath);
    // Stage 15.
    trace_.printf("Running post-installation...");
    if (!session_.hasX && !session_.hasSettingsCopy)
        postInstall();
    // Stage 16.
    trace_.printf("Exiting...");
    machine_.shell.notifyAssociationsChanged();
    // Stage 17.
    finish(exitCodeFor(session_.engineResult));
}

std::uint32_t InstallerApp::exitCodeFor(char engineResult) {
    const ResultRow& row = resultRow(engineResult);
    if (row.assertLine != 0)
        trace_.assertion(false, "FALSE", "install", row.assertLine);
    if (row.endTrace != nullptr)
        trace_.printf("%s", row.endTrace);
    if (row.result == EngineResult::NotNtAdmin) {
        removeRetryShortcut();
        history_.RecordEvent(119);
    }
    return row.exitCode;
}

void InstallerApp::computeSessionDefaults() {
    InstallSession& s = session_;
    const InstallerCommandLine& cl = commandLine_;
    // 1. The history session.
    if (s.installPhase == 2) {
        history_.Resume();
        history_.SetGeneral("2");
    } else {
        history_.StartNew();
    }
    // 2.
    s.upgradeDirectory.clear();
    s.installType = 'A';
    s.filesAction = 'A';
    // 3. The install drive.
    std::string drive;
    if (auto v = cl.value("-v"); v && !v->empty()) {
        std::string root = *v;
        root.resize(3, ' ');
        root[1] = ':';
        root[2] = '\\';
        std::uint32_t type = machine_.system.driveType(root);
        if (type == kDriveFixed || type == kDriveRemote)
            drive = root;
    }
    if (drive.empty()) {
        std::string windows = machine_.system.windowsDirectory();
        if (windows.size() >= 3)
            drive = windows.substr(0, 3);
    }
    // 4. The program-files folder name, without its drive.
    std::string programFiles = "Program Files\\";
    if (auto value =
            machine_.registry.readString(RegRoot::LocalMachine, kCurrentVersionKey, "ProgramFilesDir")) {
        std::size_t slash = value->find('\\');
        if (slash != std::string::npos)
            programFiles = value->substr(slash + 1) + "\\";
    }
    // 5. "-h" wins over "-g". A folder that would not fit a path falls back to the default
    // rather than being cut into a name nobody chose.
    const std::string defaultDirectory = drive.empty() ? std::string() : drive + programFiles + stringAt(30);
    if (auto h = cl.value("-h"))
        s.installDirectory = drive.empty() ? std::string() : drive + programFiles + *h;
    else if (auto g = cl.value("-g"))
        s.installDirectory = *g;
    else
        s.installDirectory = defaultDirectory;
    if (s.installDirectory.size() > kMaxPathText)
        s.installDirectory = defaultDirectory;
    // 6. The win.ini probe.
    std::string winIni = machine_.system.windowsDirectory() + "\\win.ini";
    std::string appPath = machine_.profile.readString(winIni, stringAt(1318), stringAt(1319), "", 260);
    if (!appPath.empty() && machine_.files.exists(appPath))
        s.installType = 'C';
    // 7.
    if (!s.installDirectory.empty() && machine_.files.exists(s.installDirectory))
        s.installDirectory = uniqueDirectory(
            s.installDirectory, [this](const std::string& p) { return machine_.files.exists(p); });
    // 8, 9.
    s.installerPath = machine_.system.modulePath();
    splitBuild(s.build, s.superBuild, s.subBuild, s.revision);
    // 10.
    if (cl.has("-d"))
        s.deskItem.clear();
    if (cl.has("-m"))
        s.retryShortcutWanted.clear();
    if (cl.has("-t"))
        s.autoLaunch = "N";
    if (cl.has("-p") && (os_.nt4OrEarlier() || os_.windows2000()))
        s.killProxy = "A";
    s.noFlash = cl.has("-f");
    // 11.
    if (auto q = cl.value("-?")) {
        s.hasSettingsCopy = true;
        s.settingsCopyPath = *q;
    }
    // 12.
    if (cl.has("/s")) {
        s.silent = true;
        s.silentInstall = "Y";
        s.autoLaunch = "N";
    }
    if (auto x = cl.value("/x")) {
        s.hasX = true;
        s.xArgument = *x;
    }
    s.hasJ = cl.has("-j");
    if (cl.has("/notlbar"))
        s.ieToolbar = 'N';
    if (cl.has("/nodskbr"))
        s.deskBar = 'N';
    // 13.
    if (cl.has("-n")) {
        s.showWelcome = false;
        s.cookieLookup = false;
        s.installType = 'A';
        history_.SetValue("qi", "1");
        trace_.printf("Performing Easy New Member Install. User will not be prompted for install options.");
    }
    if (cl.has("-e")) {
        s.installType = 'C';
        s.showWelcome = false;
        s.cookieLookup = false;
        s.showMember = true;
        s.upgradeTargetFixed = false;
    }
    if (cl.has("-eu"))
        easyUpgrade();
    // 14.
    if (auto b = cl.value("-b"); b && !b->empty()) {
        s.brandScreenName = *b;
        s.useScreenName = true;
        s.installType = 'E';
        s.showWelcome = false;
        s.showMember = false;
        s.cookieLookup = false;
    }
    // 15.
    if (cl.has("-a"))
        s.forceDirectory = true;
    if (s.cookieLookup)
        lookUpScreenNameCookie();
    // 16.
    if (s.hasX || s.hasSettingsCopy || s.hasJ)
        s.silent = true;
    s.windowShown = !s.silent || s.hasX || s.hasJ;
    // 17. "-k" last: it overrides the icon flags.
    if (cl.has("/oem1"))
        s.doOtherIcons = 'N';
    if (cl.has("/oem2"))
        s.do3rdPartyIcons = 'N';
    s.is64Bit = machine_.system.isWow64() ? 'Y' : 'N';
    if (cl.has("-k")) {
        s.doIcons = s.doOtherIcons = s.do3rdPartyIcons = 'N';
        s.deskItem.clear();
        s.retryShortcutWanted.clear();
    }
}

void InstallerApp::easyUpgrade() {
    InstallSession& s = session_;
    s.showWelcome = s.showMember = s.showDirectory = false;
    s.cookieLookup = false;
    trace_.printf("Performing Easy Upgrade. User will not be prompted for install options.");
    history_.SetValue("qi", "1");
    s.installType = 'C';
    RunningClients clients(run_, s.frame);
    if (clients.anyClientPresent()) {
        if (frame_.hasFlash())
            frame_.loadMovieSection("initializing");
        else
            machine_.windows.sendMessage(s.frame, msg::ShowBusy, 0, 6);
        clients.ShutdownClient();
        if (frame_.hasFlash())
            frame_.loadMovieSection("start");
        else
            machine_.windows.sendMessage(s.frame, msg::HideBusy, 0, 0);
    }
    std::optional<std::string> folder = scanner_.FindLastRegisteredClient();
    bool accepted = false;
    if (folder)
        accepted = scanner_.TestClientFolder(0, *folder, true);
    else if (scanner_.CheckRegisteredClient() == 1)
        accepted = true, folder = scanner_.registeredFolder();
    if (!folder || !accepted) {
        s.installType = 'E';
        s.upgradeDirectory.clear();
        return;
    }
    s.upgradeDirectory = *folder;
    s.upgradeTargetFixed = true;
    std::uint32_t version = 0;
    scanner_.ReadUpgradeClient(version, s.upgradeCodebaseText, s.upgradeBuildText);
    trace_.printf("Upgrading from Client Version '%s' (Codebase '%s')", s.upgradeBuildText.c_str(),
                  s.upgradeCodebaseText.c_str());
    trace_.printf("Location of client to upgrade '%s'", s.upgradeDirectory.c_str());
    history_.SetValue("upc", s.upgradeCodebaseText);
    history_.SetValue("ucb", s.upgradeBuildText);
    history_.SetValue("udir", s.upgradeDirectory);
}

std::optional<std::string> InstallerApp::retryShortcutFolder() {
    if (os_.vista())
        return machine_.registry.readString(RegRoot::LocalMachine, kShellFoldersKey, "Common Desktop");
    return machine_.registry.readString(RegRoot::CurrentUser, kShellFoldersKey, "Desktop");
}

void InstallerApp::createRetryShortcut() {
    std::optional<std::string> folder = retryShortcutFolder();
    if (!folder || !machine_.files.exists(session_.installerPath))
        return;
    // Saved beside the checks that follow; whatever removes it, or ends the run, waits first.
    machine_.shell.startShortcut(*folder + "\\" + stringAt(1289) + ".lnk", session_.installerPath,
                                 stringAt(2));
}

void InstallerApp::legalAgreement() {
    // Only where the frame is shown, and only when the licence lies beside the program.
    const std::string folder = folderOf(session_.installerPath);
    if (!session_.windowShown || !machine_.files.exists(folder + "EULA.rtf"))
        return;
    history_.RecordEvent(153);
    InstallAgreement agreement(run_, *dialogs_, *legal_, folder);
    if (!legal_->agreement(agreement))
        finish(1602); // the user's own choice: no abort flag
}

void InstallerApp::writeAddOnChoice() {
    std::string offer = stringAt(1403);
    bool offered = offer.size() == 1 && std::toupper(static_cast<unsigned char>(offer[0])) == 'Y';
    bool win9x = os_.win95or98() || os_.windowsMe();
    if (offered && !win9x && session_.windowShown) {
        history_.RecordEvent(156);
        OptionalFeatures features;
        const OsVersion version = machine_.system.osVersion();
        features.gadgetOffered = version.platform == kPlatformNt && version.major == 6;
        legal_->optionalFeatures(features);
        settings_.writeAddOnChoice(features.toolbarValue, features.gadgetValue);
        return;
    }
    settings_.writeAddOnChoice(offered && !win9x && session_.silent ? "1" : "0");
}

void InstallerApp::setDdeq() {
    std::string programFiles;
    if (auto folder = machine_.shell.programFilesFolder())
        programFiles = *folder;
    else if (auto value =
                 machine_.registry.readString(RegRoot::LocalMachine, kCurrentVersionKey, "ProgramFilesDir"))
        programFiles = *value;
    history_.SetValue(
        "DDEq",
        equalsIgnoringCase(session_.installDirectory, programFiles + "\\" + stringAt(30)) ? "1" : "0");
}

void InstallerApp::writeProgressComponentOrFail() {
    if (!progressComponent_.Write(run_, machine_.system.tempPath() + "progupd.dll")) {
        history_.RecordEvent(114);
        prompts_.notice(1285);
        run_.fail(29);
    }
}

void InstallerApp::runEngine() {
    session_.engineArguments = script_.arguments();
    // On every path: a Close while the engine runs must only ask it to stop, never end the
    // run and delete install.ini and the progress module under it.
    frameLogic_->engineRunning = true;
    session_.engineResult = script_.Execute(run_, settings_.path());
    frameLogic_->engineRunning = false;
    settings_.removeProgressDll();
}

void InstallerApp::runUnattended() {
    settings_.write(session_);
    writeProgressComponentOrFail();
    setDdeq();
    if (session_.hasSettingsCopy)
        script_.setArguments("-?");
    else if (session_.hasX && !script_.setArguments("/x" + session_.xArgument))
        script_.setArguments("/x");
    runEngine();
    if (session_.engineResult != '0')
        abort_ = true;
}

void InstallerApp::runCoordinated() {
    session_.installType = 'A';
    machine_.windows.sendMessage(session_.frame, msg::InitProgress, 0, 0);
    machine_.windows.sendMessage(session_.frame, msg::ShowProgress, 0, 0);
    // The answer comes as a message from the coordinating process: sleep until it does.
    pumpUntil(machine_.windows, [this] { return frameLogic_->coordinationAnswered(); });
    setDdeq();
    if (frameLogic_->coordinationCancel()) {
        session_.engineResult = '3';
        abort_ = true;
        return;
    }
    // The engine of a coordinated run still needs this run's settings and progress module.
    settings_.write(session_);
    writeProgressComponentOrFail();
    script_.setArguments("-y2");
    runEngine();
    if (session_.engineResult != '0')
        abort_ = true;
}

} // namespace zov
