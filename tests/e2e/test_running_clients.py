"""Running clients under Wine with the stand-in client (wzov.exe): found, asked to exit, and
the install goes on; a 16-bit client and one that never exits; the client variant, the
sibling service's client and the uninstaller, each found by its own signs."""

import os
import unittest

from checks_helpers import CLIENT_FOLDER, IDCANCEL, IDOK, ChecksTestCase
from harness import TraceCapture


class RunningClientsUnderWine(ChecksTestCase):
    def test_running_client_is_asked_to_exit_and_the_install_goes_on(self):
        self.engine_control(skip_install=1)
        self.start_client()
        trace = TraceCapture(self.prefix).start()
        result = self.setup_exe("/s", timeout=120)
        lines = trace.stop()
        self.assertExit(result, 0)
        self.assertIn("sending shutdown message", lines)
        self.assertIn("Client sucessfully shut down", lines)
        self.assertEqual(len(self.engine_runs()), 1)
        self.assertFalse(self.client_running())
        self.assertFalse(os.path.exists(self.prefix.c(CLIENT_FOLDER + "/TOD/CASADIL.phx")), "the marker is removed")

    def test_sixteen_bit_client_is_left_running(self):
        self.engine_control(skip_install=1)
        self.start_client("-16bit")
        trace = TraceCapture(self.prefix).start()
        result = self.setup_exe("/s", timeout=120)
        lines = trace.stop()
        self.assertExit(result, 0)
        self.assertIn("Client is 16 bit - can't shutdown", lines)
        self.assertTrue(self.client_running())

    def test_client_that_never_exits_silent_run_goes_on_after_thirty_seconds(self):
        self.engine_control(skip_install=1)
        self.start_client("-noexit")
        trace = TraceCapture(self.prefix).start()
        result = self.setup_exe("/s", timeout=150)
        lines = trace.stop()
        self.assertExit(result, 0)
        self.assertIn("Client shutdown timed out", lines)
        self.assertGreater(result.seconds, 29)
        self.assertTrue(self.client_running())
        self.assertEqual(len(self.engine_runs()), 1)

    def test_client_left_running_is_listed_in_the_interactive_run(self):
        self.engine_control(skip_install=1)
        # A client that cannot be shut down at all: the prompt comes without the 30-second
        # wait of one that is asked and never goes (the silent test above has that).
        self.start_client("-16bit")
        run = self.setup_exe("-t", timeout=150, background=True)

        def decide(text):
            if "communication software that cannot be used" in text:
                return IDCANCEL  # the running-client prompt
            if "Would you like to Resume setup?" in text:
                return IDOK  # the resume dialog's Exit Setup
            return IDOK  # the cancel summary, or anything else that only informs

        seen = self.answer_boxes(run, decide, timeout=150)
        result = run.wait()
        self.assertExit(result, 1051)
        self.assertTrue(any("currently running:\n\nZOV\n" in text.replace("\r\n", "\n") for text in seen), seen)
        self.assertTrue(any(text.startswith("Installation Canceled") for text in seen), seen)
        self.assertEqual(self.engine_runs(), [])
        self.assertIn(123, self.history_events(self.prefix.history()))

    def test_variant_sibling_and_uninstaller_each_stop_an_interactive_run(self):
        # The uninstaller is listed by its window; the other two hold only their mutexes,
        # which the check of other sessions finds (here, in this session, by name only).
        other_session = 'on user account  "Unknown" :\n\nZOV\n'
        for option, listed in (("-uninstaller", "currently running:\n\nUninstall ZOV\n"),
                               ("-variant", other_session), ("-sibling", other_session)):
            with self.subTest(option):
                self.reset_prefix()
                self.engine_control(skip_install=1)
                self.start_client(option)
                run = self.setup_exe("-t", timeout=120, background=True)

                def decide(text):
                    if "communication software" in text:
                        return IDCANCEL
                    return IDOK  # the resume dialog's Exit Setup, or a box that only informs

                seen = [text.replace("\r\n", "\n") for text in self.answer_boxes(run, decide)]
                self.assertExit(run.wait(), 1051)
                self.assertTrue(any(listed in text for text in seen), seen)
                self.assertEqual(self.engine_runs(), [])
                self.prefix.wmsend(cls="_ZOVT_EXAPI", message=3623, post=True)
                self.client.wait(30)


if __name__ == "__main__":
    unittest.main()
