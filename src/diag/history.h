// The install history "IPH.PH": one INI record per run, the last three kept.
//
// Writing the history never stops the setup: every failure is silent.
#pragma once

#include "platform/ports.h"

#include <cstdint>
#include <string>

namespace zov {

class CInstallHistory {
  public:
    struct Ports {
        ProfileStore& profile;
        FileSystem& files;
        SystemInfo& system;
        Registry& registry;
        Clock& clock;
    };

    static constexpr std::size_t kScLimit = 1023;

    CInstallHistory(Ports ports, std::string version, std::string build);

    void StartNew();
    void Resume();
    void SetGeneral(const std::string& text);
    void SetValue(const std::string& key, const std::string& text);
    void SetInstallType(char letter);
    void RecordEvent(unsigned event);
    void Finish(bool success);

    bool isOpen() const { return open_; }
    const std::string& path() const { return path_; }
    const std::string& section() const { return section_; }

  private:
    Ports ports_;
    std::string version_, build_;
    std::string path_;
    std::string section_; // empty until StartNew or Resume
    bool open_ = false;
    unsigned pendingEvent_ = 0;
    std::uint64_t pendingSince_ = 0;
};

} // namespace zov
