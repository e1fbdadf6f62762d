// The crash handler: an unhandled-exception filter installed when the program is loaded,
// which writes "errstack.rpt" (diag/crash_report.h) and then passes the exception on to the
// filter it replaced, so that the crash takes its normal course.
//
// Everything that runs at crash time is careful: memory of the crashed thread is read only
// through checked reads, large buffers are static (a stack overflow leaves little stack),
// the walks are bounded, and a second fault inside the filter ends the process instead of
// entering the filter again.

#include "diag/crash_report.h"
#include "diag/win32/crash_handler.h"
#include "platform/win32/win32_ports.h"

#include <windows.h>
#include <dbghelp.h>

#include <cstdio>
#include <cstring>

namespace zov::win32 {
namespace {

#if defined(_M_X64) || defined(__x86_64__)
constexpr DWORD kMachine = IMAGE_FILE_MACHINE_AMD64;
constexpr unsigned kWordSize = 8;
using Frame = STACKFRAME64;
using Symbol = IMAGEHLP_SYMBOL64;
using SymbolAddress = DWORD64;
using StackWalkFn = BOOL(WINAPI*)(DWORD, HANDLE, HANDLE, STACKFRAME64*, PVOID, PREAD_PROCESS_MEMORY_ROUTINE64,
                                  PFUNCTION_TABLE_ACCESS_ROUTINE64, PGET_MODULE_BASE_ROUTINE64,
                                  PTRANSLATE_ADDRESS_ROUTINE64);
using FunctionTableAccessFn = PFUNCTION_TABLE_ACCESS_ROUTINE64;
using GetModuleBaseFn = PGET_MODULE_BASE_ROUTINE64;
using GetSymFromAddrFn = BOOL(WINAPI*)(HANDLE, DWORD64, PDWORD64, PIMAGEHLP_SYMBOL64);
constexpr const char* kStackWalkName = "StackWalk64";
constexpr const char* kFunctionTableAccessName = "SymFunctionTableAccess64";
constexpr const char* kGetModuleBaseName = "SymGetModuleBase64";
constexpr const char* kGetSymFromAddrName = "SymGetSymFromAddr64";
std::uint64_t programCounter(const CONTEXT& c) {
    return c.Rip;
}
std::uint64_t stackPointer(const CONTEXT& c) {
    return c.Rsp;
}
std::uint64_t framePointer(const CONTEXT& c) {
    return c.Rbp;
}
#else
constexpr DWORD kMachine = IMAGE_FILE_MACHINE_I386;
constexpr unsigned kWordSize = 4;
using Frame = STACKFRAME;
using Symbol = IMAGEHLP_SYMBOL;
using SymbolAddress = DWORD;
using StackWalkFn = BOOL(WINAPI*)(DWORD, HANDLE, HANDLE, STACKFRAME*, PVOID, PREAD_PROCESS_MEMORY_ROUTINE,
                                  PFUNCTION_TABLE_ACCESS_ROUTINE, PGET_MODULE_BASE_ROUTINE,
                                  PTRANSLATE_ADDRESS_ROUTINE);
using FunctionTableAccessFn = PFUNCTION_TABLE_ACCESS_ROUTINE;
using GetModuleBaseFn = PGET_MODULE_BASE_ROUTINE;
using GetSymFromAddrFn = BOOL(WINAPI*)(HANDLE, DWORD, PDWORD, PIMAGEHLP_SYMBOL);
constexpr const char* kStackWalkName = "StackWalk";
constexpr const char* kFunctionTableAccessName = "SymFunctionTableAccess";
constexpr const char* kGetModuleBaseName = "SymGetModuleBase";
constexpr const char* kGetSymFromAddrName = "SymGetSymFromAddr";
std::uint64_t programCounter(const CONTEXT& c) {
    return c.Eip;
}
std::uint64_t stackPointer(const CONTEXT& c) {
    return c.Esp;
}
std::uint64_t framePointer(const CONTEXT& c) {
    return c.Ebp;
}
#endif

using SymInitializeFn = BOOL(WINAPI*)(HANDLE, PCSTR, BOOL);
using SymCleanupFn = BOOL(WINAPI*)(HANDLE);

constexpr std::size_t kSymbolNameLength = 512;

// Handler state: what the install step found, and the debug-help entry points once loaded.
struct HandlerState {
    LPTOP_LEVEL_EXCEPTION_FILTER previous = nullptr;
    char reportPath[MAX_PATH + 32] = {};
    volatile LONG inFilter = 0;
    bool debugHelpLoaded = false;
    SymInitializeFn symInitialize = nullptr;
    SymCleanupFn symCleanup = nullptr;
    StackWalkFn stackWalk = nullptr;
    FunctionTableAccessFn functionTableAccess = nullptr;
    GetModuleBaseFn getModuleBase = nullptr;
    GetSymFromAddrFn getSymFromAddr = nullptr;
#ifdef ZOV_TEST_HOOKS
    bool testNoDebugHelp = false;
    bool testFaultInFilter = false;
    char testPreviousLog[MAX_PATH + 1] = {};
#endif
};

HandlerState state;

// Working storage of the filter, kept off the (possibly exhausted) stack. The filter runs
// once at a time (inFilter), so one copy is enough.
CONTEXT walkContext;
alignas(8) unsigned char symbolStorage[sizeof(Symbol) + kSymbolNameLength + 8];
char messageText[512];

class ProcessMemory final : public crash::MemoryReader {
  public:
    bool read(std::uint64_t address, void* buffer, std::size_t size) override {
        if (address > static_cast<std::uint64_t>(UINTPTR_MAX) - size)
            return false;
        SIZE_T got = 0;
        // Fails, rather than faults, on memory that is not there.
        return ReadProcessMemory(GetCurrentProcess(),
                                 reinterpret_cast<LPCVOID>(static_cast<std::uintptr_t>(address)), buffer,
                                 size, &got) &&
               got == size;
    }

    bool writable(std::uint64_t address, std::size_t size) override {
        if (size == 0 || address > static_cast<std::uint64_t>(UINTPTR_MAX) - size)
            return false;
        std::uintptr_t at = static_cast<std::uintptr_t>(address);
        const std::uintptr_t end = at + size;
        while (at < end) {
            MEMORY_BASIC_INFORMATION region;
            if (VirtualQuery(reinterpret_cast<LPCVOID>(at), &region, sizeof region) != sizeof region)
                return false;
            const DWORD writableProtection =
                PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
            if (region.State != MEM_COMMIT || (region.Protect & writableProtection) == 0 ||
                (region.Protect & (PAGE_GUARD | PAGE_NOACCESS)) != 0)
                return false;
            const std::uintptr_t regionEnd =
                reinterpret_cast<std::uintptr_t>(region.BaseAddress) + region.RegionSize;
            if (regionEnd <= at)
                return false;
            at = regionEnd;
        }
        return true;
    }
};

std::optional<crash::ModuleOf> moduleOf(std::uint64_t address) {
    MEMORY_BASIC_INFORMATION region;
    if (VirtualQuery(reinterpret_cast<LPCVOID>(static_cast<std::uintptr_t>(address)), &region,
                     sizeof region) != sizeof region ||
        region.AllocationBase == nullptr)
        return std::nullopt;
    char path[MAX_PATH + 1] = {};
    DWORD length = GetModuleFileNameA(static_cast<HMODULE>(region.AllocationBase), path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::nullopt;
    return crash::ModuleOf{reinterpret_cast<std::uintptr_t>(region.AllocationBase),
                           std::string(path, length)};
}

crash::LogicalAddress logicalAddress(crash::MemoryReader& memory, std::uint64_t address) {
    return crash::LogicalAddressOf(memory, moduleOf(address), address);
}

// The table's name, or the system's text for the code from NTDLL. The text goes into a
// profile file: line breaks would end the value, so they become blanks.
std::string exceptionName(DWORD code) {
    if (const char* name = crash::ExceptionName(code))
        return name;
    messageText[0] = '\0';
    DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS,
                       GetModuleHandleA("NTDLL.DLL"), code, 0, messageText, sizeof messageText, nullptr);
    std::string text(messageText, length < sizeof messageText ? length : 0);
    for (char& c : text) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

bool loadDebugHelp() {
#ifdef ZOV_TEST_HOOKS
    if (state.testNoDebugHelp)
        return false;
#endif
    if (!state.debugHelpLoaded) {
        // Loaded by name at crash time and never unloaded.
        HMODULE library = LoadLibraryA("IMAGEHLP.DLL");
        state.symInitialize = procAddress<SymInitializeFn>(library, "SymInitialize");
        state.symCleanup = procAddress<SymCleanupFn>(library, "SymCleanup");
        state.stackWalk = procAddress<StackWalkFn>(library, kStackWalkName);
        state.functionTableAccess = procAddress<FunctionTableAccessFn>(library, kFunctionTableAccessName);
        state.getModuleBase = procAddress<GetModuleBaseFn>(library, kGetModuleBaseName);
        state.getSymFromAddr = procAddress<GetSymFromAddrFn>(library, kGetSymFromAddrName);
        state.debugHelpLoaded = library != nullptr;
    }
    return state.symInitialize != nullptr && state.symCleanup != nullptr && state.stackWalk != nullptr &&
           state.functionTableAccess != nullptr && state.getModuleBase != nullptr &&
           state.getSymFromAddr != nullptr;
}

void debugHelpWalk(crash::ReportWriter& report, crash::MemoryReader& memory, const CONTEXT& context) {
    Frame frame;
    std::memset(&frame, 0, sizeof frame);
    frame.AddrPC.Offset = static_cast<SymbolAddress>(programCounter(context));
    frame.AddrPC.Mode = AddrModeFlat;
    frame.AddrStack.Offset = static_cast<SymbolAddress>(stackPointer(context));
    frame.AddrStack.Mode = AddrModeFlat;
    frame.AddrFrame.Offset = static_cast<SymbolAddress>(framePointer(context));
    frame.AddrFrame.Mode = AddrModeFlat;
    // The walk changes the context it is given: it gets a copy.
    walkContext = context;
    HANDLE process = GetCurrentProcess();
    HANDLE thread = GetCurrentThread();
    for (unsigned number = 1; number <= crash::kMaxFrames; ++number) {
        if (!state.stackWalk(kMachine, process, thread, &frame, &walkContext, nullptr,
                             state.functionTableAccess, state.getModuleBase, nullptr) ||
            frame.AddrFrame.Offset == 0)
            break;
        std::memset(symbolStorage, 0, sizeof symbolStorage);
        auto* symbol = reinterpret_cast<Symbol*>(symbolStorage);
        symbol->SizeOfStruct = sizeof(Symbol);
        symbol->MaxNameLength = kSymbolNameLength;
        SymbolAddress displacement = 0;
        if (state.getSymFromAddr(process, frame.AddrPC.Offset, &displacement, symbol)) {
            report.frame(number, crash::FormatSymbolFrame(
                                     std::string(symbol->Name, strnlen(symbol->Name, kSymbolNameLength)),
                                     displacement));
        } else {
            report.frame(number, crash::FormatModuleFrame(logicalAddress(memory, frame.AddrPC.Offset)));
        }
    }
}

void framePointerWalk(crash::ReportWriter& report, crash::MemoryReader& memory, const CONTEXT& context) {
    std::vector<std::uint64_t> frames = crash::FramePointerWalk(
        memory, programCounter(context), framePointer(context), kWordSize, crash::kMaxFrames);
    unsigned number = 0;
    for (std::uint64_t pc : frames)
        report.frame(++number, crash::FormatModuleFrame(logicalAddress(memory, pc)));
}

LONG passOn(EXCEPTION_POINTERS* info) {
    return state.previous != nullptr ? state.previous(info) : EXCEPTION_CONTINUE_SEARCH;
}

LONG WINAPI crashFilter(EXCEPTION_POINTERS* info) {
    // A fault inside this filter (or a second thread crashing meanwhile) must not start it
    // again: the report is written once, and the process ends.
    if (InterlockedExchange(&state.inFilter, 1) != 0)
        return EXCEPTION_CONTINUE_SEARCH;
    if (info == nullptr || info->ExceptionRecord == nullptr || info->ContextRecord == nullptr)
        return passOn(info);

    const EXCEPTION_RECORD& record = *info->ExceptionRecord;
    const std::uint64_t address = reinterpret_cast<std::uintptr_t>(record.ExceptionAddress);
    Win32ProfileStore profile;
    crash::ReportWriter report(profile, state.reportPath);
    ProcessMemory memory;

    report.clear();
    report.exception(record.ExceptionCode, exceptionName(record.ExceptionCode), address,
                     logicalAddress(memory, address));
#ifdef ZOV_TEST_HOOKS
    if (state.testFaultInFilter) {
        volatile std::uintptr_t nowhere = 0;
        *reinterpret_cast<volatile int*>(nowhere) = 1;
    }
#endif

    if (loadDebugHelp() && state.symInitialize(GetCurrentProcess(), nullptr, TRUE)) {
        debugHelpWalk(report, memory, *info->ContextRecord);
        state.symCleanup(GetCurrentProcess());
    } else {
        OutputDebugStringA("IMAGEHLP.DLL or its exported procs not found");
        framePointerWalk(report, memory, *info->ContextRecord);
    }
    return passOn(info);
}

#ifdef ZOV_TEST_HOOKS
// Test builds only: a filter that stands for someone else's, installed before ours. It
// records that it ran and ends the process with the exception code.
LONG WINAPI testPreviousFilter(EXCEPTION_POINTERS* info) {
    HANDLE log = CreateFileA(state.testPreviousLog, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log != INVALID_HANDLE_VALUE) {
        char line[64];
        int length =
            std::snprintf(line, sizeof line, "previous filter %08lX\r\n",
                          info && info->ExceptionRecord ? info->ExceptionRecord->ExceptionCode : 0ul);
        DWORD written = 0;
        WriteFile(log, line, static_cast<DWORD>(length), &written, nullptr);
        CloseHandle(log);
    }
    return EXCEPTION_EXECUTE_HANDLER;
}

bool testFlag(const char* name) {
    char value[8] = {};
    DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value && value[0] == '1';
}

void readTestSettings() {
    state.testNoDebugHelp = testFlag("ZOV_TEST_CRASH_NO_DEBUGHELP");
    char kind[16] = {};
    DWORD length = GetEnvironmentVariableA("ZOV_TEST_CRASH", kind, sizeof kind);
    state.testFaultInFilter = length > 0 && length < sizeof kind && std::strcmp(kind, "filter") == 0;
    length = GetEnvironmentVariableA("ZOV_TEST_CRASH_PREVIOUS", state.testPreviousLog,
                                     sizeof state.testPreviousLog);
    if (length == 0 || length >= sizeof state.testPreviousLog)
        state.testPreviousLog[0] = '\0';
    else
        SetUnhandledExceptionFilter(testPreviousFilter);
}
#endif

// Installed by the construction of a static object, before WinMain runs.
struct Installer {
    Installer() {
        char temp[MAX_PATH + 1] = {};
        DWORD length = GetTempPathA(sizeof temp, temp);
        if (length == 0 || length >= sizeof temp)
            temp[0] = '\0';
        std::snprintf(state.reportPath, sizeof state.reportPath, "%s%s", temp, crash::kReportFile);
#ifdef ZOV_TEST_HOOKS
        readTestSettings();
#endif
        state.previous = SetUnhandledExceptionFilter(crashFilter);
    }
};

Installer installer;

#ifdef ZOV_TEST_HOOKS
// Kept out of line and apart, so that the stack holds a few frames of this program.
[[gnu::noinline, gnu::noipa]] int divide(int dividend, int divisor) {
    return dividend / divisor;
}

[[gnu::noinline, gnu::noipa]] void accessNowhere(std::uintptr_t address) {
    *reinterpret_cast<volatile int*>(address) = 1;
}

// A frame pointer that points nowhere, then a fault: the frame-pointer walk meets memory
// it must not read.
[[gnu::noinline, gnu::noipa]] void faultWithBadFramePointer() {
#if defined(__x86_64__)
    asm volatile("movabsq $0x00007ff0dead0000, %%rbp\n\tmovl $1, 0x10" ::: "memory");
#else
    asm volatile("movl $0x7ff0dea0, %%ebp\n\tmovl $1, 0x10" ::: "memory");
#endif
}

[[gnu::noinline, gnu::noipa]] int crashAsAsked(const char* kind) {
    volatile int zero = 0;
    int result = 0;
    if (std::strcmp(kind, "divide") == 0)
        result = divide(1, zero);
    else if (std::strcmp(kind, "access") == 0 || std::strcmp(kind, "filter") == 0)
        accessNowhere(static_cast<std::uintptr_t>(zero));
    else if (std::strcmp(kind, "badframe") == 0)
        faultWithBadFramePointer();
    else if (std::strcmp(kind, "raise") == 0)
        RaiseException(0xC0000017u, EXCEPTION_NONCONTINUABLE, 0, nullptr); // not in the table
    return result + 1;
}
#endif

} // namespace

void CrashForTestsIfAsked() {
#ifdef ZOV_TEST_HOOKS
    char kind[16] = {};
    DWORD length = GetEnvironmentVariableA("ZOV_TEST_CRASH", kind, sizeof kind);
    if (length == 0 || length >= sizeof kind)
        return;
    // No crash box waiting for a person: the filters still run.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    if (crashAsAsked(kind) == 0)
        ExitProcess(1);
#endif
}

} // namespace zov::win32
