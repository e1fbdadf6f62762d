"""What the tests of the checks and the running clients share: the stand-in client
(wzov.exe), the probe helper (pipes, mutexes, message-box texts) and answering prompts from
outside, as a user would: find the box, read its text, press one of its buttons."""

import os
import shutil
import time

from harness import BIN_DIR, HELPERS, PAGE, SetupTestCase, UiDriver, read_text, windows_path

CAPTION = "Install ZOV 9.0 VR"
IDOK, IDCANCEL, IDRETRY, IDYES, IDNO = 1, 2, 4, 6, 7
CLIENT_FOLDER = "client"
MESSAGE_BOX = "65535"  # a message box: the dialog holding the text control 0xFFFF


class ChecksTestCase(SetupTestCase):
    # -- the stand-in client -------------------------------------------------------------------
    def start_client(self, *options):
        """Starts wzov.exe from C:\\client (with its TOD folder for the shutdown marker) and
        waits until it is up."""
        folder = self.prefix.c(CLIENT_FOLDER)
        os.makedirs(os.path.join(folder, "TOD"), exist_ok=True)
        exe = os.path.join(folder, "wzov.exe")
        shutil.copy(os.path.join(BIN_DIR, "wzov.exe"), exe)
        started = os.path.join(folder, "wzov.started")
        if os.path.exists(started):
            os.unlink(started)
        self.client = self.prefix.spawn([exe, "-lifetime", "170000"] + list(options))
        deadline = time.monotonic() + 30
        while not os.path.exists(started) and time.monotonic() < deadline:
            time.sleep(0.1)
        self.assertTrue(os.path.exists(started), "wzov.exe did not come up")

    def client_running(self):
        return self.mutex_exists("Global\\_ZOV_AppMutex")

    # -- probes ----------------------------------------------------------------------------------
    def probe(self, *args, timeout=60):
        out = os.path.join(self.prefix.work, "probe-%d.txt" % time.monotonic_ns())
        self.prefix.wine([os.path.join(HELPERS, "probe.exe"), "-out", windows_path(out)] + list(args), timeout=timeout)
        text = read_text(out)
        if os.path.exists(out):
            os.unlink(out)
        return text

    def mutex_exists(self, name):
        return self.probe("mutex", name).startswith("exists=1")

    def ask_pipe(self, command, *options):
        text = self.probe("pipe", "\\\\.\\Pipe\\ZOVINST", str(command), *options).strip()
        fields = dict(part.split("=", 1) for part in text.split() if "=" in part)
        return fields

    # -- answering prompts -----------------------------------------------------------------------
    def answer_boxes(self, run, decide, timeout=120):
        """Until the setup ends: finds each message box (and the resume dialog), reads its
        text, and presses the button that decide(text) names; on the welcome page it chooses
        New Member. The disk-space page reads as its title and message on two lines; IDOK
        presses its Next, anything else its cancel. Returns the texts in order."""
        seen = []
        ui = UiDriver(self.prefix).start()
        try:
            deadline = time.monotonic() + timeout
            while run.running() and time.monotonic() < deadline:
                ok, welcome = ui.try_call("wait", PAGE["welcome"], 0)
                if ok:
                    ui.try_call("click", "@" + welcome, 1060)
                    ui.try_call("gone", "@" + welcome, 10000)
                    continue
                ok, page = ui.try_call("wait", PAGE["disk_space"], 0)
                if ok:
                    text = ui.try_call("text", "@" + page, 1007)[1] + "\n" + ui.try_call("text", "@" + page, 1005)[1]
                    ui.try_call("click", "@" + page, 1006 if decide(text) == IDOK else 1030)
                    ui.try_call("gone", "@" + page, 10000)
                    seen.append(text)
                    continue
                for selector, text_id in ((MESSAGE_BOX, 0xFFFF), (PAGE["resume"], 1089)):
                    ok, hwnd = ui.try_call("wait", selector, 0)
                    if not ok:
                        continue
                    ok, text = ui.try_call("text", "@" + hwnd, text_id)
                    if not ok:
                        continue  # gone meanwhile
                    ui.try_call("click", "@" + hwnd, decide(text))
                    ui.try_call("gone", "@" + hwnd, 10000)
                    seen.append(text)
                    break
                else:
                    time.sleep(0.2)
        finally:
            ui.stop()
        return seen

    @staticmethod
    def history_events(history):
        sc = ""
        for section, keys in history or []:
            if section.lower() == "inst01":
                sc = dict(keys).get("sc", "")
        return [int(item.split(":")[1]) for item in sc.split(",") if ":" in item]
