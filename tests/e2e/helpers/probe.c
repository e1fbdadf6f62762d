/* probe: asks what a test cannot ask from the Unix side.
 *
 *   probe -out FILE pipe NAME COMMAND [-size N] [-hangup]
 *       Connects to the named pipe, sends one request (the command as 4 bytes little-endian,
 *       a 4-byte length 0, padded with zero bytes to N bytes when -size is given) and reads one
 *       reply of at most 4096 bytes. With -hangup it sends only the first 3 bytes and closes
 *       the connection without reading. Writes "ok=1 bytes=<n> hex=<reply in hex>", or
 *       "ok=0 step=<what failed> error=<code>".
 *   probe -out FILE flood NAME COUNT
 *       Connects COUNT hostile peers (each waits at most 200 ms for an instance) that send
 *       requests until the pipe takes no more and never read a reply. Waits up to 20 s for
 *       the server to let go of each of them (its write that was left waiting ends), then,
 *       with all of them still open, asks command 3 as a well-behaved peer (waiting up to
 *       20 s for an instance). Writes "peers=<connected> waiting=<left waiting> cut=<let go> "
 *       and that answer as "pipe" writes it.
 *   probe -out FILE mutex NAME
 *       Writes "exists=1" when OpenMutexA opens the mutex, else "exists=0 error=<code>".
 *   probe -out FILE boxtext TITLE
 *       Finds a message box ("#32770") with the caption and writes its text to FILE
 *       ("found=0" when there is none).
 *
 * Waits are bounded (5 s for the pipe), so a hung server fails the probe rather than the
 * test. Exit code 0 when the probe ran, 2 on bad use.
 */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static FILE* open_out(const char* path) {
    FILE* f = path ? fopen(path, "wb") : stdout;
    return f ? f : stdout;
}

static int probe_pipe(FILE* out, const char* name, unsigned command, unsigned size, int hangup,
                      DWORD wait_ms) {
    unsigned char request[8192];
    DWORD written = 0, read = 0;
    unsigned char reply[4096];
    HANDLE pipe;
    OVERLAPPED ov;
    HANDLE event;
    if (size < 8)
        size = 8;
    if (size > sizeof request)
        size = sizeof request;
    memset(request, 0, sizeof request);
    request[0] = (unsigned char)(command & 0xFF);
    request[1] = (unsigned char)((command >> 8) & 0xFF);
    request[2] = (unsigned char)((command >> 16) & 0xFF);
    request[3] = (unsigned char)((command >> 24) & 0xFF);
    if (!WaitNamedPipeA(name, wait_ms)) {
        fprintf(out, "ok=0 step=wait error=%lu\n", GetLastError());
        return 0;
    }
    pipe =
        CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, NULL);
    if (pipe == INVALID_HANDLE_VALUE) {
        fprintf(out, "ok=0 step=open error=%lu\n", GetLastError());
        return 0;
    }
    event = CreateEventA(NULL, TRUE, FALSE, NULL);
    memset(&ov, 0, sizeof ov);
    ov.hEvent = event;
    if (!WriteFile(pipe, request, hangup ? 3 : size, NULL, &ov) && GetLastError() != ERROR_IO_PENDING) {
        fprintf(out, "ok=0 step=write error=%lu\n", GetLastError());
        CloseHandle(pipe);
        return 0;
    }
    if (WaitForSingleObject(event, 5000) != WAIT_OBJECT_0 ||
        !GetOverlappedResult(pipe, &ov, &written, FALSE)) {
        fprintf(out, "ok=0 step=write error=%lu\n", GetLastError());
        CancelIo(pipe);
        CloseHandle(pipe);
        return 0;
    }
    if (hangup) {
        CloseHandle(pipe);
        fprintf(out, "ok=1 bytes=0 hex=\n");
        return 0;
    }
    ResetEvent(event);
    memset(&ov, 0, sizeof ov);
    ov.hEvent = event;
    if (!ReadFile(pipe, reply, sizeof reply, NULL, &ov) && GetLastError() != ERROR_IO_PENDING &&
        GetLastError() != ERROR_MORE_DATA) {
        fprintf(out, "ok=0 step=read error=%lu\n", GetLastError());
        CloseHandle(pipe);
        return 0;
    }
    if (WaitForSingleObject(event, 5000) != WAIT_OBJECT_0) {
        fprintf(out, "ok=0 step=read error=timeout\n");
        CancelIo(pipe);
        CloseHandle(pipe);
        return 0;
    }
    if (!GetOverlappedResult(pipe, &ov, &read, FALSE) && GetLastError() != ERROR_MORE_DATA) {
        fprintf(out, "ok=0 step=read error=%lu\n", GetLastError());
        CloseHandle(pipe);
        return 0;
    }
    fprintf(out, "ok=1 bytes=%lu hex=", read);
    for (DWORD i = 0; i < read; ++i)
        fprintf(out, "%02x", reply[i]);
    fprintf(out, "\n");
    CloseHandle(pipe);
    CloseHandle(event);
    return 0;
}

static int probe_flood(FILE* out, const char* name, unsigned count) {
    static const unsigned char request[8] = {3, 0, 0, 0, 0, 0, 0, 0};
    HANDLE* peers = (HANDLE*)calloc(count, sizeof(HANDLE));
    OVERLAPPED* pending = (OVERLAPPED*)calloc(count, sizeof(OVERLAPPED));
    char* waiting = (char*)calloc(count, 1);
    unsigned connected = 0, cut = 0, left = 0;
    DWORD started;
    if (peers == NULL || pending == NULL || waiting == NULL)
        return 2;
    for (unsigned i = 0; i < count; ++i) {
        HANDLE pipe;
        if (!WaitNamedPipeA(name, 200))
            continue;
        pipe = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, FILE_FLAG_OVERLAPPED,
                           NULL);
        if (pipe == INVALID_HANDLE_VALUE)
            continue;
        peers[i] = pipe;
        ++connected;
        /* Requests until one is left waiting (the server stopped taking them in); no reads. */
        for (int k = 0; k < 256; ++k) {
            memset(&pending[i], 0, sizeof pending[i]);
            if (!WriteFile(pipe, request, sizeof request, NULL, &pending[i])) {
                waiting[i] = GetLastError() == ERROR_IO_PENDING;
                left += waiting[i];
                break;
            }
        }
    }
    /* A server that lets go of a peer ends the write it left waiting. */
    started = GetTickCount();
    while (cut < left && GetTickCount() - started < 20000) {
        Sleep(100);
        for (unsigned i = 0; i < count; ++i) {
            if (waiting[i] && HasOverlappedIoCompleted(&pending[i])) {
                waiting[i] = 0;
                ++cut;
            }
        }
    }
    fprintf(out, "peers=%u waiting=%u cut=%u ", connected, left, cut);
    probe_pipe(out, name, 3, 8, 0, 20000);
    for (unsigned i = 0; i < count; ++i)
        if (peers[i] != NULL)
            CloseHandle(peers[i]);
    return 0;
}

static int probe_mutex(FILE* out, const char* name) {
    HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, name);
    if (mutex == NULL) {
        fprintf(out, "exists=0 error=%lu\n", GetLastError());
        return 0;
    }
    CloseHandle(mutex);
    fprintf(out, "exists=1\n");
    return 0;
}

static int probe_boxtext(FILE* out, const char* title) {
    char text[4096];
    HWND box = FindWindowA("#32770", title);
    if (box == NULL) {
        fprintf(out, "found=0\n");
        return 0;
    }
    text[0] = '\0';
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    fprintf(out, "%s", text);
    return 0;
}

int main(int argc, char** argv) {
    const char* out_path = NULL;
    int i = 1;
    FILE* out;
    int status = 2;
    if (argc > 2 && strcmp(argv[1], "-out") == 0) {
        out_path = argv[2];
        i = 3;
    }
    if (i >= argc)
        return 2;
    out = open_out(out_path);
    if (strcmp(argv[i], "pipe") == 0 && i + 2 < argc) {
        unsigned size = 8;
        int hangup = 0;
        for (int k = i + 3; k < argc; ++k) {
            if (strcmp(argv[k], "-size") == 0 && k + 1 < argc)
                size = (unsigned)strtoul(argv[++k], NULL, 10);
            else if (strcmp(argv[k], "-hangup") == 0)
                hangup = 1;
        }
        status = probe_pipe(out, argv[i + 1], (unsigned)strtoul(argv[i + 2], NULL, 10), size, hangup, 5000);
    } else if (strcmp(argv[i], "flood") == 0 && i + 2 < argc) {
        status = probe_flood(out, argv[i + 1], (unsigned)strtoul(argv[i + 2], NULL, 10));
    } else if (strcmp(argv[i], "mutex") == 0 && i + 1 < argc) {
        status = probe_mutex(out, argv[i + 1]);
    } else if (strcmp(argv[i], "boxtext") == 0 && i + 1 < argc) {
        status = probe_boxtext(out, argv[i + 1]);
    }
    if (out != stdout)
        fclose(out);
    return status;
}
