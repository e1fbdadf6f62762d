#include "diag/crash_report.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace zov::crash {
namespace {

struct NamedCode {
    std::uint32_t code;
    const char* name;
};

constexpr NamedCode kExceptionNames[] = {
    {0x80000001u, "GUARD_PAGE"},
    {0x80000002u, "DATATYPE_MISALIGNMENT"},
    {0x80000003u, "BREAKPOINT"},
    {0x80000004u, "SINGLE_STEP"},
    {0xC0000005u, "ACCESS_VIOLATION"},
    {0xC0000006u, "IN_PAGE_ERROR"},
    {0xC0000008u, "INVALID_HANDLE"},
    {0xC000001Du, "ILLEGAL_INSTRUCTION"},
    {0xC0000025u, "NONCONTINUABLE_EXCEPTION"},
    {0xC0000026u, "INVALID_DISPOSITION"},
    {0xC000008Cu, "ARRAY_BOUNDS_EXCEEDED"},
    {0xC000008Du, "FLT_DENORMAL_OPERAND"},
    {0xC000008Eu, "FLT_DIVIDE_BY_ZERO"},
    {0xC000008Fu, "FLT_INEXACT_RESULT"},
    {0xC0000090u, "FLT_INVALID_OPERATION"},
    {0xC0000091u, "FLT_OVERFLOW"},
    {0xC0000092u, "FLT_STACK_CHECK"},
    {0xC0000093u, "FLT_UNDERFLOW"},
    {0xC0000094u, "INT_DIVIDE_BY_ZERO"},
    {0xC0000095u, "INT_OVERFLOW"},
    {0xC0000096u, "PRIV_INSTRUCTION"},
    {0xC00000FDu, "STACK_OVERFLOW"},
};

// PE header offsets.
constexpr std::uint64_t kNtHeaderOffsetAt = 0x3C;
constexpr std::uint64_t kSectionCountAt = 6;
constexpr std::uint64_t kOptionalHeaderSizeAt = 20;
constexpr std::uint64_t kOptionalHeaderAt = 24;
constexpr std::uint64_t kSectionEntrySize = 40;

template <typename T> bool readValue(MemoryReader& memory, std::uint64_t address, T& value) {
    std::uint8_t bytes[sizeof(T)];
    if (!memory.read(address, bytes, sizeof bytes))
        return false;
    // Little-endian, as every PE image and every stack this program runs on.
    std::uint64_t v = 0;
    for (std::size_t i = sizeof(T); i-- > 0;)
        v = (v << 8) | bytes[i];
    value = static_cast<T>(v);
    return true;
}

bool readWord(MemoryReader& memory, std::uint64_t address, unsigned wordSize, std::uint64_t& word) {
    if (wordSize == 4) {
        std::uint32_t w = 0;
        if (!readValue(memory, address, w))
            return false;
        word = w;
        return true;
    }
    return readValue(memory, address, word);
}

const char* fileNameOf(const char* path) {
    const char* name = path;
    for (const char* p = path; *p != '\0'; ++p) {
        if (*p == '\\' || *p == '/')
            name = p + 1;
    }
    return name;
}

// Appends to a fixed buffer: always terminated, never past its end.
class FixedText {
  public:
    FixedText(char* buffer, std::size_t size) : at_(buffer), end_(buffer + size - 1) { *at_ = '\0'; }

    FixedText& text(const char* text, std::size_t most = SIZE_MAX) {
        for (; most > 0 && *text != '\0'; --most)
            put(*text++);
        return *this;
    }
    // Upper-case hexadecimal digits, at least `digits` of them.
    FixedText& hex(std::uint64_t value, int digits) {
        char raw[16];
        char* end = std::to_chars(raw, raw + sizeof raw, value, 16).ptr;
        for (int pad = digits - static_cast<int>(end - raw); pad > 0; --pad)
            put('0');
        for (const char* p = raw; p < end; ++p)
            put(*p >= 'a' ? static_cast<char>(*p - 'a' + 'A') : *p);
        return *this;
    }
    FixedText& decimal(unsigned value) {
        char raw[16];
        *std::to_chars(raw, raw + sizeof raw - 1, value).ptr = '\0';
        return text(raw);
    }

  private:
    void put(char c) {
        if (at_ < end_) {
            *at_++ = c;
            *at_ = '\0';
        }
    }

    char* at_;
    char* const end_;
};

} // namespace

const char* ExceptionName(std::uint32_t code) {
    for (const NamedCode& entry : kExceptionNames) {
        if (entry.code == code)
            return entry.name;
    }
    return nullptr;
}

LogicalAddress LogicalAddressOf(MemoryReader& memory, const std::optional<ModuleOf>& module,
                                std::uint64_t address) {
    LogicalAddress at;
    if (!module)
        return at;
    std::memcpy(at.modulePath, module->path, sizeof at.modulePath);
    at.modulePath[sizeof at.modulePath - 1] = '\0';
    const std::uint64_t base = module->base;
    if (address < base || address - base > UINT32_MAX)
        return at;
    const std::uint64_t rva = address - base;

    std::uint16_t mz = 0;
    std::uint32_t ntOffset = 0;
    if (!readValue(memory, base, mz) || mz != 0x5A4D ||
        !readValue(memory, base + kNtHeaderOffsetAt, ntOffset))
        return at;
    const std::uint64_t nt = base + ntOffset;
    std::uint32_t signature = 0;
    std::uint16_t sectionCount = 0;
    std::uint16_t optionalSize = 0;
    if (!readValue(memory, nt, signature) || signature != 0x00004550 ||
        !readValue(memory, nt + kSectionCountAt, sectionCount) ||
        !readValue(memory, nt + kOptionalHeaderSizeAt, optionalSize))
        return at;
    const std::uint64_t table = nt + kOptionalHeaderAt + optionalSize;
    for (unsigned i = 0; i < sectionCount; ++i) {
        std::uint8_t entry[kSectionEntrySize];
        if (!memory.read(table + i * kSectionEntrySize, entry, sizeof entry))
            return at;
        auto field = [&entry](std::size_t at) {
            return static_cast<std::uint32_t>(entry[at]) | static_cast<std::uint32_t>(entry[at + 1]) << 8 |
                   static_cast<std::uint32_t>(entry[at + 2]) << 16 |
                   static_cast<std::uint32_t>(entry[at + 3]) << 24;
        };
        const std::uint64_t virtualSize = field(8);
        const std::uint64_t virtualAddress = field(12);
        const std::uint64_t rawSize = field(16);
        if (virtualAddress <= rva && rva <= virtualAddress + std::max(rawSize, virtualSize)) {
            at.section = i + 1;
            at.offset = static_cast<std::uint32_t>(rva - virtualAddress);
            return at;
        }
    }
    return at;
}

std::size_t FramePointerWalk(MemoryReader& memory, std::uint64_t pc, std::uint64_t framePointer,
                             unsigned wordSize, std::uint64_t* frames, std::size_t maxFrames) {
    if (wordSize != 4 && wordSize != 8)
        return 0;
    const std::uint64_t mask = wordSize == 4 ? UINT32_MAX : UINT64_MAX;
    std::uint64_t fp = framePointer & mask;
    std::size_t count = 0;
    while (count < maxFrames) {
        frames[count++] = pc & mask;
        // The first frame pointer comes from the crashed context: as untrusted as the rest.
        if (count == 1 && !memory.writable(fp, 2 * wordSize))
            break;
        std::uint64_t nextPc = 0;
        std::uint64_t nextFp = 0;
        if (!readWord(memory, fp + wordSize, wordSize, nextPc) || !readWord(memory, fp, wordSize, nextFp))
            break;
        if (nextFp % wordSize != 0 || nextFp <= fp || !memory.writable(nextFp, 2 * wordSize))
            break;
        pc = nextPc;
        fp = nextFp;
    }
    return count;
}

void ReportWriter::exception(std::uint32_t code, const char* name, std::uint64_t address,
                             const LogicalAddress& at) {
    FixedText(value_, sizeof value_).hex(code, 8);
    write("ec");
    FixedText(value_, sizeof value_).text(name);
    write("et");
    FixedText(value_, sizeof value_).hex(address, 8);
    write("ad");
    FixedText(value_, sizeof value_).hex(at.section, 2).text(":").hex(at.offset, 8);
    write("lad");
    sink_.write("m", at.modulePath);
}

void ReportWriter::symbolFrame(unsigned number, const char* name, std::uint64_t displacement) {
    FixedText(value_, sizeof value_).text(name, kSymbolNameLength).text("+").hex(displacement, 1);
    writeFrame(number);
}

void ReportWriter::moduleFrame(unsigned number, const LogicalAddress& at) {
    FixedText(value_, sizeof value_)
        .hex(at.section, 4)
        .text(":")
        .hex(at.offset, 8)
        .text(" ")
        .text(fileNameOf(at.modulePath));
    writeFrame(number);
}

void ReportWriter::write(const char* key) {
    sink_.write(key, value_);
}

void ReportWriter::writeFrame(unsigned number) {
    char key[16];
    FixedText(key, sizeof key).text("s").decimal(number);
    write(key);
}

} // namespace zov::crash
