#include "run/text.h"
#include "ui/box_dialogs.h"

#include "checks/disk_space.h"

#include <cctype>
#include <cstdio>

namespace zov {
namespace {

std::string megabytes(std::int64_t kilobytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", static_cast<double>(kilobytes) / 1024.0);
    return text;
}

} // namespace

const char* const BoxDialogs::kResumeText =
    "Remember - there's no risk and no obligation during your FREE trial!\n\nWould you like to Resume setup?";

bool BoxDialogs::resumeSetup() {
    // Yes stands for "Resume Setup", No for "Exit Setup".
    return run_.m.windows.messageBox(BoxKind::Question, kResumeText, run_.prompts.text(2)) != BoxAnswer::No;
}

void BoxDialogs::cancelSummary() {
    run_.m.windows.messageBox(BoxKind::Notice, run_.m.strings.get(215) + run_.m.strings.get(216),
                              run_.prompts.text(2));
}

int BoxDialogs::diskCleanup(DiskFigures& figures, bool systemCheck) {
    DiskSpace disk(run_);
    Shortfall shortfall = disk.shortfall(figures, true);
    std::string text = shortfall.text;
    if (!systemCheck) {
        run_.m.windows.messageBox(BoxKind::Notice, text, run_.prompts.text(2));
        return kCleanupContinue;
    }
    return run_.m.windows.messageBox(BoxKind::Warning, text, run_.prompts.text(2)) == BoxAnswer::Ok
               ? kCleanupContinue
               : kCleanupCancel;
}

int BoxDialogs::diskSpacePage(DiskFigures& f, bool) {
    Prompts& prompts = run_.prompts;
    const bool oneDrive = std::toupper(static_cast<unsigned char>(f.systemDrive)) ==
                          std::toupper(static_cast<unsigned char>(f.installDrive));
    bool enough;
    std::string drives, required, available;
    if (oneDrive) {
        std::int64_t need = static_cast<std::int64_t>(f.requiredInstall) + f.requiredSystem;
        enough = static_cast<std::int64_t>(f.availableInstall) >= need;
        drives = formatText(prompts.text(1292), {std::string(1, f.installDrive)});
        required = "Required space: " + megabytes(need) + "MB";
        available = "Available space: " + megabytes(f.availableInstall) + "MB";
    } else {
        enough = static_cast<std::int64_t>(f.availableSystem) >= f.requiredSystem &&
                 static_cast<std::int64_t>(f.availableInstall) >= f.requiredInstall;
        drives =
            formatText(prompts.text(1295), {std::string(1, f.systemDrive), std::string(1, f.installDrive)});
        required = "Required space: " + megabytes(f.requiredSystem) +
                   "MB\nRequired space: " + megabytes(f.requiredInstall) + "MB";
        available = "Available space: " + megabytes(f.availableSystem) +
                    "MB\nAvailable space: " + megabytes(f.availableInstall) + "MB";
    }
    std::string text = "Disk Space Check\n\n" + prompts.text(enough ? 196 : 197) + "\n\n" + drives + "\n" +
                       required + "\n" + available;
    // OK goes on (Next); Cancel asks to cancel. The wizard pages are not there to go Back to.
    return run_.m.windows.messageBox(BoxKind::Warning, text, prompts.text(2)) == BoxAnswer::Ok ? kPageNext
                                                                                               : kPageCancel;
}

} // namespace zov
