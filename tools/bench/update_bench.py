#!/usr/bin/env python3
"""How long an update leaves the user without the suite, how long it takes, and
what it fetches.

Downtime: in one run under Wine, for each build compared: version 2.00 installed and its
stand-in suite running, a 2.01 of 1,000 files released with cvztool into a site
that nginx serves at about 200 KB/s (limit_rate), and the installed launcher
started as a shortcut starts it. For each build it prints the downtime (from the
quit request the old suite logs to the new suite's start, both in the suite's own
log) and the whole update (from the launcher's start to the new suite's start),
the median of --runs runs.

The builds: this one (VL2_BUILD_DIR, default build/win32) and, with --before, a
win32 build of an earlier revision; --build-before REV makes that build in
build/bench-before from a worktree of REV first (for the update in the setup
window: the revision before the install run left it, 9c75cb7).

Only what changed: a suite of 1,000 files (about 30 MB: a few large programs, many
small skins, Hangul names) installed as 2.01 and running; 2.02 releases that change
1 % and 10 % of the files; nginx sending 2 MB/s. For each, an update that fetches
only what changed and one that fetches the whole package (the same release, its
manifest without the file list): bytes fetched and the whole update's time.

Run it with the vendor's port free (no Windows tests running); the native cvztool
(build/native) releases the suite. --series picks one part."""
import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "harness"))
import nginx_server  # noqa: E402
import revision_source  # noqa: E402
import suite_release  # noqa: E402
import vendor_server  # noqa: E402
import winenv  # noqa: E402

BUILD = Path(os.environ.get("VL2_BUILD_DIR", ROOT / "build" / "win32"))
TOKEN = "kqvwtzrnbpxyjdgfh"
PROGRAM_FILES = "C:\\Program Files"
FILES = 1000
RATE = "200k"


def build_before(revision):
    """A win32 build of `revision` in build/bench-before/win32, from a worktree."""
    folder = ROOT / "build" / "bench-before"
    source = revision_source.source_of(revision, folder)
    build = folder / "win32"
    subprocess.run(["cmake", "--preset", "win32", "-S", str(source), "-B", str(build)], check=True,
                   stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", str(build), "--target", "InitVL2", "-j", "2"], check=True,
                   stdout=subprocess.DEVNULL)
    return build


def lay_out_suite(folder, launcher):
    """The 2.01 suite: the stand-in suite, the launcher under test and 998 skin files."""
    suite_release.lay_out_suite(folder, BUILD, "bench", parts=FILES - 6)
    shutil.copyfile(launcher, folder / "BIN" / "InitVL2.exe")
    return folder


def one_update(template, launcher, site):
    """One update with the launcher of a build: (downtime, whole time) in seconds."""
    with winenv.Display() as display, winenv.Prefix(template, display=display.name) as prefix:
        product = prefix.program_files() / "Corvalen" / "Velmora2"
        old_bin = product / "2.00" / "BIN"
        old_bin.mkdir(parents=True)
        shutil.copyfile(BUILD / "Cubelet.exe", old_bin / "Cubelet.exe")
        shutil.copyfile(launcher, old_bin / "InitVL2.exe")
        prefix.add_registry("user", "Software\\CORVALEN\\VELMORA2\\INFO",
                            {"VERSION": "2.00", "INSTALLPATH": PROGRAM_FILES + "\\Corvalen\\Velmora2"})
        old_log, new_log = old_bin / "Cubelet.log", product / "2.01" / "BIN" / "Cubelet.log"
        prefix.start([PROGRAM_FILES + "\\Corvalen\\Velmora2\\2.00\\BIN\\Cubelet.exe", TOKEN])
        if not winenv.wait_until(old_log.exists, 30):
            raise RuntimeError("the installed suite did not start")
        time.sleep(1)
        started = time.time()
        launcher_process = prefix.start([PROGRAM_FILES + "\\Corvalen\\Velmora2\\2.00\\BIN\\InitVL2.exe"])
        if not winenv.wait_until(lambda: new_log.exists() and TOKEN in new_log.read_text(errors="replace"), 900, 0.1):
            raise RuntimeError("the new suite did not start")
        launcher_process.wait(timeout=120)
        quit_at = suite_release.logged_at(old_log.read_text(errors="replace"), "quit-request")
        new_at = suite_release.logged_at(new_log.read_text(errors="replace"), '"')
        if quit_at is None or new_at is None:
            raise RuntimeError("the suite's log lacks the quit request or the new start")
        return new_at - quit_at, new_at - started


DELTA_RATE = "2m"
LARGE_PROGRAMS = 5
LARGE_BYTES = 4 << 20


def lay_out_large_suite(folder, changed_share, version):
    """1,000 files: the stand-in suite, five large programs and small skins with
    Korean names; every 1/changed_share-th skin differs in 2.02."""
    suite_release.lay_out_suite(folder, BUILD, "bench", parts=FILES - 6 - LARGE_PROGRAMS)
    for i in range(LARGE_PROGRAMS):
        (folder / "BIN" / ("모듈%d.dll" % i)).write_bytes(random.Random(1000 + i).randbytes(LARGE_BYTES))
    if version == "2.02":
        parts = sorted((folder / "SKIN" / "PARTS").iterdir())
        step = round(1 / changed_share)
        for part in parts[::step]:
            part.write_bytes(part.read_bytes() + b"2.02")
    return folder


def delta_update(template, work, site, name):
    """One update of the large suite from 2.01: (bytes fetched, seconds to the new suite)."""
    serve = nginx_server.slowed_vendor_server(work / ("server-" + name), DELTA_RATE)
    with winenv.Display() as display, winenv.Prefix(template, display=display.name) as prefix:
        suite_release.install_files(prefix, suite_release.package(site, "2.01"), "2.01", BUILD / "cvztool.exe")
        product = prefix.program_files() / "Corvalen" / "Velmora2"
        new_log = product / "2.02" / "BIN" / "Cubelet.log"
        prefix.start([PROGRAM_FILES + "\\Corvalen\\Velmora2\\2.01\\BIN\\Cubelet.exe", TOKEN])
        winenv.wait_until((product / "2.01" / "BIN" / "Cubelet.log").exists, 30)
        with nginx_server.NginxServer(site, work / ("run-" + name), serve=serve) as server:
            started = time.time()
            launcher = prefix.start([PROGRAM_FILES + "\\Corvalen\\Velmora2\\2.01\\BIN\\InitVL2.exe"])
            if not winenv.wait_until(lambda: new_log.exists() and TOKEN in new_log.read_text(errors="replace"),
                                     900, 0.1):
                raise RuntimeError("the new suite did not start")
            launcher.wait(timeout=120)
            new_at = suite_release.logged_at(new_log.read_text(errors="replace"), '"')
            return server.bytes_sent("/velmora2/files/2.02."), new_at - started


def delta_series(template, work):
    print("Only what changed: 1,000 files, nginx at %sB/s" % DELTA_RATE.upper())
    print("%-22s  %12s  %10s" % ("", "fetched (MB)", "update (s)"))
    for share in (0.01, 0.10):
        site = work / ("delta-site-%d" % round(share * 100))
        for version in ("2.01", "2.02"):
            suite = lay_out_large_suite(work / ("delta-suite-%s-%d" % (version, round(share * 100))), share, version)
            suite_release.release(version, suite, site, suite_release.TEST_KEY, vendor_server.BASE_URL, "bench")
        manifest = suite_release.manifest(site)
        with_list = manifest.read_bytes()
        for kind in ("changes", "whole"):
            manifest.write_bytes(with_list if kind == "changes" else
                                 b"".join(line for line in with_list.splitlines(True) if not line.startswith(b"filelist=")))
            fetched, seconds = delta_update(template, work, site, "%s-%d" % (kind, round(share * 100)))
            print("%-22s  %12.2f  %10.1f" % ("%d %% changed, %s" % (round(share * 100), kind), fetched / 1e6, seconds),
                  flush=True)
        print("  package %.1f MB" % (suite_release.package(site, "2.02").stat().st_size / 1e6))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--before", type=Path, help="a win32 build of an earlier revision")
    parser.add_argument("--build-before", metavar="REV", help="make that build from revision REV first")
    parser.add_argument("--runs", type=int, default=1)
    parser.add_argument("--series", choices=("downtime", "delta", "all"), default="all")
    options = parser.parse_args()
    template = BUILD / "wine-template"
    winenv.make_template(template)
    if options.series in ("delta", "all"):
        work = nginx_server.site_folder("vl2-delta-bench-")
        try:
            delta_series(template, work)
        finally:
            shutil.rmtree(work, ignore_errors=True)
        if options.series == "delta":
            return 0
        print()
    builds = []
    before = build_before(options.build_before) if options.build_before else options.before
    if before:
        builds.append(("before", before / "InitVL2.exe"))
    builds.append(("this build", BUILD / "InitVL2.exe"))
    work = nginx_server.site_folder("vl2-update-bench-")
    try:
        results = {}
        for name, launcher in builds:
            site = work / ("site-" + name.replace(" ", "-"))
            suite = lay_out_suite(work / ("suite-" + name.replace(" ", "-")), launcher)
            suite_release.release("2.01", suite, site, suite_release.TEST_KEY, vendor_server.BASE_URL, "bench")
            package = suite_release.package(site, "2.01").stat().st_size
            serve = nginx_server.slowed_vendor_server(work / ("server-" + name.replace(" ", "-")), RATE)
            with nginx_server.NginxServer(site, work / ("run-" + name.replace(" ", "-")), serve=serve):
                results[name] = [one_update(template, launcher, site) for _ in range(options.runs)]
            print("%-10s  package %d files, %.1f MB at %sB/s" % (name, FILES, package / 1e6, RATE), flush=True)
        print()
        print("%-10s  %12s  %14s" % ("", "downtime (s)", "whole update (s)"))
        for name, runs in results.items():
            print("%-10s  %12.2f  %14.1f" % (name, statistics.median(d for d, _ in runs),
                                             statistics.median(w for _, w in runs)))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
