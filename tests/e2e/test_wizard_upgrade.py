"""The wizard for a current member whose computer has a client: the registered client with
its downloaded files, and a client picked from the upgrade list after a disk search. The
client comes from a first, unattended run; a driver on the setup's desktop works the pages."""

import os
import shutil
import time
import unittest

from harness import BIN_DIR, INSTALL_DIR, PAGE, InteractiveTestCase, is_subsequence
from test_easy_upgrade import client_database

CLIENT = "C:\\" + INSTALL_DIR.replace("/", "\\")
REG = "C:\\windows\\system32\\reg.exe"
INSTALLS = "HKLM\\Software\\Velquonet\\Velquonet\\Installs"


class CurrentMember(InteractiveTestCase):
    def setUp(self):
        super().setUp()
        self.assertExit(self.setup_exe("/s"), 0)
        self.reset_prefix_keeping_the_client()

    def reset_prefix_keeping_the_client(self):
        os.unlink(self.prefix.c("IPH.PH"))
        os.unlink(self.engine_record)

    def upgrade_pages(self, search_others=False):
        """Welcome, member page and recent-version page of an upgrade."""
        self.next_page("welcome", 1061)
        member = self.page("member")
        self.assertTrue(self.ui.checked(member, 1017))
        self.next_page("member")
        recent = self.page("recent")
        self.assertEqual(self.ui.text(recent, 1386), CLIENT)
        self.assertTrue(self.ui.checked(recent, 1384))
        if search_others:
            self.ui.click(recent, 1385)
        else:
            self.screenshot("recent-version")
        time.sleep(self.ARMING_S)
        self.next_page("recent")

    def test_upgrade_of_the_registered_client_moves_its_downloads(self):
        downloads = self.prefix.c(INSTALL_DIR + "/download")
        os.makedirs(downloads)
        with open(os.path.join(downloads, "letter.txt"), "w") as f:
            f.write("kept")
        shortcut = os.path.join(downloads, "ZOV Downloads.lnk")
        open(shortcut, "w").close()

        run = self.setup_exe(background=True)
        self.upgrade_pages()
        page = self.page("downloads")
        self.assertTrue(self.ui.checked(page, 1028), "MOVE is the default")
        self.ui.click(page, 1027)
        self.screenshot("downloads")
        time.sleep(self.ARMING_S)
        self.next_page("downloads")
        self.next_page("directory")
        self.assertExit(run.wait(), 0)

        enter = self.engine_enter()
        self.assertEqual((enter.get("INSTALL_TYPE"), enter.get("FILESACTION"), enter.get("OLDDIR")), ("C", "B", CLIENT))
        self.assertFalse(os.path.exists(shortcut), "the downloads shortcut stays only when the files stay")
        events, inst = self.history_events()
        self.assertEqual(inst, "b")
        self.assertTrue(is_subsequence([100, 101, 149, 103, 104], events), events)

    def map_client_on_drive_x(self):
        """An older client on a fixed drive X:; the host's root (Z:) becomes a network drive,
        which the disk search leaves alone."""
        root = os.path.join(self.prefix.work, "drive_x")
        folder = os.path.join(root, "Old", "ZOV")
        os.makedirs(os.path.join(folder, "idb"))
        os.symlink(root, os.path.join(self.prefix.path, "dosdevices", "x:"))
        shutil.copy(os.path.join(BIN_DIR, "wzov.exe"), os.path.join(folder, "wzov.exe"))
        database = os.path.join(folder, "idb", "main.idx")
        with open(database, "wb") as f:
            f.write(client_database("8.0", ["Older Member"]))
        os.utime(database, (1500000000, 1500000000))  # used long ago: listed last
        for args in (
            ["HKLM\\Software\\Wine\\Drives", "/v", "z:", "/d", "network"],
            # The cache of earlier finds lists only the registered client: the list starts short.
            [INSTALLS, "/ve", "/d", "1"],
            [INSTALLS, "/v", CLIENT, "/d", "9.0,1,0"],
        ):
            status, out = self.prefix.wine([REG, "add"] + args + ["/f"])
            self.assertEqual(status, 0, out)
        self.restart_wine()  # drive types are read when the server starts
        return "X:\\Old\\ZOV"

    def test_upgrade_from_the_list_after_a_disk_search(self):
        older = self.map_client_on_drive_x()
        run = self.setup_exe(background=True, timeout=240)
        self.upgrade_pages(search_others=True)

        page = self.page("list")
        selected, rows = self.ui.list(page, 1025)
        self.assertEqual((selected, len(rows)), (0, 1), rows)
        self.assertTrue(rows[0].startswith("ZOV 9.0, in %s" % CLIENT), rows)
        self.assertTrue(self.ui.text(page, 1005).startswith("Please select the version you would like to upgrade."))
        self.assertTrue(self.ui.state(page, 1395)[0], "the scan button")
        self.screenshot("upgrade-list")
        self.next_page("list", 1395)

        # The same page again after the search, without its scan button.
        page = self.page("list", timeout=180)
        selected, rows = self.ui.list(page, 1025)
        self.assertEqual(len(rows), 2, rows)
        self.assertTrue(rows[1].startswith("ZOV 8.0, in %s" % older), rows)
        self.assertTrue(self.ui.text(page, 1005).startswith("We've found other copies of ZOV on your computer."))
        self.assertFalse(self.ui.state(page, 1395)[0])
        self.ui.select(page, 1025, 1)
        self.screenshot("upgrade-list-scanned")
        self.next_page("list")
        self.next_page("directory")  # the old client has no downloads: no downloads page
        self.assertExit(run.wait(), 0)

        enter = self.engine_enter()
        self.assertEqual((enter.get("INSTALL_TYPE"), enter.get("FILESACTION"), enter.get("OLDDIR")), ("C", "C", older))
        events, inst = self.history_events()
        self.assertEqual(inst, "b")
        self.assertTrue(is_subsequence([100, 101, 149, 102, 102, 104], events), events)
        self.assertNotIn(103, events)


if __name__ == "__main__":
    unittest.main()
