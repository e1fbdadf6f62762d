// comp01: the install engine. Started by setup.exe as "comp01.000" from the CD, it
// copies the payload beside it into MAINDIR, reports progress through progupd.dll,
// registers the installed client and leaves its result in install.ini.
//
// It also stays with the client as its uninstaller, "uninst.exe", which the system's list of
// programs starts as `uninst.exe -uninstall "<client folder>"`.
//
// Nothing here depends on the engine's own file name or extension. The only channels
// back to the setup are install.ini and the frame's window messages; the process exit
// code is always 0.
#include "common/library_search.h"
#include "common/client_db_writer.h"
#include "common/engine_logic.h"
#include "common/program_args.h"
#include "common/sign_window.h"
#include "progupd/progupd.h"
#include "protocol/contract.h"

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace zov::tools;

namespace {

constexpr DWORD kValueBuffer = 2048;

// The profile functions are the only way the engine touches its INI files.
class Profile {
  public:
    explicit Profile(std::string path) : path_(std::move(path)) {}
    const std::string& path() const { return path_; }

    std::string get(const char* section, const char* key, DWORD bufferSize = kValueBuffer) const {
        std::vector<char> buffer(bufferSize, '\0');
        DWORD n = GetPrivateProfileStringA(section, key, "", buffer.data(), bufferSize, path_.c_str());
        return std::string(buffer.data(), std::min<DWORD>(n, bufferSize - 1));
    }
    void put(const char* section, const char* key, const std::string& value) const {
        WritePrivateProfileStringA(section, key, value.c_str(), path_.c_str());
    }
    void remove(const char* section, const char* key) const {
        WritePrivateProfileStringA(section, key, nullptr, path_.c_str());
    }
    void put(const char* section, const char* key, unsigned long long value) const {
        put(section, key, std::to_string(value));
    }
    // Key names of a section in file order.
    std::vector<std::string> keys(const char* section) const {
        for (DWORD size = 4096; size <= (1u << 20); size *= 4) {
            std::vector<char> buffer(size, '\0');
            DWORD n = GetPrivateProfileStringA(section, nullptr, "", buffer.data(), size, path_.c_str());
            if (n + 2 >= size)
                continue; // cut short: try a bigger buffer
            std::vector<std::string> names;
            for (const char* p = buffer.data(); *p != '\0'; p += std::strlen(p) + 1)
                names.emplace_back(p);
            return names;
        }
        return {};
    }
    void flush() const { WritePrivateProfileStringA(nullptr, nullptr, nullptr, path_.c_str()); }

  private:
    std::string path_;
};

std::string tempFolder() {
    char buffer[MAX_PATH + 1] = {};
    DWORD n = GetTempPathA(sizeof buffer, buffer);
    if (n == 0 || n >= sizeof buffer)
        return {};
    std::string folder(buffer, n);
    if (folder.back() != '\\')
        folder.push_back('\\');
    return folder;
}

// The running program's full path, whatever the file is called ("comp01.000" on the CD).
std::string ownPath() {
    std::vector<char> buffer(MAX_PATH, '\0');
    for (;;) {
        DWORD n = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0)
            return {};
        if (n < buffer.size())
            return std::string(buffer.data(), n);
        if (buffer.size() >= 32768)
            return {};
        buffer.resize(buffer.size() * 2);
    }
}

// The folder of the running program, with its trailing backslash.
std::string ownFolder() {
    std::string path = ownPath();
    return path.substr(0, path.find_last_of('\\') + 1);
}

bool isDirectory(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool fileExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::string folderOf(const std::string& path) {
    auto slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// Every file below `root`, sorted so that runs are repeatable whatever order the file
// system lists them in.
void collectPayload(const std::string& root, const std::string& relative, std::vector<PayloadFile>& files) {
    std::string pattern = joinPath(relative.empty() ? root : joinPath(root, relative), "*");
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        std::string child = relative.empty() ? name : joinPath(relative, name);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            collectPayload(root, child, files);
        else
            files.push_back(
                {child, (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow});
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

bool isInUseError(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
           error == ERROR_USER_MAPPED_FILE;
}

// A fresh, empty file in `folder` to copy into; "" when none can be made.
std::string uniqueFileIn(const std::string& folder, const char* prefix) {
    char buffer[MAX_PATH + 1] = {};
    if (GetTempFileNameA(folder.c_str(), prefix, 0, buffer) == 0)
        return {};
    return buffer;
}

void appendToFile(const std::string& path, const std::string& text) {
    HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

template <typename Fn> Fn lookUp(HMODULE module, const char* name) {
    // The detour through void(*)() is the one function-pointer cast the compiler accepts
    // as deliberate.
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// progupd.dll from the temporary folder; every call is a no-op when it could not be loaded.
class ProgressModule {
  public:
    bool load(const std::string& path) {
        module_ = LoadLibraryA(path.c_str());
        if (module_ == nullptr)
            return false;
        namespace p = zov::tools::progupd;
        init_ = lookUp<p::InitProgressFn>(module_, "InitProgress");
        show_ = lookUp<p::ShowProgressFn>(module_, "ShowProgress");
        update_ = lookUp<p::UpdateProgressFn>(module_, "UpdateProgress");
        kill_ = lookUp<p::KillProgressFn>(module_, "KillProgress");
        reboot_ = lookUp<p::SetRebootFn>(module_, "SetReboot");
        phase_ = lookUp<p::SetInstallPhaseFn>(module_, "SetInstallPhase");
        if (!init_ || !show_ || !update_ || !kill_ || !reboot_ || !phase_) {
            unload();
            return false;
        }
        return true;
    }
    void unload() {
        if (module_ != nullptr)
            FreeLibrary(module_);
        module_ = nullptr;
        init_ = nullptr;
    }
    bool loaded() const { return init_ != nullptr; }

    void init(HWND frame) {
        if (loaded())
            init_(frame);
    }
    void show(int wParam, int lParam) {
        if (loaded())
            show_(wParam, lParam);
    }
    bool update(int kind, int percent) { return loaded() && update_(kind, percent) != 0; }
    void kill() {
        if (loaded())
            kill_();
    }
    void reboot() {
        if (loaded())
            reboot_();
    }
    void phase(int value) {
        if (loaded())
            phase_(value);
    }

  private:
    HMODULE module_ = nullptr;
    zov::tools::progupd::InitProgressFn init_ = nullptr;
    zov::tools::progupd::ShowProgressFn show_ = nullptr;
    zov::tools::progupd::UpdateProgressFn update_ = nullptr;
    zov::tools::progupd::KillProgressFn kill_ = nullptr;
    zov::tools::progupd::SetRebootFn reboot_ = nullptr;
    zov::tools::progupd::SetInstallPhaseFn phase_ = nullptr;
};

DWORD WINAPI engineBoxThread(LPVOID) {
    MessageBoxA(nullptr, "ZOV is preparing your computer for the new software.", "ZOV",
                MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
    return 0;
}

// Loads a COM server by its full path and calls one of its entry points without arguments.
void callServerEntry(const std::string& path, const char* entry) {
    if (!fileExists(path))
        return;
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (module == nullptr)
        return;
    if (auto call = lookUp<HRESULT(WINAPI*)()>(module, entry))
        call();
    FreeLibrary(module);
}

void setMachineString(const char* keyPath, const char* name, const std::string& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
}

// (RegQueryValueExA rather than RegGetValueA, which systems before Vista lack.)
std::string machineString(const char* keyPath, const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return {};
    char buffer[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH; // one byte short: a value stored without its NUL still ends in one
    DWORD type = 0;
    const LONG status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ)
        return {};
    return std::string(buffer, strnlen(buffer, MAX_PATH));
}

void deleteMachineValue(const char* keyPath, const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    RegDeleteValueA(key, name);
    RegCloseKey(key);
}

// Where the client's folder is registered; "" when the system folder cannot be named.
std::string winIniPath() {
    char windows[MAX_PATH + 1] = {};
    UINT n = GetWindowsDirectoryA(windows, MAX_PATH);
    return n > 0 && n < MAX_PATH ? joinPath(std::string(windows, n), "win.ini") : std::string();
}

struct ClientPathValue {
    const char* key;
    const char* name;
};
constexpr ClientPathValue kClientPathValues[] = {
    {"Software\\Velquonet\\Velquonet\\CurrentVersion", "Apppath"},
    {"Software\\Velquonet\\Velquonet", "LastRegisteredAppPath"},
};

constexpr const char* kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZOV";
constexpr const char* kUninstaller = "uninst.exe";
// What the install put into the client folder, one relative path a key of [files]: all the
// uninstaller removes (the client's own later files stay, and with them the folder).
constexpr const char* kUninstallRecord = "uninst.ini";

[[noreturn]] void crashOnPurpose() {
    // A real access violation, not a trap the compiler might put in its place; and no
    // crash dialog waiting for a person.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    volatile std::uintptr_t address = 0;
    *reinterpret_cast<volatile int*>(address) = 1;
    ExitProcess(0xC0000005u);
}

class Engine {
  public:
    void run();

  private:
    EngineControl loadControl() const;
    void record(const std::string& path) const;
    const char* install();
    const char* copyPayload(const std::string& payloadRoot, const std::vector<PayloadFile>& files,
                            std::uint64_t totalBytes);
    enum class CopyResult { Done, InUseScheduled, InUseFailed, Failed };
    CopyResult copyOne(const std::string& source, const std::string& target);
    bool ensureFolder(const std::string& folder);
    bool reportMain(int percent); // true: stop and roll back
    void rollBack();
    void commit();
    void registerClient() const;
    void writeClientDatabase() const;
    void registerUninstaller() const;
    bool frameSaysStop(UINT message) const;
    void showEngineBox() const;
    void holdUntilReleased() const;
    void timeRoundTrips(const std::string& path);

    Profile ini_{""};
    EngineControl control_;
    ProgressModule progress_;
    HWND frame_ = nullptr;
    std::string mainDir_;
    std::vector<PayloadFile> installed_;
    InstallJournal journal_;
    bool restartNeeded_ = false;
    std::size_t held_ = 0; // hold points passed
};

EngineControl Engine::loadControl() const {
#ifndef ZOV_TEST_HOOKS
    // The engine on a release CD does what it is for, whatever the environment says.
    return {};
#else
    char path[MAX_PATH + 1] = {};
    DWORD n = GetEnvironmentVariableA("ZOV_ENGINE_CONTROL", path, sizeof path);
    if (n == 0 || n >= sizeof path)
        return {};
    // The profile functions look for a bare name in the Windows folder, not here.
    char full[MAX_PATH + 1] = {};
    DWORD m = GetFullPathNameA(path, sizeof full, full, nullptr);
    if (m == 0 || m >= sizeof full)
        return {};
    Profile control(full);
    return readControl([&](const char* key) { return control.get("control", key); });
#endif
}

void Engine::record(const std::string& path) const {
    std::vector<std::pair<std::string, std::string>> enter;
    for (const auto& key : ini_.keys("enter"))
        enter.emplace_back(key, ini_.get("enter", key.c_str()));
    appendToFile(path, recordBlock(GetCommandLineA(), enter));
}

void Engine::run() {
    ini_ = Profile(tempFolder() + "install.ini");
    control_ = loadControl();
    if (!control_.record.empty())
        record(control_.record);

    mainDir_ = normalizeFolder(ini_.get("enter", "MAINDIR", MAX_PATH));
    frame_ = reinterpret_cast<HWND>(parseFrameHandle(ini_.get("enter", "FRAMEHWND")));
    if (frame_ != nullptr && !IsWindow(frame_))
        frame_ = nullptr;

    std::string dllPath = tempFolder() + "progupd.dll";
    if (progress_.load(dllPath))
        ini_.put("DLLs", "progress.dll", dllPath);
    if (control_.holdAtStart)
        holdUntilReleased();
    progress_.init(frame_);
    progress_.show(0, 0);
    if (control_.phase)
        progress_.phase(*control_.phase);
    if (control_.crash)
        crashOnPurpose();
    if (!control_.roundTrips.empty())
        timeRoundTrips(control_.roundTrips);

    const char* outcome = control_.skipInstall ? rc::Success : install();

    if (control_.restart)
        restartNeeded_ = true;
    if (restartNeeded_) {
        ini_.put("exit", "RESTART", "Y");
        progress_.reboot();
    }
    if (control_.delayMs > 0)
        Sleep(control_.delayMs);
    progress_.kill();

    if (control_.result)
        ini_.put("exit", "rc", *control_.result);
    else if (!control_.noResult)
        ini_.put("exit", "rc", outcome);
    ini_.flush();
    progress_.unload();
}

bool Engine::frameSaysStop(UINT message) const {
    if (frame_ == nullptr)
        return false;
    // Plain SendMessage: behind these messages a person is deciding, for as long as it takes.
    LRESULT reply = SendMessageA(frame_, message, 0, 0);
    return reply == reinterpret_cast<LRESULT>(frame_);
}

void Engine::showEngineBox() const {
    // Nobody could answer a box the frame is not told about.
    if (frame_ == nullptr)
        return;
    HANDLE thread = CreateThread(nullptr, 0, engineBoxThread, nullptr, 0, nullptr);
    if (thread == nullptr)
        return;
    SendMessageA(frame_, zov::msg::WaitEngineBox, 0, 0);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

// Sends a burst of 0 % reports, each as soon as the last was answered, and writes how long
// the frame took to answer them: a frame that only looks at its messages now and then makes
// every report wait for its next look.
void Engine::timeRoundTrips(const std::string& path) {
    constexpr int kReports = 20;
    LARGE_INTEGER frequency = {}, before = {}, after = {};
    QueryPerformanceFrequency(&frequency);
    std::vector<double> milliseconds;
    for (int n = 0; n < kReports && frame_ != nullptr && progress_.loaded(); ++n) {
        QueryPerformanceCounter(&before);
        progress_.update(0, 0);
        QueryPerformanceCounter(&after);
        milliseconds.push_back(1000.0 * static_cast<double>(after.QuadPart - before.QuadPart) /
                               static_cast<double>(frequency.QuadPart));
    }
    std::sort(milliseconds.begin(), milliseconds.end());
    char text[128];
    std::snprintf(text, sizeof text, "reports=%zu\r\nmedian_ms=%.3f\r\nslowest_ms=%.3f\r\n",
                  milliseconds.size(), milliseconds.empty() ? 0.0 : milliseconds[milliseconds.size() / 2],
                  milliseconds.empty() ? 0.0 : milliseconds.back());
    appendToFile(path, text);
}

const char* Engine::install() {
    if (!isDriveRootedPath(mainDir_))
        return rc::Error;

    std::string payloadRoot = ownFolder() + "payload";
    std::vector<PayloadFile> files;
    if (isDirectory(payloadRoot))
        collectPayload(payloadRoot, "", files);
    if (files.empty())
        return rc::MissingComponents;
    std::sort(files.begin(), files.end(),
              [](const PayloadFile& a, const PayloadFile& b) { return a.relative < b.relative; });

    InstallSizes sizes = installSizesFor(files);
    SystemSizes system = systemSizes();
    ini_.put("install sizes", "base", sizes.base);
    ini_.put("install sizes", "noncore", sizes.noncore);
    ini_.put("install sizes", "netfiles", sizes.netfiles);
    ini_.put("install sizes", "browseralt", sizes.browseralt);
    ini_.put("install sizes", "other", sizes.other);
    ini_.put("system sizes", "basesys", system.basesys);
    ini_.put("system sizes", "noncoresys", system.noncoresys);
    ini_.put("system sizes", "netfiles", system.netfiles);
    ini_.put("system sizes", "browsersys", system.browsersys);
    ini_.put("system sizes", "upgrade", system.upgrade);
    ini_.put("system sizes", "download", system.download);
    ini_.put("system sizes", "other", system.other);

    char systemFolder[MAX_PATH + 1] = {};
    UINT n = GetSystemDirectoryA(systemFolder, sizeof systemFolder);
    bool sameDrive = n > 0 && n < sizeof systemFolder &&
                     std::toupper(static_cast<unsigned char>(systemFolder[0])) ==
                         std::toupper(static_cast<unsigned char>(mainDir_[0]));
    std::string root = mainDir_.substr(0, 3);
    ULARGE_INTEGER available = {};
    // A drive that cannot be measured counts as full, as it does for the setup.
    std::uint64_t freeKb =
        GetDiskFreeSpaceExA(root.c_str(), &available, nullptr, nullptr) ? available.QuadPart / 1024 : 0;
    if (freeKb < requiredKilobytes(sizes, system, sameDrive))
        return rc::DiskSpace;

    if (control_.diskFail && frameSaysStop(zov::msg::DiskSpaceFail))
        return rc::Cancel;
    if (control_.engineBox)
        showEngineBox();

    std::uint64_t totalBytes = 0;
    for (const auto& file : files)
        totalBytes += file.bytes;
    if (const char* failure = copyPayload(payloadRoot, files, totalBytes)) {
        rollBack();
        return failure;
    }
    commit();
    installed_ = files;

    // The registration runs behind the secondary bar; there is no way back from here.
    progress_.show(1, 1);
    progress_.update(1, 30);
    registerClient();
    progress_.update(1, 100);
    progress_.show(1, 0);
    return rc::Success;
}

bool Engine::reportMain(int percent) {
    bool cancelled = progress_.update(0, percent);
    if (control_.cancelAt && percent >= *control_.cancelAt)
        cancelled = true;
    if (held_ < control_.holdAt.size() && percent >= control_.holdAt[held_]) {
        while (held_ < control_.holdAt.size() && percent >= control_.holdAt[held_])
            ++held_;
        holdUntilReleased();
    }
    return cancelled;
}

void Engine::holdUntilReleased() const {
    for (unsigned waited = 0; waited < zov::tools::kMaxControlDelayMs; waited += 50) {
        if (GetFileAttributesA(control_.holdFile.c_str()) != INVALID_FILE_ATTRIBUTES) {
            DeleteFileA(control_.holdFile.c_str());
            return;
        }
        Sleep(50);
    }
}

const char* Engine::copyPayload(const std::string& payloadRoot, const std::vector<PayloadFile>& files,
                                std::uint64_t totalBytes) {
    if (reportMain(0))
        return rc::Cancel;
    std::uint64_t doneBytes = 0;
    int lastPercent = 0;
    for (const auto& file : files) {
        std::string target = joinPath(mainDir_, file.relative);
        if (!ensureFolder(folderOf(target)))
            return rc::Error;
        switch (copyOne(joinPath(payloadRoot, file.relative), target)) {
        case CopyResult::Done:
        case CopyResult::InUseScheduled:
            break;
        case CopyResult::InUseFailed:
            return rc::FilesInUse;
        case CopyResult::Failed:
            return rc::Error;
        }
        doneBytes += file.bytes;
        int percent = percentOf(doneBytes, totalBytes);
        // The last file reports 100 below, after everything else is in place.
        if (percent >= 100)
            percent = 99;
        if (percent != lastPercent && reportMain(percent))
            return rc::Cancel;
        lastPercent = percent;
    }
    return reportMain(100) ? rc::Cancel : nullptr;
}

bool Engine::ensureFolder(const std::string& folder) {
    for (const auto& missing : foldersToCreate(folder, isDirectory)) {
        if (!CreateDirectoryA(missing.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
        journal_.createdDirectory(missing);
    }
    return true;
}

Engine::CopyResult Engine::copyOne(const std::string& source, const std::string& target) {
    if (!fileExists(target)) {
        // Journalled first: a copy that fails half-way must not leave its part behind.
        journal_.createdFile(target);
        if (CopyFileA(source.c_str(), target.c_str(), TRUE))
            return CopyResult::Done;
        DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS)
            journal_.dropLast(); // someone else's file appeared meanwhile: not ours to delete
        return CopyResult::Failed;
    }

    std::string folder = folderOf(target);
    std::string backup = uniqueFileIn(folder, "zbk");
    if (backup.empty())
        return CopyResult::Failed;
    if (!CopyFileA(target.c_str(), backup.c_str(), FALSE)) {
        // A file locked even against reading is in use all the same.
        DWORD error = GetLastError();
        DeleteFileA(backup.c_str());
        if (!isInUseError(error))
            return CopyResult::Failed;
    } else {
        // From here on a failed or cancelled run puts the old contents back.
        journal_.replacedFile(target, backup);
        SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (CopyFileA(source.c_str(), target.c_str(), FALSE))
            return CopyResult::Done;
        DWORD error = GetLastError();
        if (!isInUseError(error))
            return CopyResult::Failed;
        // The target was never touched: forget the backup.
        journal_.dropLast();
        DeleteFileA(backup.c_str());
    }

    // In use: the new file waits beside it and takes its place at the next restart.
    std::string pending = uniqueFileIn(folder, "zup");
    if (pending.empty())
        return CopyResult::InUseFailed;
    journal_.pendingReplacement(pending);
    if (!CopyFileA(source.c_str(), pending.c_str(), FALSE) ||
        !MoveFileExA(pending.c_str(), target.c_str(),
                     MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING))
        return CopyResult::InUseFailed;
    restartNeeded_ = true;
    return CopyResult::InUseScheduled;
}

void Engine::rollBack() {
    for (const auto& entry : journal_.undoOrder()) {
        switch (entry.kind) {
        case InstallJournal::Kind::CreatedFile:
        case InstallJournal::Kind::PendingReplacement:
            // A pending replacement whose file is gone does nothing at the restart.
            SetFileAttributesA(entry.path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(entry.path.c_str());
            break;
        case InstallJournal::Kind::ReplacedFile:
            if (!MoveFileExA(entry.backup.c_str(), entry.path.c_str(), MOVEFILE_REPLACE_EXISTING) &&
                CopyFileA(entry.backup.c_str(), entry.path.c_str(), FALSE))
                DeleteFileA(entry.backup.c_str());
            // Otherwise the backup stays where it is: better a stray file than lost data.
            break;
        case InstallJournal::Kind::CreatedDirectory:
            RemoveDirectoryA(entry.path.c_str());
            break;
        }
    }
    journal_ = InstallJournal();
    // Nothing of this run remains that would need a restart.
    restartNeeded_ = false;
}

void Engine::commit() {
    for (const auto& backup : journal_.backupsToDiscard())
        DeleteFileA(backup.c_str());
    journal_ = InstallJournal();
}

void Engine::registerClient() const {
    for (const ClientPathValue& v : kClientPathValues)
        setMachineString(v.key, v.name, mainDir_);

    // As an installed client has it: the next setup's start-up takes it for an upgrade.
    const std::string winIni = winIniPath();
    if (!winIni.empty()) {
        Profile profile(winIni);
        profile.put(zov::names::kClientWinIniSection, zov::names::kClientWinIniAppPath, mainDir_);
        profile.flush();
    }

    // Empty keys: the client keeps its data in its own folder.
    Profile appData(joinPath(mainDir_, "appdata.ini"));
    appData.put("appdata", "Common", "");
    appData.put("appdata", "Folder", "");
    appData.flush();

    writeClientDatabase();
    // The client's movie control is a COM server: registered where it was installed, under the
    // client's own class id, so that a later setup on this machine finds it first.
    callServerEntry(joinPath(mainDir_, "zovmovie.ocx"), "DllRegisterServer");
    registerUninstaller();
}

// This program stays as the client's uninstaller. An upgrade adds to the record of the
// install before it: what either installed goes with the client.
void Engine::registerUninstaller() const {
    const std::string uninstaller = joinPath(mainDir_, kUninstaller);
    if (!CopyFileA(ownPath().c_str(), uninstaller.c_str(), FALSE))
        return;
    Profile record(joinPath(mainDir_, kUninstallRecord));
    for (const auto& file : installed_)
        record.put("files", file.relative.c_str(), "1");
    for (const char* made : {"appdata.ini", "idb\\main.idx", kUninstaller, kUninstallRecord})
        record.put("files", made, "1");
    record.flush();
    setMachineString(kUninstallKey, "DisplayName", "ZOV 9.0");
    setMachineString(kUninstallKey, "InstallLocation", mainDir_);
    setMachineString(kUninstallKey, "UninstallString",
                     "\"" + uninstaller + "\" -uninstall \"" + mainDir_ + "\"");
}

// The client's main database, as a first start of the client would leave it: the next setup
// finds this client through it. An upgrade keeps the database the old client had.
void Engine::writeClientDatabase() const {
    const std::string idb = joinPath(mainDir_, "idb");
    const std::string path = joinPath(idb, "main.idx");
    if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)
        return;
    CreateDirectoryA(idb.c_str(), nullptr);
    std::string screenName = ini_.get("enter", "BRANDSN");
    std::vector<std::uint8_t> bytes = installedClientDatabase(screenName.empty() ? "ZOV Member" : screenName);
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    bool whole = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                 written == bytes.size();
    CloseHandle(file);
    if (!whole)
        DeleteFileA(path.c_str());
}

bool sameText(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) == CSTR_EQUAL;
}

void pumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&message);
}

// A file in use, the uninstaller that started this copy among them, gets a few seconds to be
// let go; after that it goes at the next restart.
void removeFile(const std::string& path) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (DeleteFileA(path.c_str()))
            return;
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return;
        if (error != ERROR_ACCESS_DENIED && !isInUseError(error))
            break;
        pumpMessages();
        Sleep(50);
    }
    MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

void removeClient(const std::string& folder) {
    // Only a control that names this file loses its registration.
    callServerEntry(joinPath(folder, "zovmovie.ocx"), "DllUnregisterServer");

    Profile record(joinPath(folder, kUninstallRecord));
    std::vector<std::string> files = record.keys("files");
    files.erase(
        std::remove_if(files.begin(), files.end(), [](const auto& f) { return !isInsideRelative(f); }),
        files.end());
    for (const auto& relative : files)
        removeFile(joinPath(folder, relative));
    // Every file is gone first, so each walk up takes whatever it empties; the rest stays.
    for (const auto& relative : files)
        for (std::string sub = folderOf(relative); !sub.empty(); sub = folderOf(sub))
            if (!RemoveDirectoryA(joinPath(folder, sub).c_str()))
                break;
    RemoveDirectoryA(folder.c_str());

    // The list of programs forgets the client only when it was this one; so do the records of
    // the client's folder, or the next setup would upgrade a client that is gone.
    auto names = [&](const std::string& value) { return sameText(normalizeFolder(value), folder); };
    if (names(machineString(kUninstallKey, "InstallLocation")))
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey);
    for (const ClientPathValue& v : kClientPathValues)
        if (names(machineString(v.key, v.name)))
            deleteMachineValue(v.key, v.name);
    const std::string winIni = winIniPath();
    if (!winIni.empty()) {
        Profile profile(winIni);
        if (names(profile.get(zov::names::kClientWinIniSection, zov::names::kClientWinIniAppPath))) {
            profile.remove(zov::names::kClientWinIniSection, zov::names::kClientWinIniAppPath);
            profile.flush();
        }
    }
}

// `uninst.exe -uninstall "<client folder>"`. Started from inside the folder it removes, it
// hands over to a copy of itself in the temporary folder, as a running program's file cannot go.
int uninstall(HINSTANCE instance, const std::string& given) {
    const std::string folder = normalizeFolder(given);
    if (!isDriveRootedPath(folder) || folder.size() <= 3 || !isDirectory(folder))
        return 1;
    const std::string self = ownPath();
    if (sameText(folderOf(self), folder)) {
        std::string copy = uniqueFileIn(tempFolder(), "zun");
        if (copy.empty() || !CopyFileA(self.c_str(), copy.c_str(), FALSE))
            return 1;
        std::string commandLine = "\"" + copy + "\" -uninstall \"" + folder + "\"";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        if (!CreateProcessA(copy.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            tempFolder().c_str(), &startup, &process)) {
            DeleteFileA(copy.c_str());
            return 1;
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return 0;
    }

    namespace n = zov::names;
    bool running = false;
    HANDLE mutex = holdMutexAlone(n::kUninstallerMutex, n::kUninstallerClass, running);
    if (mutex == nullptr)
        return running ? 0 : 1;
    HWND window = nullptr;
    if (registerWindowClass(n::kUninstallerClass, DefWindowProcA, instance)) {
        window = CreateWindowExA(0, n::kUninstallerClass, n::kUninstallerTitle, WS_OVERLAPPED | WS_CAPTION,
                                 CW_USEDEFAULT, CW_USEDEFAULT, 360, 120, nullptr, nullptr, instance, nullptr);
        if (window != nullptr)
            ShowWindow(window, SW_SHOWNORMAL);
    }
    removeClient(folder);
    if (window != nullptr)
        DestroyWindow(window);
    CloseHandle(mutex);
    if (sameText(folderOf(self), normalizeFolder(tempFolder())))
        MoveFileExA(self.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return 0;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    zov::tools::restrictLibrarySearch();
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    std::vector<std::string> args = programArguments();
    if (!args.empty() && (sameText(args[0], "-uninstall") || sameText(args[0], "/uninstall")))
        return uninstall(instance, args.size() > 1 ? args[1] : folderOf(ownPath()));
    Engine engine;
    engine.run();
    return 0;
}
