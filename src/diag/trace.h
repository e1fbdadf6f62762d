// The trace line stream to an external "Trace Monitor" window.
//
// Decided once at start-up: with no viewer present every call costs one test of on().
// Callers test on() before formatting, as the format work is the expensive part.
#pragma once

#include "platform/ports.h"

#include <cstdint>
#include <string>

namespace zov {

class Trace {
  public:
    static constexpr std::size_t kLineBuffer = 1024;     // formatted lines: at most 1023 characters
    static constexpr std::size_t kLastErrorBuffer = 256; // the last-error line: at most 255

    Trace(TraceTransport& wire, Clock& clock, SystemInfo& system)
        : wire_(wire), clock_(clock), system_(system) {}

    // TraceStart: finds the viewer; when there is one, makes the sender window (unless given).
    void start(WindowHandle sender = 0);
    bool on() const { return monitor_ != 0; }

    void line(const std::string& text); // TraceLine
    // Trace: printf-style, cut to the 1024-byte buffer. Returns 0 when tracing is off.
    int printf(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void time();      // TraceTime
    void lastError(); // TraceLastError with the calling thread's error
    void lastError(std::uint32_t code);
    void assertion(bool condition, const char* expression, const char* sourceFile, int lineNumber);

    // The pure pieces, exposed for tests.
    static std::string timeStamp(const CalendarTime& local);
    static std::string shortSourceName(const std::string& file);
    static std::string lastErrorLine(std::uint32_t code, const std::string& systemText);

  private:
    TraceTransport& wire_;
    Clock& clock_;
    SystemInfo& system_;
    WindowHandle monitor_ = 0;
    WindowHandle sender_ = 0;
};

} // namespace zov
