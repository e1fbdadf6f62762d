#include "ui/win32/page_host.h"
#include "res/resource.h"
#include "ui/directory_rules.h"
#include "ui/wizard_pages.h"

#include <vector>

namespace zov::win32 {

using namespace appearance::setting;

// -- One page -----------------------------------------------------------------------------

void PageDialog::onInit() {
    skinPage();
    apply(page_.view(), true);
}

void PageDialog::skinPage() {
    useBackground(IDB_PAGE_BACKGROUND);
    centreOver(frame_);
    setDefaultTextColour(look_.colour(kPageText));
    setTextColour(IDC_PAGE_TITLE, look_.colour(kTitleColour));
    const bool hintBold = look_.flag(kHintBold);
    // Every control in the default page font, then the ones with a font of their own.
    for (HWND child = GetWindow(hwnd(), GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        const int id = GetDlgCtrlID(child);
        SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(look_.pageFont(child, false)), FALSE);
        if (unsigned strip = appearance::pageButtonBitmap(id))
            skinButton(id, strip);
    }
    setFont(IDC_PAGE_TITLE, look_.font(item(IDC_PAGE_TITLE), kTitleFont, kTitleFont + 1, kTitleFont + 2));
    setFont(IDC_PAGE_HINT, look_.pageFont(item(IDC_PAGE_HINT), hintBold));
    setFont(IDC_RECENT_FOLDER, look_.pageFont(item(IDC_RECENT_FOLDER), true));
    // The directory page's path field and the disk-space page's columns are bold.
    for (int id : {IDC_DIR_DISPLAY, IDC_SPACE_DRIVES, IDC_SPACE_REQUIRED, IDC_SPACE_AVAILABLE})
        setFont(id, look_.pageFont(item(id), true));
    if (item(IDC_DIR_DISPLAY) != nullptr)
        pathBrush_ = CreateSolidBrush(look_.colour(kBusyBackground));
    // On the welcome pages the Next id is the line above the big buttons.
    char cls[16];
    if (HWND line = item(IDC_PAGE_NEXT);
        line != nullptr && GetClassNameA(line, cls, sizeof cls) && lstrcmpiA(cls, "Static") == 0)
        setFont(IDC_PAGE_NEXT, look_.pageFont(line, hintBold));
    if (item(IDC_SCREEN_NAME) != nullptr)
        drawButtonText(IDC_SCREEN_NAME,
                       RECT{look_.number(kScreenNameInset), look_.number(kScreenNameInset + 1),
                            look_.number(kScreenNameInset + 2), look_.number(kScreenNameInset + 3)});
    if (HWND list = item(IDC_CLIENT_LIST)) {
        setFont(IDC_CLIENT_LIST, look_.font(list, kListFont, kListFont + 1, kListFont + 2));
        listText_ = look_.colour(kListText);
        listBackground_ = look_.colour(kListBackground);
        listBrush_ = CreateSolidBrush(listBackground_);
    }
}

void PageDialog::apply(const PageView& view, bool first) {
    for (const ControlState& c : view.controls) {
        HWND control = item(c.id);
        if (control == nullptr)
            continue;
        if (c.text)
            setText(c.id, *c.text);
        EnableWindow(control, c.enabled ? TRUE : FALSE);
        showControl(c.id, c.visible);
        if (c.checked)
            SendMessageA(control, BM_SETCHECK, *c.checked ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    if (view.list)
        fillList(*view.list);
    if (!first)
        return;
    for (const Tooltip& tip : view.tooltips)
        addTooltip(tip.control, tip.text);
    for (const PageTimer& timer : view.timers) {
        timers_[timer.id] = timer.repeat;
        SetTimer(hwnd(), static_cast<UINT_PTR>(timer.id), timer.periodMs, nullptr);
    }
    focusAtStart_ = view.focus;
}

void PageDialog::fillList(const ListState& list) {
    HWND box = item(list.id);
    if (box == nullptr)
        return;
    SendMessageA(box, WM_SETREDRAW, FALSE, 0);
    SendMessageA(box, LB_RESETCONTENT, 0, 0);
    // The horizontal scroll bar reaches the widest row, measured in the list's own font.
    HDC dc = GetDC(box);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(box, WM_GETFONT, 0, 0)));
    const bool tabs = (GetWindowLongPtrA(box, GWL_STYLE) & LBS_USETABSTOPS) != 0;
    std::vector<int> widths;
    for (const std::string& row : list.rows) {
        SendMessageA(box, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row.c_str()));
        SIZE extent{0, 0};
        if (tabs)
            extent.cx =
                LOWORD(GetTabbedTextExtentA(dc, row.c_str(), static_cast<int>(row.size()), 0, nullptr));
        else
            GetTextExtentPoint32A(dc, row.c_str(), static_cast<int>(row.size()), &extent);
        widths.push_back(extent.cx);
    }
    SelectObject(dc, old);
    ReleaseDC(box, dc);
    SendMessageA(box, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(listHorizontalExtent(widths)), 0);
    SendMessageA(box, LB_SETCURSEL, static_cast<WPARAM>(list.selected), 0);
    SendMessageA(box, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(box, nullptr, TRUE);
}

int PageDialog::focusedId() const {
    HWND focus = GetFocus();
    return (focus != nullptr && IsChild(hwnd(), focus)) ? GetDlgCtrlID(focus) : 0;
}

void PageDialog::focus(int id) {
    if (HWND control = item(id))
        SendMessageA(hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
}

void PageDialog::focusAtStart() {
    if (focusAtStart_ != 0)
        focus(focusAtStart_);
}

void PageDialog::act(const PageAction& action) {
    if (action.focus != 0)
        focus(action.focus);
    if (action.refresh)
        apply(page_.view(), false);
    if (action.close) {
        result_ = action.result;
        closed_ = true;
        destroy();
    }
}

bool PageDialog::onCommand(int id, int code, HWND control) {
    if (control == nullptr || id == IDOK || id == IDCANCEL) {
        // Enter is the page's default button; Escape does nothing.
        if (id == IDOK)
            act(page_.enter(focusedId()));
        return true;
    }
    if (id == IDC_CLIENT_LIST) {
        if (code == LBN_SELCHANGE)
            page_.selectRow(static_cast<int>(SendMessageA(control, LB_GETCURSEL, 0, 0)));
        return true;
    }
    if (code == BN_CLICKED) {
        act(page_.command(id));
        return true;
    }
    return false;
}

void PageDialog::onTimer(UINT_PTR id) {
    auto timer = timers_.find(static_cast<int>(id));
    if (timer == timers_.end())
        return;
    if (!timer->second) {
        KillTimer(hwnd(), id);
        timers_.erase(timer);
    }
    act(page_.timer(static_cast<int>(id)));
}

bool PageDialog::onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    switch (message) {
    case WM_WELCOMETAB:
        act(page_.tabbedTo(static_cast<int>(lParam)));
        result = TRUE;
        return true;
    case WM_CLOSE:
        // Closing a page is closing the setup: the frame asks.
        PostMessageA(frame_, WM_CLOSE, 0, 0);
        result = TRUE;
        return true;
    case WM_DRAWITEM:
        if (wParam != IDC_DIR_DISPLAY || pathBrush_ == nullptr)
            return false;
        drawPath(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        result = TRUE;
        return true;
    case WM_CTLCOLORLISTBOX:
        if (listBrush_ == nullptr)
            return false;
        SetTextColor(reinterpret_cast<HDC>(wParam), listText_);
        SetBkColor(reinterpret_cast<HDC>(wParam), listBackground_);
        result = reinterpret_cast<INT_PTR>(listBrush_);
        return true;
    default:
        return false;
    }
}

// The directory page's path field keeps the whole path as its text; it shows as much of it as
// fits, with the middle components replaced by "...".
void PageDialog::drawPath(const DRAWITEMSTRUCT& d) {
    FillRect(d.hDC, &d.rcItem, pathBrush_);
    HGDIOBJ oldFont =
        SelectObject(d.hDC, reinterpret_cast<HFONT>(SendMessageA(d.hwndItem, WM_GETFONT, 0, 0)));
    const int length = GetWindowTextLengthA(d.hwndItem);
    std::string path(static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
    path.resize(static_cast<std::size_t>(GetWindowTextA(d.hwndItem, path.data(), length + 1)));
    RECT area = d.rcItem;
    InflateRect(&area, -2, 0);
    const int width = area.right - area.left;
    const std::string shown = pathEllipsis(path, [&](const std::string& text) {
        SIZE extent{0, 0};
        GetTextExtentPoint32A(d.hDC, text.c_str(), static_cast<int>(text.size()), &extent);
        return extent.cx <= width;
    });
    SetBkMode(d.hDC, TRANSPARENT);
    SetTextColor(d.hDC, look_.colour(kPageText));
    DrawTextA(d.hDC, shown.c_str(), static_cast<int>(shown.size()), &area,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    SelectObject(d.hDC, oldFont);
}

void PageDialog::onDestroy() {
    for (const auto& [id, repeats] : timers_)
        KillTimer(hwnd(), static_cast<UINT_PTR>(id));
    timers_.clear();
    if (listBrush_ != nullptr)
        DeleteObject(listBrush_);
    listBrush_ = nullptr;
    if (pathBrush_ != nullptr)
        DeleteObject(pathBrush_);
    pathBrush_ = nullptr;
}

// -- ShowWizardPage -----------------------------------------------------------------------

int Win32PageHost::showPage(WizardPage& page) {
    HWND frame = frame_.hwnd();
    PageDialog dialog(look_, page, frame);
    if (!dialog.create(frame))
        return kNotCreated;
    frame_.setCurrentPage(dialog.hwnd());
    ShowWindow(dialog.hwnd(), SW_SHOW);
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    GetWindowPlacement(frame, &placement);
    if (placement.showCmd == SW_SHOWMINIMIZED || placement.showCmd == SW_MINIMIZE)
        ShowWindow(frame, SW_SHOWMAXIMIZED);
    else
        frame_.forceForeground();
    dialog.focusAtStart();
    SetWindowTextA(frame, look_.text(IDS_CAPTION).c_str());
    InvalidateRect(frame, nullptr, TRUE);
    pump(dialog, page.reportsTab());
    frame_.setCurrentPage(nullptr);
    return dialog.result();
}

void Win32PageHost::pump(PageDialog& dialog, bool reportsTab) {
    while (dialog.hwnd() != nullptr && IsWindow(dialog.hwnd())) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            HWND page = dialog.hwnd();
            if (page != nullptr && IsDialogMessageA(page, &message)) {
                // Tab between the welcome page's buttons chooses at once.
                if (reportsTab && message.message == WM_KEYUP && message.wParam == VK_TAB && IsWindow(page)) {
                    HWND focus = GetFocus();
                    char cls[16];
                    if (focus != nullptr && IsChild(page, focus) && GetClassNameA(focus, cls, sizeof cls) &&
                        lstrcmpiA(cls, "Button") == 0)
                        PostMessageA(page, WM_WELCOMETAB, 0, GetDlgCtrlID(focus));
                }
                continue;
            }
            HWND progress = frame_.progressWindow();
            if (progress != nullptr && IsDialogMessageA(progress, &message))
                continue;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        if (dialog.hwnd() == nullptr || !IsWindow(dialog.hwnd()))
            break;
        // At most 50 ms between passes, sooner when something arrives.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
}

} // namespace zov::win32
