"""Releases of the stand-in suite made as a vendor makes them: a folder holding the
suite as it is installed, released into a SITE folder by the native cvztool (which
the Windows build cannot run), for nginx to serve."""
import os
import random
import subprocess
from pathlib import Path

SOURCE_DIR = Path(__file__).resolve().parents[2]
# CMake hands the Windows tests the native build's tool; run by hand, the native
# preset's folder is the one to look in.
NATIVE_CVZTOOL = Path(os.environ.get("VL2_NATIVE_CVZTOOL", SOURCE_DIR / "build" / "native" / "cvztool"))
TEST_KEY = SOURCE_DIR / "tests" / "keys" / "release-key.TEST-ONLY.pem"
SKIN_MODULES = ("CORE", "PINBAR", "SKYCAST")


# A skin file with a Korean name in every release, as the suite's own have.
HANGUL_SKIN = "바탕화면.txt"


def lay_out_suite(folder, build_dir, skin_text, parts=0):
    """The suite as it is installed: the stand-in Cubelet.exe and the launcher in BIN
    and a few skin files, whose text tells one release from another, one of them
    with a Korean name; with `parts`, that many more skin files of about 4 KB that
    compress no better than real skins, the same in every release."""
    folder = Path(folder)
    (folder / "BIN").mkdir(parents=True, exist_ok=True)
    for program in ("Cubelet.exe", "InitVL2.exe"):
        (folder / "BIN" / program).write_bytes((Path(build_dir) / program).read_bytes())
    for module in SKIN_MODULES:
        skin = folder / "SKIN" / module
        skin.mkdir(parents=True, exist_ok=True)
        (skin / "skin.txt").write_text("%s %s\n" % (module, skin_text), encoding="utf-8")
    (folder / "SKIN" / "CORE" / HANGUL_SKIN).write_text("바탕 %s\n" % skin_text, encoding="utf-8")
    parts_folder = folder / "SKIN" / "PARTS"
    for i in range(parts):
        parts_folder.mkdir(exist_ok=True)
        (parts_folder / ("조각%04d.bin" % i)).write_bytes(random.Random(i).randbytes(4096))
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


def file_list(site, version):
    return Path(site) / "velmora2" / "files" / ("%s.list" % version)


def install_files(prefix, package_path, version, windows_cvztool):
    """The release's files where an install leaves them, extracted in the prefix by
    the installer's own reader (cvztool.exe), and its record in the registry."""
    staged = prefix.drive_c / ("release-%s.cvz" % version)
    staged.write_bytes(Path(package_path).read_bytes())
    target = "C:\\Program Files\\Corvalen\\Velmora2\\" + version
    result = prefix.run([windows_cvztool, "extract", "C:\\" + staged.name, target], timeout=300)
    if result.returncode != 0:
        raise RuntimeError("cvztool.exe extract ended with %d: %s" % (result.returncode, result.stdout[-500:]))
    staged.unlink()
    prefix.add_registry("user", "Software\\CORVALEN\\VELMORA2\\INFO",
                        {"VERSION": version, "INSTALLPATH": "C:\\Program Files\\Corvalen\\Velmora2"})


def logged_at(log_text, starts_with):
    """When the stand-in suite logged the first line of its log that starts so, in
    seconds since 1970 (each line ends with the milliseconds); None without one."""
    for line in log_text.splitlines():
        if line.startswith(starts_with):
            return int(line.rsplit("\t", 1)[1]) / 1000
    return None
