// The real machine: every port of platform/ports.h over the Win32 API (ANSI functions).
//
// Only Win32Machine (win32_machine.h) creates these; the classes are declared here so that
// the machine can hold them by value and the implementation can be split by concern.
#pragma once

#include "platform/ports.h"

#include <windows.h>
#include <winsvc.h>

#include <string>
#include <vector>

namespace zov::win32 {

// An optional function looked up by name. The detour through void* keeps the compiler from
// judging the cast between unrelated function types; the caller names the real signature.
template <typename Function> Function procAddress(HMODULE module, const char* name) {
    if (module == nullptr)
        return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// win32_files.cpp
class Win32ProfileStore final : public ProfileStore {
  public:
    bool writeString(const std::string& file, const std::string& section, const std::string& key,
                     const std::string& value) override;
    bool deleteKey(const std::string& file, const std::string& section, const std::string& key) override;
    bool deleteSection(const std::string& file, const std::string& section) override;
    bool writeSection(const std::string& file, const std::string& section,
                      const std::vector<std::pair<std::string, std::string>>& keys) override;
    void flush() override;
    std::string readString(const std::string& file, const std::string& section, const std::string& key,
                           const std::string& defaultValue, std::size_t bufferSize) override;
    std::vector<std::string> sectionNames(const std::string& file, std::size_t bufferSize) override;
};

class Win32FileSystem final : public FileSystem {
  public:
    bool exists(const std::string& path) override;
    bool isDirectory(const std::string& path) override;
    bool removeFile(const std::string& path) override;
    bool copyFile(const std::string& from, const std::string& to) override;
    bool setHidden(const std::string& path) override;
    std::unique_ptr<OutputFile> create(const std::string& path) override;
    std::string uniqueFile(const std::string& dir, const std::string& prefix) override;
    std::vector<std::string> find(const std::string& pattern) override;
};

// win32_system.cpp
class Win32SystemInfo final : public SystemInfo {
  public:
    std::string tempPath() override;
    std::string windowsDirectory() override;
    std::string systemDirectory() override;
    std::string modulePath() override;
    OsVersion osVersion() override;
    std::uint32_t processorCount() override;
    std::uint64_t physicalMemoryBytes() override;
    void processorIdentity(std::uint32_t& architecture, std::uint32_t& level,
                           std::uint32_t& revision) override;
    std::uint32_t measureCpuMhz() override;
    bool isWow64() override;
    bool screenReaderRunning() override;
    std::uint32_t driveType(const std::string& root) override;
    std::uint32_t lastError() override;
    std::string errorText(std::uint32_t code) override;
};

class Win32Registry final : public Registry {
  public:
    bool keyExists(RegRoot root, const std::string& key) override;
    std::optional<std::string> readString(RegRoot root, const std::string& key, const std::string& value,
                                          std::size_t maxBytes) override;
    std::optional<std::uint32_t> readDword(RegRoot root, const std::string& key,
                                           const std::string& value) override;
    std::optional<std::vector<std::string>> subKeys(RegRoot root, const std::string& key) override;
    bool deleteValue(RegRoot root, const std::string& key, const std::string& value) override;
};

class Win32Clock final : public Clock {
  public:
    std::uint64_t unixSeconds() override;
    CalendarTime utcNow() override;
    CalendarTime localNow() override;
    std::uint32_t tickCount() override;
    void sleep(std::uint32_t milliseconds) override;
};

// win32_windows.cpp
class Win32WindowSystem final : public WindowSystem {
  public:
    void setOwner(HWND frame) { owner_ = frame; }
    void addDialog(HWND dialog);
    void removeDialog(HWND dialog);

    void pumpMessages() override;
    void waitForMessage(std::uint32_t milliseconds, const ProcessHandle* process) override;
    WindowHandle findWindow(const std::string* windowClass, const std::string* title) override;
    bool windowExists(WindowHandle window) override;
    std::intptr_t sendMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                              std::intptr_t lParam) override;
    bool postMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                     std::intptr_t lParam) override;
    BoxAnswer messageBox(BoxKind kind, const std::string& text, const std::string& caption) override;

  private:
    HWND owner_ = nullptr;
    std::vector<HWND> dialogs_;
};

// win32_processes.cpp
class Win32Processes final : public Processes {
  public:
    ProcessHandle start(const ProcessStart& what, bool showMaximized) override;
    StandardUserStart startAsStandardUser(const ProcessStart& what, bool showMaximized,
                                          ProcessHandle& started) override;
    bool hasEnded(const ProcessHandle& process) override;
    std::optional<std::uint32_t> exitCode(const ProcessHandle& process) override;
    void close(ProcessHandle& process) override;
    bool terminate(const ProcessHandle& process, std::uint32_t exitCode) override;
};

class Win32KernelObjects final : public KernelObjects {
  public:
    std::uintptr_t createMutex(const std::string& name) override;
    void releaseMutex(std::uintptr_t mutex) override;
    bool createSignalledEvent(const std::string& name) override;
};

// win32_shell.cpp
class Win32Shell final : public Shell {
  public:
    std::optional<std::string> programFilesFolder() override;
    std::optional<std::string> defaultUserDesktop() override;
    ~Win32Shell() override;
    bool createShortcut(const std::string& link, const std::string& target,
                        const std::string& description) override;
    void startShortcut(const std::string& link, const std::string& target,
                       const std::string& description) override;
    std::optional<std::string> shortcutTarget(const std::string& link) override;
    bool deletePattern(const std::string& pattern) override;
    void notifyAssociationsChanged() override;
    void settle() override;

  private:
    // Saving a link and the association notice can take tens of milliseconds each (Wine
    // starts a helper program for both); they run beside the UI thread.
    std::vector<HANDLE> background_;
};

class Win32Power final : public Power {
  public:
    bool enableShutdownPrivilege() override;
    bool restartWindows() override;
};

class Win32ServiceControl final : public ServiceControl {
  public:
    bool available() override;
    bool openManager() override;
    bool openService(const std::string& name) override;
    std::uint32_t start() override;
    std::optional<ServiceStatus> query() override;
    void closeService() override;
    std::uint32_t lastFailure() override { return failure_; }

  private:
    using OpenSCManagerFn = SC_HANDLE(WINAPI*)(LPCSTR, LPCSTR, DWORD);
    using OpenServiceFn = SC_HANDLE(WINAPI*)(SC_HANDLE, LPCSTR, DWORD);
    using StartServiceFn = BOOL(WINAPI*)(SC_HANDLE, DWORD, LPCSTR*);
    using QueryServiceStatusExFn = BOOL(WINAPI*)(SC_HANDLE, SC_STATUS_TYPE, LPBYTE, DWORD, LPDWORD);
    using CloseServiceHandleFn = BOOL(WINAPI*)(SC_HANDLE);

    void load();

    bool loaded_ = false;
    OpenSCManagerFn openSCManager_ = nullptr;
    OpenServiceFn openService_ = nullptr;
    StartServiceFn startService_ = nullptr;
    QueryServiceStatusExFn queryServiceStatusEx_ = nullptr;
    CloseServiceHandleFn closeServiceHandle_ = nullptr;
    SC_HANDLE manager_ = nullptr;
    SC_HANDLE service_ = nullptr;
    DWORD failure_ = 0;
    bool fail(); // records the last error (never 0) and answers false
};

// win32_trace.cpp
class Win32TraceTransport final : public TraceTransport {
  public:
    // How long one line may wait for the viewer before it counts as gone.
    static constexpr UINT kSendTimeoutMs = 5000;

    WindowHandle findMonitor() override;
    WindowHandle createSender() override;
    bool send(WindowHandle monitor, WindowHandle sender, const std::string& line) override;
};

// win32_resources.cpp
class Win32StringTable final : public StringTable {
  public:
    explicit Win32StringTable(HINSTANCE instance) : instance_(instance) {}
    std::string get(unsigned id) override;

  private:
    HINSTANCE instance_;
};

class Win32Resources final : public Resources {
  public:
    explicit Win32Resources(HINSTANCE instance) : instance_(instance) {}
    bool find(unsigned id) override;
    std::size_t size(unsigned id) override;
    const std::uint8_t* load(unsigned id, bool& loadFailed) override;

  private:
    HRSRC locate(unsigned id);
    HINSTANCE instance_;
};

// win32_exit.cpp
class Win32ProcessExit final : public ProcessExit {
  public:
    [[noreturn]] void exit(std::uint32_t code) override;
};

} // namespace zov::win32
