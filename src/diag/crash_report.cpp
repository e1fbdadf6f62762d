#include "diag/crash_report.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

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

std::string fileNameOf(const std::string& path) {
    std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

std::string ReportPath(const std::string& tempPath) {
    return tempPath + kReportFile;
}

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
    at.modulePath = module->path;
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

std::vector<std::uint64_t> FramePointerWalk(MemoryReader& memory, std::uint64_t pc,
                                            std::uint64_t framePointer, unsigned wordSize,
                                            std::size_t maxFrames) {
    std::vector<std::uint64_t> frames;
    if (wordSize != 4 && wordSize != 8)
        return frames;
    const std::uint64_t mask = wordSize == 4 ? UINT32_MAX : UINT64_MAX;
    std::uint64_t fp = framePointer & mask;
    while (frames.size() < maxFrames) {
        frames.push_back(pc & mask);
        // The first frame pointer comes from the crashed context: as untrusted as the rest.
        if (frames.size() == 1 && !memory.writable(fp, 2 * wordSize))
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
    return frames;
}

std::string FormatCode(std::uint32_t code) {
    char text[16];
    std::snprintf(text, sizeof text, "%08" PRIX32, code);
    return text;
}

std::string FormatAddress(std::uint64_t address) {
    char text[24];
    std::snprintf(text, sizeof text, "%08" PRIX64, address);
    return text;
}

std::string FormatLogical(const LogicalAddress& at) {
    char text[24];
    std::snprintf(text, sizeof text, "%02X:%08" PRIX32, at.section, at.offset);
    return text;
}

std::string FormatSymbolFrame(const std::string& name, std::uint64_t displacement) {
    char text[24];
    std::snprintf(text, sizeof text, "+%" PRIX64, displacement);
    return name + text;
}

std::string FormatModuleFrame(const LogicalAddress& at) {
    char text[24];
    std::snprintf(text, sizeof text, "%04X:%08" PRIX32 " ", at.section, at.offset);
    return text + fileNameOf(at.modulePath);
}

void ReportWriter::clear() {
    profile_.deleteSection(path_, kSection);
}

void ReportWriter::exception(std::uint32_t code, const std::string& name, std::uint64_t address,
                             const LogicalAddress& at) {
    profile_.writeString(path_, kSection, "ec", FormatCode(code));
    profile_.writeString(path_, kSection, "et", name);
    profile_.writeString(path_, kSection, "ad", FormatAddress(address));
    profile_.writeString(path_, kSection, "lad", FormatLogical(at));
    profile_.writeString(path_, kSection, "m", at.modulePath);
}

void ReportWriter::frame(unsigned number, const std::string& text) {
    profile_.writeString(path_, kSection, "s" + std::to_string(number), text);
}

} // namespace zov::crash
