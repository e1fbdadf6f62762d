// The install history "IPH.PH": one INI record per run, the last three kept.
//
// Writing the history never stops the setup: every failure is silent.
#pragma once

#include "platform/ports.h"
#include "platform/ports_checks.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zov {

class CInstallHistory {
  public:
    struct Ports {
        ProfileStore& profile;
        FileSystem& files;
        SystemInfo& system;
        Registry& registry;
        Clock& clock;
        DiskProbe& disk; // the free-space queries of the disk checks
    };

    static constexpr std::size_t kScLimit = 1023;
    // The "hf" list is built in 256 bytes: whole names only, newest kept (see history.cpp).
    static constexpr std::size_t kHfLimit = 255;
    static constexpr std::size_t kSectionNamesBuffer = 1024;

    CInstallHistory(Ports ports, std::string version, std::string build);

    void StartNew();
    void Resume();
    void SetGeneral(const std::string& text);
    void SetValue(const std::string& key, const std::string& text);
    // Typed values: "%ld", "%lu" and "%hu".
    void SetValueLong(const std::string& key, std::int32_t value);
    void SetValueULong(const std::string& key, std::uint32_t value);
    void SetValueUShort(const std::string& key, std::uint16_t value);
    void SetInstallType(char letter);
    void RecordEvent(unsigned event);
    void Finish(bool success);

    bool isOpen() const { return open_; }
    const std::string& path() const { return path_; }
    const std::string& section() const { return section_; }

    // The "hf" list of Windows 98 and ME from the "MinorVersion" text: the last eleven
    // ';'-separated items joined by ',', at most kHfLimit characters.
    static std::string fixListFromMinorVersion(const std::string& minorVersion);

  private:
    struct Records {
        unsigned greatest = 0;
        unsigned count = 0;
        std::string first;
    };

    Records findRecords();
    std::string currentSection() const { return section_.empty() ? "Error" : section_; }
    std::string now();
    void writeSystemKeys();
    void writeFixes(const OsVersion& os);

    Ports ports_;
    std::string version_, build_;
    std::string path_;
    std::string section_; // empty until StartNew or Resume
    bool open_ = false;
    unsigned pendingEvent_ = 0;
    std::uint64_t pendingSince_ = 0;
    // While a record is started, its keys are gathered here and written together.
    std::vector<std::pair<std::string, std::string>>* staged_ = nullptr;
};

} // namespace zov
