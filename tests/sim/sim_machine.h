// A simulated Windows machine for native tests: one fake per port, with public state a
// test sets before a run and inspects after it.
//
//   zov::sim::SimMachine m;
//   m.processes.registerProgram("D:\\comp01.000", {[](SimMachine& s, const std::string&) {
//       s.profile.writeString(s.system.temp + "install.ini", "exit", "rc", "0");
//   }});
//   runSomething(m.machine());
//
// The default machine: Windows 7 SP1 (6.1.7601, NT), C:\ a fixed disk with 50 GB free,
// D:\ a CD-ROM holding D:\setup.exe (the running program), the folders C:\Windows,
// C:\Windows\system32, the temporary folder, C:\Program Files and both desktops, and the
// registry values that say where the program-files folder and the desktops are.
#pragma once

#include "platform/machine.h"
#include "sim/sim_browsers.h"
#include "sim/sim_checks.h"
#include "sim/sim_companions.h"
#include "sim/sim_discovery.h"
#include "sim/sim_files.h"
#include "sim/sim_registry.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace zov::sim {

class SimMachine;

// What ProcessExit throws instead of ending the process.
struct Exited {
    std::uint32_t code;
};

class SimSystemInfo : public SystemInfo {
  public:
    std::string temp = "C:\\Users\\user\\AppData\\Local\\Temp\\";
    std::string windows = "C:\\Windows";
    std::string system = "C:\\Windows\\system32";
    std::string module = "D:\\setup.exe";
    OsVersion os{6, 1, 7601, 2, "Service Pack 1"};
    std::uint32_t processors = 2;
    std::uint64_t memoryBytes = 4ull << 30;
    std::uint32_t architecture = 0, level = 6, revision = 0x2a07;
    std::uint32_t cpuMhz = 2400;
    bool wow64 = false;
    bool screenReader = false;
    // By drive root ("C:\"), compared without case. A root not listed is
    // DRIVE_NO_ROOT_DIR (1) and cannot be measured.
    std::map<std::string, std::uint32_t> driveTypes;
    std::map<std::string, std::optional<std::uint64_t>> freeSpace;
    std::uint32_t error = 0; // what lastError() answers; the fakes set it on failure
    // Texts by code, each ending with the system's "\r\n"; an unknown code has no text.
    std::map<std::uint32_t, std::string> errorTexts;
    int cpuMeasurements = 0;

    explicit SimSystemInfo(SimMachine& machine);

    std::string tempPath() override { return temp; }
    std::string windowsDirectory() override { return windows; }
    std::string systemDirectory() override { return system; }
    std::string modulePath() override { return module; }
    OsVersion osVersion() override { return os; }
    std::uint32_t processorCount() override { return processors; }
    std::uint64_t physicalMemoryBytes() override { return memoryBytes; }
    void processorIdentity(std::uint32_t& arch, std::uint32_t& lvl, std::uint32_t& rev) override;
    // Takes a second of the simulated clock, as the real measurement does.
    std::uint32_t measureCpuMhz() override;
    bool isWow64() override { return wow64; }
    bool screenReaderRunning() override { return screenReader; }
    std::uint32_t driveType(const std::string& root) override;
    // The free bytes of a drive root the disk queries answer with; nullopt when unmeasurable.
    std::optional<std::uint64_t> freeBytes(const std::string& root);
    std::uint32_t lastError() override { return error; }
    std::string errorText(std::uint32_t code) override;

  private:
    SimMachine& machine_;
};

// Manual time. Starts at 2026-03-02 09:30:00.000 UTC (a Monday); nothing moves it but
// sleep(), measureCpuMhz() and the test.
class SimClock : public Clock {
  public:
    std::uint64_t nowMs = 1772443800000ull;
    std::int64_t utcOffsetSeconds = 0;  // local time = UTC + offset
    std::uint32_t bootTickMs = 3600000; // tickCount at the start time
    std::uint64_t startMs = nowMs;
    std::uint64_t sleptMs = 0;
    int sleeps = 0;

    void advance(std::uint64_t milliseconds) { nowMs += milliseconds; }
    // Sets UTC (and keeps tickCount running from its current value).
    void setUtc(unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute, unsigned second,
                unsigned milliseconds = 0);
    static CalendarTime calendar(std::uint64_t unixMs);
    static std::uint64_t toUnixMs(unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                                  unsigned second, unsigned milliseconds);

    std::uint64_t unixSeconds() override { return nowMs / 1000; }
    CalendarTime utcNow() override { return calendar(nowMs); }
    CalendarTime localNow() override;
    std::uint32_t tickCount() override;
    void sleep(std::uint32_t milliseconds) override;
};

class SimWindowSystem : public WindowSystem {
  public:
    using Handler =
        std::function<std::intptr_t(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam)>;
    struct Window {
        WindowHandle handle = 0;
        std::string windowClass, title;
        Handler handler; // may be empty: messages then answer 0
    };
    struct Message {
        WindowHandle target;
        std::uint32_t message;
        std::uintptr_t wParam;
        std::intptr_t lParam;
        bool posted;
    };
    struct Box {
        BoxKind kind;
        std::string text, caption;
    };

    explicit SimWindowSystem(SimMachine& machine);

    // A message another process sends: it waits in that process until this thread pumps.
    struct Incoming {
        std::uint64_t dueMs; // clock time it is sent
        Message message;
        bool answered = false;
        std::uint64_t answeredMs = 0;
        std::intptr_t reply = 0;
    };

    std::vector<Window> windows; // top-level windows in Z order
    std::vector<Message> messages;
    std::deque<Message> postedQueue; // delivered by the next pumpMessages
    std::vector<Incoming> incoming;  // in order of dueMs; answered ones stay, for the test
    int pumps = 0;
    int waits = 0;
    // Runs at the end of every pumpMessages, after the posted messages are delivered.
    std::function<void(SimMachine&)> onPump;
    std::vector<Box> boxes;
    // Answers for the next boxes. When empty a box answers as the silent run does:
    // notice Ok, question Yes, error (Retry/Cancel) Cancel, warning (OK/Cancel) Ok -- so
    // an unscripted Retry loop cannot spin for ever.
    std::deque<BoxAnswer> boxAnswers;
    std::function<void(const std::string& text)> onBox; // while the box is up

    WindowHandle addWindow(const std::string& windowClass, const std::string& title, Handler handler = {});
    bool removeWindow(WindowHandle window);
    const Window* window(WindowHandle handle) const;
    // Recorded messages of one number, sent or posted, in order.
    std::vector<Message> messagesOf(std::uint32_t message) const;
    // Another process sends a message `afterMs` from now.
    void sendFromOtherProcess(std::uint64_t afterMs, WindowHandle target, std::uint32_t message,
                              std::uintptr_t wParam, std::intptr_t lParam);

    // Delivers the due incoming messages first, as the system does with sent messages.
    void pumpMessages() override;
    // Moves the clock to the first of: a posted message (none to wait for), the next incoming
    // message, the process's end (the process ends at its next check), the time limit. A wait
    // for ever with nothing to come moves nothing: the onPump hook plays the other process.
    void waitForMessage(std::uint32_t milliseconds, const ProcessHandle* process) override;
    // Class and title compare without case; both null finds the first window.
    WindowHandle findWindow(const std::string* windowClass, const std::string* title) override;
    bool windowExists(WindowHandle window) override;
    std::intptr_t sendMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                              std::intptr_t lParam) override;
    bool postMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                     std::intptr_t lParam) override;
    BoxAnswer messageBox(BoxKind kind, const std::string& text, const std::string& caption) override;

  private:
    SimMachine& machine_;
    WindowHandle nextHandle_ = 0x10010;
    int idleWaits_ = 0; // waits for ever in a row with nothing to come
};

class SimProcesses : public Processes {
  public:
    struct Program {
        // Runs when the program is started, with the whole command line.
        std::function<void(SimMachine&, const std::string& commandLine)> run;
        std::uint32_t exitCode = 0;
        unsigned pollsBeforeEnd = 0; // hasEnded answers false this many times first
    };
    struct Start {
        std::string program;
        std::string commandLine;
        bool showMaximized = false;
        bool asStandardUser = false;
        bool started = false;
    };
    struct Running {
        std::string program;
        std::uint32_t exitCode = 0;
        unsigned pollsLeft = 0;
        bool ended = false;
        bool closed = false;
    };

    explicit SimProcesses(SimMachine& machine);

    std::map<std::string, Program> programs; // by pathKey of the program path
    std::vector<Start> starts;
    std::map<std::uintptr_t, Running> running; // by process handle
    StandardUserStart standardUserOutcome = StandardUserStart::Started;
    bool terminateFails = false;
    std::vector<std::pair<std::uintptr_t, std::uint32_t>> terminations;

    void registerProgram(const std::string& path, Program program);
    int openHandles() const;

    // The program runs by its path, as the application name makes it on Windows.
    ProcessHandle start(const ProcessStart& what, bool showMaximized) override;
    StandardUserStart startAsStandardUser(const ProcessStart& what, bool showMaximized,
                                          ProcessHandle& started) override;
    bool hasEnded(const ProcessHandle& process) override;
    // 259 (STILL_ACTIVE) while running; nullopt for an unknown or closed handle.
    std::optional<std::uint32_t> exitCode(const ProcessHandle& process) override;
    void close(ProcessHandle& process) override;
    bool terminate(const ProcessHandle& process, std::uint32_t code) override;

  private:
    ProcessHandle launch(const ProcessStart& what, bool showMaximized, bool asStandardUser);
    Running* find(const ProcessHandle& process);

    SimMachine& machine_;
    std::uintptr_t nextHandle_ = 0x100;
};

class SimKernelObjects : public KernelObjects {
  public:
    explicit SimKernelObjects(SimMachine& machine) : machine_(machine) {}

    // Mutex names that exist, with how many handles hold them (other processes' count too).
    std::map<std::string, int> mutexes;
    std::set<std::string> failingMutexes; // createMutex answers 0 for these
    std::vector<std::string> createdMutexes, releasedMutexes;
    std::set<std::string> events;
    bool eventsFail = false;

    // Names compare exactly, as the kernel's object names do.
    std::uintptr_t createMutex(const std::string& name) override; // last error 183 when it existed
    void closeAllHandles();                                       // the process ended
    void releaseMutex(std::uintptr_t mutex) override;
    bool createSignalledEvent(const std::string& name) override;

  private:
    SimMachine& machine_;
    std::map<std::uintptr_t, std::string> handles_;
    std::uintptr_t nextHandle_ = 0x200;
};

class SimShell : public Shell {
  public:
    explicit SimShell(SimMachine& machine) : machine_(machine) {}

    std::optional<std::string> programFiles = std::string("C:\\Program Files");
    int associationNotifications = 0;
    int settles = 0;
    std::vector<std::string> deletedPatterns;

    std::optional<std::string> programFilesFolder() override { return programFiles; }
    std::optional<std::string> defaultDesktop = std::string("C:\\Users\\Default\\Desktop");
    std::optional<std::string> defaultUserDesktop() override { return defaultDesktop; }
    // A shortcut is a small text file on the simulated disk: the folder must exist.
    bool createShortcut(const std::string& link, const std::string& target,
                        const std::string& description) override;
    // Saved at once: nothing is left for settle() to wait for.
    void startShortcut(const std::string& link, const std::string& target,
                       const std::string& description) override {
        createShortcut(link, target, description);
    }
    std::optional<std::string> shortcutTarget(const std::string& link) override;
    std::optional<std::string> shortcutDescription(const std::string& link);
    // Deletes every matching file; true when all of them went (also when none matched).
    bool deletePattern(const std::string& pattern) override;
    void notifyAssociationsChanged() override { ++associationNotifications; }
    void settle() override { ++settles; }

  private:
    SimMachine& machine_;
};

class SimPower : public Power {
  public:
    bool privilegeResult = true;
    bool restartResult = true;
    int privilegeCalls = 0;
    int restartCalls = 0;

    bool enableShutdownPrivilege() override {
        ++privilegeCalls;
        return privilegeResult;
    }
    bool restartWindows() override {
        ++restartCalls;
        return restartResult;
    }
};

class SimServiceControl : public ServiceControl {
  public:
    bool isAvailable = true;
    bool managerOpens = true;
    bool serviceOpens = true;
    std::uint32_t startError = 0;
    // Answers of query(), one each; the last one repeats. Empty: query fails.
    std::deque<ServiceStatus> statuses;
    std::vector<std::string> openedServices;
    int managerOpenCalls = 0, startCalls = 0, queryCalls = 0, closeCalls = 0;

    bool available() override { return isAvailable; }
    bool openManager() override;
    bool openService(const std::string& name) override;
    std::uint32_t start() override;
    std::optional<ServiceStatus> query() override;
    void closeService() override { ++closeCalls; }
    std::uint32_t lastFailure() override { return failure; }
    std::uint32_t failure = 0;
};

class SimTraceTransport : public TraceTransport {
  public:
    struct Line {
        WindowHandle sender;
        std::string text;
    };

    WindowHandle monitor = 0; // 0: no "Trace Monitor" window
    WindowHandle sender = 0x7a0;
    bool senderFails = false;
    // The viewer answers this many lines, then stops answering (send returns false).
    std::optional<std::size_t> answerLines;
    std::vector<Line> lines; // lines the viewer took
    int sendCalls = 0;
    int sendersCreated = 0;
    // The thread's last error, which a send, like any window message, may change: a caller
    // that asks for its error after tracing reads the wire's.
    std::uint32_t* threadError = nullptr;

    WindowHandle findMonitor() override { return monitor; }
    WindowHandle createSender() override;
    bool send(WindowHandle monitorWindow, WindowHandle senderWindow, const std::string& line) override;
};

// The built-in table with per-test changes.
class SimStringTable : public StringTable {
  public:
    std::map<unsigned, std::string> overrides;
    std::set<unsigned> removed;

    void set(unsigned id, const std::string& text) {
        removed.erase(id);
        overrides[id] = text;
    }
    void remove(unsigned id) {
        overrides.erase(id);
        removed.insert(id);
    }
    std::string get(unsigned id) override;
};

class SimResources : public Resources {
  public:
    std::map<unsigned, std::vector<std::uint8_t>> data;
    // Number of load (or lock) attempts that fail before they work; kAlways never works.
    static constexpr unsigned kAlways = ~0u;
    unsigned loadFailures = 0;
    unsigned lockFailures = 0;
    int loads = 0;

    explicit SimResources(SimMachine& machine) : machine_(machine) {}

    bool find(unsigned id) override { return data.count(id) != 0; }
    std::size_t size(unsigned id) override;
    const std::uint8_t* load(unsigned id, bool& loadFailed) override;

  private:
    SimMachine& machine_;
};

// The end of the setup process: as on Windows, its kernel handles are closed and its
// windows destroyed, so that a later run on the same machine does not meet them (the
// checks would take a leftover frame or installer mutex for a second setup).
class SimProcessExit : public ProcessExit {
  public:
    explicit SimProcessExit(SimMachine& machine) : machine_(machine) {}
    std::optional<std::uint32_t> code;
    [[noreturn]] void exit(std::uint32_t exitCode) override;

  private:
    SimMachine& machine_;
};

class SimMachine {
  public:
    SimMachine();
    SimMachine(const SimMachine&) = delete;
    SimMachine& operator=(const SimMachine&) = delete;

    Machine machine();

    // --- shortcuts for common set-up ---------------------------------------------------
    void writeText(const std::string& path, const std::string& text) { files.writeText(path, text); }
    std::string readText(const std::string& path) const { return files.readText(path); }
    // Sets the temporary folder (a trailing backslash is added) and creates it.
    void setTempPath(const std::string& path);
    std::string tempFile(const std::string& name) const { return system.temp + name; }

    // Declared in port order; each fake may reach the others through the machine.
    SimProfileStore profile;
    SimFileSystem files;
    SimSystemInfo system;
    SimRegistry registry;
    SimClock clock;
    SimWindowSystem windows;
    SimProcesses processes;
    SimKernelObjects kernel;
    SimShell shell;
    SimPower power;
    SimServiceControl services;
    SimTraceTransport traceWire;
    SimStringTable strings;
    SimResources resources;
    SimProcessExit exit;
    SimDiscovery discovery;
    SimChecks checks;
    SimCompanionSystem companions;
    SimBrowserData browsers;
};

} // namespace zov::sim
