// The companion-software port over the Win32 API (win32_companions.cpp).
#pragma once

#include "platform/ports_companions.h"

namespace zov::win32 {

class Win32CompanionSystem final : public CompanionSystem {
  public:
    bool classKeyExists(const std::string& key) override;
    std::optional<std::string> classKeyDefault(const std::string& key, std::size_t maxBytes) override;
    std::optional<FileVersionWords> fileVersion(const std::string& path) override;
    ProcessHandle startDetached(const ProcessStart& what) override;
    bool waitForExit(const ProcessHandle& process, std::uint32_t milliseconds) override;
    std::optional<std::string> commonAppDataFolder() override;
    std::unique_ptr<SharedFile> openShared(const std::string& path) override;
    bool networkAlive() override;
};

} // namespace zov::win32
