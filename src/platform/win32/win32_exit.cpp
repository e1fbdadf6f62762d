// The one way out of the process.

#include "platform/win32/win32_ports.h"

#include <cstdlib>

namespace zov::win32 {

void Win32ProcessExit::exit(std::uint32_t code) {
    // The runtime's normal exit: static destructors run and open files are flushed. The
    // exit code travels as the same 32 bits.
    std::exit(static_cast<int>(code));
}

} // namespace zov::win32
