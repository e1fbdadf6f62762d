// The wire contract between setup.exe and the programs around it: the install engine and
// its progress module, a coordinating process, the installed client and other setups.
// Message numbers, their parameters, the pipe commands and the names of the shared kernel
// objects and windows. Both sides include this header and nothing else of each other.
#pragma once

#include <cstdint>

namespace zov::msg {

constexpr unsigned kUser = 0x0400;

// To the setup's frame window ("ZOVInstallerClass"; the engine reads its handle from
// [enter] FRAMEHWND of install.ini). A reply equal to the frame's handle, to UpdateProgress
// or DiskSpaceFail, asks the engine to stop the installation.
constexpr unsigned ActivatePage = kUser + 20; // 1044: pass the focus to the current page
constexpr unsigned WelcomeTab = kUser + 21;   // 1045: Tab on the welcome page
// The engine found too little space at a checkpoint: 0 after Next on the disk-space page.
constexpr unsigned DiskSpaceFail = kUser + 50; // 1074
constexpr unsigned InitProgress = kUser + 100; // 1124: create the progress display, hidden
// ShowProgress: wParam 0 shows the progress display; wParam 1 shows (lParam non-zero) or
// hides the secondary bar.
constexpr unsigned ShowProgress = kUser + 101; // 1125
// UpdateProgress: wParam 0 main bar, 1 secondary bar (posted), 2 main bar for the component
// "zovtpi"; lParam the percentage 0-100.
constexpr unsigned UpdateProgress = kUser + 102; // 1126
constexpr unsigned KillProgress = kUser + 103;   // 1127
constexpr unsigned RebootRequest = kUser + 104;  // 1128: [exit] RESTART = "Y"
// ShowBusy: wParam the busy dialog kind, lParam the busy kind.
constexpr unsigned ShowBusy = kUser + 110;            // 1134
constexpr unsigned HideBusy = kUser + 111;            // 1135
constexpr unsigned ResetWizardBack = kUser + 120;     // 1144
constexpr unsigned SetMsieBackground = kUser + 121;   // 1145
constexpr unsigned ClearMsieBackground = kUser + 122; // 1146
// From the coordinating process: wParam 0 go, 1 cancel.
constexpr unsigned EngineDone = kUser + 130; // 1154
// The engine is about to show a message box captioned "Velquonet" or "ZOV": answered once
// the box has come and gone.
constexpr unsigned WaitEngineBox = kUser + 131;   // 1155
constexpr unsigned SetInstallPhase = kUser + 132; // 1156: lParam the phase

// To the client's control window (class names::kClientControlClass).
constexpr unsigned ClientQueryBits = 3524;
constexpr unsigned ClientShutdown = 3623;
constexpr unsigned ClientNudge = 3624;
constexpr unsigned ClientPoll = 3625;
constexpr unsigned ClientSetupCancelled = 3627;

} // namespace zov::msg

namespace zov::pipe {

// A request is the command as a 32-bit little-endian number; the reply is a text with its
// terminating NUL. Requests and replies hold at most this many bytes.
constexpr std::uint32_t kMessageMax = 256;
constexpr std::uint32_t kCommandUserName = 0; // the signed-in user's display name
constexpr std::uint32_t kCommandTitle = 3;    // the application's title

} // namespace zov::pipe

namespace zov::names {

// Named pipes.
constexpr const char* kClientPipe = "\\\\.\\Pipe\\ZOV";
constexpr const char* kInstallerPipe = "\\\\.\\Pipe\\ZOVINST";

// Mutexes. The client's are looked for in the "Global\" and "Local\" namespaces.
constexpr const char* kClientMutex = "_ZOV_AppMutex";
constexpr const char* kVariantMutex = "_ZOVT_AppMutex";
constexpr const char* kSiblingMutex = "_Qtm_AppMutex";
constexpr const char* kInstallerMutex = "Global\\ZOVInst";
constexpr const char* kUninstallerMutex = "Global\\ZOVUninst";

// An installed client's entry in win.ini (the setup's strings 1318 and 1319): the folder
// of the client program.
constexpr const char* kClientWinIniSection = "WZOV";
constexpr const char* kClientWinIniAppPath = "AppPath";

// The coordinated run's events.
constexpr const char* kCoordinatorReadyEvent = "_ZOV_TPI_CI_READY";
constexpr const char* kCoordinatorStopEvent = "_ZOV_TPI_CI_STOP";

// Window classes.
constexpr const char* kClientControlClass = "_ZOV_EXAPI";
constexpr const char* kVariantControlClass = "_ZOVT_EXAPI";
constexpr const char* kClientFrameClass = "ZOV Frame";
constexpr const char* kClientSplashClass = "_ZOV_Splash";
// The uninstaller's window (the setup's strings 1374 and 1373 name it too).
constexpr const char* kUninstallerClass = "GLBSInstall";
constexpr const char* kUninstallerTitle = "Uninstall ZOV";
constexpr const char* kTraceMonitorTitle = "Trace Monitor";

} // namespace zov::names
