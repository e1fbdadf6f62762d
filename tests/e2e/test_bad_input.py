"""Hostile command lines, broken surroundings and planted files: setup.exe must end with a
defined exit code, never crash or hang, and never run what someone left in its way."""

import glob
import os
import shutil
import time
import unittest

from checks_helpers import ChecksTestCase
from harness import BIN_DIR, HELPERS, INSTALL_DIR, RESULT_EXIT_CODES, SetupTestCase, native_first

# Every system library the setup or the engine loads that Windows does not always take from
# its own folder. Not "version": Wine's own common controls load it while the process starts,
# before the setup's first line (Windows' do not); the check of the import tables
# (cd_import_tables) keeps it out of ours.
PLANTED_LIBRARIES = ["shfolder", "sensapi", "wtsapi32", "netapi32", "imagehlp", "dbghelp"]

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


class PlantedFiles(ChecksTestCase):
    def wait_for(self, path, seconds=20):
        deadline = time.monotonic() + seconds
        while not os.path.exists(path) and time.monotonic() < deadline:
            time.sleep(0.2)
        return os.path.exists(path)

    def test_program_planted_where_the_client_path_has_a_blank_never_runs(self):
        # Each stand-in writes "wzov.started" beside itself when it runs.
        for planted in ("Program.exe", "Program Files/ZOV.exe"):
            shutil.copy(os.path.join(BIN_DIR, "wzov.exe"), self.prefix.c(planted))
        self.assertExit(self.new_member_run(), 0)
        self.assertTrue(self.wait_for(self.prefix.c(INSTALL_DIR + "/wzov.started")), "the client did not start")
        for marker in ("wzov.started", "Program Files/wzov.started"):
            self.assertFalse(os.path.exists(self.prefix.c(marker)), "a planted program ran: " + marker)

    def test_libraries_planted_beside_setup_and_engine_are_never_loaded(self):
        for name in PLANTED_LIBRARIES:
            shutil.copy(os.path.join(HELPERS, "planted.dll"), self.prefix.c("cd/%s.dll" % name))
        search = native_first(*PLANTED_LIBRARIES)
        # The wizard path loads the network and shell-folder libraries, the pipe server's
        # answer to the user-name question the session ones, a crash the debug-help one.
        self.engine_control(delay_ms=8000)
        run = self.setup_exe("", extra_env=search, background=True)
        self.new_member()
        deadline = time.monotonic() + 60
        while run.running() and self.ask_pipe(0).get("ok") != "1" and time.monotonic() < deadline:
            time.sleep(0.3)
        self.assertExit(run.wait(), 0)
        self.setup_exe("/s", timeout=90, extra_env=dict(search, ZOV_TEST_CRASH="divide"))
        self.assertTrue(os.path.exists(os.path.join(self.prefix.temp_dir, "errstack.rpt")), "no crash report")
        self.assertEqual(glob.glob(self.prefix.c("cd/*.loaded")), [])


if __name__ == "__main__":
    unittest.main()
