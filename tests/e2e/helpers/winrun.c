/* winrun: runs one Windows command line exactly as given and records its full exit code.
 *
 * A Unix parent cannot do either: Wine re-quotes a Unix argv, and a Unix wait status keeps
 * only the low 8 bits of the code (1602 would read as 66). Everything is passed through the
 * environment so that no quoting stands between the test and the child:
 *   ZOVRUN_CMDLINE   the command line, passed to CreateProcessA unchanged (required)
 *   ZOVRUN_CWD       current folder of the child (optional)
 *   ZOVRUN_EXITFILE  file that receives the exit code in decimal, or "timeout" (optional)
 *   ZOVRUN_TIMEOUT   milliseconds to wait before the child is terminated (optional)
 *   ZOVRUN_ENV_<N>   set as variable <N> in the child (TEMP and TMP cannot be set from Unix)
 * winrun's own exit code: 0 the child ran (whatever it returned), 2 bad use, 3 the child could
 * not be started, 4 timed out.
 */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static void write_result(const char* text) {
    const char* path = getenv("ZOVRUN_EXITFILE");
    if (path == NULL || path[0] == '\0') {
        printf("%s\n", text);
        return;
    }
    /* Written to a side file and renamed, so that a reader never sees half a number. */
    char part[MAX_PATH + 8];
    snprintf(part, sizeof part, "%s.part", path);
    FILE* f = fopen(part, "w");
    if (f == NULL)
        return;
    fprintf(f, "%s\n", text);
    fclose(f);
    MoveFileExA(part, path, MOVEFILE_REPLACE_EXISTING);
}

/* Copies every ZOVRUN_ENV_<NAME>=value of our own environment into the child's as NAME. */
static void apply_child_environment(void) {
    static const char prefix[] = "ZOVRUN_ENV_";
    const size_t prefix_len = sizeof prefix - 1;
    LPCH block = GetEnvironmentStringsA();
    if (block == NULL)
        return;
    for (const char* entry = block; *entry != '\0'; entry += strlen(entry) + 1) {
        if (_strnicmp(entry, prefix, prefix_len) != 0)
            continue;
        const char* name = entry + prefix_len;
        const char* eq = strchr(name, '=');
        if (eq == NULL || eq == name)
            continue;
        char key[256];
        size_t len = (size_t)(eq - name);
        if (len >= sizeof key)
            continue;
        memcpy(key, name, len);
        key[len] = '\0';
        SetEnvironmentVariableA(key, eq + 1);
    }
    FreeEnvironmentStringsA(block);
}

int main(void) {
    const char* given = getenv("ZOVRUN_CMDLINE");
    if (given == NULL || given[0] == '\0') {
        fprintf(stderr, "winrun: ZOVRUN_CMDLINE is not set\n");
        return 2;
    }
    /* CreateProcessA may write into the command line: give it a private copy. */
    size_t len = strlen(given);
    char* cmdline = malloc(len + 1);
    if (cmdline == NULL)
        return 2;
    memcpy(cmdline, given, len + 1);

    const char* cwd = getenv("ZOVRUN_CWD");
    if (cwd != NULL && cwd[0] == '\0')
        cwd = NULL;
    DWORD timeout = INFINITE;
    const char* timeout_text = getenv("ZOVRUN_TIMEOUT");
    if (timeout_text != NULL && timeout_text[0] != '\0')
        timeout = (DWORD)strtoul(timeout_text, NULL, 10);

    apply_child_environment();

    STARTUPINFOA si;
    PROCESS_INFORMATION pi;
    ZeroMemory(&si, sizeof si);
    si.cb = sizeof si;
    ZeroMemory(&pi, sizeof pi);
    if (!CreateProcessA(NULL, cmdline, NULL, NULL, FALSE, 0, NULL, cwd, &si, &pi)) {
        char text[64];
        snprintf(text, sizeof text, "notstarted %lu", (unsigned long)GetLastError());
        write_result(text);
        free(cmdline);
        return 3;
    }
    free(cmdline);
    CloseHandle(pi.hThread);

    int rc = 0;
    if (WaitForSingleObject(pi.hProcess, timeout) == WAIT_TIMEOUT) {
        TerminateProcess(pi.hProcess, 0xDEAD);
        WaitForSingleObject(pi.hProcess, 5000);
        write_result("timeout");
        rc = 4;
    } else {
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        char text[32];
        snprintf(text, sizeof text, "%lu", (unsigned long)code);
        write_result(text);
    }
    CloseHandle(pi.hProcess);
    return rc;
}
