"""Releases of the stand-in suite made as a vendor makes them: a folder holding the
suite as it is installed, released into a SITE folder by the native cvztool (which
the Windows build cannot run), for nginx to serve."""
import os
import subprocess
from pathlib import Path

SOURCE_DIR = Path(__file__).resolve().parents[2]
# CMake hands the Windows tests the native build's tool; run by hand, the native
# preset's folder is the one to look in.
NATIVE_CVZTOOL = Path(os.environ.get("VL2_NATIVE_CVZTOOL", SOURCE_DIR / "build" / "native" / "cvztool"))
TEST_KEY = SOURCE_DIR / "tests" / "keys" / "release-key.TEST-ONLY.pem"
SKIN_MODULES = ("CORE", "PINBAR", "SKYCAST")


def lay_out_suite(folder, build_dir, skin_text):
    """The suite as it is installed: the stand-in Cubelet.exe and the launcher in BIN
    and a few skin files, whose text tells one release from another."""
    folder = Path(folder)
    (folder / "BIN").mkdir(parents=True, exist_ok=True)
    for program in ("Cubelet.exe", "InitVL2.exe"):
        (folder / "BIN" / program).write_bytes((Path(build_dir) / program).read_bytes())
    for module in SKIN_MODULES:
        skin = folder / "SKIN" / module
        skin.mkdir(parents=True, exist_ok=True)
        (skin / "skin.txt").write_text("%s %s\n" % (module, skin_text), encoding="utf-8")
    return folder


def release_command(version, suite, site, key, base_url, comment, date="20070115", tool=NATIVE_CVZTOOL):
    """The command that releases `suite` as `version` into `site`."""
    return [str(tool), "release", "--key", str(key), "--version", version, "--from", str(suite),
            "--site", str(site), "--base-url", base_url, "--date", date, "--comment", comment]


def run_release(command):
    """Runs a release command: its output, or an exception with the tool's reason."""
    result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=300)
    if result.returncode != 0:
        raise RuntimeError("cvztool release ended with %d: %s" % (
            result.returncode, result.stderr.decode(errors="replace").strip()))
    return result.stdout.decode(errors="replace")


def release(*args, **kwargs):
    return run_release(release_command(*args, **kwargs))


def manifest(site):
    return Path(site) / "velmora2" / "update" / "update.inf"


def package(site, version):
    return Path(site) / "velmora2" / "files" / ("%s.cvz" % version)
