// The discovery ports over the Win32 API (ANSI functions).
#pragma once

#include "platform/ports_discovery.h"

namespace zov::win32 {

class Win32Discovery final : public DiscoveryPorts {
  public:
    std::unique_ptr<InputFile> openRead(const std::string& path) override;
    std::optional<std::vector<FolderEntry>> listFolder(const std::string& folder) override;
    std::optional<std::uint64_t> modificationTime(const std::string& path) override;
    std::optional<std::string> longPathName(const std::string& path) override;
    std::optional<std::string> commonAppDataFolder() override;
    std::optional<RegistryValue> queryRegistryValue(RegRoot root, const std::string& key,
                                                    const std::string& value, std::size_t maxBytes) override;
    bool setRegistryString(RegRoot root, const std::string& key, const std::string& value,
                           const std::string& text) override;
    std::optional<std::vector<std::string>> registryValueNames(RegRoot root, const std::string& key) override;
    std::optional<CalendarTime> localTime(std::uint64_t unixSeconds) override;
    std::optional<std::string> diskScanListFile() override;
    std::optional<std::string> formatDate(const CalendarTime& date, const std::string& picture) override;
};

} // namespace zov::win32
