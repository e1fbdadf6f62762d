#include "ui/directory_rules.h"

#include "checks/disk_space.h"
#include "run/paths.h"
#include "run/text.h"

#include <algorithm>
#include <cctype>

namespace zov {
namespace {

constexpr unsigned kClientProgram = 1261;
constexpr char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

char upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

std::string withoutTrailingBackslash(std::string path) {
    if (!path.empty() && path.back() == '\\')
        path.pop_back();
    return path;
}

std::string parentOf(const std::string& path) {
    const std::size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

} // namespace

// -- Done's path check ----------------------------------------------------------------------

std::string DirectoryCheck::normalise(std::string path, char defaultDrive, bool& tooLong) {
    while (!path.empty() && path.back() == ' ')
        path.pop_back();
    tooLong = path.size() > kMaxLength;
    if (tooLong)
        return {};
    for (std::size_t doubled; (doubled = path.find("\\\\")) != std::string::npos;)
        path.erase(doubled, 1);
    if ((path.size() == 3 && startsAtDriveRoot(path)) || path == "\\")
        return {};
    // A name of exactly three characters is a bare name too: kept as it stands it would be a
    // folder relative to wherever the engine happens to run.
    if (!startsAtDriveRoot(path)) {
        const std::size_t start = path.find_first_not_of(":\\");
        path = std::string(1, upper(defaultDrive)) + ":\\" +
               (start == std::string::npos ? "" : path.substr(start));
        // Nothing but colons and backslashes would name the drive root itself.
        if (path.size() == 3)
            return {};
    }
    return path;
}

bool DirectoryCheck::hasForbiddenCharacter(const std::string& path) {
    return path.find_first_of("/*?\"<>|;") != std::string::npos ||
           (path.size() > 2 && path.find(':', 2) != std::string::npos);
}

char DirectoryCheck::defaultDrive(char selectedDrive) {
    if (selectedDrive != 0)
        return upper(selectedDrive);
    const std::string windows = run_.m.system.windowsDirectory();
    return windows.empty() ? 'C' : upper(windows[0]);
}

DirectoryCheck::Result DirectoryCheck::refuse(unsigned message, unsigned event) {
    run_.history.RecordEvent(event);
    run_.prompts.notice(message);
    return {};
}

bool DirectoryCheck::isDesktop(const std::string& path) {
    Machine& m = run_.m;
    const std::optional<std::string> desktops[] = {
        m.registry.readString(RegRoot::CurrentUser, kShellFolders, "Desktop"),
        m.registry.readString(RegRoot::LocalMachine, kShellFolders, "Common Desktop"),
        m.shell.defaultUserDesktop(),
    };
    for (const std::optional<std::string>& desktop : desktops)
        if (desktop && !desktop->empty() && equalsNoCase(path, withoutTrailingBackslash(*desktop)))
            return true;
    return false;
}

bool DirectoryCheck::holdsClient(const std::string& folder) {
    return run_.m.files.exists(folder + "\\" + run_.m.strings.get(kClientProgram));
}

bool DirectoryCheck::waitUntilReady(char letter) {
    DiskSpace disk(run_);
    while (!disk.driveReady(letter)) {
        run_.history.RecordEvent(138);
        if (!run_.prompts.error(formatText(run_.prompts.text(1270), {std::string(1, upper(letter))})))
            return false;
    }
    return true;
}

DirectoryCheck::Result DirectoryCheck::check(std::string path, char selectedDrive) {
    bool tooLong = false;
    path = normalise(std::move(path), defaultDrive(selectedDrive), tooLong);
    if (tooLong)
        return refuse(1322, 129);
    if (path.empty())
        return refuse(1323, 130);
    if (hasForbiddenCharacter(path))
        return refuse(36, 133);
    if (insideRecycleBin(run_.m, path))
        return refuse(1321, 131);
    const std::string folder = withoutTrailingBackslash(path);
    if (isDesktop(folder))
        return refuse(1323, 130);

    // A file of that name would leave the engine no folder to make: it is not ours either.
    if (run_.m.files.exists(folder) && !run_.m.files.isDirectory(folder))
        return refuse(1323, 130);
    if (std::optional<std::vector<DirectoryEntry>> entries = run_.m.checks.disk.listDirectory(folder)) {
        const bool holdsFiles = std::any_of(entries->begin(), entries->end(), [](const DirectoryEntry& e) {
            return !e.name.empty() && e.name[0] != '.';
        });
        if (holdsFiles) {
            if (!holdsClient(folder))
                return refuse(1323, 130);
            if (!equalsNoCase(folder, withoutTrailingBackslash(upgrade_))) {
                run_.history.RecordEvent(137);
                if (!run_.prompts.question(1324))
                    return {};
            }
        }
    }

    // A folder directly or two levels inside another client would mix the two installs.
    std::string above = folder;
    for (int level = 0; level < 2; ++level) {
        above = parentOf(above);
        if (above.size() > 4 && run_.m.files.isDirectory(above) && holdsClient(above))
            return refuse(230, 130);
    }

    if (!waitUntilReady(folder[0]))
        return {Outcome::DriveNotReady, {}};
    return {Outcome::Accepted, folder};
}

std::string pathEllipsis(const std::string& path, const std::function<bool(const std::string&)>& fits) {
    if (fits(path))
        return path;
    const std::size_t first = path.find('\\');
    if (first == std::string::npos)
        return path;
    // As many of the last components as fit, down to the last one alone.
    std::string shortest;
    for (std::size_t cut = path.find('\\', first + 1); cut != std::string::npos;
         cut = path.find('\\', cut + 1)) {
        shortest = path.substr(0, first) + "\\..." + path.substr(cut);
        if (fits(shortest))
            return shortest;
    }
    return shortest.empty() ? path : shortest;
}

// -- The dialog's state -------------------------------------------------------------------------

SelectDirState SelectDirState::fromInitialPath(const std::string& initial) {
    SelectDirState state;
    const std::size_t slash = initial.rfind('\\');
    if (initial.size() > 3 && slash != std::string::npos) {
        state.currentFolder = initial.substr(0, slash);
        if (state.currentFolder.size() == 2 && state.currentFolder[1] == ':')
            state.currentFolder += '\\';
        state.leaf = initial.substr(slash + 1);
    } else {
        state.currentFolder = initial;
    }
    state.path = initial;
    return state;
}

std::string SelectDirState::editText(const std::string& treePath) const {
    std::string text = treePath;
    if (!text.empty())
        text[0] = upper(text[0]);
    if (!leaf.empty() && treePath.size() > 3)
        text += '\\';
    return text + leaf;
}

void SelectDirState::typed(const std::string& text) {
    path = text;
    if (!path.empty())
        path[0] = upper(path[0]);
    const std::size_t slash = path.rfind('\\');
    currentFolder = slash == std::string::npos ? path : path.substr(0, slash);
}

// -- The folder tree ----------------------------------------------------------------------------

namespace dirtree {

std::vector<std::string> chain(const std::string& path) {
    std::vector<std::string> items;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string::npos)
            end = path.size();
        std::string piece = path.substr(start, end - start);
        if (items.empty()) {
            if (!piece.empty())
                piece[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(piece[0])));
            items.push_back(piece + "\\");
        } else if (!piece.empty()) {
            items.push_back(piece);
        }
        start = end + 1;
    }
    return items;
}

std::string itemPath(const std::vector<std::string>& textsFromRoot) {
    std::string path;
    for (std::size_t i = 0; i < textsFromRoot.size(); ++i) {
        if (i > 1)
            path += '\\';
        path += textsFromRoot[i];
    }
    return path;
}

std::vector<std::string> subfolders(Machine& m, const std::string& path) {
    std::optional<std::vector<DirectoryEntry>> entries =
        m.checks.disk.listDirectory(withoutTrailingBackslash(path));
    if (!entries) {
        const std::string windows = m.system.windowsDirectory();
        entries = m.checks.disk.listDirectory(std::string(1, windows.empty() ? 'C' : windows[0]) + ":");
    }
    std::vector<std::string> names;
    if (entries)
        for (const DirectoryEntry& e : *entries)
            if (e.directory && e.name != "." && e.name != "..")
                names.push_back(e.name);
    return names;
}

OpenStep openStep(bool expanded, bool hasChild, bool firstChildListed) {
    if (!expanded)
        return OpenStep::RemoveChildren;
    if (hasChild && firstChildListed)
        return OpenStep::Nothing;
    return OpenStep::RemoveFirstChild;
}

} // namespace dirtree

// -- The drive list -----------------------------------------------------------------------------

const std::string& DriveRow::column(int index) const {
    return index == 1 ? available : index == 2 ? required : name;
}

std::string DriveList::availableText(StringTable& strings, bool ready, std::uint32_t freeKb) {
    if (!ready)
        return strings.get(1333);
    return formatText(strings.get(1332), {std::to_string(freeKb / 1024)});
}

std::string DriveList::requiredText(StringTable& strings, char drive, const DiskFigures& f) {
    const bool system = upper(drive) == upper(f.systemDrive);
    const bool install = upper(drive) == upper(f.installDrive);
    std::int64_t need = 0;
    if (system)
        need += f.requiredSystem;
    if (install)
        need += f.requiredInstall;
    if (!system && !install)
        return {};
    return formatText(strings.get(1332), {std::to_string(need / 1024)});
}

void DriveList::sortBy(std::vector<DriveRow>& rows, int column) {
    ascending_ = column == column_ ? !ascending_ : true;
    column_ = column;
    // A stable insertion sort: a drive list has at most 26 rows, and the library's stable
    // sort would weigh more in the program than the whole dialog.
    for (std::size_t i = 1; i < rows.size(); ++i)
        for (std::size_t j = i; j > 0; --j) {
            const std::string& before = rows[j - 1].column(column);
            const std::string& after = rows[j].column(column);
            if (!(ascending_ ? after < before : before < after))
                break;
            std::swap(rows[j - 1], rows[j]);
        }
}

} // namespace zov
