"""The disk-space page of an interactive run: after the engine's disk-space result, and at a
checkpoint the engine fails while it copies. The box answerer reads the page as its title
("Disk Space Check") and message; OK stands for Next."""

import os
import unittest

from checks_helpers import IDOK, ChecksTestCase
from harness import TraceCapture

PAGE = "Disk Space Check"
PROGRESS_SHOWN = "GUI: Showing progress dialog"


class DiskSpacePage(ChecksTestCase):
    def run_answering_the_page(self, on_page=None):
        """An interactive run without the client launch as a new member, answering OK to every
        box (the checks' notice of other running programs, the page). Returns the trace and
        the texts of the pages shown."""
        trace = TraceCapture(self.prefix).start()
        run = self.setup_exe("-t", background=True, timeout=150)

        def decide(text):
            if on_page and text.startswith(PAGE):
                on_page()
            return IDOK

        boxes = self.answer_boxes(run, decide, timeout=150)
        self.assertExit(run.wait(), 0)
        return trace.stop(), [text for text in boxes if text.startswith(PAGE)]

    def test_next_after_a_disk_space_result_runs_the_engine_with_its_progress_display(self):
        self.engine_control(result="2", skip_install=1)
        # The second run succeeds: the control file is read afresh by each engine run.
        lines, boxes = self.run_answering_the_page(lambda: self.engine_control(skip_install=1))
        self.assertEqual(len(boxes), 1)
        self.assertEqual(len(self.engine_runs()), 2)
        retry = lines.index("gScript.Execute returned RESULT_DISKSPACEERROR")
        self.assertIn(PROGRESS_SHOWN, lines[:retry])
        self.assertIn(PROGRESS_SHOWN, lines[retry:], "the second engine run had no progress module")

    def test_a_checkpoint_failure_shows_the_page_and_next_goes_on(self):
        self.engine_control(diskfail=1)
        lines, boxes = self.run_answering_the_page()
        self.assertEqual(len(boxes), 1, "the page was not shown")
        self.assertIn("GUI: Showing Disk Cleanup Dialog due to checkpoint failure ...", lines)
        self.assertTrue(any(line.startswith("Required Space on Install Drive (C:): ") for line in lines))
        self.assertEqual(len(self.engine_runs()), 1)
        self.assertTrue(os.path.exists(self.prefix.c("Program Files/ZOV 9.0/DAD.exe")), "the install did not go on")


if __name__ == "__main__":
    unittest.main()
