#include "discovery/scanner.h"

#include "run/paths.h"
#include "run/app_data.h"
#include "discovery/client_db.h"
#include "protocol/contract.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <new>

namespace zov {
namespace {

constexpr std::size_t kMaxPath = 259;
constexpr std::size_t kMaxLabel = 2047;
constexpr std::size_t kMaxDateText = 63;
constexpr std::size_t kMaxRealVersion = 15;
constexpr std::size_t kMaxSameBuilds = 255;
constexpr std::uint32_t kDriveFixed = 3;
constexpr std::uint32_t kRegSz = 1;
constexpr unsigned kClientProgramString = 1261;
constexpr unsigned kOutOfMemoryString = 4;
const char* const kCurrentVersionKeys[] = {"Software\\Velquonet\\Velquonet\\CurrentVersion",
                                           "Software\\Velquonet\\ZOV\\CurrentVersion",
                                           "Software\\ZOV\\ZOV\\CurrentVersion"};

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (;;) {
        std::size_t end = text.find(separator, start);
        pieces.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            return pieces;
        start = end + 1;
    }
}

// The C library's reading of a number at the start of a text; 0 when there is none.
int numberOf(const std::string& text) {
    long value = std::strtol(text.c_str(), nullptr, 10);
    return static_cast<int>(std::clamp<long>(value, -0x7FFFFFFF, 0x7FFFFFFF));
}

// The list texts come from settings: only "%s" (and "%%") are replaced, so a malformed
// setting can never read arguments that are not there.
std::string fill(const std::string& pattern, const std::vector<std::string>& values) {
    std::string out;
    std::size_t next = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's') {
            if (next < values.size())
                out += values[next++];
            ++i;
        } else if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == '%') {
            out += '%';
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

std::string twoDigits(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "%02u", value % 100);
    return text;
}

} // namespace

void ClientScanner::trace(const char* format, const std::string& text) {
    run_.trace.printf(format, text.c_str());
}

std::optional<std::string> ClientScanner::FindLastRegisteredClient() {
    auto value = run_.m.discovery.queryRegistryValue(RegRoot::LocalMachine, scanner_text::kVelquonetKey,
                                                     "LastRegisteredAppPath", kMaxPath + 1);
    if (!value || value->type != kRegSz || value->size == 0)
        return std::nullopt;
    return value->text;
}

std::string ClientScanner::dataDirectory(const std::string& folder) {
    Machine& m = run_.m;
    return ClientDataFolder(
        m.profile, [&m] { return m.discovery.commonAppDataFolder(); }, m.registry, m.system, folder);
}

bool ClientScanner::TestClientFolder(WindowHandle, const std::string& folder, bool writeCache) {
    Machine& m = run_.m;
    // 1.
    if (!m.files.exists(folder + "\\" + m.strings.get(kClientProgramString)) ||
        insideRecycleBin(run_.m, folder))
        return false;
    // 2.
    const std::string idb = dataDirectory(folder) + "\\idb";
    std::string database = idb + "\\main.idx";
    if (database.size() > kMaxPath)
        return false;
    if (!m.files.exists(database)) {
        std::optional<std::string> found;
        if (m.files.isDirectory(idb))
            found = clientdb::FindClientDatabase(m.discovery, idb, clientdb::kClientDatabaseKind);
        if (!found)
            return false;
        database = *found;
    }
    // 3. The window's dialog keeps working through the pump's dialog filter.
    trace("Searching: Found possible client in %s", folder);
    m.windows.pumpMessages();
    // 4. What the reader delivered counts, not its result.
    clientdb::CandidateInfo info;
    clientdb::ReadCandidateInfo(m.discovery, database, info);
    // 5.
    if (writeCache)
        m.discovery.setRegistryString(RegRoot::LocalMachine, scanner_text::kInstallsKey, folder,
                                      info.versionText + "," + std::to_string(info.country) + "," +
                                          std::to_string(info.language));
    // 6.
    if (info.versionText.empty()) {
        run_.trace.printf("no version string, ignored");
        return false;
    }
    // 7.
    const std::string screenName = info.firstScreenName();
    if (screenName.empty()) {
        run_.trace.printf("no screen names, ignored");
        return false;
    }
    // 8.
    for (const std::string& placeholder : split(settings.placeholderNames, '|')) {
        if (!placeholder.empty() && placeholder == screenName) {
            run_.trace.printf("client not registered, ignored");
            return false;
        }
    }
    // 9.
    if (!CheckLanguageUpgrade(info.language, info.country)) {
        run_.trace.printf("not compatible language, ignored");
        return false;
    }
    // 10.
    const std::string versionText = clientdb::withMinor(info.versionText);
    const std::uint32_t version = clientdb::packVersion(versionText);
    const int result = CompareClientVersion(version, info.buildMajor, info.buildMinor, info.buildLetter);
    // 11.
    run_.trace.printf("Found client checks out...");
    run_.trace.printf("Client is %s version -- %s",
                      result == 0  ? "same"
                      : result < 0 ? "older"
                                   : "newer",
                      folder.c_str());
    trace("Found build = %s", clientdb::buildText(info.buildMajor, info.buildMinor, info.buildLetter));
    // 12. An older client never changes the comparison result.
    if (version >= highestVersion_) {
        highestVersion_ = version;
        if (result >= 0) {
            bestFolder_ = folder;
            comparison_ = result;
        }
    }
    // 13. A newer client is never offered for upgrade.
    if (result > 0)
        return true;
    // 14.
    firstScreenName_ = screenName;
    ClientCandidate candidate;
    candidate.label = label(versionText);
    candidate.folder = folder;
    candidate.versionText = versionText;
    std::optional<std::uint64_t> time = m.discovery.modificationTime(database);
    candidate.lastUsed = time && *time <= 0xFFFFFFFFu ? static_cast<std::uint32_t>(*time) : 0;
    run_.trace.printf("Adding found client to the list...");
    candidates_.push_back(std::move(candidate));
    return true;
}

std::string ClientScanner::label(const std::string& versionText) const {
    std::vector<std::string> pieces = split(settings.versionLabels, '|');
    for (std::size_t i = 0; i + 1 < pieces.size(); i += 2)
        if (!pieces[i].empty() && equalsIgnoringCase(pieces[i], versionText))
            return pieces[i + 1].substr(0, kMaxLabel);
    return settings.defaultLabel.substr(0, kMaxLabel);
}

bool ClientScanner::CheckLanguageUpgrade(int la, int ca) {
    const int lp = numberOf(session_.langCode);
    const int cp = numberOf(session_.countryCode);
    auto either = [](int value, int a, int b) { return value == a || value == b; };
    if (lp == la && cp == ca)
        return true;
    if (either(lp, -1, 0) && either(cp, -1, 1) && either(la, -1, 0) && either(ca, -1, 1))
        return true;
    if (lp == 2 && cp == 49 && la == 2 && ca == -1)
        return true;
    if (lp == 0 && cp == 2 && either(ca, -1, 1) && either(la, -1, 0))
        return true;
    if (cp == ca) {
        if (!equalsIgnoringCase(settings.allowLanguageUpgrade, "Y")) {
            run_.trace.printf("Language Upgrade Not Allowed. IDSPREFS_ALLOWLANGUPG = N");
            return false;
        }
        char code[16];
        std::snprintf(code, sizeof code, "%02d", la);
        if (settings.languageUpgrades.find(code) != std::string::npos) {
            run_.trace.printf(
                "Language Upgrade Allowed. Language of Upgrading client found in IDSPREFS_LANGUPG.");
            return true;
        }
        run_.trace.printf(
            "Language Upgrade Not Allowed.  Language of Upgrading client NOT found in IDSPREFS_LANGUPG.");
        return false;
    }
    run_.trace.printf("Language Upgrade Not Allowed. Country codes do not match.");
    return false;
}

int ClientScanner::CompareClientVersion(std::uint32_t version, int buildMajor, int buildMinor,
                                        char buildLetter) {
    // A product version without a '.' reads as "<major>.0".
    const std::uint32_t product = clientdb::packVersion(session_.realVersion.substr(0, kMaxRealVersion));
    if (product > version)
        return -1;
    if (product < version)
        return 1;
    for (const std::string& piece : split(session_.sameBuilds.substr(0, kMaxSameBuilds), ',')) {
        std::size_t dot = piece.find('.');
        if (dot == std::string::npos)
            continue; // not a build at all
        auto major = static_cast<std::uint16_t>(numberOf(piece.substr(0, dot)));
        auto minor = static_cast<std::uint16_t>(numberOf(piece.substr(dot + 1)));
        if (major == static_cast<std::uint16_t>(buildMajor) &&
            minor == static_cast<std::uint16_t>(buildMinor) && buildLetter == session_.revision)
            return 0;
    }
    // The same version of another build is older, so it may be upgraded.
    return -1;
}

bool ClientScanner::askToGoOn(const char* question, const char* runQuestion) {
    if (run_.prompts.question(question))
        return true;
    if (run_.prompts.question(runQuestion)) {
        std::string program = bestFolder_ + "\\" + run_.m.strings.get(kClientProgramString);
        ProcessHandle client = run_.m.processes.start({program, ""}, false);
        if (client)
            run_.m.processes.close(client);
    }
    return false;
}

bool ClientScanner::AskVersionQuestion(int comparison) {
    if (comparison == 0)
        return askToGoOn(scanner_text::kSameQuestion, scanner_text::kRunSameQuestion);
    if (comparison == 1)
        return askToGoOn(scanner_text::kNewerQuestion, scanner_text::kRunNewerQuestion);
    return true;
}

int ClientScanner::CheckRegisteredClient() {
    Machine& m = run_.m;
    // 1.
    apppathFound_ = false;
    std::optional<std::string> folder;
    for (const char* key : kCurrentVersionKeys) {
        if (m.registry.keyExists(RegRoot::LocalMachine, key)) {
            folder = m.registry.readString(RegRoot::LocalMachine, key, "Apppath", kMaxPath + 1);
            break;
        }
    }
    if (!folder)
        return 0;
    registeredFolder_ = *folder;
    // 2.
    apppathFound_ = true;
    if (auto longForm = m.discovery.longPathName(registeredFolder_))
        registeredFolder_ = *longForm;
    // 3.
    const std::size_t listedBefore = candidates_.size();
    if (!TestClientFolder(0, registeredFolder_, true))
        return 0;
    // 4.
    if (comparison_ == 1) {
        if (session_.upgradeTargetFixed)
            return 1;
        if (askToGoOn(scanner_text::kNewerQuestion, scanner_text::kRunNewerQuestion))
            return 1;
        run_.fail(183);
    }
    // 5. The registered client is the one upgrade choice.
    clientCount_ = 1;
    if (comparison_ == 0 && !session_.upgradeTargetFixed &&
        !askToGoOn(scanner_text::kSameQuestion, scanner_text::kRunSameQuestion))
        run_.fail(183);
    // Only the candidate this call listed goes; one found earlier stays.
    if (candidates_.size() > listedBefore)
        candidates_.pop_back();
    return 1;
}

int ClientScanner::ListCachedClients() {
    if (auto names = run_.m.discovery.registryValueNames(RegRoot::LocalMachine, scanner_text::kInstallsKey))
        for (const std::string& name : *names)
            TestClientFolder(0, name, false);
    buildClientList();
    return comparison_;
}

int ClientScanner::ScanDisksForClients() {
    Machine& m = run_.m;
    if (!diskScanDone_) {
        run_.trace.printf("Scanning for clients...");
        m.windows.sendMessage(session_.frame, msg::ShowBusy, 1, 0);
        for (char letter = 'A'; letter <= 'Z'; ++letter) {
            std::string root = std::string(1, letter) + ":\\";
            if (m.system.driveType(root) == kDriveFixed)
                searchFolder(session_.frame, root);
        }
        diskScanDone_ = true;
        buildClientList();
    }
    m.discovery.setRegistryString(RegRoot::LocalMachine, scanner_text::kInstallsKey, "", "1");
    return comparison_;
}

void ClientScanner::searchFolder(WindowHandle window, const std::string& root) {
    Machine& m = run_.m;
    const std::string program = upper(m.strings.get(kClientProgramString));
    // Depth first, in listing order, with the pending folders on the heap: no tree is deep
    // enough to exhaust the stack. Links are never followed and paths stay within 259
    // characters, so a loop in the tree cannot make the search endless.
    std::vector<std::string> pending{root};
    while (!pending.empty()) {
        std::string path = std::move(pending.back());
        pending.pop_back();
        m.windows.pumpMessages();
        if (!path.empty() && path.back() == '\\')
            path.pop_back();
        // One listing serves both questions: whether the folder can hold a client at all
        // (TestClientFolder rejects a folder without the client program before anything
        // else) and which folders lie below it.
        std::optional<std::vector<FolderEntry>> entries = m.discovery.listFolder(path);
        bool hasProgram = entries && std::any_of(entries->begin(), entries->end(), [&](const FolderEntry& e) {
                              return upper(e.name) == program;
                          });
        if (hasProgram && TestClientFolder(window, path, true))
            continue;
        if (!entries)
            continue;
        std::size_t firstChild = pending.size();
        for (const FolderEntry& entry : *entries) {
            if (!entry.directory || entry.link || entry.name.empty() || entry.name[0] == '.')
                continue;
            std::string child = path + "\\" + entry.name;
            if (child.size() <= kMaxPath)
                pending.push_back(std::move(child));
        }
        std::reverse(pending.begin() + static_cast<std::ptrdiff_t>(firstChild), pending.end());
    }
}

void ClientScanner::diskScanForTests() {
    std::optional<std::string> listFile = run_.m.discovery.diskScanListFile();
    if (!listFile)
        return;
    ScanDisksForClients();
    std::string text;
    for (const ClientListEntry& entry : clientList_)
        text += entry.text + "\t" + entry.folder + "\r\n";
    if (std::unique_ptr<OutputFile> out = run_.m.files.create(*listFile)) {
        out->write(text.data(), text.size());
        out->close();
    }
}

std::string ClientScanner::dateText(std::uint32_t lastUsed) {
    Machine& m = run_.m;
    std::optional<std::string> picture =
        m.registry.readString(RegRoot::CurrentUser, "Control Panel\\International", "sShortDate", 80);
    if (!picture)
        picture =
            m.profile.readString(m.system.windowsDirectory() + "\\win.ini", "intl", "sShortDate", "", 80);
    std::optional<CalendarTime> local = m.discovery.localTime(lastUsed);
    std::optional<std::string> text;
    if (local)
        text = m.discovery.formatDate(*local, *picture);
    if (!text && local)
        text = twoDigits(local->month) + "/" + twoDigits(local->day) + "/" + std::to_string(local->year);
    return text ? text->substr(0, kMaxDateText) : std::string();
}

void ClientScanner::buildClientList() {
    freeClientList();
    std::vector<ClientListEntry> list;
    try {
        list.reserve(candidates_.size());
    } catch (const std::bad_alloc&) {
        run_.history.RecordEvent(112);
        run_.prompts.notice(kOutOfMemoryString);
        run_.fail(14);
    }
    // Most recently used first; on a tie the one found first.
    candidates_.sort(
        [](const ClientCandidate& a, const ClientCandidate& b) { return a.lastUsed > b.lastUsed; });
    for (const ClientCandidate& c : candidates_) {
        ClientListEntry entry;
        entry.folder = c.folder;
        entry.text = c.lastUsed != 0 ? fill(settings.usedText, {c.label, c.folder, dateText(c.lastUsed)})
                                     : fill(settings.neverUsedText, {c.label, c.folder});
        list.push_back(std::move(entry));
    }
    candidates_.clear();
    clientList_ = std::move(list);
    clientCount_ = clientList_.size();
}

void ClientScanner::freeClientList() {
    clientList_.clear();
    clientCount_ = 0;
}

bool ClientScanner::ReadUpgradeClient(std::uint32_t& version, std::string& codebase, std::string& build) {
    Machine& m = run_.m;
    const std::string idb = dataDirectory(session_.upgradeDirectory) + "\\idb";
    if (!m.files.isDirectory(idb))
        return false;
    std::optional<std::string> database =
        clientdb::FindClientDatabase(m.discovery, idb, clientdb::kClientDatabaseKind);
    if (!database)
        return false;
    clientdb::ClientInfo info;
    info.language = info.country = -1;
    if (clientdb::ReadClientInfo(m.discovery, *database, info) == 0)
        return false;
    session_.oldLanguageCode = std::to_string(info.language);
    session_.oldCountryCode = std::to_string(info.country);
    version = info.version;
    codebase = info.codebase;
    build = info.build;
    return true;
}

} // namespace zov
