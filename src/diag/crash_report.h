// The crash report "errstack.rpt": what an unhandled exception leaves behind so that a
// crash on a user's machine can be understood without a debugger.
//
// This is the portable half: the report's keys and formats, the exception-name table, the
// logical address of a code address (section and offset from the module's PE section
// table) and the frame-pointer walk. The handler that catches the exception, the thread
// context and the debug-help walk are Win32 code (src/diag/win32/crash_handler.cpp).
//
// Addresses are written with at least eight upper-case hexadecimal digits ("%08X") and as
// many more as a 64-bit address needs: nothing is cut, and a 32-bit report reads as before.
#pragma once

#include "platform/ports.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zov::crash {

constexpr const char* kReportFile = "errstack.rpt";
constexpr const char* kSection = "GPF";

// The report's path: the temporary folder (ending in a backslash) and the file name.
std::string ReportPath(const std::string& tempPath);

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
    std::string path;
};

// Where an address lies: section number (from 1) and offset in that section of its module.
// Section 0 means the lookup failed; the module path is kept when the module was known.
struct LogicalAddress {
    unsigned section = 0;
    std::uint32_t offset = 0;
    std::string modulePath;
    bool found() const { return section != 0; }
};

// The section of a loaded module that holds an address, from the module's headers in
// memory: the first section (from 1) with VirtualAddress <= rva <= VirtualAddress +
// max(SizeOfRawData, VirtualSize). Section 0 when the headers cannot be read or no section
// holds it, or when the module is unknown.
LogicalAddress LogicalAddressOf(MemoryReader& memory, const std::optional<ModuleOf>& module,
                                std::uint64_t address);

// The frame-pointer walk: program counters, innermost first. Each frame's return address is
// the word just above its frame pointer, the caller's frame pointer the word at it. Stops
// when the next frame pointer is not word-aligned, not above the current one, or does not
// point at two writable words; never reads a word it has not checked, and never yields more
// than maxFrames.
std::vector<std::uint64_t> FramePointerWalk(MemoryReader& memory, std::uint64_t pc,
                                            std::uint64_t framePointer, unsigned wordSize,
                                            std::size_t maxFrames);

// The most frames either walk writes: a corrupted stack must not keep the filter going.
constexpr std::size_t kMaxFrames = 256;

std::string FormatCode(std::uint32_t code);          // "%08X"
std::string FormatAddress(std::uint64_t address);    // "%08X", wider when needed
std::string FormatLogical(const LogicalAddress& at); // "%02X:%08X"
// A stack line with a symbol: "%hs+%X" (name, displacement).
std::string FormatSymbolFrame(const std::string& name, std::uint64_t displacement);
// A stack line without one: "%04X:%08X %s" (section, offset, module file name without its
// folder); section 0 and offset 0 when the address lies in no known section.
std::string FormatModuleFrame(const LogicalAddress& at);

// Writes the [GPF] section through the profile functions. Write failures are ignored: the
// report must never make the crash worse.
class ReportWriter {
  public:
    ReportWriter(ProfileStore& profile, std::string path) : profile_(profile), path_(std::move(path)) {}

    // Removes everything an earlier crash left.
    void clear();
    // ec, et, ad, lad, m. When the lookup failed, lad is "00:00000000" and m the module path
    // when the module is known, else empty.
    void exception(std::uint32_t code, const std::string& name, std::uint64_t address,
                   const LogicalAddress& at);
    // "s<number>", numbered from 1.
    void frame(unsigned number, const std::string& text);

    const std::string& path() const { return path_; }

  private:
    ProfileStore& profile_;
    std::string path_;
};

} // namespace zov::crash
