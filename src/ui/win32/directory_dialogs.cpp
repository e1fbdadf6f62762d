#include "ui/win32/directory_dialogs.h"

#include "checks/disk_space.h"
#include "res/resource.h"
#include "ui/win32/skinned_dialog.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cctype>
#include <vector>

namespace zov::win32 {
namespace {

using namespace appearance::setting;

// Posted by the tree to its dialog after it opened a folder: the edit box follows the tree.
constexpr UINT WM_TREEOPENED = WM_USER + 10;
constexpr int kOpenedImage = 0, kListedImage = 1; // of bitmap 171
constexpr unsigned kSpaceColumnWidths[] = {2031, 2033, 2032};

// The page the dialog was opened from is hidden while it is up.
class HiddenPage {
  public:
    explicit HiddenPage(FrameWindow& frame) : page_(frame.currentPage()) {
        if (page_ != nullptr && IsWindowVisible(page_))
            ShowWindow(page_, SW_HIDE);
        else
            page_ = nullptr;
    }
    ~HiddenPage() {
        if (page_ == nullptr || !IsWindow(page_))
            return;
        ShowWindow(page_, SW_SHOW);
        SetForegroundWindow(page_);
        SetFocus(page_);
    }
    HiddenPage(const HiddenPage&) = delete;
    HiddenPage& operator=(const HiddenPage&) = delete;

  private:
    HWND page_;
};

std::string windowText(HWND window) {
    const int length = GetWindowTextLengthA(window);
    std::string text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
    text.resize(static_cast<std::size_t>(GetWindowTextA(window, text.data(), length + 1)));
    return text;
}

std::string itemText(HWND tree, HTREEITEM item) {
    char text[MAX_PATH] = {};
    TVITEMA tv{};
    tv.mask = TVIF_TEXT;
    tv.hItem = item;
    tv.pszText = text;
    tv.cchTextMax = sizeof text;
    TreeView_GetItem(tree, &tv);
    return text;
}

void setImages(HWND tree, HTREEITEM item, int image) {
    TVITEMA tv{};
    tv.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    tv.hItem = item;
    tv.iImage = tv.iSelectedImage = image;
    TreeView_SetItem(tree, &tv);
}

int imageOf(HWND tree, HTREEITEM item) {
    TVITEMA tv{};
    tv.mask = TVIF_IMAGE;
    tv.hItem = item;
    return TreeView_GetItem(tree, &tv) ? tv.iImage : -1;
}

void removeChildren(HWND tree, HTREEITEM item) {
    while (HTREEITEM child = TreeView_GetChild(tree, item))
        TreeView_DeleteItem(tree, child);
}

// -- CSelectDirDlg ------------------------------------------------------------------------------

class SelectDirDialog final : public SkinnedDialog {
  public:
    SelectDirDialog(Look& look, RunContext& run, SelectDirRequest& request, HWND frame)
        : SkinnedDialog(look, request.templateId), run_(run), request_(request), frame_(frame),
          spaceColumns_(request.templateId == IDD_SELECT_DRIVE) {}

  protected:
    void onInit() override;
    bool onCommand(int id, int code, HWND control) override;
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    void onDestroy() override;

  private:
    HWND tree() const { return item(IDC_SELECT_TREE); }
    HWND drives() const { return item(IDC_DRIVE_LIST); }
    void skin();
    // CDirectoryTree.
    void showPath(const std::string& path);
    void listSubfolders(HTREEITEM parent, const std::string& path);
    std::string pathOf(HTREEITEM item) const;
    void openSelected();
    // The drive list.
    void fillDrives();
    void refreshSpace();
    void showRows(const std::string& keepRoot);
    std::string selectedRoot() const;
    int rowOfLetter(char letter) const;
    void selectRow(int row);
    int selectedRow() const;
    void selectDrive(int row);
    bool drawRow(const DRAWITEMSTRUCT& item);
    // The edit box.
    void setEditFromTree();
    void done();

    RunContext& run_;
    SelectDirRequest& request_;
    HWND frame_;
    bool spaceColumns_;
    SelectDirState state_;
    std::string treePath_;
    HIMAGELIST images_ = nullptr;
    HIMAGELIST systemImages_ = nullptr;
    std::vector<DriveRow> rows_;
    DriveList order_;
    bool settingEdit_ = false;
    HBRUSH whiteBrush_ = nullptr;
};

void SelectDirDialog::onInit() {
    run_.history.RecordEvent(spaceColumns_ ? 108 : 105);
    run_.m.checks.desktop.waitCursor(true);
    images_ = ImageList_LoadImageA(look_.instance(), MAKEINTRESOURCEA(IDB_FOLDER_IMAGES), 16, 1,
                                   RGB(0, 255, 255), IMAGE_BITMAP, LR_CREATEDIBSECTION);
    if (images_ == nullptr) {
        run_.m.checks.desktop.waitCursor(false);
        run_.history.RecordEvent(112);
        run_.prompts.notice(IDS_OUT_OF_MEMORY);
        run_.fail(14);
    }
    TreeView_SetImageList(tree(), images_, TVSIL_NORMAL);
    fillDrives();
    state_ = SelectDirState::fromInitialPath(request_.path);
    showPath(state_.currentFolder);
    setEditFromTree();
    if (!state_.currentFolder.empty())
        selectRow(rowOfLetter(state_.currentFolder[0]));
    skin();
    run_.m.checks.desktop.waitCursor(false);
}

void SelectDirDialog::skin() {
    useBackground(spaceColumns_ ? IDB_SELECT_DRIVE_BACKGROUND : IDB_SELECT_DIR_BACKGROUND);
    centreOver(frame_);
    skinButton(IDOK, IDB_DONE);
    skinButton(IDCANCEL, IDB_BACK);
    SetWindowTextA(hwnd(), look_.text(request_.caption).c_str());
    setText(IDC_PAGE_BODY, look_.text(request_.prompt));
    for (int id : {IDC_PAGE_BODY, IDC_DRIVE_LABEL, IDC_TREE_LABEL})
        setFont(id, look_.pageFont(item(id), false));
    setDefaultTextColour(look_.colour(kPageText));
    whiteBrush_ = CreateSolidBrush(look_.colour(kListBackground));
}

// The tree ---------------------------------------------------------------------------------------

namespace {

HTREEITEM insertFolder(HWND tree, HTREEITEM parent, HTREEITEM after, const std::string& name, int image) {
    TVINSERTSTRUCTA insert{};
    insert.hParent = parent;
    insert.hInsertAfter = after;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = const_cast<char*>(name.c_str());
    insert.item.iImage = insert.item.iSelectedImage = image;
    return reinterpret_cast<HTREEITEM>(
        SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
}

} // namespace

void SelectDirDialog::showPath(const std::string& path) {
    HWND t = tree();
    TreeView_DeleteAllItems(t);
    HTREEITEM parent = TVI_ROOT, last = nullptr;
    for (const std::string& piece : dirtree::chain(path)) {
        last = insertFolder(t, parent, TVI_LAST, piece, kOpenedImage);
        if (last == nullptr)
            break;
        if (parent != TVI_ROOT)
            TreeView_Expand(t, parent, TVE_EXPAND);
        parent = last;
    }
    if (last == nullptr)
        return;
    TreeView_SelectItem(t, last);
    treePath_ = pathOf(last);
    listSubfolders(last, treePath_);
}

void SelectDirDialog::listSubfolders(HTREEITEM parent, const std::string& path) {
    HWND t = tree();
    for (const std::string& name : dirtree::subfolders(run_.m, path)) {
        insertFolder(t, parent, TVI_SORT, name, kListedImage);
    }
    TreeView_Expand(t, parent, TVE_EXPAND);
}

std::string SelectDirDialog::pathOf(HTREEITEM at) const {
    std::vector<std::string> texts;
    for (HTREEITEM i = at; i != nullptr; i = TreeView_GetParent(tree(), i))
        texts.insert(texts.begin(), itemText(tree(), i));
    return dirtree::itemPath(texts);
}

void SelectDirDialog::openSelected() {
    HWND t = tree();
    HTREEITEM selected = TreeView_GetSelection(t);
    if (selected == nullptr)
        return;
    const bool expanded = (TreeView_GetItemState(t, selected, TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
    HTREEITEM first = TreeView_GetChild(t, selected);
    switch (dirtree::openStep(expanded, first != nullptr,
                              first != nullptr && imageOf(t, first) == kListedImage)) {
    case dirtree::OpenStep::Nothing:
        return;
    case dirtree::OpenStep::RemoveFirstChild:
        if (first != nullptr)
            TreeView_DeleteItem(t, first);
        break;
    case dirtree::OpenStep::RemoveChildren:
        setImages(t, selected, kOpenedImage);
        removeChildren(t, selected);
        break;
    }
    treePath_ = pathOf(selected);
    PostMessageA(hwnd(), WM_TREEOPENED, 0, 0);
    listSubfolders(selected, treePath_);
}

// The drive list -----------------------------------------------------------------------------------

void SelectDirDialog::fillDrives() {
    HWND list = drives();
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
    // The shell's list is shared by every window of the process: the list must not free it.
    SetWindowLongPtrA(list, GWL_STYLE, GetWindowLongPtrA(list, GWL_STYLE) | LVS_SHAREIMAGELISTS);
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    if (spaceColumns_) {
        for (int i = 0; i < 3; ++i) {
            std::string title = look_.text(1325 + static_cast<unsigned>(i));
            column.pszText = title.data();
            column.cx = look_.number(kSpaceColumnWidths[i]);
            SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
        }
    } else {
        RECT client;
        GetClientRect(list, &client);
        std::string title = look_.text(1325);
        column.pszText = title.data();
        // As wide as the list beside its vertical scroll bar: no horizontal one.
        column.cx = client.right - client.left - GetSystemMetrics(SM_CXVSCROLL);
        SendMessageA(list, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
    }
    char strings[512] = {};
    const DWORD length = GetLogicalDriveStringsA(sizeof strings - 1, strings);
    for (const char* root = strings; length > 0 && length < sizeof strings && *root != '\0';
         root += lstrlenA(root) + 1) {
        SHFILEINFOA info{};
        auto list_ = reinterpret_cast<HIMAGELIST>(SHGetFileInfoA(
            root, 0, &info, sizeof info, SHGFI_DISPLAYNAME | SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
        if (list_ == nullptr || info.szDisplayName[0] == '\0')
            continue;
        systemImages_ = list_;
        DriveRow row;
        row.root = root;
        row.name = info.szDisplayName;
        row.image = info.iIcon;
        rows_.push_back(row);
    }
    if (systemImages_ != nullptr)
        ListView_SetImageList(list, systemImages_, LVSIL_SMALL);
    refreshSpace();
}

void SelectDirDialog::refreshSpace() {
    if (spaceColumns_ && request_.figures != nullptr) {
        DiskSpace disk(run_);
        for (DriveRow& row : rows_) {
            const bool ready = disk.driveReady(row.root[0]);
            row.available =
                DriveList::availableText(run_.m.strings, ready, ready ? disk.freeKb(row.root) : 0);
            row.required = DriveList::requiredText(run_.m.strings, row.root[0], *request_.figures);
        }
    }
    showRows(selectedRoot());
}

std::string SelectDirDialog::selectedRoot() const {
    const int selected = selectedRow();
    return selected >= 0 ? rows_[static_cast<std::size_t>(selected)].root : std::string();
}

void SelectDirDialog::showRows(const std::string& keep) {
    HWND list = drives();
    ListView_DeleteAllItems(list);
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        LVITEMA row{};
        row.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
        row.iItem = static_cast<int>(i);
        row.pszText = rows_[i].name.data();
        row.iImage = rows_[i].image;
        row.lParam = static_cast<LPARAM>(i);
        SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&row));
    }
    if (!keep.empty())
        selectRow(rowOfLetter(keep[0]));
}

int SelectDirDialog::rowOfLetter(char letter) const {
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(rows_[i].root[0])) ==
            std::toupper(static_cast<unsigned char>(letter)))
            return static_cast<int>(i);
    return -1;
}

void SelectDirDialog::selectRow(int row) {
    HWND list = drives();
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    if (row < 0)
        return;
    ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(list, row, FALSE);
}

int SelectDirDialog::selectedRow() const {
    const int row = ListView_GetNextItem(drives(), -1, LVNI_SELECTED);
    return row >= 0 && static_cast<std::size_t>(row) < rows_.size() ? row : -1;
}

void SelectDirDialog::selectDrive(int row) {
    if (row < 0)
        return;
    const char letter = rows_[static_cast<std::size_t>(row)].root[0];
    if (!DirectoryCheck(run_, request_.upgradeDirectory).waitUntilReady(letter)) {
        selectRow(state_.currentFolder.empty() ? -1 : rowOfLetter(state_.currentFolder[0]));
        SetFocus(hwnd());
        return;
    }
    state_.currentFolder = std::string(1, letter) + ":\\";
    showPath(state_.currentFolder);
    setEditFromTree();
    if (request_.figures != nullptr) {
        request_.figures->installDrive = letter;
        refreshSpace();
    }
}

bool SelectDirDialog::drawRow(const DRAWITEMSTRUCT& d) {
    HWND list = drives();
    if (d.hwndItem != list || d.itemID >= rows_.size())
        return false;
    const DriveRow& row = rows_[d.itemID];
    const bool selected = (d.itemState & ODS_SELECTED) != 0;
    FillRect(d.hDC, &d.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    SetTextColor(d.hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    SetBkMode(d.hDC, TRANSPARENT);
    int left = d.rcItem.left;
    const int columns = spaceColumns_ ? 3 : 1;
    for (int c = 0; c < columns; ++c) {
        const int width = ListView_GetColumnWidth(list, c);
        RECT cell{left + 2, d.rcItem.top, left + width - 2, d.rcItem.bottom};
        if (c == 0 && systemImages_ != nullptr) {
            ImageList_Draw(systemImages_, row.image, d.hDC, cell.left,
                           cell.top + (cell.bottom - cell.top - 16) / 2, ILD_TRANSPARENT);
            cell.left += 20;
        }
        const std::string& text = row.column(c);
        DrawTextA(d.hDC, text.c_str(), static_cast<int>(text.size()), &cell,
                  DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
        left += width;
    }
    if ((d.itemState & ODS_FOCUS) != 0)
        DrawFocusRect(d.hDC, &d.rcItem);
    return true;
}

// The edit box and Done ------------------------------------------------------------------------------

void SelectDirDialog::setEditFromTree() {
    settingEdit_ = true;
    const std::string text = state_.editText(treePath_);
    SetDlgItemTextA(hwnd(), IDC_SELECT_PATH, text.c_str());
    state_.path = text;
    settingEdit_ = false;
}

void SelectDirDialog::done() {
    HWND focus = GetFocus();
    if (focus == tree()) {
        openSelected(); // Enter opens the folder
        return;
    }
    if (focus == item(IDCANCEL) && run_.m.system.screenReaderRunning()) {
        EndDialog(hwnd(), DirectoryDialogs::kBack);
        return;
    }
    if (focus == drives()) {
        selectDrive(selectedRow());
        return;
    }
    const int row = selectedRow();
    const char selected = row >= 0 && !rows_[static_cast<std::size_t>(row)].name.empty()
                              ? rows_[static_cast<std::size_t>(row)].root[0]
                              : 0;
    DirectoryCheck check(run_, request_.upgradeDirectory);
    DirectoryCheck::Result result = check.check(windowText(item(IDC_SELECT_PATH)), selected);
    switch (result.outcome) {
    case DirectoryCheck::Outcome::Accepted:
        request_.path = result.path;
        EndDialog(hwnd(), DirectoryDialogs::kDone);
        return;
    case DirectoryCheck::Outcome::DriveNotReady:
        // Typing moved the current folder to the drive that is not ready: the list keeps the
        // drive it showed before Done.
        selectRow(row);
        break;
    case DirectoryCheck::Outcome::Refused:
        break;
    }
    SetForegroundWindow(hwnd());
    SetFocus(hwnd());
}

bool SelectDirDialog::onCommand(int id, int code, HWND) {
    switch (id) {
    case IDOK:
        done();
        return true;
    case IDCANCEL:
        EndDialog(hwnd(), DirectoryDialogs::kBack);
        return true;
    case IDC_SELECT_PATH:
        if (code == EN_CHANGE && !settingEdit_)
            state_.typed(windowText(item(IDC_SELECT_PATH)));
        return true;
    default:
        return false;
    }
}

bool SelectDirDialog::onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    switch (message) {
    case WM_TREEOPENED:
        setEditFromTree();
        result = TRUE;
        return true;
    case WM_DRAWITEM:
        if (wParam != IDC_DRIVE_LIST)
            return false;
        result = drawRow(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)) ? TRUE : FALSE;
        return true;
    case WM_MEASUREITEM: {
        auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (wParam != IDC_DRIVE_LIST)
            return false;
        measure->itemHeight = static_cast<UINT>(GetSystemMetrics(SM_CYSMICON) + 4);
        result = TRUE;
        return true;
    }
    case WM_CTLCOLOREDIT:
        if (whiteBrush_ == nullptr)
            return false;
        SetBkColor(reinterpret_cast<HDC>(wParam), look_.colour(kListBackground));
        result = reinterpret_cast<INT_PTR>(whiteBrush_);
        return true;
    case WM_NOTIFY:
        break;
    default:
        return false;
    }
    const NMHDR& header = *reinterpret_cast<const NMHDR*>(lParam);
    LRESULT answer = 0;
    if (header.idFrom == IDC_SELECT_TREE) {
        switch (header.code) {
        case TVN_SELCHANGEDA:
        case TVN_SELCHANGEDW:
            setImages(tree(), reinterpret_cast<const NMTREEVIEWA&>(header).itemNew.hItem, kOpenedImage);
            break;
        case TVN_ITEMEXPANDINGA:
        case TVN_ITEMEXPANDINGW: {
            const auto& change = reinterpret_cast<const NMTREEVIEWA&>(header);
            const bool collapsing = (change.action & TVE_COLLAPSE) != 0;
            answer = dirtree::expandAllowed(collapsing, change.itemNew.hItem == TreeView_GetSelection(tree()))
                         ? FALSE
                         : TRUE;
            break;
        }
        case NM_DBLCLK:
            openSelected();
            answer = TRUE;
            break;
        case TVN_KEYDOWN:
            if (reinterpret_cast<const NMTVKEYDOWN&>(header).wVKey == VK_SPACE) {
                openSelected();
                answer = TRUE;
            }
            break;
        default:
            return false;
        }
    } else if (header.idFrom == IDC_DRIVE_LIST) {
        switch (header.code) {
        case NM_CLICK:
            selectDrive(reinterpret_cast<const NMITEMACTIVATE&>(header).iItem >= 0 ? selectedRow() : -1);
            break;
        case LVN_COLUMNCLICK: {
            const std::string keep = selectedRoot();
            order_.sortBy(rows_, reinterpret_cast<const NMLISTVIEW&>(header).iSubItem);
            showRows(keep);
            break;
        }
        default:
            return false;
        }
    } else {
        return false;
    }
    SetWindowLongPtrA(hwnd(), DWLP_MSGRESULT, answer);
    result = TRUE;
    return true;
}

void SelectDirDialog::onDestroy() {
    if (images_ != nullptr)
        ImageList_Destroy(images_);
    images_ = nullptr;
    if (whiteBrush_ != nullptr)
        DeleteObject(whiteBrush_);
    whiteBrush_ = nullptr;
}

// -- CDiskCleanupDlg ----------------------------------------------------------------------------

class CleanupDialog final : public SkinnedDialog {
  public:
    CleanupDialog(Look& look, DiskCleanupModel& model, HWND frame, bool screenReader)
        : SkinnedDialog(look, IDD_DISK_CLEANUP), model_(model), frame_(frame), screenReader_(screenReader) {}

  protected:
    void onInit() override;
    bool onCommand(int id, int code, HWND control) override;
    void onTimer(UINT_PTR id) override;
    void onDestroy() override;

  private:
    static constexpr UINT_PTR kTimer = 1;
    void show();
    void setIcon(int control, unsigned icon);

    DiskCleanupModel& model_;
    HWND frame_;
    bool screenReader_;
    bool binFullShown_ = false;
    bool iconsSet_ = false;
};

void CleanupDialog::setIcon(int control, unsigned icon) {
    HANDLE image =
        LoadImageA(look_.instance(), MAKEINTRESOURCEA(icon), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED);
    SendDlgItemMessageA(hwnd(), control, STM_SETICON, reinterpret_cast<WPARAM>(image), 0);
}

void CleanupDialog::onInit() {
    useBackground(IDB_CLEANUP_BACKGROUND);
    centreOver(frame_);
    skinButton(IDC_EMPTY_BIN, IDB_EMPTY_BIN);
    skinButton(IDC_DELETE_TEMP, IDB_DELETE_TEMP);
    skinButton(IDC_LAUNCH_EXPLORER, IDB_LAUNCH_EXPLORER);
    skinButton(IDOK, IDB_CONTINUE);
    skinButton(IDCANCEL, IDB_CANCEL);
    showControl(IDCANCEL, model_.systemCheck());
    setDefaultTextColour(look_.colour(kPageText));
    for (HWND child = GetWindow(hwnd(), GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
        SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(look_.pageFont(child, false)), FALSE);
    setFont(IDC_SHORTFALL, look_.pageFont(item(IDC_SHORTFALL), true));
    setIcon(IDC_TEMP_ICON, IDI_TEMP_FILES);
    setIcon(IDC_EXPLORER_ICON, IDI_EXPLORER);
    model_.start();
    show();
    SetTimer(hwnd(), kTimer, 1000, nullptr);
}

void CleanupDialog::show() {
    const CleanupView& v = model_.view();
    setText(IDC_SHORTFALL, v.shortfall);
    setText(IDC_BIN_SIZE, v.binSize);
    setText(IDC_BIN_HINT, v.binHint);
    setText(IDC_TEMP_SIZE, v.tempSize);
    setText(IDC_TEMP_HINT, v.tempHint);
    EnableWindow(item(IDC_EMPTY_BIN), v.emptyEnabled ? TRUE : FALSE);
    EnableWindow(item(IDC_DELETE_TEMP), v.deleteEnabled ? TRUE : FALSE);
    if (!iconsSet_ || v.binFull != binFullShown_) {
        setIcon(IDC_BIN_ICON, v.binFull ? IDI_BIN_FULL : IDI_BIN_EMPTY);
        binFullShown_ = v.binFull;
        iconsSet_ = true;
    }
    if (v.focusContinue)
        SendMessageA(hwnd(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(item(IDOK)), TRUE);
}

bool CleanupDialog::onCommand(int id, int, HWND control) {
    HWND focus = GetFocus();
    const int focused = focus != nullptr && IsChild(hwnd(), focus) ? GetDlgCtrlID(focus) : 0;
    // Enter (no control) with a screen reader acts as the focused button.
    if (id == IDOK && control == nullptr && screenReader_ &&
        (focused == IDC_EMPTY_BIN || focused == IDC_LAUNCH_EXPLORER || focused == IDC_DELETE_TEMP ||
         focused == IDCANCEL))
        id = focused;
    switch (id) {
    case IDOK:
        EndDialog(hwnd(), CheckDialogs::kCleanupContinue);
        return true;
    case IDCANCEL:
        // Without a cancel button, Escape and the close box go on as continue does: the
        // caller measures again either way.
        EndDialog(hwnd(),
                  model_.systemCheck() ? CheckDialogs::kCleanupCancel : CheckDialogs::kCleanupContinue);
        return true;
    case IDC_EMPTY_BIN:
        model_.emptyBin();
        return true;
    case IDC_LAUNCH_EXPLORER:
        model_.launchExplorer();
        return true;
    case IDC_DELETE_TEMP:
        model_.deleteTemp();
        show();
        return true;
    default:
        return false;
    }
}

void CleanupDialog::onTimer(UINT_PTR id) {
    if (id == kTimer && model_.tick())
        show();
}

void CleanupDialog::onDestroy() {
    KillTimer(hwnd(), kTimer);
}

void initControls() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&controls);
}

} // namespace

int Win32DirectoryDialogs::selectDirectory(SelectDirRequest& request) {
    initControls();
    HiddenPage hidden(frame_);
    SelectDirDialog dialog(look_, run_, request, frame_.hwnd());
    const INT_PTR result = dialog.runModal(frame_.hwnd());
    return result == kDone ? kDone : kBack;
}

int Win32DirectoryDialogs::diskCleanup(DiskCleanupModel& model) {
    HiddenPage hidden(frame_);
    CleanupDialog dialog(look_, model, frame_.hwnd(), run_.m.system.screenReaderRunning());
    const INT_PTR result = dialog.runModal(frame_.hwnd());
    return result == CheckDialogs::kCleanupCancel ? CheckDialogs::kCleanupCancel
                                                  : CheckDialogs::kCleanupContinue;
}

} // namespace zov::win32
