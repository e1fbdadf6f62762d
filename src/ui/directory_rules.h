// The directory selection dialog apart from the window system: the check a path must pass
// before Done accepts it, the drive readiness question, the folder tree's rules, the drive
// list's order and space columns, and the edit box's text.
#pragma once

#include "run/context.h"
#include "run/dialogs.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zov {

// Done's path check. Every refusal shows its message (and records its event) before it
// returns; the caller keeps the dialog open and gives it the focus again.
class DirectoryCheck {
  public:
    static constexpr std::size_t kMaxLength = 120;

    enum class Outcome {
        Accepted,      // `path` is the folder to install into
        Refused,       // a message was shown
        DriveNotReady, // the user cancelled the not-ready box: select the current drive again
    };
    struct Result {
        Outcome outcome = Outcome::Refused;
        std::string path;
    };

    DirectoryCheck(RunContext& run, std::string upgradeDirectory)
        : run_(run), upgrade_(std::move(upgradeDirectory)) {}

    // `selectedDrive` is the first letter of the drive list's selected row (0 for none).
    Result check(std::string path, char selectedDrive);

    // Until the drive answers a free-space query: event 138 and the Retry/Cancel box 1270.
    // False when the user cancelled.
    bool waitUntilReady(char letter);

    // The path as the rules before the character test leave it: trailing blanks gone,
    // doubled backslashes collapsed, a bare name put on the default drive. Empty for the
    // forms refused outright (a drive root, a lone backslash); `tooLong` for 121+.
    static std::string normalise(std::string path, char defaultDrive, bool& tooLong);
    static bool hasForbiddenCharacter(const std::string& path);

  private:
    Result refuse(unsigned message, unsigned event);
    bool isDesktop(const std::string& path);
    bool holdsClient(const std::string& folder);
    char defaultDrive(char selectedDrive);

    RunContext& run_;
    std::string upgrade_;
};

// The path as the directory page's field shows it: whole when it fits, else its middle
// components replaced by "..." (the first component and as many of the last ones as fit).
std::string pathEllipsis(const std::string& path, const std::function<bool(const std::string&)>& fits);

// The dialog's path and current folder, and the edit box's text.
struct SelectDirState {
    std::string currentFolder; // shown selected in the tree; a drive root keeps its backslash
    std::string leaf;          // the last component typed or given, may be empty
    std::string path;          // the edit box's text; the result after Done

    // Splits the initial path into the current folder and the leaf.
    static SelectDirState fromInitialPath(const std::string& initial);
    // The edit box from the tree's selected path and the leaf.
    std::string editText(const std::string& treePath) const;
    // The user typed: the path is the text (first letter upper case), the current folder the
    // part before its last backslash.
    void typed(const std::string& text);
};

// Rules of the folder tree (`CDirectoryTree`).
namespace dirtree {
// The items from the root down: "c:\" (first letter lower case), then one folder each.
std::vector<std::string> chain(const std::string& path);
// A path from the item texts, root first.
std::string itemPath(const std::vector<std::string>& textsFromRoot);
// The subfolders of a path in listing order, or of the Windows drive's root when the path
// cannot be listed; nothing when neither can. Links are listed as the folders they are.
std::vector<std::string> subfolders(Machine& m, const std::string& path);

// What opening a folder does to its children before they are listed again.
enum class OpenStep { Nothing, RemoveFirstChild, RemoveChildren };
OpenStep openStep(bool expanded, bool hasChild, bool firstChildListed);
// A request to collapse the selected item is refused; everything else is allowed.
inline bool expandAllowed(bool collapsing, bool selected) {
    return !(collapsing && selected);
}
} // namespace dirtree

// The drive list: its rows, their order and the space columns.
struct DriveRow {
    std::string root; // "C:\"
    std::string name; // the shell's display name
    std::string available, required;
    int image = 0; // the icon's place in the shell's small image list
    const std::string& column(int index) const;
};

class DriveList {
  public:
    // The space columns of one drive; `ready` and `freeKb` come from the caller's queries.
    static std::string availableText(StringTable& strings, bool ready, std::uint32_t freeKb);
    static std::string requiredText(StringTable& strings, char drive, const DiskFigures& figures);

    // A header click: a new column sorts ascending, the same one again reverses the order.
    // Texts compare as bytes, so "950MB" sorts after "1200MB".
    void sortBy(std::vector<DriveRow>& rows, int column);
    int sortedColumn() const { return column_; }
    bool ascending() const { return ascending_; }

  private:
    int column_ = -1;
    bool ascending_ = true;
};

} // namespace zov
