// The directory selection dialog (`CSelectDirDlg`, templates 170 and 1037) with its folder
// tree (`CDirectoryTree`) and drive list, and the disk cleanup dialog (`CDiskCleanupDlg`,
// template 1036). The rules are the portable ones of ui/directory_rules.h and
// ui/disk_dialogs.h; these classes only show them.
#pragma once

#include "ui/disk_dialogs.h"
#include "ui/win32/frame_window.h"
#include "ui/win32/skin.h"

namespace zov::win32 {

class Win32DirectoryDialogs final : public DirectoryDialogs {
  public:
    Win32DirectoryDialogs(Look& look, FrameWindow& frame, RunContext& run)
        : look_(look), frame_(frame), run_(run) {}

    int selectDirectory(SelectDirRequest& request) override;
    int diskCleanup(DiskCleanupModel& model) override;

  private:
    Look& look_;
    FrameWindow& frame_;
    RunContext& run_;
};

} // namespace zov::win32
