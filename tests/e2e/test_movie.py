"""The frame's movie with our own movie control (zovmovie.ocx): a first install on a clean
computer whose CD runs the stand-in player installer, the movie's own progress display, its
cancel button, and the bitmap background whenever a movie cannot be had. Screenshots of the
movie states go to <build>/artefacts/screenshots (movie-*.png)."""

import os
import shutil
import struct
import unittest
import zlib

from harness import (BIN_DIR, CAPTION, IDOK, PAGE, InteractiveTestCase, TraceCapture, hive_value, ini_value,
                     is_subsequence, read_ini)

FLASH_CONTROL = 1382
OWN_SERVER_KEY = "Software\\Classes\\CLSID\\{C1145550-A454-11D4-9020-00D0B7239081}\\InProcServer32"
UNINSTALL_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZOV"
WM_LBUTTONUP = 0x0202
# The progress movies' layout in their own 640 x 480 units (scripts/make_movies.py).
MAIN_BAR = (40, 265, 560, 22)
CANCEL_BUTTON = (500, 420, 100, 32)
BAR_FILL = (0x28, 0x78, 0xFF)


def movie_lines(lines):
    """The trace lines of the frame's movie decision."""
    return [line for line in lines if line.startswith("Flash initialized") or line == "Flash Unavailable"]


def read_png(path):
    """(width, height, rows of RGB bytes) of a PNG the harness wrote (filter 0, 8-bit RGB)."""
    with open(path, "rb") as f:
        data = f.read()
    width, height = struct.unpack(">II", data[16:24])
    at, idat = 8, b""
    while at < len(data):
        (length,) = struct.unpack(">I", data[at : at + 4])
        if data[at + 4 : at + 8] == b"IDAT":
            idat += data[at + 8 : at + 8 + length]
        at += 12 + length
    raw = zlib.decompress(idat)
    stride = width * 3 + 1
    return width, height, [raw[y * stride + 1 : (y + 1) * stride] for y in range(height)]


class MovieCase(InteractiveTestCase):
    def media(self, **settings):
        """Changes [settings] of media.ini on the CD."""
        path = self.prefix.c("cd/media/media.ini")
        with open(path, newline="") as f:
            lines = f.read().splitlines()
        for key, value in settings.items():
            lines = ["%s=%s" % (key, value) if line.startswith(key + "=") else line for line in lines]
        with open(path, "w", newline="") as f:
            f.write("\r\n".join(lines))

    def traced(self, args="/s"):
        """The trace of a silent run that installs nothing."""
        trace = TraceCapture(self.prefix).start()
        self.engine_control(skip_install=1)
        self.assertExit(self.setup_exe(args), 0)
        return trace.stop()

    def register_control(self):
        """The client's control as an installed client leaves it: registered where it lies."""
        status, _ = self.prefix.wine(["C:\\windows\\system32\\regsvr32.exe", "/s", "C:\\cd\\payload\\zovmovie.ocx"])
        self.assertEqual(status, 0)

    def movie_item(self):
        """The frame's movie control window, or None."""
        ok, value = self.ui.try_call("item", "@%d" % self.ui.frame(), FLASH_CONTROL)
        return int(value) if ok and int(value) else None

    def movie_window(self):
        movie = self.ui.until(self.movie_item, timeout=20)
        self.assertTrue(movie, "the frame has no movie control")
        return movie

    def to_pixels(self, movie, x, y):
        """A point of the movie's own units as pixels of its window (kept in proportion, centred)."""
        left, top, right, bottom = map(int, self.ui.call("rect", "@%d" % movie).split())
        scale = min((right - left) / 640, (bottom - top) / 480)
        return (int((right - left - 640 * scale) / 2 + x * scale), int((bottom - top - 480 * scale) / 2 + y * scale)), (
            left,
            top,
        )

    def bar_fill(self, name, movie):
        """The share of the main bar drawn in the fill colour, from a screenshot of the movie."""
        png = self.screenshot(name)
        width, _, rows = read_png(png)
        x, y, w, h = MAIN_BAR
        (px, py), (left, top) = self.to_pixels(movie, x, y + h // 2)
        (px2, _), _ = self.to_pixels(movie, x + w, y)
        row = rows[top + py]
        filled = sum(1 for i in range(left + px, left + px2) if tuple(row[i * 3 : i * 3 + 3]) == BAR_FILL)
        return filled / max(1, px2 - px)


class FirstInstall(MovieCase):
    def test_the_player_installer_runs_then_the_movie_plays_the_install(self):
        flash = self.prefix.c("cd/comps/flash")
        os.makedirs(flash)
        shutil.copy(os.path.join(BIN_DIR, "FlashSetup.exe"), os.path.join(flash, "setup.exe"))
        shutil.copy(os.path.join(BIN_DIR, "zovmovie.ocx"), flash)
        with open(self.prefix.c("cd/comps.ini"), "w", newline="\r\n") as f:
            f.write("[ltext]\ntext=\n\n[mflash]\ntarget=comps\\flash\\setup.exe\nparams=/s\n")
        self.hold_engine("start,20,60")
        trace = TraceCapture(self.prefix).start()
        run = self.setup_exe(background=True)
        # The trace viewer counts as another running program: the checks' notice, then the welcome.
        self.ui.box_click(CAPTION, IDOK)
        welcome = self.page("welcome")
        self.movie_window()
        self.screenshot("movie-welcome")
        self.ui.click(welcome, 1060)
        # While the engine has not begun, the "initializing" movie stands for the busy display.
        self.ui.gone(PAGE["welcome"])
        self.screenshot("movie-initializing")
        self.assertFalse(self.ui.present(PAGE["busy"]), "a busy dialog over the movie")
        self.release_engine()
        progress = self.page("progress")
        for hold in (20, 60):
            percent = self.ui.until(lambda: self.ui.pos(progress, 1064) >= hold and self.ui.pos(progress, 1064))
            self.screenshot("movie-progress-%d" % hold)
            self.assertGreaterEqual(percent, hold)
            self.release_engine()
        self.assertExit(run.wait(), 0)
        lines = trace.stop()
        self.assertTrue(
            is_subsequence(
                [
                    "Successfully Install Adobe Flash Player",
                    "External Flash available, Using it in Installation",
                    "Flash initialized, Version 10.0",
                    "Update movie file start.zmv",
                    "Update movie file initializing.zmv",
                    lambda line: line in ("Update movie file newmember.zmv", "Update movie file bband.zmv"),
                    "Update movie file ending.zmv",
                ],
                lines,
            ),
            "\n".join(lines),
        )
        # The installed client registered its own control: the next setup here chooses it.
        self.prefix.wait_server()
        server = hive_value(self.prefix.hive("system.reg"), OWN_SERVER_KEY, "@")
        self.assertEqual(server, "C:\\Program Files\\ZOV 9.0\\zovmovie.ocx")


class FlashProgress(MovieCase):
    def setUp(self):
        super().setUp()
        self.register_control()
        self.media(use_flash_progress=1)

    def test_the_movie_shows_the_progress_and_the_dialog_lies_out_of_sight(self):
        self.hold_engine("25,75")
        run = self.setup_exe("-t", background=True)
        self.ui.click(self.page("welcome"), 1060)
        progress = self.page("progress")
        movie = self.movie_window()
        fills = []
        for hold in (25, 75):
            percent = self.ui.until(lambda: self.ui.pos(progress, 1064) >= hold and self.ui.pos(progress, 1064))
            self.assertGreaterEqual(percent, hold)
            frame_right, frame_bottom = map(int, self.ui.call("rect", "@%d" % self.ui.frame()).split()[2:])
            left, top = map(int, self.ui.call("rect", "@%d" % progress).split()[:2])
            self.assertGreaterEqual((left, top), (frame_right + 100, frame_bottom + 100), "the dialog is in view")
            fills.append((percent, self.bar_fill("movie-flash-progress-%d" % hold, movie)))
            self.release_engine()
        self.assertExit(run.wait(), 0)
        for percent, fill in fills:
            self.assertAlmostEqual(fill, percent / 100, delta=0.03, msg="the movie's bar at %d%%" % percent)

    def test_the_movies_cancel_button_cancels_the_install(self):
        self.media(flash_hsize=640, flash_vsize=480)  # a fixed size: centred in the frame
        self.hold_engine("50")
        run = self.setup_exe(background=True)
        self.ui.click(self.page("welcome"), 1060)
        progress = self.page("progress")
        movie = self.movie_window()
        left, top, right, bottom = map(int, self.ui.call("rect", "@%d" % movie).split())
        self.assertEqual((right - left, bottom - top), (640, 480))
        frame = list(map(int, self.ui.call("rect", "@%d" % self.ui.frame()).split()))
        self.assertLessEqual(abs((left + right) - (frame[0] + frame[2])), 20, "not centred across the frame")
        self.assertTrue(self.ui.until(lambda: self.ui.pos(progress, 1064) >= 50))
        x, y, w, h = CANCEL_BUTTON
        (px, py), _ = self.to_pixels(movie, x + w // 2, y + h // 2)
        self.ui.post(movie, WM_LBUTTONUP, 0, (py << 16) | px)
        self.release_engine()
        self.ui.click(self.page("summary"), IDOK)  # the cancel summary's Exit
        self.assertExit(run.wait(), 1602)
        self.assertFalse(os.path.exists(self.prefix.c("Program Files/ZOV 9.0/DAD.exe")), "the cancelled install stayed")


class Fallbacks(MovieCase):
    """Without a movie the frame keeps its bitmap background: silent runs, told by the trace."""

    def test_a_missing_movie_a_switch_and_an_unregistered_control_leave_the_bitmap(self):
        lines = self.traced()
        self.assertIn("Flash Unavailable", lines, "no control is registered")
        self.register_control()
        self.assertIn("Flash initialized, Version 10.0", self.traced())
        lines = self.traced("/s -f")
        self.assertFalse(movie_lines(lines), "-f leaves the movie out")
        os.unlink(self.prefix.c("cd/media/searching.zmv"))
        lines = self.traced()
        self.assertFalse(movie_lines(lines), "a missing movie fails validation")

    def test_the_interactive_run_without_a_movie_file_shows_the_busy_dialog(self):
        self.register_control()
        os.unlink(self.prefix.c("cd/media/ending.zmv"))
        self.hold_engine("start")
        run = self.setup_exe("-t", background=True)
        self.ui.click(self.page("welcome"), 1060)
        self.page("busy")
        self.assertIsNone(self.movie_item())
        self.release_engine()
        self.assertExit(run.wait(), 0)


class Removal(MovieCase):
    def test_removing_the_client_takes_its_control_registration_and_files(self):
        self.assertExit(self.setup_exe("/s"), 0)
        self.prefix.wait_server()
        system = self.prefix.hive("system.reg")
        self.assertEqual(hive_value(system, OWN_SERVER_KEY, "@"), "C:\\Program Files\\ZOV 9.0\\zovmovie.ocx")
        command = hive_value(system, UNINSTALL_KEY, "UninstallString")
        self.assertEqual(command, '"C:\\Program Files\\ZOV 9.0\\uninst.exe" -uninstall "C:\\Program Files\\ZOV 9.0"')
        # The uninstaller hands over to a copy of itself; the prefix is done when that one is.
        self.assertExit(self.prefix.run(command), 0)
        self.prefix.wait_server()
        system = self.prefix.hive("system.reg")
        self.assertIsNone(hive_value(system, OWN_SERVER_KEY, "@"))
        self.assertIsNone(hive_value(system, UNINSTALL_KEY, "UninstallString"))
        self.assertFalse(os.path.exists(self.prefix.c("Program Files/ZOV 9.0")), "files of the client stayed")
        # Nothing names the removed folder any more, so the next setup is a new install.
        self.assertIsNone(hive_value(system, "Software\\Velquonet\\Velquonet\\CurrentVersion", "Apppath"))
        self.assertIsNone(hive_value(system, "Software\\Velquonet\\Velquonet", "LastRegisteredAppPath"))
        self.assertIsNone(ini_value(read_ini(self.prefix.c("windows/win.ini")), "WZOV", "AppPath"))
        # The next setup here no longer finds the client's control (and the CD has no player).
        self.assertIn("Flash Unavailable", self.traced("/s -? C:\\plain.ini"))
        self.assertEqual(ini_value(read_ini(self.prefix.c("plain.ini")), "enter", "INSTALL_TYPE"), "A")


if __name__ == "__main__":
    unittest.main()
