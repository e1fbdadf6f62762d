"""Runs setup.exe from the staged CD image under Wine, one throw-away prefix per test.

Pieces:
- `Display`: an Xvfb server on a display it picks itself (-displayfd), one per test file.
- `prefix_template()`: a Wine prefix booted once per build tree, with its user folders made
  real so that copies of it are self-contained.
- `WinePrefix`: a `cp -a` copy of the template with its own HOME; runs Windows command lines
  exactly (through winrun.exe) and reads back what setup.exe left: install.ini, IPH.PH,
  desktop, registry.
- `TraceCapture`: the "Trace Monitor" stand-in (tracemon.exe -o) around a run.
- `SetupTestCase`: the unittest base class that wires these together.
- `UiDriver` and `InteractiveTestCase`: an interactive setup.exe on a virtual desktop, worked
  through its windows by uidriver.exe the way a person would; screenshots land in
  <build>/artefacts/screenshots.

By hand, after building the win64 preset:
    cd tests/e2e && python3 -m unittest -v test_silent_install
ZOV_BUILD_DIR picks another build tree (default build/win64); ZOV_E2E_KEEP=1 keeps each
test's prefix and logs (printed at the end of the test) for inspection.

Wine programs' output always goes to files: the first program in a prefix starts Wine's own
helpers, which inherit its standard handles, so a pipe would never reach end-of-file.
"""

import fcntl
import os
import re
import shutil
import subprocess
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))
BUILD_DIR = os.environ.get("ZOV_BUILD_DIR") or os.path.join(REPO, "build", "win64")
BIN_DIR = os.path.join(BUILD_DIR, "bin")
HELPERS = os.environ.get("ZOV_E2E_HELPERS") or os.path.join(BIN_DIR, "e2e")
CD_IMAGE = os.path.join(BUILD_DIR, "cd")
E2E_WORK = os.path.join(BUILD_DIR, "e2e")
ARTEFACTS = os.path.join(BUILD_DIR, "artefacts")

WINE_ENV = {
    "WINEDEBUG": "-all",
    "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d",
    # The test build measures the processor clock for a twentieth of a second instead of one
    # (twice a run): the suite's runs would otherwise spend two seconds each spinning a core.
    "ZOV_TEST_CLOCK_PARTS": "20",
}


def native_first(*names):
    """Environment that plays Windows' library search for these names: Wine takes its own
    copy of a system library unless told to prefer a file of that name ("n,b"), wherever
    the search finds it first."""
    return {"WINEDLLOVERRIDES": "%s;%s=n,b" % (WINE_ENV["WINEDLLOVERRIDES"], ",".join(names))}


# The frame window and its messages (the wire contract in src/protocol/contract.h).
FRAME_CLASS = "ZOVInstallerClass"
WM_CLOSE = 0x0010
WM_SYSCOMMAND = 0x0112
SC_RESTORE = 0xF120
WS_MAXIMIZE = 0x01000000
WS_MINIMIZEBOX = 0x00020000
VK_TAB, VK_RETURN, VK_ESCAPE = 0x09, 0x0D, 0x1B
IDOK, IDCANCEL = 1, 2
BM_CLICK = 0x00F5
WM_ENGINEDONE = 1154
WM_SETINSTALLPHASE = 1156

INSTALL_DIR = "Program Files/ZOV 9.0"
RETRY_LINK = "Retry ZOV 9.0 VR.lnk"

# Every exit code an ended engine run can map to (engine result table).
RESULT_EXIT_CODES = {0, 1151, 112, 1602, 1067, 126, 33, 1314}

TIME_STAMP = re.compile(
    r"^(Mon|Tue|Wed|Thu|Fri|Sat|Sun) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
    r"[ \d]\d \d\d:\d\d:\d\d\.\d{1,3} \d{4}$"
)


def windows_path(unix_path):
    """The Windows name of a host path through Wine's Z: drive (Z: is the host's root)."""
    return "Z:" + os.path.abspath(unix_path).replace("/", "\\")


def read_text(path):
    """A small file's text, "" when it does not exist."""
    if not os.path.exists(path):
        return ""
    with open(path, "rb") as f:
        return f.read().decode("latin-1")


def _run_quiet(args, env, timeout, log_path=None):
    """Runs a Unix-side command with its output in a log file; returns the exit status."""
    log = open(log_path, "ab") if log_path else subprocess.DEVNULL
    try:
        return subprocess.run(args, env=env, stdin=subprocess.DEVNULL, stdout=log, stderr=log, timeout=timeout).returncode
    finally:
        if log_path:
            log.close()


class Display:
    """An Xvfb server for one test file. Xvfb picks a free display itself, so parallel
    suites cannot collide."""

    def __init__(self, depth=24):
        self.depth = depth
        self.proc = None
        self.name = None

    def start(self):
        read_fd, write_fd = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "1024x768x%d" % self.depth, "-nolisten", "tcp"],
            pass_fds=(write_fd,),
            stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL,
        )
        os.close(write_fd)
        number = b""
        deadline = time.monotonic() + 30
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            chunk = os.read(read_fd, 16)
            if not chunk:
                break
            number += chunk
        os.close(read_fd)
        if not number.strip():
            self.stop()
            raise RuntimeError("Xvfb did not start")
        self.name = ":" + number.decode().strip()
        return self

    def stop(self):
        if self.proc is not None:
            self.proc.terminate()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
            self.proc = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()


def _isolated_home_env(home):
    """HOME and the XDG folders inside `home`: Wine puts desktop files, icons and the recycle
    bin there, and the recycle-bin calls fail unless the Trash folder exists."""
    data = os.path.join(home, ".local", "share")
    os.makedirs(os.path.join(data, "Trash", "files"), exist_ok=True)
    os.makedirs(os.path.join(data, "Trash", "info"), exist_ok=True)
    os.makedirs(os.path.join(home, ".config"), exist_ok=True)
    os.makedirs(os.path.join(home, ".cache"), exist_ok=True)
    return {
        "HOME": home,
        "XDG_DATA_HOME": data,
        "XDG_CONFIG_HOME": os.path.join(home, ".config"),
        "XDG_CACHE_HOME": os.path.join(home, ".cache"),
    }


def _base_env():
    env = {k: v for k, v in os.environ.items() if not k.startswith(("WINE", "DISPLAY", "ZOV_ENGINE", "ZOV_TEST_"))}
    env.update(WINE_ENV)
    return env


def prefix_template():
    """Boots the template prefix once per build tree (under a lock, so parallel test files
    share one) and returns its path."""
    os.makedirs(E2E_WORK, exist_ok=True)
    template = os.path.join(E2E_WORK, "prefix-template")
    ready = os.path.join(E2E_WORK, "prefix-template.ready")
    with open(os.path.join(E2E_WORK, "prefix-template.lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if os.path.exists(ready) and os.path.isdir(template):
            return template
        shutil.rmtree(template, ignore_errors=True)
        home = os.path.join(E2E_WORK, "prefix-template.home")
        shutil.rmtree(home, ignore_errors=True)
        env = _base_env()
        env.update(_isolated_home_env(home))
        env["WINEPREFIX"] = template
        log = os.path.join(E2E_WORK, "prefix-template.log")
        if _run_quiet(["wineboot", "-i"], env, 180, log) != 0:
            raise RuntimeError("wineboot -i failed, see %s" % log)
        _run_quiet(["wineserver", "-w"], env, 60, log)
        users = os.path.join(template, "drive_c", "users")
        for user in os.listdir(users):
            user_dir = os.path.join(users, user)
            if user == "Public" or not os.path.isdir(user_dir):
                continue
            # The user folders are symlinks into the booting HOME; a copy must own its own.
            for name in os.listdir(user_dir):
                path = os.path.join(user_dir, name)
                if os.path.islink(path):
                    os.unlink(path)
                    os.makedirs(path)
        shutil.rmtree(home, ignore_errors=True)
        open(ready, "w").close()
        return template


# Every program of the prefix on one virtual desktop of the screen's size: real frames and
# maximising (bare Xvfb has neither), and the UI driver sees the setup's windows.
VIRTUAL_DESKTOP_REG = (
    "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\r\n\"Desktop\"=\"Default\"\r\n\r\n"
    "[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]\r\n\"Default\"=\"1024x768\"\r\n"
)


def desktop_template():
    """The template prefix with the virtual desktop switched on, made once per build tree."""
    base = prefix_template()
    template = os.path.join(E2E_WORK, "prefix-desktop")
    ready = template + ".ready"
    with open(os.path.join(E2E_WORK, "prefix-desktop.lock"), "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if os.path.exists(ready) and os.path.isdir(template):
            return template
        shutil.rmtree(template, ignore_errors=True)
        subprocess.run(["cp", "-a", base, template], check=True)
        home = template + ".home"
        env = _base_env()
        env.update(_isolated_home_env(home))
        env["WINEPREFIX"] = template
        reg = template + ".reg"
        with open(reg, "w", newline="") as f:
            f.write(VIRTUAL_DESKTOP_REG)
        log = os.path.join(E2E_WORK, "prefix-desktop.log")
        status = _run_quiet(["wine", "C:\\windows\\system32\\reg.exe", "import", windows_path(reg)], env, 120, log)
        _run_quiet(["wineserver", "-w"], env, 60, log)
        shutil.rmtree(home, ignore_errors=True)
        if status != 0:
            raise RuntimeError("the virtual desktop setting failed, see %s" % log)
        open(ready, "w").close()
        return template


class RunResult:
    def __init__(self, exit_code, timed_out, seconds, raw):
        self.exit_code = exit_code  # full 32-bit code, or None
        self.timed_out = timed_out
        self.seconds = seconds
        self.raw = raw  # what winrun wrote

    def __repr__(self):
        text = "RunResult(exit_code=%r, timed_out=%r, seconds=%.1f, raw=%r)" % (
            self.exit_code,
            self.timed_out,
            self.seconds,
            self.raw,
        )
        if getattr(self, "wine_output", ""):
            text += "\nwine's output:\n" + self.wine_output
        return text


class WinePrefix:
    """A private copy of the template prefix. Always `close()` it: that stops its wineserver
    and with it every Windows process of the prefix."""

    def __init__(self, display, workdir=None, desktop=False):
        self.work = workdir or tempfile.mkdtemp(prefix="zov-e2e-")
        os.makedirs(self.work, exist_ok=True)
        self.path = os.path.join(self.work, "prefix")
        self.logs = os.path.join(self.work, "logs")
        os.makedirs(self.logs, exist_ok=True)
        template = desktop_template() if desktop else prefix_template()
        subprocess.run(["cp", "-a", template, self.path], check=True)
        self.env = _base_env()
        self.env.update(_isolated_home_env(os.path.join(self.work, "home")))
        self.env["WINEPREFIX"] = self.path
        if display is not None:
            self.env["DISPLAY"] = display
        self._spawned = []
        self._seq = 0
        users = os.path.join(self.drive_c, "users")
        names = [u for u in os.listdir(users) if u != "Public" and os.path.isdir(os.path.join(users, u))]
        self.user = names[0]

    # -- paths ----------------------------------------------------------------------------
    @property
    def drive_c(self):
        return os.path.join(self.path, "drive_c")

    @property
    def user_dir(self):
        return os.path.join(self.drive_c, "users", self.user)

    @property
    def desktop(self):
        return os.path.join(self.user_dir, "Desktop")

    @property
    def temp_dir(self):
        """The user's TEMP as set in the prefix's registry (Wine ignores a Unix TEMP)."""
        temp = hive_value(self.hive("user.reg"), "Environment", "TEMP")
        return self.host(temp) if temp else os.path.join(self.user_dir, "Temp")

    def host(self, windows):
        """Host path of a C:\\... Windows path."""
        if not re.match(r"^[cC]:\\", windows):
            raise ValueError("not a C: path: %r" % windows)
        return self.c(windows[3:])

    def c(self, relative):
        """Host path of C:\\<relative> (forward or back slashes)."""
        return os.path.join(self.drive_c, *re.split(r"[\\/]", relative))

    def win(self, unix_path):
        """Windows name of a host path: C:\\... inside drive_c, else Z:\\..."""
        full = os.path.abspath(unix_path)
        root = os.path.abspath(self.drive_c)
        if full == root or full.startswith(root + os.sep):
            return "C:" + (full[len(root):] or "\\").replace("/", "\\")
        return windows_path(full)

    def _next(self, stem):
        self._seq += 1
        return os.path.join(self.logs, "%02d-%s" % (self._seq, stem))

    # -- running programs -------------------------------------------------------------------
    def wine(self, args, timeout=120, extra_env=None):
        """Runs `wine args...` to completion; returns (status, output text)."""
        log = self._next("wine.log")
        env = dict(self.env, **(extra_env or {}))
        try:
            status = _run_quiet(["wine"] + list(args), env, timeout, log)
        except subprocess.TimeoutExpired:
            status = None
        with open(log, "rb") as f:
            return status, f.read().decode("latin-1")

    def spawn(self, args, extra_env=None):
        """Starts `wine args...` without waiting (a viewer, a setup to talk to)."""
        log_path = self._next("spawn.log")
        log = open(log_path, "wb")
        env = dict(self.env, **(extra_env or {}))
        proc = subprocess.Popen(["wine"] + list(args), env=env, stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        log.close()
        proc.log_path = log_path
        self._spawned.append(proc)
        return proc

    def run(self, cmdline, cwd=None, timeout=120, extra_env=None, child_env=None, background=False):
        """Runs one exact Windows command line through winrun.exe and returns a RunResult with
        the full exit code. `child_env` sets variables in the child from Windows' side (TEMP
        and TMP cannot be passed from Unix). With `background`, returns a handle whose
        `wait()` gives the RunResult."""
        exit_file = self._next("exit.txt")
        env = dict(extra_env or {})
        env["ZOVRUN_CMDLINE"] = cmdline
        env["ZOVRUN_EXITFILE"] = windows_path(exit_file)
        env["ZOVRUN_TIMEOUT"] = str(int(timeout * 1000))
        if cwd:
            env["ZOVRUN_CWD"] = cwd
        for name, value in (child_env or {}).items():
            env["ZOVRUN_ENV_" + name] = value
        started = time.monotonic()
        proc = self.spawn([os.path.join(HELPERS, "winrun.exe")], extra_env=env)
        handle = _PendingRun(self, proc, exit_file, started, timeout)
        return handle if background else handle.wait()

    def wmsend(self, cls=None, title=None, message=None, wparam=0, lparam=0, wait_ms=0, post=False, child=None, timeout_ms=10000):
        """Finds a top-level window (optionally waiting for it) and sends or posts a message.
        Returns (found, hwnd, result)."""
        out = self._next("wmsend.txt")
        args = [os.path.join(HELPERS, "wmsend.exe"), "-out", windows_path(out), "-timeout", str(timeout_ms)]
        if cls is not None:
            args += ["-class", cls]
        if title is not None:
            args += ["-title", title]
        if wait_ms:
            args += ["-wait", str(wait_ms)]
        if child is not None:
            args += ["-child", str(child)]
        if post:
            args.append("-post")
        if message is not None:
            args += [str(message), str(wparam), str(lparam)]
        status, _ = self.wine(args, timeout=wait_ms / 1000.0 + timeout_ms / 1000.0 + 60)
        text = read_text(out)
        m = re.search(r"hwnd=(-?\d+) result=(-?\d+)", text)
        hwnd = int(m.group(1)) if m else 0
        result = int(m.group(2)) if m else 0
        return status == 0, hwnd, result

    def wait_server(self, timeout=30):
        """Waits until every Windows process of the prefix has ended and the wineserver has
        written its registry; kills what is left after `timeout`."""
        try:
            _run_quiet(["wineserver", "-w"], self.env, timeout)
        except subprocess.TimeoutExpired:
            self.kill()

    def kill(self):
        try:
            _run_quiet(["wineserver", "-k"], self.env, 30)
            _run_quiet(["wineserver", "-w"], self.env, 30)
        except subprocess.TimeoutExpired:
            pass

    def close(self, keep=False):
        self.kill()
        for proc in self._spawned:
            try:
                proc.wait(10)
            except subprocess.TimeoutExpired:
                pass
        if not keep:
            shutil.rmtree(self.work, ignore_errors=True)

    # -- what setup.exe leaves behind ---------------------------------------------------------
    def install_cd(self, name="cd"):
        """Copies the staged CD image to C:\\<name> and returns its Windows path."""
        target = self.c(name)
        shutil.copytree(CD_IMAGE, target, symlinks=False)
        return "C:\\" + name

    def read_ini(self, unix_path):
        return read_ini(unix_path)

    def install_ini(self):
        """Sections of install.ini in the prefix's temp folder, or None when it is gone."""
        path = os.path.join(self.temp_dir, "install.ini")
        return read_ini(path) if os.path.exists(path) else None

    def history(self):
        path = self.c("IPH.PH")
        return read_ini(path) if os.path.exists(path) else None

    def hive(self, name="user.reg"):
        """Text of a registry hive file; call `wait_server()` first, the server writes lazily."""
        with open(os.path.join(self.path, name), "rb") as f:
            return f.read().decode("latin-1")


class _PendingRun:
    def __init__(self, prefix, proc, exit_file, started, timeout):
        self.prefix, self.proc, self.exit_file = prefix, proc, exit_file
        self.started, self.timeout = started, timeout

    def running(self):
        return self.proc.poll() is None

    def wait(self):
        try:
            # winrun enforces the timeout itself; this margin only catches a stuck Wine.
            self.proc.wait(self.timeout + 60)
        except subprocess.TimeoutExpired:
            self.prefix.kill()
            self.proc.wait(30)
        seconds = time.monotonic() - self.started
        raw = read_text(self.exit_file).strip()
        if raw.isdigit():
            return RunResult(int(raw), False, seconds, raw)
        result = RunResult(None, raw == "timeout" or raw == "", seconds, raw)
        # What Wine itself said, for the failure message.
        result.wine_output = read_text(self.proc.log_path)[-2000:]
        return result


def read_ini(path):
    """An INI file as an ordered list of (section, [(key, value), ...]), the way the profile
    functions see it: names keep their case, order is file order."""
    sections = []
    current = None
    with open(path, "rb") as f:
        text = f.read().decode("latin-1")
    for raw in text.splitlines():
        line = raw.strip()
        if not line or line.startswith(";"):
            continue
        if line.startswith("[") and "]" in line:
            current = (line[1 : line.index("]")], [])
            sections.append(current)
        elif current is not None and "=" in line:
            key, value = line.split("=", 1)
            current[1].append((key.strip(), value.strip()))
    return sections


def hive_value(text, key, name):
    """A value from the text of a Wine hive file (system.reg, user.reg): the string data of
    `name` ("@" for the default value) under `key` (backslashes single), else None. DWORDs
    come back as "dword:xxxxxxxx"."""
    wanted = "[" + key.replace("\\", "\\\\").lower() + "]"
    in_key = False
    for line in text.splitlines():
        if line.startswith("["):
            in_key = line.lower().startswith(wanted)
            continue
        if not in_key:
            continue
        if name == "@":
            prefix = "@="
        else:
            prefix = '"' + name.replace("\\", "\\\\") + '"='
        if line.lower().startswith(prefix.lower()):
            value = line[len(prefix):]
            if value.startswith('"') and value.endswith('"'):
                return value[1:-1].replace("\\\\", "\\").replace('\\"', '"')
            return value
    return None


def ini_section(sections, name):
    """Keys of one section as an ordered list, or None; section names ignore case."""
    if sections is None:
        return None
    for section, keys in sections:
        if section.lower() == name.lower():
            return keys
    return None


def ini_value(sections, section, key, default=None):
    keys = ini_section(sections, section)
    for k, v in keys or []:
        if k.lower() == key.lower():
            return v
    return default


def is_subsequence(expected, actual):
    """True when every item of `expected` occurs in `actual` in the same order. An item may
    be a predicate (a callable) instead of a value."""
    position = 0
    for item in expected:
        while position < len(actual):
            candidate = actual[position]
            position += 1
            if (item(candidate) if callable(item) else candidate == item):
                break
        else:
            return False
    return True


def missing_from_subsequence(expected, actual):
    """The first item of `expected` that cannot be matched in order (for failure messages)."""
    for n in range(1, len(expected) + 1):
        if not is_subsequence(expected[:n], actual):
            item = expected[n - 1]
            return getattr(item, "__name__", item) if callable(item) else item
    return None


class TraceCapture:
    """The "Trace Monitor" stand-in, writing every line it receives to a file."""

    TITLE = "Trace Monitor"

    def __init__(self, prefix, extra_args=()):
        self.prefix = prefix
        self.file = os.path.join(prefix.work, "trace-%d.txt" % id(self))
        self.extra_args = list(extra_args)
        self.proc = None

    def start(self):
        exe = os.path.join(BIN_DIR, "tracemon.exe")
        self.proc = self.prefix.spawn([exe, "-o", windows_path(self.file)] + self.extra_args)
        found, _, _ = self.prefix.wmsend(title=self.TITLE, wait_ms=20000)
        if not found:
            raise RuntimeError("the Trace Monitor window did not appear")
        return self

    def stop(self):
        if self.proc is not None and self.proc.poll() is None:
            self.prefix.wmsend(title=self.TITLE, message=WM_CLOSE, post=True)
            try:
                self.proc.wait(15)
            except subprocess.TimeoutExpired:
                pass  # the prefix's close() ends it
        return self.lines()

    def lines(self):
        text = read_text(self.file).replace("\r\n", "\n")
        if text.endswith("\n"):
            text = text[:-1]
        return text.split("\n") if text else []


class SetupTestCase(unittest.TestCase):
    """Base class: one X display per test file, one fresh prefix with the CD image at C:\\cd
    per test. Subclasses call `self.setup_exe(args)`."""

    display = None
    keep_prefixes = bool(os.environ.get("ZOV_E2E_KEEP"))
    # The CD carries the legal documents, and with "EULA.rtf" every run that shows its frame
    # first asks for the agreement; only the tests of the agreement keep it.
    legal_agreement = False

    @classmethod
    def setUpClass(cls):
        for needed in (os.path.join(CD_IMAGE, "setup.exe"), os.path.join(HELPERS, "winrun.exe")):
            if not os.path.exists(needed):
                raise RuntimeError("not built: %s (build the win64 preset first)" % needed)
        prefix_template()
        cls.display = Display().start()

    @classmethod
    def tearDownClass(cls):
        if cls.display is not None:
            cls.display.stop()
            cls.display = None

    def setUp(self):
        self.prefix = WinePrefix(self.display.name)
        self.addCleanup(self._close_prefix)
        self.cd = self.prefix.install_cd()
        self.remove_agreement_unless_wanted()
        self.engine_env = {}
        self.engine_control()

    def remove_agreement_unless_wanted(self):
        eula = self.prefix.c("cd/EULA.rtf")
        if not self.legal_agreement and os.path.exists(eula):
            os.unlink(eula)

    def _close_prefix(self):
        if self.keep_prefixes:
            print("\nkept prefix for inspection: %s" % self.prefix.work)
        self.prefix.close(keep=self.keep_prefixes)

    # -- the engine stand-in's control file (tools/README.md) -----------------------------------
    def engine_control(self, **keys):
        """Writes the [control] section the engine reads through ZOV_ENGINE_CONTROL. Every run
        also records the engine's command line and [enter] keys in `self.engine_record`."""
        self.engine_record = os.path.join(self.prefix.work, "engine-record.txt")
        keys.setdefault("record", windows_path(self.engine_record))
        path = os.path.join(self.prefix.work, "engine-control.ini")
        with open(path, "w", newline="\r\n") as f:
            f.write("[control]\n")
            for key, value in keys.items():
                f.write("%s=%s\n" % (key, value))
        self.engine_env["ZOV_ENGINE_CONTROL"] = windows_path(path)
        return path

    def engine_runs(self):
        """What the engine recorded, one (command line, [(key, value), ...]) per run."""
        if not os.path.exists(self.engine_record):
            return []
        with open(self.engine_record, "rb") as f:
            text = f.read().decode("latin-1").replace("\r\n", "\n")
        runs = []
        for block in text.split("\n\n"):
            lines = block.split("\n")
            if not lines or not lines[0]:
                continue
            keys = [tuple(line.split("=", 1)) for line in lines[1:] if "=" in line]
            runs.append((lines[0], keys))
        return runs

    def reset_prefix(self):
        """Cleans what a run leaves so that the next one starts like the first: the session
        file, the installed folders, the desktop and the history."""
        for name in os.listdir(self.prefix.temp_dir):
            path = os.path.join(self.prefix.temp_dir, name)
            shutil.rmtree(path) if os.path.isdir(path) else os.unlink(path)
        program_files = self.prefix.c("Program Files")
        for name in os.listdir(program_files):
            if name.startswith("ZOV"):
                shutil.rmtree(os.path.join(program_files, name))
        for name in os.listdir(self.prefix.desktop):
            os.unlink(os.path.join(self.prefix.desktop, name))
        for name in ("IPH.PH", "TPI.PH"):
            if os.path.exists(self.prefix.c(name)):
                os.unlink(self.prefix.c(name))
        if os.path.exists(self.engine_record):
            os.unlink(self.engine_record)

    def setup_exe(self, args="", exe="setup.exe", timeout=120, extra_env=None, child_env=None, background=False):
        """Runs C:\\cd\\<exe> with exactly `args` after the quoted program path."""
        cmdline = '"%s\\%s"' % (self.cd, exe) + ((" " + args) if args else "")
        env = dict(self.engine_env)
        env.update(extra_env or {})
        return self.prefix.run(cmdline, cwd=self.cd, timeout=timeout, extra_env=env, child_env=child_env, background=background)

    def new_member(self, timeout=60):
        """Presses New Member on the welcome page of an interactive run, as a person would."""
        ui = UiDriver(self.prefix).start()
        try:
            ui.click(ui.wait(PAGE["welcome"], timeout), 1060)
        finally:
            ui.stop()

    def new_member_run(self, args="", timeout=120):
        """An interactive run through the wizard's shortest path (New Member); its result."""
        run = self.setup_exe(args, timeout=timeout, background=True)
        self.new_member()
        return run.wait()

    def assertExit(self, result, code):
        self.assertFalse(result.timed_out, "setup did not end: %r" % result)
        self.assertEqual(result.exit_code, code, "exit code, %r" % result)


# -- An interactive setup, worked through its windows ---------------------------------------


class DriverError(AssertionError):
    pass


def _unescape(text):
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            out.append({"n": "\n", "r": "\r", "t": "\t"}.get(text[i + 1], text[i + 1]))
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def bmp_to_png(bmp_path, png_path):
    """A 24-bit bottom-up BMP (what uidriver writes) as a PNG, without an imaging library."""
    import struct
    import zlib

    with open(bmp_path, "rb") as f:
        data = f.read()
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height - 1, -1, -1):
        row = data[offset + y * stride : offset + y * stride + width * 3]
        rgb = bytearray(row)
        rgb[0::3], rgb[2::3] = row[2::3], row[0::3]  # BGR to RGB
        rows.append(b"\0" + bytes(rgb))

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b"")
    with open(png_path, "wb") as f:
        f.write(png)


class UiDriver:
    """uidriver.exe on the prefix's desktop, answering one command per line over a loopback
    socket (see helpers/uidriver.c). Windows are named by selectors: the control ids their
    dialog holds ("1017", "1060,1061,!1376"), or a window handle given as an int."""

    def __init__(self, prefix):
        self.prefix = prefix
        self.sock = None
        self.file = None

    def start(self, timeout=30):
        import socket

        port_file = os.path.join(self.prefix.work, "uidriver-%d.port" % time.monotonic_ns())
        self.prefix.spawn([os.path.join(HELPERS, "uidriver.exe"), "-serve", windows_path(port_file)])
        deadline = time.monotonic() + timeout
        while not os.path.exists(port_file):
            if time.monotonic() > deadline:
                raise RuntimeError("uidriver did not start")
            time.sleep(0.05)
        port = int(read_text(port_file).strip())
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=120)
        self.file = self.sock.makefile("rw", encoding="utf-8", newline="\n")
        return self

    def stop(self):
        if self.sock is not None:
            try:
                self.file.write("quit\n")
                self.file.flush()
            except OSError:
                pass
            self.sock.close()
            self.sock = None

    def try_call(self, *words):
        # A window handle travels as "@<handle>", control ids as themselves.
        words = [words[0]] + [("@%d" % w if i == 0 and isinstance(w, int) else w) for i, w in enumerate(words[1:])]
        line = " ".join('"%s"' % w if " " in str(w) else str(w) for w in words)
        self.file.write(line + "\n")
        self.file.flush()
        answer = self.file.readline().rstrip("\n")
        if answer.startswith("ok"):
            return True, _unescape(answer[3:])
        return False, answer[4:]

    def call(self, *words):
        ok, value = self.try_call(*words)
        if not ok:
            raise DriverError("uidriver %s: %s" % (" ".join(map(str, words)), value))
        return value

    def wait(self, selector, timeout=30):
        """The handle of the visible dialog that holds the selector's controls."""
        return int(self.call("wait", selector, int(timeout * 1000)))

    def gone(self, selector, timeout=30):
        self.call("gone", selector, int(timeout * 1000))

    def present(self, selector):
        return self.try_call("wait", selector, 0)[0]

    def click(self, selector, control):
        self.call("click", selector, control)

    def key(self, selector, vk):
        self.call("key", selector, vk)

    def text(self, selector, control=0):
        return self.call("text", selector, control)

    def state(self, selector, control):
        """(visible, enabled, checked)"""
        bits = self.call("state", selector, control)
        return tuple(b == "1" for b in bits)

    def checked(self, selector, control):
        return self.state(selector, control)[2]

    def list(self, selector, control):
        """(selected row, [rows])"""
        parts = self.call("list", selector, control).split("|")
        return int(parts[0]), parts[1:]

    def set_text(self, selector, control, text):
        self.call("settext", selector, control, text)

    def link(self, selector, control, url):
        """Clicks the link with this address in a link control, as a mouse would."""
        self.call("link", selector, control, url)

    def select(self, selector, control, row):
        self.call("select", selector, control, row)

    def pos(self, selector, control):
        return int(self.call("pos", selector, control))

    def focus(self, selector):
        return int(self.call("focus", selector))

    def until(self, probe, timeout=30):
        """Polls probe() until it returns something true; that value."""
        deadline = time.monotonic() + timeout
        while True:
            value = probe()
            if value or time.monotonic() > deadline:
                return value
            time.sleep(0.05)

    def frame(self):
        return int(self.call("frame"))

    def style(self, hwnd):
        return int(self.call("style", hwnd))

    def post(self, hwnd, message, wparam=0, lparam=0):
        self.call("post", hwnd, message, wparam, lparam)

    def box_text(self, title, timeout=30):
        """The text of the message box captioned `title`, waiting for it to appear."""
        deadline = time.monotonic() + timeout
        while True:
            ok, value = self.try_call("boxtext", title)
            if ok:
                return value
            if time.monotonic() > deadline:
                raise DriverError("no message box %r" % title)
            time.sleep(0.05)

    def box_click(self, title, button, timeout=30):
        """Presses a button of the message box captioned `title`, waiting for it to appear."""
        self.box_text(title, timeout)
        self.call("boxclick", title, button)

    def shot(self, png_path, selector=None):
        """Saves the desktop (or one window) as a PNG."""
        os.makedirs(os.path.dirname(png_path), exist_ok=True)
        bmp = png_path[:-4] + ".bmp"
        if isinstance(selector, int):
            selector = "@%d" % selector
        words = ["shot", windows_path(bmp)] + ([selector] if selector is not None else [])
        self.call(*words)
        bmp_to_png(bmp, png_path)
        os.unlink(bmp)
        return png_path


# The wizard's windows, told apart by the control ids their templates hold.
PAGE = {
    "welcome": "1060,1061,!1376,!1029",
    "welcome_screen_name": "1376",
    "member": "1017",
    "directory": "1021",
    "list": "1025",
    "downloads": "1028",
    "recent": "1384",
    "disk_space": "1029",
    "resume": "1089",
    "agreement": "1077,1078,1079",
    "viewer": "1081",
    "features": "1082,1084",
    "summary": "191,198",
    "printing": "206,209",
    "print_dialog": "1139",
    "save_as": "1148",
    "busy": "1049",
    "progress": "1064",
}
NEXT, BACK = 1006, 1019
CAPTION = "Install ZOV 9.0 VR"


class InteractiveTestCase(SetupTestCase):
    """An interactive setup.exe per test on the prefix's virtual desktop, with `self.ui`, the
    driver, started on the same desktop."""

    ARMING_S = 0.4  # the downloads and recent-version pages take Next only after 300 ms

    def setUp(self):
        self.prefix = WinePrefix(self.display.name, desktop=True)
        self.addCleanup(self._close_prefix)
        self.cd = self.prefix.install_cd()
        self.remove_agreement_unless_wanted()
        self.engine_env = {}
        self.engine_control()
        self.ui = UiDriver(self.prefix).start()
        self.addCleanup(self.ui.stop)

    def restart_wine(self):
        """Lets the prefix's server end (it writes the registry, drive types are read anew on
        its next start) and brings the driver back."""
        self.ui.stop()
        self.prefix.wait_server()
        self.ui = UiDriver(self.prefix).start()
        self.addCleanup(self.ui.stop)

    def screenshot(self, name, selector=None):
        """<build>/artefacts/screenshots/<name>.png of the whole desktop (or a window)."""
        return self.ui.shot(os.path.join(ARTEFACTS, "screenshots", name + ".png"), selector)

    def history_events(self):
        """The events of the first history record, in order, and its "inst" value."""
        record = dict(ini_section(self.prefix.history(), "inst01") or [])
        events = [int(item.split(":")[1]) for item in record.get("sc", "").split(",") if ":" in item]
        return events, record.get("inst")

    def engine_enter(self):
        """The [enter] keys the engine read from install.ini, of its only run."""
        runs = self.engine_runs()
        self.assertEqual(len(runs), 1, "engine runs: %r" % runs)
        return dict(runs[0][1])

    def page(self, name, timeout=30):
        """Waits for a wizard page (or dialog) by its name in PAGE; its handle."""
        return self.ui.wait(PAGE[name], timeout)

    def next_page(self, name, button=NEXT):
        """Waits for the page `name`, presses one of its buttons and waits until it is gone."""
        self.page(name)
        self.ui.click(PAGE[name], button)
        self.ui.gone(PAGE[name])

    def release_engine(self):
        """Lets an engine held by hold=... go on."""
        open(self.hold_file, "w").close()

    def hold_engine(self, point, **keys):
        """The engine waits at `point` ("start" or a percentage) until release_engine()."""
        self.hold_file = os.path.join(self.prefix.work, "engine-release")
        self.engine_control(hold=point, hold_file=windows_path(self.hold_file), **keys)
