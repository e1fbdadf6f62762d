// The wizard flow: which page comes next for every kind of install.
//
// The flow is a set of stages joined by jumps; every cycle passes through a page, so it can
// only leave through the end of DIRECTORY (the run sequence follows), the abort flag, or a
// finish with an exit code (183 when the user will not install over the same or a newer
// version or leaves a welcome page with the abort flag set, 14 when a page cannot be made).
// It records an install history event before every page and "inst" for the install type.
#pragma once

#include "discovery/scanner.h"
#include "run/context.h"
#include "run/frame_view.h"
#include "run/session.h"
#include "ui/wizard_page.h"
#include "ui/wizard_pages.h"

#include <cstdint>
#include <optional>
#include <string>

namespace zov {

enum class WizardStage {
    Welcome,
    MemberGate,
    Member,
    Scan,
    List,
    Recent,
    Downloads,
    Directory,
    BackFromDirectory
};

class WizardFlow {
  public:
    WizardFlow(RunContext& run, InstallSession& session, ClientScanner& scanner, FrameView& frame,
               PageHost& pages)
        : run_(run), session_(session), scanner_(scanner), frame_(frame), pages_(&pages) {}

    void setPageHost(PageHost& pages) { pages_ = &pages; }

    // From the start: clears the flow's own flags, plays the movie, clears the abort flag and
    // leads from WELCOME until the wizard part is over or the abort flag is set.
    void start();
    // Back into the flow at a stage (the disk-space page's Back), keeping the flow's flags.
    void runFrom(WizardStage stage);
    // Where the disk-space page's Back leads.
    static WizardStage afterDiskSpaceBack(char installType) {
        return installType == 'A' ? WizardStage::Welcome : WizardStage::Directory;
    }

    // Packed version of the client read for the upgrade (0 until one is read).
    std::uint32_t upgradeVersion() const { return upgradeVersion_; }
    // The welcome page's body text: `text` of section `ltext` of comps.ini beside the program.
    std::string welcomeText();

    // The directory page's change button; the page only shows the folder without it.
    InstallDirPage::Chooser chooseDirectory;

  private:
    // Each stage leads to the next one, or to nothing when the flow ends.
    using Next = std::optional<WizardStage>;
    Next step(WizardStage stage);
    Next welcome();
    Next member();
    Next scan();
    Next list();
    Next recent();
    Next downloads();
    Next directory();
    Next backFromDirectory();
    // Records the event and shows the page; a page that cannot be made ends the run (14).
    int show(unsigned event, WizardPage& page);
    void recordInstallType();
    void readUpgradeClient();
    bool downloadsPresent(const std::string& folder);
    void endBusySearch();

    RunContext& run_;
    InstallSession& session_;
    ClientScanner& scanner_;
    FrameView& frame_;
    PageHost* pages_;
    bool downloadsPresent_ = false;
    bool versionQuestionAsked_ = false;
    bool cachedInstalls_ = false;
    bool chosenOnRecentPage_ = false;
    std::uint32_t upgradeVersion_ = 0;
};

// A page host that shows nothing: each page takes the answer Enter gives at once (after its
// timers have fired). The interactive run uses it where no window shows the pages.
class DefaultAnswerPageHost final : public PageHost {
  public:
    int showPage(WizardPage& page) override;
};

} // namespace zov
