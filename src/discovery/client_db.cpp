#include "discovery/client_db.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <unordered_map>

namespace zov::clientdb {
namespace {

constexpr std::uint16_t kOldSignature = 0x4344; // 'D','C'
constexpr char kNewSignature[] = "ZOVDB-25";
constexpr std::uint32_t kNewRecordMagic = 0x32443252; // 'R','2','D','2'
constexpr std::uint16_t kOldRecordMagic = 0x4552;     // 'R','E'
constexpr std::uint64_t kOldRecordsStart = 10;
constexpr std::uint64_t kNewRecordsStart = 25;
constexpr std::size_t kOldHeaderSize = 22;
constexpr std::size_t kNewHeaderSize = 26;
// Only the low 16 bits of a length are ever read as data.
constexpr std::uint32_t kLargestReadableRecord = 0xFFFF;
constexpr std::size_t kVariantThreshold = 52;

std::uint16_t u16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t u32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// The decimal number at the start of a text, as the C library reads one (leading blanks,
// an optional sign), held within 32 bits.
long leadingNumber(const char* text, const char* end) {
    while (text < end && std::isspace(static_cast<unsigned char>(*text)))
        ++text;
    bool negative = false;
    if (text < end && (*text == '-' || *text == '+'))
        negative = *text++ == '-';
    long value = 0;
    while (text < end && std::isdigit(static_cast<unsigned char>(*text))) {
        if (value < 0x7FFFFFFF)
            value = std::min<long>(value * 10 + (*text - '0'), 0x7FFFFFFF);
        ++text;
    }
    return negative ? -value : value;
}

std::string textOf(const std::vector<std::uint8_t>& data) {
    auto end = std::find(data.begin(), data.end(), std::uint8_t{0});
    return std::string(data.begin(), end);
}

// A record header as the reader holds it: both formats in the layout of the new one, with
// the offset at which the header starts.
struct Header {
    bool valid = false;
    std::uint32_t type = 0;
    std::uint32_t length = 0;
    std::uint16_t flags = 0;
    std::uint64_t position = 0;
};

// Reads through a window of the file: a walk reads one small header after another, and a
// system read for each would cost more than the walk itself.
class WindowedReader {
  public:
    static constexpr std::size_t kWindow = 64 * 1024;

    explicit WindowedReader(std::unique_ptr<InputFile> file) : file_(std::move(file)) {}

    std::size_t readAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t size) {
        if (size > kWindow)
            return file_->readAt(offset, buffer, size);
        if (!inWindow(offset, size)) {
            window_.resize(kWindow);
            start_ = offset;
            filled_ = file_->readAt(offset, window_.data(), kWindow);
        }
        return copyFromWindow(offset, buffer, size);
    }

    // A read away from where the walk goes on: outside the window it reads just these bytes
    // and leaves the window where it was.
    std::size_t peekAt(std::uint64_t offset, std::uint8_t* buffer, std::size_t size) {
        return inWindow(offset, size) ? copyFromWindow(offset, buffer, size)
                                      : file_->readAt(offset, buffer, size);
    }

  private:
    bool inWindow(std::uint64_t offset, std::size_t size) const {
        return offset >= start_ && offset + size <= start_ + filled_;
    }

    std::size_t copyFromWindow(std::uint64_t offset, std::uint8_t* buffer, std::size_t size) {
        if (offset >= start_ + filled_)
            return 0;
        std::size_t count = std::min<std::size_t>(size, start_ + filled_ - offset);
        std::copy_n(window_.begin() + static_cast<std::ptrdiff_t>(offset - start_), count, buffer);
        return count;
    }

    std::unique_ptr<InputFile> file_;
    std::vector<std::uint8_t> window_;
    std::uint64_t start_ = 0;
    std::size_t filled_ = 0;
};

// One open database: its format and positioned reads of headers and data.
class RecordFile {
  public:
    explicit RecordFile(std::unique_ptr<InputFile> file) : file_(std::move(file)) {
        std::uint8_t head[10];
        oldFormat_ = file_.readAt(0, head, sizeof head) == sizeof head && u16(head) == kOldSignature;
    }

    std::uint64_t firstRecord() const { return oldFormat_ ? kOldRecordsStart : kNewRecordsStart; }
    std::size_t headerSize() const { return oldFormat_ ? kOldHeaderSize : kNewHeaderSize; }
    std::uint64_t dataPosition(const Header& h) const { return h.position + headerSize(); }

    // Nullopt when a whole header cannot be read there. A peek is a look away from the walk
    // (the header after a candidate's data): it does not move the read window.
    enum class Read { InOrder, Peek };
    std::optional<Header> readHeader(std::uint64_t position, Read how = Read::InOrder) {
        std::uint8_t raw[kNewHeaderSize];
        std::size_t size = headerSize();
        std::size_t got =
            how == Read::Peek ? file_.peekAt(position, raw, size) : file_.readAt(position, raw, size);
        if (got != size)
            return std::nullopt;
        Header h;
        h.position = position;
        if (oldFormat_) {
            h.valid = u16(raw) == kOldRecordMagic;
            h.type = u32(raw + 2);
            h.length = u16(raw + 6);
            h.flags = u16(raw + 8);
        } else {
            h.valid = u32(raw) == kNewRecordMagic;
            h.type = u32(raw + 4);
            h.length = u32(raw + 8);
            h.flags = u16(raw + 12);
        }
        return h;
    }

    // The record's data, whole, unscrambled when the database's version asks for it;
    // nullopt when it cannot be read whole. A length beyond 16 bits is refused: its low
    // bits would name a prefix, not the record.
    std::optional<std::vector<std::uint8_t>> readData(const Header& h, std::uint32_t databaseVersion) {
        if (h.length > kLargestReadableRecord)
            return std::nullopt;
        std::vector<std::uint8_t> data(h.length);
        if (h.length != 0 && file_.readAt(dataPosition(h), data.data(), data.size()) != data.size())
            return std::nullopt;
        if (unscrambles(h, databaseVersion))
            for (std::uint8_t& byte : data)
                byte ^= kScrambleKey;
        return data;
    }

    // Up to count bytes from the record's data position, whatever the record's length.
    std::size_t readRaw(const Header& h, std::uint8_t* buffer, std::size_t count) {
        std::size_t got = file_.readAt(dataPosition(h), buffer, count);
        if (unscrambles(h, 0))
            for (std::size_t i = 0; i < got; ++i)
                buffer[i] ^= kScrambleKey;
        return got;
    }

    static bool unscrambles(const Header& h, std::uint32_t databaseVersion) {
        return (h.flags & kFlagScrambled) != 0 && databaseVersion < kVersionKeepsScrambled;
    }

  private:
    WindowedReader file_;
    bool oldFormat_ = false;
};

std::unique_ptr<RecordFile> openDatabase(ReadOnlyFiles& files, const std::string& path) {
    std::unique_ptr<InputFile> file = files.openRead(path);
    if (!file)
        return nullptr;
    return std::make_unique<RecordFile>(std::move(file));
}

enum class Step { Record, End, Damaged };

// The record walk shared by the three readers: valid headers in file order, damaged
// stretches skipped by the resynchronisation scan, inactive records passed over.
class RecordWalk {
  public:
    explicit RecordWalk(RecordFile& file) : file_(file), next_(file.firstRecord()) {}

    Step next(Header& out) {
        for (;;) {
            std::optional<Header> h = file_.readHeader(next_);
            if (!h)
                return Step::End;
            if (!h->valid) {
                h = resynchronise(next_ + 1);
                if (!h)
                    return Step::Damaged;
            }
            // Positions only grow, so the walk ends even when lengths lie.
            next_ = h->position + file_.headerSize() + h->length;
            if ((h->flags & kFlagInactive) != 0)
                continue;
            out = *h;
            return Step::Record;
        }
    }

  private:
    // A header is only believed when another valid header follows its data; so the last
    // record of a file is never found this way. Each candidate costs two header reads: the
    // one after its data is a peek, so that a crafted run of candidates with long lengths
    // cannot make every step refill the read window twice.
    std::optional<Header> resynchronise(std::uint64_t from) {
        for (std::uint64_t b = from;; ++b) {
            std::optional<Header> candidate = file_.readHeader(b);
            if (!candidate)
                return std::nullopt;
            if (!candidate->valid)
                continue;
            std::optional<Header> following = file_.readHeader(
                candidate->position + file_.headerSize() + candidate->length, RecordFile::Read::Peek);
            if (!following)
                return std::nullopt;
            if (following->valid)
                return candidate;
        }
    }

    RecordFile& file_;
    std::uint64_t next_;
};

// A version text as the caller's buffer holds it, with ".0" when it has no minor; nullopt
// when it would not fit (capacity counts the terminator).
std::optional<std::string> versionTextOf(const std::vector<std::uint8_t>& data, std::size_t capacity) {
    if (data.size() + 1 > capacity)
        return std::nullopt;
    std::string text = withMinor(textOf(data));
    if (text.size() + 1 > capacity)
        return std::nullopt;
    return text;
}

struct Build {
    int major = 0, minor = 0;
    char letter = 0;
};

Build decodeBuild(const std::optional<std::vector<std::uint8_t>>& data) {
    Build b;
    if (!data)
        return b;
    const std::vector<std::uint8_t>& d = *data;
    std::uint16_t variant = d.size() > kVariantThreshold ? u16(d.data()) : 0;
    if (variant == 0 && d.size() >= 4) {
        b.major = d[1];
        b.minor = d[2];
        b.letter = static_cast<char>(d[3]);
    } else if (variant == 1) { // longer than 52 bytes, so offsets 6, 8 and 17 are inside
        b.major = u16(d.data() + 6);
        b.minor = u16(d.data() + 8);
        b.letter = static_cast<char>(d[17]);
    }
    return b;
}

// The signed 16-bit language code at offset 2; nullopt when the record is too short.
std::optional<int> languageOf(const std::optional<std::vector<std::uint8_t>>& data) {
    if (!data || data->size() < 4)
        return std::nullopt;
    return static_cast<std::int16_t>(u16(data->data() + 2));
}

std::string folderOf(const std::string& path) {
    std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

} // namespace

class RecordIndex {
  public:
    explicit RecordIndex(std::unique_ptr<RecordFile> file) : file_(std::move(file)) {}

    void add(const Header& h) { entries_[h.type] = h; }
    const Header* find(std::uint32_t type) const {
        auto it = entries_.find(type);
        return it == entries_.end() ? nullptr : &it->second;
    }
    RecordFile& file() { return *file_; }
    std::uint32_t version = 0;
    std::size_t count() const { return entries_.size(); }

  private:
    std::unique_ptr<RecordFile> file_;
    std::unordered_map<std::uint32_t, Header> entries_; // the last active record of each type
};

std::uint32_t packVersion(const std::string& text) {
    std::string full = withMinor(text);
    const char* begin = full.c_str();
    const char* end = begin + full.size();
    long major = leadingNumber(begin, end);
    const char* dot = std::find(begin, end, '.');
    long minor = dot == end ? 0 : leadingNumber(dot + 1, end);
    return (static_cast<std::uint32_t>(major) & 0xFFFFu) << 16 |
           (static_cast<std::uint32_t>(minor) & 0xFFFFu);
}

std::string withMinor(const std::string& text) {
    return text.find('.') == std::string::npos ? text + ".0" : text;
}

std::string buildText(int major, int minor, char letter) {
    std::string text = std::to_string(major) + "." + std::to_string(minor);
    if (letter != 0)
        text += letter;
    return text;
}

std::optional<std::string> FindClientDatabase(ReadOnlyFiles& files, const std::string& folder,
                                              std::uint32_t kind) {
    std::optional<std::vector<FolderEntry>> entries = files.listFolder(folder);
    if (!entries)
        return std::nullopt;
    for (const FolderEntry& entry : *entries) {
        std::string path = folder + "\\" + entry.name;
        std::unique_ptr<InputFile> file = files.openRead(path);
        if (!file)
            continue;
        std::uint8_t head[25];
        std::size_t got = file->readAt(0, head, sizeof head);
        if (got >= 10 && u16(head) == kOldSignature && u32(head + 2) == kind)
            return path;
        if (got == sizeof head && head[8] == 0 && u32(head + 9) == kind &&
            std::equal(head, head + 8, kNewSignature, [](std::uint8_t a, char b) {
                return std::toupper(a) == std::toupper(static_cast<unsigned char>(b));
            }))
            return path;
    }
    return std::nullopt;
}

namespace {

// The walk of the sequential readers: each active record in turn goes to `process`, which
// answers true once every item it wants is found. 1 then or at the end of the records; 0 when
// the file cannot be opened or its record structure is damaged beyond recovery.
template <typename Process>
int readSequentially(ReadOnlyFiles& files, const std::string& path, Process process) {
    std::unique_ptr<RecordFile> file = openDatabase(files, path);
    if (!file)
        return 0;
    RecordWalk walk(*file);
    Header h;
    for (;;) {
        switch (walk.next(h)) {
        case Step::End:
            return 1;
        case Step::Damaged:
            return 0;
        case Step::Record:
            break;
        }
        if (process(*file, h))
            return 1;
    }
}

// Language and country, which both sequential readers take alike: the language counts as
// found only when its record could be read, the country in any case.
struct LanguageAndCountry {
    bool language = false, country = false;

    bool found() const { return language && country; }
    // Version 3.0 and older store neither.
    void takeVersion(std::uint32_t packed) {
        if (packed <= kVersionWithoutLanguage)
            language = country = true;
    }
    // Takes a language or country record into the caller's values; false for any other type.
    bool take(RecordFile& file, const Header& h, int& languageValue, int& countryValue) {
        if (h.type == kLanguageRecord) {
            if (std::optional<int> code = languageOf(file.readData(h, 0))) {
                languageValue = *code;
                language = true;
            }
            return true;
        }
        if (h.type == kCountryRecord) {
            if (auto data = file.readData(h, 0); data && !data->empty())
                countryValue = (*data)[0];
            country = true;
            return true;
        }
        return false;
    }
};

} // namespace

int ReadClientInfo(ReadOnlyFiles& files, const std::string& path, ClientInfo& info) {
    bool version = false, codebase = false, build = false;
    LanguageAndCountry shared;
    return readSequentially(files, path, [&](RecordFile& file, const Header& h) {
        if (shared.take(file, h, info.language, info.country))
            return version && shared.found() && codebase && build;
        switch (h.type) {
        case kVersionRecord:
            if (auto data = file.readData(h, 0)) {
                if (auto text = versionTextOf(*data, kClientVersionCapacity)) {
                    info.version = packVersion(*text);
                    shared.takeVersion(info.version);
                    version = true;
                }
            }
            break;
        case kCodebaseRecord:
            if (auto data = file.readData(h, 0); data && data->size() + 1 <= kCodebaseCapacity) {
                std::string text = withMinor(textOf(*data));
                if (text.size() + 1 <= kCodebaseCapacity) {
                    info.codebase = text;
                    codebase = true;
                }
            }
            break;
        case kBuildRecord: {
            Build b = decodeBuild(file.readData(h, 0));
            info.build = buildText(b.major, b.minor, b.letter);
            build = true;
            break;
        }
        default:
            break;
        }
        return version && shared.found() && codebase && build;
    });
}

std::string CandidateInfo::firstScreenName() const {
    if (screenNames.size() < 2)
        return {};
    auto begin = screenNames.begin() + 1;
    return std::string(begin, std::find(begin, screenNames.end(), std::uint8_t{0}));
}

int ReadCandidateInfo(ReadOnlyFiles& files, const std::string& path, CandidateInfo& info) {
    bool version = false, names = false, build = false;
    LanguageAndCountry shared;
    return readSequentially(files, path, [&](RecordFile& file, const Header& h) {
        if (shared.take(file, h, info.language, info.country))
            return version && names && shared.found() && build;
        switch (h.type) {
        case kScreenNameRecord: {
            std::size_t count = std::min(info.screenNameLength, info.screenNames.size());
            file.readRaw(h, info.screenNames.data(), count);
            names = true;
            break;
        }
        case kVersionRecord: {
            auto data = file.readData(h, 0);
            std::optional<std::string> text =
                data ? versionTextOf(*data, kCandidateVersionCapacity) : std::nullopt;
            if (!text)
                break;
            info.versionText = *text;
            std::uint32_t packed = packVersion(*text);
            shared.takeVersion(packed);
            if (packed >= kVersionWithNameMaster) {
                RecordIndexPtr master;
                if (OpenRecordIndex(files, folderOf(path) + "\\SNMaster.idx", master) == kIndexOpened) {
                    if (auto length = ReadIndexedRecord(*master, kScreenNameRecord, info.screenNames.data(),
                                                        info.screenNames.size())) {
                        info.screenNameLength = *length;
                        names = true;
                    }
                    CloseRecordIndex(master);
                }
            }
            version = true;
            break;
        }
        case kBuildRecord: {
            Build b = decodeBuild(file.readData(h, 0));
            info.buildMajor = b.major;
            info.buildMinor = b.minor;
            info.buildLetter = b.letter;
            build = true;
            break;
        }
        default:
            break;
        }
        return version && names && shared.found() && build;
    });
}

int OpenRecordIndex(ReadOnlyFiles& files, const std::string& path, RecordIndexPtr& index) {
    index.reset();
    std::unique_ptr<RecordFile> file = openDatabase(files, path);
    if (!file)
        return kIndexNotOpened;
    RecordIndexPtr built(new RecordIndex(std::move(file)));
    RecordWalk walk(built->file());
    Header h;
    for (;;) {
        Step step = walk.next(h);
        if (step == Step::Damaged)
            return kIndexDamaged;
        if (step == Step::End)
            break;
        built->add(h);
    }
    std::optional<std::string> version = ReadIndexedText(*built, kVersionRecord, kIndexVersionCapacity);
    built->version = version ? packVersion(*version) : 0;
    index = std::move(built);
    return kIndexOpened;
}

std::optional<IndexedRecord> ReadIndexedRecord(RecordIndex& index, std::uint32_t type) {
    const Header* h = index.find(type);
    if (h == nullptr)
        return std::nullopt;
    auto data = index.file().readData(*h, index.version);
    if (!data)
        return std::nullopt;
    IndexedRecord record;
    record.data = std::move(*data);
    record.stillScrambled = (h->flags & kFlagScrambled) != 0 && index.version >= kVersionKeepsScrambled;
    return record;
}

std::optional<std::size_t> ReadIndexedRecord(RecordIndex& index, std::uint32_t type, std::uint8_t* buffer,
                                             std::size_t capacity, bool* stillScrambled) {
    const Header* h = index.find(type);
    if (h == nullptr || h->length > capacity)
        return std::nullopt;
    std::optional<IndexedRecord> record = ReadIndexedRecord(index, type);
    if (!record)
        return std::nullopt;
    std::copy(record->data.begin(), record->data.end(), buffer);
    if (stillScrambled != nullptr)
        *stillScrambled = record->stillScrambled;
    return record->data.size();
}

std::optional<std::string> ReadIndexedText(RecordIndex& index, std::uint32_t type, std::size_t capacity) {
    const Header* h = index.find(type);
    if (h == nullptr || h->length >= capacity)
        return std::nullopt;
    std::optional<IndexedRecord> record = ReadIndexedRecord(index, type);
    if (!record)
        return std::nullopt;
    return textOf(record->data);
}

void CloseRecordIndex(RecordIndexPtr& index) {
    index.reset();
}

void RecordIndexDeleter::operator()(RecordIndex* index) const {
    delete index;
}

std::uint32_t IndexedVersion(const RecordIndex& index) {
    return index.version;
}

std::size_t IndexedTypeCount(const RecordIndex& index) {
    return index.count();
}

} // namespace zov::clientdb
