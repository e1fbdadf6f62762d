// Loads setup.exe as a library, looks up every NR_ and VR_ export by name and uses them on
// real files; then checks the browser port (WinINet cookies, the application-data folder,
// the one-step file replacement). Under Wine or on Windows; prints its results.
//   registry_exports_test.exe <folder holding setup.exe>
#include "platform/win32/win32_browsers.h"
#include "registry/registry.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace r = zov::reg;

static int passed = 0, failed = 0;

#define CHECK(cond)                                                                                          \
    do {                                                                                                     \
        if (cond) {                                                                                          \
            ++passed;                                                                                        \
        } else {                                                                                             \
            ++failed;                                                                                        \
            std::printf("FAIL %s:%d: %s\n", __FILE__, __LINE__, #cond);                                      \
            std::fflush(stdout);                                                                             \
        }                                                                                                    \
    } while (0)

// The exported name: plain in the x86_64 build, with the standard-call decoration in i686.
#if defined(_WIN64)
#define EXPORT_NAME(name, bytes) #name
#else
#define EXPORT_NAME(name, bytes) "_" #name "@" #bytes
#endif

namespace {

HMODULE setup = nullptr;
int missing = 0;

template <typename F> F lookup(const char* name) {
    F f = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(setup, name)));
    if (f == nullptr) {
        ++missing;
        std::printf("missing export %s\n", name);
    }
    return f;
}

#define FN(name, bytes, ...)                                                                                 \
    using name##_t = r::REGERR(WINAPI*)(__VA_ARGS__);                                                        \
    name##_t name = nullptr;
#define LOAD(name, bytes) name = lookup<name##_t>(EXPORT_NAME(name, bytes))

FN(NR_StartupRegistry, 0)
FN(NR_ShutdownRegistry, 0)
FN(NR_RegOpen, 8, const char*, r::HREG*)
FN(NR_RegClose, 4, r::HREG)
FN(NR_RegGetUsername, 4, char**)
FN(NR_RegSetUsername, 4, const char*)
FN(NR_RegIsWritable, 4, r::HREG)
FN(NR_RegAddKey, 16, r::HREG, r::RKEY, const char*, r::RKEY*)
FN(NR_RegAddKeyRaw, 16, r::HREG, r::RKEY, const char*, r::RKEY*)
FN(NR_RegDeleteKey, 12, r::HREG, r::RKEY, const char*)
FN(NR_RegDeleteKeyRaw, 12, r::HREG, r::RKEY, const char*)
FN(NR_RegGetKey, 16, r::HREG, r::RKEY, const char*, r::RKEY*)
FN(NR_RegGetKeyRaw, 16, r::HREG, r::RKEY, const char*, r::RKEY*)
FN(NR_RegGetEntryInfo, 16, r::HREG, r::RKEY, const char*, r::REGINFO*)
FN(NR_RegGetEntryString, 20, r::HREG, r::RKEY, const char*, char*, std::uint32_t)
FN(NR_RegGetEntry, 20, r::HREG, r::RKEY, const char*, void*, std::uint32_t*)
FN(NR_RegSetEntryString, 16, r::HREG, r::RKEY, const char*, const char*)
FN(NR_RegSetEntry, 24, r::HREG, r::RKEY, const char*, std::uint16_t, const void*, std::uint32_t)
FN(NR_RegDeleteEntry, 12, r::HREG, r::RKEY, const char*)
FN(NR_RegEnumSubkeys, 24, r::HREG, r::RKEY, r::REGENUM*, char*, std::uint32_t, std::uint32_t)
FN(NR_RegEnumEntries, 24, r::HREG, r::RKEY, r::REGENUM*, char*, std::uint32_t, r::REGINFO*)
FN(VR_CreateRegistry, 12, const char*, const char*, const char*)
FN(VR_Close, 0)
FN(VR_GetVersion, 8, const char*, r::VERSION*)
FN(VR_GetPath, 12, const char*, std::uint32_t, char*)
FN(VR_SetDefaultDirectory, 8, const char*, const char*)
FN(VR_GetDefaultDirectory, 12, const char*, std::uint32_t, char*)
FN(VR_Install, 16, const char*, const char*, const char*, int)
FN(VR_Remove, 4, const char*)
FN(VR_Enum, 16, const char*, r::REGENUM*, char*, std::uint32_t)
FN(VR_InRegistry, 4, const char*)
FN(VR_ValidateComponent, 4, const char*)
FN(VR_SetRegDirectory, 4, const char*)
FN(VR_SetRefCount, 8, const char*, int)
FN(VR_GetRefCount, 8, const char*, int*)
FN(VR_UninstallCreateNode, 8, const char*, const char*)
FN(VR_GetUninstallUserName, 12, const char*, char*, std::uint32_t)
FN(VR_UninstallAddFileToList, 8, const char*, const char*)
FN(VR_UninstallFileExistsInList, 8, const char*, const char*)
FN(VR_UninstallEnumSharedFiles, 16, const char*, r::REGENUM*, char*, std::uint32_t)
FN(VR_UninstallDeleteFileFromList, 8, const char*, const char*)
FN(VR_UninstallDeleteSharedFilesKey, 4, const char*)
FN(VR_UninstallDestroy, 4, const char*)
FN(VR_EnumUninstall, 24, r::REGENUM*, char*, std::int32_t, char*, std::int32_t, int)

void loadAll() {
    LOAD(NR_StartupRegistry, 0);
    LOAD(NR_ShutdownRegistry, 0);
    LOAD(NR_RegOpen, 8);
    LOAD(NR_RegClose, 4);
    LOAD(NR_RegGetUsername, 4);
    LOAD(NR_RegSetUsername, 4);
    LOAD(NR_RegIsWritable, 4);
    LOAD(NR_RegAddKey, 16);
    LOAD(NR_RegAddKeyRaw, 16);
    LOAD(NR_RegDeleteKey, 12);
    LOAD(NR_RegDeleteKeyRaw, 12);
    LOAD(NR_RegGetKey, 16);
    LOAD(NR_RegGetKeyRaw, 16);
    LOAD(NR_RegGetEntryInfo, 16);
    LOAD(NR_RegGetEntryString, 20);
    LOAD(NR_RegGetEntry, 20);
    LOAD(NR_RegSetEntryString, 16);
    LOAD(NR_RegSetEntry, 24);
    LOAD(NR_RegDeleteEntry, 12);
    LOAD(NR_RegEnumSubkeys, 24);
    LOAD(NR_RegEnumEntries, 24);
    LOAD(VR_CreateRegistry, 12);
    LOAD(VR_Close, 0);
    LOAD(VR_GetVersion, 8);
    LOAD(VR_GetPath, 12);
    LOAD(VR_SetDefaultDirectory, 8);
    LOAD(VR_GetDefaultDirectory, 12);
    LOAD(VR_Install, 16);
    LOAD(VR_Remove, 4);
    LOAD(VR_Enum, 16);
    LOAD(VR_InRegistry, 4);
    LOAD(VR_ValidateComponent, 4);
    LOAD(VR_SetRegDirectory, 4);
    LOAD(VR_SetRefCount, 8);
    LOAD(VR_GetRefCount, 8);
    LOAD(VR_UninstallCreateNode, 8);
    LOAD(VR_GetUninstallUserName, 12);
    LOAD(VR_UninstallAddFileToList, 8);
    LOAD(VR_UninstallFileExistsInList, 8);
    LOAD(VR_UninstallEnumSharedFiles, 16);
    LOAD(VR_UninstallDeleteFileFromList, 8);
    LOAD(VR_UninstallDeleteSharedFilesKey, 4);
    LOAD(VR_UninstallDestroy, 4);
    LOAD(VR_EnumUninstall, 24);
}

std::string tempFolder() {
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(MAX_PATH, temp);
    std::string dir = std::string(temp) + "zovregtest";
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

std::string windowsFolder() {
    char folder[MAX_PATH + 1] = {};
    GetWindowsDirectoryA(folder, MAX_PATH);
    return folder;
}

bool fileExists(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string readAll(const std::string& path) {
    std::string text;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[512];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
            text.append(buffer, n);
        std::fclose(f);
    }
    return text;
}

void writeAll(const std::string& path, const std::string& text) {
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
}

void testRegistryFile(const std::string& dir) {
    const std::string file = dir + "\\test.reg";
    DeleteFileA(file.c_str());
    CHECK(NR_StartupRegistry() == r::kOk);
    r::HREG h = nullptr;
    CHECK(NR_RegOpen(file.c_str(), &h) == r::kOk);
    CHECK(NR_RegIsWritable(h) == r::kOk);
    r::RKEY key = 0;
    CHECK(NR_RegAddKey(h, r::kKeyCommon, "Profiles/default", &key) == r::kOk);
    CHECK(NR_RegSetEntryString(h, key, "directory", "C:\\Profiles\\default") == r::kOk);
    std::int32_t numbers[2] = {-1, 0x12345678};
    CHECK(NR_RegSetEntry(h, key, "numbers", r::kTypeInt32Array, numbers, sizeof numbers) == r::kOk);
    CHECK(NR_RegClose(h) == r::kOk);
    // 335 bytes for a new file, then "Profiles", "default", and two entries.
    CHECK(readAll(file).size() == 335u + 9 + 32 + 8 + 32 + 10 + 20 + 32 + 8 + 8 + 32);

    CHECK(NR_RegOpen(file.c_str(), &h) == r::kOk);
    CHECK(NR_RegGetKey(h, r::kKeyRoot, "Common/Profiles/default", &key) == r::kOk);
    char text[64] = {};
    CHECK(NR_RegGetEntryString(h, key, "DIRECTORY", text, sizeof text) == r::kOk);
    CHECK(std::strcmp(text, "C:\\Profiles\\default") == 0);
    std::int32_t back[2] = {};
    std::uint32_t size = sizeof back;
    CHECK(NR_RegGetEntry(h, key, "numbers", back, &size) == r::kOk);
    CHECK(back[0] == -1 && back[1] == 0x12345678);
    r::REGINFO info{8, 0, 0};
    CHECK(NR_RegGetEntryInfo(h, key, "numbers", &info) == r::kOk && info.entryLength == 8);
    r::REGENUM state = 0;
    char name[64] = {};
    CHECK(NR_RegEnumEntries(h, key, &state, name, sizeof name, &info) == r::kOk &&
          std::strcmp(name, "numbers") == 0);
    state = 0;
    CHECK(NR_RegEnumSubkeys(h, r::kKeyCommon, &state, name, sizeof name, r::kEnumDescend) == r::kOk &&
          std::strcmp(name, "Profiles") == 0);
    CHECK(NR_RegEnumSubkeys(h, r::kKeyCommon, &state, name, sizeof name, r::kEnumDescend) == r::kOk &&
          std::strcmp(name, "Profiles/default") == 0);
    CHECK(NR_RegAddKeyRaw(h, r::kKeyUsers, "a/b", &key) == r::kOk);
    r::RKEY raw = 0;
    CHECK(NR_RegGetKeyRaw(h, r::kKeyUsers, "A/B", &raw) == r::kOk && raw == key);
    CHECK(NR_RegDeleteKeyRaw(h, r::kKeyUsers, "a/b") == r::kOk);
    CHECK(NR_RegAddKey(h, r::kKeyUsers, "x", &key) == r::kOk);
    CHECK(NR_RegDeleteEntry(h, key, "none") == r::kNotFound);
    CHECK(NR_RegDeleteKey(h, r::kKeyUsers, "x") == r::kOk);
    CHECK(NR_RegDeleteKey(h, r::kKeyRoot, "Common") == r::kFail);
    CHECK(NR_RegClose(h) == r::kOk);
    CHECK(NR_RegClose(h) == r::kBadMagic);

    char* user = nullptr;
    CHECK(NR_RegSetUsername("someone") == r::kOk);
    CHECK(NR_RegGetUsername(&user) == r::kOk && user != nullptr && std::strcmp(user, "someone") == 0);
    std::free(user);

    // A file another program holds without letting others write opens read-only.
    const std::string locked = dir + "\\locked.reg";
    DeleteFileA(locked.c_str());
    CHECK(NR_RegOpen(locked.c_str(), &h) == r::kOk);
    CHECK(NR_RegClose(h) == r::kOk);
    HANDLE holder =
        CreateFileA(locked.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    CHECK(holder != INVALID_HANDLE_VALUE);
    CHECK(NR_RegOpen(locked.c_str(), &h) == r::kOk);
    CHECK(NR_RegIsWritable(h) == r::kReadOnly);
    CHECK(NR_RegAddKey(h, r::kKeyUsers, "new", &key) == r::kReadOnly);
    CHECK(NR_RegClose(h) == r::kOk);
    CloseHandle(holder);

    // The default file is "mozregistry.dat" in the Windows folder.
    CHECK(NR_RegOpen(nullptr, &h) == r::kOk);
    CHECK(fileExists(windowsFolder() + "\\mozregistry.dat"));
    CHECK(NR_RegClose(h) == r::kOk);
    CHECK(NR_RegOpen((dir + "\\no\\such.reg").c_str(), &h) == r::kNoFile);
    CHECK(NR_ShutdownRegistry() == r::kOk);
}

void testVersionRegistry(const std::string& setupPath) {
    const std::string nsreg = windowsFolder() + "\\nsreg.dat";
    DeleteFileA(nsreg.c_str());
    CHECK(VR_InRegistry("/Tidewell") == r::kOk);
    CHECK(fileExists(nsreg));
    // The default product made by the first call has no home yet: it takes this folder.
    CHECK(VR_CreateRegistry("Nav", "C:\\Prog", "4.0") == r::kOk);
    CHECK(VR_CreateRegistry("Nav", "D:\\Other", nullptr) == r::kOk);
    CHECK(VR_CreateRegistry("Nav", "D:\\Third", nullptr) == r::kOk);
    CHECK(VR_CreateRegistry("Nav", "c:\\prog\\", nullptr) == r::kOk);
    CHECK(VR_Install("/Tidewell/Plugins/setup", setupPath.c_str(), "1.2.3.4", 0) == r::kOk);
    r::VERSION v{};
    CHECK(VR_GetVersion("/Tidewell/Plugins/setup", &v) == r::kOk);
    CHECK(v.major == 1 && v.minor == 2 && v.release == 3 && v.build == 4 && v.check == 0);
    CHECK(VR_ValidateComponent("/Tidewell/Plugins/setup") == r::kOk);
    char path[MAX_PATH] = {};
    CHECK(VR_GetPath("/Tidewell/Plugins/setup", sizeof path, path) == r::kOk && setupPath == path);
    CHECK(VR_Install("/Tidewell/Plugins/gone", "C:\\no\\such.dll", "1.0", 0) == r::kOk);
    CHECK(VR_ValidateComponent("/Tidewell/Plugins/gone") == r::kNoFile);
    CHECK(VR_Install("Comp", nullptr, "2.0", 0) == r::kOk);
    CHECK(VR_ValidateComponent("Comp") == r::kNoPath);
    CHECK(VR_SetDefaultDirectory("Comp", "C:\\Comp") == r::kOk);
    CHECK(VR_GetDefaultDirectory("Comp", sizeof path, path) == r::kOk && std::strcmp(path, "C:\\Comp") == 0);
    int count = 0;
    CHECK(VR_SetRefCount("Comp", 4) == r::kOk);
    CHECK(VR_GetRefCount("Comp", &count) == r::kOk && count == 4);
    r::REGENUM state = 0;
    char name[256] = {};
    CHECK(VR_Enum("/Tidewell/Plugins", &state, name, sizeof name) == r::kOk &&
          std::strcmp(name, "gone") == 0);
    CHECK(VR_UninstallCreateNode("/a__b_c", "Shared A") == r::kOk);
    char user[64] = {}, package[64] = {};
    CHECK(VR_GetUninstallUserName("/a_b/c", user, sizeof user) == r::kOk &&
          std::strcmp(user, "Shared A") == 0);
    state = 0;
    CHECK(VR_EnumUninstall(&state, user, sizeof user, package, sizeof package, 1) == r::kOk);
    CHECK(std::strcmp(package, "/a_b/c") == 0);
    CHECK(VR_UninstallCreateNode("tools", "Tools") == r::kOk);
    CHECK(VR_UninstallAddFileToList("tools", "C:\\t.dll") == r::kOk);
    CHECK(VR_UninstallFileExistsInList("tools", "C:\\t.dll") == r::kOk);
    state = 0;
    CHECK(VR_UninstallEnumSharedFiles("tools", &state, name, sizeof name) == r::kOk);
    CHECK(VR_UninstallDeleteFileFromList("tools", "C:\\t.dll") == r::kOk);
    CHECK(VR_UninstallDeleteSharedFilesKey("tools") == r::kOk);
    CHECK(VR_UninstallDestroy("tools") == r::kOk);
    CHECK(VR_Remove("/Tidewell/Plugins/gone") == r::kOk);
    CHECK(VR_SetRegDirectory("C:\\Windows") == r::kOk);
    CHECK(VR_Close() == r::kOk);

    // What the VR_ calls left is a registry file the NR_ functions read.
    r::HREG h = nullptr;
    CHECK(NR_RegOpen(nsreg.c_str(), &h) == r::kOk);
    r::RKEY key = 0;
    CHECK(NR_RegGetKey(h, r::kKeyVersions, "/Tidewell/Nav #2", &key) == r::kOk);
    char current[64] = {};
    CHECK(NR_RegGetKey(h, r::kKeyVersions, "/Tidewell", &key) == r::kOk);
    CHECK(NR_RegGetEntryString(h, key, "Current Wayfinder", current, sizeof current) == r::kOk &&
          std::strcmp(current, "Correspondia") == 0);
    CHECK(NR_RegClose(h) == r::kOk);
    CHECK(NR_ShutdownRegistry() == r::kOk);
}

void testBrowserPort(const std::string& dir) {
    zov::win32::Win32BrowserData browsers;
    const std::string url = "http://register.zov.invalid/webreg/";
    CHECK(browsers.setSystemCookie(url, "webregSN", "Alice; expires=Fri, 01-Jan-2100 00:00:00 GMT"));
    CHECK(browsers.setSystemCookie(url, "TimeStamp",
                                   "07152004 13:45:30; expires=Fri, 01-Jan-2100 00:00:00 GMT"));
    std::optional<std::string> cookies = browsers.systemCookies(url);
    CHECK(cookies && cookies->find("webregSN=Alice") != std::string::npos);
    CHECK(cookies && cookies->find("TimeStamp=07152004 13:45:30") != std::string::npos);
    CHECK(browsers.setSystemCookie(url, "webregSN", "; expires=Sat, 01-Jan-2000 00:00:01 GMT"));
    cookies = browsers.systemCookies(url);
    CHECK(!cookies || cookies->find("webregSN") == std::string::npos);
    CHECK(!browsers.systemCookies("http://nothing.zov.invalid/"));

    std::optional<std::string> appData = browsers.userAppDataFolder();
    CHECK(appData && !appData->empty());
    CHECK(appData && (GetFileAttributesA(appData->c_str()) & FILE_ATTRIBUTE_DIRECTORY) != 0);

    const std::string target = dir + "\\cookies.txt", source = dir + "\\NEW1.tmp";
    writeAll(target, "old\n");
    writeAll(source, "new\n");
    CHECK(browsers.canRead(target));
    CHECK(!browsers.canRead(dir + "\\absent.txt"));
    CHECK(!browsers.canRead(dir));
    CHECK(browsers.readFile(target) == std::optional<std::string>("old\n"));
    CHECK(browsers.replaceFile(source, target));
    CHECK(readAll(target) == "new\n");
    CHECK(!fileExists(source));
    // A failed replacement leaves the old file whole.
    CHECK(!browsers.replaceFile(source, target));
    CHECK(readAll(target) == "new\n");
    writeAll(source, "newer\n");
    HANDLE holder = CreateFileA(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    CHECK(holder != INVALID_HANDLE_VALUE);
    CHECK(!browsers.replaceFile(source, target));
    CloseHandle(holder);
    CHECK(readAll(target) == "new\n");
}

} // namespace

int main(int argc, char** argv) {
    std::string folder = argc >= 2 ? argv[1] : ".";
    std::string setupPath = folder + "\\setup.exe";
    char full[MAX_PATH + 1] = {};
    if (GetFullPathNameA(setupPath.c_str(), MAX_PATH, full, nullptr) != 0)
        setupPath = full;
    setup = LoadLibraryA(setupPath.c_str());
    if (setup == nullptr) {
        std::printf("FAIL: LoadLibrary(%s) failed with %lu\n", setupPath.c_str(), GetLastError());
        return 1;
    }
    loadAll();
    CHECK(missing == 0);
    const std::string dir = tempFolder();
    if (missing == 0) {
        testRegistryFile(dir);
        testVersionRegistry(setupPath);
    }
    testBrowserPort(dir);
    std::printf("registry exports: %d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
