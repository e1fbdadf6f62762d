"""The directory selection dialog and the disk dialogs as a person meets them: choosing a new
folder (refused ones first: a folder of someone else's files, a CD drive without a disc), and
the disk-space page after the engine found too little room, with its cleanup and change-drive
dialogs, and the cleanup dialog with Cancel when the temporary folder's drive is full at start.
Screenshots go to <build>/artefacts/screenshots."""

import os
import subprocess
import unittest

from harness import CAPTION, IDCANCEL, IDOK, INSTALL_DIR, NEXT, PAGE, InteractiveTestCase

REG = "C:\\windows\\system32\\reg.exe"
MAIN_DIR = "C:\\" + INSTALL_DIR.replace("/", "\\")
SELECT = "1057,1067"  # the directory selection dialog: its tree and drive list
CLEANUP = "191,1033"  # the disk cleanup dialog
LONG_NAME = "Applications installed for every member of this household"
CHOSEN = "C:\\Apps\\" + LONG_NAME + "\\My ZOV"
FOREIGN = "The directory you have specified contains files that were not installed by ZOV.\n\nPlease select another directory."


class DirectoryDialogs(InteractiveTestCase):
    def map_cd_drive_without_disc(self):
        """E: a CD drive whose mount point leads nowhere, as an empty drive answers."""
        os.symlink(os.path.join(self.prefix.work, "no-disc"), os.path.join(self.prefix.path, "dosdevices", "e:"))
        status, out = self.prefix.wine([REG, "add", "HKLM\\Software\\Wine\\Drives", "/v", "e:", "/d", "cdrom", "/f"])
        self.assertEqual(status, 0, out)
        self.restart_wine()  # drive types are read when the server starts

    def selected_drive(self, dialog):
        return int(self.ui.call("lvsel", dialog, 1067).split()[0])

    def done_refused(self, dialog, path, button=IDOK):
        """Types the path, presses Done; the message box's text, answered with `button`."""
        self.ui.call("settext", dialog, 1055, path)
        self.ui.click(dialog, IDOK)
        text = self.ui.box_text(CAPTION)
        self.ui.box_click(CAPTION, button)
        self.assertTrue(self.ui.until(lambda: not self.ui.try_call("boxtext", CAPTION)[0], timeout=10))
        self.ui.wait(SELECT, 5)
        return text

    def test_refused_folders_then_a_new_one_reaches_the_engine(self):
        self.map_cd_drive_without_disc()
        os.makedirs(self.prefix.c("Foreign"))
        with open(self.prefix.c("Foreign/notes.txt"), "w") as f:
            f.write("not ours")
        self.engine_control(skip_install=1)
        run = self.setup_exe("-a", background=True)  # a new member sees the page only with -a
        self.next_page("welcome", 1060)
        page = self.page("directory")
        self.assertEqual(self.ui.text(page, 1021), MAIN_DIR)
        self.ui.click(page, 1020)
        dialog = self.ui.wait(SELECT)
        self.assertFalse(self.ui.present(PAGE["directory"]), "the page hides behind the dialog")
        self.assertEqual(self.ui.text(dialog, 0), "Select Installation Directory")
        self.assertEqual(self.ui.text(dialog, 1055), MAIN_DIR)
        drive_c = self.selected_drive(dialog)
        self.assertGreaterEqual(drive_c, 0, "the current folder's drive is selected")
        self.screenshot("select-directory")

        self.assertEqual(self.done_refused(dialog, "C:\\Foreign"), FOREIGN)
        # A drive without a disc: Cancel keeps the dialog and the drive it had.
        self.ui.call("settext", dialog, 1055, "E:\\ZOV")
        self.ui.click(dialog, IDOK)
        self.assertEqual(self.ui.box_text(CAPTION), "E:\\ is not accessable\n\nThe device is not ready.")
        self.screenshot("drive-not-ready")
        self.ui.box_click(CAPTION, IDCANCEL)
        self.ui.wait(SELECT, 5)
        self.assertEqual(self.selected_drive(dialog), drive_c)

        # Doubled backslashes and trailing blanks go; a path wider than the page's field is
        # shown with an ellipsis, and the whole path goes on.
        self.ui.call("settext", dialog, 1055, "C:\\Apps\\\\" + LONG_NAME + "\\My ZOV  ")
        self.ui.click(dialog, IDOK)
        self.ui.gone(SELECT)
        page = self.page("directory")
        self.assertEqual(self.ui.text(page, 1021), CHOSEN)
        self.screenshot("directory-long-path")
        self.ui.click(page, NEXT)
        self.assertExit(run.wait(), 0)
        self.assertEqual(self.engine_enter().get("MAINDIR"), CHOSEN)
        events, _ = self.history_events()
        for event in (104, 105, 130, 138):
            self.assertIn(event, events)

    def test_disk_space_page_with_cleanup_and_change_drive_then_next_runs_the_engine_again(self):
        self.engine_control(result="2", skip_install=1)
        run = self.setup_exe(background=True)
        self.next_page("welcome", 1060)
        page = self.page("disk_space", timeout=60)
        self.assertEqual(self.ui.text(page, 1061), "Drive C:")
        self.assertTrue(self.ui.text(page, 1059).startswith("Required space: "))
        self.assertTrue(self.ui.text(page, 1060).startswith("Available space: "))
        self.assertIn(self.ui.text(page, 1005).split(" ")[3], ("now", "does"))
        self.assertTrue(self.ui.state(page, 1019)[0], "Back after the engine's result")
        self.screenshot("disk-space")

        self.ui.click(page, 1029)
        cleanup = self.ui.wait(CLEANUP)
        self.assertFalse(self.ui.state(cleanup, IDCANCEL)[0], "no cancel outside the checks")
        self.assertTrue(self.ui.text(cleanup, 1037))  # the temporary-file hint
        self.screenshot("disk-cleanup")
        self.ui.click(cleanup, IDOK)
        self.ui.gone(CLEANUP)

        page = self.page("disk_space")
        if self.ui.state(page, 1031)[0]:  # shown with two fixed drives (C: and Wine's Z:)
            self.ui.click(page, 1031)
            change = self.ui.wait(SELECT)
            self.assertTrue(self.ui.text(change, 1005).startswith("The current drive selected for installation"))
            self.screenshot("change-drive")
            self.ui.click(change, IDCANCEL)
            self.ui.gone(SELECT)
            page = self.page("disk_space")

        self.engine_control(skip_install=1)  # room was made: the next run succeeds
        self.ui.click(page, NEXT)
        self.assertExit(run.wait(), 0)
        self.assertEqual(len(self.engine_runs()), 2)
        events, _ = self.history_events()
        self.assertEqual((events.count(106), events.count(107), events.count(115)), (1, 1, 2), events)

    def small_drive(self, letter, size):
        """<letter>: a tmpfs of `size` (mount's notation); skips where this machine cannot
        mount one. Returns its host path."""
        root = os.path.join(self.prefix.work, "small-drive")
        os.makedirs(root)
        mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=" + size, "tmpfs", root], capture_output=True)
        if mounted.returncode != 0:
            self.skipTest("cannot mount a small drive here: %s" % mounted.stderr.decode().strip())
        self.addCleanup(subprocess.run, ["umount", "-l", root])
        os.symlink(root, os.path.join(self.prefix.path, "dosdevices", letter + ":"))
        return root

    def test_a_full_temporary_drive_at_start_ends_a_silent_run_and_offers_cleanup_with_cancel(self):
        root = self.small_drive("t", "64k")
        temp = {"TEMP": "T:\\", "TMP": "T:\\"}
        self.engine_control(skip_install=1)
        self.assertExit(self.setup_exe("/s", child_env=temp), 112)
        self.assertEqual(self.engine_runs(), [])

        run = self.setup_exe(child_env=temp, background=True)
        self.assertTrue(self.ui.box_text(CAPTION).startswith("Your hard drive does not have enough free disk space"))
        self.ui.box_click(CAPTION, IDOK)
        cleanup = self.ui.wait(CLEANUP)
        self.assertEqual(self.ui.state(cleanup, IDCANCEL)[:2], (True, True), "Cancel is offered in the checks")
        # The dialog measures the drive that is short, not the roomy system drive.
        self.assertEqual(self.ui.text(cleanup, 191), "You currently do not have enough disk space on drive T.")
        self.screenshot("disk-cleanup-at-start")
        # Cancel, then Resume: the drive is measured again, still full, and asked about again.
        self.ui.click(cleanup, IDCANCEL)
        self.ui.click(self.page("resume"), IDCANCEL)
        self.ui.box_click(CAPTION, IDOK)
        cleanup = self.ui.wait(CLEANUP)
        # Room made meanwhile: Continue measures again and the run goes on.
        subprocess.run(["mount", "-o", "remount,size=64m", root], check=True)
        enough = "You now have enough disk space to install ZOV. Click 'Continue'."
        self.assertTrue(self.ui.until(lambda: self.ui.text(cleanup, 191) == enough, timeout=10))
        self.ui.click(cleanup, IDOK)
        self.next_page("welcome", 1060)
        self.assertExit(run.wait(), 0)
        self.assertEqual(len(self.engine_runs()), 1)


if __name__ == "__main__":
    unittest.main()
