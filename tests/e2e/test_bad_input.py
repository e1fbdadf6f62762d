"""Hostile command lines and broken surroundings: setup.exe must end with a defined exit
code, never crash or hang."""

import os
import shutil
import unittest

from harness import BIN_DIR, RESULT_EXIT_CODES, SetupTestCase

# Every line starts with "/s": a line that does not start with a switch is not parsed at all
# and would open the wizard.
HOSTILE_COMMAND_LINES = [
    ("200-character dash token", "/s -" + "a" * 200),
    ("200-character slash token", "/s /" + "b" * 200),
    ("5000-character argument", "/s -b " + "c" * 5000),
    ("5000-character quoted argument with blanks", '/s -b "' + "d " * 2500 + '"'),
    ("5000-character install folder", "/s -g C:\\" + "e" * 5000),
    ("install folder past 259 characters", "/s -h " + "f" * 250),
    ("5000-character settings copy path", "/s -? C:\\" + "g" * 5000),
    ("5000-character memory override", "/s -o " + "L" * 5000),
    ("200-character short drive form", "/s -v" + "z" * 200),
    ("unbalanced quote in an argument", '/s -b "unbalanced'),
    ("unbalanced quote in a path", '/s -g "C:\\Program Files\\half'),
    ("lone quote", '/s "'),
    ("runs of dashes and slashes", "/s " + "-" * 300 + " " + "/" * 300 + ' "-" "/" -- //'),
]


class HostileCommandLines(SetupTestCase):
    def test_hostile_command_lines_end_with_a_defined_code(self):
        # The engine records what it was handed before it would install: no need to copy.
        self.engine_control(skip_install=1)
        for label, args in HOSTILE_COMMAND_LINES:
            with self.subTest(label):
                self.reset_prefix()
                result = self.setup_exe(args, timeout=90)
                self.assertFalse(result.timed_out, "setup did not end: %r" % result)
                self.assertIn(result.exit_code, RESULT_EXIT_CODES, "%r" % result)
                # Paths live in 260-byte buffers: whatever the switches asked for, the
                # install folder handed on holds at most 259 characters.
                for _, enter in self.engine_runs():
                    self.assertLessEqual(len(dict(enter).get("MAINDIR", "")), 259)

    def test_dashes_and_slashes_inside_a_path_are_not_switches(self):
        # "-files", "/a-very" (a short drive form "-v..." naming no drive) and "/x-y" must all
        # stay part of the folder.
        self.assertExit(self.setup_exe("/s -g C:\\my-files/a-very/x-y"), 0)
        runs = self.engine_runs()
        self.assertEqual(len(runs), 1)
        self.assertEqual(runs[0][0], '"C:\\cd\\comp01.000"', "a switch inside the path reached the engine")
        self.assertEqual(dict(runs[0][1]).get("MAINDIR"), "C:\\my-files/a-very/x-y")
        self.assertTrue(os.path.isfile(self.prefix.c("my-files/a-very/x-y/DAD.exe")))


class BrokenSurroundings(SetupTestCase):
    def test_missing_engine(self):
        os.unlink(self.prefix.c("cd/comp01.000"))
        self.assertExit(self.setup_exe("/s"), 2)

    def test_copy_without_the_progress_module(self):
        shutil.copy(os.path.join(BIN_DIR, "setup_nocomponent.exe"), self.prefix.c("cd"))
        self.assertExit(self.setup_exe("/s", exe="setup_nocomponent.exe"), 1612)

    def test_temp_folder_that_is_a_file(self):
        # Wine runs as root here, so a read-only folder would still be writable; a file in
        # the folder's place cannot be written into by anyone.
        with open(self.prefix.c("notafolder"), "w") as f:
            f.write("in the way\n")
        self.assertExit(self.setup_exe("/s", child_env={"TEMP": "C:\\notafolder", "TMP": "C:\\notafolder"}), 29)

    def test_engine_that_crashes(self):
        self.engine_control(crash=1)
        self.assertExit(self.setup_exe("/s"), 1067)

    def test_stale_result_from_an_earlier_run_does_not_leak(self):
        with open(os.path.join(self.prefix.temp_dir, "install.ini"), "w", newline="\r\n") as f:
            f.write("[exit]\nrc=0\n")
        self.engine_control(result="none", skip_install=1)
        self.assertExit(self.setup_exe("/s"), 1067)


if __name__ == "__main__":
    unittest.main()
