"""Finding installed clients under Wine: easy upgrade of the client a first run installed,
and the disk search over a mapped fixed drive.

The disk search runs through the test hook ZOV_TEST_DISK_SCAN (test builds only): the upgrade
page whose "scan hard drive" button starts it is not part of an unattended run. The hook
writes the resulting client list, one "text<TAB>folder" line per entry."""

import os
import shutil
import struct
import unittest

from harness import INSTALL_DIR, SetupTestCase, hive_value, ini_value, read_ini, read_text, windows_path

CLIENT = "C:\\" + INSTALL_DIR.replace("/", "\\")
VELQUONET = "Software\\Velquonet\\Velquonet"
INSTALLS = VELQUONET + "\\Installs"
REG = "C:\\windows\\system32\\reg.exe"


def client_database(version, names, language=0, country=1, build=(4000, 1)):
    """A small new-format client database (the layout the setup reads): header "ZOVDB-25",
    kind 0x01000401, then 'R2D2' records of type, 32-bit length, flags and 12 spare bytes."""

    def record(rtype, data):
        return b"R2D2" + struct.pack("<IIH", rtype, len(data), 0) + bytes(12) + data

    build_data = bytearray(60)
    struct.pack_into("<HHHHH", build_data, 0, 1, 0, 0, build[0], build[1])
    out = b"ZOVDB-25\0" + struct.pack("<I", 0x01000401) + bytes(12)
    out += record(0x14000044, version.encode())
    out += record(0x14000006, bytes(build_data))
    out += record(0x14000068, struct.pack("<hh", 0, language))
    out += record(0x1400006D, bytes([country]))
    out += record(0x14FF0125, b"4000.1")
    out += record(0x14000010, b"\0" + b"".join(n.encode() + b"\0" for n in names))
    return out


class ClientDiscovery(SetupTestCase):
    def install_first_client(self):
        self.assertExit(self.setup_exe("/s"), 0)
        database = self.prefix.c(INSTALL_DIR + "/idb/main.idx")
        self.assertTrue(os.path.isfile(database), "the engine wrote no client database")
        return database

    def history_record_with(self, key):
        history = self.prefix.history() or []
        for section, keys in history:
            if key in dict(keys):
                return dict(keys)
        return None

    def test_easy_upgrade_finds_the_client_the_first_run_installed(self):
        self.install_first_client()
        # Even without "-eu" a second run takes itself for an upgrade: the installed client
        # left its entry in win.ini.
        self.engine_control(skip_install=1)
        self.assertExit(self.setup_exe("/s -? C:\\plain.ini"), 0)
        self.assertEqual(ini_value(read_ini(self.prefix.c("plain.ini")), "enter", "INSTALL_TYPE"), "C")
        self.engine_control()
        copy = self.prefix.c("copy.ini")
        self.assertExit(self.setup_exe("-eu -? C:\\copy.ini"), 0)

        settings = read_ini(copy)
        self.assertEqual(ini_value(settings, "enter", "INSTALL_TYPE"), "C")
        self.assertEqual(ini_value(settings, "enter", "OLDDIR"), CLIENT)
        self.assertEqual(ini_value(settings, "enter", "OLDLANGUAGECODE"), "0")
        self.assertEqual(ini_value(settings, "enter", "OLDCOUNTRYCODE"), "1")

        record = self.history_record_with("udir")
        self.assertIsNotNone(record, "no history record with udir")
        self.assertEqual(record.get("upc"), "4327.271")
        self.assertEqual(record.get("ucb"), "4327.271")
        self.assertEqual(record.get("udir"), CLIENT)
        self.assertEqual(record.get("qi"), "1")

        self.prefix.wait_server()
        self.assertEqual(hive_value(self.prefix.hive("system.reg"), INSTALLS, CLIENT), "9.0,1,0")

    def map_fixed_drive(self, letter):
        """A host folder as drive <letter>: (Wine reports a dosdevices symlink as fixed)."""
        root = os.path.join(self.prefix.work, "drive_" + letter)
        os.makedirs(root, exist_ok=True)
        os.symlink(root, os.path.join(self.prefix.path, "dosdevices", letter + ":"))
        return root

    def put_client(self, root, relative, version, mtime):
        folder = os.path.join(root, *relative.split("\\"))
        os.makedirs(os.path.join(folder, "idb"), exist_ok=True)
        shutil.copy(self.prefix.c(INSTALL_DIR + "/wzov.exe"), os.path.join(folder, "wzov.exe"))
        database = os.path.join(folder, "idb", "main.idx")
        with open(database, "wb") as f:
            f.write(client_database(version, ["Older Member"]))
        os.utime(database, (mtime, mtime))

    def test_disk_search_finds_both_clients_and_caches_them(self):
        installed = self.install_first_client()
        os.utime(installed, (1700000000, 1700000000))
        drive = self.map_fixed_drive("x")
        self.put_client(drive, "Old\\ZOV", "8.0", 1500000000)
        self.put_client(drive, "RECYCLER\\S-1-5-21\\ZOV", "8.0", 1600000000)
        self.put_client(drive, "$Recycle.Bin\\S-1-5-21\\ZOV", "8.0", 1600000000)
        # Z: is the host's whole file system: as a network drive it is not searched. The drive
        # types are read when the server starts.
        status, out = self.prefix.wine([REG, "add", "HKLM\\Software\\Wine\\Drives", "/v", "z:", "/d", "network", "/f"])
        self.assertEqual(status, 0, out)
        status, out = self.prefix.wine([REG, "delete", "HKLM\\" + VELQUONET, "/f"])
        self.assertEqual(status, 0, out)
        self.prefix.wait_server()

        listing = os.path.join(self.prefix.work, "clients.txt")
        self.engine_control(skip_install=1)
        result = self.setup_exe("/s", extra_env={"ZOV_TEST_DISK_SCAN": windows_path(listing)}, timeout=300)
        self.assertExit(result, 0)

        lines = [l for l in read_text(listing).split("\r\n") if l]
        folders = [l.split("\t")[1] for l in lines]
        self.assertEqual(folders, [CLIENT, "X:\\Old\\ZOV"], "most recently used first: %r" % lines)
        self.assertTrue(lines[0].startswith("ZOV 9.0, in %s, last used " % CLIENT), lines[0])
        self.assertTrue(lines[1].startswith("ZOV 8.0, in X:\\Old\\ZOV, last used "), lines[1])

        self.prefix.wait_server()
        hive = self.prefix.hive("system.reg")
        self.assertEqual(hive_value(hive, INSTALLS, CLIENT), "9.0,1,0")
        self.assertEqual(hive_value(hive, INSTALLS, "X:\\Old\\ZOV"), "8.0,1,0")
        self.assertEqual(hive_value(hive, INSTALLS, "@"), "1")
        for binned in ("X:\\RECYCLER\\S-1-5-21\\ZOV", "X:\\$Recycle.Bin\\S-1-5-21\\ZOV"):
            self.assertIsNone(hive_value(hive, INSTALLS, binned), "a client in the recycle bin was found")


if __name__ == "__main__":
    unittest.main()
