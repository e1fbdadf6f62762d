"""The wizard as a person meets it on a fresh computer: the pages for each kind of install,
the busy and progress displays driven by the engine, and leaving through the resume dialog.
A driver on the setup's desktop finds each page by its control ids, reads it and presses its
buttons; every path ends with what the engine read from install.ini, the history and the
exit code. Screenshots go to <build>/artefacts/screenshots."""

import os
import time
import unittest

from harness import (
    CAPTION,
    IDCANCEL,
    IDOK,
    INSTALL_DIR,
    NEXT,
    PAGE,
    SC_RESTORE,
    VK_RETURN,
    VK_TAB,
    WM_CLOSE,
    WM_SYSCOMMAND,
    WS_MAXIMIZE,
    WS_MINIMIZEBOX,
    InteractiveTestCase,
    is_subsequence,
)
from test_cookie_transfer import COOKIE_DOMAIN, PROFILE, RegistryFileWriter, cookie_line

MAIN_DIR = "C:\\" + INSTALL_DIR.replace("/", "\\")


class FreshComputer(InteractiveTestCase):
    def test_new_member_with_the_busy_and_progress_displays(self):
        self.hold_engine("start,50")
        run = self.setup_exe(background=True)
        welcome = self.page("welcome")
        self.assertEqual(self.ui.text(welcome, 1007), "Welcome to ZOV 9.0 VR!")
        self.assertTrue(self.ui.until(lambda: self.ui.focus(welcome) == 1060), "a new install starts on New Member")
        self.screenshot("welcome")
        self.ui.click(welcome, 1060)

        # The run sequence's busy display stays while the engine has not begun.
        busy = self.page("busy")
        self.assertTrue(self.ui.text(busy, 1049).startswith("Please wait while we confirm available space."))
        self.screenshot("busy")
        self.release_engine()

        progress = self.page("progress")
        self.ui.gone(PAGE["busy"])
        percent = self.ui.until(lambda: self.ui.pos(progress, 1064) >= 50 and self.ui.pos(progress, 1064))
        self.assertGreaterEqual(percent, 50)
        self.assertEqual(self.ui.text(progress, 1070), "%d%%" % percent)
        self.assertEqual(self.ui.text(progress, 0), "Installing ZOV...")
        frame = self.ui.frame()
        self.assertFalse(self.ui.style(frame) & WS_MINIMIZEBOX, "no minimising while the progress shows")
        # Restored, the frame maximises itself again.
        self.ui.post(frame, WM_SYSCOMMAND, SC_RESTORE)
        time.sleep(0.5)
        self.assertTrue(self.ui.style(frame) & WS_MAXIMIZE)
        time.sleep(0.3)  # the frame timer shows the partner note
        self.screenshot("progress")
        self.release_engine()

        self.assertExit(run.wait(), 0)
        enter = self.engine_enter()
        self.assertEqual(enter.get("INSTALL_TYPE"), "A")
        self.assertEqual(enter.get("MAINDIR"), MAIN_DIR)
        events, inst = self.history_events()
        self.assertEqual(inst, "a")
        self.assertIn(100, events)
        self.assertNotIn(104, events, "a new member sees no directory page")

    def test_close_while_the_engine_runs_only_asks_it_to_stop(self):
        self.hold_engine("50")
        run = self.setup_exe(background=True)
        self.ui.click(self.page("welcome"), 1060)
        progress = self.page("progress")
        self.assertTrue(self.ui.until(lambda: self.ui.pos(progress, 1064) >= 50), "the engine did not reach its hold")
        self.ui.post(self.ui.frame(), WM_CLOSE)
        time.sleep(0.5)
        self.assertFalse(self.ui.present(PAGE["resume"]), "Close asked the user while the engine ran")
        self.assertTrue(self.ui.present(PAGE["progress"]))
        # The engine's next report is answered with the frame's handle: it rolls back, and the
        # setup ends with the cancel summary.
        self.release_engine()
        self.ui.click(self.page("summary"), IDOK)
        self.assertExit(run.wait(), 1602)
        self.assertFalse(os.path.exists(self.prefix.c(INSTALL_DIR + "/DAD.exe")), "the cancelled install stayed")

    def test_add_an_existing_account(self):
        run = self.setup_exe(background=True)
        self.next_page("welcome", 1061)
        member = self.page("member")
        self.assertTrue(self.ui.checked(member, 1017))
        self.ui.click(member, 1018)
        self.screenshot("member")
        self.next_page("member")
        directory = self.page("directory")
        self.assertEqual(self.ui.text(directory, 1021), MAIN_DIR)
        self.assertTrue(self.ui.state(directory, 1019)[0], "Back to the member page")
        self.screenshot("directory")
        self.next_page("directory")
        self.assertExit(run.wait(), 0)
        self.assertEqual(self.engine_enter().get("INSTALL_TYPE"), "D")
        events, inst = self.history_events()
        self.assertEqual(inst, "c")
        self.assertTrue(is_subsequence([100, 101, 104], events), events)

    def test_tab_and_enter_on_the_welcome_page_choose_current_member(self):
        # Tab to Current Member changes the install type at once; without a screen reader
        # Enter then follows that type, not the focus.
        self.engine_control(skip_install=1)
        run = self.setup_exe(background=True)
        welcome = self.page("welcome")
        self.assertTrue(self.ui.until(lambda: self.ui.focus(welcome) == 1060), "the focus never reached New Member")
        self.ui.key(welcome, VK_TAB)
        self.assertTrue(self.ui.until(lambda: self.ui.focus(welcome) == 1061, timeout=5))
        self.ui.key(welcome, VK_RETURN)
        member = self.page("member")
        self.ui.post(member, WM_CLOSE)  # leave: Exit through the resume dialog
        self.ui.click(self.page("resume"), IDOK)
        self.ui.click(self.page("summary"), IDOK)  # the cancel summary's Exit
        self.assertExit(run.wait(), 1602)
        self.assertTrue(is_subsequence([100, 101], self.history_events()[0]))

    def test_no_upgradable_client_becomes_an_additional_account(self):
        run = self.setup_exe(background=True)
        self.next_page("welcome", 1061)
        self.next_page("member")
        self.assertIn("No upgradable versions of ZOV could be found", self.ui.box_text(CAPTION))
        self.screenshot("no-upgradable-client")
        self.ui.box_click(CAPTION, IDOK)
        self.next_page("directory")
        self.assertExit(run.wait(), 0)
        self.assertEqual(self.engine_enter().get("INSTALL_TYPE"), "E")
        events, inst = self.history_events()
        self.assertEqual(inst, "d")
        self.assertTrue(is_subsequence([100, 101, 113, 104], events), events)

    def test_exit_through_the_resume_dialog(self):
        run = self.setup_exe(background=True)
        welcome = self.page("welcome")
        # Closing the page is closing the setup: first resume, then leave.
        self.ui.post(welcome, WM_CLOSE)
        resume = self.page("resume")
        self.assertEqual(self.ui.text(resume, 0), CAPTION)
        self.assertTrue(self.ui.text(resume, 1089).startswith("Remember - there's no risk"))
        self.screenshot("resume")
        self.ui.click(resume, IDCANCEL)
        self.ui.gone(PAGE["resume"])
        self.assertTrue(self.ui.present(PAGE["welcome"]))
        self.ui.post(self.ui.frame(), WM_CLOSE)
        self.ui.click(self.page("resume"), IDOK)
        self.ui.click(self.page("summary"), IDOK)  # the cancel summary's Exit
        self.assertExit(run.wait(), 1602)
        self.assertEqual(self.engine_runs(), [])
        self.assertTrue(is_subsequence([100, 128, 128, 134], self.history_events()[0]))


class DenseDisplay(InteractiveTestCase):
    def test_pages_keep_their_size_and_stretch_their_background_at_120_dpi(self):
        status, out = self.prefix.wine(
            ["C:\\windows\\system32\\reg.exe", "add", "HKCU\\Control Panel\\Desktop", "/v", "LogPixels", "/t", "REG_DWORD", "/d", "120", "/f"]
        )
        self.assertEqual(status, 0, out)
        self.restart_wine()  # the display's density is read when the server starts
        run = self.setup_exe(background=True)
        welcome = self.page("welcome")
        left, top, right, bottom = map(int, self.ui.call("rect", "@%d" % welcome).split())
        # At 96 dpi the page takes the background's 478 x 340 pixels; here its dialog units
        # make it larger and the background is stretched into it.
        self.assertGreater(right - left, 500)
        self.assertGreater(bottom - top, 360)
        self.screenshot("welcome-120dpi")
        self.ui.post(welcome, WM_CLOSE)
        self.ui.click(self.page("resume"), IDOK)
        self.ui.click(self.page("summary"), IDOK)  # the cancel summary's Exit
        self.assertExit(run.wait(), 1602)


class ScreenNameWelcome(InteractiveTestCase):
    def setUp(self):
        super().setUp()
        # The registration web site left its screen name in a browser profile.
        app_data = os.path.join(self.prefix.user_dir, "AppData", "Roaming")
        os.makedirs(os.path.join(app_data, *PROFILE.split("\\")))
        reg = RegistryFileWriter()
        profiles = reg.key(reg.child(reg.root, "Common"), "Profiles")
        reg.text(profiles, "CurrentProfile", "default")
        reg.text(reg.key(profiles, "default"), "directory", "C:\\users\\%s\\AppData\\Roaming\\%s" % (self.prefix.user, PROFILE))
        with open(os.path.join(app_data, "Mozilla", "registry.dat"), "wb") as f:
            f.write(reg.bytes())
        with open(os.path.join(app_data, *PROFILE.split("\\"), "cookies.txt"), "w", newline="") as f:
            f.write(cookie_line(COOKIE_DOMAIN, int(time.time()) + 86400, "webregSN", "WebMember"))

    def test_the_screen_name_installs_an_additional_account_under_it(self):
        run = self.setup_exe(background=True)
        welcome = self.page("welcome_screen_name")
        self.assertEqual(self.ui.text(welcome, 1376), "WebMember")
        self.assertEqual(self.ui.focus(welcome), 1376)
        self.screenshot("welcome-screen-name")
        self.next_page("welcome_screen_name", 1376)
        self.next_page("directory")
        self.assertExit(run.wait(), 0)
        enter = self.engine_enter()
        self.assertEqual(enter.get("INSTALL_TYPE"), "E")
        self.assertEqual(enter.get("BRANDSN"), "WebMember")
        events, inst = self.history_events()
        self.assertEqual(inst, "d")
        self.assertTrue(is_subsequence([146, 104], events), events)


if __name__ == "__main__":
    unittest.main()
