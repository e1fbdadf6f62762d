"""The legal agreement and the optional features before the wizard, and the cancel summary
when the user leaves: declined through the cancel confirmation (the summary saved, printing
without a printer ending quietly), a legal document missing from the CD, the optional
features cancelled. Printing to a real printer is test_printing.py."""

import os
import unittest

from harness import IDCANCEL, IDOK, PAGE, VK_RETURN, VK_TAB, InteractiveTestCase, ini_section, is_subsequence

AGREE, CANCEL, PRINT, CONTINUE = 1077, 1030, 199, 1077
CONSENT, MAIN_TEXT, DOCUMENT = 1080, 1078, 1081
SAVE = 198
WS_DISABLED = 0x08000000


def summary_text():
    """Strings 215 and 216 as the program holds them."""
    import re

    path = os.path.join(os.path.dirname(__file__), "..", "..", "src", "res", "string_table.inc")
    with open(path, encoding="latin-1") as f:
        table = f.read()

    def entry(number):
        literal = re.search(r'ZOV_STRING\(%d, "(.*)"\)' % number, table).group(1)
        return literal.replace("\\r", "\r").replace("\\n", "\n").replace("\\042", '"').replace("\\\\", "\\")

    return entry(215) + entry(216)


def tab_to(self, dialog, control):
    """Presses Tab until the control has the focus, as a person would."""
    for _ in range(6):
        if self.ui.until(lambda: self.ui.focus(dialog) == control, timeout=1):
            return
        self.ui.key(dialog, VK_TAB)
    self.fail("Tab never reached control %d" % control)


class LegalAgreement(InteractiveTestCase):
    legal_agreement = True
    tab_to = tab_to

    def test_declined_through_the_cancel_confirmation_with_the_summary_saved(self):
        run = self.setup_exe(background=True)
        agreement = self.page("agreement")
        self.assertIn("will be installed", self.ui.text(agreement, MAIN_TEXT))
        self.assertEqual(self.ui.text(agreement, 0), "Install ZOV 9.0 VR")
        self.screenshot("agreement")
        # Enter with the focus on Cancel is Cancel, not the default I Agree; then Resume:
        # the agreement stays.
        self.tab_to(agreement, CANCEL)
        self.ui.key(agreement, VK_RETURN)
        self.ui.click(self.page("resume"), IDCANCEL)
        self.ui.gone(PAGE["resume"])
        self.assertTrue(self.ui.present(PAGE["agreement"]))
        # The question was the agreement's: the frame behind it still waits for it.
        self.assertTrue(self.ui.style(self.ui.frame()) & WS_DISABLED, "the frame took input under the agreement")
        # Cancel, then Exit: the cancel summary.
        self.ui.click(agreement, CANCEL)
        self.ui.click(self.page("resume"), IDOK)
        summary = self.page("summary")
        self.assertEqual(self.ui.text(summary, 191), summary_text())
        self.screenshot("cancel-summary")

        # Save As to a new file: the file holds the summary's bytes, CR LF and all.
        self.ui.click(summary, SAVE)
        save_as = self.page("save_as")
        self.assertIn("ZOV Quick Reference Guide", self.ui.text(save_as, 1148))
        self.ui.set_text(save_as, 1148, "C:\\guide.txt")
        self.ui.click(save_as, IDOK)
        self.ui.gone(PAGE["save_as"])
        saved = self.prefix.c("guide.txt")
        self.assertTrue(self.ui.until(lambda: os.path.exists(saved) and os.path.getsize(saved) > 0))
        with open(saved, "rb") as f:
            self.assertEqual(f.read(), summary_text().encode("latin-1"))

        # No printer: the system's print dialog says so itself; then nothing else is shown
        # (no printing status, no "Unable to start print job."), and the summary stays.
        self.ui.click(summary, PRINT)
        self.assertIn("install a printer", self.ui.box_text("Print"))
        self.screenshot("print-without-printer")
        self.ui.box_click("Print", IDOK)
        self.assertFalse(self.ui.until(lambda: self.ui.try_call("boxtext", "Error")[0], timeout=2))
        self.assertFalse(self.ui.present(PAGE["printing"]))
        self.ui.click(summary, IDOK)
        result = run.wait()
        self.assertExit(result, 1602)
        events, _ = self.history_events()
        self.assertTrue(is_subsequence([153, 128, 128, 134, 136, 135], events), events)
        self.assertEqual(self.engine_runs(), [])

    def test_missing_terms_open_an_empty_viewer_and_accepting_goes_on(self):
        os.unlink(self.prefix.c("cd/tos.rtf"))
        run = self.setup_exe(background=True)
        agreement = self.page("agreement")
        self.ui.link(agreement, CONSENT, "app:ccc")
        viewer = self.page("viewer")
        self.assertEqual(self.ui.text(viewer, DOCUMENT), "")
        self.screenshot("legal-viewer-empty")
        self.ui.click(viewer, CANCEL)
        self.ui.gone(PAGE["viewer"])
        self.ui.link(agreement, CONSENT, "app:aaa")
        viewer = self.page("viewer")
        self.assertIn("End User License Agreement", self.ui.text(viewer, DOCUMENT))
        self.screenshot("legal-viewer")
        self.ui.click(viewer, CANCEL)
        self.ui.gone(PAGE["viewer"])
        self.ui.click(agreement, AGREE)
        self.ui.click(self.page("welcome"), 1060)
        self.assertExit(run.wait(), 0)
        events, inst = self.history_events()
        self.assertTrue(is_subsequence([153, 155, 153, 154, 153], events), events)


class OptionalFeatures(InteractiveTestCase):
    tab_to = tab_to

    def test_cancel_writes_zero_for_both_even_when_checked(self):
        # The shipped build never offers them (string 1403 is "N"): the test build's hook.
        run = self.setup_exe(background=True, extra_env={"ZOV_TEST_STRING_1403": "Y"})
        features = self.page("features")
        self.assertEqual(self.ui.text(features, 0), "ZOV\u00ae Install")
        self.assertEqual(self.ui.state(features, 1082), (True, True, True))
        self.assertEqual(self.ui.state(features, 1086), (True, True, False), "Wine reports Windows 7: NT 6")
        self.ui.click(features, 1086)
        self.assertTrue(self.ui.until(lambda: self.ui.checked(features, 1086)))
        self.screenshot("optional-features")
        # Enter on Cancel cancels.
        self.tab_to(features, CANCEL)
        self.ui.key(features, VK_RETURN)
        welcome = self.page("welcome")
        ini = self.prefix.install_ini()
        self.assertEqual(dict(ini_section(ini, "IETOOLBAR") or []).get("VelaInstallSelected"), "0")
        self.assertEqual(dict(ini_section(ini, "VISTAGADGET") or []).get("VelaInstallSelected"), "0")
        self.ui.click(welcome, 1060)
        self.assertExit(run.wait(), 0)
        self.assertIn(156, self.history_events()[0])


if __name__ == "__main__":
    unittest.main()
