#include "sim/sim_checks.h"

#include "checks/os_version.h"

#include "sim/sim_machine.h"

#include <algorithm>
#include <cctype>

namespace zov::sim {
namespace {

constexpr std::uint32_t kAccessDenied = 5;
constexpr std::uint32_t kFileNotFound = 2;
constexpr std::uint32_t kPathNotFound = 3;
constexpr std::uintptr_t kFirstOpenedHandle = 0x9000;

std::string fileNameOf(const std::string& path) {
    std::size_t slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string rootOf(const std::string& path) {
    std::string root = path.substr(0, 3);
    for (char& c : root)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return root;
}

} // namespace

SimChecks::SimChecks(SimMachine& machine)
    : machine_(machine), ports_{*this, *this, *this, *this, *this, *this, *this} {}

std::optional<bool> SimChecks::verifyVersion(std::uint32_t platform, std::uint32_t major,
                                             VersionCondition majorCondition, std::uint32_t minor,
                                             VersionCondition minorCondition) {
    ++verifyCalls;
    if (!verifyAvailable || verifyFails)
        return std::nullopt;
    const OsVersion& os = machine_.system.os;
    return os.platform == platform && versionFieldMatches(os.major, majorCondition, major) &&
           versionFieldMatches(os.minor, minorCondition, minor);
}

std::vector<TopWindow> SimChecks::topLevelWindows() {
    std::vector<TopWindow> out;
    for (const auto& w : machine_.windows.windows) {
        TopWindow t;
        t.handle = w.handle;
        t.windowClass = w.windowClass;
        t.title = w.title.substr(0, 255);
        auto style = styles.find(w.handle);
        t.style = style == styles.end() ? 0 : style->second;
        auto parent = parents.find(w.handle);
        t.parent = parent == parents.end() ? 0 : parent->second;
        out.push_back(t);
    }
    return out;
}

bool SimChecks::sendWithCallback(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                 std::intptr_t lParam, std::function<void(std::intptr_t)> onReply) {
    if (!machine_.windows.windowExists(window))
        return false;
    std::intptr_t reply = machine_.windows.sendMessage(window, message, wParam, lParam);
    if (!silentReplies.count(window) && onReply)
        onReply(reply);
    return true;
}

std::optional<std::intptr_t> SimChecks::sendBounded(WindowHandle window, std::uint32_t message,
                                                    std::uintptr_t wParam, std::intptr_t lParam,
                                                    std::uint32_t timeoutMs) {
    if (hungWindows.count(window)) {
        machine_.clock.advance(timeoutMs);
        return std::nullopt;
    }
    if (!machine_.windows.windowExists(window))
        return std::nullopt;
    return machine_.windows.sendMessage(window, message, wParam, lParam);
}

MutexOpen SimChecks::openMutex(const std::string& name) {
    if (machine_.kernel.mutexes.count(name))
        return {true, 0};
    if (deniedMutexes.count(name))
        return {false, kAccessDenied};
    return {false, kFileNotFound};
}

std::uint32_t SimChecks::addProcess(const std::string& exePath, std::uint32_t session) {
    Process p;
    p.pid = nextPid++;
    p.exePath = exePath;
    p.modules.push_back({fileNameOf(exePath), exePath});
    p.session = session;
    processList_.push_back(p);
    return p.pid;
}

void SimChecks::removeProcess(std::uint32_t pid) {
    processList_.erase(std::remove_if(processList_.begin(), processList_.end(),
                                      [pid](const Process& p) { return p.pid == pid; }),
                       processList_.end());
}

std::optional<std::vector<ProcessEntry>> SimChecks::processList() {
    if (!toolhelp)
        return std::nullopt;
    std::vector<ProcessEntry> out;
    for (const Process& p : processList_)
        out.push_back({p.pid, fileNameOf(p.exePath), p.exePath});
    return out;
}

std::optional<std::vector<ModuleEntry>> SimChecks::moduleList(std::uint32_t pid) {
    if (!toolhelp)
        return std::nullopt;
    for (const Process& p : processList_)
        if (p.pid == pid)
            return p.modules;
    return std::nullopt;
}

std::uint32_t SimChecks::windowProcess(WindowHandle window) {
    auto it = windowPids.find(window);
    return it == windowPids.end() ? 0 : it->second;
}

ProcessHandle SimChecks::openProcess(std::uint32_t pid, std::uint32_t access) {
    // Windows 2000 and XP refuse any bit outside their all-access mask, as the newer
    // headers' 0x1FFFFF has.
    if ((access & ~0x1F0FFFu) != 0) {
        machine_.system.error = err::kAccessDenied;
        return {};
    }
    for (const Process& p : processList_) {
        if (p.pid != pid)
            continue;
        openedPids.push_back(pid);
        ProcessHandle handle{kFirstOpenedHandle + openedPids.size() * 8, 0};
        SimProcesses::Running running;
        running.program = p.exePath;
        running.pollsLeft = 1000000; // runs until it is ended
        machine_.processes.running[handle.process] = running;
        return handle;
    }
    machine_.system.error = kFileNotFound;
    return {};
}

FreeSpaceEx SimChecks::freeSpaceEx(const std::string& root) {
    FreeSpaceEx answer;
    if (!kernelModule) {
        answer.outcome = FreeSpaceEx::Outcome::NoKernel;
        return answer;
    }
    if (!newQueryExists) {
        answer.outcome = FreeSpaceEx::Outcome::Missing;
        answer.error = 127;
        return answer;
    }
    auto bytes = newQueryFails ? std::nullopt : machine_.system.freeBytes(root);
    if (!bytes) {
        answer.outcome = FreeSpaceEx::Outcome::Failed;
        answer.error = kPathNotFound;
        return answer;
    }
    answer.outcome = FreeSpaceEx::Outcome::Ok;
    answer.bytes = *bytes;
    return answer;
}

FreeSpaceOld SimChecks::freeSpaceOld(const std::string& root) {
    FreeSpaceOld answer;
    auto bytes = oldQueryFails ? std::nullopt : machine_.system.freeBytes(root);
    if (!bytes) {
        answer.error = kPathNotFound;
        return answer;
    }
    answer.ok = true;
    answer.sectorsPerCluster = 8;
    answer.bytesPerSector = 512;
    answer.freeClusters = static_cast<std::uint32_t>(std::min<std::uint64_t>(*bytes / 4096, 0xFFFFFFFFu));
    return answer;
}

std::optional<RecycleBinInfo> SimChecks::recycleBin(const std::string& root) {
    auto it = recycleBins.find(rootOf(root));
    if (it == recycleBins.end())
        return std::nullopt;
    return it->second;
}

bool SimChecks::emptyRecycleBin(const std::string& root) {
    auto it = recycleBins.find(rootOf(root));
    if (it == recycleBins.end())
        return false;
    emptiedBins.push_back(rootOf(root));
    auto free = machine_.system.freeSpace.find(rootOf(root));
    if (free != machine_.system.freeSpace.end() && free->second)
        *free->second += it->second.bytes;
    it->second = {};
    return true;
}

std::optional<std::string> SimChecks::shellTypeName(const std::string& path) {
    auto it = typeNames.find(pathKey(path));
    if (it == typeNames.end())
        return std::string("File folder");
    return it->second;
}

std::optional<std::vector<DirectoryEntry>> SimChecks::listDirectory(const std::string& listed) {
    // Below a junction or symbolic link (the discovery's links) the target is listed.
    const std::string directory = machine_.discovery.resolve(listed);
    const std::string key = pathKey(directory);
    if (!machine_.files.isDirectory(directory) ||
        std::find(removedDirectories.begin(), removedDirectories.end(), key) != removedDirectories.end())
        return std::nullopt;
    std::vector<DirectoryEntry> out;
    std::set<std::string> subdirectories;
    const std::uint64_t now = machine_.clock.unixSeconds();
    // A drive root's key already ends with its backslash.
    const std::string prefix = !key.empty() && key.back() == '\\' ? key : key + "\\";
    for (const std::string& path : machine_.files.allFiles()) {
        std::string normalized = normalizePath(path);
        if (pathKey(normalized).rfind(prefix, 0) != 0)
            continue;
        std::string rest = normalized.substr(prefix.size());
        std::size_t slash = rest.find('\\');
        if (slash != std::string::npos) {
            subdirectories.insert(rest.substr(0, slash));
            continue;
        }
        DirectoryEntry entry;
        entry.name = rest;
        auto size = sizes.find(pathKey(normalized));
        entry.size = size != sizes.end() ? size->second : machine_.files.readText(normalized).size();
        auto time = modified.find(pathKey(normalized));
        entry.modified = time != modified.end() ? time->second : now;
        out.push_back(entry);
    }
    for (const std::string& name : subdirectories)
        out.push_back({name, true, false, 0, now});
    for (const auto& [link, target] : machine_.discovery.links) {
        const std::string norm = normalizePath(link);
        if (pathKey(parentOf(norm)) == pathKey(listed))
            out.push_back({norm.substr(norm.rfind('\\') + 1), true, true, 0, now});
    }
    return out;
}

bool SimChecks::deleteFileForced(const std::string& path) {
    return machine_.files.removeFile(machine_.discovery.resolve(path));
}

bool SimChecks::removeDirectory(const std::string& path) {
    auto listing = listDirectory(path);
    if (!listing || !listing->empty())
        return false;
    removedDirectories.push_back(pathKey(path));
    return true;
}

bool SimChecks::createDirectory(const std::string& path) {
    if (failingDirectories.count(pathKey(path)) || !machine_.files.isDirectory(parentOf(normalizePath(path))))
        return false;
    if (machine_.files.exists(path))
        return false;
    machine_.files.makeDirectory(path);
    createdDirectories.push_back(normalizePath(path));
    return true;
}

std::optional<std::string> SimChecks::fileVersion(const std::string& path) {
    auto it = versions.find(pathKey(path));
    if (it == versions.end())
        return std::nullopt;
    return it->second;
}

std::optional<std::uint64_t> SimChecks::fileSize(const std::string& path) {
    if (!machine_.files.fileExists(path))
        return std::nullopt;
    auto it = sizes.find(pathKey(path));
    return it != sizes.end() ? it->second : machine_.files.readText(path).size();
}

std::optional<std::vector<SessionProcess>> SimChecks::processes() {
    if (!sessionsAvailable)
        return std::nullopt;
    std::vector<SessionProcess> out;
    for (const Process& p : processList_)
        out.push_back({fileNameOf(p.exePath), p.session, p.hasSid, p.account});
    return out;
}

std::optional<std::string> SimChecks::sessionUserName(std::uint32_t session) {
    auto it = sessionUsers.find(session);
    if (it == sessionUsers.end())
        return std::nullopt;
    return it->second;
}

std::optional<std::string> SimChecks::transact(const std::string& pipe, const std::string& request,
                                               std::size_t maxReply, std::uint32_t) {
    pipeRequests.push_back(pipe + "|" + request);
    auto it = pipeServers.find(pipe);
    if (it == pipeServers.end() || !it->second)
        return std::nullopt;
    std::string reply = it->second(request);
    if (reply.size() > maxReply)
        return std::nullopt; // a message longer than the buffer is a failed read
    return reply;
}

bool SimChecks::startServer(const std::string& pipe, std::size_t maxRequest, Answer answer) {
    serverStarts.push_back(pipe);
    pipeServers[pipe] = [maxRequest, answer](const std::string& request) {
        return answer(request.substr(0, maxRequest));
    };
    return true;
}

} // namespace zov::sim
