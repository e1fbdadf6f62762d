#include "ui/wizard_flow.h"

#include "protocol/contract.h"
#include "run/text.h"

namespace zov {
namespace {

constexpr unsigned kInstallsKeyString = 39;
constexpr unsigned kDownloadFolderString = 1050;
constexpr unsigned kDownloadsShortcutString = 37;
constexpr std::size_t kWelcomeTextBytes = 4096;

std::string folderOf(const std::string& path) {
    std::size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

} // namespace

void WizardFlow::start() {
    downloadsPresent_ = false;
    versionQuestionAsked_ = false;
    cachedInstalls_ = false;
    if (frame_.hasFlash())
        frame_.playMovie();
    run_.abort = false;
    runFrom(WizardStage::Welcome);
}

void WizardFlow::runFrom(WizardStage stage) {
    for (Next next = stage; next && !run_.abort;)
        next = step(*next);
}

WizardFlow::Next WizardFlow::step(WizardStage stage) {
    switch (stage) {
    case WizardStage::Welcome:
        return welcome();
    case WizardStage::MemberGate:
        return session_.showMember ? WizardStage::Member : WizardStage::Directory;
    case WizardStage::Member:
        return member();
    case WizardStage::Scan:
        return scan();
    case WizardStage::List:
        return list();
    case WizardStage::Recent:
        return recent();
    case WizardStage::Downloads:
        return downloads();
    case WizardStage::Directory:
        return directory();
    case WizardStage::BackFromDirectory:
        return backFromDirectory();
    }
    return std::nullopt;
}

int WizardFlow::show(unsigned event, WizardPage& page) {
    run_.history.RecordEvent(event);
    const int result = pages_->showPage(page);
    if (result == PageHost::kNotCreated) {
        run_.history.RecordEvent(112);
        run_.prompts.notice(4);
        run_.fail(14);
    }
    return result;
}

void WizardFlow::recordInstallType() {
    const char* inst = "?";
    switch (session_.installType) {
    case 'A':
        inst = "a";
        break;
    case 'C':
        inst = "b";
        break;
    case 'D':
        inst = "c";
        break;
    case 'E':
        inst = "d";
        break;
    default:
        break;
    }
    run_.history.SetValue("inst", inst);
}

std::string WizardFlow::welcomeText() {
    return run_.m.profile.readString(folderOf(session_.installerPath) + "comps.ini", "ltext", "text", "",
                                     kWelcomeTextBytes);
}

WizardFlow::Next WizardFlow::welcome() {
    if (session_.showWelcome) {
        if (session_.screenNameWelcome) {
            WelcomeScreenNamePage page(session_, run_.m.strings);
            show(146, page);
        } else {
            WelcomePage page(session_, run_.m.strings, welcomeText());
            show(100, page);
        }
        if (run_.abort)
            run_.fail(183);
    }
    if (session_.installType != 'A')
        return WizardStage::MemberGate;
    recordInstallType();
    if (!scanner_.diskScanDone())
        scanner_.CheckRegisteredClient();
    session_.showDirectory = false;
    return WizardStage::Directory;
}

WizardFlow::Next WizardFlow::member() {
    chosenOnRecentPage_ = false;
    MemberTypePage page(session_, !session_.showWelcome);
    const int result = show(101, page);
    if (run_.abort)
        return std::nullopt;
    if (result == page_result::kBack)
        return WizardStage::Welcome;
    if (session_.installType != 'C')
        return WizardStage::Directory;
    if (!scanner_.diskScanDone()) {
        std::optional<std::string> cache =
            run_.m.registry.readString(RegRoot::LocalMachine, run_.m.strings.get(kInstallsKeyString), "", 10);
        if (cache && !cache->empty() && (*cache)[0] == '1')
            cachedInstalls_ = true;
        if (scanner_.CheckRegisteredClient() == 1) {
            if (scanner_.comparisonResult() != -1)
                versionQuestionAsked_ = true;
            if (scanner_.clientCount() >= 1)
                return WizardStage::Recent;
        }
    }
    return WizardStage::Scan;
}

void WizardFlow::endBusySearch() {
    run_.m.windows.sendMessage(session_.frame, msg::HideBusy, 0, 0);
    run_.m.windows.postMessage(session_.frame, msg::ResetWizardBack, 0, 0);
}

WizardFlow::Next WizardFlow::scan() {
    if (scanner_.apppathFound()) {
        int comparison;
        if (cachedInstalls_) {
            comparison = scanner_.ListCachedClients();
        } else {
            comparison = scanner_.ScanDisksForClients();
            endBusySearch();
        }
        if (!session_.upgradeTargetFixed && !versionQuestionAsked_ && (comparison == 0 || comparison == 1)) {
            versionQuestionAsked_ = true;
            if (!scanner_.AskVersionQuestion(comparison))
                run_.fail(183);
        }
    }
    if (session_.installType == 'C' && scanner_.clientCount() == 0) {
        session_.installType = 'E';
        run_.history.RecordEvent(113);
        run_.prompts.notice(1267);
        return WizardStage::Directory;
    }
    return WizardStage::List;
}

WizardFlow::Next WizardFlow::list() {
    int result;
    for (;;) {
        // The list is rebuilt by a scan: each showing takes it afresh.
        UpgradeListPage page(session_, run_.m.strings, scanner_.clientList(), scanner_.diskScanDone());
        result = show(102, page);
        if (result != page_result::kThird || run_.abort)
            break;
        scanner_.ScanDisksForClients();
        endBusySearch();
    }
    if (run_.abort)
        return std::nullopt;
    if (result == page_result::kBack)
        return WizardStage::MemberGate;
    readUpgradeClient();
    return WizardStage::Downloads;
}

WizardFlow::Next WizardFlow::recent() {
    RecentVersionPage page(session_, scanner_.registeredFolder());
    const int result = show(149, page);
    if (run_.abort)
        return std::nullopt;
    if (result == page_result::kBack)
        return WizardStage::MemberGate;
    if (!session_.recentVersionChoice)
        return WizardStage::Scan;
    session_.upgradeDirectory = scanner_.registeredFolder();
    readUpgradeClient();
    chosenOnRecentPage_ = true;
    return WizardStage::Downloads;
}

void WizardFlow::readUpgradeClient() {
    scanner_.ReadUpgradeClient(upgradeVersion_, session_.upgradeCodebaseText, session_.upgradeBuildText);
}

bool WizardFlow::downloadsPresent(const std::string& folder) {
    std::optional<std::vector<FolderEntry>> entries = run_.m.discovery.listFolder(folder);
    if (!entries)
        return false;
    const std::string shortcut = run_.m.strings.get(kDownloadsShortcutString) + ".lnk";
    bool visible = false, other = false;
    for (const FolderEntry& e : *entries) {
        visible = visible || (!e.name.empty() && e.name[0] != '.');
        other = other || (e.name != "." && e.name != ".." && !equalsNoCase(e.name, shortcut));
    }
    return visible && other;
}

WizardFlow::Next WizardFlow::downloads() {
    const std::string folder = session_.upgradeDirectory + "\\" + run_.m.strings.get(kDownloadFolderString);
    downloadsPresent_ = !session_.upgradeDirectory.empty() && downloadsPresent(folder);
    if (!downloadsPresent_) {
        session_.filesAction = 'C';
        return WizardStage::Directory;
    }
    DownloadsActionPage page(session_);
    const int result = show(103, page);
    if (run_.abort)
        return std::nullopt;
    if (result == page_result::kBack)
        return chosenOnRecentPage_ ? WizardStage::Recent : WizardStage::List;
    // The files leave the old client: its shortcut to them would point nowhere.
    if (session_.filesAction != 'C')
        run_.m.files.removeFile(folder + "\\" + run_.m.strings.get(kDownloadsShortcutString) + ".lnk");
    return WizardStage::Directory;
}

WizardFlow::Next WizardFlow::directory() {
    recordInstallType();
    if (session_.showDirectory || session_.forceDirectory) {
        const bool backHidden =
            !session_.showWelcome && (session_.installType == 'A' || !session_.showMember);
        InstallDirPage page(session_, backHidden, chooseDirectory);
        const int result = show(104, page);
        if (run_.abort)
            return std::nullopt;
        if (result == page_result::kBack)
            return WizardStage::BackFromDirectory;
    }
    if (session_.installType == 'D' || session_.installType == 'E') {
        if (std::optional<std::string> folder = scanner_.FindLastRegisteredClient())
            scanner_.TestClientFolder(0, *folder, true);
    }
    return std::nullopt;
}

WizardFlow::Next WizardFlow::backFromDirectory() {
    switch (session_.installType) {
    case 'A':
        return WizardStage::Welcome;
    case 'D':
    case 'E':
        return session_.showMember ? WizardStage::Member : WizardStage::Welcome;
    default:
        if (scanner_.clientCount() != 0) {
            if (!session_.upgradeDirectory.empty() && downloadsPresent_)
                return WizardStage::Downloads;
            if (!chosenOnRecentPage_)
                return WizardStage::List;
        }
        return WizardStage::MemberGate;
    }
}

int DefaultAnswerPageHost::showPage(WizardPage& page) {
    PageView view = page.view();
    // Each page takes the answer Enter gives once its one-shot timers (the arming of Next)
    // have fired; a page that keeps refusing goes on with Next.
    for (const PageTimer& timer : view.timers)
        if (!timer.repeat)
            page.timer(timer.id);
    int focus = view.focus;
    for (int attempt = 0; attempt < 3; ++attempt) {
        PageAction action = page.enter(focus);
        if (action.close)
            return action.result;
        if (action.focus != 0)
            focus = action.focus;
    }
    return page_result::kNext;
}

} // namespace zov
