// The client registry library: a binary registry file of named keys holding named entries
// (the NR_ functions), and the version registry kept in one such file (the VR_ functions).
//
// These are the functions setup.exe exports by name (src/main/registry_exports.cpp wraps
// each in the exported calling convention). They return error codes, never throw, keep no
// static objects that need constructing, and allocate with malloc: other modules may call
// them through an image whose start-up code never ran.
#pragma once

#include <cstdint>

namespace zov::reg {

using REGERR = std::int32_t;
using RKEY = std::uint32_t;    // a descriptor offset, or one of the key codes below
using REGENUM = std::uint32_t; // enumeration state: the offset of the last node returned
using HREG = void*;            // registry handle

// Caller's record for entry information.
struct REGINFO {
    std::uint16_t size; // 8
    std::uint16_t entryType;
    std::uint32_t entryLength;
};

// Caller's record for a component version.
struct VERSION {
    std::int32_t major;
    std::int32_t minor;
    std::int32_t release;
    std::int32_t build;
    std::int32_t check; // always 0
};

// Error codes.
constexpr REGERR kOk = 0;
constexpr REGERR kFail = 1;
constexpr REGERR kNoMore = 2;
constexpr REGERR kNotFound = 3;
constexpr REGERR kShortRead = 4;
constexpr REGERR kBadLocation = 5;
constexpr REGERR kBadParameter = 6;
constexpr REGERR kBadMagic = 7;
constexpr REGERR kNoFile = 9;
constexpr REGERR kNoMemory = 10;
constexpr REGERR kBufferTooSmall = 11;
constexpr REGERR kTooLong = 12;
constexpr REGERR kBadVersion = 13;
constexpr REGERR kDeleted = 14;
constexpr REGERR kWrongType = 15;
constexpr REGERR kNoPath = 16; // version registry: the component has no "Path"
constexpr REGERR kBadName = 17;
constexpr REGERR kReadOnly = 18;
constexpr REGERR kBadUtf8 = 19;

// Key codes.
constexpr RKEY kKeyUsers = 1;
constexpr RKEY kKeyCommon = 2;
constexpr RKEY kKeyPrivateArenas = 4;
constexpr RKEY kKeyRoot = 32;
constexpr RKEY kKeyVersions = 33;

// Node types.
constexpr std::uint16_t kTypeKey = 0x01;
constexpr std::uint16_t kTypeEntry = 0x10;
constexpr std::uint16_t kTypeString = 0x11;
constexpr std::uint16_t kTypeInt32Array = 0x12;
constexpr std::uint16_t kTypeBytes = 0x13;
constexpr std::uint16_t kTypeFile = 0x14;
constexpr std::uint16_t kTypeDeleted = 0x80;

// Sub-key enumeration styles.
constexpr std::uint32_t kEnumChildren = 0;
constexpr std::uint32_t kEnumDescend = 1;    // parents before children
constexpr std::uint32_t kEnumDepthFirst = 2; // children before parents

REGERR NR_StartupRegistry();
REGERR NR_ShutdownRegistry();
REGERR NR_RegOpen(const char* filename, HREG* hReg);
REGERR NR_RegClose(HREG hReg);
REGERR NR_RegGetUsername(char** name);
REGERR NR_RegSetUsername(const char* name);
REGERR NR_RegIsWritable(HREG hReg);
REGERR NR_RegAddKey(HREG hReg, RKEY key, const char* path, RKEY* newKey);
REGERR NR_RegAddKeyRaw(HREG hReg, RKEY key, const char* name, RKEY* newKey);
REGERR NR_RegDeleteKey(HREG hReg, RKEY key, const char* path);
REGERR NR_RegDeleteKeyRaw(HREG hReg, RKEY key, const char* name);
REGERR NR_RegGetKey(HREG hReg, RKEY key, const char* path, RKEY* result);
REGERR NR_RegGetKeyRaw(HREG hReg, RKEY key, const char* name, RKEY* result);
REGERR NR_RegGetEntryInfo(HREG hReg, RKEY key, const char* name, REGINFO* info);
REGERR NR_RegGetEntryString(HREG hReg, RKEY key, const char* name, char* buffer, std::uint32_t bufferSize);
REGERR NR_RegGetEntry(HREG hReg, RKEY key, const char* name, void* buffer, std::uint32_t* size);
REGERR NR_RegSetEntryString(HREG hReg, RKEY key, const char* name, const char* text);
REGERR NR_RegSetEntry(HREG hReg, RKEY key, const char* name, std::uint16_t type, const void* buffer,
                      std::uint32_t size);
REGERR NR_RegDeleteEntry(HREG hReg, RKEY key, const char* name);
REGERR NR_RegEnumSubkeys(HREG hReg, RKEY key, REGENUM* state, char* buffer, std::uint32_t bufferSize,
                         std::uint32_t style);
REGERR NR_RegEnumEntries(HREG hReg, RKEY key, REGENUM* state, char* buffer, std::uint32_t bufferSize,
                         REGINFO* info);

REGERR VR_CreateRegistry(const char* installation, const char* programFolder, const char* version);
REGERR VR_Close();
REGERR VR_GetVersion(const char* component, VERSION* result);
REGERR VR_GetPath(const char* component, std::uint32_t bufferSize, char* buffer);
REGERR VR_SetDefaultDirectory(const char* component, const char* directory);
REGERR VR_GetDefaultDirectory(const char* component, std::uint32_t bufferSize, char* buffer);
REGERR VR_Install(const char* component, const char* location, const char* version, int isDirectory);
REGERR VR_Remove(const char* component);
REGERR VR_Enum(const char* component, REGENUM* state, char* buffer, std::uint32_t bufferSize);
REGERR VR_InRegistry(const char* component);
REGERR VR_ValidateComponent(const char* component);
REGERR VR_SetRegDirectory(const char* folder);
REGERR VR_SetRefCount(const char* component, int count);
REGERR VR_GetRefCount(const char* component, int* count);
REGERR VR_UninstallCreateNode(const char* package, const char* userName);
REGERR VR_GetUninstallUserName(const char* package, char* buffer, std::uint32_t bufferSize);
REGERR VR_UninstallAddFileToList(const char* package, const char* file);
REGERR VR_UninstallFileExistsInList(const char* package, const char* file);
REGERR VR_UninstallEnumSharedFiles(const char* package, REGENUM* state, char* buffer,
                                   std::uint32_t bufferSize);
REGERR VR_UninstallDeleteFileFromList(const char* package, const char* file);
REGERR VR_UninstallDeleteSharedFilesKey(const char* package);
REGERR VR_UninstallDestroy(const char* package);
REGERR VR_EnumUninstall(REGENUM* state, char* userName, std::int32_t userNameSize, char* package,
                        std::int32_t packageSize, int shared);

} // namespace zov::reg
