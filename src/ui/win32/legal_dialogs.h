// The legal agreement (CInstallAgreementDlg, template 246), the legal document viewer
// (CLegalAgreementDlg, 247) and the optional features (CZOVToolBarDlg, 248), shown for the
// start-up's `LegalView`. The consent sentence with its three "app:" links is resource 1397
// shown in the common controls' link control.
#pragma once

#include "ui/legal.h"
#include "ui/win32/frame_window.h"
#include "ui/win32/skin.h"

namespace zov::win32 {

class Win32LegalView final : public LegalView {
  public:
    Win32LegalView(Look& look, FrameWindow& frame) : look_(look), frame_(frame) {}

    bool agreement(InstallAgreement& model) override;
    void document(const std::string& path) override;
    bool optionalFeatures(OptionalFeatures& model) override;

  private:
    HWND owner();
    Look& look_;
    FrameWindow& frame_;
};

} // namespace zov::win32
