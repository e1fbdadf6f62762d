// tracemon.exe: the "Trace Monitor" viewer. Every WM_COPYDATA it receives is one trace
// line; it lists them and, with -o, appends them to a file that tests read while it runs.
#include "common/library_search.h"
#include "common/program_args.h"
#include "common/tool_options.h"
#include "common/wire_formats.h"

#include <windows.h>

#include <string>

using namespace zov::tools;

namespace {

constexpr UINT kHangMessage = WM_APP + 1;
constexpr int kListId = 100;
constexpr LRESULT kMaxListedLines = 20000; // the file keeps everything; the list the newest

MonitorOptions gOptions;
HANDLE gOutput = INVALID_HANDLE_VALUE;
HWND gList = nullptr;
unsigned gLines = 0;

void writeLine(WPARAM sender, const std::string& line) {
    if (gOutput == INVALID_HANDLE_VALUE)
        return;
    std::string record;
    if (gOptions.stamp)
        record = std::to_string(GetTickCount()) + "\t";
    if (gOptions.withSender)
        record = std::to_string(static_cast<long long>(static_cast<INT_PTR>(sender))) + "\t";
    record += line + "\r\n";
    // One unbuffered write per line: a reader of the file sees whole lines at once.
    DWORD written = 0;
    WriteFile(gOutput, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
}

void listLine(const std::string& line) {
    if (gList == nullptr)
        return;
    if (SendMessageA(gList, LB_GETCOUNT, 0, 0) >= kMaxListedLines)
        SendMessageA(gList, LB_DELETESTRING, 0, 0);
    LRESULT index = SendMessageA(gList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    if (index >= 0)
        SendMessageA(gList, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
}

LRESULT CALLBACK monitorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        gList =
            CreateWindowExA(WS_EX_CLIENTEDGE, "LISTBOX", "",
                            WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOSEL, 0, 0, 0, 0,
                            window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kListId)), nullptr, nullptr);
        SendMessageA(gList, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(ANSI_FIXED_FONT)), FALSE);
        return 0;
    case WM_SIZE:
        if (gList != nullptr)
            MoveWindow(gList, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    case WM_COPYDATA: {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (data == nullptr)
            return FALSE;
        std::string line = monitorLine(copyDataText(data->lpData, data->cbData), gOptions.raw);
        writeLine(wParam, line);
        listLine(line);
        ++gLines;
        // Both take effect after this line has been answered.
        if (gOptions.hangAfter != 0 && gLines == gOptions.hangAfter)
            PostMessageA(window, kHangMessage, 0, 0);
        if (gOptions.exitAfter != 0 && gLines == gOptions.exitAfter)
            PostMessageA(window, WM_CLOSE, 0, 0);
        return TRUE;
    }
    case kHangMessage:
        // A viewer that stopped reading: every later sender waits on it.
        for (;;)
            Sleep(INFINITE);
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

// An elevated viewer would otherwise not hear a setup that runs at a lower level. Looked
// up by name: older systems have no message filter.
void acceptCopyDataFromAnyLevel() {
    using FilterFn = BOOL(WINAPI*)(UINT, DWORD);
    HMODULE user = GetModuleHandleA("user32.dll");
    if (user == nullptr)
        return;
    auto filter = reinterpret_cast<FilterFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(user, "ChangeWindowMessageFilter")));
    if (filter != nullptr)
        filter(WM_COPYDATA, 1 /* MSGFLT_ADD */);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    zov::tools::restrictLibrarySearch();
    gOptions = parseMonitorOptions(programArguments());
    if (!gOptions.outputFile.empty()) {
        gOutput = CreateFileA(gOptions.outputFile.c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
        if (gOutput == INVALID_HANDLE_VALUE)
            return 2; // asked to record and cannot: no window, so no setup traces into the void
    }

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = monitorProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = "ZOVTraceMonitor";
    if (!RegisterClassA(&windowClass))
        return 1;
    acceptCopyDataFromAnyLevel();
    HWND window = CreateWindowExA(0, "ZOVTraceMonitor", "Trace Monitor", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, 720, 480, nullptr, nullptr, instance, nullptr);
    if (window == nullptr)
        return 1;
    ShowWindow(window, show);
    UpdateWindow(window);

    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    if (gOutput != INVALID_HANDLE_VALUE)
        CloseHandle(gOutput);
    return 0;
}
