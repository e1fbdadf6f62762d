// The crash report "errstack.rpt": what an unhandled exception leaves behind so that a
// crash on a user's machine can be understood without a debugger.
//
// This is the portable half: the report's keys and formats, the exception-name table, the
// logical address of a code address (section and offset from the module's PE section
// table) and the frame-pointer walk. The handler that catches the exception, the thread
// context and the debug-help walk are Win32 code (src/diag/win32/crash_handler.cpp).
//
// All of it runs at crash time, when the heap may be what is broken: nothing here allocates.
// Texts live in fixed buffers, and the report's values are formatted in the writer's own.
//
// Addresses are written with at least eight upper-case hexadecimal digits ("%08X") and as
// many more as a 64-bit address needs: nothing is cut, and a 32-bit report reads as before.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace zov::crash {

constexpr const char* kReportFile = "errstack.rpt";
constexpr const char* kSection = "GPF";

// A module path as the system gives it: at most 260 characters and the terminator.
constexpr std::size_t kPathCapacity = 261;
// The longest symbol name a stack line carries.
constexpr std::size_t kSymbolNameLength = 512;
// The most frames either walk writes: a corrupted stack must not keep the filter going.
constexpr std::size_t kMaxFrames = 256;

// The name of an exception code from the table; nullptr for a code outside it.
const char* ExceptionName(std::uint32_t code);

// Memory of the crashed process. Every read is checked: a bad address answers false and
// never faults, whatever state the crash left the process in.
class MemoryReader {
  public:
    virtual ~MemoryReader() = default;
    virtual bool read(std::uint64_t address, void* buffer, std::size_t size) = 0;
    // True when all the bytes lie in committed, writable memory.
    virtual bool writable(std::uint64_t address, std::size_t size) = 0;
};

// The module that holds an address: its base (the allocation base of the address's region)
// and its full path.
struct ModuleOf {
    std::uint64_t base = 0;
    char path[kPathCapacity] = {};
};

// Where an address lies: section number (from 1) and offset in that section of its module.
// Section 0 means the lookup failed; the module path is kept when the module was known.
struct LogicalAddress {
    unsigned section = 0;
    std::uint32_t offset = 0;
    char modulePath[kPathCapacity] = {};
    bool found() const { return section != 0; }
};

// The section of a loaded module that holds an address, from the module's headers in
// memory: the first section (from 1) with VirtualAddress <= rva <= VirtualAddress +
// max(SizeOfRawData, VirtualSize). Section 0 when the headers cannot be read or no section
// holds it, or when the module is unknown.
LogicalAddress LogicalAddressOf(MemoryReader& memory, const std::optional<ModuleOf>& module,
                                std::uint64_t address);

// The frame-pointer walk: program counters, innermost first, into `frames` (room for
// maxFrames); returns how many. Each frame's return address is the word just above its frame
// pointer, the caller's frame pointer the word at it. Stops when the next frame pointer is
// not word-aligned, not above the current one, or does not point at two writable words;
// never reads a word it has not checked.
std::size_t FramePointerWalk(MemoryReader& memory, std::uint64_t pc, std::uint64_t framePointer,
                             unsigned wordSize, std::uint64_t* frames, std::size_t maxFrames);

// Where the report goes: the [GPF] section of the report file. Called at crash time, so an
// implementation allocates nothing and ignores write failures: the report must never make
// the crash worse.
class ReportSink {
  public:
    virtual ~ReportSink() = default;
    // Removes everything an earlier crash left.
    virtual void clearSection() = 0;
    virtual void write(const char* key, const char* value) = 0;
};

// Formats the report's values in its own buffer and hands them to the sink.
class ReportWriter {
  public:
    explicit ReportWriter(ReportSink& sink) : sink_(sink) {}

    void clear() { sink_.clearSection(); }
    // ec "%08X", et, ad, lad "%02X:%08X", m. When the lookup failed, lad is "00:00000000" and
    // m the module path when the module is known, else empty.
    void exception(std::uint32_t code, const char* name, std::uint64_t address, const LogicalAddress& at);
    // "s<number>", numbered from 1: with a symbol "%hs+%X" (at most kSymbolNameLength
    // characters of the name, then the displacement); without one "%04X:%08X %s" (section,
    // offset, module file name without its folder).
    void symbolFrame(unsigned number, const char* name, std::uint64_t displacement);
    void moduleFrame(unsigned number, const LogicalAddress& at);

  private:
    void write(const char* key);
    void writeFrame(unsigned number);

    ReportSink& sink_;
    char value_[kSymbolNameLength + 32] = {}; // the longest value: a symbol line
};

} // namespace zov::crash
