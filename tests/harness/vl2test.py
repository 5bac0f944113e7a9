"""Shared set-up of the Windows integration tests: paths of the build, a private
Wine prefix per test, an optional X display, and artefacts kept for people."""
import os
import struct
import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import winenv  # noqa: E402

BUILD_DIR = Path(os.environ.get("VL2_BUILD_DIR", Path(__file__).resolve().parents[2] / "build" / "win32"))
SOURCE_DIR = Path(os.environ.get("VL2_SOURCE_DIR", Path(__file__).resolve().parents[2]))
TEMPLATE = Path(os.environ.get("VL2_WINE_TEMPLATE", BUILD_DIR / "wine-template"))
ARTEFACTS = BUILD_DIR / "test-artefacts"
SUITE_TOKEN = "kqvwtzrnbpxyjdgfh"
PROGRAM_FILES = "C:\\Program Files"


def build_file(name):
    return BUILD_DIR / name


winenv.DESKTOP_HOLDER = build_file("tests/desktop_holder.exe")


def pe_machine(path):
    data = Path(path).read_bytes()
    offset = struct.unpack_from("<I", data, 0x3C)[0]
    assert data[offset:offset + 4] == b"PE\0\0"
    return struct.unpack_from("<H", data, offset + 4)[0]


class WineTestCase(unittest.TestCase):
    """A test with its own prefix (and, with needs_display, its own X display)."""
    needs_display = False

    def setUp(self):
        winenv.make_template(TEMPLATE)
        self.display = winenv.Display() if self.needs_display else None
        self.prefix = winenv.Prefix(TEMPLATE, display=self.display.name if self.display else None)

    def tearDown(self):
        self.prefix.close()
        if self.display:
            self.display.close()

    def artefact(self, name):
        ARTEFACTS.mkdir(parents=True, exist_ok=True)
        return ARTEFACTS / ("%s.%s" % (self.id().split(".")[-1], name))

    # The installed suite as a test lays it out: launcher and stand-in suite in BIN.
    def version_bin(self, version, root=None):
        """A version's BIN folder below `root` (the Program Files folder where the
        tests plant an install by default)."""
        return (root or self.prefix.program_files()) / "Corvalen" / "Velmora2" / version / "BIN"

    def user_root(self):
        """Where a fresh install puts the suite: below the user's local application data."""
        return self.prefix.user() / "AppData" / "Local" / "Programs"

    def user_root_windows(self):
        return "C:\\users\\%s\\AppData\\Local\\Programs" % self.prefix.user().name

    def staged(self, relative, root=None):
        """Where the first version a run builds keeps `relative` ("BIN/Cubelet.exe"):
        in the run's staging, until the switch names it as its version folder; below
        the per-user root unless `root` says otherwise."""
        return (root or self.user_root()) / "Corvalen" / "Velmora2" / "~staging" / "new" / relative

    def place_suite(self, version):
        bin_folder = self.version_bin(version)
        bin_folder.mkdir(parents=True, exist_ok=True)
        for program in ("Cubelet.exe", "InitVL2.exe"):
            (bin_folder / program).write_bytes(build_file(program).read_bytes())
        return bin_folder

    def suite_log(self, version, root=None):
        log = self.version_bin(version, root) / "Cubelet.log"
        return log.read_text(encoding="cp949", errors="replace") if log.exists() else ""

    def wait_for_suite_log(self, version, root=None, timeout=20):
        return winenv.wait_until(lambda: self.suite_log(version, root), timeout)

    def installer(self):
        """The installer copied into the prefix, as a user would start it."""
        target = self.prefix.drive_c / "Downloads"
        target.mkdir(exist_ok=True)
        exe = target / "InitVL2.exe"
        program = build_file("InitVL2.exe").read_bytes()
        # Never written over while it may run: Wine maps a program from its file, and a
        # first copy still running read its import table back from a file rewritten
        # under it (unbound, its calls into user32 then went to nowhere).
        if not exe.exists() or exe.read_bytes() != program:
            fresh = exe.with_suffix(".new")
            fresh.write_bytes(program)
            os.replace(fresh, exe)
        return "C:\\Downloads\\InitVL2.exe"

    def run_installer(self, timeout=90):
        started = time.time()
        result = self.prefix.run([self.installer()], timeout=timeout)
        return result, time.time() - started


class ServerTestCase(WineTestCase):
    """A windowed test with the vendor's servers running on 127.0.0.1."""
    needs_display = True

    def setUp(self):
        from vendor_server import VendorServer
        super().setUp()
        self.server = VendorServer().__enter__()

    def tearDown(self):
        self.server.stop()
        super().tearDown()
