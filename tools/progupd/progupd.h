// The progress module's exports, as the install engine calls them. Plain C calling
// convention on both architectures, so the .def file keeps the names undecorated.
#pragma once

#include <windows.h>

extern "C" {
int __cdecl InitProgress(HWND frame);
int __cdecl ShowProgress(int wParam, int lParam);
// Nonzero when the setup asked to cancel the installation.
int __cdecl UpdateProgress(int kind, int percent);
int __cdecl KillProgress();
int __cdecl SetReboot();
int __cdecl SetInstallPhase(int phase);
}

namespace zov::tools::progupd {
using InitProgressFn = int(__cdecl*)(HWND);
using ShowProgressFn = int(__cdecl*)(int, int);
using UpdateProgressFn = int(__cdecl*)(int, int);
using KillProgressFn = int(__cdecl*)();
using SetRebootFn = int(__cdecl*)();
using SetInstallPhaseFn = int(__cdecl*)(int);
} // namespace zov::tools::progupd
