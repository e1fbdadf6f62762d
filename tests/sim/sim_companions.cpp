#include "sim/sim_companions.h"

#include "sim/sim_machine.h"

#include <algorithm>

namespace zov::sim {

class SimSharedFile final : public SharedFile {
  public:
    SimSharedFile(SimCompanionSystem& owner, SimMachine& machine, std::string path)
        : owner_(owner), machine_(machine), path_(std::move(path)) {}

    std::optional<std::uint64_t> size() override {
        if (owner_.sizeFails)
            return std::nullopt;
        const SimFileSystem::File* f = machine_.files.file(path_);
        return f ? f->bytes.size() : 0;
    }

    std::size_t read(std::uint64_t offset, void* buffer, std::size_t size) override {
        owner_.largestRead = std::max(owner_.largestRead, size);
        if (owner_.readFailsFrom && offset >= *owner_.readFailsFrom)
            return 0;
        const SimFileSystem::File* f = machine_.files.file(path_);
        if (!f || offset >= f->bytes.size())
            return 0;
        std::size_t n = std::min<std::size_t>(size, f->bytes.size() - offset);
        std::copy_n(f->bytes.data() + offset, n, static_cast<char*>(buffer));
        return n;
    }

    bool append(const void* data, std::size_t size) override {
        if (owner_.appendFails)
            return false;
        std::string bytes = machine_.files.readText(path_);
        bytes.append(static_cast<const char*>(data), size);
        machine_.files.store(path_, std::move(bytes));
        return true;
    }

  private:
    SimCompanionSystem& owner_;
    SimMachine& machine_;
    std::string path_;
};

void SimCompanionSystem::registerClassKey(const std::string& key, std::optional<std::string> defaultValue) {
    classKeys[pathKey(key)] = std::move(defaultValue);
}

void SimCompanionSystem::setVersion(const std::string& path, std::uint16_t major, std::uint16_t minor,
                                    std::uint16_t build, std::uint16_t revision) {
    versions[pathKey(path)] = FileVersionWords{static_cast<std::uint32_t>(major) << 16 | minor,
                                               static_cast<std::uint32_t>(build) << 16 | revision};
}

bool SimCompanionSystem::classKeyExists(const std::string& key) {
    const std::string wanted = pathKey(key);
    for (const auto& [k, value] : classKeys) {
        if (k == wanted || k.rfind(wanted + "\\", 0) == 0)
            return true;
    }
    return false;
}

std::optional<std::string> SimCompanionSystem::classKeyDefault(const std::string& key, std::size_t maxBytes) {
    auto it = classKeys.find(pathKey(key));
    if (it == classKeys.end() || !it->second || maxBytes == 0)
        return std::nullopt;
    // Like RegQueryValueExA, a value that does not fit is not read at all.
    if (it->second->size() + 1 > maxBytes)
        return std::nullopt;
    return it->second;
}

std::optional<FileVersionWords> SimCompanionSystem::fileVersion(const std::string& path) {
    auto it = versions.find(pathKey(path));
    if (it == versions.end() || !machine_.files.fileExists(path))
        return std::nullopt;
    return it->second;
}

ProcessHandle SimCompanionSystem::startDetached(const ProcessStart& what) {
    detachedStarts.push_back(what.commandLine());
    return machine_.processes.start(what, false);
}

bool SimCompanionSystem::waitForExit(const ProcessHandle& process, std::uint32_t milliseconds) {
    waits.push_back(milliseconds);
    auto it = machine_.processes.running.find(process.process);
    if (it == machine_.processes.running.end() || it->second.closed)
        return false;
    if (it->second.pollsLeft > 0) {
        machine_.clock.sleep(milliseconds);
        return false;
    }
    it->second.ended = true;
    return true;
}

std::unique_ptr<SharedFile> SimCompanionSystem::openShared(const std::string& path) {
    ++opens;
    if (openFails) {
        machine_.system.error = err::kAccessDenied;
        return nullptr;
    }
    if (!machine_.files.fileExists(path)) {
        if (!machine_.files.canWriteFile(path))
            return nullptr;
        machine_.files.store(path, "");
    }
    return std::make_unique<SimSharedFile>(*this, machine_, normalizePath(path));
}

} // namespace zov::sim
