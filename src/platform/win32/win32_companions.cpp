// The companion-software port: class registrations, version resources, the Flash Player
// installer's process, the shared trust file and the network probe.

#include "platform/win32/win32_companions.h"
#include "platform/win32/win32_ports.h"
#include "platform/win32/win32_util.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace zov::win32 {
namespace {

constexpr int kCommonAppDataFolder = 35; // CSIDL_COMMON_APPDATA

class Win32SharedFile final : public SharedFile {
  public:
    explicit Win32SharedFile(HANDLE file) : file_(file) {}
    ~Win32SharedFile() override { CloseHandle(file_); }
    Win32SharedFile(const Win32SharedFile&) = delete;
    Win32SharedFile& operator=(const Win32SharedFile&) = delete;

    std::optional<std::uint64_t> size() override {
        LARGE_INTEGER size;
        if (!GetFileSizeEx(file_, &size) || size.QuadPart < 0)
            return std::nullopt;
        return static_cast<std::uint64_t>(size.QuadPart);
    }

    std::size_t read(std::uint64_t offset, void* buffer, std::size_t size) override {
        OVERLAPPED at;
        std::memset(&at, 0, sizeof at);
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD wanted = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
        DWORD got = 0;
        if (!ReadFile(file_, buffer, wanted, &got, &at))
            return 0;
        return got;
    }

    bool append(const void* data, std::size_t size) override {
        LARGE_INTEGER end;
        end.QuadPart = 0;
        if (!SetFilePointerEx(file_, end, nullptr, FILE_END))
            return false;
        DWORD written = 0;
        return WriteFile(file_, data, static_cast<DWORD>(size), &written, nullptr) && written == size;
    }

  private:
    HANDLE file_;
};

} // namespace

bool Win32CompanionSystem::classKeyExists(const std::string& key) {
    return static_cast<bool>(RegistryKey(HKEY_CLASSES_ROOT, key, KEY_READ));
}

std::optional<std::string> Win32CompanionSystem::classKeyDefault(const std::string& key,
                                                                 std::size_t maxBytes) {
    std::optional<RegistryValue> read = readRegistryValue(HKEY_CLASSES_ROOT, key, "", maxBytes);
    if (!read || (read->type != REG_SZ && read->type != REG_EXPAND_SZ))
        return std::nullopt;
    return std::move(read->text);
}

std::optional<FileVersionWords> Win32CompanionSystem::fileVersion(const std::string& path) {
    VersionResource resource(path);
    void* value = nullptr;
    UINT length = 0;
    if (!resource.query("\\", value, length) || length < sizeof(VS_FIXEDFILEINFO))
        return std::nullopt;
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
    return FileVersionWords{fixed->dwFileVersionMS, fixed->dwFileVersionLS};
}

ProcessHandle Win32CompanionSystem::startDetached(const ProcessStart& what) {
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION info;
    std::memset(&info, 0, sizeof info);
    // CreateProcessA may write into the command line: hand it a private copy.
    const std::string commandLine = what.commandLine();
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(what.program.c_str(), line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
                        nullptr, &startup, &info))
        return {};
    ProcessHandle process;
    process.process = reinterpret_cast<std::uintptr_t>(info.hProcess);
    process.thread = reinterpret_cast<std::uintptr_t>(info.hThread);
    return process;
}

bool Win32CompanionSystem::waitForExit(const ProcessHandle& process, std::uint32_t milliseconds) {
    if (!process)
        return false;
    return WaitForSingleObject(reinterpret_cast<HANDLE>(process.process), milliseconds) == WAIT_OBJECT_0;
}

std::optional<std::string> Win32CompanionSystem::commonAppDataFolder() {
    return shellFolderPath(kCommonAppDataFolder);
}

std::unique_ptr<SharedFile> Win32CompanionSystem::openShared(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;
    return std::make_unique<Win32SharedFile>(file);
}

bool Win32CompanionSystem::networkAlive() {
    using IsNetworkAliveFn = BOOL(WINAPI*)(LPDWORD);
    HMODULE library = loadSystemLibrary("SENSAPI.DLL");
    auto isNetworkAlive = procAddress<IsNetworkAliveFn>(library, "IsNetworkAlive");
    bool alive = false;
    if (isNetworkAlive != nullptr) {
        DWORD flags = 0;
        alive = isNetworkAlive(&flags) != FALSE;
    }
    if (library != nullptr)
        FreeLibrary(library);
    return alive;
}

} // namespace zov::win32
