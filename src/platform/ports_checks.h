// The machine as the system checks see it: version tests, the desktop's windows, kernel
// objects and processes, the token and the processor, disks, other user sessions and the
// installer's pipe. Each interface is narrow; `CheckPorts` hands the set to the checks.
//
// Like ports.h this header never includes <windows.h>: src/platform/win32/win32_checks.cpp
// implements the interfaces, tests/sim/sim_checks.* fakes them.
#pragma once

#include "platform/ports.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zov {

// The comparisons a version test can ask for (VER_EQUAL .. VER_LESS_EQUAL); None leaves the
// field untested.
enum class VersionCondition { None = 0, Equal = 1, Greater = 2, GreaterEqual = 3, Less = 4, LessEqual = 5 };

class VersionQuery {
  public:
    virtual ~VersionQuery() = default;
    // VerifyVersionInfoA with only the tested fields in the type mask (the platform is always
    // tested for equality). True: a match; false: no match (last error 1150); nullopt when the
    // functions are missing or failed otherwise, and the caller compares by itself.
    virtual std::optional<bool> verifyVersion(std::uint32_t platform, std::uint32_t major,
                                              VersionCondition majorCondition, std::uint32_t minor,
                                              VersionCondition minorCondition) = 0;
};

// A top-level window as the checks look at it.
struct TopWindow {
    WindowHandle handle = 0;
    std::string windowClass;
    std::string title; // read into 256 characters
    std::uint32_t style = 0;
    WindowHandle parent = 0; // GetParent: the owner of an owned top-level window
};

class DesktopProbe {
  public:
    virtual ~DesktopProbe() = default;
    virtual int logPixelsY() = 0;   // of the desktop
    virtual int bitsPerPixel() = 0; // BITSPIXEL of the screen DC
    // Every top-level window in Z order (EnumWindows).
    virtual std::vector<TopWindow> topLevelWindows() = 0;
    virtual void bringToForeground(WindowHandle window) = 0;
    // SendMessageCallbackA: onReply runs with the reply while this thread pumps its messages
    // (at once for a window of this thread). False when the message could not be sent.
    virtual bool sendWithCallback(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                  std::intptr_t lParam, std::function<void(std::intptr_t)> onReply) = 0;
    virtual void waitCursor(bool on) = 0;
    // SendMessageTimeoutA (abort if hung): the reply, or nothing when the window did not
    // answer within the time or is gone.
    virtual std::optional<std::intptr_t> sendBounded(WindowHandle window, std::uint32_t message,
                                                     std::uintptr_t wParam, std::intptr_t lParam,
                                                     std::uint32_t timeoutMs) = 0;
};

// OpenMutexA(MUTEX_ALL_ACCESS, FALSE, name): opened (and closed again at once), or the error.
struct MutexOpen {
    bool opened = false;
    std::uint32_t error = 0;
};

struct ProcessEntry {
    std::uint32_t pid = 0;
    std::string exeFile; // the snapshot's executable name (a full path on the 9x family)
    std::string exePath; // the full path of the executable module when it can be read, else exeFile
};

struct ModuleEntry {
    std::string name; // module file name
    std::string path; // full path
};

class ProcessProbe {
  public:
    virtual ~ProcessProbe() = default;
    virtual MutexOpen openMutex(const std::string& name) = 0;
    // The Toolhelp functions were found (all of them).
    virtual bool toolhelpAvailable() = 0;
    virtual std::optional<std::vector<ProcessEntry>> processList() = 0;
    virtual std::optional<std::vector<ModuleEntry>> moduleList(std::uint32_t pid) = 0;
    virtual std::uint32_t windowProcess(WindowHandle window) = 0; // 0 when unknown
    // OpenProcess with the access mask; closed and terminated through Processes.
    virtual ProcessHandle openProcess(std::uint32_t pid, std::uint32_t access) = 0;
};

struct TokenGroup {
    std::string sid; // "S-1-5-32-544"
    std::uint32_t attributes = 0;
};

class HardwareProbe {
  public:
    virtual ~HardwareProbe() = default;
    // The thread token's groups, or the process token's when the thread has none; nullopt
    // when the token cannot be opened or read.
    virtual std::optional<std::vector<TokenGroup>> tokenGroups() = 0;
    virtual std::uint32_t processorType() = 0; // SYSTEM_INFO dwProcessorType
    // Bits 8 to 11 of CPUID leaf 1, when the processor has CPUID (the ID flag can be toggled).
    virtual std::optional<std::uint32_t> cpuidFamily() = 0;
    // LOCALE_IDEFAULTLANGUAGE of the system default locale; nullopt when the query fails.
    virtual std::optional<std::string> defaultLanguage() = 0;
};

struct FreeSpaceEx {
    enum class Outcome { NoKernel, Missing, Failed, Ok };
    Outcome outcome = Outcome::Failed;
    std::uint64_t bytes = 0; // available to the caller
    std::uint32_t error = 0; // last error when not Ok
};

struct FreeSpaceOld {
    bool ok = false;
    std::uint32_t sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0;
    std::uint32_t error = 0;
    // The three factors' product does not fit 32 bits on any drive past 4 GB.
    std::uint64_t freeBytes() const {
        return static_cast<std::uint64_t>(sectorsPerCluster) * bytesPerSector * freeClusters;
    }
};

struct RecycleBinInfo {
    std::uint64_t items = 0;
    std::uint64_t bytes = 0;
};

struct DirectoryEntry {
    std::string name;
    bool directory = false;
    bool link = false; // a junction or symbolic link (a reparse point)
    std::uint64_t size = 0;
    std::uint64_t modified = 0; // seconds since 1970, 0 when unknown
};

class DiskProbe {
  public:
    virtual ~DiskProbe() = default;
    virtual FreeSpaceEx freeSpaceEx(const std::string& root) = 0;
    virtual FreeSpaceOld freeSpaceOld(const std::string& root) = 0;
    // SHQueryRecycleBinA / SHEmptyRecycleBinA, looked up in shell32.dll at each call.
    virtual std::optional<RecycleBinInfo> recycleBin(const std::string& root) = 0;
    virtual bool emptyRecycleBin(const std::string& root) = 0;
    // HKEY_CLASSES_ROOT CLSID\{645FF040-5081-101B-9F08-00AA002F954E} default value.
    virtual std::optional<std::string> recycleBinName() = 0;
    virtual std::optional<std::string> shellTypeName(const std::string& path) = 0;
    // The entries of one folder ("<dir>\*.*"); nullopt when it cannot be listed.
    virtual std::optional<std::vector<DirectoryEntry>> listDirectory(const std::string& directory) = 0;
    virtual bool deleteFileForced(const std::string& path) = 0; // attributes to normal, then delete
    virtual bool removeDirectory(const std::string& path) = 0;
    virtual bool createDirectory(const std::string& path) = 0;
    // The "FileVersion" string of the version resource (the last translation read wins).
    virtual std::optional<std::string> fileVersion(const std::string& path) = 0;
    virtual std::optional<std::uint64_t> fileSize(const std::string& path) = 0;
};

struct SessionProcess {
    std::string name;
    std::uint32_t session = 0;
    bool hasSid = false;
    std::optional<std::string> account; // LookupAccountSidA's name, when it has a SID and it resolves
};

class SessionProbe {
  public:
    virtual ~SessionProbe() = default;
    // The terminal-services, network-account and account functions were all found (loaded
    // once per process).
    virtual bool available() = 0;
    virtual std::uint32_t activeConsoleSession() = 0;
    virtual std::optional<std::vector<SessionProcess>> processes() = 0;
    virtual std::optional<std::string> sessionUserName(std::uint32_t session) = 0;
    // The display name of this session's user for the pipe server: the full name when it
    // is not empty, else the account name, in the ANSI code page; "" when unknown. Safe to
    // call from any thread.
    virtual std::string ownUserDisplayName() = 0;
};

// The question-and-answer pipes between setups and clients of different sessions.
class PipePort {
  public:
    virtual ~PipePort() = default;
    // One request and one reply of at most maxReply bytes. Every wait is bounded by
    // timeoutMs. nullopt when the pipe is missing or any step fails.
    virtual std::optional<std::string> transact(const std::string& pipe, const std::string& request,
                                                std::size_t maxReply, std::uint32_t timeoutMs) = 0;
    // Starts the listener thread. answer() runs on connection threads: it gets the bytes of
    // one request (at most maxRequest) and returns the reply bytes.
    using Answer = std::function<std::string(const std::string& request)>;
    virtual bool startServer(const std::string& pipe, std::size_t maxRequest, Answer answer) = 0;
};

struct CheckPorts {
    VersionQuery& version;
    DesktopProbe& desktop;
    ProcessProbe& processes;
    HardwareProbe& hardware;
    DiskProbe& disk;
    SessionProbe& sessions;
    PipePort& pipes;
};

} // namespace zov
