"""The Flash Player check while the frame is made, with the stand-in installer (FlashSetup.exe)
at comps\\flash\\setup.exe on the CD, and the trust entry after the wizard."""

import os
import shutil
import struct
import unittest

from harness import BIN_DIR, SetupTestCase, TraceCapture, hive_value, is_subsequence, missing_from_subsequence, read_text, windows_path

PLAYER_CLASS = "{D27CDB6E-AE6D-11cf-96B8-444553540000}"
SERVER_KEY = "Software\\Classes\\CLSID\\" + PLAYER_CLASS + "\\InProcServer32"
TRUST_FILE = "ProgramData/Macromedia/Flash Player/#Security/FlashPlayerTrust/ZOV.cfg"
CLIENT_ENTRY = "C:\\Program Files\\ZOV 9.0\\wzov.exe"

INSTALLED = [
    "Successfully CreateProcess for Adobe Flash Player Installer",
    "WaitCode for Flash Player is Signaled",
    "GetExitCodeProcess started",
    "Return Value in GetExitCodeProcess is Success",
    "Exit Code Flash Installer Process in Success State",
    "Successfully Install Adobe Flash Player",
    "Exit Flash Installation 1",
]


def with_file_version(source, target, major, minor, build, revision):
    """Copies a program and changes the file version of its version resource."""
    with open(source, "rb") as f:
        data = bytearray(f.read())
    at = data.find(struct.pack("<I", 0xFEEF04BD))
    if at < 0:
        raise AssertionError("no version resource in %s" % source)
    struct.pack_into("<II", data, at + 8, (major << 16) | minor, (build << 16) | revision)
    with open(target, "wb") as f:
        f.write(data)


class FlashPlayerCase(SetupTestCase):
    def setUp(self):
        super().setUp()
        self.installer = os.path.join(BIN_DIR, "FlashSetup.exe")
        target = self.prefix.c("cd/comps/flash")
        os.makedirs(target)
        shutil.copy(self.installer, os.path.join(target, "setup.exe"))
        self.record = os.path.join(self.prefix.work, "flash-record.txt")

    def comps(self, params):
        with open(self.prefix.c("cd/comps.ini"), "w", newline="\r\n") as f:
            f.write("[ltext]\ntext=\n\n[mflash]\ntarget=comps\\flash\\setup.exe\nparams=%s\n" % params)

    def installer_runs(self):
        return [line for line in read_text(self.record).split("\r\n") if line]

    def register_player(self, path):
        status, _ = self.prefix.wine(
            ["C:\\windows\\system32\\reg.exe", "add", "HKCR\\CLSID\\%s\\InProcServer32" % PLAYER_CLASS, "/ve", "/d", path, "/f"]
        )
        self.assertEqual(status, 0)

    def registered_server(self):
        self.prefix.wait_server()
        return hive_value(self.prefix.hive("system.reg"), SERVER_KEY, "@")

    def traced_run(self, args="/s"):
        trace = TraceCapture(self.prefix).start()
        result = self.setup_exe(args)
        return result, trace.stop()

    def assertTraced(self, expected, lines):
        self.assertTrue(
            is_subsequence(expected, lines),
            "missing or out of order: %r\ntrace:\n%s" % (missing_from_subsequence(expected, lines), "\n".join(lines)),
        )


class FlashInstaller(FlashPlayerCase):
    def test_installer_that_succeeds_is_run_once(self):
        self.comps("/s -record %s" % windows_path(self.record))
        result, lines = self.traced_run()
        self.assertExit(result, 0)
        runs = self.installer_runs()
        self.assertEqual(runs, ['"C:\\cd\\\\comps\\flash\\setup.exe" /s -record %s' % windows_path(self.record)])
        # While the frame is made: between the two lines around its creation.
        self.assertTraced(["Creating main frame window...", runs[0]] + INSTALLED + ["FrameWindow Created"], lines)
        self.assertTrue(self.registered_server().lower().endswith("\\macromed\\flash\\flash10z.ocx"))

        # The player it installed is found the next time, and nothing is installed again.
        result, lines = self.traced_run()
        self.assertExit(result, 0)
        self.assertEqual(len(self.installer_runs()), 1)
        self.assertTraced(
            ["Adobe Flash Player exists in PC", "Getting Existing File Version", "Higher Flash Version already Exists in Computer"],
            lines,
        )

    def test_installer_that_fails_does_not_stop_the_install(self):
        self.comps("/s -exit 1 -record %s" % windows_path(self.record))
        result, lines = self.traced_run()
        self.assertExit(result, 0)
        self.assertEqual(len(self.installer_runs()), 1)
        self.assertTraced(
            [
                "Return Value in GetExitCodeProcess is Success",
                "Exit Code Flash Installer Process in Failed State",
                "Unable to Install Adobe Flash Player",
                lambda line: line.startswith("Exit Flash Installation -ErrorCode: "),
                "Exit Flash Installation 0",
                "FrameWindow Created",
            ],
            lines,
        )
        self.assertIsNone(self.registered_server())

    def test_installer_still_running_after_nine_seconds_is_left_running(self):
        self.comps("/s -ms 30000 -record %s" % windows_path(self.record))
        result, lines = self.traced_run()
        self.assertExit(result, 0)
        self.assertGreaterEqual(result.seconds, 9)
        self.assertLess(result.seconds, 25, "the setup waited for the installer beyond 9 s")
        self.assertNotIn("WaitCode for Flash Player is Signaled", lines)
        self.assertTraced(
            [
                "Successfully CreateProcess for Adobe Flash Player Installer",
                "GetExitCodeProcess started",
                "Return Value in GetExitCodeProcess is Success",
                "Exit Code Flash Installer Process in Active State",
                "Successfully Install Adobe Flash Player",
                "Exit Flash Installation 1",
            ],
            lines,
        )

    def test_missing_installer_is_a_quiet_failure(self):
        os.unlink(self.prefix.c("cd/comps/flash/setup.exe"))
        self.comps("/s")
        result, lines = self.traced_run()
        self.assertExit(result, 0)
        self.assertTraced(["Unable to Install Adobe Flash Player", "Exit Flash Installation -ErrorCode: 2", "Exit Flash Installation 0"], lines)


class InstalledPlayer(FlashPlayerCase):
    def test_the_registered_player_decides_whether_to_install(self):
        # One prefix for the three cases (a fresh one costs more than the runs): each case
        # registers its own player over the last one.
        os.makedirs(self.prefix.c("flash"), exist_ok=True)
        self.comps("/s -record %s" % windows_path(self.record))
        cases = [
            # 9.0.15.0 is as new as 9.0.16.0: only major and minor count.
            ("same major and minor", (9, 0, 15, 0), "player.ocx", 0,
             ["Adobe Flash Player exists in PC", "Getting Existing File Version", "Same Flash Version already Exists in Computer"]),
            ("older player", (8, 0, 35, 0), "old.ocx", 1, ["Lower Flash Version Exists in Computer"] + INSTALLED),
            ("registered file gone", None, "gone.ocx", 1, ["Flash Player OCX does not exists in PC"] + INSTALLED),
        ]
        for label, version, name, installs, expected in cases:
            with self.subTest(label):
                self.reset_prefix()
                if version:
                    with_file_version(self.installer, self.prefix.c("flash/" + name), *version)
                self.register_player("C:\\flash\\" + name)
                before = len(self.installer_runs())
                result, lines = self.traced_run()
                self.assertExit(result, 0)
                self.assertEqual(len(self.installer_runs()) - before, installs)
                self.assertTraced(expected, lines)
                if installs:
                    self.assertTrue(self.registered_server().lower().endswith("flash10z.ocx"))


class TrustFile(FlashPlayerCase):
    """The client is added to the player's trust list after the wizard, not by an unattended run."""

    def trust_file(self):
        return read_text(self.prefix.c(TRUST_FILE))

    def test_wizard_path_adds_the_client_once(self):
        self.comps("/s")
        self.assertExit(self.new_member_run(), 0)
        self.assertEqual(self.trust_file(), CLIENT_ENTRY + "\r\n")
        self.reset_prefix()
        self.assertExit(self.new_member_run(), 0)
        self.assertEqual(self.trust_file(), CLIENT_ENTRY + "\r\n")

    def test_other_entries_are_kept(self):
        self.comps("/s")
        os.makedirs(os.path.dirname(self.prefix.c(TRUST_FILE)))
        with open(self.prefix.c(TRUST_FILE), "wb") as f:
            f.write(b"C:\\Games\\viewer.exe")  # a last line without its line end
        self.assertExit(self.new_member_run(), 0)
        self.assertEqual(self.trust_file(), "C:\\Games\\viewer.exe\r\n" + CLIENT_ENTRY + "\r\n")

    def test_silent_install_leaves_no_trust_entry(self):
        self.comps("/s")
        self.assertExit(self.setup_exe("/s"), 0)
        self.assertTrue(os.path.exists(self.prefix.c("Program Files/ZOV 9.0/wzov.exe")))
        self.assertEqual(self.trust_file(), "")


if __name__ == "__main__":
    unittest.main()
