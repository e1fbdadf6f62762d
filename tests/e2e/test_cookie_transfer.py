"""The screen-name cookie of the registration web site, left in a Mozilla-style profile
(a registry file naming the profile folder, and its cookies.txt), end to end.

The registry file is written here by the test's own encoder of the file format, so the
setup program's reader is checked against an independent writer."""

import os
import struct
import time
import unittest

from harness import SetupTestCase, ini_value, read_ini, read_text

COOKIE_DOMAIN = ".zov.invalid"  # from string 1378, http://register.zov.invalid/webreg/
PROFILE = "Mozilla\\Profiles\\default\\k3j2x9.slt"


class RegistryFileWriter:
    """A registry file laid out from the format table: a 128-byte header area, then names,
    values and 32-byte node descriptors, all little-endian, appended in creation order."""

    MAGIC = 0x76644441
    KEY, TEXT = 0x01, 0x11

    def __init__(self):
        self.data = bytearray(128)
        self.nodes = {}  # offset -> [location, name, name length, type, left, down, value, length, parent]
        self.root = self._node("/", self.KEY, 0)
        for name in ("Users", "Common", "Version Registry", "Private Arenas"):
            self.key(self.root, name)

    def _append(self, raw):
        at = len(self.data)
        self.data += raw
        return at

    def _node(self, name, node_type, parent, value_at=0, length=0):
        name_at = self._append(name.encode() + b"\0")
        at = len(self.data)
        fields = [at, name_at, len(name) + 1, node_type, 0, length if node_type != self.KEY else 0, value_at, length, parent]
        self.nodes[at] = fields
        self._append(bytes(32))
        return at

    def key(self, parent, name):
        at = self._node(name, self.KEY, parent)
        self.nodes[at][4] = self.nodes[parent][5]  # left: the parent's first child so far
        self.nodes[parent][5] = at  # the newest child comes first
        return at

    def text(self, key, name, value):
        raw = value.encode() + b"\0"
        value_at = self._append(raw)
        at = self._node(name, self.TEXT, key, value_at, len(raw))
        self.nodes[at][4] = self.nodes[key][6]
        self.nodes[key][6] = at
        return at

    def child(self, parent, name):
        at = self.nodes[parent][5]
        while at:
            node = self.nodes[at]
            if bytes(self.data[node[1] : node[1] + node[2] - 1]).decode() == name:
                return at
            at = node[4]
        return None

    def bytes(self):
        out = bytearray(self.data)
        struct.pack_into("<IHHII", out, 0, self.MAGIC, 1, 2, len(out), self.root)
        for at, f in self.nodes.items():
            struct.pack_into("<IIHHIIIII", out, at, *f)
        return bytes(out)


def cookie_line(domain, expires, name, value):
    return "%s\tTRUE\t/\tFALSE\t%d\t%s\t%s\r\n" % (domain, expires, name, value)


class CookieTransfer(SetupTestCase):
    def setUp(self):
        super().setUp()
        app_data = os.path.join(self.prefix.user_dir, "AppData", "Roaming")
        self.profile_dir = os.path.join(app_data, *PROFILE.split("\\"))
        os.makedirs(self.profile_dir)
        windows_profile = "C:\\users\\%s\\AppData\\Roaming\\%s" % (self.prefix.user, PROFILE)

        reg = RegistryFileWriter()
        profiles = reg.key(reg.child(reg.root, "Common"), "Profiles")
        reg.text(profiles, "CurrentProfile", "default")
        reg.text(reg.key(profiles, "default"), "directory", windows_profile)
        with open(os.path.join(app_data, "Mozilla", "registry.dat"), "wb") as f:
            f.write(reg.bytes())

        later = int(time.time()) + 30 * 86400
        self.kept = [
            "# Netscape HTTP Cookie File\r\n",
            cookie_line(".shop.example", later, "session", "abc"),
            cookie_line(COOKIE_DOMAIN, later, "TimeStamp", "07152004 13:45:30"),
            cookie_line(".other.example", later, "webregSN", "NotOurs"),
        ]
        self.cookie = cookie_line(COOKIE_DOMAIN, later, "webregSN", "WebMember")
        lines = self.kept[:2] + [self.cookie] + self.kept[2:]
        self.cookies_txt = os.path.join(self.profile_dir, "cookies.txt")
        with open(self.cookies_txt, "w", newline="") as f:
            f.write("".join(lines))
        self.original = read_text(self.cookies_txt)

    def test_cookie_makes_an_additional_account_and_stays_until_a_successful_install(self):
        copy = self.prefix.c("copy.ini")
        self.assertExit(self.setup_exe("/s -? C:\\copy.ini"), 0)
        self.assertTrue(os.path.exists(copy), "no settings copy")
        self.assertEqual(ini_value(read_ini(copy), "enter", "INSTALL_TYPE"), "E")
        # BRANDSN is written only when the screen name is used, which the wizard decides.
        self.assertIsNone(ini_value(read_ini(copy), "enter", "BRANDSN"))
        self.assertEqual(read_text(self.cookies_txt), self.original, "a settings copy has no post-install step")

    def test_successful_install_deletes_the_cookie_line_and_keeps_the_others(self):
        self.assertExit(self.setup_exe("/s"), 0)
        runs = self.engine_runs()
        self.assertEqual(len(runs), 1, "engine runs: %r" % runs)
        self.assertEqual(dict(runs[0][1]).get("INSTALL_TYPE"), "E")
        self.assertEqual(read_text(self.cookies_txt), "".join(self.kept))
        self.assertEqual([n for n in os.listdir(self.profile_dir) if n != "cookies.txt"], [], "temporary file left")

    def test_failed_install_keeps_the_cookie(self):
        self.engine_control(result="3", skip_install="1")
        self.assertExit(self.setup_exe("/s"), 1602)
        self.assertEqual(read_text(self.cookies_txt), self.original)


if __name__ == "__main__":
    unittest.main()
