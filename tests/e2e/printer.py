"""A real printer for the tests that print: a private CUPS server (its own folders and socket,
started and stopped by the test) with one queue, "PDF", on the cups-pdf backend, so that a
Windows program under Wine prints into a PDF file that the test reads back with pdftotext.

Needs root (cupsd runs the cups-pdf backend as root) and Debian's cups,
printer-driver-cups-pdf and poppler-utils (scripts/deps.sh installs them). Wine finds the
server through CUPS_SERVER in the environment of the prefix's programs: start the printer
before the prefix's first program, so that the prefix's server lists "PDF".

cups-pdf reads its settings from /etc/cups/cups-pdf-<instance>.conf, where the instance is the
path of the queue's device address: the file names this server's own output folder.
"""

import os
import shutil
import subprocess
import tempfile
import time

PPD = "/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd"
BACKEND = "/usr/lib/cups/backend/cups-pdf"
INSTANCE = "zovtest"
INSTANCE_CONF = "/etc/cups/cups-pdf-%s.conf" % INSTANCE
NAME = "PDF"


def tool(name):
    """A CUPS or poppler program, also where /usr/sbin is not on the PATH."""
    return shutil.which(name) or shutil.which(name, path="/usr/sbin:/usr/bin:/sbin:/bin")


def missing():
    """Why no printer can be made here, or None."""
    if os.geteuid() != 0:
        return "cupsd must run as root to start the cups-pdf backend"
    for need in (tool("cupsd"), tool("lpadmin"), tool("lpstat"), tool("pdftotext"), PPD, BACKEND):
        if not need or not os.path.exists(need):
            return "cups, printer-driver-cups-pdf or poppler-utils is missing (scripts/deps.sh)"
    return None


class PdfPrinter:
    def __init__(self, page_size=None):
        """`page_size`: (name, width, height) in points for a page of its own, else A4."""
        self.page_size = page_size
        self.proc = None

    def start(self):
        self.dir = tempfile.mkdtemp(prefix="zov-cups-")
        os.chmod(self.dir, 0o755)
        for sub in ("etc", "spool", "cache", "state", "log", "tmp", "out"):
            os.makedirs(os.path.join(self.dir, sub))
        for sub in ("spool", "tmp", "out"):  # the filters run as lp
            os.chmod(os.path.join(self.dir, sub), 0o1777)
        self.out = os.path.join(self.dir, "out")
        self.socket = os.path.join(self.dir, "cups.sock")
        etc = os.path.join(self.dir, "etc")
        with open(os.path.join(etc, "cupsd.conf"), "w") as f:
            f.write(
                "LogLevel warn\nListen %s\nBrowsing Off\nDefaultAuthType None\n"
                "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n" % self.socket
            )
        with open(os.path.join(etc, "cups-files.conf"), "w") as f:
            for key, sub in (("ServerRoot", "etc"), ("RequestRoot", "spool"), ("CacheDir", "cache"),
                             ("StateDir", "state"), ("TempDir", "tmp")):
                f.write("%s %s\n" % (key, os.path.join(self.dir, sub)))
            for key in ("AccessLog", "ErrorLog", "PageLog"):
                f.write("%s %s\n" % (key, os.path.join(self.dir, "log", key.lower())))
            f.write("ServerBin /usr/lib/cups\nDataDir /usr/share/cups\nFileDevice No\n")
        with open(INSTANCE_CONF, "w") as f:
            f.write("Out %s\nUserUMask 0022\n" % self.out)
        self.env = {"CUPS_SERVER": self.socket}
        log = open(os.path.join(self.dir, "log", "cupsd.out"), "wb")
        self.proc = subprocess.Popen(
            [tool("cupsd"), "-f", "-c", os.path.join(etc, "cupsd.conf"), "-s", os.path.join(etc, "cups-files.conf")],
            stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        log.close()
        deadline = time.monotonic() + 30
        while not os.path.exists(self.socket):
            if self.proc.poll() is not None or time.monotonic() > deadline:
                raise RuntimeError("cupsd did not start, see %s" % self.dir)
            time.sleep(0.05)
        ppd = PPD
        if self.page_size:
            # A page of its own size (name, width and height in points) made the default.
            name, width, height = self.page_size
            ppd = os.path.join(self.dir, "pdf.ppd")
            with open(PPD, "rb") as f:
                text = f.read().decode("latin-1")
            setter = '"<</PageSize[%d %d]/ImagingBBox null>>setpagedevice"' % (width, height)
            for key, value in (("PageSize", setter), ("PageRegion", setter),
                               ("ImageableArea", '"0 0 %d %d"' % (width, height)),
                               ("PaperDimension", '"%d %d"' % (width, height))):
                text = text.replace("*Default%s: A4" % key,
                                    "*Default%s: %s\n*%s %s/%s: %s" % (key, name, key, name, name, value))
            with open(ppd, "w", encoding="latin-1") as f:
                f.write(text)
        self._admin([tool("lpadmin"), "-p", NAME, "-v", "cups-pdf:/" + INSTANCE, "-E", "-P", ppd,
                     "-o", "printer-error-policy=abort-job"])
        self._admin([tool("lpadmin"), "-d", NAME])
        return self

    def _admin(self, args):
        env = dict(os.environ, **self.env)
        subprocess.run(args, env=env, check=True, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)

    def stop(self):
        if self.proc is not None:
            self.proc.terminate()
            try:
                self.proc.wait(15)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait(5)
            self.proc = None
        if os.path.exists(INSTANCE_CONF):
            os.unlink(INSTANCE_CONF)
        if os.environ.get("ZOV_E2E_KEEP"):
            print("\nkept the printer's folder for inspection: %s" % self.dir)
        else:
            shutil.rmtree(self.dir, ignore_errors=True)

    def pdfs(self):
        return sorted(os.path.join(self.out, n) for n in os.listdir(self.out) if n.endswith(".pdf"))

    def wait_pdf(self, count=1, timeout=60):
        """The newest of `count` printed files, once the queue is empty and the file whole."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            files = self.pdfs()
            if len(files) >= count:
                env = dict(os.environ, **self.env)
                queue = subprocess.run([tool("lpstat"), "-o"], env=env, capture_output=True, text=True, timeout=30)
                if not queue.stdout.strip():
                    return max(files, key=os.path.getmtime)
            time.sleep(0.2)
        raise AssertionError("no PDF printed within %ss (%s)" % (timeout, self.dir))


def pdf_pages(path):
    """The text of each page of a PDF (pdftotext puts a form feed after every page)."""
    text = subprocess.run([tool("pdftotext"), "-layout", path, "-"], capture_output=True, check=True,
                          timeout=60).stdout.decode("utf-8", "replace")
    pages = text.split("\f")
    return pages[:-1] if pages and not pages[-1].strip() else pages
