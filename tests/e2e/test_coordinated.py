"""The coordinated path: another process switches setup.exe to install phase 2 through
window messages and then tells it to go on or to cancel."""

import os
import unittest

from harness import FRAME_CLASS, WM_ENGINEDONE, WM_SETINSTALLPHASE, SetupTestCase

GO, CANCEL = 0, 1


class CoordinatedRun(SetupTestCase):
    def coordinate(self, decision):
        # "/s": should the phase message come too late, the run falls back to the unattended
        # path (and the test fails on the engine's arguments) instead of waiting in the wizard.
        self.engine_control(skip_install=1)
        run = self.setup_exe("/s", background=True, timeout=90)
        # The frame exists from the start; the phase is looked at in later stages, so it is
        # sent the moment the frame appears. SendMessage returns once setup has taken it.
        found, hwnd, _ = self.prefix.wmsend(cls=FRAME_CLASS, message=WM_SETINSTALLPHASE, lparam=2, wait_ms=30000, timeout_ms=30000)
        self.assertTrue(found, "no %s window appeared" % FRAME_CLASS)
        found, _, _ = self.prefix.wmsend(cls=FRAME_CLASS, message=WM_ENGINEDONE, wparam=decision, timeout_ms=30000)
        self.assertTrue(found, "the frame went away before WM_ENGINEDONE")
        return run.wait()

    def test_go_runs_the_engine_for_phase_two(self):
        result = self.coordinate(GO)
        self.assertExit(result, 0)
        self.assertEqual(
            [command for command, _ in self.engine_runs()],
            ['"C:\\cd\\comp01.000" -y2'],
            "no -y2: setup handled the phase message only after choosing its path",
        )

    def test_cancel_ends_without_the_engine(self):
        result = self.coordinate(CANCEL)
        self.assertEqual(self.engine_runs(), [], "the engine ran: setup handled the phase message too late")
        self.assertExit(result, 1602)
        self.assertFalse(os.path.isdir(self.prefix.c("Program Files/ZOV 9.0")))


if __name__ == "__main__":
    unittest.main()
