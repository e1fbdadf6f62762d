// The ports the client discovery needs beyond ports.h: reading files without ever writing
// them, listing folders, and the few shell and registry calls of the scanner.
//
// No <windows.h> here either: src/platform/win32/win32_discovery.cpp implements them with
// the real API, tests/sim/sim_discovery.cpp over the simulated machine.
#pragma once

#include "platform/ports.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zov {

// A file opened for reading only. Reads are positioned and unbuffered: every call is one
// read of the system, so a reader that wants a header reads exactly a header.
class InputFile {
  public:
    virtual ~InputFile() = default;
    // Reads up to size bytes at offset; returns how many arrived (0 at or past the end, or
    // on failure).
    virtual std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t size) = 0;
};

// One entry of a folder listing, as the system returns it.
struct FolderEntry {
    std::string name;
    bool directory = false;
    // A junction or symbolic link: the disk search never follows one, so a link back up the
    // tree cannot make it run for ever.
    bool link = false;
};

// What the database reader needs: files to read and folders to list.
class ReadOnlyFiles {
  public:
    virtual ~ReadOnlyFiles() = default;
    // Null when the file cannot be opened for reading (missing, a folder, locked).
    virtual std::unique_ptr<InputFile> openRead(const std::string& path) = 0;
    // Every entry of "<folder>\*.*" ("." and ".." included, as the system lists them), in the
    // order the file system returns them; nullopt when the folder cannot be listed.
    virtual std::optional<std::vector<FolderEntry>> listFolder(const std::string& folder) = 0;
};

// The rest of what the client scanner asks of the machine.
class DiscoveryPorts : public ReadOnlyFiles {
  public:
    // Last write time of a file in seconds since 1970 (UTC); nullopt when it cannot be read.
    virtual std::optional<std::uint64_t> modificationTime(const std::string& path) = 0;
    // GetLongPathNameA, looked up in kernel32 at run time: nullopt when the system does not
    // offer it or it fails.
    virtual std::optional<std::string> longPathName(const std::string& path) = 0;
    // The all-users application-data folder (SHGetFolderPathA, folder 35, from shfolder.dll,
    // else shell32.dll); nullopt when neither answers.
    virtual std::optional<std::string> commonAppDataFolder() = 0;
    // A value read with its type and the byte count the system reported, into a buffer of
    // maxBytes (RegQueryValueExA); nullopt when the key does not open or the query fails.
    struct RegistryValue {
        std::uint32_t type = 0; // REG_* number: 1 is REG_SZ
        std::uint32_t size = 0;
        std::string text; // the data up to its first NUL
    };
    virtual std::optional<RegistryValue> queryRegistryValue(RegRoot root, const std::string& key,
                                                            const std::string& value,
                                                            std::size_t maxBytes) = 0;
    // Creates or opens a key with full access and sets a REG_SZ value ("" names the default
    // value). False when the key cannot be opened or the value cannot be set.
    virtual bool setRegistryString(RegRoot root, const std::string& key, const std::string& value,
                                   const std::string& text) = 0;
    // The value names of a key in enumeration order, each at most 259 characters (longer
    // names end the enumeration, as a failed RegEnumValueA does); nullopt when the key does
    // not open for reading.
    virtual std::optional<std::vector<std::string>> registryValueNames(RegRoot root,
                                                                       const std::string& key) = 0;
    // A time in seconds since 1970 as local calendar time; nullopt when it cannot be converted.
    virtual std::optional<CalendarTime> localTime(std::uint64_t unixSeconds) = 0;
    // Test builds only (ZOV_TEST_HOOKS): the file named by ZOV_TEST_DISK_SCAN, into which the
    // setup writes the client list of a disk search it runs at start-up. The upgrade page that
    // asks for that search is not part of an unattended run; the end-to-end tests need it.
    virtual std::optional<std::string> diskScanListFile() = 0;
    // The date formatted with a date picture (GetDateFormatA for the thread's locale);
    // nullopt when the system refuses the picture.
    virtual std::optional<std::string> formatDate(const CalendarTime& date, const std::string& picture) = 0;
};

} // namespace zov
