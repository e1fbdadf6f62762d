// The companion-software port over the simulated machine: class registrations, version
// resources, the detached installer process, the shared trust file and the two probes.
#pragma once

#include "platform/ports_companions.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zov::sim {

class SimMachine;

class SimCompanionSystem : public CompanionSystem {
  public:
    explicit SimCompanionSystem(SimMachine& machine) : machine_(machine) {}

    // HKEY_CLASSES_ROOT keys by path (compared without case); the mapped value is the key's
    // default value, nullopt for a key without one. A key exists when it or a key below it
    // is registered.
    std::map<std::string, std::optional<std::string>> classKeys;
    void registerClassKey(const std::string& key, std::optional<std::string> defaultValue = std::nullopt);

    // Version resources by file path (compared without case); a file not listed has none.
    std::map<std::string, FileVersionWords> versions;
    void setVersion(const std::string& path, std::uint16_t major, std::uint16_t minor, std::uint16_t build,
                    std::uint16_t revision);

    // The detached starts, and every wait with its limit. A program whose pollsBeforeEnd
    // is not 0 is still running when any wait ends; the wait then takes its whole time on
    // the simulated clock.
    std::vector<std::string> detachedStarts;
    std::vector<std::uint32_t> waits;

    std::optional<std::string> commonAppData = std::string("C:\\ProgramData");

    // The shared file's failures: an unreadable size, a read that fails from this offset
    // on, an append that fails.
    bool sizeFails = false;
    std::optional<std::uint64_t> readFailsFrom;
    bool appendFails = false;
    bool openFails = false;
    std::size_t largestRead = 0;
    int opens = 0;

    bool network = false;
    int networkProbes = 0;

    bool classKeyExists(const std::string& key) override;
    std::optional<std::string> classKeyDefault(const std::string& key, std::size_t maxBytes) override;
    std::optional<FileVersionWords> fileVersion(const std::string& path) override;
    ProcessHandle startDetached(const ProcessStart& what) override;
    bool waitForExit(const ProcessHandle& process, std::uint32_t milliseconds) override;
    std::optional<std::string> commonAppDataFolder() override { return commonAppData; }
    std::unique_ptr<SharedFile> openShared(const std::string& path) override;
    bool networkAlive() override {
        ++networkProbes;
        return network;
    }

  private:
    friend class SimSharedFile;
    SimMachine& machine_;
};

} // namespace zov::sim
