// Installed clients: where they are, which of them may be upgraded by this product, and in
// which order the upgrade page lists them.
//
// Folders come from three places, cheapest first: the registry's "Apppath" and
// "LastRegisteredAppPath", the `Installs` cache of earlier finds, and a search of every fixed
// disk. Each goes through TestClientFolder, which reads the client's database and keeps the
// scan state (comparison result, highest version, best folder) for the whole run.
#pragma once

#include "run/context.h"
#include "run/session.h"

#include <cstdint>
#include <list>
#include <optional>
#include <string>
#include <vector>

namespace zov {

// The string-table settings of the scanner, with their shipped texts. Tests change them.
struct ScannerSettings {
    // A client whose first screen name is one of these is not registered; the blanks count.
    std::string placeholderNames = "New User  |Existing Member|Guest     |";
    // Pairs of version text and label.
    std::string versionLabels =
        "2.0|ZOV 2.0|3.0|ZOV 3.0|4.0|ZOV 4.0|5.0|ZOV 5.0|5.1|ZOV 5.0|5.2|ZOV 5.0|6.0|ZOV 6.0|6.1|ZOV 6.0|"
        "6.2|ZOV 6.0|7.0|ZOV 7.0|7.1|ZOV 7.0|7.2|ZOV 7.0|8.0|ZOV 8.0|8.1|ZOV 8.0|8.2|ZOV 8.0|9.0|ZOV 9.0|"
        "9.1|ZOV 9.0|9.2|ZOV 9.0|9.3|ZOV 9.0|9.4|ZOV 9.0|9.5|ZOV 9.0|9.6|ZOV 9.0|9.7|ZOV 9.0|9.8|ZOV 9.0";
    std::string defaultLabel = "ZOV";
    std::string allowLanguageUpgrade = "Y";    // IDSPREFS_ALLOWLANGUPG
    std::string languageUpgrades = "00|01|06"; // IDSPREFS_LANGUPG
    std::string usedText = "%s, in %s, last used %s";
    std::string neverUsedText = "%s, in %s, never used";
};

struct ClientCandidate {
    std::string label;          // at most 2,047 characters
    std::string folder;         // at most 259
    std::string versionText;    // at most 31, always with a '.'
    std::uint32_t lastUsed = 0; // seconds since 1970; 0 when unknown
};

// One row of the upgrade page.
struct ClientListEntry {
    std::string text;
    std::string folder;
};

namespace scanner_text {
inline constexpr const char* kInstallsKey = "Software\\Velquonet\\Velquonet\\Installs";
inline constexpr const char* kVelquonetKey = "Software\\Velquonet\\Velquonet";
inline constexpr const char* kNewerQuestion =
    "There is a copy of the ZOV software already on your computer.\n\nIt is a newer version than the one you "
    "have asked to install.\n\nDo you still want to install this older version?";
inline constexpr const char* kRunNewerQuestion =
    "Do you want to run the already-installed newer version of ZOV now?";
inline constexpr const char* kSameQuestion =
    "There is a copy of the ZOV software already on your computer.\n\nIt is the same version as the one you "
    "have asked to install.\n\nDo you still want to install this same version?";
inline constexpr const char* kRunSameQuestion =
    "Do you want to run the already-installed version of ZOV now?";
} // namespace scanner_text

class ClientScanner {
  public:
    ClientScanner(RunContext& run, InstallSession& session) : run_(run), session_(session) {}

    ScannerSettings settings;

    // "LastRegisteredAppPath" when it is a non-empty REG_SZ that fits 260 bytes.
    std::optional<std::string> FindLastRegisteredClient();
    // Accepts (true) a folder that holds a registered, language-compatible client, lists it
    // when it is not newer than the product, and with writeCache records it in `Installs`.
    bool TestClientFolder(WindowHandle window, const std::string& folder, bool writeCache);
    // 1 when the "Apppath" folder holds an acceptable client and the user (when asked) goes
    // on; 0 otherwise. Declining the same- or newer-version question ends the setup (183).
    int CheckRegisteredClient();
    // Tests every cached folder, builds the client list; the comparison result.
    int ListCachedClients();
    // Searches every fixed disk once per run, builds the client list, marks the cache
    // complete; the comparison result.
    int ScanDisksForClients();
    // Reads the chosen client (the session's upgrade directory) and sets the old language
    // and country. False, leaving them, when any step fails.
    bool ReadUpgradeClient(std::uint32_t& version, std::string& codebase, std::string& build);
    // The same-version (comparison 0) or newer-version (1) question, with the offer to run
    // the installed client on No; true when the user goes on (and for other comparisons).
    bool AskVersionQuestion(int comparison);
    bool CheckLanguageUpgrade(int language, int country);
    // -1 older, 0 same, 1 newer than the product.
    int CompareClientVersion(std::uint32_t version, int buildMajor, int buildMinor, char buildLetter);

    // The client's data directory: "appdata.ini" may move it away from the client folder.
    std::string dataDirectory(const std::string& folder);
    // The disk search below one folder (ScanDisksForClients runs it on every fixed disk).
    void searchFolder(WindowHandle window, const std::string& root);
    // Test builds: a disk search at start-up whose client list goes to the file the machine
    // names (one "text<TAB>folder" line per entry). Does nothing otherwise.
    void diskScanForTests();
    // Orders the candidates by last use into the client list and empties the candidates.
    void buildClientList();
    void freeClientList();

    // The scan state, for the wizard and the tests.
    int comparisonResult() const { return comparison_; }
    std::uint32_t highestVersion() const { return highestVersion_; }
    const std::string& bestFolder() const { return bestFolder_; }
    const std::string& firstScreenName() const { return firstScreenName_; }
    const std::string& registeredFolder() const { return registeredFolder_; }
    bool apppathFound() const { return apppathFound_; }
    bool diskScanDone() const { return diskScanDone_; }
    const std::list<ClientCandidate>& candidates() const { return candidates_; }
    const std::vector<ClientListEntry>& clientList() const { return clientList_; }
    // The number of upgrade choices; CheckRegisteredClient makes it 1 (the registered
    // client) without a list entry.
    std::size_t clientCount() const { return clientCount_; }

  private:
    std::string label(const std::string& versionText) const;
    std::string dateText(std::uint32_t lastUsed);
    bool askToGoOn(const char* question, const char* runQuestion);
    void trace(const char* format, const std::string& text);

    RunContext& run_;
    InstallSession& session_;
    int comparison_ = -1;
    std::uint32_t highestVersion_ = 0;
    std::string bestFolder_;
    std::string firstScreenName_;
    std::string registeredFolder_;
    bool apppathFound_ = false;
    bool diskScanDone_ = false;
    std::list<ClientCandidate> candidates_;
    std::vector<ClientListEntry> clientList_;
    std::size_t clientCount_ = 0;
};

} // namespace zov
