// Named Windows version probes, from the version the system reports.
#pragma once

#include "platform/ports.h"

namespace zov {

struct OsProbes {
    explicit OsProbes(const OsVersion& v) : v_(v) {}
    bool nt() const { return v_.platform == 2; }
    bool win9x() const { return v_.platform == 1; }
    bool windows2000() const { return nt() && v_.major == 5 && v_.minor == 0; }
    bool xpOrLater() const { return nt() && ((v_.major == 5 && v_.minor >= 1) || v_.major > 5); }
    bool vista() const { return nt() && v_.major == 6 && v_.minor == 0; } // exactly NT 6.0
    bool nt4OrEarlier() const { return nt() && v_.major <= 4; }
    // On the 9x family the major and minor are the top two bytes of the build number.
    bool win95or98() const { return win9x() && buildMajor() == 4 && buildMinor() < 90; }
    bool windowsMe() const { return win9x() && buildMajor() >= 4 && buildMinor() >= 90; }

  private:
    unsigned buildMajor() const { return (v_.build >> 24) & 0xFF; }
    unsigned buildMinor() const { return (v_.build >> 16) & 0xFF; }
    OsVersion v_;
};

} // namespace zov
