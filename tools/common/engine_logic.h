// The decisions of the install engine that need no operating system: reading its
// settings, sizing the payload, progress arithmetic and the rollback journal.
// Kept free of <windows.h> so that the native tests can check them.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zov::tools {

// The whole text must be a decimal number with an optional leading '-' (blanks around
// it are allowed); anything else is no number at all, never a partial one.
std::optional<long long> parseInteger(const std::string& text);

// FRAMEHWND as the setup wrote it ("%d" of the handle). 0 means no usable frame: an
// empty or malformed value, and the broadcast handle, which would turn every progress
// report into a message to every top-level window of the desktop.
std::intptr_t parseFrameHandle(const std::string& text);

// Result characters the engine leaves as [exit] rc.
namespace rc {
inline constexpr const char* Success = "0";
inline constexpr const char* DiskSpace = "2";
inline constexpr const char* Cancel = "3";
inline constexpr const char* MissingComponents = "5";
inline constexpr const char* FilesInUse = "7";
inline constexpr const char* Error = "E"; // any character outside '0'..'8' reads as an error
} // namespace rc

struct PayloadFile {
    std::string relative; // below the payload folder, backslash separated
    std::uint64_t bytes = 0;
};

struct InstallSizes { // [install sizes], kilobytes
    std::uint64_t base = 0, noncore = 0, netfiles = 0, browseralt = 0, other = 0;
    std::uint64_t total() const { return base + noncore + netfiles + browseralt + other; }
};

struct SystemSizes { // [system sizes], kilobytes
    std::uint64_t basesys = 0, noncoresys = 0, netfiles = 0, browsersys = 0, upgrade = 0, download = 0,
                  other = 0;
    std::uint64_t total() const {
        return basesys + noncoresys + netfiles + browsersys + upgrade + download + other;
    }
};

// Each file takes whole kilobytes on disk, so every file is rounded up on its own.
std::uint64_t kilobytesFor(std::uint64_t bytes);
InstallSizes installSizesFor(const std::vector<PayloadFile>& files);
// The engine puts nothing on the system drive but its registry entries (one kilobyte).
SystemSizes systemSizes();

// Kilobytes the install drive must offer; when it is also the system drive both count.
std::uint64_t requiredKilobytes(const InstallSizes& install, const SystemSizes& system, bool sameDrive);

// Main progress after `done` of `total` bytes, 0 to 100. An empty payload is complete.
int percentOf(std::uint64_t done, std::uint64_t total);

// "X:\..." (either slash): the only form of MAINDIR the engine installs into, as the
// install drive is named by its first letter.
bool isDriveRootedPath(const std::string& path);
// MAINDIR as it is registered and joined: forward slashes turned round, trailing
// backslashes dropped except the one of a drive root ("C:\").
std::string normalizeFolder(const std::string& path);
std::string joinPath(const std::string& folder, const std::string& name);
// A path of the uninstall record: relative to the client folder and staying inside it (no
// drive, no leading slash, no ".." part), whatever the record file says.
bool isInsideRelative(const std::string& relative);
// The directories to create, outermost first, so that `folder` exists; the drive root is
// never among them.
std::vector<std::string> foldersToCreate(const std::string& folder,
                                         const std::function<bool(const std::string&)>& isDirectory);

// The test hooks of ZOV_ENGINE_CONTROL's [control] section.
struct EngineControl {
    std::optional<std::string> result; // rc written instead of the real outcome
    bool noResult = false;             // result=none: no rc at all
    bool skipInstall = false;
    bool restart = false;
    bool diskFail = false;
    bool engineBox = false;
    bool crash = false;
    unsigned delayMs = 0;
    std::string record;
    std::string roundTrips; // where to write how long the frame took to answer test reports
    std::optional<int> phase;
    std::optional<int> cancelAt;
    // hold=start,P,...: waits before InitProgress ("start") and after the first main report of
    // each P or more, each time until the file hold_file exists (at most kMaxControlDelayMs),
    // which it then deletes: a test looks at the displays meanwhile.
    bool holdAtStart = false;
    std::vector<int> holdAt; // ascending
    std::string holdFile;
};
inline constexpr unsigned kMaxControlDelayMs = 10 * 60 * 1000;
// `value` returns the text of a key of [control], "" when absent.
EngineControl readControl(const std::function<std::string(const char* key)>& value);

// What record= appends per run: the command line, then the [enter] keys, one
// "key=value" per line, then an empty line that ends the record. CRLF line ends.
std::string recordBlock(const std::string& commandLine,
                        const std::vector<std::pair<std::string, std::string>>& enter);

// Every change the engine made to the install folder in this run, so that a cancel or a
// failure can take it back. Entries are kept in the order the changes happened.
class InstallJournal {
  public:
    enum class Kind {
        CreatedDirectory,   // path: delete when empty
        CreatedFile,        // path: delete
        ReplacedFile,       // path was overwritten; backup holds the old contents
        PendingReplacement, // path: the copy scheduled to replace a file in use at restart
    };
    struct Entry {
        Kind kind;
        std::string path;
        std::string backup;
    };

    void createdDirectory(const std::string& path) { entries_.push_back({Kind::CreatedDirectory, path, {}}); }
    void createdFile(const std::string& path) { entries_.push_back({Kind::CreatedFile, path, {}}); }
    void replacedFile(const std::string& path, const std::string& backup) {
        entries_.push_back({Kind::ReplacedFile, path, backup});
    }
    void pendingReplacement(const std::string& path) {
        entries_.push_back({Kind::PendingReplacement, path, {}});
    }
    // Takes back the newest entry when the change it announced did not happen after all.
    void dropLast() {
        if (!entries_.empty())
            entries_.pop_back();
    }

    const std::vector<Entry>& entries() const { return entries_; }
    // Newest first: files go before the folders that hold them, and a restored backup
    // never lands in a folder that was already removed.
    std::vector<Entry> undoOrder() const { return {entries_.rbegin(), entries_.rend()}; }
    // Backups to delete once the run has succeeded.
    std::vector<std::string> backupsToDiscard() const;

  private:
    std::vector<Entry> entries_;
};

} // namespace zov::tools
