// The simulated machine as the system checks probe it (platform/ports_checks.h).
//
// Windows come from SimWindowSystem (their styles and owners are kept here), mutexes from
// SimKernelObjects, free space from SimSystemInfo::freeSpace, files and folders from
// SimFileSystem. Everything else is public state a test sets before a run.
#pragma once

#include "platform/ports_checks.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace zov::sim {

class SimMachine;

// Window styles the checks look at.
constexpr std::uint32_t kStyleVisible = 0x10000000;
constexpr std::uint32_t kStyleCaption = 0x00C00000;
constexpr std::uint32_t kStyleSysMenu = 0x00080000;
constexpr std::uint32_t kStyleMinimizeBox = 0x00020000;
constexpr std::uint32_t kAppWindowStyle = kStyleVisible | kStyleCaption | kStyleSysMenu | kStyleMinimizeBox;

class SimChecks : public VersionQuery,
                  public DesktopProbe,
                  public ProcessProbe,
                  public HardwareProbe,
                  public DiskProbe,
                  public SessionProbe,
                  public PipePort {
  public:
    struct Process {
        std::uint32_t pid = 0;
        std::string exePath; // full path; the snapshot name is its file name
        std::vector<ModuleEntry> modules;
        std::uint32_t session = 1;
        bool hasSid = true;
        std::optional<std::string> account;
    };

    explicit SimChecks(SimMachine& machine);
    CheckPorts& ports() { return ports_; }

    // --- version ------------------------------------------------------------------------
    bool verifyAvailable = true; // VerifyVersionInfoA and VerSetConditionMask exist
    bool verifyFails = false;    // they exist but fail with an error other than 1150
    int verifyCalls = 0;

    // --- desktop --------------------------------------------------------------------------
    int logPixels = 96;
    int bitsPixel = 32;
    std::map<WindowHandle, std::uint32_t> styles; // windows not listed have style 0
    std::map<WindowHandle, WindowHandle> parents;
    std::vector<WindowHandle> foregrounded;
    int waitCursors = 0;
    // Windows whose replies to sendWithCallback never arrive.
    std::set<WindowHandle> silentReplies;
    // Hung windows: sendBounded waits its time (on the simulated clock) and gets nothing.
    std::set<WindowHandle> hungWindows;

    // --- kernel objects and processes -----------------------------------------------------
    std::set<std::string> deniedMutexes; // exist, but in a session this process cannot reach
    bool toolhelp = true;
    std::vector<Process> processList_;
    std::map<WindowHandle, std::uint32_t> windowPids;
    std::vector<std::uint32_t> openedPids;
    std::uint32_t nextPid = 4000;
    // Adds a running program with itself as its first module; returns its pid.
    std::uint32_t addProcess(const std::string& exePath, std::uint32_t session = 1);
    void removeProcess(std::uint32_t pid);

    // --- token, processor, locale ---------------------------------------------------------
    std::optional<std::vector<TokenGroup>> groups =
        std::vector<TokenGroup>{{"S-1-1-0", 7}, {"S-1-5-32-544", 0xF}, {"S-1-5-11", 7}};
    std::uint32_t processorTypeValue = 586;
    std::optional<std::uint32_t> family = 6;
    std::optional<std::string> language = std::string("0409");

    // --- disks ----------------------------------------------------------------------------
    bool kernelModule = true;
    bool newQueryExists = true;
    bool newQueryFails = false;
    bool oldQueryFails = false;
    std::map<std::string, RecycleBinInfo> recycleBins; // by root "C:\"
    std::vector<std::string> emptiedBins;
    std::optional<std::string> binName = std::string("Recycle Bin");
    std::map<std::string, std::string> typeNames;  // by path key
    std::map<std::string, std::uint64_t> modified; // by path key; default: the clock's now
    std::map<std::string, std::uint64_t> sizes;    // by path key; default: the bytes stored
    std::map<std::string, std::string> versions;   // by path key
    std::vector<std::string> createdDirectories, removedDirectories;
    std::set<std::string> failingDirectories; // createDirectory fails for these (path key)

    // --- sessions and pipes ---------------------------------------------------------------
    bool sessionsAvailable = true;
    std::uint32_t consoleSession = 1;
    std::map<std::uint32_t, std::string> sessionUsers;
    std::string ownDisplayName = "Pat Example";
    std::map<std::string, Answer> pipeServers; // by name, as given
    std::vector<std::string> pipeRequests;     // every request sent, "name|bytes"
    std::vector<std::string> serverStarts;

    // VersionQuery
    std::optional<bool> verifyVersion(std::uint32_t platform, std::uint32_t major,
                                      VersionCondition majorCondition, std::uint32_t minor,
                                      VersionCondition minorCondition) override;
    // DesktopProbe
    int logPixelsY() override { return logPixels; }
    int bitsPerPixel() override { return bitsPixel; }
    std::vector<TopWindow> topLevelWindows() override;
    void bringToForeground(WindowHandle window) override { foregrounded.push_back(window); }
    bool sendWithCallback(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                          std::intptr_t lParam, std::function<void(std::intptr_t)> onReply) override;
    void waitCursor(bool on) override { waitCursors += on ? 1 : 0; }
    std::optional<std::intptr_t> sendBounded(WindowHandle window, std::uint32_t message,
                                             std::uintptr_t wParam, std::intptr_t lParam,
                                             std::uint32_t timeoutMs) override;
    // ProcessProbe
    MutexOpen openMutex(const std::string& name) override;
    bool toolhelpAvailable() override { return toolhelp; }
    std::optional<std::vector<ProcessEntry>> processList() override;
    std::optional<std::vector<ModuleEntry>> moduleList(std::uint32_t pid) override;
    std::uint32_t windowProcess(WindowHandle window) override;
    ProcessHandle openProcess(std::uint32_t pid, std::uint32_t access) override;
    // HardwareProbe
    std::optional<std::vector<TokenGroup>> tokenGroups() override { return groups; }
    std::uint32_t processorType() override { return processorTypeValue; }
    std::optional<std::uint32_t> cpuidFamily() override { return family; }
    std::optional<std::string> defaultLanguage() override { return language; }
    // DiskProbe
    FreeSpaceEx freeSpaceEx(const std::string& root) override;
    FreeSpaceOld freeSpaceOld(const std::string& root) override;
    std::optional<RecycleBinInfo> recycleBin(const std::string& root) override;
    bool emptyRecycleBin(const std::string& root) override;
    std::optional<std::string> recycleBinName() override { return binName; }
    std::optional<std::string> shellTypeName(const std::string& path) override;
    std::optional<std::vector<DirectoryEntry>> listDirectory(const std::string& directory) override;
    bool deleteFileForced(const std::string& path) override;
    bool removeDirectory(const std::string& path) override;
    bool createDirectory(const std::string& path) override;
    std::optional<std::string> fileVersion(const std::string& path) override;
    std::optional<std::uint64_t> fileSize(const std::string& path) override;
    // SessionProbe
    bool available() override { return sessionsAvailable; }
    std::uint32_t activeConsoleSession() override { return consoleSession; }
    std::optional<std::vector<SessionProcess>> processes() override;
    std::optional<std::string> sessionUserName(std::uint32_t session) override;
    std::string ownUserDisplayName() override { return ownDisplayName; }
    // PipePort
    std::optional<std::string> transact(const std::string& pipe, const std::string& request,
                                        std::size_t maxReply, std::uint32_t timeoutMs) override;
    bool startServer(const std::string& pipe, std::size_t maxRequest, Answer answer) override;

  private:
    SimMachine& machine_;
    CheckPorts ports_;
};

} // namespace zov::sim
