"""The installer's mutex and pipe server, a second setup, the restart marker and the
disk-space retry, under Wine."""

import os
import subprocess
import time
import unittest

from checks_helpers import IDOK, ChecksTestCase
from harness import FRAME_CLASS, windows_path


class ChecksUnderWine(ChecksTestCase):
    def test_second_setup_meets_the_first(self):
        self.engine_control(skip_install=1, delay_ms=20000)
        first = self.setup_exe("-t", timeout=120, background=True)
        found, _, _ = self.prefix.wmsend(cls=FRAME_CLASS, wait_ms=30000)
        self.assertTrue(found)
        # The first one holds its mutex once its checks are done.
        deadline = time.monotonic() + 30
        while not self.mutex_exists("Global\\ZOVInst") and time.monotonic() < deadline:
            time.sleep(0.3)
        second = self.setup_exe("-t", timeout=120)
        self.assertExit(second, 1051)
        self.new_member()
        self.assertExit(first.wait(), 0)
        self.assertEqual(len(self.engine_runs()), 1, "only the first setup ran the engine")

    def test_pipe_server_answers_and_survives_bad_clients(self):
        self.engine_control(skip_install=1, delay_ms=60000)
        run = self.setup_exe("/s", timeout=180, background=True)
        deadline = time.monotonic() + 40
        while not self.mutex_exists("Global\\ZOVInst") and time.monotonic() < deadline:
            time.sleep(0.3)
        self.assertTrue(self.mutex_exists("Global\\ZOVInst"), "the installer mutex exists after the checks")

        title = self.ask_pipe(3)
        self.assertEqual(title.get("ok"), "1", title)
        self.assertEqual(title.get("bytes"), "19")
        self.assertEqual(bytes.fromhex(title["hex"]), b"Install ZOV 9.0 VR\0")
        unknown = self.ask_pipe(7)
        self.assertEqual(unknown.get("ok"), "1", unknown)
        self.assertEqual(unknown.get("bytes"), "0")
        # A request far past the 256-byte limit is read by its first byte.
        long_request = self.ask_pipe(3, "-size", "4000")
        self.assertEqual(long_request.get("bytes"), "19", long_request)
        # A client that leaves in the middle of a request harms no one else.
        self.ask_pipe(3, "-hangup")
        again = self.ask_pipe(3)
        self.assertEqual(again.get("bytes"), "19", again)
        # Hundreds of peers that flood requests and never read a reply: the server lets go of
        # each of them in bounded time, and meanwhile answers a well-behaved question.
        flood = dict(part.split("=", 1) for part in self.probe("flood", "\\\\.\\Pipe\\ZOVINST", "300", timeout=120).split() if "=" in part)
        self.assertEqual((flood.get("peers"), flood.get("waiting"), flood.get("cut")), ("300", "300", "300"), flood)
        self.assertEqual(flood.get("bytes"), "19", flood)

        self.assertExit(run.wait(), 0)
        self.assertFalse(self.mutex_exists("Global\\ZOVInst"), "gone with the setup")

    def test_pending_restart_refuses_with_190(self):
        # A cold wineserver runs and deletes RunOnce entries: seed the value with the server up.
        subprocess.run(["wineserver", "-p"], env=self.prefix.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
        reg = os.path.join(self.prefix.work, "reboot.reg")
        with open(reg, "w", newline="\r\n") as f:
            f.write("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce]\n")
            f.write('"ZOVRebootNeeded"="C:\\\\windows\\\\notepad.exe"\n')
        status, output = self.prefix.wine(["C:\\windows\\system32\\reg.exe", "import", windows_path(reg)])
        self.assertEqual(status, 0, output)
        result = self.setup_exe("/s", timeout=60)
        self.assertExit(result, 190)
        self.assertEqual(self.engine_runs(), [])

    def test_disk_space_error_then_next_runs_the_engine_again(self):
        control = self.engine_control(skip_install=1, result=2)
        run = self.setup_exe("-t", timeout=120, background=True)

        def decide(text):
            if text.startswith("Disk Space Check"):
                # The user freed some space meanwhile: the next engine run succeeds.
                self.engine_control(skip_install=1, result=0)
                return IDOK  # Next
            return IDOK

        seen = self.answer_boxes(run, decide, timeout=120)
        result = run.wait()
        self.assertExit(result, 0)
        self.assertTrue(any(text.startswith("Disk Space Check") for text in seen), seen)
        self.assertEqual(len(self.engine_runs()), 2)
        events = self.history_events(self.prefix.history())
        self.assertEqual(events.count(115), 2, events)
        self.assertEqual(events.count(106), 1, events)
        self.assertTrue(os.path.exists(control))


if __name__ == "__main__":
    unittest.main()
