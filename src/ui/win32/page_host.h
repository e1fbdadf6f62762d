// The wizard pages on screen: `ShowWizardPage` over the frame. One skinned page dialog binds
// any page model to its template by control id: it draws the page's look, shows what the
// model's view says, hands the model the window's events and acts on its answers.
#pragma once

#include "ui/wizard_page.h"
#include "ui/win32/frame_window.h"
#include "ui/win32/skinned_dialog.h"

#include <map>
#include <set>

namespace zov::win32 {

// Posted by the page loop to the welcome page when Tab moved the focus to one of its buttons.
constexpr UINT WM_WELCOMETAB = WM_USER + 21;

class PageDialog : public SkinnedDialog {
  public:
    PageDialog(Look& look, WizardPage& page, HWND frame)
        : SkinnedDialog(look, page.templateId()), page_(page), frame_(frame) {}

    // After the page is shown: the focus the model asks for.
    void focusAtStart();
    bool closed() const { return closed_; }
    int result() const { return result_; }

  protected:
    void onInit() override;
    bool onCommand(int id, int code, HWND control) override;
    void onTimer(UINT_PTR id) override;
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    void onDestroy() override;

  private:
    void skinPage();
    void apply(const PageView& view, bool first);
    void fillList(const ListState& list);
    void drawPath(const DRAWITEMSTRUCT& item);
    void act(const PageAction& action);
    void focus(int id);
    int focusedId() const;

    WizardPage& page_;
    HWND frame_;
    int focusAtStart_ = 0;
    std::map<int, bool> timers_; // id -> repeats
    HBRUSH listBrush_ = nullptr;
    HBRUSH pathBrush_ = nullptr;
    COLORREF listText_ = 0, listBackground_ = 0;
    bool closed_ = false;
    int result_ = page_result::kBack;
};

class Win32PageHost final : public PageHost {
  public:
    Win32PageHost(Look& look, FrameWindow& frame) : look_(look), frame_(frame) {}
    int showPage(WizardPage& page) override;

  private:
    void pump(PageDialog& dialog, bool reportsTab);
    Look& look_;
    FrameWindow& frame_;
};

} // namespace zov::win32
