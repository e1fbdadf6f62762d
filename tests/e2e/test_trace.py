"""The trace stream as the "Trace Monitor" receives it, and runs whose monitor misbehaves."""

import os
import unittest

from harness import TIME_STAMP, SetupTestCase, TraceCapture, is_subsequence, missing_from_subsequence


def time_stamp(line):
    return bool(TIME_STAMP.match(line))


def retry_icon_line(line):
    return line in ("ok", "Retry icon skipped")


STARTUP_STAGES = [
    "",
    "Tracing Started",
    "Creating main frame window...",
    time_stamp,
    "FrameWindow Created",
    time_stamp,
    "Initializing installer...",
    "installer inited",
    retry_icon_line,
    "Running system checks:",
    "System checks complete",
    "Running post-installation...",
    "Exiting...",
    "Exiting, 0",
    time_stamp,
]


class TraceLines(SetupTestCase):
    def test_start_up_stages_are_traced_in_order(self):
        trace = TraceCapture(self.prefix).start()
        result = self.setup_exe("/s")
        lines = trace.stop()
        self.assertExit(result, 0)
        self.assertTrue(
            is_subsequence(STARTUP_STAGES, lines),
            "missing or out of order: %r\ntrace:\n%s" % (missing_from_subsequence(STARTUP_STAGES, lines), "\n".join(lines)),
        )
        created = [n for n, line in enumerate(lines) if line == "Creating retry icon..."]
        skipped = "Retry icon skipped" in lines
        self.assertTrue(created or skipped, "neither the retry icon nor its skipping was traced")
        if created:
            self.assertEqual(lines[created[0] + 1], "ok")
        ending = [line for line in lines if line.strip()]
        self.assertEqual(ending[-2], "Exiting, 0")
        self.assertTrue(time_stamp(ending[-1]), "last line is not a time stamp: %r" % ending[-1])

    def test_a_failed_engine_start_traces_its_own_error(self):
        os.unlink(self.prefix.c("cd/comp01.000"))
        trace = TraceCapture(self.prefix).start()
        result = self.setup_exe("/s")
        lines = trace.stop()
        self.assertExit(result, 2)
        failed = lines.index("CScript::Execute() -- CreateProcess() failed for file C:\\cd\\comp01.000")
        self.assertTrue(lines[failed + 1].startswith("Last Error: 2-"), "traced: %r" % lines[failed + 1])


class MisbehavingMonitor(SetupTestCase):
    """Every trace line is a synchronous message to the monitor: a monitor that goes away or
    stops answering must not take the install down or hold it forever."""

    def run_with_monitor(self, *monitor_args):
        TraceCapture(self.prefix, monitor_args).start()
        result = self.setup_exe("/s", timeout=90)
        self.assertExit(result, 0)
        self.assertLess(result.seconds, 60, "setup took %.0f s with a misbehaving monitor" % result.seconds)

    def test_monitor_that_closes_mid_run(self):
        self.run_with_monitor("-exit-after", "5")

    def test_monitor_that_stops_answering(self):
        self.run_with_monitor("-hang-after", "5")


if __name__ == "__main__":
    unittest.main()
