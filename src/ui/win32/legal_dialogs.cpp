#include "ui/win32/legal_dialogs.h"

#include "res/resource.h"
#include "ui/win32/rich_text.h"
#include "ui/win32/skinned_dialog.h"

#include <commctrl.h>
#include <ole2.h>
#include <richedit.h>

#include <vector>

namespace zov::win32 {
namespace {

const COLORREF kSkin = RGB(0xC8, 0xE0, 0xF0);
constexpr int kHtmlResourceType = 23;

// The skin every legal dialog shares: the frame's icon, a flat gradient, the caption.
void applyLegalSkin(HWND dialog, Look& look, const std::string& caption) {
    HICON big = static_cast<HICON>(LoadImageA(look.instance(), MAKEINTRESOURCEA(IDI_FRAME), IMAGE_ICON,
                                              GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
    HICON small =
        static_cast<HICON>(LoadImageA(look.instance(), MAKEINTRESOURCEA(IDI_FRAME), IMAGE_ICON,
                                      GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
    SetWindowTextA(dialog, caption.c_str());
}

// A fragment of the string table in a rich-text control, in the dialog's font.
void fragmentInto(HWND dialog, int id, const std::string& fragment, COLORREF background) {
    HWND control = GetDlgItem(dialog, id);
    prepareRichText(control, background);
    SendMessageA(control, WM_SETFONT, SendMessageA(dialog, WM_GETFONT, 0, 0), FALSE);
    setRichText(control, rtfFromFragment(fragment));
}

std::string resourceText(HINSTANCE instance, int id) {
    HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(kHtmlResourceType));
    HGLOBAL loaded = found != nullptr ? LoadResource(instance, found) : nullptr;
    const char* data = loaded != nullptr ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    return data != nullptr ? std::string(data, SizeofResource(instance, found)) : std::string();
}

std::wstring wide(const std::string& text) {
    int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::string narrow(const wchar_t* text) {
    int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1)
        return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, out.data(), n, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(n - 1));
    return out;
}

// Enter reaches a dialog as IDOK whichever owner-drawn button has the focus: with the
// focus on Cancel it means Cancel.
bool enterOnCancel(HWND dialog, int id) {
    return id == IDOK && GetFocus() == GetDlgItem(dialog, IDC_LEGAL_CANCEL);
}

class AgreementDialog final : public SkinnedDialog {
  public:
    AgreementDialog(Look& look, InstallAgreement& model)
        : SkinnedDialog(look, IDD_INSTALL_AGREEMENT), model_(model) {}
    ~AgreementDialog() override {
        if (linkFont_ != nullptr)
            DeleteObject(linkFont_);
        DeleteObject(skinBrush_);
    }

  protected:
    void onInit() override {
        applyLegalSkin(hwnd(), look_, look_.text(IDS_CAPTION));
        useGradient(kSkin, kSkin, 90);
        roundButton(IDC_LEGAL_CANCEL, RoundedColours::grey());
        roundButton(IDC_LEGAL_AGREE, RoundedColours::green());
        linkStatic(IDC_PRINT);
        fragmentInto(hwnd(), IDC_LEGAL_HEADER, look_.text(1398), kSkin);
        fragmentInto(hwnd(), IDC_LEGAL_MAIN, look_.text(1396), RGB(255, 255, 255));
        SendDlgItemMessageA(hwnd(), IDC_LEGAL_MAIN, EM_SETEVENTMASK, 0, ENM_MOUSEEVENTS);
        makeConsent();
        // Posted: the dialog manager gives the first tab stop the focus after this returns.
        PostMessageA(hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item(IDC_LEGAL_AGREE)), TRUE);
    }
    bool onCommand(int id, int, HWND) override {
        if (id == IDC_LEGAL_AGREE || (id == IDOK && !enterOnCancel(hwnd(), id))) {
            EndDialog(hwnd(), 1);
        } else if (id == IDC_LEGAL_CANCEL || id == IDCANCEL || id == IDOK) {
            if (model_.cancel())
                EndDialog(hwnd(), 0);
        } else if (id == IDC_PRINT) {
            printRichText(look_, hwnd(), item(IDC_LEGAL_MAIN), look_.text(IDS_CAPTION));
        } else {
            return false;
        }
        return true;
    }
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override {
        if (message == WM_CTLCOLORSTATIC && reinterpret_cast<HWND>(lParam) == item(IDC_LEGAL_CONSENT)) {
            // The consent sentence on the dialog's own colour.
            SetBkColor(reinterpret_cast<HDC>(wParam), kSkin);
            result = reinterpret_cast<INT_PTR>(skinBrush_);
            return true;
        }
        if (message != WM_NOTIFY)
            return false;
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom != IDC_LEGAL_CONSENT || (header->code != NM_CLICK && header->code != NM_RETURN))
            return false;
        const auto* link = reinterpret_cast<const NMLINK*>(lParam);
        if (auto name = appLinkName(narrow(link->item.szUrl)))
            model_.openLink(*name);
        // Any other address is not followed: the page has only its three documents.
        result = TRUE;
        return true;
    }

  private:
    // The link control takes the placeholder's place and id.
    void makeConsent() {
        HWND placeholder = item(IDC_LEGAL_CONSENT);
        if (placeholder == nullptr)
            return;
        RECT r;
        GetWindowRect(placeholder, &r);
        MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&r), 2);
        DestroyWindow(placeholder);
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LINK_CLASS};
        InitCommonControlsEx(&controls);
        const std::wstring markup = wide(consentMarkup(resourceText(look_.instance(), IDR_CONSENT_PAGE)));
        HWND consent = CreateWindowExW(0, WC_LINK, markup.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP, r.left,
                                       r.top, r.right - r.left, r.bottom - r.top, hwnd(),
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_LEGAL_CONSENT)),
                                       look_.instance(), nullptr);
        if (consent == nullptr)
            return;
        // Arial of 11 pixels at 96 dpi, 14 at 120 dpi and above (as the page asks for).
        HDC dc = GetDC(hwnd());
        const int dpi = GetDeviceCaps(dc, LOGPIXELSY) >= 120 ? 120 : 96;
        ReleaseDC(hwnd(), dc);
        linkFont_ = CreateFontA(-MulDiv(11, dpi, 96), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                VARIABLE_PITCH | FF_SWISS, "Arial");
        SendMessageW(consent, WM_SETFONT, reinterpret_cast<WPARAM>(linkFont_), FALSE);
        // After the main text, before the buttons, in the tab order.
        SetWindowPos(consent, item(IDC_LEGAL_MAIN), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }

    InstallAgreement& model_;
    HFONT linkFont_ = nullptr;
    HBRUSH skinBrush_ = CreateSolidBrush(kSkin);
};

class ViewerDialog final : public SkinnedDialog {
  public:
    ViewerDialog(Look& look, std::string path)
        : SkinnedDialog(look, IDD_LEGAL_VIEWER), path_(std::move(path)) {}

  protected:
    void onInit() override {
        applyLegalSkin(hwnd(), look_, look_.text(IDS_CAPTION));
        useGradient(kSkin, kSkin, 90);
        roundButton(IDC_LEGAL_CANCEL, RoundedColours::green());
        linkStatic(IDC_PRINT);
        HWND document = item(IDC_LEGAL_DOCUMENT);
        prepareRichText(document, RGB(255, 255, 255));
        streamRichTextFile(document, path_); // an unreadable file leaves the viewer empty
        // Where the document and Close sit, for resizing.
        RECT client, doc, close;
        GetClientRect(hwnd(), &client);
        GetWindowRect(document, &doc);
        GetWindowRect(item(IDC_LEGAL_CANCEL), &close);
        MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&doc), 2);
        MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&close), 2);
        margin_ = {doc.left, doc.top};
        closeBottom_ = client.bottom - close.top;
        // Posted: the dialog manager gives the first tab stop the focus after this returns.
        PostMessageA(hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item(IDC_LEGAL_CANCEL)), TRUE);
    }
    bool onCommand(int id, int, HWND) override {
        if (id == IDC_LEGAL_CANCEL || id == IDCANCEL || id == IDOK) {
            EndDialog(hwnd(), id);
        } else if (id == IDC_PRINT) {
            const std::size_t slash = path_.rfind('\\');
            printRichText(look_, hwnd(), item(IDC_LEGAL_DOCUMENT),
                          path_.substr(slash == std::string::npos ? 0 : slash + 1));
        } else {
            return false;
        }
        return true;
    }
    bool onMessage(UINT message, WPARAM, LPARAM lParam, INT_PTR&) override {
        if (message == WM_SIZE && closeBottom_ > 0)
            layout(LOWORD(lParam), HIWORD(lParam));
        return false;
    }

  private:
    // Close centred at its distance from the bottom; the document fills the rest with its
    // first left and top margins on every side.
    void layout(int width, int height) {
        HWND close = item(IDC_LEGAL_CANCEL), print = item(IDC_PRINT);
        RECT c, p;
        GetWindowRect(close, &c);
        GetWindowRect(print, &p);
        const int cw = c.right - c.left, ch = c.bottom - c.top;
        const int top = height - closeBottom_;
        MoveWindow(close, (width - cw) / 2, top, cw, ch, TRUE);
        MoveWindow(print, margin_.x, top + (ch - (p.bottom - p.top)) / 2, p.right - p.left, p.bottom - p.top,
                   TRUE);
        MoveWindow(item(IDC_LEGAL_DOCUMENT), margin_.x, margin_.y, width - 2 * margin_.x,
                   top - margin_.y - margin_.y, TRUE);
        InvalidateRect(hwnd(), nullptr, TRUE);
    }

    std::string path_;
    POINT margin_{0, 0};
    int closeBottom_ = 0;
};

class FeaturesDialog final : public SkinnedDialog {
  public:
    FeaturesDialog(Look& look, OptionalFeatures& model)
        : SkinnedDialog(look, IDD_OPTIONAL_FEATURES), model_(model) {}
    ~FeaturesDialog() override {
        if (white_ != nullptr)
            DeleteObject(white_);
    }

  protected:
    void onInit() override {
        white_ = CreateSolidBrush(RGB(255, 255, 255));
        applyLegalSkin(hwnd(), look_, look_.text(1401));
        useGradient(kSkin, kSkin, 90);
        roundButton(IDC_LEGAL_CANCEL, RoundedColours::grey());
        roundButton(IDC_LEGAL_AGREE, RoundedColours::standard());
        CheckDlgButton(hwnd(), IDC_OPTION_TOOLBAR, model_.toolbar ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(hwnd(), IDC_OPTION_GADGET, model_.gadget ? BST_CHECKED : BST_UNCHECKED);
        fragmentInto(hwnd(), IDC_OPTIONS_HEADER, look_.text(1399), kSkin);
        fragmentInto(hwnd(), IDC_OPTION_TOOLBAR_TEXT, look_.text(1400), RGB(255, 255, 255));
        fragmentInto(hwnd(), IDC_OPTION_GADGET_TEXT, look_.text(1402), RGB(255, 255, 255));
        for (int id : {IDC_OPTION_GADGET, IDC_OPTION_GADGET_TEXT}) {
            showControl(id, model_.gadgetOffered);
            EnableWindow(item(id), model_.gadgetOffered);
        }
        // Posted: the dialog manager gives the first tab stop the focus after this returns.
        PostMessageA(hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item(IDC_LEGAL_AGREE)), TRUE);
    }
    bool onCommand(int id, int, HWND) override {
        if (id == IDC_LEGAL_AGREE || (id == IDOK && !enterOnCancel(hwnd(), id))) {
            model_.toolbar = IsDlgButtonChecked(hwnd(), IDC_OPTION_TOOLBAR) == BST_CHECKED;
            model_.gadget = IsDlgButtonChecked(hwnd(), IDC_OPTION_GADGET) == BST_CHECKED;
            model_.onContinue();
            EndDialog(hwnd(), 1);
        } else if (id == IDC_LEGAL_CANCEL || id == IDCANCEL || id == IDOK) {
            model_.onCancel();
            EndDialog(hwnd(), 0);
        } else {
            return false;
        }
        return true;
    }
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override {
        if (message != WM_CTLCOLORSTATIC && message != WM_CTLCOLORBTN)
            return false;
        const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
        if (id != IDC_OPTION_TOOLBAR && id != IDC_OPTION_GADGET)
            return false;
        SetBkColor(reinterpret_cast<HDC>(wParam), RGB(255, 255, 255));
        result = reinterpret_cast<INT_PTR>(white_);
        return true;
    }

  private:
    OptionalFeatures& model_;
    HBRUSH white_ = nullptr;
};

} // namespace

HWND Win32LegalView::owner() {
    HWND frame = frame_.hwnd();
    return frame != nullptr && IsWindow(frame) ? frame : nullptr;
}

bool Win32LegalView::agreement(InstallAgreement& model) {
    // The rich-text controls need their library before the template is made; OLE is entered
    // here only, for the controls' drag and drop.
    const bool ole = SUCCEEDED(OleInitialize(nullptr));
    loadRichEdit();
    AgreementDialog dialog(look_, model);
    // A dialog that cannot be made cannot be declined: the run goes on as with I Agree.
    const INT_PTR result = dialog.runModal(owner());
    if (ole)
        OleUninitialize();
    return result != 0;
}

void Win32LegalView::document(const std::string& path) {
    loadRichEdit();
    ViewerDialog viewer(look_, path);
    HWND over = GetActiveWindow();
    viewer.runModal(over != nullptr ? over : owner());
}

bool Win32LegalView::optionalFeatures(OptionalFeatures& model) {
    loadRichEdit();
    FeaturesDialog dialog(look_, model);
    // A dialog that could not be made offered nothing: the model keeps its "0" for both, as
    // the offer's boxes are ticked only by someone who saw them.
    const INT_PTR result = dialog.runModal(owner());
    return result != 0 && result != -1;
}

} // namespace zov::win32
