// The real machine handed to the portable core by WinMain.
#pragma once

#include "platform/machine.h"
#include "platform/win32/win32_checks.h"
#include "platform/win32/win32_browsers.h"
#include "platform/win32/win32_companions.h"
#include "platform/win32/win32_discovery.h"
#include "platform/win32/win32_ports.h"

#include <windows.h>

namespace zov::win32 {

class Win32Machine {
  public:
    explicit Win32Machine(HINSTANCE instance);
    Win32Machine(const Win32Machine&) = delete;
    Win32Machine& operator=(const Win32Machine&) = delete;

    // The port set; valid as long as this object lives.
    zov::Machine machine();

    HINSTANCE instance() const { return instance_; }

    // The frame owns every message box once it exists; a box whose owner has gone away is
    // shown without one.
    void setOwner(HWND frame) { windows_.setOwner(frame); }
    // Modeless dialogs whose keyboard handling the nested message loops must keep working.
    void addDialog(HWND dialog) { windows_.addDialog(dialog); }
    void removeDialog(HWND dialog) { windows_.removeDialog(dialog); }

  private:
    HINSTANCE instance_;
    Win32ProfileStore profile_;
    Win32FileSystem files_;
    Win32SystemInfo system_;
    Win32Registry registry_;
    Win32Clock clock_;
    Win32WindowSystem windows_;
    Win32Processes processes_;
    Win32KernelObjects kernel_;
    Win32Shell shell_;
    Win32Power power_;
    Win32ServiceControl services_;
    Win32TraceTransport traceWire_;
    Win32StringTable strings_;
    Win32Resources resources_;
    Win32ProcessExit exit_;
    Win32Discovery discovery_;
    Win32Checks checks_;
    Win32CompanionSystem companions_;
    Win32BrowserData browsers_;
};

} // namespace zov::win32
