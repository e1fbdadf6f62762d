#include "ui/win32/resume_dialog.h"
#include "res/resource.h"
#include "ui/win32/cancel_summary_dialog.h"
#include "ui/win32/skinned_dialog.h"

namespace zov::win32 {
namespace {

class ResumeSetupDialog final : public SkinnedDialog {
  public:
    explicit ResumeSetupDialog(Look& look) : SkinnedDialog(look, IDD_RESUME_SETUP) {}

  protected:
    void onInit() override {
        SetWindowTextA(hwnd(), look_.text(IDS_CAPTION).c_str());
        SendDlgItemMessageA(
            hwnd(), IDC_RESUME_ICON, STM_SETICON,
            reinterpret_cast<WPARAM>(LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_QUESTION))), 0);
        SendMessageA(hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item(IDCANCEL)), TRUE);
    }
    bool onCommand(int id, int, HWND) override {
        if (id != IDOK && id != IDCANCEL)
            return false;
        EndDialog(hwnd(), id);
        return true;
    }
};

} // namespace

bool WizardDialogs::resumeSetup() {
    ResumeSetupDialog dialog(look_);
    HWND owner = frame_.hwnd();
    // The page over the frame is a window of its own: it waits too, so that nothing moves
    // the wizard on behind the question.
    HWND page = frame_.currentPage();
    const bool pageWasEnabled = page != nullptr && IsWindowEnabled(page);
    if (pageWasEnabled)
        EnableWindow(page, FALSE);
    // Exit only when the user chose it: a dialog that could not be shown resumes.
    const bool resume = dialog.runModal(owner != nullptr && IsWindow(owner) ? owner : nullptr) != IDOK;
    if (pageWasEnabled && IsWindow(page))
        EnableWindow(page, TRUE);
    return resume;
}

void WizardDialogs::cancelSummary() {
    if (run_ == nullptr) {
        others_.cancelSummary();
        return;
    }
    HWND owner = frame_.hwnd();
    HWND page = frame_.currentPage();
    const bool pageWasEnabled = page != nullptr && IsWindowEnabled(page);
    if (pageWasEnabled)
        EnableWindow(page, FALSE);
    showCancelSummary(look_, *run_, owner != nullptr && IsWindow(owner) ? owner : nullptr);
    if (pageWasEnabled && IsWindow(page))
        EnableWindow(page, TRUE);
}

} // namespace zov::win32
