// progupd.dll: turns the engine's progress calls into the frame's window messages.
//
// Every message but the secondary progress goes out with SendMessageTimeout rather than
// SendMessage. The setup's UI thread pumps its queue every 50 ms while the engine runs,
// and its own long waits (disk-space page, engine message box) are nested message loops
// that keep answering sent messages, so a healthy frame answers within milliseconds. A
// frame that does not answer within a minute is hung - for instance blocked on a trace
// viewer that stopped reading - and an engine blocked with it would never finish the
// install or write its result. After the timeout the report counts as delivered without
// a cancel request; the engine writes [exit] RESTART itself, so a reboot request lost that
// way is not lost for the setup.
#include "progupd/progupd.h"

#include "protocol/contract.h"

namespace {

constexpr UINT kSendTimeoutMs = 60 * 1000;

HWND gFrame = nullptr;

// The result of the frame, or 0 when there is no frame or it did not answer.
LRESULT sendToFrame(UINT message, WPARAM wParam, LPARAM lParam) {
    if (gFrame == nullptr || !IsWindow(gFrame))
        return 0;
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(gFrame, message, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs, &result))
        return 0;
    return static_cast<LRESULT>(result);
}

bool isCancelReply(LRESULT result) {
    return gFrame != nullptr && result == reinterpret_cast<LRESULT>(gFrame);
}

} // namespace

extern "C" {

int __cdecl InitProgress(HWND frame) {
    // The broadcast handle is no frame: a report to it would reach every top-level window.
    gFrame = (frame != nullptr && frame != HWND_BROADCAST && IsWindow(frame)) ? frame : nullptr;
    if (gFrame == nullptr)
        return 0;
    sendToFrame(zov::msg::InitProgress, 0, 0);
    return 1;
}

int __cdecl ShowProgress(int wParam, int lParam) {
    sendToFrame(zov::msg::ShowProgress, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
    return 0;
}

int __cdecl UpdateProgress(int kind, int percent) {
    if (kind == 1) {
        // The secondary bar is decoration: posting it never holds up the copying.
        if (gFrame != nullptr && IsWindow(gFrame))
            PostMessageA(gFrame, zov::msg::UpdateProgress, 1, static_cast<LPARAM>(percent));
        return 0;
    }
    LRESULT result =
        sendToFrame(zov::msg::UpdateProgress, static_cast<WPARAM>(kind), static_cast<LPARAM>(percent));
    return isCancelReply(result) ? 1 : 0;
}

int __cdecl KillProgress() {
    sendToFrame(zov::msg::KillProgress, 0, 0);
    return 0;
}

int __cdecl SetReboot() {
    sendToFrame(zov::msg::RebootRequest, 0, 0);
    return 0;
}

int __cdecl SetInstallPhase(int phase) {
    sendToFrame(zov::msg::SetInstallPhase, 0, static_cast<LPARAM>(phase));
    return 0;
}

} // extern "C"
