"""The bench itself, against Windows' own programs: if these fail, no other e2e result can
be trusted."""

import os
import unittest

from harness import Display, WinePrefix, hive_value, is_subsequence, prefix_template


class Bench(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        prefix_template()
        cls.display = Display().start()

    @classmethod
    def tearDownClass(cls):
        cls.display.stop()

    def setUp(self):
        self.prefix = WinePrefix(self.display.name)
        self.addCleanup(self.prefix.close)

    def test_exit_codes_are_read_in_full(self):
        # A Unix parent would see 1602 as 66 and an access violation (0xC0000005) as 5.
        for code, expected in ((0, 0), (3, 3), (255, 255), (1602, 1602), (-1073741819, 0xC0000005)):
            with self.subTest(code=code):
                result = self.prefix.run("C:\\windows\\system32\\cmd.exe /c exit %d" % code)
                self.assertEqual(result.exit_code, expected)

    def test_command_line_and_environment_arrive_unchanged(self):
        # Quotes, blanks and a TEMP that Wine would never take from the Unix side.
        out = self.prefix.c("echo.txt")
        line = 'C:\\windows\\system32\\cmd.exe /c echo "a  b" %TEMP% > C:\\echo.txt'
        result = self.prefix.run(line, child_env={"TEMP": "C:\\elsewhere"})
        self.assertEqual(result.exit_code, 0)
        with open(out) as f:
            self.assertEqual(f.read().strip(), '"a  b" C:\\elsewhere')

    def test_a_hanging_program_is_stopped(self):
        result = self.prefix.run("C:\\windows\\system32\\cmd.exe /c ping -n 60 127.0.0.1", timeout=2)
        self.assertTrue(result.timed_out)
        self.assertLess(result.seconds, 30)

    def test_prefix_is_self_contained(self):
        self.assertTrue(os.path.isdir(self.prefix.desktop) and not os.path.islink(self.prefix.desktop))
        self.assertTrue(os.path.isdir(self.prefix.temp_dir), self.prefix.temp_dir)
        self.assertTrue(os.path.isdir(os.path.join(self.prefix.env["XDG_DATA_HOME"], "Trash")))
        self.assertNotEqual(os.path.realpath(self.prefix.path), os.path.realpath(prefix_template()))

    def test_window_lookup_reports_a_missing_window(self):
        found, hwnd, _ = self.prefix.wmsend(cls="NoSuchWindowClass", message=16, wait_ms=200)
        self.assertFalse(found)
        self.assertEqual(hwnd, 0)

    def test_registry_is_readable_after_the_server_ends(self):
        status, _ = self.prefix.wine(
            ["C:\\windows\\system32\\reg.exe", "add", "HKCU\\Software\\ZOVBench", "/v", "probe", "/d", "x-1", "/f"]
        )
        self.assertEqual(status, 0)
        self.prefix.wait_server()
        self.assertEqual(hive_value(self.prefix.hive("user.reg"), "Software\\ZOVBench", "probe"), "x-1")

    def test_subsequence_matching(self):
        self.assertTrue(is_subsequence(["a", str.isdigit, "c"], ["a", "x", "1", "c"]))
        self.assertFalse(is_subsequence(["c", "a"], ["a", "c"]))


if __name__ == "__main__":
    unittest.main()
