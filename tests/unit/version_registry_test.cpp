// The version registry (VR_ functions) in "nsreg.dat" of the simulated Windows folder.
#include "registry/registry.h"
#include "sim/sim_machine.h"
#include "sim/sim_registry_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace zov::reg;
using zov::sim::SimMachine;
using zov::sim::SimRegistryFiles;

namespace {

const char kFile[] = "C:\\Windows\\nsreg.dat";

class VersionRegistry : public ::testing::Test {
  protected:
    SimMachine sim;
    SimRegistryFiles regFiles{sim.files, "C:\\Windows"};
    HREG h = nullptr;

    // A handle of our own on the same file, to look at what the VR_ functions left.
    HREG file() {
        if (h == nullptr) {
            EXPECT_EQ(NR_RegOpen(kFile, &h), kOk);
        }
        return h;
    }
    RKEY key(const std::string& path) {
        RKEY k = 0;
        REGERR err = NR_RegGetKey(file(), kKeyVersions, path.c_str(), &k);
        return err == kOk ? k : 0;
    }
    std::string text(RKEY k, const char* name) {
        char buffer[600] = {};
        REGERR err = NR_RegGetEntryString(file(), k, name, buffer, sizeof buffer);
        return err == kOk ? std::string(buffer) : "<error " + std::to_string(err) + ">";
    }
    std::string fileEntry(RKEY k, const char* name) {
        REGINFO info{8, 0, 0};
        if (NR_RegGetEntryInfo(file(), k, name, &info) != kOk || info.entryType != kTypeFile)
            return "<not a file entry>";
        char buffer[600] = {};
        std::uint32_t size = sizeof buffer;
        NR_RegGetEntry(file(), k, name, buffer, &size);
        return buffer;
    }
    std::string current() { return text(key("/Tidewell"), "Current Wayfinder"); }
    std::vector<std::string> products() {
        std::vector<std::string> names;
        REGENUM state = 0;
        char buffer[600] = {};
        while (NR_RegEnumSubkeys(file(), key("/Tidewell"), &state, buffer, sizeof buffer, kEnumChildren) ==
               kOk)
            names.insert(names.begin(), buffer);
        return names;
    }
};

TEST_F(VersionRegistry, FirstCallCreatesTheRegistryWithTheDefaultProduct) {
    ASSERT_FALSE(sim.files.fileExists(kFile));
    EXPECT_EQ(VR_InRegistry("/Tidewell"), kOk);
    EXPECT_TRUE(sim.files.fileExists(kFile));
    EXPECT_EQ(current(), "Correspondia");
    EXPECT_NE(key("/Tidewell/Correspondia"), 0u);
    // Components without a leading '/' live under the current product.
    EXPECT_EQ(VR_Install("Plugins/a", nullptr, "1.0", 0), kOk);
    EXPECT_NE(key("/Tidewell/Correspondia/Plugins/a"), 0u);
    EXPECT_EQ(VR_InRegistry("Plugins/a"), kOk);
    EXPECT_EQ(VR_InRegistry("Plugins/b"), kNotFound);
}

TEST_F(VersionRegistry, NoWindowsFolderNoRegistry) {
    regFiles.windowsFolder.clear();
    EXPECT_EQ(VR_InRegistry("/Tidewell"), kNoFile);
}

TEST_F(VersionRegistry, CreateRegistryRegistersAndSelectsProducts) {
    EXPECT_EQ(VR_CreateRegistry("", "C:\\Prog", nullptr), kBadParameter);
    EXPECT_EQ(VR_CreateRegistry(nullptr, "C:\\Prog", nullptr), kBadParameter);

    ASSERT_EQ(VR_CreateRegistry("Nav", "C:\\Prog", "4.0"), kOk);
    EXPECT_EQ(current(), "Nav");
    EXPECT_EQ(fileEntry(key("/Tidewell/Nav"), "Wayfinder Home"), "C:\\Prog");
    EXPECT_EQ(text(key("/Tidewell/Nav"), "Version"), "4.0");

    // The same name in another folder is another installation.
    ASSERT_EQ(VR_CreateRegistry("Nav", "D:\\Other", nullptr), kOk);
    EXPECT_EQ(current(), "Nav #2");
    EXPECT_EQ(fileEntry(key("/Tidewell/Nav #2"), "Wayfinder Home"), "D:\\Other");
    ASSERT_EQ(VR_CreateRegistry("Nav", "E:\\Third", nullptr), kOk);
    EXPECT_EQ(current(), "Nav #3");
    EXPECT_EQ(products(), (std::vector<std::string>{"Nav", "Nav #2", "Nav #3"}));

    // A trailing backslash and letter case do not make another folder.
    ASSERT_EQ(VR_CreateRegistry("Nav", "c:\\PROG\\", "4.5"), kOk);
    EXPECT_EQ(current(), "Nav");
    EXPECT_EQ(text(key("/Tidewell/Nav"), "Version"), "4.5");
    EXPECT_EQ(products().size(), 3u);
    // The current product in its own folder stays selected, whatever the name asked for.
    ASSERT_EQ(VR_CreateRegistry("Other name", "C:\\Prog", nullptr), kOk);
    EXPECT_EQ(current(), "Nav");
    // Components now resolve under the selected product.
    ASSERT_EQ(VR_Install("Comp", nullptr, "1.1", 0), kOk);
    EXPECT_NE(key("/Tidewell/Nav/Comp"), 0u);
}

TEST_F(VersionRegistry, FolderWithTrailingBackslashMatchesAStoredFolder) {
    ASSERT_EQ(VR_CreateRegistry("Nav", "c:\\prog", nullptr), kOk);
    ASSERT_EQ(VR_CreateRegistry("Else", "D:\\x", nullptr), kOk);
    EXPECT_EQ(current(), "Else");
    ASSERT_EQ(VR_CreateRegistry("Nav", "C:\\Prog\\", nullptr), kOk);
    EXPECT_EQ(current(), "Nav");
    EXPECT_EQ(products().size(), 2u);
}

TEST_F(VersionRegistry, CurrentProductWithoutAHomeTakesTheFolder) {
    EXPECT_EQ(VR_InRegistry("/Tidewell"), kOk); // "Correspondia", no home yet
    ASSERT_EQ(VR_CreateRegistry("Anything", "C:\\Here", nullptr), kOk);
    EXPECT_EQ(current(), "Correspondia");
    EXPECT_EQ(fileEntry(key("/Tidewell/Correspondia"), "Wayfinder Home"), "C:\\Here");
}

TEST_F(VersionRegistry, InstallAndReadVersionsPathsAndDirectories) {
    ASSERT_EQ(VR_Install("/Tidewell/Plugins/x", "C:\\Plug\\x.dll", "1.2.3.4", 0), kOk);
    RKEY x = key("/Tidewell/Plugins/x");
    ASSERT_NE(x, 0u);
    EXPECT_EQ(text(x, "Version"), "1.2.3.4");
    EXPECT_EQ(fileEntry(x, "Path"), "C:\\Plug\\x.dll");
    VERSION v{9, 9, 9, 9, 9};
    ASSERT_EQ(VR_GetVersion("/Tidewell/Plugins/x", &v), kOk);
    EXPECT_EQ((std::vector<int>{v.major, v.minor, v.release, v.build, v.check}),
              (std::vector<int>{1, 2, 3, 4, 0}));

    ASSERT_EQ(VR_Install("/Tidewell/Plugins/y", "C:\\Plug", "4.5", 1), kOk);
    ASSERT_EQ(VR_GetVersion("/Tidewell/Plugins/y", &v), kOk);
    EXPECT_EQ((std::vector<int>{v.major, v.minor, v.release, v.build, v.check}),
              (std::vector<int>{4, 5, 0, 0, 0}));
    char buffer[64] = {};
    EXPECT_EQ(VR_GetDefaultDirectory("/Tidewell/Plugins/y", sizeof buffer, buffer), kOk);
    EXPECT_STREQ(buffer, "C:\\Plug");
    EXPECT_EQ(VR_GetPath("/Tidewell/Plugins/y", sizeof buffer, buffer), kNotFound);
    EXPECT_EQ(VR_GetPath("/Tidewell/Plugins/x", 4, buffer), kBufferTooSmall);
    EXPECT_EQ(VR_GetPath("/Tidewell/Plugins/x", sizeof buffer, buffer), kOk);
    EXPECT_STREQ(buffer, "C:\\Plug\\x.dll");
    EXPECT_EQ(VR_SetDefaultDirectory("/Tidewell/Plugins/x", "C:\\Other"), kOk);
    EXPECT_EQ(fileEntry(x, "Directory"), "C:\\Other");
    EXPECT_EQ(VR_SetDefaultDirectory("/Tidewell/Plugins/none", "C:\\Other"), kNotFound);
    EXPECT_EQ(VR_Install(nullptr, nullptr, nullptr, 0), kBadParameter);
    // An empty path is the current product itself.
    ASSERT_EQ(VR_Install("", nullptr, "9.0", 0), kOk);
    EXPECT_EQ(text(key("/Tidewell/Correspondia"), "Version"), "9.0");
    EXPECT_EQ(VR_GetVersion("/Tidewell/none", &v), kNotFound);

    EXPECT_EQ(VR_Remove("/Tidewell/Plugins/x"), kOk);
    EXPECT_EQ(VR_InRegistry("/Tidewell/Plugins/x"), kNotFound);
    // The current product itself is not a component to remove: relative paths start there.
    EXPECT_EQ(VR_Remove(""), kBadParameter);
    EXPECT_EQ(VR_Install("Plugins/z", nullptr, "1.0", 0), kOk);
}

TEST_F(VersionRegistry, FailedInstallRemovesOnlyTheKeyItMade) {
    const std::string tooLong(40000, 'p');
    EXPECT_EQ(VR_Install("/Tidewell/New", tooLong.c_str(), "1.0", 0), kTooLong);
    EXPECT_EQ(VR_InRegistry("/Tidewell/New"), kNotFound);
    ASSERT_EQ(VR_Install("/Tidewell/Old", nullptr, "1.0", 0), kOk);
    ASSERT_EQ(VR_SetRefCount("/Tidewell/Old", 3), kOk);
    EXPECT_EQ(VR_Install("/Tidewell/Old", tooLong.c_str(), "2.0", 0), kTooLong);
    int count = 0;
    EXPECT_EQ(VR_GetRefCount("/Tidewell/Old", &count), kOk);
    EXPECT_EQ(count, 3);
}

TEST_F(VersionRegistry, ValidateComponent) {
    ASSERT_EQ(VR_Install("/Tidewell/NoPath", nullptr, "1.0", 0), kOk);
    EXPECT_EQ(VR_ValidateComponent("/Tidewell/NoPath"), kNoPath);
    ASSERT_EQ(VR_Install("/Tidewell/Gone", "C:\\Plug\\gone.dll", "1.0", 0), kOk);
    EXPECT_EQ(VR_ValidateComponent("/Tidewell/Gone"), kNoFile);
    sim.files.writeText("C:\\Plug\\here.dll", "MZ");
    ASSERT_EQ(VR_Install("/Tidewell/Here", "C:\\Plug\\here.dll", "1.0", 0), kOk);
    EXPECT_EQ(VR_ValidateComponent("/Tidewell/Here"), kOk);
    EXPECT_EQ(VR_ValidateComponent("/Tidewell/Missing"), kNotFound);
}

TEST_F(VersionRegistry, ReferenceCounts) {
    int count = 7;
    EXPECT_EQ(VR_GetRefCount("/Tidewell/Shared.dll", &count), kNotFound);
    EXPECT_EQ(count, -1);
    ASSERT_EQ(VR_Install("/Tidewell/Shared.dll", nullptr, "1.0", 0), kOk);
    EXPECT_EQ(VR_GetRefCount("/Tidewell/Shared.dll", &count), kNotFound);
    EXPECT_EQ(count, -1);
    EXPECT_EQ(VR_SetRefCount("/Tidewell/Shared.dll", 12), kOk);
    EXPECT_EQ(text(key("/Tidewell/Shared.dll"), "RefCount"), "12");
    EXPECT_EQ(VR_GetRefCount("/Tidewell/Shared.dll", &count), kOk);
    EXPECT_EQ(count, 12);
    EXPECT_EQ(VR_SetRefCount("/Tidewell/New.dll", -2), kOk); // made when missing
    EXPECT_EQ(VR_GetRefCount("/Tidewell/New.dll", &count), kOk);
    EXPECT_EQ(count, -2);
    EXPECT_EQ(VR_SetRefCount("", 1), kBadParameter);
    EXPECT_EQ(VR_GetRefCount("/x", nullptr), kBadParameter);
}

TEST_F(VersionRegistry, EnumWalksChildrenBeforeParents) {
    ASSERT_EQ(VR_Install("/Tidewell/Plugins/a", nullptr, "1", 0), kOk);
    ASSERT_EQ(VR_Install("/Tidewell/Plugins/b", nullptr, "1", 0), kOk);
    std::vector<std::string> paths;
    REGENUM state = 0;
    char buffer[256] = {};
    while (VR_Enum("/Tidewell/Plugins", &state, buffer, sizeof buffer) == kOk)
        paths.push_back(buffer);
    EXPECT_EQ(paths, (std::vector<std::string>{"b", "a"}));
    paths.clear();
    state = 0;
    while (VR_Enum(nullptr, &state, buffer, sizeof buffer) == kOk)
        paths.push_back(buffer);
    EXPECT_EQ(paths, (std::vector<std::string>{"Tidewell/Plugins/b", "Tidewell/Plugins/a", "Tidewell/Plugins",
                                               "Tidewell/Correspondia", "Tidewell"}));
}

TEST_F(VersionRegistry, SharedPackageNamesAreEscapedAndComeBack) {
    ASSERT_EQ(VR_UninstallCreateNode("/a__b_c", "Package A"), kOk); // the stored form
    RKEY shared = 0;
    ASSERT_EQ(NR_RegGetKey(file(), kKeyPrivateArenas, "Tidewell/Correspondia/SoftwareUpdate/Uninstall/Shared",
                           &shared),
              kOk);
    RKEY package = 0;
    EXPECT_EQ(NR_RegGetKeyRaw(file(), shared, "a__b_c", &package), kOk);
    char name[64] = {};
    EXPECT_EQ(VR_GetUninstallUserName("/a_b/c", name, sizeof name), kOk); // escaped on the way
    EXPECT_STREQ(name, "Package A");

    REGENUM state = 0;
    char user[64] = {}, stored[64] = {};
    ASSERT_EQ(VR_EnumUninstall(&state, user, sizeof user, stored, sizeof stored, 1), kOk);
    EXPECT_STREQ(user, "Package A");
    EXPECT_STREQ(stored, "/a_b/c");
    EXPECT_EQ(VR_EnumUninstall(&state, user, sizeof user, stored, sizeof stored, 1), kNoMore);
    state = 0;
    EXPECT_EQ(VR_EnumUninstall(&state, user, sizeof user, stored, 6, 1), kBufferTooSmall);
    EXPECT_STREQ(user, "");
}

TEST_F(VersionRegistry, ProductPackagesAndTheirSharedFiles) {
    // Without VR_CreateRegistry the lists belong to the product the registry names.
    ASSERT_EQ(VR_UninstallCreateNode("", "Nameless"), kOk);
    ASSERT_EQ(VR_UninstallCreateNode("tools", "Tools"), kOk);
    RKEY k = 0;
    EXPECT_EQ(NR_RegGetKey(file(), kKeyPrivateArenas,
                           "Tidewell/Correspondia/SoftwareUpdate/Uninstall/Correspondia/tools", &k),
              kOk);
    REGENUM state = 0;
    char user[64] = {}, stored[64] = {};
    ASSERT_EQ(VR_EnumUninstall(&state, user, sizeof user, stored, sizeof stored, 0), kOk);
    EXPECT_STREQ(stored, "tools");
    EXPECT_STREQ(user, "Tools");
    EXPECT_EQ(VR_EnumUninstall(&state, user, sizeof user, stored, sizeof stored, 0),
              kNoMore); // "_" passed over

    ASSERT_EQ(VR_UninstallAddFileToList("tools", "C:\\a.dll"), kOk);
    ASSERT_EQ(VR_UninstallAddFileToList("tools", "C:\\b.dll"), kOk);
    EXPECT_EQ(VR_UninstallFileExistsInList("tools", "c:\\A.DLL"), kOk);
    EXPECT_EQ(VR_UninstallFileExistsInList("tools", "C:\\c.dll"), kNotFound);
    std::vector<std::string> files;
    REGENUM fileState = 0;
    char buffer[64];
    while (VR_UninstallEnumSharedFiles("tools", &fileState, buffer, sizeof buffer) == kOk)
        files.push_back(buffer);
    EXPECT_EQ(files, (std::vector<std::string>{"C:\\b.dll", "C:\\a.dll"}));
    EXPECT_EQ(VR_UninstallDeleteFileFromList("tools", "C:\\a.dll"), kOk);
    EXPECT_EQ(VR_UninstallFileExistsInList("tools", "C:\\a.dll"), kNotFound);
    EXPECT_EQ(VR_UninstallDestroy("tools"), kFail); // "Shared Files" is still below it
    EXPECT_EQ(VR_UninstallDeleteSharedFilesKey("tools"), kOk);
    EXPECT_EQ(VR_UninstallDestroy("tools"), kOk);
    EXPECT_EQ(VR_GetUninstallUserName("tools", user, sizeof user), kNotFound);
}

TEST_F(VersionRegistry, UninstallListsFollowTheProductCreateRegistryChose) {
    ASSERT_EQ(VR_CreateRegistry("Nav", "C:\\Prog", nullptr), kOk);
    ASSERT_EQ(VR_UninstallCreateNode("tools", "Tools"), kOk);
    RKEY k = 0;
    EXPECT_EQ(NR_RegGetKey(file(), kKeyPrivateArenas,
                           "Tidewell/Correspondia/SoftwareUpdate/Uninstall/Nav/tools", &k),
              kOk);
    // A package name that would not fit the working buffer.
    std::string longName(300, 'p');
    EXPECT_EQ(VR_CreateRegistry(longName.c_str(), "C:\\Long", nullptr), kOk);
    EXPECT_EQ(VR_UninstallCreateNode("x", "X"), kBufferTooSmall);
}

TEST_F(VersionRegistry, ShutdownClosesTheVersionRegistry) {
    ASSERT_EQ(NR_StartupRegistry(), kOk);
    ASSERT_EQ(VR_InRegistry("/Tidewell"), kOk);
    EXPECT_EQ(regFiles.openFiles, 1);
    ASSERT_EQ(NR_ShutdownRegistry(), kOk);
    EXPECT_EQ(regFiles.openFiles, 0);
    // The next call opens it again.
    EXPECT_EQ(VR_InRegistry("/Tidewell/Correspondia"), kOk);
    EXPECT_EQ(VR_SetRegDirectory(nullptr), kBadParameter);
    EXPECT_EQ(VR_SetRegDirectory("C:\\Windows"), kOk);
}

} // namespace
