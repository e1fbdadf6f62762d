"""The unattended install "/s" from the CD image, end to end."""

import os
import unittest

from harness import INSTALL_DIR, RETRY_LINK, SetupTestCase, ini_section, ini_value, is_subsequence, read_text, windows_path

# Keys of an install history record in the order they are written; "br" and "hf" depend on
# the machine, and "sc" appears only once a step was timed (a clean silent run may record no
# events). Keys written later in the run ("inst", "DDEq", ...) may stand between "ut1" and
# the end keys.
HISTORY_START_KEYS = ["vr", "pd", "cc", "os", "npr", "cpu", "ram", "br", "ds", "csd", "hf", "qi", "ut1"]
HISTORY_END_KEYS = ["sc", "pe", "ed", "ut2"]
OPTIONAL_HISTORY_KEYS = {"br", "hf", "sc"}


class SilentInstall(SetupTestCase):
    def test_installs_the_payload_and_leaves_a_clean_machine(self):
        round_trips = os.path.join(self.prefix.work, "round-trips.txt")
        self.engine_control(roundtrips=windows_path(round_trips))
        # The clean-up removes the temporary "GL*.TMP" files, never a folder of that name.
        os.makedirs(os.path.join(self.prefix.temp_dir, "GLkeep.TMP"), exist_ok=True)
        kept = os.path.join(self.prefix.temp_dir, "GLkeep.TMP", "mine.txt")
        with open(kept, "w") as f:
            f.write("mine")
        with open(os.path.join(self.prefix.temp_dir, "GL1.TMP"), "w") as f:
            f.write("scratch")
        result = self.setup_exe("/s")
        self.assertExit(result, 0)
        self.assertTrue(os.path.isfile(kept), "a folder named like the scratch files was deleted")
        self.assertFalse(os.path.exists(os.path.join(self.prefix.temp_dir, "GL1.TMP")), "scratch file left")

        # The engine waits for the answer to each progress report. A setup that looked at its
        # messages only every 50 ms would make each report of a burst wait about that long.
        timing = dict(line.split("=", 1) for line in read_text(round_trips).split())
        self.assertEqual(timing.get("reports"), "20", "the engine sent no reports to the frame")
        self.assertLess(float(timing["median_ms"]), 25.0, "reports wait for the setup's next look: %r" % timing)

        installed = self.prefix.c(INSTALL_DIR)
        for name in ("DAD.exe", "wzov.exe"):
            self.assertTrue(os.path.isfile(os.path.join(installed, name)), "%s not installed in %s" % (name, installed))
        self.assertIsNone(self.prefix.install_ini(), "install.ini left in the temp folder")
        self.assertFalse(os.path.exists(os.path.join(self.prefix.temp_dir, "progupd.dll")), "progupd.dll left behind")
        self.assertFalse(os.path.exists(os.path.join(self.prefix.desktop, RETRY_LINK)), "retry shortcut left")

        runs = self.engine_runs()
        self.assertEqual(len(runs), 1, "engine runs: %r" % runs)
        command_line, enter = runs[0]
        self.assertEqual(command_line, '"C:\\cd\\comp01.000"')
        enter = dict(enter)
        self.assertEqual(enter.get("MAINDIR"), "C:\\Program Files\\ZOV 9.0")
        self.assertEqual(enter.get("INSTEXE"), "C:\\cd\\setup.exe")
        self.assertEqual(enter.get("SILENTINSTALL"), "Y")
        self.assertEqual(enter.get("DOAUTOLAUNCH"), "N")
        self.assertNotIn(enter.get("FRAMEHWND", "0"), ("", "0"), "the engine was given no frame")

    def test_records_the_run_in_the_install_history(self):
        self.assertExit(self.setup_exe("/s"), 0)
        history = self.prefix.history()
        self.assertIsNotNone(history, "no C:\\IPH.PH")
        record = ini_section(history, "inst01")
        self.assertIsNotNone(record, "no record inst01 in %r" % [s for s, _ in history])
        keys = [k for k, _ in record]
        for key in HISTORY_START_KEYS + HISTORY_END_KEYS:
            if key not in OPTIONAL_HISTORY_KEYS:
                self.assertIn(key, keys)
        present_start = [k for k in HISTORY_START_KEYS if k in keys]
        self.assertEqual([k for k in keys if k in HISTORY_START_KEYS], present_start, "start keys out of order")
        end_keys = ["ut1"] + [k for k in HISTORY_END_KEYS if k in keys]
        self.assertTrue(is_subsequence(end_keys, keys), "end keys out of order: %r" % keys)
        self.assertEqual(keys[-1], "ut2")
        self.assertEqual(ini_value(history, "inst01", "vr"), "9.0")
        self.assertEqual(ini_value(history, "inst01", "pd"), "4327.271")
        self.assertEqual(ini_value(history, "inst01", "pe"), "0")
        self.assertEqual(ini_value(history, "inst01", "ed"), "1")
        if "sc" in keys:
            self.assertRegex(ini_value(history, "inst01", "sc"), r"^\d+:\d+(,\d+:\d+)*$")

    def test_restart_request_is_ignored_in_a_silent_run(self):
        restart_log = os.path.join(self.prefix.work, "restart.log")
        self.engine_control(restart=1)
        result = self.setup_exe("/s", extra_env={"ZOV_TEST_RESTART_LOG": windows_path(restart_log)})
        self.assertExit(result, 0)
        self.assertNotIn("restart", read_text(restart_log))


if __name__ == "__main__":
    unittest.main()
