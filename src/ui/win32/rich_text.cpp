#include "ui/win32/rich_text.h"

#include "platform/win32/win32_util.h"
#include "ui/cancel_summary.h"
#include "ui/win32/cancel_summary_dialog.h"
#include "ui/win32/skin.h"

#include <commdlg.h>
#include <richedit.h>

#include <cstring>

namespace zov::win32 {
namespace {

constexpr LONG kTextLimit = 5242880;

struct MemoryStream {
    const std::string* text;
    std::size_t at;
};

DWORD CALLBACK readMemory(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* read) {
    auto* s = reinterpret_cast<MemoryStream*>(cookie);
    std::size_t n = s->text->size() - s->at;
    if (n > static_cast<std::size_t>(size))
        n = static_cast<std::size_t>(size);
    std::memcpy(buffer, s->text->data() + s->at, n);
    s->at += n;
    *read = static_cast<LONG>(n);
    return 0;
}

DWORD CALLBACK readFile(DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* read) {
    DWORD got = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(cookie), buffer, static_cast<DWORD>(size), &got, nullptr))
        return 1;
    *read = static_cast<LONG>(got);
    return 0;
}

class RichTextJob final : public RangePrintJob {
  public:
    RichTextJob(HDC dc, HWND control, RECT page, const std::string& document)
        : dc_(dc), control_(control), page_(page), document_(document) {}
    bool start() override {
        DOCINFOA info{};
        info.cbSize = sizeof info;
        info.lpszDocName = document_.c_str();
        return StartDocA(dc_, &info) > 0;
    }
    long length() override {
        GETTEXTLENGTHEX length{GTL_DEFAULT, CP_ACP};
        return static_cast<long>(
            SendMessageA(control_, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length), 0));
    }
    long measure(long from) override {
        long next = range(from, FALSE);
        SendMessageA(control_, EM_FORMATRANGE, FALSE, 0); // the control's cached layout
        return next;
    }
    bool startPage() override { return StartPage(dc_) > 0; }
    long format(long from) override { return range(from, TRUE); }
    bool endPage() override { return EndPage(dc_) > 0; }
    void abort() override { AbortDoc(dc_); }
    void end() override { EndDoc(dc_); }

  private:
    long range(long from, BOOL draw) {
        FORMATRANGE range{};
        range.hdc = range.hdcTarget = dc_;
        range.rc = range.rcPage = page_;
        range.chrg.cpMin = from;
        range.chrg.cpMax = -1;
        return static_cast<long>(
            SendMessageA(control_, EM_FORMATRANGE, draw, reinterpret_cast<LPARAM>(&range)));
    }

    HDC dc_;
    HWND control_;
    RECT page_;
    const std::string& document_;
};

} // namespace

bool loadRichEdit() {
    static HMODULE library = loadSystemLibrary("riched20.dll");
    return library != nullptr;
}

void prepareRichText(HWND control, COLORREF background) {
    if (control == nullptr)
        return;
    SendMessageA(control, EM_EXLIMITTEXT, 0, kTextLimit);
    SendMessageA(control, EM_SETREADONLY, TRUE, 0);
    if (highContrast())
        background = GetSysColor(COLOR_WINDOW);
    SendMessageA(control, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(background));
}

void setRichText(HWND control, const std::string& rtf) {
    MemoryStream stream{&rtf, 0};
    EDITSTREAM es{reinterpret_cast<DWORD_PTR>(&stream), 0, readMemory};
    SendMessageA(control, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&es));
    SendMessageA(control, EM_SETSEL, 0, 0);
}

bool streamRichTextFile(HWND control, const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    EDITSTREAM es{reinterpret_cast<DWORD_PTR>(file), 0, readFile};
    SendMessageA(control, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&es));
    SendMessageA(control, EM_SETSEL, 0, 0);
    CloseHandle(file);
    return es.dwError == 0;
}

void printRichText(Look& look, HWND owner, HWND control, const std::string& document) {
    PRINTDLGA pd{};
    pd.lStructSize = sizeof pd;
    pd.hwndOwner = owner;
    pd.Flags = PD_RETURNDC | PD_ALLPAGES | PD_NOSELECTION | PD_NOPAGENUMS | PD_HIDEPRINTTOFILE;
    if (!PrintDlgA(&pd) || pd.hDC == nullptr) {
        if (pd.hDevMode != nullptr)
            GlobalFree(pd.hDevMode);
        if (pd.hDevNames != nullptr)
            GlobalFree(pd.hDevNames);
        return;
    }
    HDC dc = pd.hDC;
    // The whole physical page, in twips.
    const int dpiX = GetDeviceCaps(dc, LOGPIXELSX), dpiY = GetDeviceCaps(dc, LOGPIXELSY);
    RECT page{0, 0, MulDiv(GetDeviceCaps(dc, PHYSICALWIDTH), 1440, dpiX > 0 ? dpiX : 1),
              MulDiv(GetDeviceCaps(dc, PHYSICALHEIGHT), 1440, dpiY > 0 ? dpiY : 1)};
    RichTextJob job(dc, control, page, document);
    if (printFormattedRanges(job) == RangeOutcome::NotPaginated) {
        std::string text(static_cast<std::size_t>(GetWindowTextLengthA(control)) + 1, '\0');
        text.resize(
            static_cast<std::size_t>(GetWindowTextA(control, text.data(), static_cast<int>(text.size()))));
        printPlainTextOn(look, owner, pd, text, document);
    }
    SendMessageA(control, EM_FORMATRANGE, FALSE, 0); // the control's cached layout
    DeleteDC(dc);
    if (pd.hDevMode != nullptr)
        GlobalFree(pd.hDevMode);
    if (pd.hDevNames != nullptr)
        GlobalFree(pd.hDevNames);
}

} // namespace zov::win32
