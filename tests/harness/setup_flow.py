"""Driving the setup window like a person: a vendor server with a manifest and a
package of the stand-in suite, the installer started in a private prefix on its own
X display, and clicks at places of the 454x304 window."""
import io
import time
import zipfile

import vl2test
from winenv import wait_until
from release_signing import release_lines
from vendor_server import BASE_URL, Route

PACKAGE_PATH = "/velmora2/files/%s.cvz"
REPORT_PATH = "/installax.asp"

# Places of the setup window's controls (window coordinates).
BOX = (25 + 6, 231 + 6)
OK = (286 + 30, 223 + 22)
CANCEL = (358 + 50, 223 + 22)
FINISH = (180 + 51, 225 + 24)
PANEL_POINT = (120, 20)  # on the title band: no control there
# The setup dialog's own size (its template is 1x1 dialog units): an update never
# draws a frame into it, so at this size it shows nothing.
EMPTY_DIALOG_SIZE = (2, 2)


# An entry that takes a while to unpack (zeros: the package stays small), so that
# a test can look at what happens while the unpacking runs at full speed.
SLOW_ENTRY = ("DATA/slow.bin", 384 * 1024 * 1024)


def package(entries=3, extra=None, corrupt=False, slow_entry_at=None):
    """A package with the stand-in suite and the launcher in BIN and `entries`
    entries in all, in the vendor's layout; with `slow_entry_at`, the slow entry
    comes before that entry (as the last one when it equals `entries`)."""
    buffer = io.BytesIO()
    stamp = (2006, 12, 31, 12, 0, 0)
    with zipfile.ZipFile(buffer, "w", zipfile.ZIP_DEFLATED) as z:
        files = [("BIN/Cubelet.exe", vl2test.build_file("Cubelet.exe").read_bytes()),
                 ("BIN/InitVL2.exe", vl2test.build_file("InitVL2.exe").read_bytes())]
        for i in range(max(0, entries - len(files))):
            files.append(("SKIN/CORE/part%03d.txt" % i, ("skin part %d\n" % i).encode() * 20))
        chosen = (extra or []) + files[:entries]
        if slow_entry_at is not None:
            chosen.insert(len(extra or []) + slow_entry_at, (SLOW_ENTRY[0], bytes(SLOW_ENTRY[1])))
        for name, data in chosen:
            info = zipfile.ZipInfo(name, stamp)
            info.external_attr = 0x20
            info.compress_type = zipfile.ZIP_DEFLATED
            z.writestr(info, data)
    data = bytearray(buffer.getvalue())
    if corrupt:
        # Damage the deflated data of the first entry.
        name_length = int.from_bytes(data[26:28], "little")
        data[30 + name_length + 300] ^= 0xFF
    return bytes(data)


def manifest_for(version, package_bytes=b"", release=None):
    """The manifest of `version`, signed for `package_bytes` with the test key, or
    carrying `release` as its release lines instead ("" for an unsigned one)."""
    lines = release if release is not None else release_lines(version, package_bytes)
    return "version=%s\ndate=20061231\ncomment=demo\ndownload=%s%s\n%s" % (
        version, BASE_URL, PACKAGE_PATH % version, lines)


class InstallerRun:
    """One start of InitVL2.exe in the test's prefix (the downloaded installer unless
    `program` names another copy, such as an installed launcher), with helpers to
    drive its window. Whatever serves the manifest and the package is the caller's."""

    def __init__(self, test, program=None):
        self.test = test
        self.prefix = test.prefix
        self.display = test.display
        self.program = program
        self.process = None
        self.origin = None

    def start(self, wait_window=True):
        # The steps the installer's start went through (what the start-up benchmark
        # reads), for a failure to say where a start that showed nothing stopped.
        self.steps = self.prefix.user() / "launch-steps.txt"
        self.steps.unlink(missing_ok=True)
        self.prefix.env["VL2_LAUNCH_TIMING"] = "C:\\" + str(self.steps.relative_to(self.prefix.drive_c)).replace("/", "\\")
        try:
            self.process = self.prefix.start([self.program or self.test.installer()])
        finally:
            del self.prefix.env["VL2_LAUNCH_TIMING"]
        if wait_window:
            self.origin = self.wait_geometry(454, 304)
            if self.origin is None:
                # What was there instead: a box, another window, or nothing at all.
                self.display.screenshot(self.test.artefact("no-setup-window.png"))
                listed = self.prefix.run([vl2test.build_file("tests/wait_for_exit.exe"), "--list"], timeout=60)
                ended = self.process.poll() is not None
                said = self.process.stderr.read()[-1500:].decode(errors="replace") if ended else ""
                steps = self.steps.read_text(errors="replace").split("\n") if self.steps.exists() else []
                self.test.fail("the setup window did not appear; the program %s; windows: %s; its steps: %s; "
                               "processes: %s; Wine said: %s" % (
                                   "ended with %s" % self.process.poll() if ended else "runs",
                                   [self.display.window_name(w) for w in self.display.find_windows()], steps,
                                   listed.stdout.decode("cp949", errors="replace").split("\n"), said))
            time.sleep(0.5)
        return self

    def windows(self):
        """(window id, x, y, width, height) of every shown window of the installer."""
        out = self.display.xdotool("search", "--onlyvisible", "--class", "initvl2", check=False)
        found = []
        for window in out.split():
            geometry = self.display.xdotool("getwindowgeometry", "--shell", window, check=False)
            values = dict(line.split("=", 1) for line in geometry.splitlines() if "=" in line)
            try:
                found.append((window, int(values["X"]), int(values["Y"]), int(values["WIDTH"]),
                              int(values["HEIGHT"])))
            except KeyError:
                continue
        return found

    def wait_geometry(self, width, height, timeout=40):
        def placed():
            return next(((x, y) for _, x, y, w, h in self.windows() if (w, h) == (width, height)), None)
        return wait_until(placed, timeout)

    def terms_window(self):
        for window, x, y, w, h in self.windows():
            if (w, h) == (405, 130):
                return (x, y, w, h)
        return None

    def at(self, point):
        return (self.origin[0] + point[0], self.origin[1] + point[1])

    def click(self, point, settle=0.8):
        x, y = self.at(point)
        self.display.xdotool("mousemove", x, y)
        self.display.xdotool("click", "1")
        time.sleep(settle)

    def frame(self):
        """The window's 454x304 area of the screen."""
        x, y = self.origin
        return self.display.grab().crop((x, y, x + 454, y + 304))

    def wait_ended(self, timeout=60):
        try:
            self.process.wait(timeout=timeout)
        except Exception:
            self.process.kill()
            raise
        return self.process.returncode

    def wait_ended_watching_windows(self, timeout=150):
        """Waits for the program to end, looking at its windows meanwhile: (exit code,
        the sizes of the windows it showed other than the empty dialog). An update
        must show none."""
        shown = set()

        def ended():
            shown.update((w, h) for _, _, _, w, h in self.windows() if (w, h) != EMPTY_DIALOG_SIZE)
            return self.process.poll() is not None
        if not wait_until(ended, timeout):
            self.process.kill()
            raise AssertionError("the program did not end within %d s" % timeout)
        return self.process.returncode, sorted(shown)

    def finish_fresh_install(self):
        """Tick, OK, wait for the completion page, Finish."""
        self.click(BOX)
        self.click(OK)
        self.test.assertTrue(self.wait_for_page(is_completion_page, 90), "no completion page")
        self.click(FINISH, settle=0.2)
        return self.wait_ended()

    def wait_for_page(self, predicate, timeout=60):
        return bool(wait_until(lambda: predicate(self.frame()), timeout))


class SetupRun(InstallerRun):
    """One start of the installer against the Python vendor server, which this run
    configures to serve `version` (signed with the test key) and its package."""

    def __init__(self, test, version="2.01", package_bytes=None, pieces=1, piece_delay=0.0, package_route=None,
                 signed_bytes=None, release=None, content_length=True):
        """`signed_bytes`: the package the manifest's signature is for, when it is
        not the one served; `release`: release lines instead of a signature;
        `content_length`: False serves the package without one."""
        super().__init__(test)
        self.server = test.server
        self.version = version
        route = package_route or Route(package_bytes if package_bytes is not None else package(),
                                       pieces=pieces, piece_delay=piece_delay, content_length=content_length)
        signed = signed_bytes if signed_bytes is not None else route.body
        self.server.manifest(manifest_for(version, signed, release))
        self.server.serve(PACKAGE_PATH % version, route)
        self.server.serve(REPORT_PATH, Route(b"OK", content_type="text/plain"))


TILE = (0x29, 0x42, 0x62)


def fill_width(frame):
    """The progress fill's width on the progress page, or None on another page: the
    opaque dark tile in row 87, from x 26."""
    if not is_progress_page(frame):
        return None
    width = 0
    for x in range(26, 430):
        if all(abs(a - b) <= 3 for a, b in zip(frame.getpixel((x, 87)), TILE)):
            width = x - 26 + 1
    return width


SLIDE_PLACE = (18, 100)
_slide_marks = []


def _marks():
    """For each slide, pixels where it alone is opaque in a colour of its own, so
    that what the window shows there tells the slides apart. Read from the skins."""
    if not _slide_marks:
        from PIL import Image
        slides = [Image.open(vl2test.SOURCE_DIR / "resources" / "skins" / ("%d.png" % (1005 + i))).convert("RGBA")
                  for i in range(9)]
        pixels = [s.load() for s in slides]
        width, height = slides[0].size
        for own in range(9):
            marks = []
            for y in range(0, height, 2):
                for x in range(0, width, 2):
                    colour = pixels[own][x, y]
                    if colour[3] != 255:
                        continue
                    if all(other == own or pixels[other][x, y][3] == 255 and
                           max(abs(a - b) for a, b in zip(pixels[other][x, y][:3], colour[:3])) > 40
                           for other in range(9)):
                        marks.append((x, y, colour[:3]))
            _slide_marks.append(marks)
    return _slide_marks


def slide_number(frame):
    """The slide (1 to 9) that the progress page shows, or None when none shows."""
    screen = frame.load()
    left, top = SLIDE_PLACE
    for number, marks in enumerate(_marks(), 1):
        matching = sum(1 for x, y, colour in marks
                       if max(abs(a - b) for a, b in zip(screen[left + x, top + y], colour)) <= 6)
        if marks and matching >= 0.9 * len(marks):
            return number
    return None


def is_progress_page(frame):
    # The outline of the progress bar at its top-left corner, which the fill (from
    # 26,79) never covers.
    return all(abs(a - b) <= 6 for a, b in zip(frame.getpixel((25, 78)), (0xA9, 0xB9, 0xD0)))


def is_terms_page(frame):
    # The white text area (or the terms window over it).
    return frame.getpixel((220, 150)) == (255, 255, 255) and not is_progress_page(frame)


def is_completion_page(frame):
    # The suite's main bar: the first (orange) widget button.
    r, g, b = frame.getpixel((60, 150))
    return r > 180 and 120 < g < 200 and b < 120
