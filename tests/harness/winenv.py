"""Throw-away Wine prefixes, an X display and registry reading for the Windows tests.

A template prefix is made once per build (32-bit, Korean code pages, real folders in
place of the links to $HOME, a Quick Launch folder); every test works in its own copy
of it, so no test sees another's registry or files.
"""
import os
import pwd
import re
import select
import shutil
import struct
import subprocess
import sys
import tempfile
import time
from pathlib import Path

WINE_BIN = "/usr/lib/wine"
USER = os.environ.get("USER") or "root"


def base_env(prefix, home, display=None):
    env = dict(os.environ)
    env.update({
        "WINEPREFIX": str(prefix),
        "WINEARCH": "win32",
        "WINEDEBUG": "-all",
        "LC_ALL": "ko_KR.UTF-8",
        "HOME": str(home),
        "PATH": WINE_BIN + os.pathsep + env.get("PATH", ""),
        "WINEDLLOVERRIDES": "mscoree,mshtml=",
    })
    if display:
        env["DISPLAY"] = display
    else:
        env.pop("DISPLAY", None)
    return env


def user_folder(prefix):
    users = Path(prefix) / "drive_c" / "users"
    for entry in users.iterdir():
        if entry.name not in ("Public",) and entry.is_dir():
            return entry
    raise RuntimeError("no user folder in the Wine prefix")


# Bumped whenever the template's contents change, so that old ones are made anew.
TEMPLATE_VERSION = "2"


def make_template(path):
    path = Path(path).resolve()
    if (path / "ready").exists() and (path / "ready").read_text().strip() == TEMPLATE_VERSION:
        return
    if path.exists():
        shutil.rmtree(path)
    home = Path(tempfile.mkdtemp(prefix="vl2home-"))
    env = base_env(path, home)
    # A server left over from an earlier template at this path would refuse the boot.
    subprocess.run(["wineserver", "-k"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
    for attempt in range(3):
        boot = subprocess.run(["wine", "wineboot", "-i"], env=env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.PIPE, timeout=300)
        if boot.returncode == 0:
            break
        # Seen now and then right after an earlier prefix at this path went away.
        subprocess.run(["wineserver", "-k"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        time.sleep(2)
        shutil.rmtree(path, ignore_errors=True)
    else:
        raise RuntimeError("wineboot failed: %s" % boot.stderr.decode(errors="replace")[-2000:])
    subprocess.run(["wineserver", "-w"], env=env, timeout=120)
    _make_test_ready(path)
    shutil.rmtree(home, ignore_errors=True)
    (path / "ready").write_text(TEMPLATE_VERSION + "\n")


def _make_test_ready(path):
    """What a booted prefix needs before the tests use it."""
    # wineboot links Desktop, Documents and the like to $HOME; tests need real folders.
    for link in list(user_folder(path).rglob("*")):
        if link.is_symlink():
            link.unlink()
            link.mkdir()
    quick_launch = user_folder(path) / "AppData" / "Roaming" / "Microsoft" / "Internet Explorer" / "Quick Launch"
    quick_launch.mkdir(parents=True, exist_ok=True)
    # There is no window manager on the test displays: windows must not wait for one
    # (Wine would wait two seconds for every hide of a window it thinks is managed).
    with open(path / "user.reg", "a", encoding="utf-8") as f:
        f.write('\n[Software\\\\Wine\\\\X11 Driver] %d\n"Managed"="N"\n' % int(time.time()))


def _escape_reg_string(value):
    return value.replace("\\", "\\\\").replace('"', '\\"')


# The program that holds a prefix's desktop open (tests/desktop_holder.exe) while
# programs run in a prefix with a display; set by whoever knows the build folder.
DESKTOP_HOLDER = None


class Prefix:
    """A private copy of the template prefix with its own HOME."""

    def __init__(self, template, display=None, keep=False):
        self.root = Path(tempfile.mkdtemp(prefix="vl2wine-"))
        self.path = self.root / "prefix"
        self.home = self.root / "home"
        self.home.mkdir()
        subprocess.run(["cp", "-a", str(template), str(self.path)], check=True)
        # Debian's Wine keeps, in the prefix's "wineserver" file, the name of the
        # folder below TMPDIR where its server's socket lies (server-DEV-INODE). A
        # copy of the template would share the template's folder with every other
        # copy, and a copy whose folder has the inode of one deleted a moment ago
        # would join that one's server if it still ran: the installer would find the
        # earlier test's installer there and hand over to it, ending with 0 and no
        # window. Without the file, the first server makes a folder of its own.
        (self.path / "wineserver").unlink(missing_ok=True)
        self.display = display
        self.keep = keep
        self.env = base_env(self.path, self.home, display)
        # What every Wine command of the prefix is run through (the account it runs as).
        self.runner = []
        # The processes started here, each waited for when the prefix is ended.
        self.started = []
        self.holder = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def close(self):
        self.kill()
        self.remove_server_folder()
        for process in self.started:
            for pipe in (process.stdin, process.stdout, process.stderr):
                if pipe:
                    pipe.close()
        self.started = []
        if not self.keep:
            shutil.rmtree(self.root, ignore_errors=True)

    def remove_server_folder(self):
        """The folder the prefix's server kept its socket in, once the server is gone."""
        try:
            name = (self.path / "wineserver").read_text().strip()
        except OSError:
            return
        if name.startswith("wine-") and "/" not in name:
            shutil.rmtree(Path(os.environ.get("TMPDIR", "/tmp")) / name, ignore_errors=True)

    # --- paths -------------------------------------------------------------
    @property
    def drive_c(self):
        return self.path / "drive_c"

    def program_files(self):
        return self.drive_c / "Program Files"

    def unix_path(self, windows_path):
        assert windows_path[1:3] == ":\\", windows_path
        return self.drive_c / windows_path[3:].replace("\\", "/")

    def user(self):
        return user_folder(self.path)

    def desktop(self):
        return self.user() / "Desktop"

    def start_menu_programs(self):
        return self.user() / "AppData" / "Roaming" / "Microsoft" / "Windows" / "Start Menu" / "Programs"

    def quick_launch(self):
        return self.user() / "AppData" / "Roaming" / "Microsoft" / "Internet Explorer" / "Quick Launch"

    # --- processes ---------------------------------------------------------
    def hold_desktop(self):
        """Starts the desktop holder, unless one runs or the prefix has no display, and
        waits until the desktop stands. Every program of a windowed test then starts
        on a desktop that stays, however soon after the last one it comes."""
        if not self.display or not DESKTOP_HOLDER or (self.holder and self.holder.poll() is None):
            return
        self.holder = subprocess.Popen(self.runner + ["wine", str(DESKTOP_HOLDER)], env=self.env,
                                       stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        ready, _, _ = select.select([self.holder.stdout], [], [], 60)
        if not ready or self.holder.stdout.readline().strip() != b"ready":
            raise RuntimeError("the desktop holder did not start")

    def run(self, args, timeout=60, check=False, **kwargs):
        self.hold_desktop()
        return subprocess.run(self.runner + ["wine"] + [str(a) for a in args], env=self.env, timeout=timeout,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=check, **kwargs)

    def start(self, args, **kwargs):
        self.hold_desktop()
        process = subprocess.Popen(self.runner + ["wine"] + [str(a) for a in args], env=self.env,
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, **kwargs)
        self.started.append(process)
        return process

    def wait_idle(self, timeout=60):
        """Waits until every process of the prefix has ended."""
        self.release_desktop()
        try:
            subprocess.run(self.runner + ["wineserver", "-w"], env=self.env, timeout=timeout)
        except subprocess.TimeoutExpired:
            return False
        return True

    def kill(self):
        """Ends every process of the prefix and waits for its server to go. A server
        is found by the prefix folder's inode, which the next prefix made may reuse
        once this one is deleted: a server still ending would then take in the next
        test's programs, with this test's processes in them."""
        self.release_desktop()
        for flag in ("-k", "-w"):
            subprocess.run(self.runner + ["wineserver", flag], env=self.env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=60)
        # The server is gone, and with it every process it knew; a process started
        # here that had not reached it yet (still loading) is ended by its id. Each
        # is waited for, so that none is still there, or joins a server of this
        # name, when the folder is deleted.
        for process in self.started:
            if process.poll() is None:
                try:
                    process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait(timeout=10)

    def release_desktop(self):
        if self.holder is None:
            return
        self.holder.kill()
        self.holder.wait(timeout=10)
        self.holder.stdout.close()
        self.holder = None

    def set_windows_version(self, version):
        self.add_registry("user", "Software\\Wine", {"Version": version})

    # --- registry ----------------------------------------------------------
    def add_registry(self, hive, key, values):
        """Adds string values to user.reg or system.reg. The prefix is ended first: a
        server that runs (if only for the desktop holder) would write its own
        registry over the files."""
        self.kill()
        reg = self.path / ("user.reg" if hive == "user" else "system.reg")
        lines = ["", "[%s] %d" % (key.replace("\\", "\\\\"), int(time.time()))]
        for name, value in values.items():
            left = "@" if name == "" else '"%s"' % _escape_reg_string(name)
            lines.append('%s="%s"' % (left, _escape_reg_string(value)))
        with open(reg, "a", encoding="utf-8") as f:
            f.write("\n".join(lines) + "\n")

    def registry(self):
        """Reads both hives as {key (lower case): {value name: text}}; kills the prefix first."""
        self.kill()
        values = {}
        for hive, root in (("user.reg", "HKCU\\"), ("system.reg", "HKLM\\")):
            values.update(parse_reg_file(self.path / hive, root))
        return values


ORDINARY_USER = "vl2user"


def ordinary_user():
    """The unprivileged account that the ordinary-user tests run Wine as, made when
    missing; None when this process cannot run programs as another user."""
    if os.geteuid() != 0 or not shutil.which("setpriv") or not shutil.which("useradd"):
        return None
    try:
        return pwd.getpwnam(ORDINARY_USER)
    except KeyError:
        subprocess.run(["useradd", "--create-home", ORDINARY_USER], check=True)
        return pwd.getpwnam(ORDINARY_USER)


class OrdinaryUserPrefix(Prefix):
    """A prefix booted for, owned by and run as an unprivileged account, whose Program
    Files belongs to root and is read-only to it: what an ordinary user of Windows
    since Vista meets (Wine has no VirtualStore: as for a program with a manifest)."""

    def __init__(self, display=None, keep=False):
        account = ordinary_user()
        if account is None:
            raise RuntimeError("running as another user needs root, setpriv and useradd")
        self.root = Path(tempfile.mkdtemp(prefix="vl2user-"))
        os.chmod(self.root, 0o755)
        self.path = self.root / "prefix"
        self.home = self.root / "home"
        for folder in (self.path, self.home):
            folder.mkdir()
            os.chown(folder, account.pw_uid, account.pw_gid)
        # No desktop holder while the prefix is booted: it runs in a booted prefix.
        self.display = None
        self.holder = None
        self.keep = keep
        self.env = base_env(self.path, self.home, display)
        self.env.update({"USER": account.pw_name, "LOGNAME": account.pw_name})
        self.runner = ["setpriv", "--reuid=%d" % account.pw_uid, "--regid=%d" % account.pw_gid, "--init-groups"]
        self.started = []
        boot = self.run(["wineboot", "-i"], timeout=300)
        if boot.returncode != 0:
            raise RuntimeError("wineboot as %s failed: %s" % (account.pw_name, boot.stderr[-2000:]))
        self.wait_idle(120)
        _make_test_ready(self.path)
        self.display = display
        self.account = account
        # The folders made above as root become the account's, as its profile is.
        self._own_tree(user_folder(self.path), account.pw_uid, account.pw_gid)
        program_files = self.drive_c / "Program Files"
        self._own_tree(program_files, 0, 0)
        os.chmod(program_files, 0o755)

    @staticmethod
    def _own_tree(top, uid, gid):
        for folder, folders, files in os.walk(top):
            for name in [folder] + [os.path.join(folder, f) for f in folders + files]:
                os.lchown(name, uid, gid)

    def give(self, path):
        """Makes a file or folder a test wrote into the prefix the account's own."""
        os.lchown(path, self.account.pw_uid, self.account.pw_gid)


def _decode_reg_string(body):
    out = []
    i = 0
    while i < len(body):
        c = body[i]
        if c == "\\" and i + 1 < len(body):
            n = body[i + 1]
            if n == "x":
                m = re.match(r"[0-9a-fA-F]{1,4}", body[i + 2:])
                out.append(chr(int(m.group(0), 16)))
                i += 2 + len(m.group(0))
                continue
            out.append({"n": "\n", "r": "\r", "t": "\t", "0": "\0"}.get(n, n))
            i += 2
            continue
        out.append(c)
        i += 1
    return "".join(out)


def parse_reg_file(path, root):
    """Parses a Wine registry file. String-like values come back as text, with
    data stored without a terminating zero decoded the same way."""
    result = {}
    current = None
    text = Path(path).read_text(encoding="utf-8", errors="replace")
    # Join continuation lines of hex data.
    text = re.sub(r"\\\n\s*", "", text)
    for line in text.splitlines():
        if line.startswith("["):
            m = re.match(r"\[(.*)\]", line)
            key = m.group(1).replace("\\\\", "\\")
            current = result.setdefault((root + key).lower(), {})
            continue
        if current is None or not line or line[0] not in '"@':
            continue
        if line.startswith("@="):
            name, rest = "", line[2:]
        else:
            m = re.match(r'"((?:[^"\\]|\\.)*)"=(.*)', line)
            if not m:
                continue
            name, rest = _decode_reg_string(m.group(1)), m.group(2)
        current[name] = _decode_reg_value(rest)
    return result


def _decode_reg_value(rest):
    if rest.startswith('"'):
        return _decode_reg_string(rest[1:-1])
    if rest.startswith("str:") or rest.startswith("str(2):") or rest.startswith("str(7):"):
        return _decode_reg_string(rest[rest.index('"') + 1:-1])
    m = re.match(r"hex(?:\((\d+)\))?:(.*)", rest)
    if m:
        data = bytes(int(b, 16) for b in m.group(2).split(",") if b.strip())
        kind = int(m.group(1) or "3", 16)
        if kind in (1, 2, 7):
            return data.decode("utf-16-le", errors="replace")
        return data
    if rest.startswith("dword:"):
        return int(rest[6:], 16)
    return rest


class Display:
    """An Xvfb server of its own for windowed tests."""

    def __init__(self, width=1024, height=768):
        self.size = (width, height)
        read_fd, write_fd = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", "%dx%dx24" % (width, height),
             "-nolisten", "tcp", "-ac"], pass_fds=(write_fd,), stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        os.close(write_fd)
        number = b""
        with os.fdopen(read_fd, "rb") as pipe:
            while not number.endswith(b"\n"):
                chunk = pipe.read(1)
                if not chunk:
                    break
                number += chunk
        self.name = ":" + number.decode().strip()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def close(self):
        self.process.terminate()
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()

    def env(self):
        env = dict(os.environ)
        env["DISPLAY"] = self.name
        return env

    def grab(self):
        """The whole screen as an RGB image, read straight from xwd's output."""
        from PIL import Image
        for attempt in range(5):
            # xwd now and then fails while windows come and go; a moment later it works.
            result = subprocess.run(["xwd", "-root", "-silent", "-display", self.name], stdout=subprocess.PIPE,
                                    stderr=subprocess.DEVNULL, timeout=30)
            if result.returncode == 0:
                break
            time.sleep(0.1)
        result.check_returncode()
        xwd = result.stdout
        fields = struct.unpack(">25I", xwd[:100])
        header_size, width, height = fields[0], fields[4], fields[5]
        bits_per_pixel, bytes_per_line, colours = fields[11], fields[12], fields[19]
        layouts = {32: "BGRX", 24: "BGR"}
        if bits_per_pixel not in layouts:
            raise RuntimeError("unexpected screen depth %d" % bits_per_pixel)
        start = header_size + colours * 12
        return Image.frombuffer("RGB", (width, height), xwd[start:start + bytes_per_line * height], "raw",
                                layouts[bits_per_pixel], bytes_per_line, 1)

    def screenshot(self, path):
        self.grab().save(str(path))
        return path

    def xdotool(self, *args, check=True):
        # A search that meets a window while Wine destroys it now and then never
        # returns; asked again, it answers at once. Commands that act (clicks, keys)
        # are not repeated.
        tries = 3 if args and args[0] in ("search", "getwindowgeometry", "getwindowname") else 1
        for attempt in range(tries):
            try:
                result = subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env(), stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, timeout=10 if tries > 1 else 30, text=True)
                break
            except subprocess.TimeoutExpired:
                if attempt + 1 == tries:
                    raise
        if check and result.returncode != 0:
            raise RuntimeError("xdotool %s failed: %s" % (args, result.stderr))
        return result.stdout.strip()

    def press(self, window, key):
        """Presses `key` in `window`: a click on it first gives it the focus (there is
        no window manager to do that), then the key goes to the focused window."""
        geometry = self.xdotool("getwindowgeometry", "--shell", window, check=False)
        values = dict(line.split("=", 1) for line in geometry.splitlines() if "=" in line)
        if "X" in values:
            # The top edge of a message box holds no button.
            self.xdotool("mousemove", int(values["X"]) + 5, int(values["Y"]) + 5)
            self.xdotool("click", "1", check=False)
            time.sleep(0.3)
        self.xdotool("key", key)

    def geometry(self, window):
        """(x, y, width, height) of a window on the screen."""
        out = self.xdotool("getwindowgeometry", "--shell", window)
        values = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
        return tuple(int(values[key]) for key in ("X", "Y", "WIDTH", "HEIGHT"))

    def window_name(self, window):
        return self.xdotool("getwindowname", window, check=False)

    def find_windows(self, name=None, class_name=None, only_visible=True):
        """Windows whose title equals `name` (all titled ones for None). xdotool's
        own --name matching cannot take non-ASCII text, so titles compare here."""
        args = ["search", "--onlyvisible"] if only_visible else ["search"]
        if class_name is not None:
            args += ["--class", class_name]
        else:
            args += ["--name", "."]
        out = self.xdotool(*args, check=False)
        found = [w for w in out.split() if w]
        if name is not None:
            found = [w for w in found if self.window_name(w) == name]
        return found

    def wait_window(self, name, timeout=30):
        found = wait_until(lambda: self.find_windows(name=name, only_visible=False), timeout, interval=0.3)
        return found[0] if found else None


def wait_until(condition, timeout, interval=0.2):
    """Calls `condition()` until it returns something true or `timeout` seconds have
    passed; returns its last result. The one way the tests wait for anything."""
    deadline = time.time() + timeout
    while True:
        result = condition()
        if result or time.time() >= deadline:
            return result
        time.sleep(interval)


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "make-template":
        make_template(sys.argv[2])
        return 0
    print("usage: winenv.py make-template PATH", file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main())
