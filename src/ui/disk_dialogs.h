// The disk cleanup dialog apart from the window system, and the dialogs of the checks as the
// interactive run shows them: the disk-space page through the page host, the cleanup and
// directory dialogs through what the window system provides (`DirectoryDialogs`).
#pragma once

#include "run/context.h"
#include "run/dialogs.h"
#include "run/session.h"
#include "ui/directory_rules.h"
#include "ui/wizard_page.h"
#include "ui/wizard_pages.h"

#include <string>

namespace zov {

// What the cleanup dialog's controls show.
struct CleanupView {
    std::string shortfall;          // 191
    std::string binSize, binHint;   // 1031, 1032
    std::string tempSize, tempHint; // 1038, 1037
    bool binFull = false;           // icon 153, else 154
    bool emptyEnabled = false, deleteEnabled = false;
    bool focusContinue = false; // a button lost its use: the focus goes to continue
};

// `CDiskCleanupDlg`: the recycle-bin and temporary-file texts, the clean-up actions and the
// one-second timer. The caller measures again after it ends.
class DiskCleanupModel {
  public:
    DiskCleanupModel(RunContext& run, DiskFigures& figures, bool systemCheck)
        : run_(run), figures_(figures), systemCheck_(systemCheck) {}

    // Event 107 and every text (the shortfall forced).
    void start();
    // The timer: the bin text, and the shortfall every second tick. True when a text changed.
    bool tick();
    void emptyBin();
    void launchExplorer();
    void deleteTemp();

    const CleanupView& view() const { return view_; }
    bool systemCheck() const { return systemCheck_; }
    bool enough() const { return enough_; }

    // The timer's process-wide counter, for tests.
    static void resetTickCounter() { tickCounter_ = 1; }

  private:
    bool binText();
    void tempText();
    bool shortfallText(bool force);

    RunContext& run_;
    DiskFigures& figures_;
    bool systemCheck_;
    bool enough_ = false;
    float shownBin_ = -1.0f;
    CleanupView view_;
    static int tickCounter_;
};

// The change-drive and directory dialog as the caller asks for it.
struct SelectDirRequest {
    int templateId = 170; // 170, or 1037 with the space columns
    unsigned caption = 34;
    unsigned prompt = 1269;
    std::string path; // the initial path; the accepted one after Done
    std::string upgradeDirectory;
    DiskFigures* figures = nullptr; // the change-drive use: its install drive follows the list
};

// The modal dialogs the window system shows. Each hides the page it was opened from while it
// is up.
class DirectoryDialogs {
  public:
    static constexpr int kDone = 1;
    static constexpr int kBack = 2;

    virtual ~DirectoryDialogs() = default;
    virtual int selectDirectory(SelectDirRequest& request) = 0;
    virtual int diskCleanup(DiskCleanupModel& model) = 0;
};

// The disk dialogs of the checks and the run sequence on screen; the resume dialog and the
// cancel summary come from `others`.
class ScreenDialogs final : public CheckDialogs {
  public:
    ScreenDialogs(RunContext& run, InstallSession& session, PageHost& pages, DirectoryDialogs& dialogs,
                  CheckDialogs& others)
        : run_(run), session_(session), pages_(pages), dialogs_(dialogs), others_(others) {}

    bool resumeSetup() override { return others_.resumeSetup(); }
    void cancelSummary() override { others_.cancelSummary(); }
    int diskCleanup(DiskFigures& figures, bool systemCheck) override;
    int diskSpacePage(DiskFigures& figures, bool duringInstall) override;

    // The directory page's change button (template 170).
    InstallDirPage::Chooser directoryChooser();
    // The disk-space page's change drive (template 1037): true when the drive changed.
    bool changeDrive(DiskFigures& figures);

  private:
    bool oneFixedDrive();

    RunContext& run_;
    InstallSession& session_;
    PageHost& pages_;
    DirectoryDialogs& dialogs_;
    CheckDialogs& others_;
};

} // namespace zov
