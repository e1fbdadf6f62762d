// What several Win32 ports need alike: registry keys and reads, system libraries, shell
// folders and the conversion of the system's times.
#pragma once

#include "platform/ports.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zov::win32 {

HKEY rootKey(RegRoot root);

// An open registry key, closed on every path out.
class RegistryKey {
  public:
    RegistryKey() = default;
    RegistryKey(HKEY root, const std::string& name, REGSAM access);
    ~RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // Creates the key or opens it with full access.
    bool create(HKEY root, const std::string& name);
    explicit operator bool() const { return key_ != nullptr; }
    HKEY get() const { return key_; }

  private:
    HKEY key_ = nullptr;
};

// A value read into a buffer of maxBytes: its type, the byte count the system reported and
// the data up to its first NUL within what was read. An empty value name reads the key's
// default value. Nullopt when maxBytes is 0 or beyond 2 GB, the key does not open or the
// query fails.
struct RegistryValue {
    DWORD type = REG_NONE;
    DWORD size = 0;
    std::string text;
};
std::optional<RegistryValue> readRegistryValue(HKEY root, const std::string& key, const std::string& value,
                                               std::size_t maxBytes);

// The first thing WinMain does: the current folder leaves the library search and, where the
// system can be told so, every library looked for by name comes from the system folder
// (setup.exe runs elevated from CDs and download folders, where anyone may leave a file
// named like a system library).
void restrictLibrarySearch();

// Runs the work on a thread of its own; the handle is the caller's to wait for and close.
// When no thread can be made the work runs here and now, and null is returned. (Plain
// CreateThread rather than std::thread: the toolchain's thread library would tie the program
// to newer systems than it runs on.)
HANDLE startWorker(std::function<void()> work);

// A lock between threads (for the same reason a critical section, not std::mutex).
class CriticalSection {
  public:
    CriticalSection() { InitializeCriticalSection(&section_); }
    ~CriticalSection() { DeleteCriticalSection(&section_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    // Holds the lock for its own life.
    class Hold {
      public:
        explicit Hold(CriticalSection& lock) : lock_(lock) { EnterCriticalSection(&lock_.section_); }
        ~Hold() { LeaveCriticalSection(&lock_.section_); }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

      private:
        CriticalSection& lock_;
    };

  private:
    CRITICAL_SECTION section_;
};

// A system library by its full path: the program's folder (a download folder, a CD) never
// supplies one, nor one of its own imports. Null when it cannot be loaded. Uses no heap:
// the crash filter loads its debug-help library through here.
HMODULE loadSystemLibrary(const char* name);

// SHGetFolderPathA with a folder id, from shfolder.dll or else shell32.dll; nullopt when
// neither has it or it fails.
std::optional<std::string> shellFolderPath(int folder);

// A file's version resource, read through "version.dll" (looked up at run time: it is no
// library the system always takes from its own folder, so it is not imported).
class VersionResource {
  public:
    explicit VersionResource(const std::string& path);
    explicit operator bool() const { return !data_.empty(); }
    // VerQueryValueA: a value inside the resource and its length; false when it is absent.
    bool query(const char* subBlock, void*& value, UINT& length);

  private:
    std::vector<unsigned char> data_;
};

CalendarTime calendarOf(const SYSTEMTIME& time);
// Seconds since 1970 (0 for anything earlier).
std::uint64_t unixSecondsOf(const FILETIME& time);

} // namespace zov::win32
