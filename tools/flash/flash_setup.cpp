// FlashSetup.exe: a stand-in for the Flash Player installer that a CD carries as
// comps\flash\setup.exe. It takes as long and ends as it is told, and on success "installs"
// the player the way the setup looks for it: a file with a version resource registered as
// the player's in-process server: the movie control (zovmovie.ocx) when one lies beside it,
// else a copy of itself (version 10.0.45.2).
//
//   FlashSetup.exe [/Q | /s] [-exit N] [-ms N] [-record FILE] [-noregister]
//
//   -exit N      the exit code (default 0); only 0 installs anything
//   -ms N        runs this long first (at most 600000 ms)
//   -record FILE appends the command line it was started with, as it arrived, and a CR LF
//   -noregister  succeeds without installing
// "/Q" and "/s" (quiet) are accepted and change nothing: it never shows a window.
#include "common/library_search.h"

#include <windows.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

const char* const kServerKey = "CLSID\\{D27CDB6E-AE6D-11cf-96B8-444553540000}\\InProcServer32";
constexpr DWORD kLongestRun = 600000;
constexpr DWORD kInstallFailed = 1603;

struct Options {
    DWORD exitCode = 0;
    DWORD runMs = 0;
    std::string record;
    bool registerPlayer = true;
};

bool same(const std::string& a, const char* b) {
    return lstrcmpiA(a.c_str(), b) == 0;
}

std::optional<DWORD> number(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    unsigned long value = std::strtoul(text.c_str(), &end, 10);
    if (end == nullptr || *end != '\0')
        return std::nullopt;
    return static_cast<DWORD>(value);
}

Options parse(const std::vector<std::string>& args) {
    Options o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        bool hasValue = i + 1 < args.size();
        if (same(a, "-exit") && hasValue) {
            if (auto n = number(args[++i]))
                o.exitCode = *n;
        } else if (same(a, "-ms") && hasValue) {
            if (auto n = number(args[++i]))
                o.runMs = *n < kLongestRun ? *n : kLongestRun;
        } else if (same(a, "-record") && hasValue) {
            o.record = args[++i];
        } else if (same(a, "-noregister")) {
            o.registerPlayer = false;
        }
    }
    return o;
}

// The words of a command line: blanks separate, double quotes group.
std::vector<std::string> words(const char* line) {
    std::vector<std::string> out;
    std::string current;
    bool quoted = false, any = false;
    for (const char* p = line; *p != '\0'; ++p) {
        if (*p == '"') {
            quoted = !quoted;
            any = true;
        } else if ((*p == ' ' || *p == '\t') && !quoted) {
            if (any)
                out.push_back(current);
            current.clear();
            any = false;
        } else {
            current += *p;
            any = true;
        }
    }
    if (any)
        out.push_back(current);
    return out;
}

void appendRecord(const std::string& file, const char* commandLine) {
    HANDLE log = CreateFileA(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE)
        return;
    std::string line = std::string(commandLine) + "\r\n";
    DWORD written = 0;
    WriteFile(log, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(log);
}

bool installPlayer() {
    char self[MAX_PATH + 1] = {};
    char system[MAX_PATH + 1] = {};
    DWORD selfLength = GetModuleFileNameA(nullptr, self, MAX_PATH);
    UINT systemLength = GetSystemDirectoryA(system, MAX_PATH);
    if (selfLength == 0 || selfLength >= MAX_PATH || systemLength == 0 || systemLength >= MAX_PATH)
        return false;
    std::string folder = std::string(system) + "\\Macromed";
    CreateDirectoryA(folder.c_str(), nullptr);
    folder += "\\Flash";
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string player = folder + "\\Flash10z.ocx";
    // The test CD puts the client's movie control beside this stand-in: then that is the
    // player, a control the setup can really play its movies with; else a copy of itself.
    std::string source(self, selfLength);
    source = source.substr(0, source.find_last_of('\\') + 1) + "zovmovie.ocx";
    if (GetFileAttributesA(source.c_str()) == INVALID_FILE_ATTRIBUTES)
        source = self;
    if (!CopyFileA(source.c_str(), player.c_str(), FALSE))
        return false;
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, kServerKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    LONG set = RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(player.c_str()),
                              static_cast<DWORD>(player.size() + 1));
    const char apartment[] = "Apartment";
    if (set == ERROR_SUCCESS)
        set = RegSetValueExA(key, "ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE*>(apartment),
                             sizeof apartment);
    RegCloseKey(key);
    return set == ERROR_SUCCESS;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    zov::tools::restrictLibrarySearch();
    const char* commandLine = GetCommandLineA();
    std::vector<std::string> args = words(commandLine);
    if (!args.empty())
        args.erase(args.begin());
    Options options = parse(args);
    if (!options.record.empty())
        appendRecord(options.record, commandLine);
    if (options.runMs > 0)
        Sleep(options.runMs);
    if (options.exitCode == 0 && options.registerPlayer && !installPlayer())
        return static_cast<int>(kInstallFailed);
    return static_cast<int>(options.exitCode);
}
