// The narrow interfaces through which the portable core touches the machine.
//
// Nothing here includes <windows.h>: src/platform/win32 implements each port with the
// real API, and the native tests implement them over a simulated machine (tests/sim).
// A module takes only the ports it needs, by reference.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zov {

// A window handle as the wire carries it (FRAMEHWND, WM_COPYDATA wParam, replies).
using WindowHandle = std::intptr_t;

// Message-box kinds and answers, independent of the Win32 constants.
enum class BoxKind { Notice, Question, Error, Warning };
enum class BoxAnswer { Ok, Cancel, Yes, No, Retry };

// Windows version as GetVersionExA reports it.
struct OsVersion {
    std::uint32_t major = 6;
    std::uint32_t minor = 1;
    std::uint32_t build = 7601;
    std::uint32_t platform = 2; // 1: 9x family, 2: NT family
    std::string servicePack;    // szCSDVersion
};

struct CalendarTime {
    unsigned year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0, milliseconds = 0;
    unsigned weekday = 4; // 0 = Sunday
};

// Private-profile (INI) files, always addressed by full path. Mirrors the semantics of
// the profile functions: case-insensitive names, new keys appended to their section.
class ProfileStore {
  public:
    virtual ~ProfileStore() = default;
    virtual bool writeString(const std::string& file, const std::string& section, const std::string& key,
                             const std::string& value) = 0;
    virtual bool deleteKey(const std::string& file, const std::string& section, const std::string& key) = 0;
    virtual bool deleteSection(const std::string& file, const std::string& section) = 0;
    // Replaces the keys of a section with these, in this order, in one write of the file
    // (WritePrivateProfileSectionA). A new section goes at the end of the file.
    virtual bool writeSection(const std::string& file, const std::string& section,
                              const std::vector<std::pair<std::string, std::string>>& keys) = 0;
    // The all-null write that flushes the profile cache.
    virtual void flush() = 0;
    // A read into a buffer of bufferSize bytes: at most bufferSize - 1 characters come back.
    virtual std::string readString(const std::string& file, const std::string& section,
                                   const std::string& key, const std::string& defaultValue,
                                   std::size_t bufferSize) = 0;
    // Section names in file order, as far as they fit a buffer of bufferSize bytes.
    virtual std::vector<std::string> sectionNames(const std::string& file, std::size_t bufferSize) = 0;
};

// An open file being written (the component writer streams in pieces).
class OutputFile {
  public:
    virtual ~OutputFile() = default;
    virtual std::size_t write(const void* data, std::size_t size) = 0;
    virtual void close() = 0;
};

class FileSystem {
  public:
    virtual ~FileSystem() = default;
    virtual bool exists(const std::string& path) = 0; // file or directory
    virtual bool isDirectory(const std::string& path) = 0;
    virtual bool removeFile(const std::string& path) = 0;
    virtual bool copyFile(const std::string& from, const std::string& to) = 0; // overwrites
    virtual bool setHidden(const std::string& path) = 0;
    virtual std::unique_ptr<OutputFile> create(const std::string& path) = 0; // null on failure
    // GetTempFileNameA with a unique number: creates the file, returns its path or "".
    virtual std::string uniqueFile(const std::string& dir, const std::string& prefix) = 0;
    // Full paths of the files matching a wildcard pattern ("C:\dir\*.lnk").
    virtual std::vector<std::string> find(const std::string& pattern) = 0;
};

// Facts about the machine and the running program.
class SystemInfo {
  public:
    virtual ~SystemInfo() = default;
    virtual std::string tempPath() = 0;         // ends with a backslash
    virtual std::string windowsDirectory() = 0; // no trailing backslash
    virtual std::string systemDirectory() = 0;
    virtual std::string modulePath() = 0; // full path of the running program
    virtual OsVersion osVersion() = 0;
    virtual std::uint32_t processorCount() = 0;
    virtual std::uint64_t physicalMemoryBytes() = 0;
    // Architecture, level and revision as GetSystemInfo reports them.
    virtual void processorIdentity(std::uint32_t& architecture, std::uint32_t& level,
                                   std::uint32_t& revision) = 0;
    virtual std::uint32_t measureCpuMhz() = 0; // the one-second time-stamp counter measurement
    virtual bool isWow64() = 0;
    virtual bool screenReaderRunning() = 0;
    virtual std::uint32_t driveType(const std::string& root) = 0; // DRIVE_* numbers
    virtual std::uint32_t lastError() = 0;
    virtual std::string errorText(std::uint32_t code) = 0; // the system's message text
};

enum class RegRoot { LocalMachine, CurrentUser };

class Registry {
  public:
    virtual ~Registry() = default;
    virtual bool keyExists(RegRoot root, const std::string& key) = 0;
    // A string value read into a buffer of maxBytes; nullopt when key or value cannot be read.
    virtual std::optional<std::string> readString(RegRoot root, const std::string& key,
                                                  const std::string& value, std::size_t maxBytes = 260) = 0;
    virtual std::optional<std::uint32_t> readDword(RegRoot root, const std::string& key,
                                                   const std::string& value) = 0;
    // Sub-key names in enumeration order; nullopt when the key cannot be opened.
    virtual std::optional<std::vector<std::string>> subKeys(RegRoot root, const std::string& key) = 0;
    virtual bool deleteValue(RegRoot root, const std::string& key, const std::string& value) = 0;
};

class Clock {
  public:
    virtual ~Clock() = default;
    virtual std::uint64_t unixSeconds() = 0;
    virtual CalendarTime utcNow() = 0;
    virtual CalendarTime localNow() = 0; // with milliseconds
    virtual std::uint32_t tickCount() = 0;
    virtual void sleep(std::uint32_t milliseconds) = 0;
};

// A process this program started.
struct ProcessHandle {
    std::uintptr_t process = 0;
    std::uintptr_t thread = 0;
    explicit operator bool() const { return process != 0; }
};

// Windows and messages of the UI thread.
class WindowSystem {
  public:
    virtual ~WindowSystem() = default;
    static constexpr std::uint32_t kWaitForever = 0xFFFFFFFF;

    // One pass of the nested loop: peek, dialog filter, translate, dispatch until empty.
    virtual void pumpMessages() = 0;
    // Blocks until a message is waiting for this thread (posted, input, or sent from another
    // thread or process), the process ends (when one is given), or the time is up. Returns at
    // once when a message is already waiting. It delivers nothing: the next pump does.
    virtual void waitForMessage(std::uint32_t milliseconds, const ProcessHandle* process) = 0;
    virtual WindowHandle findWindow(const std::string* windowClass, const std::string* title) = 0;
    virtual bool windowExists(WindowHandle window) = 0;
    virtual std::intptr_t sendMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                      std::intptr_t lParam) = 0;
    virtual bool postMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam) = 0;
    // A task-modal box owned by the frame; never called in a silent run.
    virtual BoxAnswer messageBox(BoxKind kind, const std::string& text, const std::string& caption) = 0;
};

// A program to start. Its full path is handed to the system as the application name, and
// its command line starts with that path in quotes: no part of a path with blanks in it
// ("C:\Program Files\...") can ever be taken for a program of its own.
struct ProcessStart {
    std::string program;
    std::string arguments; // after the quoted path and one blank; none when empty

    std::string commandLine() const {
        const std::string quoted = "\"" + program + "\"";
        return arguments.empty() ? quoted : quoted + " " + arguments;
    }
};

class Processes {
  public:
    virtual ~Processes() = default;
    // CreateProcessA; showMaximized sets STARTF_USESHOWWINDOW.
    virtual ProcessHandle start(const ProcessStart& what, bool showMaximized) = 0;
    // The same with a medium-integrity copy of our token (CreateProcessAsUserA, looked up at
    // run time). The outcome tells the caller which trace lines to write.
    enum class StandardUserStart { NoCreateProcessAsUser, NoToken, Started, Failed };
    virtual StandardUserStart startAsStandardUser(const ProcessStart& what, bool showMaximized,
                                                  ProcessHandle& started) = 0;
    virtual bool hasEnded(const ProcessHandle& process) = 0;
    virtual std::optional<std::uint32_t> exitCode(const ProcessHandle& process) = 0;
    virtual void close(ProcessHandle& process) = 0;
    virtual bool terminate(const ProcessHandle& process, std::uint32_t exitCode) = 0;
};

// Named kernel objects.
class KernelObjects {
  public:
    virtual ~KernelObjects() = default;
    virtual std::uintptr_t createMutex(const std::string& name) = 0; // 0 on failure
    virtual void releaseMutex(std::uintptr_t mutex) = 0;             // release and close
    // Auto-reset, created signalled; the handle stays open for the life of the process.
    virtual bool createSignalledEvent(const std::string& name) = 0;
};

class Shell {
  public:
    virtual ~Shell() = default;
    virtual std::optional<std::string> programFilesFolder() = 0; // SHGetFolderPathA(38)
    // The default user's desktop folder (SHGetFolderPathA(16) for the default user).
    virtual std::optional<std::string> defaultUserDesktop() = 0;
    virtual bool createShortcut(const std::string& link, const std::string& target,
                                const std::string& description) = 0;
    // The same, but the call may return before the link is saved (the real shell saves it on
    // a worker thread, while the run goes on); settle() waits for it.
    virtual void startShortcut(const std::string& link, const std::string& target,
                               const std::string& description) = 0;
    virtual std::optional<std::string> shortcutTarget(const std::string& link) = 0;
    // One SHFileOperationA FO_DELETE of a wildcard pattern, silent, no confirmation.
    virtual bool deletePattern(const std::string& pattern) = 0;
    // SHChangeNotify(SHCNE_ASSOCCHANGED); it too may still be under way on return.
    virtual void notifyAssociationsChanged() = 0;
    // Waits until the shell work started above is done.
    virtual void settle() = 0;
};

// The machine's power: where a restart leaves the program. Tests replace it with a recorder.
class Power {
  public:
    virtual ~Power() = default;
    virtual bool enableShutdownPrivilege() = 0;
    virtual bool restartWindows() = 0; // ExitWindowsEx(EWX_REBOOT, 0)
};

// Service control for the client's companion service.
struct ServiceStatus {
    std::uint32_t state = 0; // SERVICE_* state numbers: 2 start pending, 4 running
    std::uint32_t checkPoint = 0;
    std::uint32_t waitHint = 0;
};

class ServiceControl {
  public:
    virtual ~ServiceControl() = default;
    virtual bool available() = 0;   // advapi32 and its five functions were found
    virtual bool openManager() = 0; // the manager stays open afterwards
    virtual bool openService(const std::string& name) = 0;
    // 0 when the start call succeeded, else the last error (1056: already running).
    virtual std::uint32_t start() = 0;
    virtual std::optional<ServiceStatus> query() = 0;
    virtual void closeService() = 0;
    // The system error of the last call above that failed (taken before any close), for the
    // trace of a start that could not be made; 0 when none failed.
    virtual std::uint32_t lastFailure() = 0;
};

// The wire to the trace viewer.
class TraceTransport {
  public:
    virtual ~TraceTransport() = default;
    virtual WindowHandle findMonitor() = 0; // the top-level window titled "Trace Monitor"
    virtual WindowHandle createSender() = 0;
    // Sends one line and waits, within a bound, until the viewer took it. False means the
    // viewer did not answer in time: it is treated as gone from then on.
    virtual bool send(WindowHandle monitor, WindowHandle sender, const std::string& line) = 0;
};

// The string table, read at run time: a missing entry reads as an empty text.
class StringTable {
  public:
    virtual ~StringTable() = default;
    virtual std::string get(unsigned id) = 0;
};

// Binary resources carried by the program (resource type "BINARY").
class Resources {
  public:
    virtual ~Resources() = default;
    virtual bool find(unsigned id) = 0;
    virtual std::size_t size(unsigned id) = 0;
    // Loads and locks the data; null when either step fails (loadFailed tells which).
    virtual const std::uint8_t* load(unsigned id, bool& loadFailed) = 0;
};

// The one way out of the process. Never returns; the test machine throws instead.
class ProcessExit {
  public:
    virtual ~ProcessExit() = default;
    [[noreturn]] virtual void exit(std::uint32_t code) = 0;
};

} // namespace zov
