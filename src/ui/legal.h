// The legal agreement, the legal document viewer and the optional features: what they do,
// apart from how a window system shows them. Start-up asks a `LegalView` to show the
// dialogs; the view calls back the models for every choice the user makes.
#pragma once

#include "run/context.h"
#include "run/dialogs.h"

#include <optional>
#include <string>

namespace zov {

// A legal document beside the setup program, by the name of its link on the consent page.
struct LegalDocument {
    const char* link;
    const char* file;
    std::uint32_t event; // history event recorded before the viewer opens
};

// "aaa", "bbb", "ccc"; null for any other name.
const LegalDocument* legalDocumentForLink(const std::string& name);
// The name after an "app:" prefix (any letter case); nothing for other addresses.
std::optional<std::string> appLinkName(const std::string& url);
// A string-table fragment as a whole rich-text document in the code page.
std::string rtfFromFragment(const std::string& fragment, const std::string& codePage = "1252");
// The consent page (HTML) as the markup of a link control: the text of its body with the
// anchors kept as <a href="...">...</a>; scripts, comments and every other tag dropped,
// white space folded, the common character entities decoded.
std::string consentMarkup(const std::string& html);

class LegalView;

// The install agreement's choices.
class InstallAgreement {
  public:
    InstallAgreement(RunContext& run, CheckDialogs& dialogs, LegalView& view, std::string folder)
        : run_(run), dialogs_(dialogs), view_(view), folder_(std::move(folder)) {}

    // A consent-page link: its document in the viewer; false for a name the page lacks.
    bool openLink(const std::string& name);
    // Cancel, Escape, or Enter on Cancel: true when the user chose Exit in the cancel
    // confirmation (the agreement then ends declined), false to stay.
    bool cancel() { return CancelConfirmation(run_, dialogs_).exitChosen(); }
    std::string documentPath(const std::string& file) const { return folder_ + file; }

  private:
    RunContext& run_;
    CheckDialogs& dialogs_;
    LegalView& view_;
    std::string folder_; // the setup program's folder, ending in a backslash
};

// The optional-features dialog: two check boxes, the second only on an NT 6 system.
struct OptionalFeatures {
    bool toolbar = true;
    bool gadget = false;
    bool gadgetOffered = false;
    // What install.ini receives in [IETOOLBAR] and [VISTAGADGET]; both "0" until Continue.
    std::string toolbarValue = "0";
    std::string gadgetValue = "0";

    void onContinue() {
        toolbarValue = toolbar ? "1" : "0";
        gadgetValue = gadget && gadgetOffered ? "1" : "0";
    }
    void onCancel() { toolbarValue = gadgetValue = "0"; }
};

class LegalView {
  public:
    virtual ~LegalView() = default;
    // The modal install agreement: true for I Agree, false when the user left it through
    // the cancel confirmation's Exit.
    virtual bool agreement(InstallAgreement& model) = 0;
    // The modal viewer of one document; an unreadable file shows an empty viewer.
    virtual void document(const std::string& path) = 0;
    // The modal optional-features dialog: true for Continue, false for Cancel; the model
    // holds the values to write either way.
    virtual bool optionalFeatures(OptionalFeatures& model) = 0;
};

// Without a window system each dialog takes its default button: I Agree, Continue.
class DefaultLegalView final : public LegalView {
  public:
    bool agreement(InstallAgreement&) override { return true; }
    void document(const std::string&) override {}
    bool optionalFeatures(OptionalFeatures& model) override {
        model.onContinue();
        return true;
    }
};

} // namespace zov
