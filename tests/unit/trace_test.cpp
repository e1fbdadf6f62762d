#include "diag/trace.h"

#include "sim/sim_machine.h"

#include <gtest/gtest.h>

#include <string>

using zov::CalendarTime;
using zov::Trace;
using zov::sim::SimMachine;

namespace {

constexpr zov::WindowHandle kMonitor = 0x4242;

struct TraceWire : ::testing::Test {
    SimMachine m;
    Trace trace{m.traceWire, m.clock, m.system};

    void startWithMonitor() {
        m.traceWire.monitor = kMonitor;
        trace.start();
    }
    std::string lastLine() const { return m.traceWire.lines.empty() ? "" : m.traceWire.lines.back().text; }
};

} // namespace

TEST_F(TraceWire, NoMonitorMeansNoSenderAndNothingSent) {
    trace.start();
    EXPECT_FALSE(trace.on());
    EXPECT_EQ(trace.printf("x %d", 1), 0);
    trace.line("direct");
    trace.time();
    trace.lastError(5);
    trace.assertion(false, "FALSE", "install", 514);
    EXPECT_EQ(m.traceWire.sendersCreated, 0);
    EXPECT_EQ(m.traceWire.sendCalls, 0);
}

TEST_F(TraceWire, FirstLineGoesOutBeforeTheSenderIsKnown) {
    startWithMonitor();
    ASSERT_TRUE(trace.on());
    trace.printf("Tracing %s", "Started");
    ASSERT_EQ(m.traceWire.lines.size(), 2u);
    EXPECT_EQ(m.traceWire.lines[0].text, "Tracer Sender Window Created");
    EXPECT_EQ(m.traceWire.lines[0].sender, 0);
    EXPECT_EQ(m.traceWire.lines[1].text, "Tracing Started");
    EXPECT_EQ(m.traceWire.lines[1].sender, m.traceWire.sender);

    trace.start(); // once a sender is recorded, start does nothing
    EXPECT_EQ(m.traceWire.sendersCreated, 1);
    EXPECT_EQ(m.traceWire.lines.size(), 2u);
}

TEST_F(TraceWire, GivenSenderIsUsedWithoutCreatedLine) {
    m.traceWire.monitor = kMonitor;
    trace.start(0x999);
    trace.line("a");
    EXPECT_EQ(m.traceWire.sendersCreated, 0);
    ASSERT_EQ(m.traceWire.lines.size(), 1u);
    EXPECT_EQ(m.traceWire.lines[0].sender, 0x999);
}

TEST_F(TraceWire, SenderThatCannotBeMadeLeavesTracingOnWithoutIt) {
    m.traceWire.senderFails = true;
    startWithMonitor();
    trace.line("a");
    ASSERT_EQ(m.traceWire.lines.size(), 1u);
    EXPECT_EQ(m.traceWire.lines[0].sender, 0);
}

TEST_F(TraceWire, FormattedLinesHoldAtMost1023Characters) {
    startWithMonitor();
    const std::string exact(1023, 'e');
    EXPECT_EQ(trace.printf("%s", exact.c_str()), 1023);
    EXPECT_EQ(lastLine(), exact);

    const std::string longer(1500, 'l');
    trace.printf("%s", longer.c_str());
    EXPECT_EQ(lastLine(), std::string(1023, 'l'));

    trace.line(longer); // an unformatted line goes as it is
    EXPECT_EQ(lastLine(), longer);
}

TEST_F(TraceWire, AssertionLine) {
    startWithMonitor();
    trace.assertion(true, "TRUE", "install", 1);
    EXPECT_EQ(m.traceWire.lines.size(), 1u); // only the created line
    trace.assertion(false, "FALSE", "install", 514);
    EXPECT_EQ(lastLine(), "ASSERT FAILED in install line 514  -->> 'FALSE'");
    trace.assertion(false, "gAbort == FALSE", "C:\\src\\app\\install", 2594);
    EXPECT_EQ(lastLine(), "ASSERT FAILED in app\\install line 2594  -->> 'gAbort == FALSE'");
}

TEST(TraceNames, ShortSourceNameKeepsLastFolderAndFile) {
    EXPECT_EQ(Trace::shortSourceName("install"), "install");
    EXPECT_EQ(Trace::shortSourceName("app\\install.cpp"), "app\\install.cpp");
    EXPECT_EQ(Trace::shortSourceName("d:\\build\\src\\app\\install.cpp"), "app\\install.cpp");
    EXPECT_EQ(Trace::shortSourceName("\\install.cpp"), "\\install.cpp");
    EXPECT_EQ(Trace::shortSourceName("\\\\x"), "\\x");
}

TEST_F(TraceWire, LastErrorLine) {
    startWithMonitor();
    m.system.errorTexts[77] = "100% %s %n failed\r\n";
    m.system.error = 77;
    trace.lastError();
    EXPECT_EQ(lastLine(), "Last Error: 77-100% %s %n failed\r\n");

    trace.lastError(1234); // no system text
    EXPECT_EQ(lastLine(), "Last Error: 1234-");

    // A code with the high bit set reads as the signed 32-bit number, as on Windows.
    EXPECT_EQ(Trace::lastErrorLine(0x80070005u, ""), "Last Error: -2147024891-");
    EXPECT_EQ(Trace::lastErrorLine(5, std::string(400, 'x')).size(), 255u);
}

TEST_F(TraceWire, TimeStamp) {
    CalendarTime t;
    t.year = 2026;
    t.month = 3;
    t.day = 2;
    t.hour = 2;
    t.minute = 23;
    t.second = 49;
    t.milliseconds = 5;
    t.weekday = 1;
    EXPECT_EQ(Trace::timeStamp(t), "Mon Mar  2 02:23:49.5 2026");
    t.day = 28;
    t.month = 12;
    t.weekday = 0;
    t.milliseconds = 999;
    EXPECT_EQ(Trace::timeStamp(t), "Sun Dec 28 02:23:49.999 2026");

    // Through the clock: local time of the machine.
    m.clock.setUtc(2026, 3, 2, 1, 23, 49, 5);
    m.clock.utcOffsetSeconds = 3600;
    startWithMonitor();
    trace.time();
    EXPECT_EQ(lastLine(), "Mon Mar  2 02:23:49.5 2026");
}

TEST_F(TraceWire, ViewerThatStopsAnsweringTurnsTracingOff) {
    m.traceWire.answerLines = 3; // the created line and two more
    startWithMonitor();
    for (int i = 1; i <= 5; ++i)
        trace.printf("line %d", i);
    EXPECT_FALSE(trace.on());
    ASSERT_EQ(m.traceWire.lines.size(), 3u);
    EXPECT_EQ(m.traceWire.lines[1].text, "line 1");
    EXPECT_EQ(m.traceWire.lines[2].text, "line 2");
    EXPECT_EQ(m.traceWire.sendCalls, 4); // nothing tried after the unanswered line
}
