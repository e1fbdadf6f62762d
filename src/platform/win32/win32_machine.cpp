#include "platform/win32/win32_machine.h"

namespace zov::win32 {

Win32Machine::Win32Machine(HINSTANCE instance)
    : instance_(instance), strings_(instance), resources_(instance) {}

zov::Machine Win32Machine::machine() {
    return zov::Machine{profile_, files_, system_,   registry_,  clock_,   windows_,   processes_, kernel_,
                        shell_,   power_, services_, traceWire_, strings_, resources_, exit_,
                        discovery_, checks_.ports(), companions_, browsers_};
}

} // namespace zov::win32
