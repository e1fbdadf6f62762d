/* wmsend: finds a top-level window by class and/or title and sends or posts it one message.
 *
 *   wmsend [-class C] [-title T] [-wait MS] [-child ID] [-post] [-timeout MS] [-out FILE]
 *          [MSG WPARAM LPARAM]
 *
 * -wait polls for the window for up to MS milliseconds (for a window that is about to appear).
 * -child sends to the dialog control ID of the window found (for example BM_CLICK = 245 on
 * a message box button). Without MSG it only reports the window. Sends go through
 * SendMessageTimeout (default 10 s) so that a hung receiver cannot hang the test.
 * Prints "hwnd=<decimal> result=<decimal>" (to -out FILE when given: Wine programs' standard
 * output is unreliable to read through a pipe).
 * Exit codes: 0 done, 1 window not found, 2 bad use, 3 send or post failed or timed out.
 */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int usage(void) {
    fprintf(stderr, "usage: wmsend [-class C] [-title T] [-wait MS] [-child ID] [-post] [-timeout MS] "
                    "[-out FILE] [MSG WPARAM LPARAM]\n");
    return 2;
}

static void report(const char* out, HWND hwnd, long long result, const char* note) {
    FILE* f = stdout;
    if (out != NULL) {
        f = fopen(out, "w");
        if (f == NULL)
            return;
    }
    fprintf(f, "hwnd=%lld result=%lld%s%s\n", (long long)(INT_PTR)hwnd, result, note[0] ? " " : "", note);
    if (f != stdout)
        fclose(f);
    else
        fflush(f);
}

int main(int argc, char** argv) {
    const char* cls = NULL;
    const char* title = NULL;
    const char* out = NULL;
    DWORD wait_ms = 0, timeout_ms = 10000;
    int child = -1, post = 0;
    const char* positional[3];
    int npos = 0;

    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        int has_value = i + 1 < argc;
        if (strcmp(a, "-class") == 0 && has_value)
            cls = argv[++i];
        else if (strcmp(a, "-title") == 0 && has_value)
            title = argv[++i];
        else if (strcmp(a, "-wait") == 0 && has_value)
            wait_ms = (DWORD)strtoul(argv[++i], NULL, 10);
        else if (strcmp(a, "-timeout") == 0 && has_value)
            timeout_ms = (DWORD)strtoul(argv[++i], NULL, 10);
        else if (strcmp(a, "-child") == 0 && has_value)
            child = (int)strtol(argv[++i], NULL, 0);
        else if (strcmp(a, "-out") == 0 && has_value)
            out = argv[++i];
        else if (strcmp(a, "-post") == 0)
            post = 1;
        else if (npos < 3)
            positional[npos++] = a;
        else
            return usage();
    }
    if ((cls == NULL && title == NULL) || (npos != 0 && npos != 3))
        return usage();

    HWND hwnd = NULL;
    DWORD start = GetTickCount();
    for (;;) {
        hwnd = FindWindowA(cls, title);
        if (hwnd != NULL && child >= 0) {
            HWND item = GetDlgItem(hwnd, child);
            hwnd = item;
        }
        if (hwnd != NULL || GetTickCount() - start >= wait_ms)
            break;
        Sleep(10);
    }
    if (hwnd == NULL) {
        report(out, NULL, 0, "notfound");
        return 1;
    }
    if (npos == 0) {
        report(out, hwnd, 0, "");
        return 0;
    }

    UINT msg = (UINT)strtoul(positional[0], NULL, 0);
    WPARAM wp = (WPARAM)strtoull(positional[1], NULL, 0);
    LPARAM lp = (LPARAM)strtoll(positional[2], NULL, 0);
    if (post) {
        if (!PostMessageA(hwnd, msg, wp, lp)) {
            report(out, hwnd, 0, "postfailed");
            return 3;
        }
        report(out, hwnd, 1, "posted");
        return 0;
    }
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(hwnd, msg, wp, lp, SMTO_NORMAL, timeout_ms, &result)) {
        report(out, hwnd, 0, "sendfailed");
        return 3;
    }
    report(out, hwnd, (long long)(INT_PTR)result, "");
    return 0;
}
