// The frame window's message numbers: the whole wire contract with the install engine,
// its progress module and a coordinating process. Shared by setup.exe and the tools.
#pragma once

namespace zov::msg {

constexpr unsigned kUser = 0x0400;

constexpr unsigned ActivatePage = kUser + 20;         // 1044
constexpr unsigned WelcomeTab = kUser + 21;           // 1045
constexpr unsigned DiskSpaceFail = kUser + 50;        // 1074
constexpr unsigned InitProgress = kUser + 100;        // 1124
constexpr unsigned ShowProgress = kUser + 101;        // 1125
constexpr unsigned UpdateProgress = kUser + 102;      // 1126
constexpr unsigned KillProgress = kUser + 103;        // 1127
constexpr unsigned RebootRequest = kUser + 104;       // 1128
constexpr unsigned ShowBusy = kUser + 110;            // 1134
constexpr unsigned HideBusy = kUser + 111;            // 1135
constexpr unsigned ResetWizardBack = kUser + 120;     // 1144
constexpr unsigned SetMsieBackground = kUser + 121;   // 1145
constexpr unsigned ClearMsieBackground = kUser + 122; // 1146
constexpr unsigned EngineDone = kUser + 130;          // 1154
constexpr unsigned WaitEngineBox = kUser + 131;       // 1155
constexpr unsigned SetInstallPhase = kUser + 132;     // 1156

// The client's control window ("_ZOV_EXAPI").
constexpr unsigned ClientQueryBits = 3524;
constexpr unsigned ClientShutdown = 3623;
constexpr unsigned ClientNudge = 3624;
constexpr unsigned ClientPoll = 3625;
constexpr unsigned ClientSetupCancelled = 3627;

} // namespace zov::msg
