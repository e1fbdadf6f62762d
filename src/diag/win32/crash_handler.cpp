// The crash handler: an unhandled-exception filter installed when the program is loaded,
// which writes "errstack.rpt" (diag/crash_report.h) and then passes the exception on to the
// filter it replaced, so that the crash takes its normal course.
//
// Everything that runs at crash time is careful: memory of the crashed thread is read only
// through checked reads, nothing is allocated (the crash may be a corrupted heap), large
// buffers are static (a stack overflow leaves little stack), and the walks are bounded. The
// filter always passes the exception on to the filter it replaced; a fault inside the filter
// skips the rest of the report, and a fault inside the previous filter ends the chain.

#include "diag/crash_report.h"
#include "diag/win32/crash_handler.h"
#include "platform/win32/win32_ports.h"
#include "platform/win32/win32_util.h"

#include <windows.h>
#include <dbghelp.h>

#include <malloc.h>

#include <cstdio>
#include <cstring>

namespace zov::win32 {
namespace {

// The debug-help header names the functions and records of the build's own word size
// ("StackWalk" is StackWalk64 in a 64-bit build); the exported names follow it.
#define ZOV_EXPORT_NAME(function) ZOV_QUOTE(function)
#define ZOV_QUOTE(text) #text

using Frame = STACKFRAME;
using Symbol = IMAGEHLP_SYMBOL;
using SymbolAddress = decltype(Frame{}.AddrPC.Offset);
using StackWalkFn = decltype(&StackWalk);
using FunctionTableAccessFn = PFUNCTION_TABLE_ACCESS_ROUTINE;
using GetModuleBaseFn = PGET_MODULE_BASE_ROUTINE;
using GetSymFromAddrFn = decltype(&SymGetSymFromAddr);
using SymInitializeFn = decltype(&SymInitialize);
using SymCleanupFn = decltype(&SymCleanup);

constexpr unsigned kWordSize = sizeof(void*);

struct Registers {
    std::uint64_t pc, sp, fp;
};

#if defined(_M_X64) || defined(__x86_64__)
constexpr DWORD kMachine = IMAGE_FILE_MACHINE_AMD64;
Registers registersOf(const CONTEXT& c) {
    return {c.Rip, c.Rsp, c.Rbp};
}
#else
constexpr DWORD kMachine = IMAGE_FILE_MACHINE_I386;
Registers registersOf(const CONTEXT& c) {
    return {c.Eip, c.Esp, c.Ebp};
}
#endif

// Handler state: what the install step found, and the debug-help entry points once loaded.
struct HandlerState {
    LPTOP_LEVEL_EXCEPTION_FILTER previous = nullptr;
    char reportPath[MAX_PATH + 32] = {};
    // Calls of the filter under way: the first writes the report; a second (a fault inside the
    // first, or another thread's crash meanwhile) only passes its exception on; a third (the
    // previous filter faulting in turn) passes nothing on, so the chain cannot go round.
    volatile LONG depth = 0;
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

// The report file's [GPF] section, written through the profile functions.
class ProfileSink final : public crash::ReportSink {
  public:
    void clearSection() override {
        WritePrivateProfileStringA(crash::kSection, nullptr, nullptr, state.reportPath);
    }
    void write(const char* key, const char* value) override {
        WritePrivateProfileStringA(crash::kSection, key, value, state.reportPath);
    }
};

// Working storage of the filter, kept off the (possibly exhausted) stack and off the heap.
// Only the first call of the filter writes the report, so one copy is enough.
ProfileSink sink;
crash::ReportWriter report{sink};
CONTEXT walkContext;
alignas(8) unsigned char symbolStorage[sizeof(Symbol) + crash::kSymbolNameLength + 8];
char messageText[512];
std::uint64_t frames[crash::kMaxFrames];

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
    crash::ModuleOf module;
    module.base = reinterpret_cast<std::uintptr_t>(region.AllocationBase);
    DWORD length = GetModuleFileNameA(static_cast<HMODULE>(region.AllocationBase), module.path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::nullopt;
    module.path[length] = '\0';
    return module;
}

crash::LogicalAddress logicalAddress(crash::MemoryReader& memory, std::uint64_t address) {
    return crash::LogicalAddressOf(memory, moduleOf(address), address);
}

// The table's name, or the system's text for the code from NTDLL. The text goes into a
// profile file: line breaks would end the value, so they become blanks.
const char* exceptionName(DWORD code) {
    if (const char* name = crash::ExceptionName(code))
        return name;
    DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS,
                       GetModuleHandleA("NTDLL.DLL"), code, 0, messageText, sizeof messageText, nullptr);
    if (length >= sizeof messageText)
        length = 0;
    messageText[length] = '\0';
    for (DWORD i = 0; i < length; ++i) {
        if (messageText[i] == '\r' || messageText[i] == '\n')
            messageText[i] = ' ';
    }
    while (length > 0 && messageText[length - 1] == ' ')
        messageText[--length] = '\0';
    return messageText;
}

bool loadDebugHelp() {
#ifdef ZOV_TEST_HOOKS
    if (state.testNoDebugHelp)
        return false;
#endif
    if (!state.debugHelpLoaded) {
        // Loaded by name at crash time and never unloaded.
        HMODULE library = loadSystemLibrary("imagehlp.dll");
        state.symInitialize = procAddress<SymInitializeFn>(library, "SymInitialize");
        state.symCleanup = procAddress<SymCleanupFn>(library, "SymCleanup");
        state.stackWalk = procAddress<StackWalkFn>(library, ZOV_EXPORT_NAME(StackWalk));
        state.functionTableAccess =
            procAddress<FunctionTableAccessFn>(library, ZOV_EXPORT_NAME(SymFunctionTableAccess));
        state.getModuleBase = procAddress<GetModuleBaseFn>(library, ZOV_EXPORT_NAME(SymGetModuleBase));
        state.getSymFromAddr = procAddress<GetSymFromAddrFn>(library, ZOV_EXPORT_NAME(SymGetSymFromAddr));
        state.debugHelpLoaded = library != nullptr;
    }
    return state.symInitialize != nullptr && state.symCleanup != nullptr && state.stackWalk != nullptr &&
           state.functionTableAccess != nullptr && state.getModuleBase != nullptr &&
           state.getSymFromAddr != nullptr;
}

void debugHelpWalk(crash::MemoryReader& memory, const CONTEXT& context) {
    const Registers registers = registersOf(context);
    Frame frame;
    std::memset(&frame, 0, sizeof frame);
    frame.AddrPC.Offset = static_cast<SymbolAddress>(registers.pc);
    frame.AddrPC.Mode = AddrModeFlat;
    frame.AddrStack.Offset = static_cast<SymbolAddress>(registers.sp);
    frame.AddrStack.Mode = AddrModeFlat;
    frame.AddrFrame.Offset = static_cast<SymbolAddress>(registers.fp);
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
        symbol->MaxNameLength = crash::kSymbolNameLength;
        SymbolAddress displacement = 0;
        if (state.getSymFromAddr(process, frame.AddrPC.Offset, &displacement, symbol))
            report.symbolFrame(number, symbol->Name, displacement);
        else
            report.moduleFrame(number, logicalAddress(memory, frame.AddrPC.Offset));
    }
}

void framePointerWalk(crash::MemoryReader& memory, const CONTEXT& context) {
    const Registers registers = registersOf(context);
    std::size_t count =
        crash::FramePointerWalk(memory, registers.pc, registers.fp, kWordSize, frames, crash::kMaxFrames);
    for (std::size_t i = 0; i < count; ++i)
        report.moduleFrame(static_cast<unsigned>(i + 1), logicalAddress(memory, frames[i]));
}

void writeReport(const EXCEPTION_POINTERS& info) {
    const EXCEPTION_RECORD& record = *info.ExceptionRecord;
    const std::uint64_t address = reinterpret_cast<std::uintptr_t>(record.ExceptionAddress);
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
        debugHelpWalk(memory, *info.ContextRecord);
        state.symCleanup(GetCurrentProcess());
    } else {
        OutputDebugStringA("IMAGEHLP.DLL or its exported procs not found");
        framePointerWalk(memory, *info.ContextRecord);
    }
}

LONG WINAPI crashFilter(EXCEPTION_POINTERS* info) {
    const LONG depth = InterlockedIncrement(&state.depth);
    if (depth == 1 && info != nullptr && info->ExceptionRecord != nullptr && info->ContextRecord != nullptr)
        writeReport(*info);
    LONG answer = EXCEPTION_CONTINUE_SEARCH;
    if (depth <= 2 && state.previous != nullptr)
        answer = state.previous(info);
    // Released on the way out: a crash the previous filter survived does not silence the next.
    InterlockedDecrement(&state.depth);
    return answer;
}

#ifdef ZOV_TEST_HOOKS
// A raised exception that the test builds' previous filter lets the program survive.
constexpr DWORD kSurvivedForTests = 0xE0000001;

// Test builds only: a filter that stands for someone else's, installed before ours. It
// records that it ran and ends the process with the exception code, except after the
// exception the tests survive.
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
    if (info != nullptr && info->ExceptionRecord != nullptr &&
        info->ExceptionRecord->ExceptionCode == kSurvivedForTests)
        return EXCEPTION_CONTINUE_EXECUTION;
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

// Another thread takes the C runtime's heap and keeps it, as a corrupted heap would be lost
// to the filter: anything that allocates from now on waits for ever.
DWORD WINAPI holdRuntimeHeap(LPVOID taken) {
    // Looked up: older runtimes lack the function (their heap is then the process's).
    using HeapHandleFn = intptr_t(__cdecl*)();
    auto heapHandle = reinterpret_cast<HeapHandleFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("msvcrt.dll"), "_get_heap_handle")));
    HeapLock(heapHandle != nullptr ? reinterpret_cast<HANDLE>(heapHandle()) : GetProcessHeap());
    SetEvent(static_cast<HANDLE>(taken));
    Sleep(INFINITE);
    return 0;
}

void lockRuntimeHeap() {
    HANDLE taken = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, holdRuntimeHeap, taken, 0, nullptr);
    WaitForSingleObject(taken, 10000);
    CloseHandle(thread);
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
    else if (std::strcmp(kind, "heap") == 0) {
        lockRuntimeHeap();
        accessNowhere(static_cast<std::uintptr_t>(zero));
    } else if (std::strcmp(kind, "twice") == 0) {
        RaiseException(kSurvivedForTests, 0, 0, nullptr);
        result = divide(1, zero);
    }
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
