#include "ui/win32/cancel_summary_dialog.h"

#include "res/resource.h"
#include "ui/cancel_summary.h"
#include "ui/win32/skinned_dialog.h"

#include <commdlg.h>

#include <vector>

namespace zov::win32 {
namespace {

// The printing-status dialog of the one job that can run at a time, and the user's Cancel.
HWND gStatus = nullptr;
bool gUserAbort = false;

INT_PTR CALLBACK statusProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG)
        return TRUE;
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        gUserAbort = true;
        DestroyWindow(dialog);
        gStatus = nullptr;
        return TRUE;
    }
    return FALSE;
}

// Lets the status dialog answer while the job runs; "go on" until the user cancels.
BOOL CALLBACK abortProc(HDC, int) {
    MSG msg;
    while (!gUserAbort && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (gStatus == nullptr || !IsDialogMessageA(gStatus, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return !gUserAbort;
}

class GdiPrintJob final : public PrintJob {
    // Word-wrapped; a word wider than the page (a row of dashes on a narrow card) is broken
    // where it meets the margin, as an edit control breaks it, so no character is lost.
    static constexpr UINT kTextFormat = DT_WORDBREAK | DT_EDITCONTROL | DT_EXPANDTABS | DT_NOPREFIX;

  public:
    explicit GdiPrintJob(HDC dc) : dc_(dc) {
        // Arial of 12 points at the printer's resolution.
        font_ = CreateFontA(-MulDiv(12, GetDeviceCaps(dc, LOGPIXELSY), 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                            FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                            VARIABLE_PITCH | FF_SWISS, "Arial");
        old_ = SelectObject(dc_, font_);
        TEXTMETRICA metrics{};
        GetTextMetricsA(dc_, &metrics);
        line_ = metrics.tmHeight + metrics.tmExternalLeading;
    }
    ~GdiPrintJob() override {
        SelectObject(dc_, old_);
        DeleteObject(font_);
    }

    bool start(const std::string& document) override {
        DOCINFOA info{};
        info.cbSize = sizeof info;
        info.lpszDocName = document.c_str();
        SetAbortProc(dc_, abortProc);
        return StartDocA(dc_, &info) > 0;
    }
    int pageWidth() override { return GetDeviceCaps(dc_, HORZRES); }
    int pageHeight() override { return GetDeviceCaps(dc_, VERTRES); }
    int lineHeight() override { return line_; }
    int textHeight(std::string_view text, int width) override {
        RECT r{0, 0, width, 0};
        DrawTextA(dc_, text.data(), static_cast<int>(text.size()), &r, DT_CALCRECT | kTextFormat);
        return r.bottom - r.top;
    }
    void showPage(const std::string& status) override {
        if (gStatus != nullptr)
            SetDlgItemTextA(gStatus, IDC_PRINTING_PAGE, status.c_str());
    }
    bool startPage() override {
        if (StartPage(dc_) <= 0)
            return false;
        SelectObject(dc_, font_); // a new page may start with the device's defaults
        SetBkMode(dc_, TRANSPARENT);
        return true;
    }
    void drawCentred(const std::string& text, int top, int bottom) override {
        RECT r{0, top, pageWidth(), bottom};
        DrawTextA(dc_, text.c_str(), static_cast<int>(text.size()), &r,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    void drawText(std::string_view text, int left, int top, int right, int bottom) override {
        RECT r{left, top, right, bottom};
        DrawTextA(dc_, text.data(), static_cast<int>(text.size()), &r, kTextFormat);
    }
    bool endPage() override { return EndPage(dc_) > 0; }
    bool goOn() override { return abortProc(dc_, 0) != FALSE; }
    void abort() override { AbortDoc(dc_); }
    void end() override { EndDoc(dc_); }

  private:
    HDC dc_;
    HFONT font_ = nullptr;
    HGDIOBJ old_ = nullptr;
    int line_ = 1;
};

std::string devName(HGLOBAL names, WORD DEVNAMES::*offset) {
    if (names == nullptr)
        return {};
    auto* dn = static_cast<DEVNAMES*>(GlobalLock(names));
    std::string text = dn != nullptr ? reinterpret_cast<const char*>(dn) + (dn->*offset) : "";
    GlobalUnlock(names);
    return text;
}

void centreWindowOver(HWND window, HWND over) {
    RECT me, area;
    GetWindowRect(window, &me);
    if (over == nullptr || !GetWindowRect(over, &area))
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    SetWindowPos(window, nullptr, area.left + (area.right - area.left - (me.right - me.left)) / 2,
                 area.top + (area.bottom - area.top - (me.bottom - me.top)) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

class SummaryDialog final : public SkinnedDialog {
  public:
    SummaryDialog(Look& look, RunContext& run)
        : SkinnedDialog(look, IDD_CANCEL_SUMMARY), run_(run), text_(cancelSummaryText(run.m.strings)) {}

  protected:
    void onInit() override {
        SetWindowTextA(hwnd(), look_.text(IDS_CAPTION).c_str());
        SetDlgItemTextA(hwnd(), IDC_SUMMARY_TEXT, text_.c_str());
        // Posted: the dialog manager gives the first tab stop the focus after this returns.
        PostMessageA(hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item(IDOK)), TRUE);
    }
    bool onCommand(int id, int, HWND) override {
        switch (id) {
        case IDOK:
        case IDCANCEL:
            EndDialog(hwnd(), IDOK);
            return true;
        case IDC_SUMMARY_SAVE:
            save();
            return true;
        case IDC_PRINT:
            run_.history.RecordEvent(135);
            printPlainTextDocument(look_, hwnd(), text_);
            return true;
        default:
            return false;
        }
    }
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override {
        // The read-only text on the window colour, its letters without a background box.
        if (message != WM_CTLCOLORSTATIC || GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) != IDC_SUMMARY_TEXT)
            return false;
        SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        SetTextColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOWTEXT));
        result = reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_WINDOW));
        return true;
    }

  private:
    void save() {
        run_.history.RecordEvent(136);
        // "Text Files (*.txt)|*.txt|All Files (*.*)|*.*||": bars are the filter's NULs.
        std::string filter = look_.text(204);
        for (char& c : filter)
            if (c == '|')
                c = '\0';
        filter.push_back('\0');
        const std::string extension = look_.text(202);
        char file[MAX_PATH] = {};
        lstrcpynA(file, look_.text(203).c_str(), MAX_PATH);
        OPENFILENAMEA ofn{};
        ofn.lStructSize = sizeof ofn;
        ofn.hwndOwner = hwnd();
        ofn.lpstrFilter = filter.c_str();
        ofn.lpstrFile = file;
        ofn.nMaxFile = MAX_PATH;
        ofn.lpstrDefExt = extension.c_str();
        ofn.Flags = OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST;
        if (!GetSaveFileNameA(&ofn))
            return; // cancelled: nothing written, nothing said
        if (!saveCancelSummary(run_.m.files, file, text_))
            MessageBoxA(hwnd(), look_.text(205).c_str(), look_.text(IDS_CAPTION).c_str(),
                        MB_OK | MB_ICONINFORMATION);
    }

    RunContext& run_;
    std::string text_;
};

} // namespace

int printPlainTextDocument(Look& look, HWND owner, const std::string& text) {
    PRINTDLGA pd{};
    pd.lStructSize = sizeof pd;
    pd.hwndOwner = owner;
    pd.nCopies = 1;
    pd.Flags = PD_RETURNDC | PD_ALLPAGES | PD_NOSELECTION | PD_NOPAGENUMS | PD_HIDEPRINTTOFILE;
    int result = 0;
    if (PrintDlgA(&pd) && pd.hDC != nullptr)
        result = printPlainTextOn(look, owner, pd, text, look.text(210));
    if (pd.hDC != nullptr)
        DeleteDC(pd.hDC);
    if (pd.hDevMode != nullptr)
        GlobalFree(pd.hDevMode);
    if (pd.hDevNames != nullptr)
        GlobalFree(pd.hDevNames);
    return result;
}

int printPlainTextOn(Look& look, HWND owner, const PRINTDLGA& pd, const std::string& text,
                     const std::string& document) {
    gUserAbort = false;
    gStatus = CreateDialogParamA(look.instance(), MAKEINTRESOURCEA(IDD_PRINTING), owner, statusProc, 0);
    if (gStatus != nullptr) {
        SetWindowTextA(gStatus, document.c_str());
        SetDlgItemTextA(gStatus, IDC_PRINTING_DOCUMENT, document.c_str());
        SetDlgItemTextA(gStatus, IDC_PRINTING_PRINTER,
                        devName(pd.hDevNames, &DEVNAMES::wDeviceOffset).c_str());
        SetDlgItemTextA(gStatus, IDC_PRINTING_PORT, devName(pd.hDevNames, &DEVNAMES::wOutputOffset).c_str());
        centreWindowOver(gStatus, owner);
        ShowWindow(gStatus, SW_SHOW);
        UpdateWindow(gStatus);
    }
    EnableWindow(owner, FALSE);
    PrintOutcome outcome;
    {
        GdiPrintJob job(pd.hDC);
        outcome = printPlainText(text, document, look.text(212), job);
    }
    EnableWindow(owner, TRUE);
    if (gStatus != nullptr)
        DestroyWindow(gStatus);
    gStatus = nullptr;
    if (outcome == PrintOutcome::NotStarted) {
        MessageBoxA(owner, look.text(211).c_str(), nullptr, MB_OK | MB_ICONERROR);
        return 0;
    }
    return outcome == PrintOutcome::Stopped ? 1 : 0;
}

void showCancelSummary(Look& look, RunContext& run, HWND owner) {
    SummaryDialog dialog(look, run);
    dialog.runModal(owner);
}

} // namespace zov::win32
