// The tools' database writer against the setup's readers: records of fuzzed contents,
// written as the install engine writes them, read back by all three readers the same.
//
// Input: u8 options (bit 0 old format, bit 1 a lower-case signature, bit 2 an
// "SNMaster.idx" too, bit 3 that file in the old format), u8 the number of main.idx
// records, the records, then SNMaster.idx's records up to the end. A record: u8 kind (0
// names, 1 language, 2 country, 3 codebase, 4 build, 5 version, 6 another type), u8 flags
// (bit 0 scrambled, bit 1 inactive) and the kind's contents.
//
// Records are written by kind, the version last, as the client writes its databases; one
// active version record at most. Every item the readers deliver is the last active record
// of its kind, within the callers' buffers.
#include "common/client_db_writer.h"
#include "fuzz/client_db_fuzz.h"
#include "fuzz/fuzz_input.h"

#include <algorithm>
#include <map>
#include <vector>

using namespace zov;
using Writer = tools::ClientDatabaseWriter;
using Bytes = std::vector<std::uint8_t>;

namespace {

struct Record {
    int kind = 0;
    std::uint32_t type = 0;
    std::uint16_t flags = 0;
    Bytes data;
    bool active() const { return (flags & Writer::kInactive) == 0; }
    bool scrambled() const { return (flags & Writer::kScrambled) != 0; }
};

constexpr std::uint32_t kTypes[] = {Writer::kScreenNames, Writer::kLanguage, Writer::kCountry,
                                    Writer::kCodebase,    Writer::kBuild,    Writer::kVersion};

Bytes bytesOf(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

Record readRecord(fuzz::Input& in) {
    Record r;
    r.kind = in.u8() % 7;
    std::uint8_t flags = in.u8();
    r.flags = static_cast<std::uint16_t>(((flags & 1) != 0 ? Writer::kScrambled : 0) |
                                         ((flags & 2) != 0 ? Writer::kInactive : 0));
    switch (r.kind) {
    case 0:
        r.data = bytesOf(in.text16().substr(0, 1100));
        break;
    case 1: {
        auto code = in.u16();
        r.data = {0, 0, static_cast<std::uint8_t>(code & 0xFF), static_cast<std::uint8_t>(code >> 8)};
        break;
    }
    case 2:
        r.data = {in.u8()};
        break;
    case 3:
        r.data = bytesOf(in.text16().substr(0, 400));
        break;
    case 4: {
        unsigned variant = in.u8() & 1;
        unsigned major = in.u16(), minor = in.u16();
        r.data = Writer::buildData(major, minor, static_cast<char>(in.u8()), variant);
        break;
    }
    case 5:
        r.data = bytesOf(in.text8());
        break;
    default:
        r.type = 0x15000000u | in.u16(); // a type the readers walk over
        r.data = bytesOf(in.text16().substr(0, 300));
        return r;
    }
    r.type = kTypes[r.kind];
    return r;
}

// Sorted by kind (other types before the version), stable; a second active version record
// is made inactive.
std::vector<Record> ordered(std::vector<Record> records) {
    auto rank = [](const Record& r) { return r.kind == 6 ? 4 : r.kind == 5 ? 6 : r.kind; };
    std::stable_sort(records.begin(), records.end(),
                     [&](const Record& a, const Record& b) { return rank(a) < rank(b); });
    bool version = false;
    for (Record& r : records) {
        if (r.kind == 5 && r.active()) {
            if (version)
                r.flags |= Writer::kInactive;
            version = true;
        }
    }
    return records;
}

std::string written(const std::vector<Record>& records, bool old, bool lower) {
    Writer w(old ? Writer::Format::Old : Writer::Format::New);
    if (lower)
        w.signature("zovdb-25");
    for (const Record& r : records)
        w.record(r.type, r.data, r.flags);
    return w.str();
}

std::string textOf(const Bytes& data) {
    return std::string(data.begin(), std::find(data.begin(), data.end(), std::uint8_t{0}));
}

const Record* lastActive(const std::vector<Record>& records, std::uint32_t type) {
    const Record* last = nullptr;
    for (const Record& r : records)
        if (r.type == type && r.active())
            last = &r;
    return last;
}

// The last active text of the type that fits a caller's buffer of `capacity` bytes, with
// ".0" added when it has no minor.
std::optional<std::string> fittingText(const std::vector<Record>& records, std::uint32_t type,
                                       std::size_t capacity) {
    std::optional<std::string> value;
    for (const Record& r : records) {
        if (r.type != type || !r.active() || r.data.size() + 1 > capacity)
            continue;
        std::string text = clientdb::withMinor(textOf(r.data));
        if (text.size() + 1 <= capacity)
            value = text;
    }
    return value;
}

std::string buildOf(const Record& r) {
    const Bytes& d = r.data;
    if (d.size() > 52) // variant 1
        return clientdb::buildText(d[6] | (d[7] << 8), d[8] | (d[9] << 8), static_cast<char>(d[17]));
    return clientdb::buildText(d[1], d[2], static_cast<char>(d[3]));
}

std::uint32_t indexVersion(const std::vector<Record>& records) {
    const Record* v = lastActive(records, Writer::kVersion);
    if (v == nullptr || v->data.size() >= clientdb::kIndexVersionCapacity)
        return 0;
    return clientdb::packVersion(clientdb::withMinor(textOf(v->data)));
}

// What the index must give for a record: scrambled data stays so from version 4.0 on.
Bytes indexedData(const Record& r, std::uint32_t version) {
    Bytes data = r.data;
    if (r.scrambled() && version >= clientdb::kVersionKeepsScrambled)
        for (std::uint8_t& b : data)
            b ^= clientdb::kScrambleKey;
    return data;
}

void checkIndex(const std::vector<Record>& records, const std::string& bytes) {
    std::string input(2, '\0');
    input[0] = static_cast<char>(bytes.size() & 0xFF);
    input[1] = static_cast<char>(bytes.size() >> 8);
    input += bytes;
    fuzz::MemoryFiles files(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
    clientdb::RecordIndexPtr index;
    fuzz::check(clientdb::OpenRecordIndex(files, fuzz::kMain, index) == clientdb::kIndexOpened);
    const std::uint32_t version = indexVersion(records);
    fuzz::check(clientdb::IndexedVersion(*index) == version);
    std::map<std::uint32_t, const Record*> last;
    for (const Record& r : records)
        if (r.active())
            last[r.type] = &r;
    fuzz::check(clientdb::IndexedTypeCount(*index) == last.size());
    for (const Record& r : records) {
        std::optional<clientdb::IndexedRecord> got = clientdb::ReadIndexedRecord(*index, r.type);
        auto it = last.find(r.type);
        if (it == last.end()) {
            fuzz::check(!got);
            continue;
        }
        fuzz::check(got && got->data == indexedData(*it->second, version));
        fuzz::check(got->stillScrambled ==
                    (it->second->scrambled() && version >= clientdb::kVersionKeepsScrambled));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    const std::uint8_t options = in.u8();
    std::vector<Record> main, master;
    for (unsigned n = in.u8(); n != 0 && !in.empty(); --n)
        main.push_back(readRecord(in));
    if ((options & 4) != 0)
        while (!in.empty())
            master.push_back(readRecord(in));
    main = ordered(main);
    master = ordered(master);
    const std::string mainBytes = written(main, (options & 1) != 0, (options & 2) != 0);
    const std::string masterBytes = (options & 4) != 0 ? written(master, (options & 8) != 0, false) : "";
    if (mainBytes.size() > 0xFFFF)
        return 0; // beyond what the input layout of the readers' files can name

    std::string input(2, '\0');
    input[0] = static_cast<char>(mainBytes.size() & 0xFF);
    input[1] = static_cast<char>(mainBytes.size() >> 8);
    input += mainBytes + masterBytes;
    fuzz::MemoryFiles files(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());

    std::optional<std::string> found =
        clientdb::FindClientDatabase(files, fuzz::kIdb, clientdb::kClientDatabaseKind);
    fuzz::check(found == fuzz::kMain || (found == fuzz::kMaster && (options & 4) != 0));

    clientdb::ClientInfo client;
    fuzz::check(clientdb::ReadClientInfo(files, fuzz::kMain, client) == 1);
    std::optional<std::string> version =
        fittingText(main, Writer::kVersion, clientdb::kClientVersionCapacity);
    fuzz::check(client.version == (version ? clientdb::packVersion(*version) : 0));
    const Record* language = lastActive(main, Writer::kLanguage);
    fuzz::check(client.language ==
                (language ? static_cast<std::int16_t>(language->data[2] | (language->data[3] << 8)) : -1));
    const Record* country = lastActive(main, Writer::kCountry);
    fuzz::check(client.country == (country ? country->data[0] : -1));
    fuzz::check(client.codebase ==
                fittingText(main, Writer::kCodebase, clientdb::kCodebaseCapacity).value_or(""));
    const Record* build = lastActive(main, Writer::kBuild);
    fuzz::check(client.build == (build ? buildOf(*build) : ""));

    clientdb::CandidateInfo candidate;
    fuzz::check(clientdb::ReadCandidateInfo(files, fuzz::kMain, candidate) == 1);
    std::optional<std::string> versionText =
        fittingText(main, Writer::kVersion, clientdb::kCandidateVersionCapacity);
    fuzz::check(candidate.versionText == versionText.value_or(""));
    fuzz::check(candidate.language == client.language && candidate.country == client.country);
    if (build)
        fuzz::check(clientdb::buildText(candidate.buildMajor, candidate.buildMinor, candidate.buildLetter) ==
                    client.build);
    const Record* names = lastActive(main, Writer::kScreenNames);
    const Record* masterNames = lastActive(master, Writer::kScreenNames);
    if (versionText && clientdb::packVersion(*versionText) >= clientdb::kVersionWithNameMaster &&
        masterNames && masterNames->data.size() <= clientdb::kScreenNameCapacity) {
        Bytes want = indexedData(*masterNames, indexVersion(master));
        fuzz::check(candidate.screenNameLength == want.size());
        fuzz::check(std::equal(want.begin(), want.end(), candidate.screenNames.begin()));
    } else {
        fuzz::check(candidate.screenNameLength == clientdb::kScreenNameCapacity);
        if (names) {
            std::size_t n = std::min(names->data.size(), clientdb::kScreenNameCapacity);
            fuzz::check(std::equal(names->data.begin(), names->data.begin() + static_cast<std::ptrdiff_t>(n),
                                   candidate.screenNames.begin()));
        }
    }

    checkIndex(main, mainBytes);
    if ((options & 4) != 0 && masterBytes.size() <= 0xFFFF)
        checkIndex(master, masterBytes);
    return 0;
}
