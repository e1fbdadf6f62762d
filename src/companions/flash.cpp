#include "companions/flash.h"

#include "run/paths.h"
#include "run/app_data.h"

#include <algorithm>
#include <cctype>
#include <climits>

namespace zov {
namespace {

// The public player's class, spelled as the player registers it; the control choice
// formats the same id in upper case.
const char* const kPlayerClassAsChecked = "{D27CDB6E-AE6D-11cf-96B8-444553540000}";
const char* const kPlayerClassId = "{D27CDB6E-AE6D-11CF-96B8-444553540000}";
const char* const kOwnControlClassId = "{C1145550-A454-11D4-9020-00D0B7239081}";

constexpr std::size_t kServerPathBuffer = 512;
constexpr std::size_t kCompsValueBuffer = 256; // at most 255 characters

const char* const kTrustFolder = "\\Macromedia\\Flash Player\\#Security\\FlashPlayerTrust";
const char* const kTrustFile = "\\ZOV.cfg";

// One piece of a version text, as a signed 64-bit decimal number.
std::int64_t versionPart(const std::string& piece) {
    std::size_t i = 0;
    while (i < piece.size() && std::isspace(static_cast<unsigned char>(piece[i])))
        ++i;
    bool negative = false;
    if (i < piece.size() && (piece[i] == '+' || piece[i] == '-'))
        negative = piece[i++] == '-';
    std::uint64_t magnitude = 0;
    const std::uint64_t limit = negative ? static_cast<std::uint64_t>(INT64_MAX) + 1 : INT64_MAX;
    for (; i < piece.size() && std::isdigit(static_cast<unsigned char>(piece[i])); ++i) {
        unsigned digit = static_cast<unsigned>(piece[i] - '0');
        if (magnitude > (limit - digit) / 10) {
            magnitude = limit;
            break;
        }
        magnitude = magnitude * 10 + digit;
    }
    if (negative)
        return magnitude == limit ? INT64_MIN : -static_cast<std::int64_t>(magnitude);
    return static_cast<std::int64_t>(magnitude);
}

} // namespace

FlashVersion FlashVersion::fromWords(const FileVersionWords& words) {
    FlashVersion v;
    v.major = words.mostSignificant >> 16;
    v.minor = words.mostSignificant & 0xFFFF;
    v.build = words.leastSignificant >> 16;
    v.revision = words.leastSignificant & 0xFFFF;
    return v;
}

FlashVersion FlashVersion::fromText(const std::string& text) {
    std::int64_t parts[4] = {0, 0, 0, 0};
    std::size_t start = 0;
    for (int n = 0; n < 4 && start <= text.size(); ++n) {
        std::size_t dot = text.find('.', start);
        parts[n] =
            versionPart(text.substr(start, dot == std::string::npos ? std::string::npos : dot - start));
        if (dot == std::string::npos)
            break;
        start = dot + 1;
    }
    return FlashVersion{parts[0], parts[1], parts[2], parts[3]};
}

int CompareMajorMinor(const FlashVersion& installed, const FlashVersion& wanted) {
    if (installed.major != wanted.major)
        return installed.major > wanted.major ? 1 : -1;
    if (installed.minor != wanted.minor)
        return installed.minor > wanted.minor ? 1 : -1;
    return 0;
}

std::string FlashInstallerTarget(const std::string& target) {
    std::string lower = target;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    std::size_t comps = lower.find("comps");
    return comps == std::string::npos ? lower : lower.substr(comps);
}

const char* FlashControlClassId(FlashControlKind kind) {
    return kind == FlashControlKind::Own ? kOwnControlClassId : kPlayerClassId;
}

bool FlashCompanion::CheckAndInstall() {
    const std::string classKey = std::string("CLSID\\") + kPlayerClassAsChecked;
    std::optional<std::string> server =
        m_.companions.classKeyDefault(classKey + "\\LocalServer32", kServerPathBuffer);
    if (!server)
        server = m_.companions.classKeyDefault(classKey + "\\InProcServer32", kServerPathBuffer);

    if (server && !server->empty()) {
        if (!m_.files.exists(*server)) {
            trace_.printf("Flash Player OCX does not exists in PC");
        } else {
            trace_.printf("Adobe Flash Player exists in PC");
            // A file without a readable version resource counts as 0.0.0.0.
            FlashVersion installed =
                FlashVersion::fromWords(m_.companions.fileVersion(*server).value_or(FileVersionWords{}));
            trace_.printf("Getting Existing File Version");
            int order = CompareMajorMinor(installed, FlashVersion::fromText(kMinimumVersion));
            if (order > 0) {
                trace_.printf("Higher Flash Version already Exists in Computer");
                return true;
            }
            if (order == 0) {
                trace_.printf("Same Flash Version already Exists in Computer");
                return true;
            }
            trace_.printf("Lower Flash Version Exists in Computer");
        }
    }
    return installFromCd();
}

bool FlashCompanion::installFromCd() {
    const std::string module = m_.system.modulePath();
    const std::size_t slash = module.rfind('\\');
    if (slash == std::string::npos)
        return false;
    const std::string setupFolder = module.substr(0, slash + 1);
    const std::string compsIni = setupFolder + "\\comps.ini";
    std::string target = m_.profile.readString(compsIni, "mflash", "target", "", kCompsValueBuffer);
    // A quote names no file: inside the quoted program path it would end the path early and
    // start another program of this folder with the rest as its arguments.
    if (target.empty() || target.find('"') != std::string::npos)
        return false;
    target = FlashInstallerTarget(target);
    std::string params = m_.profile.readString(compsIni, "mflash", "params", "", kCompsValueBuffer);
    if (params.empty())
        params = "/Q";

    const ProcessStart installerStart{setupFolder + "\\" + target, params};
    trace_.printf("%s", installerStart.commandLine().c_str());

    bool succeeded = false;
    // The error is taken where the step failed: the trace lines that follow may change it.
    std::uint32_t error = 0;
    ProcessHandle installer = m_.companions.startDetached(installerStart);
    if (!installer) {
        error = m_.system.lastError();
    } else {
        trace_.printf("Successfully CreateProcess for Adobe Flash Player Installer");
        // Never waited for beyond this: a slow installer is left running and counts as a
        // success, so that the setup itself goes on.
        if (m_.companions.waitForExit(installer, kInstallerWaitMs))
            trace_.printf("WaitCode for Flash Player is Signaled");
        trace_.printf("GetExitCodeProcess started");
        std::optional<std::uint32_t> exitCode = m_.processes.exitCode(installer);
        error = m_.system.lastError();
        trace_.printf(exitCode ? "Return Value in GetExitCodeProcess is Success"
                               : "Return Value in GetExitCodeProcess is Failed");
        // An exit code that could not be read is no evidence of success.
        if (exitCode && *exitCode == kStillActive) {
            trace_.printf("Exit Code Flash Installer Process in Active State");
            succeeded = true;
        } else if (exitCode && *exitCode == 0) {
            trace_.printf("Exit Code Flash Installer Process in Success State");
            succeeded = true;
        } else {
            trace_.printf("Exit Code Flash Installer Process in Failed State");
        }
        m_.processes.close(installer);
    }

    if (succeeded) {
        trace_.printf("Successfully Install Adobe Flash Player");
        trace_.printf("Exit Flash Installation %d", 1);
        return true;
    }
    trace_.printf("Unable to Install Adobe Flash Player");
    trace_.printf("Exit Flash Installation -ErrorCode: %d", static_cast<int>(error));
    trace_.printf("Exit Flash Installation %d", 0);
    return false;
}

bool FlashCompanion::ChooseControl(FlashControlKind& kind) {
    kind = FlashControlKind::Own;
    if (m_.companions.classKeyExists(std::string("CLSID\\") + kOwnControlClassId + "\\InProcServer32")) {
        trace_.printf("ZOV's internal Flash available, Using it in Installation");
        return true;
    }
    kind = FlashControlKind::Public;
    if (m_.companions.classKeyExists(std::string("CLSID\\") + kPlayerClassId + "\\InProcServer32")) {
        trace_.printf("External Flash available, Using it in Installation");
        return true;
    }
    kind = FlashControlKind::Own;
    return false;
}

std::optional<std::string> FlashCompanion::commonAppDataFolder() {
    return CommonAppDataFolder([this] { return m_.companions.commonAppDataFolder(); }, m_.registry);
}

bool FlashCompanion::UpdateTrustFile(const std::string& installDirectory) {
    // Without an install directory there is no client to trust.
    if (installDirectory.empty())
        return true;
    const std::string entry = installDirectory + "\\wzov.exe";
    std::optional<std::string> common = commonAppDataFolder();
    if (!common)
        return true;
    const std::string folder = *common + kTrustFolder;
    if (!createDirectoryPath(run_.m, folder))
        return false;
    std::unique_ptr<SharedFile> file = m_.companions.openShared(folder + kTrustFile);
    if (!file)
        return false;
    std::optional<std::uint64_t> size = file->size();
    if (!size)
        return true; // an unreadable size leaves the file untouched

    // The file is searched in pieces, so that a trust file of any size is neither held in
    // memory whole nor cut. The tail kept between pieces lets an entry straddle two.
    std::string window;
    std::string piece(kTrustReadChunk, '\0');
    char last = '\n';
    std::uint64_t offset = 0;
    bool found = false;
    while (offset < *size && !found) {
        std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kTrustReadChunk, *size - offset));
        std::size_t got = file->read(offset, piece.data(), want);
        if (got == 0)
            return true; // unreadable: rather untouched than a second entry
        offset += got;
        last = piece[got - 1];
        window.append(piece.data(), got);
        found = window.find(entry) != std::string::npos;
        if (window.size() >= entry.size())
            window.erase(0, window.size() - (entry.size() - 1));
    }
    if (found)
        return true;
    // A last line without its line end would otherwise run into the new entry.
    std::string line = (offset > 0 && last != '\n') ? "\r\n" : "";
    line += entry + "\r\n";
    return file->append(line.data(), line.size());
}

} // namespace zov
