#include "ui/wizard_pages.h"

#include "run/text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace zov {
namespace {

namespace id = page_control;

ControlState radio(int control, int checked) {
    ControlState c;
    c.id = control;
    c.checked = control == checked;
    return c;
}

ControlState hidden(int control) {
    ControlState c;
    c.id = control;
    c.visible = false;
    c.enabled = false;
    return c;
}

ControlState withText(int control, std::string text) {
    ControlState c;
    c.id = control;
    c.text = std::move(text);
    return c;
}

// Whole megabytes with two decimals, as the disk texts show them.
std::string megabytes(std::int64_t kilobytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", static_cast<double>(kilobytes) / 1024.0);
    return text;
}

// Fills a disk text whose "%.2f" places take megabyte figures and "%c" drive letters.
std::string diskText(std::string format, std::initializer_list<std::string> arguments) {
    for (const char* placeholder = "%.2f"; format.find(placeholder) != std::string::npos;)
        format.replace(format.find(placeholder), 4, "%s");
    return formatText(format, arguments);
}

} // namespace

void addTooltip(PageView& view, int control, const std::string& text) {
    if (!text.empty() && text[0] != '|')
        view.tooltips.push_back({control, text});
}

// The plain welcome page.

PageView WelcomePage::view() const {
    PageView v;
    if (!body_.empty())
        v.controls.push_back(withText(id::kBody, body_));
    v.focus = session_.installType == 'A' ? id::kNewMember : id::kCurrentMember;
    addTooltip(v, id::kNewMember, strings_.get(1370));
    addTooltip(v, id::kCurrentMember, strings_.get(1371));
    return v;
}

PageAction WelcomePage::command(int control) {
    if (control == id::kNewMember) {
        session_.installType = 'A';
        return PageAction::closeWith(page_result::kNext);
    }
    if (control == id::kCurrentMember) {
        // An account kind chosen on the member page before (Back, then here again) stays.
        if (session_.installType == 'A')
            session_.installType = 'C';
        return PageAction::closeWith(page_result::kNext);
    }
    return {};
}

PageAction WelcomePage::enter(int focused) {
    if (session_.screenReader && (focused == id::kNewMember || focused == id::kCurrentMember))
        return command(focused);
    return command(session_.installType == 'A' ? id::kNewMember : id::kCurrentMember);
}

PageAction WelcomePage::tabbedTo(int focused) {
    if (focused == id::kNewMember)
        session_.installType = 'A';
    else if (focused == id::kCurrentMember)
        session_.installType = 'C';
    else
        return {};
    return PageAction::focusOn(focused);
}

// The screen-name welcome page.

PageView WelcomeScreenNamePage::view() const {
    PageView v;
    v.controls.push_back(withText(id::kScreenName, session_.brandScreenName));
    v.focus = id::kScreenName;
    addTooltip(v, id::kNewMember, strings_.get(1370));
    addTooltip(v, id::kCurrentMember, strings_.get(1371));
    addTooltip(v, id::kScreenName, strings_.get(1377));
    return v;
}

PageAction WelcomeScreenNamePage::command(int control) {
    switch (control) {
    case id::kScreenName:
        session_.installType = 'E';
        session_.useScreenName = true;
        session_.showMember = false;
        break;
    case id::kNewMember:
        session_.installType = 'A';
        session_.useScreenName = false;
        break;
    case id::kCurrentMember:
        if (session_.installType == 'A')
            session_.installType = 'C';
        session_.useScreenName = false;
        session_.showMember = true;
        break;
    default:
        return {};
    }
    return PageAction::closeWith(page_result::kNext);
}

PageAction WelcomeScreenNamePage::enter(int focused) {
    if (session_.screenReader)
        return command(focused == id::kNewMember || focused == id::kCurrentMember ? focused
                                                                                  : id::kScreenName);
    switch (session_.installType) {
    case 'A':
        return command(id::kNewMember);
    case 'E':
        return command(id::kScreenName);
    default:
        return command(id::kCurrentMember);
    }
}

// The member page.

MemberTypePage::MemberTypePage(InstallSession& session, bool backHidden)
    : session_(session), backHidden_(backHidden),
      checked_(session.installType == 'D'   ? id::kAddAccount
               : session.installType == 'E' ? id::kAdditionalAccount
                                            : id::kUpgradeHere) {}

PageView MemberTypePage::view() const {
    PageView v;
    for (int r : {id::kUpgradeHere, id::kAddAccount, id::kAdditionalAccount})
        v.controls.push_back(radio(r, checked_));
    if (backHidden_)
        v.controls.push_back(hidden(id::kBack));
    return v;
}

PageAction MemberTypePage::close(int result) {
    session_.installType = checked_ == id::kAddAccount ? 'D' : checked_ == id::kAdditionalAccount ? 'E' : 'C';
    return PageAction::closeWith(result);
}

PageAction MemberTypePage::command(int control) {
    switch (control) {
    case id::kUpgradeHere:
    case id::kAddAccount:
    case id::kAdditionalAccount:
        checked_ = control;
        return {};
    case id::kNext:
        return close(page_result::kNext);
    case id::kBack:
        return backHidden_ ? PageAction{} : close(page_result::kBack);
    default:
        return {};
    }
}

PageAction MemberTypePage::enter(int focused) {
    return command(focused == id::kBack ? id::kBack : id::kNext);
}

// Pages whose Next is armed after 300 ms.

PageAction ArmedPage::timer(int timerId) {
    if (timerId == kArmTimer)
        armed_ = true;
    return {};
}

void ArmedPage::addArmTimer(PageView& view) const {
    if (!armed_)
        view.timers.push_back({kArmTimer, kArmDelayMs, false});
}

// The downloads page.

DownloadsActionPage::DownloadsActionPage(InstallSession& session)
    : session_(session), checked_(session.filesAction == 'B'   ? id::kCopyFiles
                                  : session.filesAction == 'C' ? id::kLeaveFiles
                                                               : id::kMoveFiles) {}

PageView DownloadsActionPage::view() const {
    PageView v;
    for (int r : {id::kMoveFiles, id::kCopyFiles, id::kLeaveFiles})
        v.controls.push_back(radio(r, checked_));
    addArmTimer(v);
    return v;
}

void DownloadsActionPage::store() {
    session_.filesAction = checked_ == id::kCopyFiles ? 'B' : checked_ == id::kLeaveFiles ? 'C' : 'A';
}

PageAction DownloadsActionPage::command(int control) {
    switch (control) {
    case id::kMoveFiles:
    case id::kCopyFiles:
    case id::kLeaveFiles:
        checked_ = control;
        store();
        return {};
    case id::kNext:
        if (!armed_)
            return {};
        store();
        return PageAction::closeWith(page_result::kNext);
    case id::kBack:
        store();
        return PageAction::closeWith(page_result::kBack);
    default:
        return {};
    }
}

PageAction DownloadsActionPage::enter(int focused) {
    return command(focused == id::kBack && session_.screenReader ? id::kBack : id::kNext);
}

// The recent-version page.

PageView RecentVersionPage::view() const {
    PageView v;
    v.controls.push_back(withText(id::kRecentFolder, folder_));
    for (int r : {id::kUpgradeRecent, id::kSearchOthers})
        v.controls.push_back(radio(r, checked_));
    addArmTimer(v);
    return v;
}

PageAction RecentVersionPage::close(int result) {
    session_.recentVersionChoice = checked_ == id::kUpgradeRecent;
    return PageAction::closeWith(result);
}

PageAction RecentVersionPage::command(int control) {
    switch (control) {
    case id::kUpgradeRecent:
    case id::kSearchOthers:
        checked_ = control;
        session_.recentVersionChoice = control == id::kUpgradeRecent;
        return {};
    case id::kNext:
        return armed_ ? close(page_result::kNext) : PageAction{};
    case id::kBack:
        return close(page_result::kBack);
    default:
        return {};
    }
}

PageAction RecentVersionPage::enter(int focused) {
    return command(focused == id::kBack ? id::kBack : id::kNext);
}

// The upgrade list.

UpgradeListPage::UpgradeListPage(InstallSession& session, StringTable& strings,
                                 const std::vector<ClientListEntry>& entries, bool diskScanDone)
    : session_(session), strings_(strings), entries_(entries), scanDone_(diskScanDone) {
    if (!entries_.empty())
        selected_ = 0;
    if (!session_.upgradeDirectory.empty()) {
        auto match = std::find_if(entries_.begin(), entries_.end(), [this](const ClientListEntry& e) {
            return equalsNoCase(e.folder, session_.upgradeDirectory);
        });
        if (match != entries_.end())
            selected_ = static_cast<int>(match - entries_.begin());
    }
}

PageView UpgradeListPage::view() const {
    PageView v;
    v.controls.push_back(withText(id::kBody, strings_.get(scanDone_ ? 24 : 40)));
    if (scanDone_)
        v.controls.push_back(hidden(id::kScanDrives));
    ListState list;
    list.id = id::kClientList;
    for (const ClientListEntry& e : entries_)
        list.rows.push_back(e.text);
    list.selected = selected_;
    v.list = std::move(list);
    return v;
}

void UpgradeListPage::selectRow(int row) {
    selected_ = row >= 0 && row < static_cast<int>(entries_.size()) ? row : -1;
}

PageAction UpgradeListPage::close(int result) {
    // An empty list has no entry to take: the upgrade directory stays as it was.
    if (!entries_.empty())
        session_.upgradeDirectory = entries_[static_cast<std::size_t>(selected_ < 0 ? 0 : selected_)].folder;
    return PageAction::closeWith(result);
}

PageAction UpgradeListPage::command(int control) {
    switch (control) {
    case id::kNext:
        return close(page_result::kNext);
    case id::kBack:
        return close(page_result::kBack);
    case id::kScanDrives:
        return scanDone_ ? PageAction{} : PageAction::closeWith(page_result::kThird);
    default:
        return {};
    }
}

PageAction UpgradeListPage::enter(int focused) {
    return command(focused == id::kBack && session_.screenReader ? id::kBack : id::kNext);
}

int listHorizontalExtent(const std::vector<int>& rowWidths) {
    if (rowWidths.empty())
        return 0;
    return *std::max_element(rowWidths.begin(), rowWidths.end()) + 6;
}

int averageCharWidth(int widthOf52Letters) {
    return (widthOf52Letters + 26) / 52;
}

int tabStopPixels(int dialogUnits, int averageWidth) {
    // Four dialog units make one average character width.
    return (dialogUnits * averageWidth + 2) / 4;
}

// The directory page.

PageView InstallDirPage::view() const {
    PageView v;
    v.controls.push_back(withText(id::kPathDisplay, path_));
    if (backHidden_)
        v.controls.push_back(hidden(id::kBack));
    if (!chooser_)
        v.controls.push_back(hidden(id::kChangeDirectory));
    return v;
}

PageAction InstallDirPage::command(int control) {
    switch (control) {
    case id::kNext:
        session_.installDirectory = path_;
        return PageAction::closeWith(page_result::kNext);
    case id::kBack:
        if (backHidden_)
            return {};
        session_.installDirectory = path_;
        return PageAction::closeWith(page_result::kBack);
    case id::kChangeDirectory:
        if (chooser_) {
            if (std::optional<std::string> chosen = chooser_(path_)) {
                path_ = *chosen;
                return PageAction::redraw();
            }
        }
        return {};
    default:
        return {};
    }
}

PageAction InstallDirPage::enter(int focused) {
    if (focused == id::kBack || focused == id::kChangeDirectory)
        return command(focused);
    return command(id::kNext);
}

// The disk-space page.

DiskSpacePage::DiskSpacePage(StringTable& strings, DiskFigures figures, Options options)
    : strings_(strings), figures_(figures), options_(std::move(options)) {
    show();
}

bool DiskSpacePage::show() {
    if (shownInstall_ == figures_.availableInstall && shownSystem_ == figures_.availableSystem)
        return false;
    const DiskFigures& f = figures_;
    if (std::toupper(static_cast<unsigned char>(f.installDrive)) ==
        std::toupper(static_cast<unsigned char>(f.systemDrive))) {
        const std::int64_t need = static_cast<std::int64_t>(f.requiredInstall) + f.requiredSystem;
        drives_ = diskText(strings_.get(1292), {std::string(1, f.installDrive)});
        required_ = diskText(strings_.get(1293), {megabytes(need)});
        available_ = diskText(strings_.get(1294), {megabytes(f.availableInstall)});
        enough_ = static_cast<std::int64_t>(f.availableInstall) >= need;
    } else {
        drives_ =
            diskText(strings_.get(1295), {std::string(1, f.systemDrive), std::string(1, f.installDrive)});
        required_ = diskText(strings_.get(1296), {megabytes(f.requiredSystem), megabytes(f.requiredInstall)});
        available_ =
            diskText(strings_.get(1297), {megabytes(f.availableSystem), megabytes(f.availableInstall)});
        enough_ = static_cast<std::int64_t>(f.availableSystem) >= f.requiredSystem &&
                  static_cast<std::int64_t>(f.availableInstall) >= f.requiredInstall;
    }
    message_ = strings_.get(enough_ ? 196 : 197);
    shownInstall_ = f.availableInstall;
    shownSystem_ = f.availableSystem;
    return true;
}

PageView DiskSpacePage::view() const {
    PageView v;
    v.controls.push_back(withText(id::kBody, message_));
    v.controls.push_back(withText(id::kDriveColumn, drives_));
    v.controls.push_back(withText(id::kRequiredColumn, required_));
    v.controls.push_back(withText(id::kAvailableColumn, available_));
    if (options_.hideBack)
        v.controls.push_back(hidden(id::kBack));
    if (options_.hideChangeDrive || options_.oneFixedDrive || !options_.changeDrive) {
        v.controls.push_back(hidden(id::kChangeDrive));
        v.controls.push_back(hidden(id::kChangeDriveText));
    }
    if (!options_.cleanup) {
        v.controls.push_back(hidden(id::kDiskCleanup));
        v.controls.push_back(hidden(id::kCleanupText));
    }
    v.timers.push_back({kFiguresTimer, kFiguresPeriodMs, true});
    return v;
}

PageAction DiskSpacePage::timer(int timerId) {
    if (timerId != kFiguresTimer || !options_.measure)
        return {};
    options_.measure(figures_);
    return show() ? PageAction::redraw() : PageAction{};
}

PageAction DiskSpacePage::command(int control) {
    switch (control) {
    case id::kNext:
        return PageAction::closeWith(page_result::kNext);
    case id::kBack:
        return options_.hideBack ? PageAction{} : PageAction::closeWith(page_result::kBack);
    case id::kDiskCancel:
        return PageAction::closeWith(page_result::kThird);
    case id::kDiskCleanup:
        if (!options_.cleanup)
            return {};
        options_.cleanup();
        return timer(kFiguresTimer).refresh ? PageAction::redraw() : PageAction{};
    case id::kChangeDrive:
        if (options_.hideChangeDrive || !options_.changeDrive)
            return {};
        return options_.changeDrive() ? PageAction::closeWith(page_result::kNext) : PageAction{};
    default:
        return {};
    }
}

PageAction DiskSpacePage::enter(int focused) {
    const bool actsAsFocused = focused == id::kBack || focused == id::kDiskCleanup ||
                               focused == id::kChangeDrive || focused == id::kDiskCancel;
    return command(options_.screenReader && actsAsFocused ? focused : id::kNext);
}

} // namespace zov
