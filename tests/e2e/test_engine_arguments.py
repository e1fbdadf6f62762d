"""Switches that reach the install engine's command line, and what they change around it."""

import os
import unittest

from harness import RETRY_LINK, SetupTestCase, ini_section

ENGINE = '"C:\\cd\\comp01.000"'

# (setup's arguments, the engine's exact command line, whether the post-install step runs).
# A bare "-z" does not make a run unattended (it would open the wizard), so it goes with "/s".
CASES = [
    ("/x foo", ENGINE + " /xfoo", False),
    ("-? C:\\copy.ini", ENGINE + " -?", False),
    ("-j", ENGINE + " -j", True),
    ("/s -z", ENGINE + " -z", True),
    ("-j -z", ENGINE + " -z", True),
]


class EngineArguments(SetupTestCase):
    def setUp(self):
        super().setUp()
        # "/x" and "-j" show the frame, which would first offer a legal agreement found on
        # the CD; these tests are about the engine's arguments only.
        eula = self.prefix.c("cd/EULA.rtf")
        if os.path.exists(eula):
            os.unlink(eula)

    def test_switches_reach_the_engine_exactly(self):
        for args, engine_command_line, post_install in CASES:
            with self.subTest(args=args):
                self.reset_prefix()
                self.engine_control(skip_install=1)
                self.assertExit(self.setup_exe(args), 0)
                runs = self.engine_runs()
                self.assertEqual([command for command, _ in runs], [engine_command_line])
                # The post-install step is what removes the retry shortcut after success.
                link_left = os.path.exists(os.path.join(self.prefix.desktop, RETRY_LINK))
                self.assertEqual(link_left, not post_install, "retry shortcut present: %s" % link_left)

    def test_settings_copy_is_left_at_the_given_path(self):
        self.engine_control(skip_install=1)
        self.assertExit(self.setup_exe("-? C:\\copy.ini"), 0)
        copy = self.prefix.c("copy.ini")
        self.assertTrue(os.path.isfile(copy), "no copy of install.ini at C:\\copy.ini")
        enter = dict(ini_section(self.prefix.read_ini(copy), "enter") or [])
        self.assertEqual(enter.get("MAINDIR"), "C:\\Program Files\\ZOV 9.0")
        # The copy is taken after the engine ran, so it carries the engine's result too.
        exit_keys = dict(ini_section(self.prefix.read_ini(copy), "exit") or [])
        self.assertEqual(exit_keys.get("rc", "")[:1], "0")


if __name__ == "__main__":
    unittest.main()
