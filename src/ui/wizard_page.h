// A wizard page apart from the window system, and the host that shows one.
//
// Every page of the wizard is a portable model (`WizardPage`): built from the session when
// the flow shows it, it says what its window shows (`view`), takes the window's events and
// answers what the window must do (`PageAction`), and writes its values into the session
// when Next or Back closes it. The flow hands a page to `PageHost::showPage`, which shows it
// modally over the frame and returns its page result.
//
// How a page host binds a page (the Win32 host and the native tests' scripted host alike):
//  1. Create the dialog from `templateId()` over the frame; on failure return kNotCreated
//     (the flow records event 112, shows "Out of Memory" and ends the run with 14).
//  2. Apply `view()`: for each `ControlState`, set its text when it has one, show or hide
//     it, enable or disable it, check or clear it when `checked` is set; fill the list box
//     `list->id` with its rows and select `list->selected`; register the tooltips; start
//     each timer of `timers` (SetTimer with its id and period); give the focus to `focus`
//     (0: leave the dialog's own choice).
//  3. Forward the events, each returning a `PageAction`:
//       BN_CLICKED of a button or radio button (Next 1006 and Back 1019 included) -> command(id)
//       the dialog's OK command (Enter)           -> enter(id of the control with the focus)
//       WM_TIMER                                   -> timer(id); kill a one-shot timer first
//       LBN_SELCHANGE of the list box              -> selectRow(row or -1)
//       WM_WELCOMETAB, posted by the message loop when the dialog filter took a Tab key-up,
//       `reportsTab()` is true and the focused control is a button -> tabbedTo(focused id)
//     The dialog's Cancel command (Escape) does nothing; closing the page window posts
//     WM_CLOSE to the frame (the frame's cancel confirmation decides).
//  4. Act on each `PageAction`: move the focus when `focus` is set, apply `view()` again
//     when `refresh` is set, and when `close` is set destroy the page and return `result`.
//
// The screen-reader setting is read once by start-up into the session; the pages read it
// there, so the host passes no flag of its own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zov {

// Templates of the wizard pages.
namespace page_template {
inline constexpr int kWelcome = 129;
inline constexpr int kWelcomeScreenName = 227;
inline constexpr int kMemberType = 138;
inline constexpr int kInstallDir = 139;
inline constexpr int kUpgradeList = 140;
inline constexpr int kDownloadsAction = 141;
inline constexpr int kDiskSpace = 142;
inline constexpr int kRecentVersion = 232;
} // namespace page_template

// Control ids the page models name.
namespace page_control {
inline constexpr int kTitle = 1007;
inline constexpr int kBody = 1005;
inline constexpr int kHint = 1014;
inline constexpr int kNext = 1006; // on the welcome pages the static line above the buttons
inline constexpr int kBack = 1019;
// Welcome pages.
inline constexpr int kNewMember = 1060;
inline constexpr int kCurrentMember = 1061;
inline constexpr int kScreenName = 1376;
// Member page radio buttons.
inline constexpr int kUpgradeHere = 1017;
inline constexpr int kAddAccount = 1018;
inline constexpr int kAdditionalAccount = 1011;
// Downloads page radio buttons.
inline constexpr int kMoveFiles = 1028;
inline constexpr int kCopyFiles = 1027;
inline constexpr int kLeaveFiles = 1026;
// Recent-version page.
inline constexpr int kRecentFolder = 1386;
inline constexpr int kUpgradeRecent = 1384;
inline constexpr int kSearchOthers = 1385;
// Upgrade list.
inline constexpr int kClientList = 1025;
inline constexpr int kScanDrives = 1395;
// Directory page.
inline constexpr int kPathDisplay = 1021;
inline constexpr int kChangeDirectory = 1020;
// Disk-space page.
inline constexpr int kDriveColumn = 1061;
inline constexpr int kRequiredColumn = 1059;
inline constexpr int kAvailableColumn = 1060;
inline constexpr int kDiskCleanup = 1029;
inline constexpr int kCleanupText = 1008;
inline constexpr int kChangeDrive = 1031;
inline constexpr int kChangeDriveText = 1009;
inline constexpr int kDiskCancel = 1030;
} // namespace page_control

// Page results, as `ShowWizardPage` returns them.
namespace page_result {
inline constexpr int kNext = 1;
inline constexpr int kBack = -1;
inline constexpr int kThird = 0; // Scan on the upgrade list, exit on the disk-space page
} // namespace page_result

struct ControlState {
    int id = 0;
    std::optional<std::string> text; // replaces the template's text
    bool visible = true;
    bool enabled = true;
    std::optional<bool> checked; // radio buttons
};

struct ListState {
    int id = 0;
    std::vector<std::string> rows; // in this order; the list box is unsorted
    int selected = -1;
};

struct Tooltip {
    int control = 0;
    std::string text;
};

struct PageTimer {
    int id = 0;
    std::uint32_t periodMs = 0;
    bool repeat = false; // false: one-shot, killed when it fires
};

// What the page's window shows: the controls whose state the page decides; every other
// control stays as the template has it.
struct PageView {
    std::vector<ControlState> controls;
    std::optional<ListState> list;
    std::vector<Tooltip> tooltips;
    std::vector<PageTimer> timers;
    int focus = 0;

    const ControlState* control(int id) const {
        for (const ControlState& c : controls)
            if (c.id == id)
                return &c;
        return nullptr;
    }
};

// What the window must do after an event.
struct PageAction {
    bool close = false; // destroy the page; ShowWizardPage returns `result`
    int result = 0;
    int focus = 0;        // give this control the focus (0: no change)
    bool refresh = false; // the view changed: apply view() again

    static PageAction none() { return {}; }
    static PageAction closeWith(int result) { return {true, result, 0, false}; }
    static PageAction focusOn(int control) { return {false, 0, control, false}; }
    static PageAction redraw() { return {false, 0, 0, true}; }
};

class WizardPage {
  public:
    // The one-shot timer that arms Next 300 ms after the downloads and recent-version pages
    // appear.
    static constexpr int kArmTimer = 1;
    static constexpr std::uint32_t kArmDelayMs = 300;

    virtual ~WizardPage() = default;
    virtual int templateId() const = 0;
    virtual PageView view() const = 0;
    // A button or radio button was clicked; Next and Back included.
    virtual PageAction command(int control) = 0;
    // Enter, with the id of the control that has the focus (0 for none).
    virtual PageAction enter(int focused) = 0;
    virtual PageAction timer(int) { return {}; }
    // Tab moved the focus to this control (only pages whose reportsTab() is true).
    virtual PageAction tabbedTo(int) { return {}; }
    virtual bool reportsTab() const { return false; }
    // The list box's selected row changed (-1: none).
    virtual void selectRow(int) {}
};

// Shows a page modally over the frame until it closes.
class PageHost {
  public:
    static constexpr int kNotCreated = -1000;

    virtual ~PageHost() = default;
    // The page result (1, -1 or 0), or kNotCreated when the page's window could not be made.
    // The frame's Exit ends the run while a page is up; then this never returns.
    virtual int showPage(WizardPage& page) = 0;
};

} // namespace zov
