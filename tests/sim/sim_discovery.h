// The discovery ports over the simulated machine: files of the simulated disk read back,
// folders listed from it, and the registry, shell and date calls the scanner makes.
#pragma once

#include "platform/ports_discovery.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace zov::sim {

class SimMachine;

class SimDiscovery : public DiscoveryPorts {
  public:
    explicit SimDiscovery(SimMachine& machine) : machine_(machine) {}

    // Modification times by path; a path listed with nullopt cannot be read. A file not
    // listed has the simulated clock's time.
    std::map<std::string, std::optional<std::uint64_t>> times;
    // Junctions and symbolic links: link folder -> the folder it points to. A link is listed
    // with the link flag and reading below it reads the target.
    std::map<std::string, std::string> links;
    // Files that exist but cannot be opened (locked, no access).
    std::set<std::string> unreadable;
    // GetLongPathNameA: not offered when unset, otherwise short -> long names (a path not
    // listed comes back as it is).
    bool longPathOffered = true;
    std::map<std::string, std::string> longNames;
    std::optional<std::string> commonAppData = std::string("C:\\ProgramData");
    // GetDateFormatA: the picture's d, M and y runs are replaced (no picture: "MM/dd/yyyy");
    // pictures in this set are refused.
    std::set<std::string> refusedPictures;
    int opens = 0, openFiles = 0, reads = 0, listings = 0;
    std::uint64_t bytesRead = 0;

    std::unique_ptr<InputFile> openRead(const std::string& path) override;
    std::optional<std::vector<FolderEntry>> listFolder(const std::string& folder) override;
    std::optional<std::uint64_t> modificationTime(const std::string& path) override;
    std::optional<std::string> longPathName(const std::string& path) override;
    std::optional<std::string> commonAppDataFolder() override { return commonAppData; }
    std::optional<RegistryValue> queryRegistryValue(RegRoot root, const std::string& key,
                                                    const std::string& value, std::size_t maxBytes) override;
    bool setRegistryString(RegRoot root, const std::string& key, const std::string& value,
                           const std::string& text) override;
    std::optional<std::vector<std::string>> registryValueNames(RegRoot root, const std::string& key) override;
    std::optional<CalendarTime> localTime(std::uint64_t unixSeconds) override;
    std::optional<std::string> diskScanList;
    std::optional<std::string> diskScanListFile() override { return diskScanList; }
    std::optional<std::string> formatDate(const CalendarTime& date, const std::string& picture) override;

    // The path with every link on the way replaced by its target.
    std::string resolve(const std::string& path) const;

  private:
    SimMachine& machine_;
};

} // namespace zov::sim
