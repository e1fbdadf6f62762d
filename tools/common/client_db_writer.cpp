#include "common/client_db_writer.h"

namespace zov::tools {
namespace {

constexpr std::uint8_t kScrambleKey = 0xA3;

} // namespace

ClientDatabaseWriter::ClientDatabaseWriter(Format format, std::uint32_t kind)
    : format_(format), kind_(kind) {}

ClientDatabaseWriter& ClientDatabaseWriter::signature(const std::string& text) {
    signature_ = text;
    return *this;
}

ClientDatabaseWriter& ClientDatabaseWriter::withoutHeader() {
    headerWritten_ = true;
    return *this;
}

void ClientDatabaseWriter::put16(std::uint16_t value) {
    bytes_.push_back(static_cast<std::uint8_t>(value & 0xFF));
    bytes_.push_back(static_cast<std::uint8_t>(value >> 8));
}

void ClientDatabaseWriter::put32(std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        bytes_.push_back(static_cast<std::uint8_t>((value >> shift) & 0xFF));
}

void ClientDatabaseWriter::header() {
    if (headerWritten_)
        return;
    headerWritten_ = true;
    if (format_ == Format::Old) {
        bytes_.push_back('D');
        bytes_.push_back('C');
        put32(kind_);
        put32(0);
        return;
    }
    std::string sig = signature_.substr(0, 8);
    sig.resize(9, '\0');
    bytes_.insert(bytes_.end(), sig.begin(), sig.end());
    put32(kind_);
    bytes_.insert(bytes_.end(), 12, 0);
}

std::vector<std::uint8_t> ClientDatabaseWriter::bytes() const {
    ClientDatabaseWriter whole = *this;
    whole.header();
    return whole.bytes_;
}

std::string ClientDatabaseWriter::str() const {
    std::vector<std::uint8_t> b = bytes();
    return std::string(b.begin(), b.end());
}

ClientDatabaseWriter& ClientDatabaseWriter::record(std::uint32_t type, const std::vector<std::uint8_t>& data,
                                                   std::uint16_t flags) {
    return recordWithLength(type, data, static_cast<std::uint32_t>(data.size()), flags);
}

ClientDatabaseWriter& ClientDatabaseWriter::recordWithLength(std::uint32_t type,
                                                             const std::vector<std::uint8_t>& data,
                                                             std::uint32_t declaredLength,
                                                             std::uint16_t flags) {
    header();
    if (format_ == Format::Old) {
        bytes_.push_back('R');
        bytes_.push_back('E');
        put32(type);
        put16(static_cast<std::uint16_t>(declaredLength));
        put16(flags);
        bytes_.insert(bytes_.end(), 12, 0);
    } else {
        bytes_.insert(bytes_.end(), {'R', '2', 'D', '2'});
        put32(type);
        put32(declaredLength);
        put16(flags);
        bytes_.insert(bytes_.end(), 12, 0);
    }
    for (std::uint8_t byte : data)
        bytes_.push_back((flags & kScrambled) != 0 ? static_cast<std::uint8_t>(byte ^ kScrambleKey) : byte);
    return *this;
}

ClientDatabaseWriter& ClientDatabaseWriter::text(std::uint32_t type, const std::string& text,
                                                 std::uint16_t flags) {
    return record(type, std::vector<std::uint8_t>(text.begin(), text.end()), flags);
}

ClientDatabaseWriter& ClientDatabaseWriter::garbage(const std::vector<std::uint8_t>& bytes) {
    header();
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
}

ClientDatabaseWriter& ClientDatabaseWriter::version(const std::string& value, std::uint16_t flags) {
    return text(kVersion, value, flags);
}

ClientDatabaseWriter& ClientDatabaseWriter::language(std::int16_t code, std::uint16_t flags) {
    auto bits = static_cast<std::uint16_t>(code);
    return record(kLanguage,
                  {0, 0, static_cast<std::uint8_t>(bits & 0xFF), static_cast<std::uint8_t>(bits >> 8)},
                  flags);
}

ClientDatabaseWriter& ClientDatabaseWriter::country(std::uint8_t code, std::uint16_t flags) {
    return record(kCountry, {code}, flags);
}

ClientDatabaseWriter& ClientDatabaseWriter::codebase(const std::string& value, std::uint16_t flags) {
    return text(kCodebase, value, flags);
}

ClientDatabaseWriter& ClientDatabaseWriter::screenNames(const std::vector<std::string>& names,
                                                        std::uint16_t flags) {
    std::vector<std::uint8_t> data{0};
    for (const std::string& name : names) {
        data.insert(data.end(), name.begin(), name.end());
        data.push_back(0);
    }
    return record(kScreenNames, data, flags);
}

std::vector<std::uint8_t> ClientDatabaseWriter::buildData(unsigned major, unsigned minor, char letter,
                                                          unsigned variant) {
    if (variant == 0)
        return {0, static_cast<std::uint8_t>(major), static_cast<std::uint8_t>(minor),
                static_cast<std::uint8_t>(letter)};
    std::vector<std::uint8_t> data(60, 0);
    data[0] = static_cast<std::uint8_t>(variant & 0xFF);
    data[1] = static_cast<std::uint8_t>(variant >> 8);
    data[6] = static_cast<std::uint8_t>(major & 0xFF);
    data[7] = static_cast<std::uint8_t>((major >> 8) & 0xFF);
    data[8] = static_cast<std::uint8_t>(minor & 0xFF);
    data[9] = static_cast<std::uint8_t>((minor >> 8) & 0xFF);
    data[17] = static_cast<std::uint8_t>(letter);
    return data;
}

ClientDatabaseWriter& ClientDatabaseWriter::build(unsigned major, unsigned minor, char letter,
                                                  unsigned variant, std::uint16_t flags) {
    return record(kBuild, buildData(major, minor, letter, variant), flags);
}

std::vector<std::uint8_t> installedClientDatabase(const std::string& screenName) {
    return ClientDatabaseWriter()
        .version("9.0")
        .build(4327, 271, 0, 1)
        .language(0)
        .country(1)
        .codebase("4327.271")
        .screenNames({screenName})
        .bytes();
}

} // namespace zov::tools
