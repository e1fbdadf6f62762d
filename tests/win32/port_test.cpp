// Checks the Win32 ports against the real API, under Wine or on Windows. Prints its
// results; tools/testkit/run_wine_tests.sh runs it with its output sent to a file.
//   port_test.exe [<folder>] [<names of the groups to run>]
#include "platform/win32/win32_machine.h"
#include "platform/win32/win32_util.h"
#include "res/resource.h"
#include "res/strings.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace zov;

static FILE* out;
static int passed = 0, failed = 0;

#define CHECK(cond)                                                                                          \
    do {                                                                                                     \
        if (cond) {                                                                                          \
            ++passed;                                                                                        \
        } else {                                                                                             \
            ++failed;                                                                                        \
            std::fprintf(out, "FAIL %s:%d: %s\n", __FILE__, __LINE__, #cond);                                \
            std::fflush(out);                                                                                \
        }                                                                                                    \
    } while (0)
#define CHECK_EQ(a, b)                                                                                       \
    do {                                                                                                     \
        auto va = (a);                                                                                       \
        auto vb = (b);                                                                                       \
        if (va == vb) {                                                                                      \
            ++passed;                                                                                        \
        } else {                                                                                             \
            ++failed;                                                                                        \
            std::fprintf(out, "FAIL %s:%d: %s == %s\n", __FILE__, __LINE__, #a, #b);                         \
            std::fflush(out);                                                                                \
        }                                                                                                    \
    } while (0)

static void note(const std::string& s) {
    std::fprintf(out, "%s\n", s.c_str());
    std::fflush(out);
}

struct Entry {
    unsigned id;
    const char* text;
};
static const Entry kTable[] = {
#define ZOV_STRING(id, text) {id, text},
#include "res/string_table.inc"
#undef ZOV_STRING
};

static void testStrings(Machine& m) {
    int mismatches = 0;
    for (const Entry& e : kTable) {
        std::string got = m.strings.get(e.id);
        if (got != e.text) {
            ++mismatches;
            note("string mismatch " + std::to_string(e.id) + ": [" + got + "]");
        }
    }
    CHECK_EQ(mismatches, 0);
    CHECK(m.strings.get(1358).empty());
    CHECK(m.strings.get(3).empty());
    CHECK(m.strings.get(70000).empty());
    note("strings checked: " + std::to_string(sizeof kTable / sizeof kTable[0]));
}

static std::string tempDir(Machine& m) {
    std::string dir = m.system.tempPath() + "zovport\\";
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

static void testProfile(Machine& m) {
    std::string dir = tempDir(m);
    std::string ini = dir + "t.ini";
    DeleteFileA(ini.c_str());
    CHECK(m.profile.writeString(ini, "enter", "MAINDIR", "C:\\Program Files\\ZOV 9.0"));
    CHECK(m.profile.writeString(ini, "exit", "rc", "0"));
    CHECK(m.profile.writeString(ini, "enter", "LOWRAM", "F"));
    CHECK_EQ(m.profile.readString(ini, "ENTER", "maindir", "x", 260),
             std::string("C:\\Program Files\\ZOV 9.0"));
    CHECK_EQ(m.profile.readString(ini, "enter", "MAINDIR", "x", 5), std::string("C:\\P"));
    CHECK_EQ(m.profile.readString(ini, "enter", "none", "dflt", 260), std::string("dflt"));
    CHECK_EQ(m.profile.readString(ini, "enter", "MAINDIR", "x", 0), std::string());
    auto names = m.profile.sectionNames(ini, 1024);
    CHECK_EQ(names.size(), 2u);
    if (names.size() == 2) {
        CHECK_EQ(names[0], std::string("enter"));
        CHECK_EQ(names[1], std::string("exit"));
    }
    auto cut = m.profile.sectionNames(ini, 8);
    note("sectionNames(8) gives " + std::to_string(cut.size()) + (cut.empty() ? "" : " first=" + cut[0]));
    CHECK(!cut.empty() && cut[0] == "enter");
    CHECK(m.profile.deleteKey(ini, "enter", "LOWRAM"));
    CHECK_EQ(m.profile.readString(ini, "enter", "LOWRAM", "gone", 260), std::string("gone"));
    CHECK(m.profile.deleteSection(ini, "exit"));
    m.profile.flush();
    CHECK_EQ(m.profile.sectionNames(ini, 1024).size(), 1u);
    CHECK(m.profile.sectionNames(dir + "missing.ini", 1024).empty());
}

static void testFiles(Machine& m) {
    std::string dir = tempDir(m);
    std::string a = dir + "a.bin";
    {
        auto f = m.files.create(a);
        CHECK(f != nullptr);
        if (f) {
            std::vector<char> data(3000, 'x');
            CHECK_EQ(f->write(data.data(), data.size()), 3000u);
            f->close();
            f->close();
            CHECK_EQ(f->write(data.data(), 1), 0u); // closed
        }
    }
    CHECK(m.files.exists(a));
    CHECK(!m.files.isDirectory(a));
    CHECK(m.files.isDirectory(dir));
    CHECK(m.files.exists(dir));
    CHECK(m.files.create(dir + "nofolder\\x.bin") == nullptr);
    CHECK(m.files.copyFile(a, dir + "b.bin"));
    CHECK(m.files.copyFile(a, dir + "b.bin")); // overwrites
    CHECK(!m.files.copyFile(dir + "missing", dir + "c.bin"));
    SetFileAttributesA(a.c_str(), FILE_ATTRIBUTE_READONLY);
    CHECK(m.files.setHidden(a));
    DWORD attr = GetFileAttributesA(a.c_str());
    CHECK((attr & FILE_ATTRIBUTE_HIDDEN) && (attr & FILE_ATTRIBUTE_READONLY));
    SetFileAttributesA(a.c_str(), FILE_ATTRIBUTE_NORMAL);
    CHECK(!m.files.setHidden(dir + "missing"));
    std::string u = m.files.uniqueFile(dir, "TMP");
    note("uniqueFile: " + u);
    CHECK(!u.empty() && m.files.exists(u));
    CHECK(m.files.uniqueFile(dir + "nofolder\\", "TMP").empty());
    CreateDirectoryA((dir + "sub.bin").c_str(), nullptr);
    auto found = m.files.find(dir + "*.bin");
    CHECK_EQ(found.size(), 2u);
    for (auto& p : found)
        note("found " + p);
    CHECK(!found.empty() && found[0].rfind(dir, 0) == 0);
    CHECK(m.files.find(dir + "*.none").empty());
    CHECK(m.files.removeFile(dir + "b.bin"));
    CHECK(!m.files.removeFile(dir + "b.bin"));
    m.files.removeFile(u);
    m.files.removeFile(a);
    RemoveDirectoryA((dir + "sub.bin").c_str());
}

static void testSystem(Machine& m) {
    std::string t = m.system.tempPath();
    CHECK(!t.empty() && t.back() == '\\');
    std::string w = m.system.windowsDirectory();
    note("temp=" + t + " windows=" + w + " system=" + m.system.systemDirectory() +
         " module=" + m.system.modulePath());
    CHECK(!w.empty() && w.back() != '\\');
    CHECK(m.system.modulePath().find("port_test.exe") != std::string::npos);
    OsVersion v = m.system.osVersion();
    note("os " + std::to_string(v.major) + "." + std::to_string(v.minor) + " build " +
         std::to_string(v.build) + " platform " + std::to_string(v.platform) + " sp [" + v.servicePack + "]");
    CHECK_EQ(v.platform, 2u);
    CHECK(m.system.processorCount() >= 1);
    CHECK(m.system.physicalMemoryBytes() > (64ull << 20));
    std::uint32_t arch = 0, level = 0, rev = 0;
    m.system.processorIdentity(arch, level, rev);
    note("cpu arch " + std::to_string(arch) + " level " + std::to_string(level));
    DWORD t0 = GetTickCount();
    std::uint32_t mhz = m.system.measureCpuMhz();
    DWORD took = GetTickCount() - t0;
    note("cpu mhz " + std::to_string(mhz) + " in " + std::to_string(took) + " ms");
    CHECK(mhz > 100 && mhz < 10000);
    CHECK(took >= 950 && took < 2000);
    CHECK(!m.system.isWow64());
    (void)m.system.screenReaderRunning();
    CHECK_EQ(m.system.driveType("C:\\"), 3u);
    SetLastError(5);
    CHECK_EQ(m.system.lastError(), 5u);
    std::string text = m.system.errorText(2);
    note("errorText(2)=[" + text + "]");
    CHECK(!text.empty() && text.back() == '\n');
    CHECK(m.system.errorText(0x7FFFFFF0).empty());
}

static void testRegistry(Machine& m) {
    const char* key = "Software\\ZovPortTest";
    HKEY k;
    RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
    RegSetValueExA(k, "sz", 0, REG_SZ, reinterpret_cast<const BYTE*>("hello"), 6);
    // Ten characters stored without their NUL.
    RegSetValueExA(k, "raw", 0, REG_SZ, reinterpret_cast<const BYTE*>("0123456789"), 10);
    DWORD d = 0x12345678;
    RegSetValueExA(k, "dw", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&d), 4);
    HKEY s;
    RegCreateKeyExA(k, "sub1", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &s, nullptr);
    RegCloseKey(s);
    RegCreateKeyExA(k, "sub2", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &s, nullptr);
    RegCloseKey(s);
    RegCloseKey(k);

    CHECK(m.registry.keyExists(RegRoot::CurrentUser, key));
    CHECK(!m.registry.keyExists(RegRoot::CurrentUser, "Software\\ZovPortTestNone"));
    CHECK(m.registry.readString(RegRoot::CurrentUser, key, "sz", 260) == std::optional<std::string>("hello"));
    CHECK(m.registry.readString(RegRoot::CurrentUser, key, "raw", 260) ==
          std::optional<std::string>("0123456789"));
    auto exact = m.registry.readString(RegRoot::CurrentUser, key, "raw", 10);
    note("raw in 10 bytes: " + (exact ? "[" + *exact + "]" : std::string("none")));
    CHECK(!exact.has_value()); // no room for the terminator: does not fit
    CHECK(m.registry.readString(RegRoot::CurrentUser, key, "raw", 11) ==
          std::optional<std::string>("0123456789"));
    CHECK(!m.registry.readString(RegRoot::CurrentUser, key, "raw", 5).has_value()); // does not fit
    CHECK(!m.registry.readString(RegRoot::CurrentUser, key, "nope", 260).has_value());
    CHECK(!m.registry.readString(RegRoot::CurrentUser, key, "sz", 0).has_value());
    CHECK(m.registry.readDword(RegRoot::CurrentUser, key, "dw") == std::optional<std::uint32_t>(0x12345678));
    CHECK(!m.registry.readDword(RegRoot::CurrentUser, key, "sz").has_value());
    auto subs = m.registry.subKeys(RegRoot::CurrentUser, key);
    CHECK(subs.has_value() && subs->size() == 2 && (*subs)[0] == "sub1" && (*subs)[1] == "sub2");
    CHECK(!m.registry.subKeys(RegRoot::CurrentUser, "Software\\ZovPortTestNone").has_value());
    CHECK(m.registry.deleteValue(RegRoot::CurrentUser, key, "sz"));
    CHECK(!m.registry.deleteValue(RegRoot::CurrentUser, key, "sz"));
    CHECK(m.registry.keyExists(RegRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion"));
    auto pf = m.registry.readString(RegRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion",
                                    "ProgramFilesDir", 260);
    note("ProgramFilesDir=" + pf.value_or("none"));
    RegDeleteTreeA(HKEY_CURRENT_USER, key);
}

static void testClock(Machine& m) {
    CalendarTime u = m.clock.utcNow();
    CalendarTime l = m.clock.localNow();
    CHECK(u.year >= 2024 && u.month >= 1 && u.month <= 12 && u.weekday <= 6);
    CHECK(l.milliseconds < 1000);
    CHECK(m.clock.unixSeconds() > 1700000000ull);
    std::uint32_t t0 = m.clock.tickCount();
    m.clock.sleep(120);
    CHECK(m.clock.tickCount() - t0 >= 100);
}

static int dispatched = 0;
static LRESULT CALLBACK testProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_USER + 1) {
        ++dispatched;
        return 42 + static_cast<LRESULT>(w);
    }
    return DefWindowProcA(h, msg, w, l);
}

// Presses a button of the first message box titled caption that shows up.
static void pressLater(const char* caption, WPARAM command) {
    HANDLE presser = win32::startWorker([caption, command] {
        for (int i = 0; i < 100; ++i) {
            HWND box = FindWindowA("#32770", caption);
            if (box) {
                PostMessageA(box, WM_COMMAND, command, 0);
                return;
            }
            Sleep(50);
        }
    });
    if (presser != nullptr)
        CloseHandle(presser);
}

static void testWindows(win32::Win32Machine& wm, Machine& m) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = testProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "ZovPortTestClass";
    RegisterClassA(&wc);
    HWND h = CreateWindowA("ZovPortTestClass", "Zov Port Test", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                           nullptr, wc.hInstance, nullptr);
    CHECK(h != nullptr);
    std::string cls = "ZovPortTestClass", title = "Zov Port Test";
    CHECK_EQ(m.windows.findWindow(&cls, nullptr), reinterpret_cast<WindowHandle>(h));
    CHECK_EQ(m.windows.findWindow(nullptr, &title), reinterpret_cast<WindowHandle>(h));
    std::string other = "nothing";
    CHECK_EQ(m.windows.findWindow(&other, nullptr), 0);
    CHECK(m.windows.windowExists(reinterpret_cast<WindowHandle>(h)));
    CHECK(!m.windows.windowExists(0));
    CHECK_EQ(m.windows.sendMessage(reinterpret_cast<WindowHandle>(h), WM_USER + 1, 1, 0), 43);
    CHECK(m.windows.postMessage(reinterpret_cast<WindowHandle>(h), WM_USER + 1, 0, 0));
    CHECK(m.windows.postMessage(reinterpret_cast<WindowHandle>(h), WM_USER + 1, 0, 0));
    dispatched = 0;
    m.windows.pumpMessages();
    CHECK_EQ(dispatched, 2);

    // A modeless dialog registered for the filter; it removes itself while a message of
    // its own is being handled.
    wm.setOwner(h);
    pressLater("Box Yes", IDYES);
    CHECK(m.windows.messageBox(BoxKind::Question, "Question?", "Box Yes") == BoxAnswer::Yes);
    pressLater("Box No", IDNO);
    CHECK(m.windows.messageBox(BoxKind::Question, "Question?", "Box No") == BoxAnswer::No);
    pressLater("Box Retry", IDRETRY);
    CHECK(m.windows.messageBox(BoxKind::Error, "Error", "Box Retry") == BoxAnswer::Retry);
    pressLater("Box Cancel", IDCANCEL);
    CHECK(m.windows.messageBox(BoxKind::Warning, "Warning", "Box Cancel") == BoxAnswer::Cancel);
    pressLater("Box Ok", IDOK);
    CHECK(m.windows.messageBox(BoxKind::Warning, "Warning", "Box Ok") == BoxAnswer::Ok);
    DestroyWindow(h);
    pressLater("Box Orphan", IDOK);
    CHECK(m.windows.messageBox(BoxKind::Notice, "Owner gone", "Box Orphan") == BoxAnswer::Ok);
    wm.setOwner(nullptr);
}

static void testDialogs(win32::Win32Machine& wm, Machine& m) {
    // A dialog that unregisters and destroys itself from inside IsDialogMessage.
    HWND dlg =
        CreateWindowExA(0, "#32770", "modeless", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
    HWND dlg2 =
        CreateWindowExA(0, "#32770", "modeless2", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
    CHECK(dlg != nullptr && dlg2 != nullptr);
    wm.addDialog(dlg);
    wm.addDialog(dlg);
    wm.addDialog(dlg2);
    PostMessageA(dlg, WM_KEYDOWN, VK_TAB, 0);
    wm.removeDialog(dlg);
    DestroyWindow(dlg);
    PostMessageA(dlg2, WM_KEYDOWN, VK_TAB, 0);
    m.windows.pumpMessages();
    wm.removeDialog(dlg2);
    DestroyWindow(dlg2);
    CHECK(true);
}

static std::string self() {
    char p[MAX_PATH];
    GetModuleFileNameA(nullptr, p, MAX_PATH);
    return p;
}

// This program again with one argument, straight through CreateProcessA; its exit code.
static DWORD runSelf(const char* argument) {
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::string cmd = "\"" + self() + "\" " + argument;
    std::vector<char> c(cmd.begin(), cmd.end());
    c.push_back(0);
    CHECK(CreateProcessA(nullptr, c.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    WaitForSingleObject(pi.hProcess, 10000);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return code;
}

static void testProcesses(Machine& m) {
    ProcessHandle p = m.processes.start({self(), "--exit 3010"}, false);
    CHECK(static_cast<bool>(p));
    int spins = 0;
    while (!m.processes.hasEnded(p) && spins < 200) {
        Sleep(50);
        ++spins;
    }
    CHECK(m.processes.hasEnded(p));
    CHECK(m.processes.exitCode(p) == std::optional<std::uint32_t>(3010));
    m.processes.close(p);
    CHECK(!p);

    ProcessHandle q = m.processes.start({self(), "--sleep"}, true);
    CHECK(static_cast<bool>(q));
    Sleep(200);
    CHECK(!m.processes.hasEnded(q));
    CHECK(m.processes.exitCode(q) == std::optional<std::uint32_t>(259));
    CHECK(m.processes.terminate(q, 0));
    WaitForSingleObject(reinterpret_cast<HANDLE>(q.process), 5000);
    CHECK(m.processes.hasEnded(q));
    CHECK(m.processes.exitCode(q) == std::optional<std::uint32_t>(0));
    m.processes.close(q);

    CHECK(!m.processes.start({"C:\\nowhere\\none.exe", ""}, false));
    ProcessHandle none;
    CHECK(m.processes.hasEnded(none)); // an invalid handle never keeps a wait loop going

    ProcessHandle r;
    auto outcome = m.processes.startAsStandardUser({self(), "--exit 7"}, true, r);
    note("startAsStandardUser outcome " + std::to_string(static_cast<int>(outcome)));
    CHECK(outcome == Processes::StandardUserStart::Started);
    if (r) {
        WaitForSingleObject(reinterpret_cast<HANDLE>(r.process), 10000);
        CHECK(m.processes.exitCode(r) == std::optional<std::uint32_t>(7));
        m.processes.close(r);
    }
    ProcessHandle f;
    outcome = m.processes.startAsStandardUser({"C:\\nowhere\\none.exe", ""}, false, f);
    CHECK(outcome == Processes::StandardUserStart::Failed);
    CHECK(!f);
}

// The system checks' ports against the real API (Wine reports Windows 7, 6.1).
static void testChecks(Machine& m) {
    CheckPorts& c = m.checks;
    CHECK(
        c.version.verifyVersion(2, 5, VersionCondition::Greater, 0, VersionCondition::None).value_or(false));
    CHECK(!c.version.verifyVersion(2, 5, VersionCondition::Equal, 0, VersionCondition::Equal).value_or(true));
    CHECK(!c.version.verifyVersion(1, 0, VersionCondition::None, 0, VersionCondition::None).value_or(true));

    MutexOpen none = c.processes.openMutex("Global\\ZovPortTestNoSuchMutex");
    CHECK(!none.opened);
    CHECK_EQ(none.error, 2u);
    std::uintptr_t mutex = m.kernel.createMutex("Global\\ZovPortTestChecks");
    CHECK(c.processes.openMutex("Global\\ZovPortTestChecks").opened);
    m.kernel.releaseMutex(mutex);

    CHECK(c.processes.toolhelpAvailable());
    auto processes = c.processes.processList();
    bool self = false;
    for (const ProcessEntry& p : processes.value_or(std::vector<ProcessEntry>{}))
        self = self || (p.pid == GetCurrentProcessId() && p.exePath.find('\\') != std::string::npos);
    CHECK(self);
    auto modules = c.processes.moduleList(GetCurrentProcessId());
    CHECK(modules && !modules->empty());

    auto groups = c.hardware.tokenGroups();
    bool admin = false;
    for (const TokenGroup& g : groups.value_or(std::vector<TokenGroup>{}))
        admin = admin || g.sid == "S-1-5-32-544";
    CHECK(admin);
    CHECK(c.hardware.cpuidFamily().has_value());
    CHECK(c.hardware.defaultLanguage().has_value());
    CHECK(c.desktop.logPixelsY() > 0);
    CHECK(c.desktop.bitsPerPixel() >= 8);

    std::string dir = tempDir(m) + "zovchecks";
    CHECK(c.disk.createDirectory(dir));
    CHECK(!c.disk.createDirectory(dir));
    std::string file = dir + "\\old.txt";
    auto written = m.files.create(file);
    CHECK(written != nullptr);
    if (written) {
        written->write("12345", 5);
        written->close();
    }
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY);
    auto entries = c.disk.listDirectory(dir);
    CHECK(entries && entries->size() >= 1);
    for (const DirectoryEntry& e : entries.value_or(std::vector<DirectoryEntry>{}))
        if (e.name == "old.txt") {
            CHECK_EQ(e.size, 5u);
            CHECK(e.modified > 1600000000u);
        }
    CHECK_EQ(c.disk.fileSize(file).value_or(0), 5u);
    CHECK(!c.disk.fileSize(dir + "\\missing").has_value());
    CHECK(!c.disk.removeDirectory(dir));
    CHECK(c.disk.deleteFileForced(file));
    CHECK(c.disk.removeDirectory(dir));
    FreeSpaceEx free = c.disk.freeSpaceEx("C:\\");
    CHECK(free.outcome == FreeSpaceEx::Outcome::Ok && free.bytes > 0);
    CHECK(c.disk.freeSpaceOld("C:\\").ok);
    CHECK(!c.disk.freeSpaceOld("Q:\\").ok);

    // The pipe server and a question to it, as a setup in another session would ask.
    CHECK(!c.pipes.transact("\\\\.\\Pipe\\ZovPortTestNone", std::string(8, '\0'), 256, 2000).has_value());
    CHECK(c.pipes.startServer("\\\\.\\Pipe\\ZovPortTest", 256, [](const std::string& request) {
        return request.size() <= 256 && request[0] == 3 ? std::string("title\0", 6) : std::string();
    }));
    // The listener thread makes the first instance a moment later.
    for (int i = 0; i < 100 && !WaitNamedPipeA("\\\\.\\Pipe\\ZovPortTest", 1); ++i)
        Sleep(20);
    std::string request(8, '\0');
    request[0] = 3;
    auto reply = c.pipes.transact("\\\\.\\Pipe\\ZovPortTest", request, 256, 5000);
    CHECK(reply && *reply == std::string("title\0", 6));
    std::string longRequest(4000, '\0');
    longRequest[0] = 3;
    reply = c.pipes.transact("\\\\.\\Pipe\\ZovPortTest", longRequest, 256, 5000);
    CHECK(reply && *reply == std::string("title\0", 6));
    request[0] = 7;
    reply = c.pipes.transact("\\\\.\\Pipe\\ZovPortTest", request, 256, 5000);
    CHECK(reply && reply->empty());
}

static void testKernel(Machine& m) {
    std::uintptr_t mutex = m.kernel.createMutex("Global\\ZovPortTestMutex");
    CHECK(mutex != 0);
    HANDLE other = OpenMutexA(0x1F0001, FALSE, "Global\\ZovPortTestMutex");
    CHECK(other != nullptr);
    if (other)
        CloseHandle(other);
    m.kernel.releaseMutex(mutex);
    other = OpenMutexA(0x1F0001, FALSE, "Global\\ZovPortTestMutex");
    CHECK(other == nullptr);
    m.kernel.releaseMutex(0);

    // Visible and owned from another process's point of view: the child waits 0 ms on it.
    mutex = m.kernel.createMutex("Global\\ZovPortTestMutex2");
    CHECK_EQ(runSelf("--probe-mutex"), 1u); // 1 = exists and held by us
    m.kernel.releaseMutex(mutex);

    CHECK(m.kernel.createSignalledEvent("_ZOV_TPI_TEST_A"));
    HANDLE e = OpenEventA(SYNCHRONIZE, FALSE, "_ZOV_TPI_TEST_A");
    CHECK(e != nullptr && WaitForSingleObject(e, 0) == WAIT_OBJECT_0);
    if (e)
        CloseHandle(e);
    // The coordinator made it first, not signalled: the setup's signal must still arrive.
    HANDLE pre = CreateEventA(nullptr, FALSE, FALSE, "_ZOV_TPI_TEST_B");
    CHECK(m.kernel.createSignalledEvent("_ZOV_TPI_TEST_B"));
    CHECK(WaitForSingleObject(pre, 0) == WAIT_OBJECT_0);
    CloseHandle(pre);
}

static void testShell(Machine& m) {
    auto pf = m.shell.programFilesFolder();
    note("programFilesFolder=" + pf.value_or("none"));
    CHECK(pf.has_value() && *pf == "C:\\Program Files");
    std::string dir = tempDir(m);
    std::string link = dir + "Retry ZOV 9.0 VR.lnk";
    DeleteFileA(link.c_str());
    CHECK(m.shell.createShortcut(link, self(), "Install ZOV 9.0 VR"));
    CHECK(m.files.exists(link));
    auto target = m.shell.shortcutTarget(link);
    note("link target=" + target.value_or("none"));
    CHECK(target.has_value() && _stricmp(target->c_str(), self().c_str()) == 0);
    CHECK(!m.shell.shortcutTarget(dir + "none.lnk").has_value());
    CHECK(!m.shell.createShortcut(dir + "nofolder\\x.lnk", self(), "x"));
    DeleteFileA(link.c_str());
    // Saved on a worker thread: there once settle() has returned.
    m.shell.startShortcut(link, self(), "Install ZOV 9.0 VR");
    m.shell.notifyAssociationsChanged();
    m.shell.settle();
    CHECK(m.shell.shortcutTarget(link).has_value());
    DeleteFileA(link.c_str());

    for (const char* n : {"GL1.TMP", "GLabc.TMP", "keep.TMP", "GL2.txt"}) {
        auto f = m.files.create(dir + n);
        f->write("x", 1);
    }
    CHECK(m.shell.deletePattern(dir + "GL*.TMP"));
    CHECK(!m.files.exists(dir + "GL1.TMP"));
    CHECK(!m.files.exists(dir + "GLabc.TMP"));
    CHECK(m.files.exists(dir + "keep.TMP"));
    CHECK(m.files.exists(dir + "GL2.txt"));
    bool none = m.shell.deletePattern(dir + "GL*.TMP");
    note(std::string("deletePattern with no match returns ") + (none ? "true" : "false"));
    // A file held open without delete sharing: the operation fails without any box.
    HANDLE held =
        CreateFileA((dir + "GLheld.TMP").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD t0 = GetTickCount();
    bool heldResult = m.shell.deletePattern(dir + "GL*.TMP");
    note(std::string("deletePattern of a held file returns ") + (heldResult ? "true" : "false") + " after " +
         std::to_string(GetTickCount() - t0) + " ms");
    CHECK(GetTickCount() - t0 < 3000);
    CloseHandle(held);
    m.files.removeFile(dir + "GLheld.TMP");
    m.files.removeFile(dir + "keep.TMP");
    m.files.removeFile(dir + "GL2.txt");
}

static void testPower(Machine& m) {
    std::string log = tempDir(m) + "restart.log";
    DeleteFileA(log.c_str());
    SetEnvironmentVariableA("ZOV_TEST_RESTART_LOG", log.c_str());
    CHECK(m.power.restartWindows());
    CHECK(m.power.restartWindows());
    SetEnvironmentVariableA("ZOV_TEST_RESTART_LOG", nullptr);
    FILE* f = std::fopen(log.c_str(), "rb");
    char buf[64] = {};
    size_t n = f ? std::fread(buf, 1, sizeof buf - 1, f) : 0;
    if (f)
        std::fclose(f);
    CHECK_EQ(std::string(buf, n), std::string("restart\r\nrestart\r\n"));
    bool priv = m.power.enableShutdownPrivilege();
    note(std::string("enableShutdownPrivilege=") + (priv ? "true" : "false"));
    CHECK(priv);
}

static void testServices(Machine& m) {
    CHECK(m.services.available());
    CHECK(!m.services.openService("ZOV ACS")); // no manager yet
    CHECK(m.services.start() != 0);
    CHECK(m.services.openManager());
    CHECK(m.services.openManager());
    CHECK(!m.services.openService("ZOV ACS Missing"));
    CHECK(!m.services.query().has_value());
    // A service every prefix has; query only (starting it is not ours to do).
    if (m.services.openService("Eventlog") || m.services.openService("RpcSs")) {
        auto st = m.services.query();
        CHECK(st.has_value());
        if (st)
            note("service state " + std::to_string(st->state));
        m.services.closeService();
        m.services.closeService();
    } else {
        note("no known service to query");
    }
}

// A viewer window on its own thread that records what it receives.
struct Monitor {
    HWND window = nullptr;
    std::vector<std::string> lines;
    std::vector<DWORD> sizes;
    std::vector<WPARAM> senders;
    volatile bool hang = false;
    volatile bool quit = false;
};
static Monitor* gMonitor;

static LRESULT CALLBACK monitorProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_COPYDATA) {
        auto* cds = reinterpret_cast<COPYDATASTRUCT*>(l);
        gMonitor->lines.emplace_back(static_cast<const char*>(cds->lpData));
        gMonitor->sizes.push_back(cds->cbData);
        gMonitor->senders.push_back(w);
        if (gMonitor->hang)
            Sleep(7000);
        return TRUE;
    }
    return DefWindowProcA(h, msg, w, l);
}

static void testTrace(Machine& m) {
    CHECK_EQ(m.traceWire.findMonitor(), 0);
    Monitor mon;
    gMonitor = &mon;
    HANDLE ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE viewer = win32::startWorker([&] {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = monitorProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "ZovMonitorTest";
        RegisterClassA(&wc);
        mon.window = CreateWindowA("ZovMonitorTest", "Trace Monitor", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                   nullptr, nullptr, wc.hInstance, nullptr);
        SetEvent(ready);
        MSG msg;
        while (!mon.quit && GetMessageA(&msg, nullptr, 0, 0) > 0)
            DispatchMessageA(&msg);
    });
    WaitForSingleObject(ready, 5000);
    WindowHandle monitor = m.traceWire.findMonitor();
    CHECK_EQ(monitor, reinterpret_cast<WindowHandle>(mon.window));
    WindowHandle sender = m.traceWire.createSender();
    CHECK(sender != 0);
    char cls[64] = {}, title[64] = {};
    GetClassNameA(reinterpret_cast<HWND>(sender), cls, sizeof cls);
    GetWindowTextA(reinterpret_cast<HWND>(sender), title, sizeof title);
    CHECK_EQ(std::string(cls), std::string("TracerSrc"));
    CHECK_EQ(std::string(title), std::string("Trace Sender"));
    CHECK(!IsWindowVisible(reinterpret_cast<HWND>(sender)));
    WindowHandle sender2 = m.traceWire.createSender(); // class already registered
    CHECK(sender2 != 0);
    DestroyWindow(reinterpret_cast<HWND>(sender2));

    CHECK(m.traceWire.send(monitor, 0, "Tracer Sender Window Created"));
    CHECK(m.traceWire.send(monitor, sender, "Tracing Started"));
    CHECK(m.traceWire.send(monitor, sender, ""));
    std::string longLine(1023, 'L');
    CHECK(m.traceWire.send(monitor, sender, longLine));
    SetLastError(ERROR_FILE_NOT_FOUND); // a caller's failure, to be traced after its line
    CHECK(m.traceWire.send(monitor, sender, "100% done\n"));
    CHECK_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    CHECK_EQ(mon.lines.size(), 5u);
    if (mon.lines.size() == 5) {
        CHECK_EQ(mon.lines[0], std::string("Tracer Sender Window Created"));
        CHECK_EQ(mon.senders[0], 0u);
        CHECK_EQ(mon.senders[1], static_cast<WPARAM>(sender));
        CHECK_EQ(mon.sizes[1], 16u);
        CHECK_EQ(mon.lines[2], std::string());
        CHECK_EQ(mon.sizes[2], 1u);
        CHECK_EQ(mon.lines[3], longLine);
        CHECK_EQ(mon.sizes[3], 1024u);
        CHECK_EQ(mon.lines[4], std::string("100% done\n"));
    }
    // A viewer that stops answering: the wait is bounded and reported.
    mon.hang = true;
    DWORD t0 = GetTickCount();
    bool ok = m.traceWire.send(monitor, sender, "hung");
    DWORD took = GetTickCount() - t0;
    note("send to hung viewer: " + std::string(ok ? "true" : "false") + " after " + std::to_string(took) +
         " ms");
    CHECK(!ok);
    CHECK(took >= 4500 && took < 7000);
    Sleep(2500);
    mon.hang = false;
    // A viewer that has gone: fails silently.
    mon.quit = true;
    PostMessageA(mon.window, WM_CLOSE, 0, 0);
    WaitForSingleObject(viewer, INFINITE);
    CloseHandle(viewer);
    t0 = GetTickCount();
    SetLastError(ERROR_ACCESS_DENIED);
    CHECK(m.traceWire.send(monitor, sender, "after close"));
    CHECK(GetTickCount() - t0 < 1000);
    CHECK_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    DestroyWindow(reinterpret_cast<HWND>(sender));
}

static void testResources(Machine& m) {
    CHECK(m.resources.find(175));
    std::size_t size = m.resources.size(175);
    CHECK_EQ(size, 3000u);
    bool loadFailed = true;
    const std::uint8_t* data = m.resources.load(175, loadFailed);
    CHECK(!loadFailed && data != nullptr);
    if (data)
        CHECK(data[0] == 'P' && data[2999] == 'Z');
    CHECK(!m.resources.find(176));
    CHECK_EQ(m.resources.size(176), 0u);
    CHECK(m.resources.load(176, loadFailed) == nullptr);
    CHECK(!m.resources.find(0x10000 + 175));
}

// Every bitmap decodes at the size the interface relies on, and the left corners of a strip
// are the surface colour it is drawn on (the first and the last row of the run-length data).
static void testArtworkBitmaps() {
    struct Art {
        int id, width, height;
        bool strip;
    };
    static const Art kArt[] = {
        {IDB_NEXT, 364, 48, true},
        {IDB_BACK, 260, 32, true},
        {IDB_CANCEL, 228, 21, true},
        {IDB_DISK_CLEANUP, 388, 21, true},
        {IDB_DONE, 364, 48, true},
        {IDB_LAUNCH_EXPLORER, 388, 21, true},
        {IDB_EMPTY_BIN, 485, 21, true},
        {IDB_CURRENT_MEMBER, 1728, 53, true},
        {IDB_NEW_MEMBER, 1728, 53, true},
        {IDB_CHANGE_DRIVE, 388, 21, true},
        {IDB_DELETE_TEMP, 485, 21, true},
        {IDB_CHANGE_DIR, 1180, 16, true},
        {IDB_CONTINUE, 344, 43, true},
        {IDB_SCREEN_NAME, 1728, 53, true},
        {IDB_SCAN_DRIVES, 388, 21, true},
        {IDB_PAGE_BACKGROUND, 478, 340, false},
        {IDB_SELECT_DIR_BACKGROUND, 496, 333, false},
        {IDB_SELECT_DRIVE_BACKGROUND, 604, 359, false},
        {IDB_CLEANUP_BACKGROUND, 505, 393, false},
        {IDB_FRAME_BACKGROUND, 340, 96, false},
        {IDB_FRAME_PROGRESS_BACKGROUND, 196, 440, false},
        {IDB_BUSY_FEATURES_BACKGROUND, 399, 184, false},
        {IDB_BUSY_BACKGROUND, 399, 184, false},
        {IDB_PROGRESS_BACKGROUND, 313, 189, false},
        {IDB_BUSY_ANIMATION, 800, 32, true},
        {IDB_PROGRESS_ANIMATION, 256, 32, true},
        {IDB_FOLDER_IMAGES, 32, 16, false},
    };
    HDC dc = CreateCompatibleDC(nullptr);
    for (const Art& a : kArt) {
        auto bitmap = static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(a.id),
                                                      IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
        DIBSECTION ds = {};
        if (!bitmap || GetObjectA(bitmap, sizeof ds, &ds) != sizeof ds) {
            note("bitmap " + std::to_string(a.id) + " does not load");
            CHECK(false);
            continue;
        }
        CHECK(ds.dsBm.bmWidth == a.width && ds.dsBm.bmHeight == a.height && ds.dsBmih.biBitCount == 8);
        if (a.strip) {
            HGDIOBJ old = SelectObject(dc, bitmap);
            CHECK_EQ(GetPixel(dc, 0, 0), RGB(200, 224, 240));
            CHECK_EQ(GetPixel(dc, 0, a.height - 1), RGB(200, 224, 240));
            SelectObject(dc, old);
        }
        DeleteObject(bitmap);
    }
    DeleteDC(dc);
    for (int id : {IDI_FRAME, IDI_EXPLORER, IDI_BIN_FULL, IDI_BIN_EMPTY, IDI_TEMP_FILES}) {
        HANDLE icon = LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_ICON, 32, 32, 0);
        CHECK(icon != nullptr);
        DestroyIcon(static_cast<HICON>(icon));
    }
}

static INT_PTR CALLBACK quietDialog(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

// Every template creates with the controls the interface looks up; the pages have the size
// and the captionless frame the wizard relies on.
static void testArtworkTemplates() {
    struct Template {
        int id;
        bool page;
        std::vector<int> controls;
    };
    const std::vector<int> next = {IDC_PAGE_TITLE, IDC_PAGE_BODY, IDC_PAGE_HINT, IDC_PAGE_NEXT,
                                   IDC_PAGE_BACK};
    auto with = [&](std::vector<int> more) {
        more.insert(more.end(), next.begin(), next.end());
        return more;
    };
    const Template kTemplates[] = {
        {IDD_WELCOME,
         true,
         {IDC_PAGE_TITLE, IDC_PAGE_BODY, IDC_PAGE_NEXT, IDC_NEW_MEMBER, IDC_CURRENT_MEMBER}},
        {IDD_WELCOME_SCREENNAME,
         true,
         {IDC_PAGE_TITLE, IDC_PAGE_BODY, IDC_PAGE_NEXT, IDC_SCREEN_NAME, IDC_NEW_MEMBER, IDC_CURRENT_MEMBER}},
        {IDD_MEMBER_TYPE, true, with({IDC_MEMBER_UPGRADE, IDC_MEMBER_ADD_ACCOUNT, IDC_MEMBER_ADDITIONAL})},
        {IDD_INSTALL_DIR, true, with({IDC_DIR_DISPLAY, IDC_DIR_CHANGE})},
        {IDD_UPGRADE_LIST, true, with({IDC_CLIENT_LIST, IDC_SCAN_DRIVES})},
        {IDD_DOWNLOADS_ACTION, true, with({IDC_FILES_MOVE, IDC_FILES_COPY, IDC_FILES_LEAVE})},
        {IDD_RECENT_VERSION, true, with({IDC_RECENT_FOLDER, IDC_RECENT_UPGRADE, IDC_RECENT_SEARCH})},
        {IDD_DISK_SPACE, true,
         with({IDC_SPACE_DRIVES, IDC_SPACE_REQUIRED, IDC_SPACE_AVAILABLE, IDC_SPACE_CLEANUP,
               IDC_SPACE_CLEANUP_TEXT, IDC_SPACE_CHANGE, IDC_SPACE_CHANGE_TEXT, IDC_SPACE_CANCEL})},
        {IDD_RESUME_SETUP, false, {IDC_RESUME_ICON, IDC_RESUME_TEXT, IDOK, IDCANCEL}},
        {IDD_BUSY, false, {IDC_BUSY_TEXT, IDC_ANIMATION}},
        {IDD_PROGRESS,
         false,
         {IDC_PARTNER_NOTE, IDC_SECONDARY_LABEL, IDC_SECONDARY_BAR, IDC_TOTAL_LABEL, IDC_MAIN_BAR,
          IDC_SECONDARY_PERCENT, IDC_MAIN_PERCENT, IDC_ANIMATION, IDCANCEL}},
        {IDD_SELECT_DIR,
         false,
         {IDC_PAGE_BODY, IDC_SELECT_PATH, IDC_DRIVE_LABEL, IDC_DRIVE_LIST, IDC_TREE_LABEL, IDC_SELECT_TREE,
          IDOK, IDCANCEL}},
        {IDD_SELECT_DRIVE,
         false,
         {IDC_PAGE_BODY, IDC_SELECT_PATH, IDC_DRIVE_LABEL, IDC_DRIVE_LIST, IDC_TREE_LABEL, IDC_SELECT_TREE,
          IDOK, IDCANCEL}},
        {IDD_DISK_CLEANUP,
         false,
         {IDC_SHORTFALL, IDC_BIN_ICON, IDC_BIN_SIZE, IDC_BIN_HINT, IDC_EMPTY_BIN, IDC_TEMP_ICON,
          IDC_TEMP_SIZE, IDC_TEMP_HINT, IDC_DELETE_TEMP, IDC_EXPLORER_ICON, IDC_EXPLORER_TEXT,
          IDC_LAUNCH_EXPLORER, IDOK, IDCANCEL}},
    };
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    for (const Template& t : kTemplates) {
        HWND dlg =
            CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(t.id), nullptr, quietDialog, 0);
        if (!dlg) {
            note("template " + std::to_string(t.id) + " does not create");
            CHECK(false);
            continue;
        }
        for (int control : t.controls)
            if (!GetDlgItem(dlg, control)) {
                note("template " + std::to_string(t.id) + " lacks control " + std::to_string(control));
                CHECK(false);
            }
        if (t.page) {
            RECT r = {0, 0, 319, 209};
            MapDialogRect(dlg, &r);
            RECT client;
            GetClientRect(dlg, &client);
            CHECK(client.right == r.right && client.bottom == r.bottom);
            CHECK((GetWindowLongA(dlg, GWL_STYLE) & WS_CAPTION) != WS_CAPTION);
        }
        DestroyWindow(dlg);
    }
}

static void testExit() {
    CHECK_EQ(runSelf("--port-exit"), 1602u);
}

static void testCompanions(Machine& m) {
    CompanionSystem& c = m.companions;
    // HKEY_CLASSES_ROOT.
    const char* server = "CLSID\\{0D0E5A7C-6A11-4C1E-9A27-5A3C1E0F7E11}\\InProcServer32";
    HKEY k;
    CHECK_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, server, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
             ERROR_SUCCESS);
    RegSetValueExA(k, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>("C:\\x\\player.ocx"), 17);
    RegCloseKey(k);
    CHECK(c.classKeyExists("CLSID\\{0D0E5A7C-6A11-4C1E-9A27-5A3C1E0F7E11}"));
    CHECK(c.classKeyExists(server));
    CHECK(!c.classKeyExists("CLSID\\{0D0E5A7C-6A11-4C1E-9A27-5A3C1E0F7E12}"));
    CHECK(c.classKeyDefault(server, 512) == std::optional<std::string>("C:\\x\\player.ocx"));
    CHECK(!c.classKeyDefault(server, 8).has_value()); // does not fit
    CHECK(!c.classKeyDefault("CLSID\\{0D0E5A7C-6A11-4C1E-9A27-5A3C1E0F7E12}", 512).has_value());
    RegDeleteTreeA(HKEY_CLASSES_ROOT, "CLSID\\{0D0E5A7C-6A11-4C1E-9A27-5A3C1E0F7E11}");

    // The version resource this program carries (from setup.rc), and a file without one.
    auto version = c.fileVersion(self());
    CHECK(version.has_value() && version->mostSignificant == 0x00090000u &&
          version->leastSignificant == ((4327u << 16) | 271u));
    std::string dir = tempDir(m);
    std::string text = dir + "plain.txt";
    {
        auto f = m.files.create(text);
        f->write("abc", 3);
        f->close();
    }
    CHECK(!c.fileVersion(text).has_value());
    CHECK(!c.fileVersion(dir + "missing.exe").has_value());

    // A detached process with a bounded wait.
    ProcessHandle quick = c.startDetached({self(), "--exit 7"});
    CHECK(static_cast<bool>(quick));
    CHECK(c.waitForExit(quick, 10000));
    CHECK(m.processes.exitCode(quick) == std::optional<std::uint32_t>(7));
    m.processes.close(quick);
    ProcessHandle slow = c.startDetached({self(), "--sleep"});
    DWORD t0 = GetTickCount();
    CHECK(!c.waitForExit(slow, 300));
    CHECK(GetTickCount() - t0 >= 250);
    CHECK(m.processes.exitCode(slow) == std::optional<std::uint32_t>(259));
    m.processes.terminate(slow, 0);
    m.processes.close(slow);
    CHECK(!c.startDetached({dir + "missing.exe", ""}).process);

    // Folders and the shared file.
    auto common = c.commonAppDataFolder();
    note("common application data: " + common.value_or("none"));
    CHECK(common.has_value() && m.files.isDirectory(*common));
    std::string folder = dir + "trust";
    CreateDirectoryA(folder.c_str(), nullptr);
    {
        auto file = c.openShared(folder + "\\ZOV.cfg");
        CHECK(file != nullptr);
        CHECK(file->size() == std::optional<std::uint64_t>(0));
        CHECK(file->append("one\r\n", 5));
        // Others may read meanwhile, but not write.
        HANDLE reader = CreateFileA((folder + "\\ZOV.cfg").c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        CHECK(reader != INVALID_HANDLE_VALUE);
        if (reader != INVALID_HANDLE_VALUE)
            CloseHandle(reader);
        HANDLE writer = CreateFileA((folder + "\\ZOV.cfg").c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        CHECK(writer == INVALID_HANDLE_VALUE);
        if (writer != INVALID_HANDLE_VALUE)
            CloseHandle(writer);
    }
    {
        auto file = c.openShared(folder + "\\ZOV.cfg");
        CHECK(file->append("two\r\n", 5));
        CHECK(file->size() == std::optional<std::uint64_t>(10));
        char buffer[8] = {};
        CHECK_EQ(file->read(5, buffer, sizeof buffer), 5u);
        CHECK(std::string(buffer, 5) == "two\r\n");
        CHECK_EQ(file->read(10, buffer, sizeof buffer), 0u);
    }
    CHECK(c.openShared(dir + "no\\such\\ZOV.cfg") == nullptr);

    note(std::string("network alive: ") + (c.networkAlive() ? "yes" : "no"));
}

struct StaticFlag {
    ~StaticFlag() {
        // Proof that static destructors ran: the parent reads nothing, but a crash here
        // would change the exit code.
        OutputDebugStringA("static destructor ran");
    }
};
static StaticFlag gFlag;

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--exit") == 0)
        return std::atoi(argv[2]);
    if (argc >= 2 && std::strcmp(argv[1], "--sleep") == 0) {
        Sleep(60000);
        return 5;
    }
    if (argc >= 2 && std::strcmp(argv[1], "--probe-mutex") == 0) {
        HANDLE h = OpenMutexA(0x1F0001, FALSE, "Global\\ZovPortTestMutex2");
        if (!h)
            return 2;
        DWORD w = WaitForSingleObject(h, 0);
        return w == WAIT_TIMEOUT ? 1 : 3;
    }
    win32::Win32Machine wm(GetModuleHandleA(nullptr));
    Machine m = wm.machine();
    if (argc >= 2 && std::strcmp(argv[1], "--port-exit") == 0)
        m.exit.exit(1602);
    out = stdout;
    const char* only = argc >= 3 ? argv[2] : "";
    auto want = [&](const char* name) { return !*only || std::strstr(only, name) != nullptr; };
    if (want("strings"))
        testStrings(m);
    if (want("profile"))
        testProfile(m);
    if (want("files"))
        testFiles(m);
    if (want("system"))
        testSystem(m);
    if (want("registry"))
        testRegistry(m);
    if (want("clock"))
        testClock(m);
    if (want("windows"))
        testWindows(wm, m);
    if (want("dialogs"))
        testDialogs(wm, m);
    if (want("processes"))
        testProcesses(m);
    if (want("kernel"))
        testKernel(m);
    if (want("checks"))
        testChecks(m);
    if (want("shell"))
        testShell(m);
    if (want("power"))
        testPower(m);
    if (want("services"))
        testServices(m);
    if (want("trace"))
        testTrace(m);
    if (want("resources"))
        testResources(m);
    if (want("artwork")) {
        testArtworkBitmaps();
        testArtworkTemplates();
    }
    if (want("companions"))
        testCompanions(m);
    if (want("exit"))
        testExit();
    std::fprintf(out, "%d passed, %d failed\n", passed, failed);
    std::fflush(out);
    return failed == 0 ? 0 : 1;
}
