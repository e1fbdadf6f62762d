// Writes the seed corpus of the registry file fuzz target: registry files made by the
// library itself (a new file, a tree with entries of every type, a version registry).
//   registry_file_seeds <folder>
#include "registry/reg_io.h"
#include "registry/registry.h"

#include <cstdio>
#include <string>

using namespace zov::reg;

namespace {

std::string gFolder;

bool hostWindowsFolder(char* buffer, std::size_t size) {
    if (gFolder.size() + 1 > size)
        return false;
    std::snprintf(buffer, size, "%s", gFolder.c_str());
    return true;
}

void tree(const std::string& file) {
    HREG h = nullptr;
    if (NR_RegOpen(file.c_str(), &h) != kOk)
        return;
    RKEY key = 0;
    for (const char* path : {"t/w", "t/x", "t/x/y", "t/x/z", "Profiles/default"})
        NR_RegAddKey(h, kKeyCommon, path, &key);
    NR_RegSetEntryString(h, key, "directory", "C:\\Profiles\\default");
    std::int32_t numbers[2] = {7, -1};
    NR_RegSetEntry(h, key, "numbers", kTypeInt32Array, numbers, sizeof numbers);
    NR_RegSetEntry(h, key, "bytes", kTypeBytes, "0123456789", 10);
    NR_RegSetEntry(h, key, "file", kTypeFile, "C:\\x", 5);
    NR_RegSetEntry(h, key, "bytes", kTypeBytes, "01234567890123456789", 20);
    NR_RegAddKey(h, kKeyCommon, "gone", &key);
    NR_RegDeleteKey(h, kKeyCommon, "gone");
    NR_RegClose(h);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    gFolder = argv[1];
    setWindowsFolderSource(&hostWindowsFolder);
    std::remove((gFolder + "/new.reg").c_str());
    std::remove((gFolder + "/tree.reg").c_str());
    std::remove((gFolder + "/nsreg.dat").c_str());
    HREG h = nullptr;
    if (NR_RegOpen((gFolder + "/new.reg").c_str(), &h) == kOk)
        NR_RegClose(h);
    tree(gFolder + "/tree.reg");
    // The version registry goes to "<folder>\nsreg.dat": on this host a file of that name.
    VR_CreateRegistry("Nav", "C:\\Prog", "4.0");
    VR_Install("/Tidewell/Plugins/x", "C:\\x.dll", "1.2.3.4", 0);
    VR_SetRefCount("Comp", 3);
    VR_UninstallCreateNode("/a__b_c", "Shared package");
    VR_UninstallCreateNode("tools", "Tools");
    VR_UninstallAddFileToList("tools", "C:\\f.dll");
    NR_ShutdownRegistry();
    std::rename((gFolder + "\\nsreg.dat").c_str(), (gFolder + "/nsreg.dat").c_str());
    return 0;
}
