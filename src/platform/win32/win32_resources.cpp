// The string table and the binary resources carried by the program.

#include "platform/win32/win32_ports.h"

#include <cstdio>

namespace zov::win32 {
namespace {

constexpr int kStringBuffer = 1024; // texts of at most 1023 characters
constexpr unsigned kLargestId = 0xFFFF;

} // namespace

std::string Win32StringTable::get(unsigned id) {
    if (id > kLargestId)
        return {};
    char text[kStringBuffer] = {};
#ifdef ZOV_TEST_HOOKS
    // Test builds only: ZOV_TEST_STRING_<id> stands for an entry, so that a test can reach
    // what a shipped setting switches off (1403, the optional features).
    char name[32];
    std::snprintf(name, sizeof name, "ZOV_TEST_STRING_%u", id);
    DWORD set = GetEnvironmentVariableA(name, text, kStringBuffer);
    if (set > 0 && set < static_cast<DWORD>(kStringBuffer))
        return std::string(text, set);
#endif
    int length = LoadStringA(instance_, id, text, kStringBuffer);
    if (length <= 0)
        return {};
    return std::string(text, static_cast<std::size_t>(length < kStringBuffer ? length : kStringBuffer - 1));
}

HRSRC Win32Resources::locate(unsigned id) {
    if (id == 0 || id > kLargestId)
        return nullptr;
    return FindResourceA(instance_, MAKEINTRESOURCEA(id), "BINARY");
}

bool Win32Resources::find(unsigned id) {
    return locate(id) != nullptr;
}

std::size_t Win32Resources::size(unsigned id) {
    HRSRC resource = locate(id);
    return resource != nullptr ? SizeofResource(instance_, resource) : 0;
}

const std::uint8_t* Win32Resources::load(unsigned id, bool& loadFailed) {
    loadFailed = false;
    HRSRC resource = locate(id);
    HGLOBAL loaded = resource != nullptr ? LoadResource(instance_, resource) : nullptr;
    if (loaded == nullptr) {
        loadFailed = true;
        return nullptr;
    }
    return static_cast<const std::uint8_t*>(LockResource(loaded));
}

} // namespace zov::win32
