"""errstack.rpt after setup.exe crashes. The test build crashes on purpose when ZOV_TEST_CRASH
names a crash (src/diag/win32/crash_handler.h); release builds have no such switch."""

import os
import re
import struct
import unittest

from harness import CD_IMAGE, SetupTestCase, read_ini, read_text, windows_path

DIVIDE_BY_ZERO = 0xC0000094
ACCESS_VIOLATION = 0xC0000005
MODULE_LINE = re.compile(r"^[0-9A-F]{4}:[0-9A-F]{8}( |$)")
NO_DEBUG_HELP = {"ZOV_TEST_CRASH_NO_DEBUGHELP": "1"}


def code_section_number(path):
    """The number (from 1) of the ".text" section of a PE file, read from its section table."""
    with open(path, "rb") as f:
        data = f.read(4096)
    nt = struct.unpack_from("<I", data, 0x3C)[0]
    count, = struct.unpack_from("<H", data, nt + 6)
    optional_size, = struct.unpack_from("<H", data, nt + 20)
    table = nt + 24 + optional_size
    for n in range(count):
        if data[table + 40 * n : table + 40 * n + 8].rstrip(b"\0") == b".text":
            return n + 1
    raise AssertionError("no .text section in %s" % path)


class CrashReport(SetupTestCase):
    def crash(self, kind, extra=None, timeout=90):
        env = {"ZOV_TEST_CRASH": kind}
        env.update(extra or {})
        return self.setup_exe("/s", timeout=timeout, extra_env=env)

    def report(self):
        """The [GPF] keys in file order, or None without a report."""
        path = os.path.join(self.prefix.temp_dir, "errstack.rpt")
        if not os.path.exists(path):
            return None
        sections = read_ini(path)
        self.assertEqual([name for name, _ in sections], ["GPF"], read_text(path))
        return sections[0][1]

    def stack(self, keys):
        lines = [(k, v) for k, v in keys if k.startswith("s")]
        self.assertEqual([k for k, _ in lines], ["s%d" % n for n in range(1, len(lines) + 1)])
        return [v for _, v in lines]

    def assertHeader(self, keys, code, name):
        values = dict(keys)
        self.assertEqual([k for k, _ in keys[:5]], ["ec", "et", "ad", "lad", "m"])
        self.assertEqual(values["ec"], "%08X" % code)
        self.assertEqual(values["et"], name)
        self.assertEqual(values["m"], "C:\\cd\\setup.exe")
        self.assertRegex(values["ad"], r"^[0-9A-F]{8,16}$")
        section = code_section_number(os.path.join(CD_IMAGE, "setup.exe"))
        self.assertRegex(values["lad"], r"^%02X:[0-9A-F]{8}$" % section)

    def test_divide_by_zero(self):
        result = self.crash("divide")
        self.assertFalse(result.timed_out)
        self.assertEqual(result.exit_code, DIVIDE_BY_ZERO)
        keys = self.report()
        self.assertHeader(keys, DIVIDE_BY_ZERO, "INT_DIVIDE_BY_ZERO")
        stack = self.stack(keys)
        self.assertGreaterEqual(len(stack), 3, stack)
        # With the debug-help library the frames of this program carry their names.
        self.assertTrue(stack[0].startswith("zov::win32::") and "divide+" in stack[0], stack)
        self.assertTrue(any(line.startswith("WinMain+") for line in stack), stack)

    def test_access_violation_then_a_second_crash_replaces_the_report(self):
        result = self.crash("access")
        self.assertEqual(result.exit_code, ACCESS_VIOLATION)
        first = self.report()
        self.assertHeader(first, ACCESS_VIOLATION, "ACCESS_VIOLATION")
        self.assertGreaterEqual(len(self.stack(first)), 3)

        # Without the debug-help library: fewer lines, each section:offset and module name.
        result = self.crash("divide", NO_DEBUG_HELP)
        self.assertEqual(result.exit_code, DIVIDE_BY_ZERO)
        second = self.report()
        self.assertHeader(second, DIVIDE_BY_ZERO, "INT_DIVIDE_BY_ZERO")
        stack = self.stack(second)
        self.assertLess(len(stack), len(self.stack(first)), "lines of the first crash are left: %r" % second)
        self.assertEqual(stack[0], "00%s setup.exe" % dict(second)["lad"])
        for line in stack:
            self.assertRegex(line, MODULE_LINE)

    def test_corrupted_frame_pointer_ends_the_walk(self):
        result = self.crash("badframe", NO_DEBUG_HELP)
        self.assertFalse(result.timed_out)
        self.assertLess(result.seconds, 60)
        self.assertEqual(result.exit_code, ACCESS_VIOLATION)
        keys = self.report()
        self.assertHeader(keys, ACCESS_VIOLATION, "ACCESS_VIOLATION")
        self.assertEqual(self.stack(keys), ["00%s setup.exe" % dict(keys)["lad"]])

    def test_fault_inside_the_crash_filter_does_not_hang(self):
        result = self.crash("filter")
        self.assertFalse(result.timed_out)
        self.assertLess(result.seconds, 60)
        self.assertEqual(result.exit_code, ACCESS_VIOLATION)
        self.assertHeader(self.report(), ACCESS_VIOLATION, "ACCESS_VIOLATION")

    def test_previous_filter_still_runs(self):
        log = os.path.join(self.prefix.work, "previous-filter.txt")
        result = self.crash("divide", dict(NO_DEBUG_HELP, ZOV_TEST_CRASH_PREVIOUS=windows_path(log)))
        self.assertEqual(result.exit_code, DIVIDE_BY_ZERO)
        self.assertEqual(read_text(log), "previous filter C0000094\r\n")
        self.assertHeader(self.report(), DIVIDE_BY_ZERO, "INT_DIVIDE_BY_ZERO")

    def test_crash_while_another_thread_holds_the_heap(self):
        # As a corrupted heap would be, the C runtime's heap is lost to the filter: a filter
        # that allocated would wait for ever.
        result = self.crash("heap", NO_DEBUG_HELP, timeout=30)
        self.assertFalse(result.timed_out)
        self.assertEqual(result.exit_code, ACCESS_VIOLATION)
        self.assertHeader(self.report(), ACCESS_VIOLATION, "ACCESS_VIOLATION")

    def test_crash_after_a_survived_one_is_reported_and_passed_on(self):
        log = os.path.join(self.prefix.work, "previous-filter.txt")
        result = self.crash("twice", dict(NO_DEBUG_HELP, ZOV_TEST_CRASH_PREVIOUS=windows_path(log)))
        self.assertEqual(result.exit_code, DIVIDE_BY_ZERO)
        self.assertEqual(read_text(log), "previous filter E0000001\r\nprevious filter C0000094\r\n")
        self.assertHeader(self.report(), DIVIDE_BY_ZERO, "INT_DIVIDE_BY_ZERO")

    def test_code_outside_the_table(self):
        result = self.crash("raise", NO_DEBUG_HELP)
        self.assertEqual(result.exit_code, 0xC0000017)
        values = dict(self.report())
        self.assertEqual(values["ec"], "C0000017")
        self.assertIn("et", values)
        self.assertNotIn("\n", values["et"])


if __name__ == "__main__":
    unittest.main()
