// What several Win32 ports need alike: registry keys and reads, system libraries, shell
// folders and the conversion of the system's times.
#pragma once

#include "platform/ports.h"

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

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

// A system library by its full path: the current folder (a download folder, a CD) never
// supplies one. Null when it cannot be loaded.
HMODULE loadSystemLibrary(const char* name);

// SHGetFolderPathA with a folder id, from shfolder.dll or else shell32.dll; nullopt when
// neither has it or it fails.
std::optional<std::string> shellFolderPath(int folder);

CalendarTime calendarOf(const SYSTEMTIME& time);
// Seconds since 1970 (0 for anything earlier).
std::uint64_t unixSecondsOf(const FILETIME& time);

} // namespace zov::win32
