// toolcheck: runs the engine, the progress module, the stand-in client and the Trace
// Monitor as real processes and checks what they leave behind: files, install.ini,
// registry values, window messages, exit codes. It plays the setup's frame window itself.
//
//   toolcheck.exe <folder holding comp01.exe, progupd.dll, DAD.exe, wzov.exe, tracemon.exe>
//
// Prints one line per check and ends with "N passed, N failed"; exit code 1 on a failure.
#include "common/client_db_writer.h"
#include "common/wire_formats.h"
#include "protocol/contract.h"

#include <windows.h>

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

using namespace zov::tools;

namespace {

int gPassed = 0;
int gFailed = 0;
std::string gBin;     // the tools, with a trailing backslash
std::string gScratch; // everything this run creates
std::string gTemp;    // what GetTempPath returns for the engine

void expect(bool condition, const std::string& name, const std::string& detail = {}) {
    if (condition)
        ++gPassed;
    else
        ++gFailed;
    // The detail only helps to tell why a check failed.
    bool showDetail = !condition && !detail.empty();
    std::printf("%s: %s%s%s\n", condition ? "ok" : "FAIL", name.c_str(), showDetail ? " -- " : "",
                showDetail ? detail.c_str() : "");
    std::fflush(stdout);
}

// ---- files ----------------------------------------------------------------------------

std::optional<std::string> readFile(const std::string& path) {
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::string content;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
        content.append(buffer, read);
    CloseHandle(file);
    return content;
}

void writeFile(const std::string& path, const std::string& content) {
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
}

bool exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void makeFolders(const std::string& path) {
    for (std::size_t i = 3; i <= path.size(); ++i)
        if (i == path.size() || path[i] == '\\')
            CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
}

void removeTree(const std::string& path) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string child = path + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(child);
            else {
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

std::string profileGet(const std::string& file, const char* section, const char* key) {
    char buffer[2048] = {};
    GetPrivateProfileStringA(section, key, "<absent>", buffer, sizeof buffer, file.c_str());
    return buffer;
}

void profilePut(const std::string& file, const char* section, const char* key, const std::string& value) {
    WritePrivateProfileStringA(section, key, value.c_str(), file.c_str());
}

std::string registryString(HKEY root, const char* path, const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return "<absent>";
    std::vector<char> buffer(8192, '\0');
    DWORD size = static_cast<DWORD>(buffer.size() - 2);
    DWORD type = 0;
    LONG status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return "<absent>";
    // A multi-string reads as its parts joined by '|'.
    std::string value(buffer.data(), size);
    while (!value.empty() && value.back() == '\0')
        value.pop_back();
    for (char& c : value)
        if (c == '\0')
            c = '|';
    return value;
}

// ---- processes ------------------------------------------------------------------------

void pump() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void pumpFor(DWORD ms) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        pump();
        Sleep(10);
    }
}

// Waits up to `ms` for `condition`, pumping this thread's messages meanwhile.
bool waitFor(const std::function<bool()>& condition, DWORD ms) {
    DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount() - start >= ms)
            return false;
        pump();
        Sleep(20);
    }
}

struct Process {
    HANDLE handle = nullptr;
    DWORD id = 0;
    bool ok() const { return handle != nullptr; }
    bool running() const { return ok() && WaitForSingleObject(handle, 0) == WAIT_TIMEOUT; }
    // The exit code once it ended within `ms`; none (and it is ended) otherwise.
    std::optional<DWORD> finish(DWORD ms) {
        if (!ok())
            return std::nullopt;
        if (!waitFor([&] { return !running(); }, ms)) {
            TerminateProcess(handle, 99);
            WaitForSingleObject(handle, 5000);
            return std::nullopt;
        }
        DWORD code = 0;
        GetExitCodeProcess(handle, &code);
        return code;
    }
    void end() {
        if (running()) {
            TerminateProcess(handle, 99);
            WaitForSingleObject(handle, 5000);
        }
    }
    ~Process() {
        if (handle != nullptr)
            CloseHandle(handle);
    }
};

Process start(const std::string& program, const std::string& arguments) {
    std::string commandLine = "\"" + program + "\"" + (arguments.empty() ? "" : " " + arguments);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    Process process;
    if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &info)) {
        CloseHandle(info.hThread);
        process.handle = info.hProcess;
        process.id = info.dwProcessId;
    }
    return process;
}

struct WindowSearch {
    DWORD processId;
    const char* className;
    HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    if (owner == search->processId && std::string(name) == search->className) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND windowOf(DWORD processId, const char* className) {
    WindowSearch search = {processId, className, nullptr};
    EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool mutexPresent(const char* name) {
    HANDLE mutex = OpenMutexA(MUTEX_ALL_ACCESS, FALSE, name);
    if (mutex == nullptr)
        return false;
    CloseHandle(mutex);
    return true;
}

// ---- the frame the engine reports to ----------------------------------------------------

struct FrameMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

struct FrameBehaviour {
    int cancelAtPercent = -1; // answer a main update of at least this much with the handle
    bool stopOnDiskFail = false;
};

HWND gFrame = nullptr;
FrameBehaviour gBehaviour;
std::vector<FrameMessage> gFrameLog;
bool gSawEngineBox = false;

LRESULT CALLBACK frameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= zov::msg::DiskSpaceFail && message <= zov::msg::SetInstallPhase) {
        gFrameLog.push_back({message, wParam, lParam});
        if (message == zov::msg::UpdateProgress && wParam != 1 && gBehaviour.cancelAtPercent >= 0 &&
            lParam >= gBehaviour.cancelAtPercent)
            return reinterpret_cast<LRESULT>(window);
        if (message == zov::msg::DiskSpaceFail)
            return gBehaviour.stopOnDiskFail ? reinterpret_cast<LRESULT>(window) : 0;
        if (message == zov::msg::WaitEngineBox) {
            // As the setup does: wait for the engine's box, and here also answer it.
            waitFor(
                [] {
                    HWND box = FindWindowA("#32770", "ZOV");
                    if (box == nullptr)
                        return false;
                    gSawEngineBox = true;
                    PostMessageA(box, WM_COMMAND, IDOK, 0);
                    return waitFor([box] { return !IsWindow(box); }, 10000);
                },
                15000);
            return 0;
        }
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

std::vector<FrameMessage> messagesOf(UINT message) {
    std::vector<FrameMessage> found;
    for (const auto& m : gFrameLog)
        if (m.message == message)
            found.push_back(m);
    return found;
}

// ---- engine scenarios -----------------------------------------------------------------

struct Scenario {
    std::string cd;      // the CD folder, with trailing backslash
    std::string mainDir; // the install folder (two levels that do not exist yet)
    std::string ini;
    std::string control; // this scenario's [control] file
};

int gScenarioCount = 0;

Scenario prepare(bool withProgressModule = true, bool withPayload = true) {
    Scenario s;
    std::string base = gScratch + "engine" + std::to_string(++gScenarioCount) + "\\";
    s.cd = base + "cd\\";
    s.mainDir = base + "Program Files\\ZOV 9.0";
    s.ini = gTemp + "install.ini";
    s.control = base + "control.ini";
    makeFolders(s.cd + "payload\\data");
    CopyFileA((gBin + "comp01.exe").c_str(), (s.cd + "comp01.000").c_str(), FALSE);
    if (withPayload) {
        writeFile(s.cd + "payload\\DAD.exe", "dad-new");
        writeFile(s.cd + "payload\\wzov.exe", "wzov-new");
        writeFile(s.cd + "payload\\data\\readme.txt", std::string(3000, 'r'));
    }
    DeleteFileA(s.ini.c_str());
    profilePut(s.ini, "enter", "MAINDIR", s.mainDir);
    profilePut(s.ini, "enter", "OLDDIR", "");
    profilePut(s.ini, "enter", "INSTALL_TYPE", "A");
    profilePut(s.ini, "enter", "SILENTINSTALL", "N");
    profilePut(s.ini, "enter", "FRAMEHWND",
               std::to_string(static_cast<int>(reinterpret_cast<INT_PTR>(gFrame))));
    if (withProgressModule)
        CopyFileA((gBin + "progupd.dll").c_str(), (gTemp + "progupd.dll").c_str(), FALSE);
    else
        DeleteFileA((gTemp + "progupd.dll").c_str());
    gBehaviour = FrameBehaviour();
    gFrameLog.clear();
    gSawEngineBox = false;
    return s;
}

void setControl(const Scenario& s, const char* key, const std::string& value) {
    profilePut(s.control, "control", key, value);
}

std::optional<DWORD> runEngine(const Scenario& s, const std::string& arguments = {},
                               bool withControl = false) {
    SetEnvironmentVariableA("ZOV_ENGINE_CONTROL", withControl ? s.control.c_str() : nullptr);
    Process engine = start(s.cd + "comp01.000", arguments);
    auto code = engine.finish(60000);
    SetEnvironmentVariableA("ZOV_ENGINE_CONTROL", nullptr);
    pump();
    return code;
}

std::string rcOf(const Scenario& s) {
    return profileGet(s.ini, "exit", "rc");
}

bool noTemporaryFilesIn(const std::string& folder) {
    for (const auto& name : namesIn(folder))
        if (name.size() > 4 && name.substr(name.size() - 4) == ".tmp")
            return false;
    return true;
}

void engineInstallsPayload() {
    Scenario s = prepare();
    auto code = runEngine(s, "-j");
    expect(code && *code == 0, "engine: exit code 0");
    expect(rcOf(s) == "0", "engine: rc 0", rcOf(s));
    expect(readFile(s.mainDir + "\\DAD.exe") == std::string("dad-new"), "engine: DAD.exe installed");
    expect(readFile(s.mainDir + "\\data\\readme.txt") == std::string(3000, 'r'),
           "engine: nested file installed");
    expect(noTemporaryFilesIn(s.mainDir), "engine: no temporary files left");
    expect(profileGet(s.ini, "DLLs", "progress.dll") == gTemp + "progupd.dll", "engine: [DLLs] progress.dll",
           profileGet(s.ini, "DLLs", "progress.dll"));
    // 7 and 8 bytes take a kilobyte each, 3000 bytes three.
    expect(profileGet(s.ini, "install sizes", "base") == "5", "engine: base size in kilobytes",
           profileGet(s.ini, "install sizes", "base"));
    expect(profileGet(s.ini, "system sizes", "download") == "0", "engine: system sizes written");
    expect(profileGet(s.ini, "exit", "RESTART") == "<absent>", "engine: no restart asked for");
    expect(registryString(HKEY_LOCAL_MACHINE, "Software\\Velquonet\\Velquonet\\CurrentVersion", "Apppath") ==
               s.mainDir,
           "engine: Apppath registered");
    expect(registryString(HKEY_LOCAL_MACHINE, "Software\\Velquonet\\Velquonet", "LastRegisteredAppPath") ==
               s.mainDir,
           "engine: LastRegisteredAppPath registered");
    char windows[MAX_PATH + 1] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    expect(profileGet(std::string(windows) + "\\win.ini", "WZOV", "AppPath") == s.mainDir,
           "engine: win.ini [WZOV] AppPath names the client folder");
    expect(profileGet(s.mainDir + "\\appdata.ini", "appdata", "Folder").empty(),
           "engine: appdata.ini keeps the data in the client folder");
    {
        std::vector<std::uint8_t> expected = installedClientDatabase("ZOV Member");
        expect(readFile(s.mainDir + "\\idb\\main.idx") == std::string(expected.begin(), expected.end()),
               "engine: the client database idb\\main.idx written");
    }

    // The protocol: init and show first, kill last, main progress rising to 100.
    std::vector<FrameMessage> sent;
    for (const auto& m : gFrameLog)
        if (!(m.message == zov::msg::UpdateProgress && m.wParam == 1))
            sent.push_back(m);
    expect(sent.size() >= 4 && sent[0].message == zov::msg::InitProgress &&
               sent[1].message == zov::msg::ShowProgress && sent[1].wParam == 0 &&
               sent.back().message == zov::msg::KillProgress,
           "engine: init, show ... kill");
    auto updates = messagesOf(zov::msg::UpdateProgress);
    std::vector<LPARAM> main;
    bool secondary = false;
    for (const auto& m : updates)
        if (m.wParam == 0)
            main.push_back(m.lParam);
        else if (m.wParam == 1)
            secondary = true;
    bool rising = !main.empty() && main.front() == 0 && main.back() == 100;
    for (std::size_t i = 1; i < main.size(); ++i)
        rising = rising && main[i] > main[i - 1];
    expect(rising, "engine: main progress 0 rising to 100", std::to_string(main.size()) + " updates");
    expect(secondary, "engine: a secondary update was posted");
}

void engineRollsBackWhenTheFrameCancels() {
    Scenario s = prepare();
    makeFolders(s.mainDir);
    writeFile(s.mainDir + "\\wzov.exe", "wzov-old");
    gBehaviour.cancelAtPercent = 100; // every file is in place by then
    runEngine(s);
    expect(rcOf(s) == "3", "rollback: rc 3 on the frame's cancel", rcOf(s));
    expect(readFile(s.mainDir + "\\wzov.exe") == std::string("wzov-old"), "rollback: replaced file restored");
    auto left = namesIn(s.mainDir);
    expect(left.size() == 1 && left[0] == "wzov.exe", "rollback: only what was there before remains",
           std::to_string(left.size()) + " entries");
    expect(!messagesOf(zov::msg::KillProgress).empty(), "rollback: progress display removed");
}

void engineRollsBackAtControlledCancel() {
    Scenario s = prepare();
    setControl(s, "cancel_at", "40");
    runEngine(s, {}, true);
    expect(rcOf(s) == "3", "cancel_at: rc 3", rcOf(s));
    std::string created = s.mainDir.substr(0, s.mainDir.find_last_of('\\'));
    expect(!exists(created), "cancel_at: folders created in this run removed");
}

void engineWorksWithoutProgressModule() {
    Scenario s = prepare(false);
    runEngine(s);
    expect(rcOf(s) == "0", "no progupd.dll: still installs", rcOf(s));
    expect(exists(s.mainDir + "\\wzov.exe"), "no progupd.dll: files there");
    expect(profileGet(s.ini, "DLLs", "progress.dll") == "<absent>", "no progupd.dll: no [DLLs] entry");
    expect(gFrameLog.empty(), "no progupd.dll: no messages");
}

void engineFollowsResultControls() {
    {
        Scenario s = prepare();
        setControl(s, "result", "7");
        runEngine(s, {}, true);
        expect(rcOf(s) == "7", "result=7: written as rc", rcOf(s));
        expect(exists(s.mainDir + "\\wzov.exe"), "result=7: installed all the same");
    }
    {
        Scenario s = prepare();
        setControl(s, "result", "none");
        runEngine(s, {}, true);
        expect(rcOf(s) == "<absent>", "result=none: no rc", rcOf(s));
    }
    {
        Scenario s = prepare();
        setControl(s, "skip_install", "1");
        runEngine(s, {}, true);
        expect(rcOf(s) == "0" && !exists(s.mainDir), "skip_install=1: rc 0, nothing installed");
    }
}

void engineRecordsWhatReachedIt() {
    Scenario s = prepare();
    std::string record = s.cd + "..\\record.txt";
    setControl(s, "record", record);
    runEngine(s, "-z", true);
    runEngine(s, "/xabc def", true);
    auto text = readFile(record).value_or("");
    std::string frame = std::to_string(static_cast<int>(reinterpret_cast<INT_PTR>(gFrame)));
    std::string first = "\"" + s.cd + "comp01.000\" -z\r\nMAINDIR=" + s.mainDir + "\r\nOLDDIR=\r\n";
    expect(text.rfind(first, 0) == 0, "record: command line, then [enter] in file order",
           text.substr(0, 120));
    expect(text.find("FRAMEHWND=" + frame + "\r\n\r\n\"" + s.cd + "comp01.000\" /xabc def\r\n") !=
               std::string::npos,
           "record: one block per run, ended by an empty line");
}

void engineRestartAndPhase() {
    Scenario s = prepare();
    setControl(s, "restart", "1");
    setControl(s, "phase", "2");
    runEngine(s, {}, true);
    expect(profileGet(s.ini, "exit", "RESTART") == "Y", "restart=1: RESTART=Y");
    expect(!messagesOf(zov::msg::RebootRequest).empty(), "restart=1: reboot request sent");
    auto phases = messagesOf(zov::msg::SetInstallPhase);
    expect(phases.size() == 1 && phases[0].lParam == 2, "phase=2: install phase sent");
}

void engineDiskSpaceCheckpoint() {
    {
        Scenario s = prepare();
        setControl(s, "diskfail", "1");
        gBehaviour.stopOnDiskFail = true;
        runEngine(s, {}, true);
        expect(!messagesOf(zov::msg::DiskSpaceFail).empty(), "diskfail: frame asked");
        expect(rcOf(s) == "3" && !exists(s.mainDir), "diskfail, user exits: rc 3, nothing installed",
               rcOf(s));
    }
    {
        Scenario s = prepare();
        setControl(s, "diskfail", "1");
        runEngine(s, {}, true);
        expect(rcOf(s) == "0" && exists(s.mainDir + "\\wzov.exe"), "diskfail, user goes on: installed",
               rcOf(s));
    }
}

void engineMessageBox() {
    Scenario s = prepare();
    setControl(s, "enginebox", "1");
    runEngine(s, {}, true);
    expect(gSawEngineBox, "enginebox: a box captioned ZOV came up");
    expect(!messagesOf(zov::msg::WaitEngineBox).empty() && rcOf(s) == "0",
           "enginebox: frame told, install done");
}

void engineReplacesFileInUse() {
    for (bool cancel : {false, true}) {
        Scenario s = prepare();
        makeFolders(s.mainDir);
        writeFile(s.mainDir + "\\DAD.exe", "dad-old");
        if (cancel)
            setControl(s, "cancel_at", "100");
        HANDLE lock = CreateFileA((s.mainDir + "\\DAD.exe").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        runEngine(s, {}, cancel);
        CloseHandle(lock);
        expect(readFile(s.mainDir + "\\DAD.exe") == std::string("dad-old"),
               "in use: file left alone for now");
        std::string pending;
        for (const auto& name : namesIn(s.mainDir))
            if (name.rfind("zup", 0) == 0)
                pending = name;
        if (!cancel) {
            expect(rcOf(s) == "0", "in use: rc 0", rcOf(s));
            expect(profileGet(s.ini, "exit", "RESTART") == "Y", "in use: RESTART=Y");
            expect(!messagesOf(zov::msg::RebootRequest).empty(), "in use: reboot requested from the frame");
            expect(!pending.empty() && readFile(s.mainDir + "\\" + pending) == std::string("dad-new"),
                   "in use: the new file waits beside it");
            std::string renames =
                registryString(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager",
                               "PendingFileRenameOperations");
            expect(!pending.empty() && renames.find(pending) != std::string::npos,
                   "in use: replacement scheduled for the restart");
        } else {
            expect(rcOf(s) == "3" && pending.empty(), "in use, cancelled: the waiting copy removed");
            expect(profileGet(s.ini, "exit", "RESTART") == "<absent>", "in use, cancelled: no restart");
        }
    }
}

void engineEdgeCases() {
    {
        Scenario s = prepare();
        setControl(s, "crash", "1");
        auto code = runEngine(s, {}, true);
        expect(code && *code == 0xC0000005u, "crash=1: access violation");
        expect(rcOf(s) == "<absent>", "crash=1: no rc");
    }
    {
        Scenario s = prepare(true, false);
        runEngine(s);
        expect(rcOf(s) == "5", "no payload: rc 5 (missing components)", rcOf(s));
    }
    {
        Scenario s = prepare();
        profilePut(s.ini, "enter", "MAINDIR", "relative\\folder");
        runEngine(s);
        expect(rcOf(s) == "E", "relative MAINDIR: error result", rcOf(s));
    }
    for (const char* handle : {"0", "65535"}) {
        // No frame at all, and the broadcast handle, which would send every report to
        // every top-level window. (Wine does not pass such broadcasts on, so here only
        // the outcome is visible.)
        Scenario s = prepare();
        profilePut(s.ini, "enter", "FRAMEHWND", handle);
        runEngine(s);
        expect(rcOf(s) == "0" && exists(s.mainDir + "\\wzov.exe") && gFrameLog.empty(),
               std::string("FRAMEHWND ") + handle + ": installs, reporting to no one");
    }
}

// ---- the stand-in client --------------------------------------------------------------

std::string gClientDir;

std::string clientMarker() {
    return gClientDir + "wzov.started";
}

Process startClient(const std::string& arguments) {
    DeleteFileA(clientMarker().c_str());
    Process client = start(gClientDir + "wzov.exe", arguments);
    waitFor([] { return exists(clientMarker()); }, 10000);
    return client;
}

void clientAnswersAndExits() {
    Process client = startClient("");
    expect(exists(clientMarker()), "client: marker written");
    HWND control = windowOf(client.id, "_ZOV_EXAPI");
    HWND frame = FindWindowA("ZOV Frame", "ZOV");
    expect(control != nullptr && frame != nullptr, "client: control window and frame");
    expect(mutexPresent("Global\\_ZOV_AppMutex"), "client: holds its mutex");
    DWORD_PTR bits = 0, poll = 7;
    SendMessageTimeoutA(control, zov::msg::ClientQueryBits, 0, 0, SMTO_NORMAL, 5000, &bits);
    SendMessageTimeoutA(control, zov::msg::ClientPoll, 0, 0, SMTO_NORMAL, 5000, &poll);
    expect(LOWORD(bits) == 32 && poll == 0, "client: 32-bit, poll answers 0");

    Process second = start(gClientDir + "wzov.exe", "");
    auto secondCode = second.finish(10000);
    expect(secondCode && *secondCode == 0 && client.running(),
           "client: a second start leaves the first running");

    PostMessageA(control, zov::msg::ClientShutdown, 0, 0);
    auto code = client.finish(10000);
    expect(code && *code == 0, "client: exits on 3623");
    expect(!mutexPresent("Global\\_ZOV_AppMutex") && !IsWindow(control), "client: mutex and windows gone");
}

void clientOptions() {
    {
        Process client = startClient("-16bit");
        DWORD_PTR bits = 0;
        SendMessageTimeoutA(windowOf(client.id, "_ZOV_EXAPI"), zov::msg::ClientQueryBits, 0, 0, SMTO_NORMAL,
                            5000, &bits);
        expect(LOWORD(bits) == 16, "client -16bit: answers 16");
        client.end();
    }
    {
        Process client = startClient("-exitdelay 800");
        HWND control = windowOf(client.id, "_ZOV_EXAPI");
        DWORD started = GetTickCount();
        PostMessageA(control, zov::msg::ClientShutdown, 0, 0);
        pumpFor(300);
        DWORD_PTR poll = 0;
        SendMessageTimeoutA(control, zov::msg::ClientPoll, 0, 0, SMTO_NORMAL, 5000, &poll);
        expect(client.running() && poll == 1, "client -exitdelay: still there, polls say leaving");
        auto code = client.finish(10000);
        expect(code && GetTickCount() - started >= 700, "client -exitdelay: gone after the delay");
    }
    {
        Process client = startClient("-noexit");
        PostMessageA(windowOf(client.id, "_ZOV_EXAPI"), zov::msg::ClientShutdown, 0, 0);
        pumpFor(700);
        expect(client.running(), "client -noexit: ignores 3623");
        client.end();
    }
}

std::optional<std::string> askPipe(std::uint32_t command) {
    // The server makes its next instance only after answering the last client, and a wait on
    // a pipe with no instance fails at once: keep trying for a while, as a client would.
    HANDLE pipe = INVALID_HANDLE_VALUE;
    for (DWORD started = GetTickCount(); pipe == INVALID_HANDLE_VALUE && GetTickCount() - started < 10000;) {
        if (WaitNamedPipeA("\\\\.\\Pipe\\ZOV", 1000))
            pipe = CreateFileA("\\\\.\\Pipe\\ZOV", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                               nullptr);
        if (pipe == INVALID_HANDLE_VALUE)
            Sleep(50);
    }
    if (pipe == INVALID_HANDLE_VALUE)
        return std::nullopt;
    DWORD mode = PIPE_READMODE_MESSAGE;
    SetNamedPipeHandleState(pipe, &mode, nullptr, nullptr);
    std::string request = pipeRequest(command);
    DWORD count = 0;
    std::optional<std::string> reply;
    if (WriteFile(pipe, request.data(), static_cast<DWORD>(request.size()), &count, nullptr)) {
        char buffer[kPipeMessageMax] = {};
        if (ReadFile(pipe, buffer, sizeof buffer, &count, nullptr))
            reply = std::string(buffer, count);
    }
    CloseHandle(pipe);
    return reply;
}

void clientVariantServesPipe() {
    Process client = startClient("-variant -apptitle \"ZOV Toolbar\" -username Tester");
    expect(mutexPresent("Global\\_ZOVT_AppMutex") && !mutexPresent("Global\\_ZOV_AppMutex"),
           "variant: holds _ZOVT_AppMutex only");
    expect(windowOf(client.id, "ZOV Frame") == nullptr && windowOf(client.id, "_ZOV_EXAPI") == nullptr,
           "variant: none of the client's windows");
    expect(askPipe(0) == std::string("Tester", 7), "variant pipe: command 0 gives the user name and a NUL");
    expect(askPipe(3) == std::string("ZOV Toolbar", 12), "variant pipe: command 3 gives the title and a NUL");
    expect(askPipe(7) == std::string(), "variant pipe: other commands get an empty reply");
    PostMessageA(windowOf(client.id, "_ZOVT_EXAPI"), zov::msg::ClientShutdown, 0, 0);
    expect(client.finish(10000).has_value() && !mutexPresent("Global\\_ZOVT_AppMutex"),
           "variant: exits on 3623");
}

void clientPlaysTheOtherSigns() {
    Process sibling = startClient("-sibling -apptitle Quillstone");
    expect(mutexPresent("Global\\_Qtm_AppMutex") && !mutexPresent("Global\\_ZOV_AppMutex"),
           "sibling: holds _Qtm_AppMutex only");
    expect(askPipe(3) == std::string("Quillstone", 11), "sibling pipe: command 3 gives the title");
    PostMessageA(windowOf(sibling.id, "_ZOVT_EXAPI"), zov::msg::ClientShutdown, 0, 0);
    expect(sibling.finish(10000).has_value() && !mutexPresent("Global\\_Qtm_AppMutex"),
           "sibling: exits on 3623");

    Process uninstaller = startClient("-uninstaller");
    HWND window = windowOf(uninstaller.id, "GLBSInstall");
    char title[64] = {};
    GetWindowTextA(window, title, sizeof title);
    expect(mutexPresent("Global\\ZOVUninst") && std::string(title) == "Uninstall ZOV" &&
               windowOf(uninstaller.id, "ZOV Frame") == nullptr,
           "uninstaller: ZOVUninst and its window titled Uninstall ZOV", title);
    PostMessageA(window, WM_CLOSE, 0, 0);
    expect(uninstaller.finish(10000).has_value() && !mutexPresent("Global\\ZOVUninst"),
           "uninstaller: exits when its window closes");
}

void launcherStartsClient() {
    DeleteFileA(clientMarker().c_str());
    DWORD started = GetTickCount();
    Process dad = start(gClientDir + "DAD.exe", "");
    bool splash = waitFor([&] { return windowOf(dad.id, "_ZOV_Splash") != nullptr; }, 5000);
    expect(splash, "DAD: splash window shown");
    auto code = dad.finish(15000);
    expect(code && *code == 0 && GetTickCount() - started >= 1200, "DAD: exits 0 after the splash");
    expect(waitFor([] { return exists(clientMarker()); }, 10000), "DAD: started wzov.exe");
    HWND control = nullptr;
    waitFor([&] { return (control = FindWindowA("_ZOV_EXAPI", nullptr)) != nullptr; }, 5000);
    PostMessageA(control, zov::msg::ClientShutdown, 0, 0);
    waitFor([] { return !mutexPresent("Global\\_ZOV_AppMutex"); }, 10000);

    std::string lonely = gScratch + "lonely\\";
    makeFolders(lonely);
    CopyFileA((gBin + "DAD.exe").c_str(), (lonely + "DAD.exe").c_str(), FALSE);
    Process alone = start(lonely + "DAD.exe", "");
    auto aloneCode = alone.finish(15000);
    expect(aloneCode && *aloneCode != 0, "DAD without wzov.exe: reports the failure");
}

// ---- Trace Monitor --------------------------------------------------------------------

bool sendLine(HWND monitor, WPARAM sender, const void* data, DWORD size, UINT timeout = 5000) {
    COPYDATASTRUCT record = {0, size, const_cast<void*>(data)};
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(monitor, WM_COPYDATA, sender, reinterpret_cast<LPARAM>(&record), SMTO_NORMAL,
                               timeout, &result) != 0;
}

bool sendText(HWND monitor, const std::string& text, WPARAM sender = 0, UINT timeout = 5000) {
    return sendLine(monitor, sender, text.c_str(), static_cast<DWORD>(text.size() + 1), timeout);
}

struct Monitor {
    Process process;
    HWND window = nullptr;
    std::string output;
};

Monitor startMonitor(const std::string& name, const std::string& options) {
    Monitor m;
    m.output = gScratch + name;
    DeleteFileA(m.output.c_str());
    m.process = start(gBin + "tracemon.exe", "-o \"" + m.output + "\" " + options);
    waitFor([&] { return (m.window = windowOf(m.process.id, "ZOVTraceMonitor")) != nullptr; }, 30000);
    return m;
}

void monitorRecordsLines() {
    Monitor m = startMonitor("trace1.txt", "-with-sender");
    char title[64] = {};
    GetWindowTextA(m.window, title, sizeof title);
    expect(std::string(title) == "Trace Monitor" && FindWindowA(nullptr, "Trace Monitor") == m.window,
           "tracemon: findable by its title");
    sendText(m.window, "Tracer Sender Window Created");
    sendText(m.window, "CComponent::Cleanup()\n", 1234);
    sendLine(m.window, 0, "abcdef", 3);      // no NUL within cbData
    sendLine(m.window, 0, nullptr, 0);       // nothing at all
    sendLine(m.window, 0, "in\0hidden", 10); // stops at the NUL
    expect(readFile(m.output) ==
               std::string("0\tTracer Sender Window Created\r\n1234\tCComponent::Cleanup()\r\n"
                           "0\tabc\r\n0\t\r\n0\tin\r\n"),
           "tracemon: one line per message, bounded by cbData", readFile(m.output).value_or("<none>"));
    PostMessageA(m.window, WM_CLOSE, 0, 0);
    expect(m.process.finish(10000).has_value(), "tracemon: closes");
}

void monitorOptions() {
    {
        Monitor m = startMonitor("trace2.txt", "-raw -exit-after 2");
        sendText(m.window, "one\n");
        sendText(m.window, "two");
        expect(m.process.finish(10000).has_value(), "tracemon -exit-after 2: gone after two lines");
        expect(readFile(m.output) == std::string("one\n\r\ntwo\r\n"), "tracemon -raw: line ends kept");
    }
    {
        Monitor m = startMonitor("trace3.txt", "-hang-after 1");
        bool first = sendText(m.window, "answered");
        bool second = sendText(m.window, "never answered", 0, 1500);
        expect(first && !second, "tracemon -hang-after 1: stops answering after one line");
        expect(readFile(m.output) == std::string("answered\r\n"),
               "tracemon -hang-after 1: one line recorded");
        m.process.end();
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: toolcheck <folder of the tools>\n");
        return 2;
    }
    gBin = argv[1];
    if (gBin.back() != '\\')
        gBin.push_back('\\');

    char temp[MAX_PATH + 1] = {};
    GetTempPathA(sizeof temp, temp);
    gScratch = std::string(temp) + "toolcheck." + std::to_string(GetCurrentProcessId()) + "\\";
    gTemp = gScratch + "temp\\";
    makeFolders(gTemp);
    // The engine finds install.ini and progupd.dll through the temporary folder.
    SetEnvironmentVariableA("TMP", gTemp.c_str());
    SetEnvironmentVariableA("TEMP", gTemp.c_str());

    WNDCLASSA frameClass = {};
    frameClass.lpfnWndProc = frameProc;
    frameClass.hInstance = GetModuleHandleA(nullptr);
    frameClass.lpszClassName = "ToolcheckFrame";
    RegisterClassA(&frameClass);
    gFrame = CreateWindowExA(0, "ToolcheckFrame", "toolcheck frame", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                             nullptr, nullptr, frameClass.hInstance, nullptr);

    engineInstallsPayload();
    engineRollsBackWhenTheFrameCancels();
    engineRollsBackAtControlledCancel();
    engineWorksWithoutProgressModule();
    engineFollowsResultControls();
    engineRecordsWhatReachedIt();
    engineRestartAndPhase();
    engineDiskSpaceCheckpoint();
    engineMessageBox();
    engineReplacesFileInUse();
    engineEdgeCases();

    gClientDir = gScratch + "client\\";
    makeFolders(gClientDir);
    CopyFileA((gBin + "wzov.exe").c_str(), (gClientDir + "wzov.exe").c_str(), FALSE);
    CopyFileA((gBin + "DAD.exe").c_str(), (gClientDir + "DAD.exe").c_str(), FALSE);
    clientAnswersAndExits();
    clientOptions();
    clientVariantServesPipe();
    clientPlaysTheOtherSigns();
    launcherStartsClient();

    monitorRecordsLines();
    monitorOptions();

    DestroyWindow(gFrame);
    removeTree(gScratch.substr(0, gScratch.size() - 1));
    std::printf("%d passed, %d failed\n", gPassed, gFailed);
    return gFailed == 0 ? 0 : 1;
}
