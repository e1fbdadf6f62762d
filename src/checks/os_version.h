// Named Windows version probes.
//
// `OsVersionProbe` asks the system's own version test (VerifyVersionInfoA) and falls back to
// comparing what GetVersionExA reports when that test is missing or fails; the named probes
// that are asked often are computed once. `OsProbes` answers the same questions from one
// GetVersionExA reading, for code that already holds it.
#pragma once

#include "platform/ports.h"
#include "platform/ports_checks.h"

#include <cstdint>
#include <optional>

namespace zov {

constexpr std::uint32_t kPlatform9x = 1;
constexpr std::uint32_t kPlatformNt = 2;

// The comparison of one version field, as the system's version test makes it.
bool versionFieldMatches(std::uint32_t actual, VersionCondition condition, std::uint32_t wanted);

struct InstalledVersion {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
};

// On the 9x family the major and minor are the top two bytes of the build number; on NT
// the version fields; on any other platform 0.0.
InstalledVersion installedVersion(const OsVersion& v);

class OsVersionProbe {
  public:
    OsVersionProbe(SystemInfo& system, VersionQuery& query) : system_(system), query_(query) {}

    // Platform always tested for equality; major and minor each with their condition.
    bool test(std::uint32_t platform, std::uint32_t major, VersionCondition majorCondition,
              std::uint32_t minor, VersionCondition minorCondition);

    bool nt();        // cached
    bool win9x();     // cached
    bool xpOrLater(); // cached
    bool windows2000();
    bool nt4OrEarlier();
    // 0: 9x with minor 0, 1: 9x with a later minor, 2: NT before 4, 3: NT 4, 4: NT 5.0,
    // 5: NT 5.1, 6: NT 6.0, otherwise -1.
    int versionClass();
    bool restartMarkerIsFile() { return versionClass() == 6; }
    // From GetVersionExA directly, on the 9x family only.
    bool win95or98();
    bool windowsMe();
    InstalledVersion installed() { return installedVersion(system_.osVersion()); }

  private:
    SystemInfo& system_;
    VersionQuery& query_;
    std::optional<bool> nt_, win9x_, xpOrLater_;
};

struct OsProbes {
    explicit OsProbes(const OsVersion& v) : v_(v) {}
    bool nt() const { return v_.platform == kPlatformNt; }
    bool win9x() const { return v_.platform == kPlatform9x; }
    bool windows2000() const { return nt() && v_.major == 5 && v_.minor == 0; }
    bool xpOrLater() const { return nt() && ((v_.major == 5 && v_.minor >= 1) || v_.major > 5); }
    bool vista() const { return nt() && v_.major == 6 && v_.minor == 0; } // exactly NT 6.0
    bool nt4OrEarlier() const { return nt() && v_.major <= 4; }
    bool win95or98() const { return win9x() && buildMajor() == 4 && buildMinor() < 90; }
    bool windowsMe() const { return win9x() && buildMajor() >= 4 && buildMinor() >= 90; }

  private:
    unsigned buildMajor() const { return (v_.build >> 24) & 0xFF; }
    unsigned buildMinor() const { return (v_.build >> 16) & 0xFF; }
    OsVersion v_;
};

} // namespace zov
