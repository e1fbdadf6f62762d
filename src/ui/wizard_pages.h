// The wizard's pages: what each shows from the session, what its buttons store, what Enter
// means. Page values are written when the page closes (and on the downloads page at every
// radio-button click), so a page shown again starts from what the user chose before.
#pragma once

#include "discovery/scanner.h"
#include "run/dialogs.h"
#include "run/session.h"
#include "ui/wizard_page.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zov {

// Tooltips of the welcome pages: a text that begins with '|' is not registered.
void addTooltip(PageView& view, int control, const std::string& text);

// The plain welcome page (129): new member or current member.
class WelcomePage final : public WizardPage {
  public:
    // `bodyText` replaces the template's body when it is not empty (comps.ini, ltext).
    WelcomePage(InstallSession& session, StringTable& strings, std::string bodyText)
        : session_(session), strings_(strings), body_(std::move(bodyText)) {}
    int templateId() const override { return page_template::kWelcome; }
    PageView view() const override;
    PageAction command(int control) override;
    PageAction enter(int focused) override;
    PageAction tabbedTo(int focused) override;
    bool reportsTab() const override { return true; }

  private:
    InstallSession& session_;
    StringTable& strings_;
    std::string body_;
};

// The welcome page of a web-registered screen name (227): screen name, new or current member.
class WelcomeScreenNamePage final : public WizardPage {
  public:
    WelcomeScreenNamePage(InstallSession& session, StringTable& strings)
        : session_(session), strings_(strings) {}
    int templateId() const override { return page_template::kWelcomeScreenName; }
    PageView view() const override;
    PageAction command(int control) override;
    PageAction enter(int focused) override;

  private:
    InstallSession& session_;
    StringTable& strings_;
};

// Current members (138): upgrade here, add an existing account, or an additional account.
class MemberTypePage final : public WizardPage {
  public:
    MemberTypePage(InstallSession& session, bool backHidden);
    int templateId() const override { return page_template::kMemberType; }
    PageView view() const override;
    PageAction command(int control) override;
    PageAction enter(int focused) override;

  private:
    PageAction close(int result);
    InstallSession& session_;
    bool backHidden_;
    int checked_;
};

// Base of the two pages whose Next is armed only 300 ms after they appear.
class ArmedPage : public WizardPage {
  public:
    PageAction timer(int id) override;
    bool armed() const { return armed_; }

  protected:
    void addArmTimer(PageView& view) const;
    bool armed_ = false;
};

// What to do with the old client's downloaded files (141).
class DownloadsActionPage final : public ArmedPage {
  public:
    explicit DownloadsActionPage(InstallSession& session);
    int templateId() const override { return page_template::kDownloadsAction; }
    PageView view() const override;
    PageAction command(int control) override;
    PageAction enter(int focused) override;

  private:
    void store();
    InstallSession& session_;
    int checked_;
};

// The most recently used client (232): upgrade it, or search for others.
class RecentVersionPage final : public ArmedPage {
  public:
    RecentVersionPage(InstallSession& session, std::string registeredFolder)
        : session_(session), folder_(std::move(registeredFolder)) {}
    int templateId() const override { return page_template::kRecentVersion; }
    PageView view() const override;
    PageAction command(int control) override;
    PageAction enter(int focused) override;

  private:
    PageAction close(int result);
    InstallSession& session_;
    std::string folder_;
    int checked_ = page_control::kUpgradeRecent;
};

// The clients that may be upgraded (140), most recently used first, with the disk search.
class UpgradeListPage final : public WizardPage {
  public:
    UpgradeListPage(InstallSession& session, StringTable& strings,
                    const std::vector<ClientListEntry>& entries, bool diskScanDone);
    int templateId() const override { return page_template::kUpgradeList; }
    PageView view() const override;
    PageAction command(int control) override;
    PageAction enter(int focused) override;
    void selectRow(int row) override;
    int selectedRow() const { return selected_; }

  private:
    PageAction close(int result);
    InstallSession& session_;
    StringTable& strings_;
    const std::vector<ClientListEntry>& entries_;
    bool scanDone_;
    int selected_ = -1;
};

// The list box's horizontal scroll extent: the widest row plus 6 pixels (0 for no rows).
int listHorizontalExtent(const std::vector<int>& rowWidths);
// The average character width of a font from the width of the 52 letters A-Z and a-z,
// rounded to the nearest pixel; and tab stops in dialog units converted to pixels with it.
int averageCharWidth(int widthOf52Letters);
int tabStopPixels(int dialogUnits, int averageWidth);

// The directory page (139): the install directory, and the change button's directory dialog
// (the chooser; without one the button is hidden).
class InstallDirPage final : public WizardPage {
  public:
    // The change button's dialog: the new folder, or nothing when the user went back.
    using Chooser = std::function<std::optional<std::string>(const std::string& current)>;

    InstallDirPage(InstallSession& session, bool backHidden, Chooser chooser = {})
        : session_(session), backHidden_(backHidden), path_(session.installDirectory),
          chooser_(std::move(chooser)) {}
    int templateId() const override { return page_template::kInstallDir; }
    PageView view() const override;
    PageAction command(int control) override;
    PageAction enter(int focused) override;

  private:
    InstallSession& session_;
    bool backHidden_;
    std::string path_;
    Chooser chooser_;
};

// The disk-space page (142): the drives with their required and available space. Next
// retries, Back goes back, cancel asks the caller to confirm (page result 0); clean-up and
// change drive call the dialogs the caller provides.
class DiskSpacePage final : public WizardPage {
  public:
    static constexpr int kFiguresTimer = 1;
    static constexpr std::uint32_t kFiguresPeriodMs = 1000;

    struct Options {
        bool hideBack = false;        // at a checkpoint failure during the install
        bool hideChangeDrive = false; // likewise
        bool oneFixedDrive = false;   // fewer than two fixed or network drives
        bool screenReader = false;
        std::function<void(DiskFigures&)> measure; // fresh figures for the timer
        std::function<void()> cleanup;             // the disk cleanup dialog
        std::function<bool()> changeDrive;         // true when the install drive changed
    };

    DiskSpacePage(StringTable& strings, DiskFigures figures, Options options);
    int templateId() const override { return page_template::kDiskSpace; }
    PageView view() const override;
    PageAction command(int control) override;
    PageAction enter(int focused) override;
    PageAction timer(int id) override;
    bool enoughSpace() const { return enough_; }

  private:
    bool show(); // true when the texts changed
    StringTable& strings_;
    DiskFigures figures_;
    Options options_;
    std::int64_t shownInstall_ = -1, shownSystem_ = -1;
    bool enough_ = false;
    std::string message_, drives_, required_, available_;
};

} // namespace zov
