// The client registry library, exported from setup.exe by name for other modules.
//
// Another module may load setup.exe only for these exports. Then none of setup.exe's
// start-up code runs (no C runtime start, no static constructors), and Wine's loader, unlike
// the one of Windows, neither relocates an executable that it could not place at its
// preferred address nor binds its imports. So each entry first checks both and does what the
// loader left undone (prepareImage: code that reaches no absolute address and no import),
// then tells the library where the Windows folder is. The library keeps its state in plain
// data and allocates with malloc, so it needs no more than that.
//
// The i686 build exports the standard-call names with their decoration ("_NR_RegOpen@8")
// through setup_exports_x86.def; the x86_64 build, which has no such decoration, marks the
// functions here. Only the x86_64 build can repair its own placement (its code addresses
// itself relative to the instruction pointer); the i686 build relies on the system loader.
#include "registry/reg_io.h"
#include "registry/registry.h"

#include <windows.h>
#include <winternl.h>

#include <cstdint>

#if defined(_WIN64)
#define ZOV_EXPORT extern "C" __declspec(dllexport)
#else
#define ZOV_EXPORT extern "C"
#endif

// Code that runs before the image is prepared must not let the compiler turn its loops
// into calls of memcpy or strlen: those are imports too.
#define ZOV_NO_LIBRARY_CALLS __attribute__((optimize("no-tree-loop-distribute-patterns")))

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace r = zov::reg;

namespace {

// Where the image really is.
ZOV_NO_LIBRARY_CALLS unsigned char* imageBase() {
    unsigned char* base;
#if defined(_WIN64)
    asm("leaq __ImageBase(%%rip), %0" : "=r"(base));
#else
    base = reinterpret_cast<unsigned char*>(&__ImageBase);
    asm("" : "+r"(base)); // the whole image, not the one header the symbol names
#endif
    return base;
}

// Where the image's own absolute pointers say it is: the same once it is relocated.
ZOV_NO_LIBRARY_CALLS unsigned char* assumedBase() {
    unsigned char* base = reinterpret_cast<unsigned char*>(&__ImageBase);
    asm("" : "+r"(base)); // keep the compiler from folding this into imageBase()
    return base;
}

ZOV_NO_LIBRARY_CALLS IMAGE_NT_HEADERS* headersOf(unsigned char* base) {
    return reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
}

ZOV_NO_LIBRARY_CALLS char lowerAscii(wchar_t c) {
    return static_cast<char>(c >= L'A' && c <= L'Z' ? c + 32 : c);
}

// Does the module path end in "\<name>" (letter case ignored)?
ZOV_NO_LIBRARY_CALLS bool pathEndsWith(const UNICODE_STRING& path, const char* name) {
    int n = 0;
    while (name[n] != '\0')
        ++n;
    int length = path.Length / 2;
    if (path.Buffer == nullptr || length < n + 1)
        return false;
    const wchar_t* tail = path.Buffer + length - n;
    if (tail[-1] != L'\\' && tail[-1] != L'/')
        return false;
    for (int i = 0; i < n; ++i) {
        if (lowerAscii(tail[i]) != name[i])
            return false;
    }
    return true;
}

// A module already in the process, found in the loader's list.
ZOV_NO_LIBRARY_CALLS HMODULE loadedModule(const char* name) {
    PEB* peb = nullptr;
#if defined(_WIN64)
    asm("movq %%gs:0x60, %0" : "=r"(peb));
#else
    asm("movl %%fs:0x30, %0" : "=r"(peb));
#endif
    LIST_ENTRY* head = &peb->Ldr->InMemoryOrderModuleList;
    for (LIST_ENTRY* link = head->Flink; link != head; link = link->Flink) {
        auto* entry = CONTAINING_RECORD(link, LDR_DATA_TABLE_ENTRY, InMemoryOrderLinks);
        if (pathEndsWith(entry->FullDllName, name))
            return static_cast<HMODULE>(entry->DllBase);
    }
    return nullptr;
}

ZOV_NO_LIBRARY_CALLS bool sameText(const char* a, const char* b) {
    for (; *a != '\0' && *a == *b; ++a, ++b) {
    }
    return *a == *b;
}

// An export of a module read from its export table (no forwarders: used on ntdll only).
ZOV_NO_LIBRARY_CALLS void* exportOf(HMODULE module, const char* name) {
    auto* base = reinterpret_cast<unsigned char*>(module);
    const IMAGE_DATA_DIRECTORY& dir =
        headersOf(base)->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (dir.VirtualAddress == 0)
        return nullptr;
    auto* exports = reinterpret_cast<IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    auto* names = reinterpret_cast<DWORD*>(base + exports->AddressOfNames);
    auto* ordinals = reinterpret_cast<WORD*>(base + exports->AddressOfNameOrdinals);
    auto* functions = reinterpret_cast<DWORD*>(base + exports->AddressOfFunctions);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        if (sameText(reinterpret_cast<const char*>(base + names[i]), name))
            return base + functions[ordinals[i]];
    }
    return nullptr;
}

using LdrGetProcedureAddressFn = LONG(NTAPI*)(HMODULE, ANSI_STRING*, ULONG, void**);
using LoadLibraryFn = HMODULE(WINAPI*)(LPCSTR);
using GetProcAddressFn = FARPROC(WINAPI*)(HMODULE, LPCSTR);
using VirtualProtectFn = BOOL(WINAPI*)(LPVOID, SIZE_T, DWORD, PDWORD);

// The three system functions the preparation needs, found without the import table.
struct LoaderFunctions {
    LoadLibraryFn loadLibrary = nullptr;
    GetProcAddressFn getProcAddress = nullptr;
    VirtualProtectFn virtualProtect = nullptr;
};

ZOV_NO_LIBRARY_CALLS bool findLoaderFunctions(LoaderFunctions& f) {
    HMODULE ntdll = loadedModule("ntdll.dll");
    HMODULE kernel32 = loadedModule("kernel32.dll");
    if (ntdll == nullptr || kernel32 == nullptr)
        return false;
    auto getProcedure = reinterpret_cast<LdrGetProcedureAddressFn>(exportOf(ntdll, "LdrGetProcedureAddress"));
    if (getProcedure == nullptr)
        return false;
    auto find = [&](const char* name) -> void* {
        ANSI_STRING text;
        USHORT n = 0;
        while (name[n] != '\0')
            ++n;
        text.Length = n;
        text.MaximumLength = static_cast<USHORT>(n + 1);
        text.Buffer = const_cast<PCHAR>(name);
        void* address = nullptr;
        return getProcedure(kernel32, &text, 0, &address) >= 0 ? address : nullptr;
    };
    f.loadLibrary = reinterpret_cast<LoadLibraryFn>(find("LoadLibraryA"));
    f.getProcAddress = reinterpret_cast<GetProcAddressFn>(find("GetProcAddress"));
    f.virtualProtect = reinterpret_cast<VirtualProtectFn>(find("VirtualProtect"));
    return f.loadLibrary != nullptr && f.getProcAddress != nullptr && f.virtualProtect != nullptr;
}

// Applies the base relocations to an image placed away from its preferred address.
ZOV_NO_LIBRARY_CALLS bool relocate(unsigned char* base, std::intptr_t delta, const LoaderFunctions& f) {
    const IMAGE_DATA_DIRECTORY& dir =
        headersOf(base)->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_BASERELOC];
    unsigned char* at = base + dir.VirtualAddress;
    unsigned char* end = at + dir.Size;
    while (dir.VirtualAddress != 0 && at + sizeof(IMAGE_BASE_RELOCATION) <= end) {
        auto* block = reinterpret_cast<IMAGE_BASE_RELOCATION*>(at);
        if (block->SizeOfBlock < sizeof(IMAGE_BASE_RELOCATION))
            break;
        unsigned char* page = base + block->VirtualAddress;
        auto* entries = reinterpret_cast<WORD*>(block + 1);
        DWORD count = (block->SizeOfBlock - sizeof(IMAGE_BASE_RELOCATION)) / sizeof(WORD);
        DWORD previous = 0;
        if (!f.virtualProtect(page, 4096, PAGE_EXECUTE_READWRITE, &previous))
            return false;
        for (DWORD i = 0; i < count; ++i) {
            unsigned type = entries[i] >> 12, offset = entries[i] & 0xFFF;
            if (type == IMAGE_REL_BASED_DIR64)
                *reinterpret_cast<std::uint64_t*>(page + offset) += static_cast<std::uint64_t>(delta);
            else if (type == IMAGE_REL_BASED_HIGHLOW)
                *reinterpret_cast<std::uint32_t*>(page + offset) += static_cast<std::uint32_t>(delta);
        }
        f.virtualProtect(page, 4096, previous, &previous);
        at += block->SizeOfBlock;
    }
    return true;
}

// Binds every import that is still unbound, the way the loader would have.
ZOV_NO_LIBRARY_CALLS bool bindImports(unsigned char* base, const LoaderFunctions& f) {
    const IMAGE_DATA_DIRECTORY& dir =
        headersOf(base)->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir.VirtualAddress == 0)
        return true;
    for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name != 0; ++d) {
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
        // An unbound table still holds, in its first slot, what the name table holds.
        if (d->OriginalFirstThunk == 0 || names->u1.AddressOfData == 0 ||
            slots->u1.Function != names->u1.AddressOfData)
            continue;
        HMODULE module = f.loadLibrary(reinterpret_cast<const char*>(base + d->Name));
        if (module == nullptr)
            return false;
        SIZE_T count = 0;
        while (names[count].u1.AddressOfData != 0)
            ++count;
        DWORD previous = 0;
        if (!f.virtualProtect(slots, count * sizeof *slots, PAGE_READWRITE, &previous))
            return false;
        for (SIZE_T i = 0; i < count; ++i) {
            LPCSTR what =
                IMAGE_SNAP_BY_ORDINAL(names[i].u1.Ordinal)
                    ? reinterpret_cast<LPCSTR>(IMAGE_ORDINAL(names[i].u1.Ordinal))
                    : reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names[i].u1.AddressOfData)->Name;
            slots[i].u1.Function = reinterpret_cast<ULONG_PTR>(f.getProcAddress(module, what));
        }
        f.virtualProtect(slots, count * sizeof *slots, previous, &previous);
    }
    return true;
}

bool gImagePrepared = false;

// Relocates and binds the image when no loader did. Nothing here may use an absolute
// address before the relocation, nor an import before the binding.
ZOV_NO_LIBRARY_CALLS void prepareImage() {
    if (gImagePrepared)
        return;
    unsigned char* base = imageBase();
    std::intptr_t delta = base - assumedBase();
    LoaderFunctions f;
    if (!findLoaderFunctions(f))
        return;
    if (delta != 0 && !relocate(base, delta, f))
        return;
    if (bindImports(base, f))
        gImagePrepared = true;
}

bool windowsFolder(char* buffer, std::size_t size) {
    UINT n = GetWindowsDirectoryA(buffer, static_cast<UINT>(size));
    return n > 0 && n < size;
}

void host() {
    prepareImage();
    r::setWindowsFolderSource(&windowsFolder);
}

} // namespace

// Every export makes the host ready, then calls the library's function of the same name.
#define ZOV_HOSTED(name, parameters, arguments)                                                              \
    ZOV_EXPORT r::REGERR WINAPI name parameters {                                                            \
        host();                                                                                              \
        return r::name arguments;                                                                            \
    }

ZOV_HOSTED(NR_StartupRegistry, (), ())
ZOV_HOSTED(NR_ShutdownRegistry, (), ())
ZOV_HOSTED(NR_RegOpen, (const char* filename, r::HREG* hReg), (filename, hReg))
ZOV_HOSTED(NR_RegClose, (r::HREG hReg), (hReg))
ZOV_HOSTED(NR_RegGetUsername, (char** name), (name))
ZOV_HOSTED(NR_RegSetUsername, (const char* name), (name))
ZOV_HOSTED(NR_RegIsWritable, (r::HREG hReg), (hReg))
ZOV_HOSTED(NR_RegAddKey, (r::HREG hReg, r::RKEY key, const char* path, r::RKEY* newKey),
           (hReg, key, path, newKey))
ZOV_HOSTED(NR_RegAddKeyRaw, (r::HREG hReg, r::RKEY key, const char* name, r::RKEY* newKey),
           (hReg, key, name, newKey))
ZOV_HOSTED(NR_RegDeleteKey, (r::HREG hReg, r::RKEY key, const char* path), (hReg, key, path))
ZOV_HOSTED(NR_RegDeleteKeyRaw, (r::HREG hReg, r::RKEY key, const char* name), (hReg, key, name))
ZOV_HOSTED(NR_RegGetKey, (r::HREG hReg, r::RKEY key, const char* path, r::RKEY* result),
           (hReg, key, path, result))
ZOV_HOSTED(NR_RegGetKeyRaw, (r::HREG hReg, r::RKEY key, const char* name, r::RKEY* result),
           (hReg, key, name, result))
ZOV_HOSTED(NR_RegGetEntryInfo, (r::HREG hReg, r::RKEY key, const char* name, r::REGINFO* info),
           (hReg, key, name, info))
ZOV_HOSTED(NR_RegGetEntryString,
           (r::HREG hReg, r::RKEY key, const char* name, char* buffer, std::uint32_t bufferSize),
           (hReg, key, name, buffer, bufferSize))
ZOV_HOSTED(NR_RegGetEntry, (r::HREG hReg, r::RKEY key, const char* name, void* buffer, std::uint32_t* size),
           (hReg, key, name, buffer, size))
ZOV_HOSTED(NR_RegSetEntryString, (r::HREG hReg, r::RKEY key, const char* name, const char* text),
           (hReg, key, name, text))
ZOV_HOSTED(NR_RegSetEntry,
           (r::HREG hReg, r::RKEY key, const char* name, std::uint16_t type, const void* buffer,
            std::uint32_t size),
           (hReg, key, name, type, buffer, size))
ZOV_HOSTED(NR_RegDeleteEntry, (r::HREG hReg, r::RKEY key, const char* name), (hReg, key, name))
ZOV_HOSTED(NR_RegEnumSubkeys,
           (r::HREG hReg, r::RKEY key, r::REGENUM* state, char* buffer, std::uint32_t bufferSize,
            std::uint32_t style),
           (hReg, key, state, buffer, bufferSize, style))
ZOV_HOSTED(NR_RegEnumEntries,
           (r::HREG hReg, r::RKEY key, r::REGENUM* state, char* buffer, std::uint32_t bufferSize,
            r::REGINFO* info),
           (hReg, key, state, buffer, bufferSize, info))
ZOV_HOSTED(VR_CreateRegistry, (const char* installation, const char* programFolder, const char* version),
           (installation, programFolder, version))
ZOV_HOSTED(VR_Close, (), ())
ZOV_HOSTED(VR_GetVersion, (const char* component, r::VERSION* result), (component, result))
ZOV_HOSTED(VR_GetPath, (const char* component, std::uint32_t bufferSize, char* buffer),
           (component, bufferSize, buffer))
ZOV_HOSTED(VR_SetDefaultDirectory, (const char* component, const char* directory), (component, directory))
ZOV_HOSTED(VR_GetDefaultDirectory, (const char* component, std::uint32_t bufferSize, char* buffer),
           (component, bufferSize, buffer))
ZOV_HOSTED(VR_Install, (const char* component, const char* location, const char* version, int isDirectory),
           (component, location, version, isDirectory))
ZOV_HOSTED(VR_Remove, (const char* component), (component))
ZOV_HOSTED(VR_Enum, (const char* component, r::REGENUM* state, char* buffer, std::uint32_t bufferSize),
           (component, state, buffer, bufferSize))
ZOV_HOSTED(VR_InRegistry, (const char* component), (component))
ZOV_HOSTED(VR_ValidateComponent, (const char* component), (component))
ZOV_HOSTED(VR_SetRegDirectory, (const char* folder), (folder))
ZOV_HOSTED(VR_SetRefCount, (const char* component, int count), (component, count))
ZOV_HOSTED(VR_GetRefCount, (const char* component, int* count), (component, count))
ZOV_HOSTED(VR_UninstallCreateNode, (const char* package, const char* userName), (package, userName))
ZOV_HOSTED(VR_GetUninstallUserName, (const char* package, char* buffer, std::uint32_t bufferSize),
           (package, buffer, bufferSize))
ZOV_HOSTED(VR_UninstallAddFileToList, (const char* package, const char* file), (package, file))
ZOV_HOSTED(VR_UninstallFileExistsInList, (const char* package, const char* file), (package, file))
ZOV_HOSTED(VR_UninstallEnumSharedFiles,
           (const char* package, r::REGENUM* state, char* buffer, std::uint32_t bufferSize),
           (package, state, buffer, bufferSize))
ZOV_HOSTED(VR_UninstallDeleteFileFromList, (const char* package, const char* file), (package, file))
ZOV_HOSTED(VR_UninstallDeleteSharedFilesKey, (const char* package), (package))
ZOV_HOSTED(VR_UninstallDestroy, (const char* package), (package))
ZOV_HOSTED(VR_EnumUninstall,
           (r::REGENUM * state, char* userName, std::int32_t userNameSize, char* package,
            std::int32_t packageSize, int shared),
           (state, userName, userNameSize, package, packageSize, shared))
