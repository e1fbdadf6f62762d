// What the companion-software code needs of the machine beyond ports.h: the COM class
// registrations, file version resources, a detached process with a bounded wait, the
// shell's common application-data folder, a shared read-write file and the network probe.
// Folders are made, and the administrator test reads the token, through the system checks'
// ports (ports_checks.h).
//
// One port, held by Machine as `companions`. Nothing here includes <windows.h>.
#pragma once

#include "platform/ports.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace zov {

// The two version double words of a version resource's fixed file information.
struct FileVersionWords {
    std::uint32_t mostSignificant = 0;  // major in the high word, minor in the low word
    std::uint32_t leastSignificant = 0; // build in the high word, revision in the low word
};

// A file opened for reading and appending while others may still read it.
class SharedFile {
  public:
    virtual ~SharedFile() = default;
    // The file's size; nullopt when it cannot be read.
    virtual std::optional<std::uint64_t> size() = 0;
    // Reads up to `size` bytes at `offset`; the count read, 0 at the end or on failure.
    virtual std::size_t read(std::uint64_t offset, void* buffer, std::size_t size) = 0;
    // Writes the bytes after the current end of the file; true when all of them went.
    virtual bool append(const void* data, std::size_t size) = 0;
};

class CompanionSystem {
  public:
    virtual ~CompanionSystem() = default;

    // HKEY_CLASSES_ROOT: does the key open (for reading)?
    virtual bool classKeyExists(const std::string& key) = 0;
    // HKEY_CLASSES_ROOT: the default value of a key, read into a buffer of maxBytes.
    virtual std::optional<std::string> classKeyDefault(const std::string& key, std::size_t maxBytes) = 0;

    // The fixed file information of a file's version resource; nullopt without one.
    virtual std::optional<FileVersionWords> fileVersion(const std::string& path) = 0;

    // CreateProcessA: handles not inherited, DETACHED_PROCESS, shown normally. An empty
    // handle when it could not start.
    virtual ProcessHandle startDetached(const ProcessStart& what) = 0;
    // Waits for the process to end, at most the given time. True when it ended.
    virtual bool waitForExit(const ProcessHandle& process, std::uint32_t milliseconds) = 0;

    // SHGetFolderPathA with the common application-data folder id (35), looked up in
    // "shfolder.dll" or, when that cannot be loaded, in "shell32.dll". Nullopt on failure.
    virtual std::optional<std::string> commonAppDataFolder() = 0;

    // Opens, or creates, a file for reading and writing, sharing reads. Null on failure
    // (the last error tells why).
    virtual std::unique_ptr<SharedFile> openShared(const std::string& path) = 0;

    // "SENSAPI.DLL" IsNetworkAlive: true when a working network connection is reported;
    // false also when the library or its function is missing.
    virtual bool networkAlive() = 0;
};

} // namespace zov
