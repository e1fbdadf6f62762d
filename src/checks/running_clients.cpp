#include "checks/running_clients.h"

#include "run/text.h"
#include "protocol/contract.h"
#include "protocol/pipe_wire.h"
#include "platform/message_waits.h"

#include <memory>

namespace zov {
namespace {

using names::kClientMutex;
using names::kClientPipe;
using names::kInstallerPipe;
using names::kSiblingMutex;
using names::kVariantMutex;
const char* const kControlClass = names::kClientControlClass;
const char* const kClientKeys[] = {
    "Software\\Velquonet\\Velquonet\\CurrentVersion",
    "Software\\Velquonet\\ZOV\\CurrentVersion",
    "Software\\ZOV\\ZOV\\CurrentVersion",
};
constexpr std::uint32_t kFileNotFound = 2;
constexpr std::uint32_t kAccessDenied = 5;
// All access as Windows 2000 and XP know it: they refuse the newer systems' 0x1FFFFF.
constexpr std::uint32_t kProcessAllAccess = 0x1F0FFF;
constexpr std::uint32_t kAppWindowMask = 0x10CA0000; // visible, caption, system menu, minimise box
constexpr int kListedApplications = 10;
using pipe::kCommandTitle;
using pipe::kCommandUserName;

std::string fileNameOf(const std::string& path) {
    std::size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

RunningClients::RunningClients(RunContext& run, WindowHandle mainWindow)
    : run_(run), main_(mainWindow), os_(run.m.system, run.m.checks.version) {}

bool RunningClients::clientWindows(std::string* titles) {
    const std::string setupClass = text(1);
    const std::string uninstallTitle = text(1373);
    const std::string uninstallClass = text(1374);
    bool found = false;
    for (const TopWindow& w : run_.m.checks.desktop.topLevelWindows()) {
        if (w.handle == main_)
            continue;
        bool client = equalsNoCase(w.windowClass, names::kClientFrameClass) ||
                      equalsNoCase(w.windowClass, "ZOV Frame25") || equalsNoCase(w.windowClass, setupClass) ||
                      (w.title == uninstallTitle && equalsNoCase(w.windowClass, uninstallClass));
        if (!client)
            continue;
        found = true;
        if (titles != nullptr)
            *titles += w.title + "\n";
    }
    return found;
}

bool RunningClients::anotherSetup() {
    const std::string setupClass = text(1);
    const std::string setupTitle = text(2);
    bool found = false;
    for (const TopWindow& w : run_.m.checks.desktop.topLevelWindows()) {
        if (w.handle == main_ || !equalsNoCase(w.windowClass, setupClass) || w.title != setupTitle)
            continue;
        run_.m.checks.desktop.bringToForeground(w.handle);
        found = true;
    }
    return found;
}

bool RunningClients::openApplications(std::string& list) {
    int counted = 0;
    for (const TopWindow& w : run_.m.checks.desktop.topLevelWindows()) {
        if (counted >= kListedApplications + 1)
            break;
        if (w.handle == main_ || (main_ != 0 && w.parent == main_))
            continue;
        if (equalsNoCase(w.windowClass, "Progman") || equalsNoCase(w.windowClass, "WFS_Frame") ||
            equalsNoCase(w.windowClass, "CabinetWClass") || equalsNoCase(w.windowClass, "ExploreWClass") ||
            startsWithNoCase(w.windowClass, "ZOVLauncher"))
            continue;
        if ((w.style & kAppWindowMask) != kAppWindowMask)
            continue;
        ++counted;
        list += (counted <= kListedApplications ? w.title : text(222)) + "\n";
    }
    return counted > 0;
}

bool RunningClients::mutexPresent(const std::string& name, bool& openable) {
    MutexOpen probe = run_.m.checks.processes.openMutex(name);
    if (probe.opened) {
        openable = true;
        return true;
    }
    if (os_.xpOrLater() && probe.error != kFileNotFound) {
        if (probe.error == kAccessDenied) {
            // It exists in a session or account this process cannot reach.
            openable = false;
            return true;
        }
        return false;
    }
    openable = false;
    return false;
}

bool RunningClients::anyClientPresent() {
    const std::string prefix = os_.xpOrLater() ? "Global\\" : "";
    for (const char* name : {kClientMutex, kVariantMutex, kSiblingMutex}) {
        bool openable = false;
        if (mutexPresent(prefix + name, openable))
            return true;
    }
    return false;
}

std::optional<std::string> RunningClients::clientFolder() {
    Registry& registry = run_.m.registry;
    for (const char* key : kClientKeys) {
        if (!registry.keyExists(RegRoot::LocalMachine, key))
            continue;
        std::optional<std::string> folder = registry.readString(RegRoot::LocalMachine, key, "Apppath", 260);
        if (!folder)
            return std::nullopt;
        if (std::optional<std::string> longer = run_.m.discovery.longPathName(*folder))
            return longer;
        return folder;
    }
    return std::nullopt;
}

ProcessHandle RunningClients::findClientProcess(const std::string& name) {
    std::optional<std::string> folder = clientFolder();
    if (!folder)
        return {};
    const std::string expected = *folder + "\\" + name;
    ProcessProbe& probe = run_.m.checks.processes;
    if (!probe.toolhelpAvailable())
        return {};
    std::optional<std::vector<ProcessEntry>> processes = probe.processList();
    if (!processes)
        return {};
    for (const ProcessEntry& process : *processes) {
        if (!equalsNoCase(fileNameOf(process.exeFile), name))
            continue;
        std::optional<std::vector<ModuleEntry>> modules = probe.moduleList(process.pid);
        if (!modules)
            continue;
        for (const ModuleEntry& module : *modules)
            if (equalsNoCase(module.name, name) && equalsNoCase(module.path, expected))
                return probe.openProcess(process.pid, kProcessAllAccess);
    }
    return {};
}

bool RunningClients::usersInOtherSessions(std::string& names) {
    SessionProbe& sessions = run_.m.checks.sessions;
    if (!os_.xpOrLater() || !sessions.available())
        return false;
    run_.trace.printf("Getting ZOV users");
    const std::uint32_t console = sessions.activeConsoleSession();
    std::optional<std::vector<SessionProcess>> processes = sessions.processes();
    if (!processes)
        return false;
    const std::string client = text(1261);
    bool found = false;
    std::string joined;
    auto add = [&joined](const std::string& name) {
        if (!joined.empty())
            joined += ", ";
        joined += name;
    };
    for (const SessionProcess& process : *processes) {
        if (process.name != client || process.session == console)
            continue;
        found = true;
        if (process.hasSid) {
            if (process.account)
                add(*process.account);
        } else if (std::optional<std::string> user = sessions.sessionUserName(process.session);
                   user && !user->empty()) {
            add(*user);
        }
    }
    if (found)
        names = joined;
    return found;
}

std::string RunningClients::pipeRequest(std::uint32_t command) {
    return pipe::request(command);
}

std::optional<std::string> RunningClients::askPipe(const std::string& pipe, std::uint32_t command) {
    if (!os_.xpOrLater())
        return std::nullopt;
    std::optional<std::string> reply =
        run_.m.checks.pipes.transact(pipe, pipeRequest(command), kPipeMessageMax, kPipeTimeoutMs);
    if (!reply || reply->empty())
        return std::nullopt;
    return reply->substr(0, reply->find('\0'));
}

bool RunningClients::sessionTest(std::string& user, std::string& application) {
    user = text(223);
    application = text(224);
    bool openable = false;
    if (mutexPresent(std::string("Global\\") + kClientMutex, openable)) {
        std::string names;
        if (usersInOtherSessions(names))
            user = names;
        return true;
    }
    const std::pair<const char*, unsigned> variants[] = {{kVariantMutex, 224}, {kSiblingMutex, 225}};
    for (const auto& [mutex, fallback] : variants) {
        if (!mutexPresent(std::string("Global\\") + mutex, openable))
            continue;
        if (openable)
            return true;
        user = askPipe(kClientPipe, kCommandUserName).value_or(text(223));
        application = askPipe(kClientPipe, kCommandTitle).value_or(text(fallback));
        return true;
    }
    if (mutexPresent(names::kInstallerMutex, openable) || mutexPresent(names::kUninstallerMutex, openable)) {
        user = askPipe(kInstallerPipe, kCommandUserName).value_or(text(223));
        application = askPipe(kInstallerPipe, kCommandTitle).value_or(text(223));
        return true;
    }
    return false;
}

std::string RunningClients::shutdownMarkerPath(const std::vector<ProcessEntry>& processes) {
    for (const ProcessEntry& process : processes) {
        const std::string& path = process.exePath.empty() ? process.exeFile : process.exePath;
        if (!containsNoCase(path, "ZOV.EXE"))
            continue;
        std::size_t slash = path.find_last_of('\\');
        std::string folder = slash == std::string::npos ? path : path.substr(0, slash + 1);
        return folder + "TOD\\CASADIL.phx";
    }
    return "";
}

void RunningClients::writeShutdownMarker(std::string& markerPath) {
    std::optional<std::vector<ProcessEntry>> processes = run_.m.checks.processes.processList();
    if (!processes)
        return;
    markerPath = shutdownMarkerPath(*processes);
    if (markerPath.empty())
        return;
    if (std::unique_ptr<OutputFile> file = run_.m.files.create(markerPath)) {
        file->write("x\n", 2);
        file->close();
    }
}

int RunningClients::ShutdownClient() {
    Trace& trace = run_.trace;
    Machine& m = run_.m;
    trace.printf("ShutdownClient()...");
    const std::string mutexName = std::string("Global\\") + kClientMutex;
    if (!clientWindows()) {
        trace.printf("no clients running");
        return 0;
    }
    trace.printf("sending shutdown message");
    const std::string controlClass = kControlClass;
    WindowHandle control = m.windows.findWindow(&controlClass, nullptr);
    if (control == 0)
        return 0;
    // A hung client must not hold the setup: the query waits a bounded time, and a client
    // that does not answer is asked to exit all the same (the wait below is bounded too).
    std::optional<std::intptr_t> bits =
        m.checks.desktop.sendBounded(control, msg::ClientQueryBits, 0, 0, kClientAnswerTimeoutMs);
    if (bits && (*bits & 0xFFFF) == 16) {
        trace.printf("Client is 16 bit - can't shutdown");
        return 2;
    }
    std::string marker;
    writeShutdownMarker(marker);
    m.windows.postMessage(control, msg::ClientShutdown, 0, 0);

    // The poll reply may arrive after this function has returned (a client that answers
    // late): the callback owns what it writes to.
    struct Poll {
        bool arrived = false;
        std::intptr_t reply = 0;
    };
    auto poll = std::make_shared<Poll>();
    int result = 0;
    bool nudged = false;
    bool first = true;
    for (int counter = kShutdownPasses;;) {
        // Poll replies are answered as they come, and the pass keeps its 100 ms.
        pumpFor(m.windows, m.clock, 100);
        --counter;
        bool openable = false;
        const bool mutex = mutexPresent(mutexName, openable);
        if (first || poll->arrived) {
            first = false;
            poll->arrived = false;
            m.checks.desktop.sendWithCallback(control, msg::ClientPoll, 0, 0, [poll](std::intptr_t reply) {
                poll->reply = reply;
                poll->arrived = true;
            });
        }
        bool gone = false;
        if (clientWindows() || (mutex && openable)) {
            if (poll->reply == 0 && !nudged) {
                m.windows.postMessage(control, msg::ClientNudge, 1, 0);
                nudged = true;
            }
        } else {
            result = 0;
            trace.printf("Client sucessfully shut down");
            gone = true;
        }
        if (counter < 0) {
            result = 1;
            trace.printf("Client shutdown timed out");
            break;
        }
        if (gone)
            break;
    }
    if (!marker.empty() && m.files.exists(marker))
        m.files.removeFile(marker);
    return result;
}

void RunningClients::postSetupCancelled() {
    const std::string controlClass = kControlClass;
    if (WindowHandle control = run_.m.windows.findWindow(&controlClass, nullptr))
        run_.m.windows.postMessage(control, msg::ClientSetupCancelled, 0, 0);
}

std::string RunningClients::pipeReply(const std::string& request, const std::string& title,
                                      const std::function<std::string()>& userName) {
    if (request.empty())
        return "";
    std::string answer;
    switch (static_cast<unsigned char>(request[0])) {
    case kCommandUserName:
        answer = userName();
        break;
    case kCommandTitle:
        answer = title;
        break;
    default:
        return "";
    }
    return pipe::reply(answer);
}

void RunningClients::startPipeServer(const std::string& pipeName) {
    if (!os_.xpOrLater())
        return;
    // The connection threads read only constant data: a copy of the title and the port.
    const std::string title = text(2);
    SessionProbe* sessions = &run_.m.checks.sessions;
    run_.m.checks.pipes.startServer(pipeName, kPipeMessageMax, [title, sessions](const std::string& request) {
        return pipeReply(request, title, [sessions] { return sessions->ownUserDisplayName(); });
    });
}

} // namespace zov
