// The programs that run from a CD, a download folder or the install folder look for no
// system library there: a file of that name could have been left by anyone.
#pragma once

#include <windows.h>

namespace zov::tools {

// The first thing each WinMain does. Both functions are looked up: older systems lack them.
inline void restrictLibrarySearch() {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    using SetDllDirectoryFn = BOOL(WINAPI*)(LPCSTR);
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    auto setDllDirectory = reinterpret_cast<SetDllDirectoryFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(kernel, "SetDllDirectoryA")));
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (setDllDirectory != nullptr)
        setDllDirectory("");
    if (setDefault != nullptr)
        setDefault(0x00000800); // LOAD_LIBRARY_SEARCH_SYSTEM32
}

} // namespace zov::tools
