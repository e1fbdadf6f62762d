"""The engine's one-character result turned into setup.exe's exit code, read in full."""

import unittest

from harness import SetupTestCase

# (what the engine leaves as [exit] rc, exit code); "none" leaves no rc at all.
RESULT_TO_EXIT_CODE = [
    ("0", 0),
    ("1", 1151),
    ("2", 112),
    ("3", 1602),
    ("4", 1067),
    ("5", 126),
    ("6", 1602),
    ("7", 33),
    ("8", 1314),
    ("x", 1067),
    ("none", 1067),
]


class EngineResultExitCodes(SetupTestCase):
    def test_every_result_maps_to_its_exit_code(self):
        # One prefix, cleaned between runs: only the exit code differs from run to run.
        for rc, expected in RESULT_TO_EXIT_CODE:
            with self.subTest(rc=rc):
                self.reset_prefix()
                self.engine_control(result=rc, skip_install=1)
                result = self.setup_exe("/s")
                self.assertExit(result, expected)
                self.assertEqual(len(self.engine_runs()), 1, "the engine must run exactly once")


if __name__ == "__main__":
    unittest.main()
