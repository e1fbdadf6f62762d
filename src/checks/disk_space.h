// Free disk space, what the install still needs, and the clean-up operations offered when
// space is short.
//
// Sizes are kilobytes. Free space is an unsigned 32-bit figure that saturates at its largest
// value: a drive with 4 TB or more free reads as "plenty", never as a small number.
#pragma once

#include "run/dialogs.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zov {

class CheckDialogs;
class CancelConfirmation;

// What the disk cleanup dialog shows at the top; see DiskSpace::shortfall.
struct Shortfall {
    bool recomputed = false;
    bool enough = false;
    std::string text;
};

class DiskSpace {
  public:
    static constexpr unsigned kComponentResource = 175;
    static constexpr std::uint32_t kMargin = 1000;   // KB on top of the component's size
    static constexpr std::uint64_t kOldAge = 604800; // seconds: 7 days

    explicit DiskSpace(RunContext& run) : run_(run) {}

    // KB free on the path's drive ("X:\" or a network share); 0 when unmeasurable.
    std::uint32_t freeKb(const std::string& path);
    bool driveReady(char letter);

    // Reads the size keys of install.ini; false at the first key present but empty.
    bool requiredSizes(const std::string& settingsPath, int percent, DiskFigures& figures);
    // Drives, free space and required sizes for the install directory, with their trace lines.
    void diskFigures(const std::string& installDirectory, const std::string& settingsPath, int percent,
                     DiskFigures& figures);

    // The disk step of the system checks: 0, or 112 with the abort flag set. Ends the run
    // with 1612 when the component to measure is missing.
    int initialCheck(CheckDialogs& dialogs, CancelConfirmation& confirmation);

    // Measures both roots again; recomputes the text when forced or when either measurement
    // changed, and keeps the new measurements.
    Shortfall shortfall(DiskFigures& figures, bool force);
    // The drives whose recycle bins the cleanup dialog measures and empties.
    static std::vector<char> binDrives(const DiskFigures& figures);
    bool recycleBinSize(char letter, std::uint32_t& items, float& megabytes);
    bool emptyRecycleBin(char letter);

    float oldTempFilesMb();
    void deleteOldTempFiles();

    // The pure arithmetic, exposed for tests.
    // A size key's text: its leading decimal digits (after blanks and a sign), none giving 0;
    // held to the signed 32-bit range.
    static std::int32_t sizeValue(const std::string& text);
    // size * (100 - percent) / 100, truncated toward zero, computed without overflow.
    static std::int64_t scaled(std::int32_t size, int percent);
    static std::int32_t saturate32(std::int64_t total);
    static std::uint32_t kilobytes(std::uint64_t bytes); // bytes / 1024, saturated to 32 bits
    static bool isOld(std::uint64_t modified, std::uint64_t now);

  private:
    static constexpr int kMaxDepth = 64; // a folder loop must not walk for ever
    void walkOld(const std::string& directory, std::uint64_t now, bool remove, std::uint64_t& bytes,
                 int depth);
    std::string tempDirectoryWithoutSlash();

    RunContext& run_;
};

} // namespace zov
