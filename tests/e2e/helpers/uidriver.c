/* uidriver: works the setup's windows the way a person would, from the same desktop.
 *
 *   uidriver -serve PORTFILE      listens on 127.0.0.1 (a free port, written to PORTFILE) for
 *                                 one connection and answers one command per line
 *   uidriver -out FILE COMMAND... runs one command and writes its answer to FILE
 *
 * Windows on a virtual desktop are invisible from other desktops: start the driver on the
 * desktop of the setup it works. A window is named by a selector: "@" and a decimal window
 * handle, or the control ids its dialog must hold, "1060,1061,!1376" (holds 1060 and 1061, not
 * 1376).
 * Only visible dialogs (class "#32770") count; the first found wins.
 *
 * Commands (answers are "ok [value]" or "err <reason>"; texts are UTF-8 with \\, \n, \r and
 * \t escaped):
 *   wait SEL MS          waits until the dialog is there; its handle
 *   gone SEL MS          waits until it is not
 *   frame                the frame window (class "ZOVInstallerClass"), 0 when none
 *   click SEL ID         posts BM_CLICK to the control (a button, a radio button)
 *   command SEL ID       posts WM_COMMAND (ID, BN_CLICKED) to the dialog
 *   key SEL VK           posts the key down and up to the focused control of SEL's thread,
 *                        once SEL is the thread's active window
 *   text SEL ID          the control's text (ID 0: the dialog's own)
 *   state SEL ID         "visible enabled checked" as three 0/1 digits
 *   list SEL ID          "selected|row0|row1|..." (rows read with the wide messages)
 *   select SEL ID ROW    selects a list row and tells the dialog (LBN_SELCHANGE)
 *   settext SEL ID TEXT  sets a control's text (an edit box tells its dialog, as typing does;
 *                        a control holding an edit, as the Save As name box, sets that edit's)
 *   lvsel SEL ID         "selected count" of a list view
 *   link SEL ID URL      clicks the mouse on the link of a link control with that address
 *   pos SEL ID           a progress bar's position (PBM_GETPOS)
 *   item SEL ID          the control's window handle (a window that is no dialog: the movie)
 *   focus SEL            id of the control with the keyboard focus, 0 when none
 *   style SEL            the window's style bits in decimal
 *   rect SEL             "left top right bottom" in screen coordinates
 *   post SEL MSG W L     posts a message; send SEL MSG W L sends it (10 s limit), the result
 *   boxtext TITLE        the text of a message box (static 0xFFFF) with that caption
 *   boxclick TITLE ID    presses button ID of that message box
 *   shot FILE [SEL]      saves the desktop (or the window) as a 24-bit BMP
 *   quit                 ends the server
 */
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define MAX_IDS 8
#define ANSWER_SIZE 65536

typedef struct {
    HWND hwnd; /* a given handle, else NULL */
    int want[MAX_IDS], nwant;
    int refuse[MAX_IDS], nrefuse;
} Selector;

typedef struct {
    const Selector* sel;
    HWND found;
} Search;

static void parse_selector(const char* text, Selector* sel) {
    memset(sel, 0, sizeof *sel);
    if (text[0] == '@') {
        sel->hwnd = (HWND)(INT_PTR)strtoll(text + 1, NULL, 10);
        return;
    }
    const char* p = text;
    while (*p) {
        int refuse = *p == '!';
        if (refuse)
            ++p;
        int id = (int)strtol(p, (char**)&p, 10);
        if (refuse && sel->nrefuse < MAX_IDS)
            sel->refuse[sel->nrefuse++] = id;
        else if (!refuse && sel->nwant < MAX_IDS)
            sel->want[sel->nwant++] = id;
        while (*p == ',' || *p == ' ')
            ++p;
    }
}

static int matches(HWND hwnd, const Selector* sel) {
    char cls[32];
    if (!IsWindowVisible(hwnd) || !GetClassNameA(hwnd, cls, sizeof cls) || strcmp(cls, "#32770") != 0)
        return 0;
    for (int i = 0; i < sel->nwant; ++i)
        if (GetDlgItem(hwnd, sel->want[i]) == NULL)
            return 0;
    for (int i = 0; i < sel->nrefuse; ++i)
        if (GetDlgItem(hwnd, sel->refuse[i]) != NULL)
            return 0;
    return sel->nwant > 0;
}

static BOOL CALLBACK search_child(HWND hwnd, LPARAM param) {
    Search* s = (Search*)param;
    if (matches(hwnd, s->sel)) {
        s->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

static BOOL CALLBACK search_top(HWND hwnd, LPARAM param) {
    Search* s = (Search*)param;
    if (search_child(hwnd, param))
        EnumChildWindows(hwnd, search_child, param); /* every descendant */
    return s->found == NULL;
}

static HWND find(const Selector* sel) {
    if (sel->hwnd != NULL)
        return IsWindow(sel->hwnd) ? sel->hwnd : NULL;
    Search s = {sel, NULL};
    EnumWindows(search_top, (LPARAM)&s);
    return s.found;
}

/* A message box: a dialog with the caption and the text control 0xFFFF. */
static HWND find_box(const char* title) {
    for (HWND box = NULL; (box = FindWindowExA(NULL, box, "#32770", title)) != NULL;)
        if (IsWindowVisible(box) && GetDlgItem(box, 0xFFFF) != NULL)
            return box;
    return NULL;
}

static HWND find_text(const char* text) {
    Selector sel;
    parse_selector(text, &sel);
    return find(&sel);
}

/* Appends `w` as escaped UTF-8. */
static void put_text(char* out, size_t size, const wchar_t* w) {
    static char utf8[ANSWER_SIZE];
    int n = WideCharToMultiByte(CP_UTF8, 0, w, -1, utf8, sizeof utf8, NULL, NULL);
    if (n <= 0)
        utf8[0] = '\0';
    size_t used = strlen(out);
    for (const char* c = utf8; *c && used + 3 < size; ++c) {
        const char* esc = *c == '\\'   ? "\\\\"
                          : *c == '\n' ? "\\n"
                          : *c == '\r' ? "\\r"
                          : *c == '\t' ? "\\t"
                                       : NULL;
        if (esc) {
            out[used++] = esc[0];
            out[used++] = esc[1];
        } else {
            out[used++] = *c;
        }
    }
    out[used] = '\0';
}

static LRESULT send_w(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(hwnd, msg, w, l, SMTO_NORMAL, 10000, &result))
        return -1;
    return (LRESULT)result;
}

static HWND control(HWND dialog, int id) {
    return id == 0 ? dialog : GetDlgItem(dialog, id);
}

static HWND focused_in(HWND hwnd) {
    GUITHREADINFO info;
    memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, NULL), &info))
        return NULL;
    return info.hwndFocus;
}

/* The control keys go to: a person types into the window in front, so this waits (at most
 * 5 s) until the dialog is its thread's active window with the focus inside it, unchanged
 * over three looks 50 ms apart. Under Wine the X server's late answer to an earlier
 * activation (the frame is brought forward with every page) can still hand the focus to
 * another window; a key posted then would be handled as if typed elsewhere. */
static HWND settled_focus(HWND dialog) {
    HWND last = NULL;
    int steady = 0;
    for (int look = 0; look < 100 && steady < 3; ++look) {
        GUITHREADINFO info;
        memset(&info, 0, sizeof info);
        info.cbSize = sizeof info;
        HWND focus = NULL;
        if (GetGUIThreadInfo(GetWindowThreadProcessId(dialog, NULL), &info) && info.hwndActive == dialog &&
            info.hwndFocus != NULL && (info.hwndFocus == dialog || IsChild(dialog, info.hwndFocus)))
            focus = info.hwndFocus;
        steady = (focus != NULL && focus == last) ? steady + 1 : 0;
        last = focus;
        if (steady < 3)
            Sleep(50);
    }
    return last;
}

/* Has every window of the setup painted what it holds now: a picture taken while a page is
 * still being drawn would show half of it. */
static BOOL CALLBACK repaint_one(HWND hwnd, LPARAM process) {
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner == (DWORD)process && IsWindowVisible(hwnd))
        RedrawWindow(hwnd, NULL, NULL,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    return TRUE;
}

static void repaint_setup(void) {
    HWND frame = FindWindowA("ZOVInstallerClass", NULL);
    DWORD process = 0;
    DWORD_PTR ignored;
    if (frame == NULL)
        return;
    GetWindowThreadProcessId(frame, &process);
    EnumWindows(repaint_one, (LPARAM)process);
    /* A message through the queue once the paints are done. */
    SendMessageTimeoutW(frame, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
    Sleep(100);
}

static int save_bmp(const char* path, HWND target) {
    RECT r;
    if (target != NULL)
        GetWindowRect(target, &r);
    else
        GetWindowRect(GetDesktopWindow(), &r);
    int width = r.right - r.left, height = r.bottom - r.top;
    if (width <= 0 || height <= 0)
        return 0;
    HDC screen = GetDC(NULL);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi;
    memset(&bi, 0, sizeof bi);
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = height; /* bottom-up, as the file stores it */
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = NULL;
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
    int ok = 0;
    if (dib != NULL) {
        HGDIOBJ old = SelectObject(mem, dib);
        BitBlt(mem, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
        GdiFlush();
        SelectObject(mem, old);
        DWORD stride = ((DWORD)width * 3 + 3) & ~3u;
        DWORD image = stride * (DWORD)height;
        BITMAPFILEHEADER fh;
        memset(&fh, 0, sizeof fh);
        fh.bfType = 0x4D42;
        fh.bfOffBits = sizeof fh + sizeof bi.bmiHeader;
        fh.bfSize = fh.bfOffBits + image;
        bi.bmiHeader.biSizeImage = image;
        FILE* f = fopen(path, "wb");
        if (f != NULL) {
            ok = fwrite(&fh, sizeof fh, 1, f) == 1 && fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f) == 1 &&
                 fwrite(bits, image, 1, f) == 1;
            ok = (fclose(f) == 0) && ok;
        }
        DeleteObject(dib);
    }
    DeleteDC(mem);
    ReleaseDC(NULL, screen);
    return ok;
}

static int find_link(HWND ctl, const char* url, POINT* at);

static BOOL CALLBACK find_edit(HWND hwnd, LPARAM param) {
    char cls[16];
    if (GetClassNameA(hwnd, cls, sizeof cls) && _stricmp(cls, "Edit") == 0) {
        *(HWND*)param = hwnd;
        return FALSE;
    }
    return TRUE;
}

static int run(int argc, char** argv, char* out, size_t size) {
    const char* cmd = argc > 0 ? argv[0] : "";
#define NEED(n)                                                                                              \
    if (argc < (n) + 1)                                                                                      \
    return snprintf(out, size, "err usage"), 0
    out[0] = '\0';
    if (strcmp(cmd, "wait") == 0 || strcmp(cmd, "gone") == 0) {
        NEED(2);
        int want = strcmp(cmd, "wait") == 0;
        DWORD limit = (DWORD)strtoul(argv[2], NULL, 10), start = GetTickCount();
        for (;;) {
            HWND hwnd = find_text(argv[1]);
            if ((hwnd != NULL) == want)
                return snprintf(out, size, "ok %lld", (long long)(INT_PTR)hwnd), 0;
            if (GetTickCount() - start >= limit)
                return snprintf(out, size, "err timeout"), 0;
            Sleep(20);
        }
    }
    if (strcmp(cmd, "frame") == 0) {
        HWND frame = FindWindowA("ZOVInstallerClass", NULL);
        return snprintf(out, size, "ok %lld", (long long)(INT_PTR)frame), 0;
    }
    if (strcmp(cmd, "boxtext") == 0 || strcmp(cmd, "boxclick") == 0) {
        NEED(1);
        HWND box = find_box(argv[1]);
        if (box == NULL)
            return snprintf(out, size, "err nobox"), 0;
        if (strcmp(cmd, "boxtext") == 0) {
            wchar_t text[4096];
            text[0] = 0;
            GetDlgItemTextW(box, 0xFFFF, text, 4096);
            strcpy(out, "ok ");
            put_text(out, size, text);
            return 0;
        }
        NEED(2);
        HWND button = GetDlgItem(box, atoi(argv[2]));
        if (button == NULL)
            return snprintf(out, size, "err nobutton"), 0;
        PostMessageW(button, BM_CLICK, 0, 0);
        return snprintf(out, size, "ok"), 0;
    }
    if (strcmp(cmd, "style") == 0 || strcmp(cmd, "rect") == 0) {
        NEED(1);
        HWND hwnd = find_text(argv[1]);
        if (hwnd == NULL)
            return snprintf(out, size, "err nowindow"), 0;
        if (strcmp(cmd, "style") == 0)
            return snprintf(out, size, "ok %lu", (unsigned long)GetWindowLongW(hwnd, GWL_STYLE)), 0;
        RECT r;
        GetWindowRect(hwnd, &r);
        return snprintf(out, size, "ok %ld %ld %ld %ld", r.left, r.top, r.right, r.bottom), 0;
    }
    if (strcmp(cmd, "post") == 0 || strcmp(cmd, "send") == 0) {
        NEED(4);
        HWND hwnd = find_text(argv[1]);
        if (hwnd == NULL)
            return snprintf(out, size, "err nowindow"), 0;
        UINT msg = (UINT)strtoul(argv[2], NULL, 0);
        WPARAM w = (WPARAM)strtoull(argv[3], NULL, 0);
        LPARAM l = (LPARAM)strtoll(argv[4], NULL, 0);
        if (strcmp(cmd, "post") == 0)
            return snprintf(out, size, PostMessageW(hwnd, msg, w, l) ? "ok" : "err postfailed"), 0;
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutW(hwnd, msg, w, l, SMTO_NORMAL, 10000, &result))
            return snprintf(out, size, "err sendfailed"), 0;
        return snprintf(out, size, "ok %lld", (long long)(INT_PTR)result), 0;
    }
    if (strcmp(cmd, "shot") == 0) {
        NEED(1);
        HWND target = NULL;
        if (argc > 2 && (target = find_text(argv[2])) == NULL)
            return snprintf(out, size, "err nowindow"), 0;
        repaint_setup();
        return snprintf(out, size, save_bmp(argv[1], target) ? "ok" : "err shot"), 0;
    }
    if (strcmp(cmd, "quit") == 0)
        return snprintf(out, size, "ok"), 1;

    /* Everything below works on a dialog. */
    NEED(1);
    HWND dialog = find_text(argv[1]);
    if (dialog == NULL)
        return snprintf(out, size, "err nowindow"), 0;
    if (strcmp(cmd, "focus") == 0) {
        HWND focus = focused_in(dialog);
        int id = (focus != NULL && GetParent(focus) == dialog) ? GetDlgCtrlID(focus) : 0;
        return snprintf(out, size, "ok %d", id), 0;
    }
    if (strcmp(cmd, "key") == 0) {
        NEED(2);
        HWND focus = settled_focus(dialog);
        HWND target = focus != NULL ? focus : dialog;
        WPARAM vk = (WPARAM)strtoul(argv[2], NULL, 0);
        UINT scan = MapVirtualKeyW((UINT)vk, 0);
        PostMessageW(target, WM_KEYDOWN, vk, 1 | (scan << 16));
        PostMessageW(target, WM_KEYUP, vk, 1 | (scan << 16) | (3u << 30));
        /* A person's next key comes after the page has handled this one, and the page may
           post itself a message from the key-up (Tab on the welcome page). Real keys are
           input, which a thread takes only after its posted messages; these keys are posted
           messages themselves, so a following one could overtake what the page posted.
           Return once both are handled: the thread answers a sent message each time it looks
           at its queue, and takes one posted message a look, so the third answer comes after
           the key-up. (Waiting for input idle waits only once in a process's life.) */
        for (int look = 0; look < 3; ++look) {
            DWORD_PTR ignored = 0;
            if (!SendMessageTimeoutW(target, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored))
                break;
        }
        return snprintf(out, size, "ok"), 0;
    }
    NEED(2);
    int id = atoi(argv[2]);
    HWND ctl = control(dialog, id);
    if (ctl == NULL)
        return snprintf(out, size, "err nocontrol"), 0;
    if (strcmp(cmd, "click") == 0)
        return snprintf(out, size, PostMessageW(ctl, BM_CLICK, 0, 0) ? "ok" : "err postfailed"), 0;
    if (strcmp(cmd, "item") == 0) /* the control's own handle, for a window that is no dialog */
        return snprintf(out, size, "ok %lld", (long long)(INT_PTR)ctl), 0;
    if (strcmp(cmd, "command") == 0) {
        BOOL posted = PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)ctl);
        return snprintf(out, size, posted ? "ok" : "err postfailed"), 0;
    }
    if (strcmp(cmd, "text") == 0) {
        static wchar_t text[16384];
        text[0] = 0;
        if (send_w(ctl, WM_GETTEXT, 16384, (LPARAM)text) < 0)
            return snprintf(out, size, "err sendfailed"), 0;
        strcpy(out, "ok ");
        put_text(out, size, text);
        return 0;
    }
    if (strcmp(cmd, "state") == 0) {
        LRESULT check = send_w(ctl, BM_GETCHECK, 0, 0);
        return snprintf(out, size, "ok %d%d%d", IsWindowVisible(ctl) ? 1 : 0, IsWindowEnabled(ctl) ? 1 : 0,
                        check == BST_CHECKED ? 1 : 0),
               0;
    }
    if (strcmp(cmd, "pos") == 0)
        return snprintf(out, size, "ok %lld", (long long)send_w(ctl, PBM_GETPOS, 0, 0)), 0;
    if (strcmp(cmd, "list") == 0) {
        LRESULT count = send_w(ctl, LB_GETCOUNT, 0, 0);
        snprintf(out, size, "ok %lld", (long long)send_w(ctl, LB_GETCURSEL, 0, 0));
        static wchar_t row[4096];
        for (LRESULT i = 0; i < count; ++i) {
            row[0] = 0;
            if (send_w(ctl, LB_GETTEXTLEN, (WPARAM)i, 0) < 4096)
                send_w(ctl, LB_GETTEXT, (WPARAM)i, (LPARAM)row);
            strncat(out, "|", size - strlen(out) - 1);
            put_text(out, size, row);
        }
        return 0;
    }
    if (strcmp(cmd, "settext") == 0) {
        NEED(3);
        HWND target = NULL;
        EnumChildWindows(ctl, find_edit, (LPARAM)&target);
        static wchar_t wide[4096];
        if (!MultiByteToWideChar(CP_UTF8, 0, argv[3], -1, wide, 4096))
            return snprintf(out, size, "err text"), 0;
        return snprintf(out, size,
                        send_w(target != NULL ? target : ctl, WM_SETTEXT, 0, (LPARAM)wide) > 0
                            ? "ok"
                            : "err sendfailed"),
               0;
    }
    if (strcmp(cmd, "lvsel") == 0)
        return snprintf(out, size, "ok %lld %lld",
                        (long long)send_w(ctl, LVM_GETNEXTITEM, (WPARAM)-1, LVNI_SELECTED),
                        (long long)send_w(ctl, LVM_GETITEMCOUNT, 0, 0)),
               0;
    if (strcmp(cmd, "link") == 0) {
        NEED(3);
        POINT at;
        if (!find_link(ctl, argv[3], &at))
            return snprintf(out, size, "err nolink"), 0;
        PostMessageW(ctl, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
        PostMessageW(ctl, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
        return snprintf(out, size, "ok"), 0;
    }
    if (strcmp(cmd, "select") == 0) {
        NEED(3);
        send_w(ctl, LB_SETCURSEL, (WPARAM)atoi(argv[3]), 0);
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), (LPARAM)ctl);
        return snprintf(out, size, "ok"), 0;
    }
    return snprintf(out, size, "err unknown"), 0;
#undef NEED
}

/* Where on a link control the link with the address lies: its hit test asked at every third
 * pixel, through a buffer in the control's process. */
static int find_link(HWND ctl, const char* url, POINT* at) {
    DWORD pid = 0;
    GetWindowThreadProcessId(ctl, &pid);
    HANDLE proc = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (proc == NULL)
        return 0;
    LHITTESTINFO* remote = VirtualAllocEx(proc, NULL, sizeof(LHITTESTINFO), MEM_COMMIT, PAGE_READWRITE);
    wchar_t want[L_MAX_URL_LENGTH];
    MultiByteToWideChar(CP_UTF8, 0, url, -1, want, L_MAX_URL_LENGTH);
    RECT rc;
    GetClientRect(ctl, &rc);
    int found = 0;
    for (int y = 1; remote != NULL && !found && y < rc.bottom; y += 3)
        for (int x = 1; !found && x < rc.right; x += 3) {
            LHITTESTINFO info;
            memset(&info, 0, sizeof info);
            info.pt.x = x;
            info.pt.y = y;
            DWORD_PTR hit = 0;
            if (!WriteProcessMemory(proc, remote, &info, sizeof info, NULL) ||
                !SendMessageTimeoutW(ctl, LM_HITTEST, 0, (LPARAM)remote, SMTO_NORMAL, 5000, &hit) || !hit ||
                !ReadProcessMemory(proc, remote, &info, sizeof info, NULL))
                continue;
            if (wcscmp(info.item.szUrl, want) == 0) {
                at->x = x;
                at->y = y;
                found = 1;
            }
        }
    if (remote != NULL)
        VirtualFreeEx(proc, remote, 0, MEM_RELEASE);
    CloseHandle(proc);
    return found;
}

/* Splits a command line at blanks; a "quoted text" is one word. */
static int split(char* line, char** argv, int max) {
    int argc = 0;
    char* p = line;
    while (*p && argc < max) {
        while (*p == ' ' || *p == '\t')
            ++p;
        if (!*p)
            break;
        if (*p == '"') {
            argv[argc++] = ++p;
            while (*p && *p != '"')
                ++p;
        } else {
            argv[argc++] = p;
            while (*p && *p != ' ' && *p != '\t')
                ++p;
        }
        if (*p)
            *p++ = '\0';
    }
    return argc;
}

static int serve(const char* port_file) {
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0)
        return 3;
    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    struct sockaddr_in addr;
    memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int len = sizeof addr;
    if (listener == INVALID_SOCKET || bind(listener, (struct sockaddr*)&addr, sizeof addr) != 0 ||
        listen(listener, 1) != 0 || getsockname(listener, (struct sockaddr*)&addr, &len) != 0)
        return 3;
    char part[MAX_PATH + 8];
    snprintf(part, sizeof part, "%s.part", port_file);
    FILE* f = fopen(part, "w");
    if (f == NULL)
        return 3;
    fprintf(f, "%d\n", ntohs(addr.sin_port));
    fclose(f);
    MoveFileExA(part, port_file, MOVEFILE_REPLACE_EXISTING);
    SOCKET peer = accept(listener, NULL, NULL);
    closesocket(listener);
    if (peer == INVALID_SOCKET)
        return 3;
    static char buffer[8192];
    static char answer[ANSWER_SIZE];
    size_t used = 0;
    int done = 0;
    while (!done) {
        int got = recv(peer, buffer + used, (int)(sizeof buffer - 1 - used), 0);
        if (got <= 0)
            break;
        used += (size_t)got;
        buffer[used] = '\0';
        char* end;
        while (!done && (end = strchr(buffer, '\n')) != NULL) {
            *end = '\0';
            if (end > buffer && end[-1] == '\r')
                end[-1] = '\0';
            char* argv[16];
            int argc = split(buffer, argv, 16);
            done = run(argc, argv, answer, sizeof answer - 2);
            strcat(answer, "\n");
            send(peer, answer, (int)strlen(answer), 0);
            size_t rest = used - (size_t)(end + 1 - buffer);
            memmove(buffer, end + 1, rest + 1);
            used = rest;
        }
        if (used == sizeof buffer - 1)
            used = 0; /* an over-long line is dropped */
    }
    closesocket(peer);
    WSACleanup();
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 3 && strcmp(argv[1], "-serve") == 0)
        return serve(argv[2]);
    if (argc >= 4 && strcmp(argv[1], "-out") == 0) {
        static char answer[ANSWER_SIZE];
        run(argc - 3, argv + 3, answer, sizeof answer);
        FILE* f = fopen(argv[2], "wb");
        if (f == NULL)
            return 2;
        fprintf(f, "%s\n", answer);
        fclose(f);
        return 0;
    }
    fprintf(stderr, "usage: uidriver -serve PORTFILE | uidriver -out FILE COMMAND...\n");
    return 2;
}
