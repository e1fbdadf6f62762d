"""Printing for real: the agreement's text and the cancel summary go to a CUPS queue with a
PDF printer (printer.py, a private server started here and stopped afterwards), and the
printed pages are read back. A small card-sized page makes the summary run over several
pages, each with the document name at the top and "Page N" at the bottom."""

import os
import re
import subprocess
import unittest

import printer
from harness import ARTEFACTS, IDOK, InteractiveTestCase
from test_legal import AGREE, CANCEL, PRINT, summary_text

# 3 x 4 inches.
CARD = ("ZovCard", 216, 288)


def words(text):
    return re.sub(r"\s+", " ", text).strip()


@unittest.skipIf(printer.missing(), printer.missing())
class PrintToPdf(InteractiveTestCase):
    legal_agreement = True

    @classmethod
    def setUpClass(cls):
        cls.printer = printer.PdfPrinter(page_size=CARD).start()
        # Every Wine program of these tests finds the queue through the environment.
        cls.saved_env = {k: os.environ.get(k) for k in cls.printer.env}
        os.environ.update(cls.printer.env)
        try:
            super().setUpClass()
        except Exception:
            cls.tearDownClass()
            raise

    @classmethod
    def tearDownClass(cls):
        super().tearDownClass()
        for key, value in cls.saved_env.items():
            if value is None:
                os.environ.pop(key, None)
            else:
                os.environ[key] = value
        cls.printer.stop()

    def print_through_dialog(self, screenshot=None):
        dialog = self.page("print_dialog")
        self.assertIn("PDF", self.ui.text(dialog, 1139))
        if screenshot:
            self.screenshot(screenshot)
        self.ui.click(dialog, IDOK)

    def test_agreement_and_multi_page_summary_printed(self):
        run = self.setup_exe(background=True)
        agreement = self.page("agreement")
        self.ui.call("command", agreement, PRINT)  # the link-like label
        self.print_through_dialog()
        pages = printer.pdf_pages(self.printer.wait_pdf(1))
        printed = words(" ".join(pages))
        self.assertIn("The following will be installed on your computer:", printed)
        self.assertIn("automatic updates", printed.lower())

        self.ui.click(agreement, CANCEL)
        self.ui.click(self.page("resume"), IDOK)
        summary = self.page("summary")
        self.ui.click(summary, PRINT)
        self.print_through_dialog("print-dialog")
        printed_file = self.printer.wait_pdf(2)
        pages = printer.pdf_pages(printed_file)
        # The first page as a picture beside the screenshots.
        subprocess.run([printer.tool("pdftoppm") or "pdftoppm", "-png", "-r", "72", "-singlefile", printed_file,
                        os.path.join(ARTEFACTS, "screenshots", "summary-printed-page1")], check=False)
        self.assertGreaterEqual(len(pages), 2, pages)
        body = []
        whole_words = set(summary_text().split())
        for number, page in enumerate(pages, 1):
            lines = [line.strip() for line in page.splitlines() if line.strip()]
            self.assertEqual(lines[0], "ZOV Quick Reference Guide", page)
            self.assertEqual(lines[-1], "Page %d" % number, page)
            body += lines[1:-1]
            # A page ends at white space: its last word is a whole word of the summary.
            self.assertIn(lines[-2].split()[-1], whole_words, page)
        # Every character of the summary, in order: the row of dashes, one word wider than the
        # card, is broken at the margin, not clipped.
        def letters(text):
            return re.sub(r"\s+", "", text)

        self.assertEqual(letters("".join(body)), letters(summary_text()))
        self.ui.click(summary, IDOK)
        self.assertExit(run.wait(), 1602)


if __name__ == "__main__":
    unittest.main()
