// The Flash Player the progress movie needs: is a recent enough one installed, run the
// installer from the CD when it is not, which Flash control the movie uses, and the trust
// entry that lets the installed client's Flash content run.
//
// Every failure here is quiet: it is traced and answered through the return value; no box
// is shown and the install goes on.
#pragma once

#include "run/context.h"

#include <cstdint>
#include <string>

namespace zov {

// A four-part version. Each part is a signed 64-bit number, as the text form allows.
struct FlashVersion {
    std::int64_t major = 0, minor = 0, build = 0, revision = 0;

    // From the fixed file information of a version resource.
    static FlashVersion fromWords(const FileVersionWords& words);
    // From "a.b.c.d": split at '.', each piece read as a signed decimal number (leading
    // blanks and a sign allowed, reading stops at the first other character, saturating at
    // the 64-bit limits); missing pieces are 0.
    static FlashVersion fromText(const std::string& text);
};

// -1, 0 or 1 as the installed version is lower, equal or higher by major, then minor;
// build and revision are not looked at.
int CompareMajorMinor(const FlashVersion& installed, const FlashVersion& wanted);

// The installer's path below the setup folder from the "target" value: lower-cased and,
// when it holds "comps", cut to start there ("D:\Build\COMPS\flash\setup.exe" gives
// "comps\flash\setup.exe").
std::string FlashInstallerTarget(const std::string& target);

// Which control the progress movie creates.
enum class FlashControlKind { Own = 1, Public = 2 };

// The class id of a control kind, in the registry's upper-case brace form.
const char* FlashControlClassId(FlashControlKind kind);

class FlashCompanion {
  public:
    static constexpr const char* kMinimumVersion = "9.0.16.0";
    static constexpr std::uint32_t kInstallerWaitMs = 9000;
    static constexpr std::uint32_t kStillActive = 259;

    explicit FlashCompanion(RunContext& run) : run_(run), m_(run.m), trace_(run.trace) {}

    // True when a Flash Player of 9.0 or later is installed, or the installer from the CD
    // was run and succeeded or was still running after 9 seconds.
    bool CheckAndInstall();

    // True when a Flash control is registered; kind tells which (the client's own first).
    // False, with kind Own, when neither is.
    bool ChooseControl(FlashControlKind& kind);

    // Adds "<install directory>\wzov.exe" to the Flash Player's global trust file once.
    // True on success or when the common application-data folder is unknown; false when the
    // trust folder cannot be created or the file cannot be opened.
    bool UpdateTrustFile(const std::string& installDirectory);

    // The trust file's size is not limited: it is searched in pieces of this many bytes.
    static constexpr std::size_t kTrustReadChunk = 64 * 1024;

  private:
    bool installFromCd();
    std::optional<std::string> commonAppDataFolder();

    RunContext& run_;
    Machine& m_;
    Trace& trace_;
};

} // namespace zov
