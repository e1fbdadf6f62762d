#include "ui/disk_dialogs.h"

#include "checks/disk_space.h"
#include "run/text.h"

#include <cctype>
#include <cstdio>

namespace zov {
namespace {

constexpr unsigned kExplorer = 1039;
constexpr std::uint32_t kFixedDrive = 3, kRemoteDrive = 4;

std::string twoDecimals(unsigned format, StringTable& strings, float megabytes) {
    char number[32];
    std::snprintf(number, sizeof number, "%.2f", static_cast<double>(megabytes));
    std::string text = strings.get(format);
    const std::size_t place = text.find("%.2f");
    if (place != std::string::npos)
        text.replace(place, 4, number);
    return text;
}

std::string root(char letter) {
    return std::string(1, letter) + ":\\";
}

char upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

} // namespace

// -- The cleanup dialog -------------------------------------------------------------------------

int DiskCleanupModel::tickCounter_ = 1;

void DiskCleanupModel::start() {
    run_.history.RecordEvent(107);
    view_.binHint = run_.m.strings.get(1283);
    binText();
    tempText();
    shortfallText(true);
}

bool DiskCleanupModel::shortfallText(bool force) {
    Shortfall shortfall = DiskSpace(run_).shortfall(figures_, force);
    if (!shortfall.recomputed)
        return false;
    enough_ = shortfall.enough;
    view_.shortfall = shortfall.text;
    return true;
}

bool DiskCleanupModel::binText() {
    DiskSpace disk(run_);
    float total = 0.0f;
    for (char drive : DiskSpace::binDrives(figures_)) {
        std::uint32_t items = 0;
        float megabytes = 0.0f;
        if (disk.recycleBinSize(drive, items, megabytes))
            total += megabytes;
    }
    if (total == shownBin_)
        return false;
    StringTable& strings = run_.m.strings;
    view_.binHint = strings.get(1283);
    if (total <= 0.0f) {
        // Only the short drives' bins count: a full bin on a drive with room frees nothing
        // the install needs.
        view_.binSize.clear();
        view_.binHint = strings.get(1040);
        view_.emptyEnabled = false;
        view_.focusContinue = true;
        view_.binFull = false;
    } else {
        view_.binSize = total < 1.0f ? strings.get(1042) : twoDecimals(1041, strings, total);
        view_.emptyEnabled = true;
        view_.binFull = true;
    }
    shortfallText(false);
    shownBin_ = total;
    return true;
}

void DiskCleanupModel::tempText() {
    StringTable& strings = run_.m.strings;
    const float megabytes = DiskSpace(run_).oldTempFilesMb();
    if (megabytes != 0.0f) {
        view_.tempSize = megabytes < 1.0f ? strings.get(1328) : twoDecimals(1330, strings, megabytes);
        view_.tempHint = strings.get(1331);
        view_.deleteEnabled = true;
    } else {
        view_.tempSize.clear();
        view_.tempHint = strings.get(1329);
        view_.deleteEnabled = false;
        view_.focusContinue = true;
    }
}

bool DiskCleanupModel::tick() {
    view_.focusContinue = false;
    bool changed = binText();
    if (tickCounter_ == 0) {
        tickCounter_ = 1;
        changed = shortfallText(false) || changed;
    } else {
        --tickCounter_;
    }
    return changed;
}

void DiskCleanupModel::emptyBin() {
    run_.history.RecordEvent(110);
    DiskSpace disk(run_);
    for (char drive : DiskSpace::binDrives(figures_))
        disk.emptyRecycleBin(drive);
}

void DiskCleanupModel::launchExplorer() {
    run_.history.RecordEvent(109);
    // By its full path: a program of that name in the setup's folder must never start.
    const std::string program = run_.m.system.windowsDirectory() + "\\" + run_.m.strings.get(kExplorer);
    ProcessStart start;
    start.program = program;
    ProcessHandle process = run_.m.processes.start(start, false);
    run_.m.processes.close(process);
}

void DiskCleanupModel::deleteTemp() {
    run_.m.checks.desktop.waitCursor(true);
    run_.history.RecordEvent(111);
    DiskSpace(run_).deleteOldTempFiles();
    view_.focusContinue = false;
    tempText();
    shortfallText(false);
    run_.m.checks.desktop.waitCursor(false);
}

// -- The dialogs on screen ----------------------------------------------------------------------

int ScreenDialogs::diskCleanup(DiskFigures& figures, bool systemCheck) {
    DiskCleanupModel model(run_, figures, systemCheck);
    const int result = dialogs_.diskCleanup(model);
    return result == kCleanupCancel && systemCheck ? kCleanupCancel : kCleanupContinue;
}

bool ScreenDialogs::oneFixedDrive() {
    int drives = 0;
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        const std::uint32_t type = run_.m.system.driveType(root(letter));
        if (type == kFixedDrive || type == kRemoteDrive)
            ++drives;
    }
    return drives < 2;
}

bool ScreenDialogs::changeDrive(DiskFigures& figures) {
    SelectDirRequest request;
    request.templateId = 1037;
    request.prompt = 1314;
    request.path = session_.installDirectory;
    request.upgradeDirectory = session_.upgradeDirectory;
    DiskFigures columns = figures;
    request.figures = &columns;
    if (dialogs_.selectDirectory(request) != DirectoryDialogs::kDone)
        return false;
    const char before = session_.installDirectory.empty() ? 0 : upper(session_.installDirectory[0]);
    session_.installDirectory = request.path;
    return !request.path.empty() && upper(request.path[0]) != before;
}

int ScreenDialogs::diskSpacePage(DiskFigures& figures, bool duringInstall) {
    DiskSpacePage::Options options;
    options.hideBack = duringInstall;
    options.hideChangeDrive = duringInstall;
    options.oneFixedDrive = oneFixedDrive();
    options.screenReader = session_.screenReader;
    options.measure = [this](DiskFigures& f) {
        DiskSpace disk(run_);
        f.availableInstall = disk.freeKb(root(f.installDrive));
        f.availableSystem = disk.freeKb(root(f.systemDrive));
    };
    options.cleanup = [this, &figures] { diskCleanup(figures, false); };
    options.changeDrive = [this, &figures] { return changeDrive(figures); };
    DiskSpacePage page(run_.m.strings, figures, std::move(options));
    const int result = pages_.showPage(page);
    if (result == PageHost::kNotCreated) {
        run_.history.RecordEvent(112);
        run_.prompts.notice(4);
        run_.fail(14);
    }
    return result;
}

InstallDirPage::Chooser ScreenDialogs::directoryChooser() {
    return [this](const std::string& current) -> std::optional<std::string> {
        SelectDirRequest request;
        request.path = current;
        request.upgradeDirectory = session_.upgradeDirectory;
        if (dialogs_.selectDirectory(request) != DirectoryDialogs::kDone)
            return std::nullopt;
        return request.path;
    };
}

} // namespace zov
