// The crash report's portable half: names, formats, the section lookup in a PE image, the
// frame-pointer walk over a damaged stack, and the [GPF] section of errstack.rpt.
#include "diag/crash_report.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

using namespace zov;
using namespace zov::crash;

namespace {

TEST(CrashNames, CodesOfTheTableAndNoOther) {
    EXPECT_STREQ(ExceptionName(0xC0000094u), "INT_DIVIDE_BY_ZERO");
    EXPECT_STREQ(ExceptionName(0xC0000005u), "ACCESS_VIOLATION");
    EXPECT_STREQ(ExceptionName(0x80000001u), "GUARD_PAGE");
    EXPECT_STREQ(ExceptionName(0xC00000FDu), "STACK_OVERFLOW");
    for (std::uint32_t code : {0u, 0x80000005u, 0xC0000007u, 0xC0000017u, 0xC00000FCu, 0xE06D7363u})
        EXPECT_EQ(ExceptionName(code), nullptr) << std::hex << code;
}

// --- memory of a crashed process, as a test builds it ------------------------------------

class FakeMemory : public MemoryReader {
  public:
    struct Region {
        std::vector<std::uint8_t> bytes;
        bool writable = true;
    };
    std::map<std::uint64_t, Region> regions; // by base address
    std::set<std::pair<std::uint64_t, std::size_t>> checked;
    int uncheckedStackReads = 0;
    bool trackStackReads = false;

    void map(std::uint64_t base, std::vector<std::uint8_t> bytes, bool writable = true) {
        regions[base] = Region{std::move(bytes), writable};
    }
    void put64(std::uint64_t address, std::uint64_t value) {
        for (int i = 0; i < 8; ++i)
            *at(address + i) = static_cast<std::uint8_t>(value >> (8 * i));
    }
    void put32(std::uint64_t address, std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            *at(address + i) = static_cast<std::uint8_t>(value >> (8 * i));
    }

    bool read(std::uint64_t address, void* buffer, std::size_t size) override {
        if (trackStackReads && !coveredByCheck(address, size))
            ++uncheckedStackReads;
        for (std::size_t i = 0; i < size; ++i) {
            std::uint8_t* b = at(address + i);
            if (!b)
                return false;
            static_cast<std::uint8_t*>(buffer)[i] = *b;
        }
        return true;
    }
    bool writable(std::uint64_t address, std::size_t size) override {
        checked.insert({address, size});
        for (std::size_t i = 0; i < size; ++i) {
            Region* r = regionOf(address + i);
            if (!r || !r->writable)
                return false;
        }
        return true;
    }

  private:
    // The region that holds the address, and the address's offset in it.
    Region* regionOf(std::uint64_t address, std::uint64_t* offset = nullptr) {
        auto it = regions.upper_bound(address);
        if (it == regions.begin())
            return nullptr;
        --it;
        if (address - it->first >= it->second.bytes.size())
            return nullptr;
        if (offset != nullptr)
            *offset = address - it->first;
        return &it->second;
    }
    std::uint8_t* at(std::uint64_t address) {
        std::uint64_t offset = 0;
        Region* r = regionOf(address, &offset);
        return r != nullptr ? &r->bytes[offset] : nullptr;
    }
    bool coveredByCheck(std::uint64_t address, std::size_t size) const {
        for (const auto& [start, length] : checked)
            if (start <= address && address + size <= start + length)
                return true;
        return false;
    }
};

// --- a PE image: written to disk, read back, and looked up as if loaded ---------------------

struct Section {
    const char* name;
    std::uint32_t virtualAddress, virtualSize, rawSize;
};

void put16(std::vector<std::uint8_t>& image, std::size_t at, std::uint16_t v) {
    image[at] = static_cast<std::uint8_t>(v);
    image[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(std::vector<std::uint8_t>& image, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        image[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// The headers of a PE32+ image with the given sections (everything a loaded module has in
// its first page).
std::vector<std::uint8_t> peHeaders(const std::vector<Section>& sections, std::uint32_t ntOffset = 0x80) {
    std::vector<std::uint8_t> image(0x400, 0);
    image[0] = 'M';
    image[1] = 'Z';
    put32(image, 0x3C, ntOffset);
    put32(image, ntOffset, 0x00004550); // "PE\0\0"
    put16(image, ntOffset + 4, 0x8664); // machine
    put16(image, ntOffset + 6, static_cast<std::uint16_t>(sections.size()));
    put16(image, ntOffset + 20, 0xF0);  // size of the PE32+ optional header
    put16(image, ntOffset + 24, 0x20B); // PE32+ magic
    std::size_t entry = ntOffset + 24 + 0xF0;
    for (const Section& s : sections) {
        std::memcpy(&image[entry], s.name, std::strlen(s.name));
        put32(image, entry + 8, s.virtualSize);
        put32(image, entry + 12, s.virtualAddress);
        put32(image, entry + 16, s.rawSize);
        entry += 40;
    }
    return image;
}

std::vector<std::uint8_t> throughDisk(const std::vector<std::uint8_t>& image) {
    char name[] = "/tmp/zov-pe-XXXXXX";
    int fd = mkstemp(name);
    EXPECT_GE(fd, 0);
    FILE* f = fdopen(fd, "wb");
    std::fwrite(image.data(), 1, image.size(), f);
    std::fclose(f);
    std::ifstream in(name, std::ios::binary);
    std::vector<std::uint8_t> back((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(name);
    return back;
}

const std::uint64_t kBase = 0x140000000ull;
const std::vector<Section> kSections = {
    {".text", 0x1000, 0x2500, 0x2600},
    {".data", 0x4000, 0x100, 0x200},
    {".bss", 0x5000, 0x800, 0},
};

class SectionLookup : public ::testing::Test {
  protected:
    FakeMemory memory;
    ModuleOf module{kBase, "C:\\cd\\setup.exe"};
    void SetUp() override { memory.map(kBase, throughDisk(peHeaders(kSections))); }
    LogicalAddress at(std::uint64_t address) { return LogicalAddressOf(memory, module, address); }
};

TEST_F(SectionLookup, AddressInTheCodeSection) {
    LogicalAddress a = at(kBase + 0x1234);
    EXPECT_EQ(a.section, 1u);
    EXPECT_EQ(a.offset, 0x234u);
    EXPECT_STREQ(a.modulePath, "C:\\cd\\setup.exe");
}

TEST_F(SectionLookup, SectionEndsAtTheLargerSizeInclusive) {
    EXPECT_EQ(at(kBase + 0x1000 + 0x2600).section, 1u); // raw size is the larger one
    EXPECT_EQ(at(kBase + 0x4000 + 0x200).section, 2u);
    EXPECT_EQ(at(kBase + 0x4000 + 0x201).section, 0u);
    LogicalAddress bss = at(kBase + 0x5000 + 0x800); // no raw data: the virtual size counts
    EXPECT_EQ(bss.section, 3u);
    EXPECT_EQ(bss.offset, 0x800u);
}

TEST_F(SectionLookup, FirstMatchingSectionWins) {
    memory.map(kBase, peHeaders({{".a", 0x1000, 0x2000, 0}, {".b", 0x1800, 0x100, 0}}));
    EXPECT_EQ(at(kBase + 0x1900).section, 1u);
}

TEST_F(SectionLookup, OutsideEverySectionKeepsTheModule) {
    LogicalAddress headers = at(kBase + 0x10);
    EXPECT_FALSE(headers.found());
    EXPECT_STREQ(headers.modulePath, "C:\\cd\\setup.exe");
    EXPECT_FALSE(at(kBase - 1).found());
    EXPECT_FALSE(at(kBase + 0x100000000ull + 0x1234).found()); // beyond any 32-bit offset
    EXPECT_FALSE(LogicalAddressOf(memory, std::nullopt, kBase + 0x1234).found());
    EXPECT_STREQ(LogicalAddressOf(memory, std::nullopt, kBase + 0x1234).modulePath, "");
}

TEST_F(SectionLookup, DamagedHeadersAreNoSection) {
    std::vector<std::uint8_t> image = peHeaders(kSections);
    image[0] = 'X';
    memory.map(kBase, image);
    EXPECT_FALSE(at(kBase + 0x1234).found());

    image = peHeaders(kSections, 0x80);
    put32(image, 0x3C, 0x7FFFFFF0); // the NT headers lie nowhere
    memory.map(kBase, image);
    EXPECT_FALSE(at(kBase + 0x1234).found());

    // A section count larger than the headers: the table runs into unmapped memory.
    image = peHeaders(kSections);
    put16(image, 0x80 + 6, 0xFFFF);
    memory.map(kBase, image);
    EXPECT_EQ(at(kBase + 0x1234).section, 1u);
    EXPECT_FALSE(at(kBase + 0x90000).found());
}

// A real PE file from the disk, when this machine has one (the Wine packages bring many).
TEST(SectionLookupOnDisk, EntryPointLiesInTheCodeSection) {
    const char* candidates[] = {"/usr/lib/x86_64-linux-gnu/wine/x86_64-windows/kernel32.dll",
                                "/usr/lib/wine/x86_64-windows/kernel32.dll"};
    std::vector<std::uint8_t> file;
    for (const char* path : candidates) {
        // The headers are all the lookup reads: the first page is enough.
        std::ifstream in(path, std::ios::binary);
        file.assign(0x1000, 0);
        in.read(reinterpret_cast<char*>(file.data()), static_cast<std::streamsize>(file.size()));
        file.resize(in ? file.size() : static_cast<std::size_t>(in.gcount()));
        if (file.size() >= 0x400)
            break;
    }
    if (file.size() < 0x400)
        GTEST_SKIP() << "no PE file on this machine";
    auto u16 = [&file](std::size_t at) { return static_cast<std::uint32_t>(file[at] | file[at + 1] << 8); };
    auto u32 = [&file, &u16](std::size_t at) { return u16(at) | u16(at + 2) << 16; };
    const std::size_t nt = u32(0x3C);
    const std::uint32_t entryPoint = u32(nt + 24 + 16);
    const std::size_t table = nt + 24 + u16(nt + 20);
    // Independently of the lookup: the section named ".text" and its start.
    unsigned textNumber = 0;
    std::uint32_t textStart = 0;
    for (unsigned i = 0; i < u16(nt + 6); ++i) {
        if (std::memcmp(&file[table + 40 * i], ".text\0", 6) == 0) {
            textNumber = i + 1;
            textStart = u32(table + 40 * i + 12);
        }
    }
    ASSERT_NE(textNumber, 0u);
    FakeMemory memory;
    // Only the headers are read, and they lie at the same offsets in the file as in memory.
    memory.map(kBase, file);
    LogicalAddress a =
        LogicalAddressOf(memory, ModuleOf{kBase, "C:\\windows\\system32\\kernel32.dll"}, kBase + entryPoint);
    EXPECT_EQ(a.section, textNumber);
    EXPECT_EQ(a.offset, entryPoint - textStart);
}

// --- the frame-pointer walk ------------------------------------------------------------

const std::uint64_t kStack = 0x7ff0000ull;

class FrameWalk : public ::testing::Test {
  protected:
    FakeMemory memory;
    void SetUp() override {
        memory.map(kStack, std::vector<std::uint8_t>(0x1000, 0));
        memory.trackStackReads = true;
    }
    // A frame at fp: the caller's frame pointer, then the return address.
    void frame(std::uint64_t fp, std::uint64_t callerFp, std::uint64_t returnAddress) {
        memory.put64(fp, callerFp);
        memory.put64(fp + 8, returnAddress);
    }
    std::vector<std::uint64_t> walk(std::uint64_t pc, std::uint64_t fp, std::size_t max = kMaxFrames,
                                    unsigned wordSize = 8) {
        std::vector<std::uint64_t> frames(max);
        frames.resize(FramePointerWalk(memory, pc, fp, wordSize, frames.data(), max));
        return frames;
    }
};

TEST_F(FrameWalk, FollowsTheChainUntilItStopsRising) {
    frame(kStack + 0x100, kStack + 0x200, 0x401111);
    frame(kStack + 0x200, kStack + 0x300, 0x402222);
    frame(kStack + 0x300, 0, 0x403333);
    EXPECT_EQ(walk(0x400000, kStack + 0x100), (std::vector<std::uint64_t>{0x400000, 0x401111, 0x402222}));
    EXPECT_EQ(memory.uncheckedStackReads, 0);
}

TEST_F(FrameWalk, LoopsEnd) {
    frame(kStack + 0x100, kStack + 0x100, 0x401111); // points at itself
    EXPECT_EQ(walk(0x400000, kStack + 0x100).size(), 1u);
    frame(kStack + 0x100, kStack + 0x200, 0x401111); // two frames pointing at each other
    frame(kStack + 0x200, kStack + 0x100, 0x402222);
    EXPECT_EQ(walk(0x400000, kStack + 0x100).size(), 2u);
}

TEST_F(FrameWalk, BadNextFramePointerEnds) {
    frame(kStack + 0x100, kStack + 0x204, 0x401111); // not word-aligned
    EXPECT_EQ(walk(0x400000, kStack + 0x100).size(), 1u);
    frame(kStack + 0x100, 0x7ff0dead0000ull, 0x401111); // unmapped
    EXPECT_EQ(walk(0x400000, kStack + 0x100).size(), 1u);
    memory.map(0x9000000, std::vector<std::uint8_t>(64, 0), false); // read-only
    frame(kStack + 0x100, 0x9000000, 0x401111);
    EXPECT_EQ(walk(0x400000, kStack + 0x100).size(), 1u);
    frame(kStack + 0x100, kStack + 0xFF8, 0x401111); // only one word left in the region
    EXPECT_EQ(walk(0x400000, kStack + 0x100).size(), 1u);
    EXPECT_EQ(memory.uncheckedStackReads, 0);
}

TEST_F(FrameWalk, CorruptedStartingFramePointerIsNeverRead) {
    // The context's own frame pointer is as untrusted as the stack: the walk writes the
    // exception address and stops, instead of faulting inside the filter.
    for (std::uint64_t fp :
         std::vector<std::uint64_t>{0, 0x7ff0dead0000ull, 0xFFFFFFFFFFFFFFF8ull, kStack + 0xFFC}) {
        SCOPED_TRACE(fp);
        EXPECT_EQ(walk(0x400000, fp), (std::vector<std::uint64_t>{0x400000}));
    }
    EXPECT_EQ(memory.uncheckedStackReads, 0);
}

TEST_F(FrameWalk, EndlessRisingChainIsBounded) {
    memory.map(0x10000000, std::vector<std::uint8_t>(0x10000 * 16 + 16, 0));
    for (std::uint64_t i = 0; i < 0x10000; ++i)
        frame(0x10000000 + 16 * i, 0x10000000 + 16 * (i + 1), 0x500000 + i);
    EXPECT_EQ(walk(0x400000, 0x10000000).size(), kMaxFrames);
    EXPECT_EQ(walk(0x400000, 0x10000000, 5).size(), 5u);
}

TEST_F(FrameWalk, ThirtyTwoBitWords) {
    memory.put32(kStack + 0x100, kStack + 0x180);
    memory.put32(kStack + 0x104, 0x00401111);
    memory.put32(kStack + 0x180, kStack + 0x182); // misaligned for 4-byte words
    memory.put32(kStack + 0x184, 0x00402222);
    EXPECT_EQ(walk(0x00400000, kStack + 0x100, kMaxFrames, 4),
              (std::vector<std::uint64_t>{0x00400000, 0x00401111}));
}

// --- the [GPF] section ----------------------------------------------------------------

// The report as the sink receives it: keys and values in the order they were written.
class RecordedReport : public ReportSink {
  public:
    std::vector<std::pair<std::string, std::string>> values;
    void clearSection() override { values.clear(); }
    void write(const char* key, const char* value) override { values.emplace_back(key, value); }
    std::vector<std::string> keys() const {
        std::vector<std::string> names;
        for (const auto& [key, value] : values)
            names.push_back(key);
        return names;
    }
    std::string operator[](const std::string& key) const {
        for (const auto& [k, value] : values)
            if (k == key)
                return value;
        return "<absent>";
    }
};

class Report : public ::testing::Test {
  protected:
    RecordedReport sink;
    ReportWriter writer{sink};
};

TEST_F(Report, KeysInTheirOrderAndTheirFormats) {
    writer.clear();
    writer.exception(0xC0000094u, "INT_DIVIDE_BY_ZERO", 0x140001234ull,
                     LogicalAddress{1, 0x234, "D:\\setup.exe"});
    writer.symbolFrame(1, "divide", 4);
    writer.moduleFrame(2, LogicalAddress{1, 0x250, "C:\\cd\\setup.exe"});
    writer.symbolFrame(3, "f", 0x123456789ull);
    writer.moduleFrame(4, LogicalAddress{0, 0, "C:\\windows\\system32\\ntdll.dll"});
    writer.moduleFrame(5, LogicalAddress{});
    EXPECT_EQ(sink.keys(),
              (std::vector<std::string>{"ec", "et", "ad", "lad", "m", "s1", "s2", "s3", "s4", "s5"}));
    EXPECT_EQ(sink["ec"], "C0000094");
    EXPECT_EQ(sink["et"], "INT_DIVIDE_BY_ZERO");
    EXPECT_EQ(sink["ad"], "140001234") << "a 64-bit address keeps every digit";
    EXPECT_EQ(sink["lad"], "01:00000234");
    EXPECT_EQ(sink["m"], "D:\\setup.exe");
    EXPECT_EQ(sink["s1"], "divide+4");
    EXPECT_EQ(sink["s2"], "0001:00000250 setup.exe");
    EXPECT_EQ(sink["s3"], "f+123456789");
    EXPECT_EQ(sink["s4"], "0000:00000000 ntdll.dll");
    EXPECT_EQ(sink["s5"], "0000:00000000 ");

    writer.clear();
    writer.exception(0x80000003u, "BREAKPOINT", 0x401A2Bu, LogicalAddress{});
    EXPECT_EQ(sink["ec"], "80000003");
    EXPECT_EQ(sink["ad"], "00401A2B");
    EXPECT_EQ(sink["lad"], "00:00000000") << "a failed lookup";
    EXPECT_EQ(sink["m"], "");
}

TEST_F(Report, LongSymbolNamesAreCutAtTheirLimitAndTheDisplacementStays) {
    const std::string name(kSymbolNameLength + 100, 'n');
    writer.symbolFrame(1, name.c_str(), 0xFEDCBA9876543210ull);
    EXPECT_EQ(sink["s1"], name.substr(0, kSymbolNameLength) + "+FEDCBA9876543210");
}

} // namespace
