#include "checks/os_version.h"

namespace zov {

bool versionFieldMatches(std::uint32_t actual, VersionCondition condition, std::uint32_t wanted) {
    switch (condition) {
    case VersionCondition::None:
        return true;
    case VersionCondition::Equal:
        return actual == wanted;
    case VersionCondition::Greater:
        return actual > wanted;
    case VersionCondition::GreaterEqual:
        return actual >= wanted;
    case VersionCondition::Less:
        return actual < wanted;
    case VersionCondition::LessEqual:
        return actual <= wanted;
    }
    return false;
}

InstalledVersion installedVersion(const OsVersion& v) {
    if (v.platform == kPlatform9x)
        return {(v.build >> 24) & 0xFF, (v.build >> 16) & 0xFF};
    if (v.platform == kPlatformNt)
        return {v.major, v.minor};
    return {};
}

bool OsVersionProbe::test(std::uint32_t platform, std::uint32_t major, VersionCondition majorCondition,
                          std::uint32_t minor, VersionCondition minorCondition) {
    if (std::optional<bool> answer =
            query_.verifyVersion(platform, major, majorCondition, minor, minorCondition))
        return *answer;
    const OsVersion v = system_.osVersion();
    return v.platform == platform && versionFieldMatches(v.major, majorCondition, major) &&
           versionFieldMatches(v.minor, minorCondition, minor);
}

bool OsVersionProbe::nt() {
    if (!nt_)
        nt_ = test(kPlatformNt, 0, VersionCondition::None, 0, VersionCondition::None);
    return *nt_;
}

bool OsVersionProbe::win9x() {
    if (!win9x_)
        win9x_ = test(kPlatform9x, 0, VersionCondition::None, 0, VersionCondition::None);
    return *win9x_;
}

bool OsVersionProbe::xpOrLater() {
    if (!xpOrLater_)
        xpOrLater_ = test(kPlatformNt, 5, VersionCondition::Equal, 1, VersionCondition::GreaterEqual) ||
                     test(kPlatformNt, 5, VersionCondition::Greater, 0, VersionCondition::None);
    return *xpOrLater_;
}

bool OsVersionProbe::windows2000() {
    return test(kPlatformNt, 5, VersionCondition::Equal, 0, VersionCondition::Equal);
}

bool OsVersionProbe::nt4OrEarlier() {
    return test(kPlatformNt, 4, VersionCondition::LessEqual, 0, VersionCondition::None);
}

int OsVersionProbe::versionClass() {
    using C = VersionCondition;
    if (test(kPlatform9x, 0, C::None, 0, C::Equal))
        return 0;
    if (test(kPlatform9x, 0, C::None, 0, C::Greater))
        return 1;
    if (test(kPlatformNt, 4, C::Less, 0, C::None))
        return 2;
    if (test(kPlatformNt, 4, C::Equal, 0, C::None))
        return 3;
    if (test(kPlatformNt, 5, C::Equal, 0, C::Equal))
        return 4;
    if (test(kPlatformNt, 5, C::Equal, 1, C::Equal))
        return 5;
    if (test(kPlatformNt, 6, C::Equal, 0, C::Equal))
        return 6;
    return -1;
}

bool OsVersionProbe::win95or98() {
    const OsVersion v = system_.osVersion();
    if (v.platform != kPlatform9x)
        return false;
    InstalledVersion i = installedVersion(v);
    return i.major == 4 && i.minor < 90;
}

bool OsVersionProbe::windowsMe() {
    const OsVersion v = system_.osVersion();
    if (v.platform != kPlatform9x)
        return false;
    InstalledVersion i = installedVersion(v);
    return i.major >= 4 && i.minor >= 90;
}

} // namespace zov
