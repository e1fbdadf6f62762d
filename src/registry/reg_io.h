// How the registry library reaches files and the Windows folder.
//
// A table of plain function pointers rather than an interface object: the exported
// functions may run in an image whose static constructors never ran, so the standard table
// is constant data. The standard table uses the C library's files (binary, unbuffered),
// which work with Windows paths inside setup.exe and with host paths natively. Tests
// install a table over the simulated disk, the fuzz target one over memory.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zov::reg {

struct IoFile; // the implementation's open file

enum class IoStatus { Ok, NotFound, AccessDenied, Failed };

struct FileOps {
    // Opens an existing file for reading and writing, or creates it. On failure the status
    // tells why: the path does not exist, access is denied, anything else.
    IoFile* (*openReadWrite)(const char* path, IoStatus* status);
    IoFile* (*openReadOnly)(const char* path, IoStatus* status);
    // Bytes read at the offset (fewer at the end of the file), or -1 on a read error.
    long (*readAt)(IoFile* file, std::uint32_t offset, void* data, std::uint32_t size);
    // True when every byte was written.
    bool (*writeAt)(IoFile* file, std::uint32_t offset, const void* data, std::uint32_t size);
    // The file's length; false when it cannot be told (or exceeds 32 bits).
    bool (*length)(IoFile* file, std::uint32_t* size);
    void (*close)(IoFile* file);
    // True when a file (not a folder) exists at the path.
    bool (*fileExists)(const char* path);
};

// The C library's files.
extern const FileOps kStdioFileOps;

// The table in use; null restores the standard one.
void setFileOps(const FileOps* ops);
const FileOps& fileOps();

// Fills the buffer with the Windows folder (no trailing backslash); false when unknown.
using WindowsFolderSource = bool (*)(char* buffer, std::size_t size);
// The host names where the Windows folder is; without one the default registry names
// ("mozregistry.dat", "nsreg.dat") are unknown.
void setWindowsFolderSource(WindowsFolderSource source);
bool windowsFolder(char* buffer, std::size_t size);

} // namespace zov::reg
