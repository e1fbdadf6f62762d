// The registry library on arbitrary file contents: opens the bytes as a registry file,
// walks every key in the three styles, reads every entry, then changes the file and runs
// the version registry over it. No crash, no endless walk, and no write outside the file:
// the in-memory file traps a write that starts past its end.
#include "fuzz/memory_reg_file.h"
#include "registry/reg_io.h"
#include "registry/registry.h"

#include <cstdint>
#include <cstring>

using namespace zov::reg;
namespace fuzz = zov::fuzz;

namespace {

bool hostWindowsFolder(char* buffer, std::size_t size) {
    const char folder[] = "C:\\Windows";
    if (size < sizeof folder)
        return false;
    std::memcpy(buffer, folder, sizeof folder);
    return true;
}

void readEntries(HREG h, RKEY key) {
    REGENUM state = 0;
    char name[600];
    for (int i = 0; i < 200; ++i) {
        REGINFO info{8, 0, 0};
        if (NR_RegEnumEntries(h, key, &state, name, sizeof name, &info) != kOk)
            break;
        NR_RegGetEntryInfo(h, key, name, &info);
        char value[64];
        NR_RegGetEntryString(h, key, name, value, sizeof value);
        std::uint32_t size = sizeof value;
        NR_RegGetEntry(h, key, name, value, &size);
    }
}

void walk(HREG h, RKEY start) {
    for (std::uint32_t style : {kEnumChildren, kEnumDescend, kEnumDepthFirst}) {
        REGENUM state = 0;
        char path[600] = {};
        for (int i = 0; i < 500; ++i) {
            if (NR_RegEnumSubkeys(h, start, &state, path, sizeof path, style) != kOk)
                break;
            if (style == kEnumDescend) {
                readEntries(h, state);
                // Looking every path up again costs its depth times the chains it passes: on
                // a deep file that is most of the run. A sample keeps the lookup exercised.
                if (i < 32 || i % 16 == 0) {
                    RKEY found = 0;
                    NR_RegGetKey(h, start, path, &found);
                }
            }
        }
    }
}

void change(HREG h) {
    RKEY key = 0;
    if (NR_RegAddKey(h, kKeyCommon, "fuzz/child", &key) == kOk) {
        NR_RegSetEntryString(h, key, "text", "value");
        std::uint32_t numbers[3] = {1, 2, 3};
        NR_RegSetEntry(h, key, "numbers", kTypeInt32Array, numbers, sizeof numbers);
        NR_RegSetEntryString(h, key, "text", "a longer value than before");
        NR_RegDeleteEntry(h, key, "numbers");
    }
    NR_RegAddKeyRaw(h, kKeyUsers, "raw/name", &key);
    NR_RegDeleteKey(h, kKeyCommon, "fuzz/child");
    NR_RegDeleteKeyRaw(h, kKeyUsers, "raw/name");
    // Whatever the file's own entries are, overwrite the first few.
    REGENUM state = 0;
    char path[600] = {};
    for (int i = 0; i < 20 && NR_RegEnumSubkeys(h, kKeyRoot, &state, path, sizeof path, kEnumDescend) == kOk;
         ++i) {
        REGENUM entry = 0;
        char name[600];
        if (NR_RegEnumEntries(h, state, &entry, name, sizeof name, nullptr) == kOk)
            NR_RegSetEntry(h, state, name, kTypeBytes, "0123456789abcdef", 16);
    }
}

void versionRegistry() {
    VR_InRegistry("/Tidewell");
    VR_Install("/Tidewell/Plugins/x", "C:\\x.dll", "1.2.3.4", 0);
    VERSION v;
    VR_GetVersion("/Tidewell/Plugins/x", &v);
    VR_ValidateComponent("/Tidewell/Plugins/x");
    int count = 0;
    VR_GetRefCount("Component", &count);
    VR_SetRefCount("Component", 2);
    REGENUM state = 0;
    char buffer[600];
    for (int i = 0; i < 200 && VR_Enum(nullptr, &state, buffer, sizeof buffer) == kOk; ++i) {
    }
    for (int shared = 0; shared < 2; ++shared) {
        state = 0;
        char user[64], package[64];
        for (int i = 0;
             i < 100 && VR_EnumUninstall(&state, user, sizeof user, package, sizeof package, shared) == kOk;
             ++i) {
            REGENUM files = 0;
            VR_UninstallEnumSharedFiles(package, &files, buffer, sizeof buffer);
        }
    }
    VR_UninstallCreateNode("/a__b", "A");
    VR_UninstallAddFileToList("/a__b", "C:\\f.dll");
    VR_CreateRegistry("Nav", "C:\\Prog", "4.0");
    VR_CreateRegistry("Nav", "D:\\Other", nullptr);
    VR_Close();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::MemoryRegFile::image.assign(data, data + size);
    setFileOps(&fuzz::MemoryRegFile::ops);
    setWindowsFolderSource(&hostWindowsFolder);
    HREG h = nullptr;
    if (NR_RegOpen("fuzz.reg", &h) == kOk) {
        walk(h, kKeyRoot);
        change(h);
        walk(h, kKeyCommon);
        NR_RegClose(h);
    }
    versionRegistry();
    NR_ShutdownRegistry();
    return 0;
}
