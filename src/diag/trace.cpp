#include "diag/trace.h"

#include <cstdarg>
#include <cstdio>

namespace zov {

void Trace::start(WindowHandle sender) {
    if (sender_ != 0)
        return;
    WindowHandle monitor = wire_.findMonitor();
    if (monitor == 0)
        return;
    monitor_ = monitor;
    if (sender != 0) {
        sender_ = sender;
        return;
    }
    WindowHandle created = wire_.createSender();
    if (created != 0) {
        // Goes out before the sender is recorded, so it carries wParam 0.
        line("Tracer Sender Window Created");
        sender_ = created;
    }
}

void Trace::line(const std::string& text) {
    if (monitor_ == 0)
        return;
    if (!wire_.send(monitor_, sender_, text))
        monitor_ = 0; // a viewer that stopped answering must not hold up the install
}

int Trace::printf(const char* format, ...) {
    if (!on())
        return 0;
    char buffer[kLineBuffer];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n < 0)
        return 0;
    line(buffer);
    return n;
}

std::string Trace::timeStamp(const CalendarTime& t) {
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    // The 24-character local-time text, then "%.19s.%hu %.4s".
    char text[64];
    std::snprintf(text, sizeof text, "%.3s %.3s%3u %.2u:%.2u:%.2u %u", kDays[t.weekday % 7],
                  kMonths[(t.month + 11) % 12], t.day, t.hour, t.minute, t.second, t.year);
    char out[64];
    std::snprintf(out, sizeof out, "%.19s.%hu %.4s", text, static_cast<unsigned short>(t.milliseconds),
                  text + 20);
    return out;
}

void Trace::time() {
    if (on())
        line(timeStamp(clock_.localNow()));
}

std::string Trace::lastErrorLine(std::uint32_t code, const std::string& systemText) {
    char buffer[kLastErrorBuffer];
    // "%ld" of a DWORD reads it as a signed 32-bit number on Windows (codes with the high
    // bit set come out negative); the same cast keeps the line identical on 64-bit longs.
    std::snprintf(buffer, sizeof buffer, "Last Error: %ld-%s",
                  static_cast<long>(static_cast<std::int32_t>(code)), systemText.c_str());
    return buffer;
}

void Trace::lastError() {
    lastError(system_.lastError());
}

void Trace::lastError(std::uint32_t code) {
    if (on())
        line(lastErrorLine(code, system_.errorText(code)));
}

std::string Trace::shortSourceName(const std::string& file) {
    std::size_t last = file.rfind('\\');
    if (last == std::string::npos || last == 0)
        return file;
    std::size_t previous = file.rfind('\\', last - 1);
    if (previous == std::string::npos)
        return file;
    return file.substr(previous + 1);
}

void Trace::assertion(bool condition, const char* expression, const char* sourceFile, int lineNumber) {
    if (condition || !on())
        return;
    printf("ASSERT FAILED in %s line %d  -->> '%s'", shortSourceName(sourceFile).c_str(), lineNumber,
           expression);
}

} // namespace zov
