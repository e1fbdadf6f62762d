// The waits of the UI thread. Each one blocks on the message queue rather than sleeping, so a
// message sent by another process (the engine's progress module, a client's poll reply) is
// answered the moment it arrives, while the wait keeps its own pace.
#pragma once

#include "platform/ports.h"

namespace zov {

// Lets `milliseconds` pass on the clock, answering every message as it comes.
inline void pumpFor(WindowSystem& windows, Clock& clock, std::uint32_t milliseconds) {
    const std::uint32_t start = clock.tickCount();
    for (std::uint32_t elapsed = 0; elapsed < milliseconds; elapsed = clock.tickCount() - start) {
        windows.waitForMessage(milliseconds - elapsed, nullptr);
        windows.pumpMessages();
    }
}

// Pumps until `done` answers true; between passes the thread sleeps until a message comes.
template <typename Done> void pumpUntil(WindowSystem& windows, Done done) {
    windows.pumpMessages();
    while (!done()) {
        windows.waitForMessage(WindowSystem::kWaitForever, nullptr);
        windows.pumpMessages();
    }
}

} // namespace zov
