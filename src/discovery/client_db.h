// The client's binary databases ("main.idx", "SNMaster.idx" in its "idb" folder), read
// and never written. Nothing in a file is trusted: lengths, offsets and texts are bounded
// by what was actually read and by the caller's buffers, and every file is closed on every
// path out (the open file lives in an owning object).
#pragma once

#include "platform/ports_discovery.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zov::clientdb {

// The kind of a client's main database, in both file headers.
constexpr std::uint32_t kClientDatabaseKind = 0x01000401;

// Record types the reader understands; every other type is walked over.
constexpr std::uint32_t kBuildRecord = 0x14000006;
constexpr std::uint32_t kScreenNameRecord = 0x14000010;
constexpr std::uint32_t kVersionRecord = 0x14000044;
constexpr std::uint32_t kLanguageRecord = 0x14000068;
constexpr std::uint32_t kCountryRecord = 0x1400006D;
constexpr std::uint32_t kCodebaseRecord = 0x14FF0125;

constexpr std::uint16_t kFlagScrambled = 0x0200;
constexpr std::uint16_t kFlagInactive = 0x0400;
constexpr std::uint8_t kScrambleKey = 0xA3;

// The databases of version 4.0 and later keep scrambled records scrambled in the index.
constexpr std::uint32_t kVersionKeepsScrambled = 0x00040000;
// Version 3.0 and older store no language or country.
constexpr std::uint32_t kVersionWithoutLanguage = 0x00030000;
// Version 9.5 and later keep their screen names in "SNMaster.idx".
constexpr std::uint32_t kVersionWithNameMaster = 0x00090005;

// Buffer sizes of the callers (text plus terminator).
constexpr std::size_t kCandidateVersionCapacity = 32;
constexpr std::size_t kClientVersionCapacity = 256;
constexpr std::size_t kCodebaseCapacity = 260;
constexpr std::size_t kScreenNameCapacity = 1024;
constexpr std::size_t kIndexVersionCapacity = 16;

// "9" -> 0x00090000, "9.5" -> 0x00090005: major and minor, 16 bits each. A text without a
// '.' reads as "<text>.0".
std::uint32_t packVersion(const std::string& text);
// Appends ".0" when the text holds no '.'.
std::string withMinor(const std::string& text);
// "%d.%d%c": a letter of 0 ends the text after the minor number.
std::string buildText(int major, int minor, char letter);

// The first file of a folder, in listing order, that carries the client-database signature
// of the kind; its full path, or nullopt.
std::optional<std::string> FindClientDatabase(ReadOnlyFiles& files, const std::string& folder,
                                              std::uint32_t kind);

// What ReadClientInfo delivers. Items the file does not hold keep the values set before the
// call.
struct ClientInfo {
    std::uint32_t version = 0;
    int language = -1;
    int country = -1;
    std::string codebase;
    std::string build;
};

// 1 when the walk reached the end of the records or found every item; 0 when the file
// cannot be opened or its record structure is damaged beyond recovery (items already read
// are kept).
int ReadClientInfo(ReadOnlyFiles& files, const std::string& path, ClientInfo& info);

// What ReadCandidateInfo delivers; the caller presets it (a fresh object is the scanner's
// preset: 1,024 zero bytes of screen names with length value 1024, empty version text,
// language and country -1, build 0.0 without letter).
struct CandidateInfo {
    std::vector<std::uint8_t> screenNames = std::vector<std::uint8_t>(kScreenNameCapacity, 0);
    std::size_t screenNameLength = kScreenNameCapacity;
    std::string versionText; // at most 31 characters
    int language = -1;
    int country = -1;
    int buildMajor = 0;
    int buildMinor = 0;
    char buildLetter = 0;

    // The text from byte 1 of the screen-name data up to its NUL (or the buffer's end).
    std::string firstScreenName() const;
};

int ReadCandidateInfo(ReadOnlyFiles& files, const std::string& path, CandidateInfo& info);

// The record index: the last active record of each type, with the database's version.
class RecordIndex;
struct RecordIndexDeleter {
    void operator()(RecordIndex* index) const;
};
using RecordIndexPtr = std::unique_ptr<RecordIndex, RecordIndexDeleter>;

struct IndexedRecord {
    std::vector<std::uint8_t> data;
    bool stillScrambled = false; // flagged, and the database is 4.0 or later
};

enum OpenResult { kIndexOpened = 0, kIndexDamaged = 1, kIndexNotOpened = 2 };
int OpenRecordIndex(ReadOnlyFiles& files, const std::string& path, RecordIndexPtr& index);
// The record's data (the low 16 bits of its length); nullopt when the type is absent or the
// data cannot be read whole.
std::optional<IndexedRecord> ReadIndexedRecord(RecordIndex& index, std::uint32_t type);
// The same into a caller's buffer: a record longer than the buffer is refused (nullopt),
// never cut. Returns the record's length.
std::optional<std::size_t> ReadIndexedRecord(RecordIndex& index, std::uint32_t type, std::uint8_t* buffer,
                                             std::size_t capacity, bool* stillScrambled = nullptr);
// The record as text. A record of capacity bytes or more gives "" and nullopt.
std::optional<std::string> ReadIndexedText(RecordIndex& index, std::uint32_t type, std::size_t capacity);
// Closes the file and releases the index (the destructor does the same).
void CloseRecordIndex(RecordIndexPtr& index);

// What an index knows, for tests and tools.
std::uint32_t IndexedVersion(const RecordIndex& index);
std::size_t IndexedTypeCount(const RecordIndex& index);

} // namespace zov::clientdb
