#include "checks/disk_space.h"

#include "run/text.h"
#include "run/dialogs.h"
#include "run/paths.h"

#include <algorithm>
#include <cctype>
#include <limits>

namespace zov {
namespace {

const char* const kInstallKeys[] = {"base", "noncore", "netfiles", "browseralt", "other"};
const char* const kSystemKeys[] = {"basesys", "noncoresys", "netfiles", "browsersys",
                                   "upgrade", "download",   "other"};
constexpr std::size_t kSizeBuffer = 2048;

std::string rootOf(char letter) {
    return std::string(1, letter) + ":\\";
}

char upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

// The root whose free space a path's drive has: "X:\" of a drive path; of a network path
// ("\\server\share\..."), its share with a trailing backslash, since "\\s" names nothing
// and would read as a full disk (a TEMP on a share would fail every silent run).
std::string spaceRoot(const std::string& path) {
    if (path.size() > 2 && path[0] == '\\' && path[1] == '\\') {
        const auto server = path.find('\\', 2);
        if (server != std::string::npos && server > 2) {
            const auto share = path.find('\\', server + 1);
            if (share == std::string::npos)
                return server + 1 < path.size() ? path + '\\' : path.substr(0, 3);
            if (share > server + 1)
                return path.substr(0, share + 1);
        }
    }
    return path.substr(0, 3);
}

} // namespace

std::uint32_t DiskSpace::kilobytes(std::uint64_t bytes) {
    return static_cast<std::uint32_t>(
        std::min<std::uint64_t>(bytes >> 10, std::numeric_limits<std::uint32_t>::max()));
}

std::int32_t DiskSpace::saturate32(std::int64_t total) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(total, std::numeric_limits<std::int32_t>::min(),
                                                              std::numeric_limits<std::int32_t>::max()));
}

std::int32_t DiskSpace::sizeValue(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = std::min<std::int64_t>(value * 10 + (text[i] - '0'), std::int64_t{1} << 40);
    return saturate32(negative ? -value : value);
}

std::int64_t DiskSpace::scaled(std::int32_t size, int percent) {
    // Product first, then the division, which truncates toward zero as the 32-bit
    // arithmetic did; 64 bits hold any product of a 32-bit size and a percentage.
    return static_cast<std::int64_t>(size) * (100 - static_cast<std::int64_t>(percent)) / 100;
}

bool DiskSpace::isOld(std::uint64_t modified, std::uint64_t now) {
    return modified != 0 && static_cast<std::int64_t>(now) - static_cast<std::int64_t>(modified) >
                                static_cast<std::int64_t>(kOldAge);
}

std::uint32_t DiskSpace::freeKb(const std::string& path) {
    Trace& trace = run_.trace;
    const std::string root = spaceRoot(path);
    trace.printf("GUI: Trying newer disk space calculation ...");
    FreeSpaceEx newer = run_.m.checks.disk.freeSpaceEx(root);
    switch (newer.outcome) {
    case FreeSpaceEx::Outcome::Ok:
        trace.printf("GUI: Using new disk space calculation.");
        return kilobytes(newer.bytes);
    case FreeSpaceEx::Outcome::NoKernel:
        trace.assertion(false, "hKernel32 != NULL", "utility", 1538);
        break;
    case FreeSpaceEx::Outcome::Missing:
    case FreeSpaceEx::Outcome::Failed:
        if (trace.on()) {
            trace.lastError(newer.error);
            trace.line(newer.outcome == FreeSpaceEx::Outcome::Missing
                           ? "GUI Error: New calculation unavailable."
                           : "GUI Error: Error using new calculation.");
        }
        trace.printf("GUI: Trying old disk space calculation ...");
        break;
    }
    FreeSpaceOld older = run_.m.checks.disk.freeSpaceOld(root);
    if (!older.ok) {
        if (trace.on()) {
            trace.lastError(older.error);
            trace.line("GUI Error: Error using old disk space calculation.");
        }
        return 0;
    }
    trace.printf("GUI: Using old disk space calculation.");
    return kilobytes(older.freeBytes());
}

bool DiskSpace::driveReady(char letter) {
    return run_.m.checks.disk.freeSpaceOld(rootOf(letter)).ok;
}

bool DiskSpace::requiredSizes(const std::string& settingsPath, int percent, DiskFigures& figures) {
    figures.requiredInstall = 0;
    figures.requiredSystem = 0;
    ProfileStore& profile = run_.m.profile;
    auto add = [&](const char* section, const char* const* keys, std::size_t count, const char* scaledKey,
                   std::int32_t& figure) {
        std::int64_t total = 0;
        for (std::size_t i = 0; i < count; ++i) {
            std::string text = profile.readString(settingsPath, section, keys[i], "0", kSizeBuffer);
            if (text.empty())
                return false;
            std::int32_t value = sizeValue(text);
            total += std::string(keys[i]) == scaledKey ? scaled(value, percent) : value;
            figure = saturate32(total);
        }
        return true;
    };
    return add("install sizes", kInstallKeys, std::size(kInstallKeys), "noncore", figures.requiredInstall) &&
           add("system sizes", kSystemKeys, std::size(kSystemKeys), "noncoresys", figures.requiredSystem);
}

void DiskSpace::diskFigures(const std::string& installDirectory, const std::string& settingsPath, int percent,
                            DiskFigures& figures) {
    const std::string system = run_.m.system.systemDirectory();
    figures.installDrive = installDirectory.empty() ? '?' : installDirectory[0];
    figures.systemDrive = system.empty() ? '?' : system[0];
    figures.availableInstall = freeKb(rootOf(figures.installDrive));
    figures.availableSystem = freeKb(rootOf(figures.systemDrive));
    requiredSizes(settingsPath, percent, figures);
    Trace& trace = run_.trace;
    trace.printf("Required Space on System Drive (%c:): %dK", figures.systemDrive, figures.requiredSystem);
    trace.printf("Available Space on System Drive (%c:): %uK", figures.systemDrive, figures.availableSystem);
    trace.printf("Required Space on Install Drive (%c:): %dK", figures.installDrive, figures.requiredInstall);
    trace.printf("Available Space on Install Drive (%c:): %uK", figures.installDrive,
                 figures.availableInstall);
}

int DiskSpace::initialCheck(CheckDialogs& dialogs, CancelConfirmation& confirmation) {
    Machine& m = run_.m;
    if (!m.resources.find(kComponentResource)) {
        run_.history.RecordEvent(132);
        run_.prompts.notice(1279);
        run_.fail(1612);
    }
    const std::uint32_t required = static_cast<std::uint32_t>(std::min<std::uint64_t>(
        m.resources.size(kComponentResource) / 1024, std::numeric_limits<std::int32_t>::max()));
    for (;;) {
        const std::string temp = m.system.tempPath();
        if (static_cast<std::uint64_t>(freeKb(temp)) >= static_cast<std::uint64_t>(required) + kMargin)
            return 0;
        if (run_.trace.on()) {
            std::uint32_t available = freeKb(temp);
            run_.trace.printf(
                "SystemChecks() : Insufficient HD space. Size of component resources = %d (+1MB), "
                "Available space (%s) = %u",
                static_cast<int>(required), temp.c_str(), available);
        }
        if (run_.prompts.silentMode()) {
            run_.abort = true;
            return 112;
        }
        run_.history.RecordEvent(125);
        if (run_.prompts.warning(run_.prompts.text(32))) {
            // A network folder has no drive the dialog could measure or clean (another
            // drive's figures would call the space enough while this loop still finds it
            // short): OK there means the user freed space elsewhere, so measure again.
            if (!startsAtDriveRoot(temp))
                continue;
            // The dialog measures and cleans the drive that is short: the temporary folder's,
            // which need not be the system drive (TEMP moved to a small or separate disk).
            // With one letter for both drives the dialog wants the sum of the two
            // requirements, so the whole need is put on one of them.
            DiskFigures figures;
            figures.systemDrive = figures.installDrive = temp[0];
            figures.availableSystem = figures.availableInstall = freeKb(temp);
            figures.requiredSystem = saturate32(static_cast<std::int64_t>(required) + kMargin);
            figures.requiredInstall = 0;
            if (dialogs.diskCleanup(figures, true) == CheckDialogs::kCleanupContinue)
                continue;
        }
        if (confirmation.exitChosen()) {
            run_.abort = true;
            return 112;
        }
    }
}

Shortfall DiskSpace::shortfall(DiskFigures& figures, bool force) {
    Shortfall result;
    const std::uint32_t system = freeKb(rootOf(figures.systemDrive));
    const std::uint32_t install = freeKb(rootOf(figures.installDrive));
    if (!force && system == figures.availableSystem && install == figures.availableInstall)
        return result;
    figures.availableSystem = system;
    figures.availableInstall = install;
    result.recomputed = true;
    Prompts& prompts = run_.prompts;
    const std::int64_t needSystem = figures.requiredSystem;
    const std::int64_t needInstall = figures.requiredInstall;
    if (upper(figures.systemDrive) == upper(figures.installDrive)) {
        if (static_cast<std::int64_t>(system) >= needSystem + needInstall)
            result.enough = true;
        else
            result.text = formatText(prompts.text(193), {std::string(1, figures.systemDrive)});
    } else {
        const bool systemShort = static_cast<std::int64_t>(system) < needSystem;
        const bool installShort = static_cast<std::int64_t>(install) < needInstall;
        if (systemShort && installShort)
            result.text = formatText(prompts.text(194), {std::string(1, figures.systemDrive),
                                                         std::string(1, figures.installDrive)});
        else if (systemShort)
            result.text = formatText(prompts.text(193), {std::string(1, figures.systemDrive)});
        else if (installShort)
            result.text = formatText(prompts.text(193), {std::string(1, figures.installDrive)});
        else
            result.enough = true;
    }
    if (result.enough)
        result.text = prompts.text(195);
    return result;
}

std::vector<char> DiskSpace::binDrives(const DiskFigures& figures) {
    if (upper(figures.systemDrive) == upper(figures.installDrive))
        return {figures.systemDrive};
    std::vector<char> drives;
    if (static_cast<std::int64_t>(figures.availableSystem) < figures.requiredSystem)
        drives.push_back(figures.systemDrive);
    if (static_cast<std::int64_t>(figures.availableInstall) < figures.requiredInstall)
        drives.push_back(figures.installDrive);
    return drives;
}

bool DiskSpace::recycleBinSize(char letter, std::uint32_t& items, float& megabytes) {
    std::optional<RecycleBinInfo> bin = run_.m.checks.disk.recycleBin(rootOf(letter));
    if (!bin)
        return false;
    items = static_cast<std::uint32_t>(bin->items & 0xFFFFFFFFu);
    megabytes = static_cast<float>(bin->bytes) / 1048576.0f;
    return true;
}

bool DiskSpace::emptyRecycleBin(char letter) {
    return run_.m.checks.disk.emptyRecycleBin(rootOf(letter));
}

std::string DiskSpace::tempDirectoryWithoutSlash() {
    std::string directory = run_.m.system.tempPath();
    if (!directory.empty() && directory.back() == '\\')
        directory.pop_back();
    return directory;
}

void DiskSpace::walkOld(const std::string& directory, std::uint64_t now, bool remove, std::uint64_t& bytes,
                        int depth) {
    DiskProbe& disk = run_.m.checks.disk;
    std::optional<std::vector<DirectoryEntry>> entries = disk.listDirectory(directory);
    if (!entries)
        return;
    for (const DirectoryEntry& entry : *entries) {
        if (entry.name.empty() || entry.name[0] == '.')
            continue;
        const std::string path = directory + "\\" + entry.name;
        if (entry.directory) {
            // A junction planted in the user's folder could lead an elevated walk to delete
            // old files anywhere on the disk.
            if (entry.link || depth >= kMaxDepth)
                continue;
            walkOld(path, now, remove, bytes, depth + 1);
            if (remove) {
                std::optional<std::vector<DirectoryEntry>> left = disk.listDirectory(path);
                if (left && std::none_of(left->begin(), left->end(), [](const DirectoryEntry& e) {
                        return !e.name.empty() && e.name[0] != '.';
                    }))
                    disk.removeDirectory(path);
            }
        } else if (isOld(entry.modified, now)) {
            bytes += entry.size;
            if (remove)
                disk.deleteFileForced(path);
        }
    }
}

float DiskSpace::oldTempFilesMb() {
    std::uint64_t bytes = 0;
    run_.m.checks.desktop.waitCursor(true);
    walkOld(tempDirectoryWithoutSlash(), run_.m.clock.unixSeconds(), false, bytes, 0);
    run_.m.checks.desktop.waitCursor(false);
    return static_cast<float>(static_cast<double>(bytes) / 1048576.0);
}

void DiskSpace::deleteOldTempFiles() {
    std::uint64_t bytes = 0;
    walkOld(tempDirectoryWithoutSlash(), run_.m.clock.unixSeconds(), true, bytes, 0);
}

} // namespace zov
