// The system checks' ports over the Win32 API (ANSI functions; optional functions looked up
// by name, their absence a normal case).
#pragma once

#include "platform/ports_checks.h"

namespace zov::win32 {

class Win32Checks final : public VersionQuery,
                          public DesktopProbe,
                          public ProcessProbe,
                          public HardwareProbe,
                          public DiskProbe,
                          public SessionProbe,
                          public PipePort {
  public:
    Win32Checks() : ports_{*this, *this, *this, *this, *this, *this, *this} {}
    Win32Checks(const Win32Checks&) = delete;
    Win32Checks& operator=(const Win32Checks&) = delete;
    CheckPorts& ports() { return ports_; }

    std::optional<bool> verifyVersion(std::uint32_t platform, std::uint32_t major,
                                      VersionCondition majorCondition, std::uint32_t minor,
                                      VersionCondition minorCondition) override;

    int logPixelsY() override;
    int bitsPerPixel() override;
    std::vector<TopWindow> topLevelWindows() override;
    void bringToForeground(WindowHandle window) override;
    bool sendWithCallback(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                          std::intptr_t lParam, std::function<void(std::intptr_t)> onReply) override;
    void waitCursor(bool on) override;
    std::optional<std::intptr_t> sendBounded(WindowHandle window, std::uint32_t message,
                                             std::uintptr_t wParam, std::intptr_t lParam,
                                             std::uint32_t timeoutMs) override;

    MutexOpen openMutex(const std::string& name) override;
    bool toolhelpAvailable() override;
    std::optional<std::vector<ProcessEntry>> processList() override;
    std::optional<std::vector<ModuleEntry>> moduleList(std::uint32_t pid) override;
    std::uint32_t windowProcess(WindowHandle window) override;
    ProcessHandle openProcess(std::uint32_t pid, std::uint32_t access) override;

    std::optional<std::vector<TokenGroup>> tokenGroups() override;
    std::uint32_t processorType() override;
    std::optional<std::uint32_t> cpuidFamily() override;
    std::optional<std::string> defaultLanguage() override;

    FreeSpaceEx freeSpaceEx(const std::string& root) override;
    FreeSpaceOld freeSpaceOld(const std::string& root) override;
    std::optional<RecycleBinInfo> recycleBin(const std::string& root) override;
    bool emptyRecycleBin(const std::string& root) override;
    std::optional<std::string> recycleBinName() override;
    std::optional<std::string> shellTypeName(const std::string& path) override;
    std::optional<std::vector<DirectoryEntry>> listDirectory(const std::string& directory) override;
    bool deleteFileForced(const std::string& path) override;
    bool removeDirectory(const std::string& path) override;
    bool createDirectory(const std::string& path) override;
    std::optional<std::string> fileVersion(const std::string& path) override;
    std::optional<std::uint64_t> fileSize(const std::string& path) override;

    bool available() override;
    std::uint32_t activeConsoleSession() override;
    std::optional<std::vector<SessionProcess>> processes() override;
    std::optional<std::string> sessionUserName(std::uint32_t session) override;
    std::string ownUserDisplayName() override;

    std::optional<std::string> transact(const std::string& pipe, const std::string& request,
                                        std::size_t maxReply, std::uint32_t timeoutMs) override;
    bool startServer(const std::string& pipe, std::size_t maxRequest, Answer answer) override;

  private:
    CheckPorts ports_;
};

} // namespace zov::win32
