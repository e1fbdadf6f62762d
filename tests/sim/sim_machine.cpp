#include "sim/sim_machine.h"

#include "res/strings.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace zov::sim {
namespace {

constexpr std::uint32_t kStillActive = 259;
constexpr std::uint32_t kInvalidWindowHandle = 1400;
constexpr std::uint32_t kInvalidHandle = 6;
constexpr std::uint32_t kNotEnoughMemory = 8;
constexpr std::uint32_t kResourceNotFound = 1814;
constexpr std::uint32_t kDriveNoRootDir = 1;
constexpr std::uint32_t kDriveFixed = 3;
constexpr std::uint32_t kDriveCdrom = 5;

// "c:" or "c:\whatever" -> "C:\"; a network share's root is taken whole, as the caller
// names it.
std::string driveRoot(const std::string& path) {
    std::string root = path.rfind("\\\\", 0) == 0 ? path : path.substr(0, 3);
    if (root.size() == 2 && root[1] == ':')
        root += '\\';
    for (char& c : root)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return root;
}

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, unsigned& year, unsigned& month, unsigned& day) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = doy - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<unsigned>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2));
}

const char* const kShortcutHeader = "[sim shortcut]";

std::optional<std::string> shortcutField(const std::string& text, const std::string& field) {
    if (text.rfind(kShortcutHeader, 0) != 0)
        return std::nullopt;
    std::string tag = "\r\n" + field + "=";
    std::size_t at = text.find(tag);
    if (at == std::string::npos)
        return std::nullopt;
    at += tag.size();
    return text.substr(at, text.find("\r\n", at) - at);
}

} // namespace

// ------------------------------------------------------------------------------------
// SimSystemInfo

SimSystemInfo::SimSystemInfo(SimMachine& machine) : machine_(machine) {
    driveTypes = {{"C:\\", kDriveFixed}, {"D:\\", kDriveCdrom}};
    freeSpace = {{"C:\\", 50ull * 1000 * 1000 * 1000}, {"D:\\", 0}};
    errorTexts = {
        {0, "The operation completed successfully.\r\n"},
        {2, "The system cannot find the file specified.\r\n"},
        {3, "The system cannot find the path specified.\r\n"},
        {5, "Access is denied.\r\n"},
        {8, "Not enough storage is available to process this command.\r\n"},
        {112, "There is not enough space on the disk.\r\n"},
        {183, "Cannot create a file when that file already exists.\r\n"},
    };
}

void SimSystemInfo::processorIdentity(std::uint32_t& arch, std::uint32_t& lvl, std::uint32_t& rev) {
    arch = architecture;
    lvl = level;
    rev = revision;
}

std::uint32_t SimSystemInfo::measureCpuMhz() {
    ++cpuMeasurements;
    machine_.clock.advance(1000);
    return cpuMhz;
}

std::uint32_t SimSystemInfo::driveType(const std::string& root) {
    auto it = driveTypes.find(driveRoot(root));
    return it == driveTypes.end() ? kDriveNoRootDir : it->second;
}

std::optional<std::uint64_t> SimSystemInfo::freeBytes(const std::string& root) {
    auto it = freeSpace.find(driveRoot(root));
    if (it == freeSpace.end() || !it->second) {
        error = err::kPathNotFound;
        return std::nullopt;
    }
    return it->second;
}

std::string SimSystemInfo::errorText(std::uint32_t code) {
    auto it = errorTexts.find(code);
    return it == errorTexts.end() ? std::string() : it->second;
}

// ------------------------------------------------------------------------------------
// SimClock

CalendarTime SimClock::calendar(std::uint64_t unixMs) {
    CalendarTime t;
    const std::int64_t days = static_cast<std::int64_t>(unixMs / 86400000);
    const std::uint64_t inDay = unixMs % 86400000;
    civilFromDays(days, t.year, t.month, t.day);
    t.hour = static_cast<unsigned>(inDay / 3600000);
    t.minute = static_cast<unsigned>(inDay / 60000 % 60);
    t.second = static_cast<unsigned>(inDay / 1000 % 60);
    t.milliseconds = static_cast<unsigned>(inDay % 1000);
    t.weekday = static_cast<unsigned>((days + 4) % 7);
    return t;
}

std::uint64_t SimClock::toUnixMs(unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                                 unsigned second, unsigned milliseconds) {
    const std::int64_t days = daysFromCivil(year, month, day);
    return static_cast<std::uint64_t>(days) * 86400000 + hour * 3600000ull + minute * 60000ull +
           second * 1000ull + milliseconds;
}

void SimClock::setUtc(unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                      unsigned second, unsigned milliseconds) {
    bootTickMs = tickCount();
    nowMs = toUnixMs(year, month, day, hour, minute, second, milliseconds);
    startMs = nowMs;
}

CalendarTime SimClock::localNow() {
    return calendar(static_cast<std::uint64_t>(static_cast<std::int64_t>(nowMs) + utcOffsetSeconds * 1000));
}

std::uint32_t SimClock::tickCount() {
    return static_cast<std::uint32_t>(bootTickMs + (nowMs - startMs)); // wraps like the real one
}

void SimClock::sleep(std::uint32_t milliseconds) {
    ++sleeps;
    sleptMs += milliseconds;
    nowMs += milliseconds;
}

// ------------------------------------------------------------------------------------
// SimWindowSystem

SimWindowSystem::SimWindowSystem(SimMachine& machine) : machine_(machine) {}

WindowHandle SimWindowSystem::addWindow(const std::string& windowClass, const std::string& title,
                                        Handler handler) {
    WindowHandle handle = nextHandle_;
    nextHandle_ += 0x10;
    windows.push_back({handle, windowClass, title, std::move(handler)});
    return handle;
}

bool SimWindowSystem::removeWindow(WindowHandle handle) {
    for (auto it = windows.begin(); it != windows.end(); ++it) {
        if (it->handle == handle) {
            windows.erase(it);
            return true;
        }
    }
    return false;
}

const SimWindowSystem::Window* SimWindowSystem::window(WindowHandle handle) const {
    for (const Window& w : windows)
        if (w.handle == handle)
            return &w;
    return nullptr;
}

std::vector<SimWindowSystem::Message> SimWindowSystem::messagesOf(std::uint32_t message) const {
    std::vector<Message> out;
    for (const Message& m : messages)
        if (m.message == message)
            out.push_back(m);
    return out;
}

void SimWindowSystem::sendFromOtherProcess(std::uint64_t afterMs, WindowHandle target, std::uint32_t message,
                                           std::uintptr_t wParam, std::intptr_t lParam) {
    Incoming sent{machine_.clock.nowMs + afterMs, {target, message, wParam, lParam, false}};
    auto later = std::find_if(incoming.begin(), incoming.end(),
                              [&](const Incoming& i) { return i.dueMs > sent.dueMs; });
    incoming.insert(later, sent);
}

void SimWindowSystem::waitForMessage(std::uint32_t milliseconds, const ProcessHandle* process) {
    ++waits;
    SimClock& clock = machine_.clock;
    if (!postedQueue.empty())
        return;
    if (process != nullptr) {
        auto running = machine_.processes.running.find(process->process);
        if (running == machine_.processes.running.end() || running->second.pollsLeft == 0)
            return;
    }
    const bool forever = milliseconds == kWaitForever;
    const std::uint64_t deadline = forever ? UINT64_MAX : clock.nowMs + milliseconds;
    for (const Incoming& i : incoming) {
        if (!i.answered && i.dueMs <= deadline) {
            clock.nowMs = std::max(clock.nowMs, i.dueMs);
            idleWaits_ = 0;
            return;
        }
    }
    if (forever) {
        if (++idleWaits_ > 100000)
            throw std::logic_error("a wait for a message that nothing will send");
        return;
    }
    clock.nowMs = deadline;
}

void SimWindowSystem::pumpMessages() {
    ++pumps;
    // By index: a handler may send more.
    for (std::size_t n = 0; n < incoming.size(); ++n) {
        if (incoming[n].answered || incoming[n].dueMs > machine_.clock.nowMs)
            continue;
        const Message m = incoming[n].message;
        incoming[n].answered = true;
        const std::intptr_t reply = sendMessage(m.target, m.message, m.wParam, m.lParam);
        incoming[n].reply = reply;
        incoming[n].answeredMs = machine_.clock.nowMs;
    }
    std::deque<Message> due;
    due.swap(postedQueue); // what is posted while delivering waits for the next pass
    for (const Message& m : due) {
        const Window* w = window(m.target);
        if (w && w->handler) {
            Handler handler = w->handler; // the handler may add or remove windows
            handler(m.message, m.wParam, m.lParam);
        }
    }
    if (onPump) {
        auto hook = onPump;
        hook(machine_);
    }
}

WindowHandle SimWindowSystem::findWindow(const std::string* windowClass, const std::string* title) {
    for (const Window& w : windows) {
        if (windowClass && !equalsNoCase(w.windowClass, *windowClass))
            continue;
        if (title && !equalsNoCase(w.title, *title))
            continue;
        return w.handle;
    }
    return 0;
}

bool SimWindowSystem::windowExists(WindowHandle handle) {
    return window(handle) != nullptr;
}

std::intptr_t SimWindowSystem::sendMessage(WindowHandle target, std::uint32_t message, std::uintptr_t wParam,
                                           std::intptr_t lParam) {
    messages.push_back({target, message, wParam, lParam, false});
    const Window* w = window(target);
    if (!w) {
        machine_.system.error = kInvalidWindowHandle;
        return 0;
    }
    if (!w->handler)
        return 0;
    Handler handler = w->handler;
    return handler(message, wParam, lParam);
}

bool SimWindowSystem::postMessage(WindowHandle target, std::uint32_t message, std::uintptr_t wParam,
                                  std::intptr_t lParam) {
    messages.push_back({target, message, wParam, lParam, true});
    if (!window(target)) {
        machine_.system.error = kInvalidWindowHandle;
        return false;
    }
    postedQueue.push_back({target, message, wParam, lParam, true});
    return true;
}

BoxAnswer SimWindowSystem::messageBox(BoxKind kind, const std::string& text, const std::string& caption) {
    boxes.push_back({kind, text, caption});
    if (onBox)
        onBox(text);
    if (!boxAnswers.empty()) {
        BoxAnswer answer = boxAnswers.front();
        boxAnswers.pop_front();
        return answer;
    }
    switch (kind) {
    case BoxKind::Question:
        return BoxAnswer::Yes;
    case BoxKind::Error:
        return BoxAnswer::Cancel;
    case BoxKind::Notice:
    case BoxKind::Warning:
        break;
    }
    return BoxAnswer::Ok;
}

// ------------------------------------------------------------------------------------
// SimProcesses

SimProcesses::SimProcesses(SimMachine& machine) : machine_(machine) {}

void SimProcesses::registerProgram(const std::string& path, Program program) {
    programs[pathKey(path)] = std::move(program);
}

int SimProcesses::openHandles() const {
    int n = 0;
    for (const auto& [handle, r] : running)
        n += r.closed ? 0 : 1;
    return n;
}

SimProcesses::Running* SimProcesses::find(const ProcessHandle& process) {
    auto it = running.find(process.process);
    if (it == running.end() || it->second.closed)
        return nullptr;
    return &it->second;
}

ProcessHandle SimProcesses::launch(const ProcessStart& what, bool showMaximized, bool asStandardUser) {
    const std::string& path = what.program;
    const std::string commandLine = what.commandLine();
    auto it = programs.find(pathKey(path));
    starts.push_back({path, commandLine, showMaximized, asStandardUser, it != programs.end()});
    if (it == programs.end()) {
        machine_.system.error = err::kFileNotFound;
        return {};
    }
    Program program = it->second; // the program may register others while it runs
    ProcessHandle handle{nextHandle_, nextHandle_ + 4};
    nextHandle_ += 8;
    running[handle.process] = {path, program.exitCode, program.pollsBeforeEnd, false, false};
    if (program.run)
        program.run(machine_, commandLine);
    return handle;
}

ProcessHandle SimProcesses::start(const ProcessStart& what, bool showMaximized) {
    return launch(what, showMaximized, false);
}

Processes::StandardUserStart SimProcesses::startAsStandardUser(const ProcessStart& what, bool showMaximized,
                                                               ProcessHandle& started) {
    started = {};
    if (standardUserOutcome != StandardUserStart::Started) {
        starts.push_back({what.program, what.commandLine(), showMaximized, true, false});
        if (standardUserOutcome == StandardUserStart::Failed)
            machine_.system.error = err::kAccessDenied;
        return standardUserOutcome;
    }
    started = launch(what, showMaximized, true);
    return started ? StandardUserStart::Started : StandardUserStart::Failed;
}

bool SimProcesses::hasEnded(const ProcessHandle& process) {
    Running* r = find(process);
    if (!r) { // a wait on a bad handle fails at once
        machine_.system.error = kInvalidHandle;
        return true;
    }
    if (r->pollsLeft > 0) {
        --r->pollsLeft;
        return false;
    }
    r->ended = true;
    return true;
}

std::optional<std::uint32_t> SimProcesses::exitCode(const ProcessHandle& process) {
    Running* r = find(process);
    if (!r)
        return std::nullopt;
    if (r->pollsLeft > 0)
        return kStillActive;
    r->ended = true;
    return r->exitCode;
}

void SimProcesses::close(ProcessHandle& process) {
    if (Running* r = find(process))
        r->closed = true;
    process = {};
}

bool SimProcesses::terminate(const ProcessHandle& process, std::uint32_t code) {
    terminations.emplace_back(process.process, code);
    Running* r = find(process);
    if (!r || terminateFails) {
        machine_.system.error = r ? err::kAccessDenied : kInvalidHandle;
        return false;
    }
    r->pollsLeft = 0;
    r->ended = true;
    r->exitCode = code;
    return true;
}

// ------------------------------------------------------------------------------------
// SimKernelObjects

std::uintptr_t SimKernelObjects::createMutex(const std::string& name) {
    if (failingMutexes.count(name)) {
        machine_.system.error = err::kAccessDenied;
        return 0;
    }
    createdMutexes.push_back(name);
    bool existed = mutexes[name]++ > 0;
    machine_.system.error = existed ? err::kAlreadyExists : 0;
    std::uintptr_t handle = nextHandle_;
    nextHandle_ += 4;
    handles_[handle] = name;
    return handle;
}

void SimKernelObjects::releaseMutex(std::uintptr_t mutex) {
    auto it = handles_.find(mutex);
    if (it == handles_.end())
        return;
    releasedMutexes.push_back(it->second);
    auto held = mutexes.find(it->second);
    if (held != mutexes.end() && --held->second <= 0)
        mutexes.erase(held);
    handles_.erase(it);
}

void SimKernelObjects::closeAllHandles() {
    while (!handles_.empty())
        releaseMutex(handles_.begin()->first);
}

void SimProcessExit::exit(std::uint32_t exitCode) {
    code = exitCode;
    machine_.kernel.closeAllHandles();
    auto& windows = machine_.windows.windows;
    windows.erase(
        std::remove_if(windows.begin(), windows.end(),
                       [](const SimWindowSystem::Window& w) { return w.windowClass == "ZOVInstallerClass"; }),
        windows.end());
    throw Exited{exitCode};
}

bool SimKernelObjects::createSignalledEvent(const std::string& name) {
    if (eventsFail) {
        machine_.system.error = err::kAccessDenied;
        return false;
    }
    events.insert(name);
    return true;
}

// ------------------------------------------------------------------------------------
// SimShell

bool SimShell::createShortcut(const std::string& link, const std::string& target,
                              const std::string& description) {
    if (!machine_.files.canWriteFile(link))
        return false;
    machine_.files.store(link, std::string(kShortcutHeader) + "\r\ntarget=" + target +
                                   "\r\ndescription=" + description + "\r\n");
    return true;
}

std::optional<std::string> SimShell::shortcutTarget(const std::string& link) {
    if (!machine_.files.fileExists(link))
        return std::nullopt;
    return shortcutField(machine_.files.readText(link), "target");
}

std::optional<std::string> SimShell::shortcutDescription(const std::string& link) {
    if (!machine_.files.fileExists(link))
        return std::nullopt;
    return shortcutField(machine_.files.readText(link), "description");
}

bool SimShell::deletePattern(const std::string& pattern) {
    deletedPatterns.push_back(pattern);
    bool all = true;
    for (const std::string& path : machine_.files.find(pattern))
        all = machine_.files.removeFile(path) && all;
    return all;
}

// ------------------------------------------------------------------------------------
// Small ports

bool SimServiceControl::openManager() {
    ++managerOpenCalls;
    if (!managerOpens)
        failure = 5; // access denied
    return managerOpens;
}

bool SimServiceControl::openService(const std::string& name) {
    openedServices.push_back(name);
    if (!serviceOpens)
        failure = 1060; // no such service
    return serviceOpens;
}

std::uint32_t SimServiceControl::start() {
    ++startCalls;
    if (startError != 0)
        failure = startError;
    return startError;
}

std::optional<ServiceStatus> SimServiceControl::query() {
    ++queryCalls;
    if (statuses.empty())
        return std::nullopt;
    ServiceStatus status = statuses.front();
    if (statuses.size() > 1)
        statuses.pop_front();
    return status;
}

WindowHandle SimTraceTransport::createSender() {
    ++sendersCreated;
    return senderFails ? 0 : sender;
}

bool SimTraceTransport::send(WindowHandle monitorWindow, WindowHandle senderWindow, const std::string& line) {
    ++sendCalls;
    if (threadError != nullptr)
        *threadError = 0;
    if (monitor == 0 || monitorWindow != monitor)
        return false;
    if (answerLines && lines.size() >= *answerLines)
        return false;
    lines.push_back({senderWindow, line});
    return true;
}

std::string SimStringTable::get(unsigned id) {
    if (removed.count(id))
        return "";
    auto it = overrides.find(id);
    if (it != overrides.end())
        return it->second;
    const char* text = builtinString(id);
    return text ? text : "";
}

std::size_t SimResources::size(unsigned id) {
    auto it = data.find(id);
    return it == data.end() ? 0 : it->second.size();
}

const std::uint8_t* SimResources::load(unsigned id, bool& loadFailed) {
    ++loads;
    loadFailed = false;
    auto it = data.find(id);
    if (it == data.end()) {
        loadFailed = true;
        machine_.system.error = kResourceNotFound;
        return nullptr;
    }
    if (loadFailures > 0) {
        if (loadFailures != kAlways)
            --loadFailures;
        loadFailed = true;
        machine_.system.error = kNotEnoughMemory;
        return nullptr;
    }
    if (lockFailures > 0) {
        if (lockFailures != kAlways)
            --lockFailures;
        machine_.system.error = kNotEnoughMemory;
        return nullptr;
    }
    static const std::uint8_t kEmpty = 0;
    return it->second.empty() ? &kEmpty : it->second.data();
}

// ------------------------------------------------------------------------------------
// SimMachine

SimMachine::SimMachine()
    : profile(*this), files(*this), system(*this), windows(*this), processes(*this), kernel(*this),
      shell(*this), resources(*this), exit(*this), discovery(*this), checks(*this), companions(*this),
      browsers(files, clock) {
    traceWire.threadError = &system.error;
    files.makeDirectory(system.windows);
    files.makeDirectory(system.system);
    files.makeDirectory(system.temp);
    files.makeDirectory("C:\\Program Files");
    files.makeDirectory("C:\\Users\\user\\Desktop");
    files.makeDirectory("C:\\Users\\Public\\Desktop");
    files.makeDirectory("D:\\");
    files.writeText(system.module, "MZ");

    const std::string currentVersion = "Software\\Microsoft\\Windows\\CurrentVersion";
    registry.setString(RegRoot::LocalMachine, currentVersion, "ProgramFilesDir", "C:\\Program Files");
    registry.setString(RegRoot::LocalMachine, currentVersion + "\\Explorer\\Shell Folders", "Common Desktop",
                       "C:\\Users\\Public\\Desktop");
    registry.setString(RegRoot::CurrentUser, currentVersion + "\\Explorer\\Shell Folders", "Desktop",
                       "C:\\Users\\user\\Desktop");
}

Machine SimMachine::machine() {
    return Machine{profile, files,     system,         registry,   clock,     windows, processes,
                   kernel,  shell,     power,          services,   traceWire, strings, resources,
                   exit,    discovery, checks.ports(), companions, browsers};
}

void SimMachine::setTempPath(const std::string& path) {
    system.temp = path;
    if (system.temp.empty() || system.temp.back() != '\\')
        system.temp += '\\';
    files.makeDirectory(system.temp);
}

} // namespace zov::sim
