// Writes client databases: the installed client's "idb\main.idx" (the install engine) and
// every kind of file the reader's tests and fuzz seeds need, including damaged ones. The
// setup program itself never writes a database; it reads them with src/discovery.
//
// Both formats: old (header 'D','C' + kind, records 'R','E' with 16-bit lengths) and new
// (header "ZOVDB-25" + kind, records 'R','2','D','2' with 32-bit lengths). All integers are
// little-endian. Kept free of <windows.h> and of the reader's code: the round-trip tests
// check two independent readings of the format against each other.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zov::tools {

class ClientDatabaseWriter {
  public:
    enum class Format { Old, New };

    static constexpr std::uint32_t kClientKind = 0x01000401;
    static constexpr std::uint32_t kBuild = 0x14000006;
    static constexpr std::uint32_t kScreenNames = 0x14000010;
    static constexpr std::uint32_t kVersion = 0x14000044;
    static constexpr std::uint32_t kLanguage = 0x14000068;
    static constexpr std::uint32_t kCountry = 0x1400006D;
    static constexpr std::uint32_t kCodebase = 0x14FF0125;
    static constexpr std::uint16_t kScrambled = 0x0200;
    static constexpr std::uint16_t kInactive = 0x0400;

    explicit ClientDatabaseWriter(Format format = Format::New, std::uint32_t kind = kClientKind);

    // The signature text of the new format (any letter case reads the same); the old format
    // always starts with 'D','C'.
    ClientDatabaseWriter& signature(const std::string& text);
    // No file header at all: the records start at offset 0 of the bytes.
    ClientDatabaseWriter& withoutHeader();

    // A record with its data; scrambled records are stored XOR-ed with the key, as the
    // client does. declaredLength, when given, is written instead of the data's length.
    ClientDatabaseWriter& record(std::uint32_t type, const std::vector<std::uint8_t>& data,
                                 std::uint16_t flags = 0);
    ClientDatabaseWriter& recordWithLength(std::uint32_t type, const std::vector<std::uint8_t>& data,
                                           std::uint32_t declaredLength, std::uint16_t flags = 0);
    ClientDatabaseWriter& text(std::uint32_t type, const std::string& text, std::uint16_t flags = 0);
    // Bytes that are no record at all.
    ClientDatabaseWriter& garbage(const std::vector<std::uint8_t>& bytes);

    // The records the client writes.
    ClientDatabaseWriter& version(const std::string& text, std::uint16_t flags = 0);
    ClientDatabaseWriter& language(std::int16_t code, std::uint16_t flags = 0);
    ClientDatabaseWriter& country(std::uint8_t code, std::uint16_t flags = 0);
    ClientDatabaseWriter& codebase(const std::string& text, std::uint16_t flags = 0);
    // Byte 0 is not interpreted; the names follow, each with its NUL.
    ClientDatabaseWriter& screenNames(const std::vector<std::string>& names, std::uint16_t flags = 0);
    // Variant 0: four bytes, numbers up to 255. Variant 1: 60 bytes with 16-bit numbers.
    ClientDatabaseWriter& build(unsigned major, unsigned minor, char letter, unsigned variant = 0,
                                std::uint16_t flags = 0);

    // The file: its header (even when no record was written) and what followed.
    std::vector<std::uint8_t> bytes() const;
    std::string str() const;

    static std::vector<std::uint8_t> buildData(unsigned major, unsigned minor, char letter, unsigned variant);

  private:
    void header();
    void put16(std::uint16_t value);
    void put32(std::uint32_t value);

    Format format_;
    std::uint32_t kind_;
    std::string signature_ = "ZOVDB-25";
    std::vector<std::uint8_t> bytes_;
    bool headerWritten_ = false;
};

// The installed client's main database as the install engine writes it: version "9.0",
// build 4327.271 without letter, language 0, country 1, codebase "4327.271" and one screen
// name.
std::vector<std::uint8_t> installedClientDatabase(const std::string& screenName);

} // namespace zov::tools
