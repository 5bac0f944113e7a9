#!/usr/bin/env python3
"""How much the update check costs every start of the suite.

Prints, in one run under Wine, with the installed version current and the manifest
served from 127.0.0.1: the median time to the stand-in suite's start when it is
started directly, through a null launcher (a stub that only starts the same command
line and ends), through a WinInet launcher (a stub that first makes only the update
check's own WinInet calls: the connection test and one fetch of the manifest) and
through InitVL2.exe and through the stable launcher every shortcut names
(Velmora2.exe, which starts InitVL2.exe), interleaved; InitVL2's median against each stub's as a ratio
(against the WinInet launcher: what InitVL2 adds to the calls it must make); the median time of each step of InitVL2's launch path as the
program itself measures it (VL2_LAUNCH_TIMING); the time to the suite's start when
the file server accepts the connection and never answers; and, when it answers
after 3 s with an update, the time to the installed suite's start and to the new
suite's (the update done).

Build the win32 preset first; VL2_BUILD_DIR names another build folder."""
import os
import shutil
import statistics
import subprocess
import sys
import time
from collections import defaultdict
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "harness"))
os.environ.setdefault("VL2_BUILD_DIR", str(ROOT / "build" / "win32"))
import setup_flow  # noqa: E402
import vendor_server  # noqa: E402
import winenv  # noqa: E402

BUILD = Path(os.environ.get("VL2_BUILD_DIR", ROOT / "build" / "win32"))
RUNS = 21
TOKEN = "kqvwtzrnbpxyjdgfh"


def build_stub(name, *options):
    out = BUILD / "bench" / (name + ".exe")
    out.parent.mkdir(exist_ok=True)
    subprocess.run(["i686-w64-mingw32-gcc", "-O2", "-s", "-static", "-mwindows", "-o", str(out),
                    str(ROOT / "tools" / "bench" / "launcher_stub.c")] + list(options), check=True)
    return out


def time_to_log(prefix, command, log, timeout=60):
    if log.exists():
        log.unlink()
    started = time.perf_counter()
    process = prefix.start(command)
    while not log.exists() or not log.read_bytes():
        if time.perf_counter() - started > timeout:
            process.kill()
            raise RuntimeError("the suite did not start")
        time.sleep(0.002)
    elapsed = time.perf_counter() - started
    prefix.run(["taskkill", "/f", "/im", "Cubelet.exe"])
    process.wait(timeout=60)
    return elapsed


def wait_for_file(path, started, timeout=120):
    while not path.exists() or not path.read_bytes():
        if time.perf_counter() - started > timeout:
            raise RuntimeError("%s never came" % path)
        time.sleep(0.002)
    return time.perf_counter() - started


def main():
    template = BUILD / "wine-template"
    winenv.make_template(template)
    stub = build_stub("null_launcher")
    wininet_stub = build_stub("wininet_launcher", "-DCHECK_FOR_UPDATE", "-lwininet")
    with winenv.Display() as display, winenv.Prefix(template, display=display.name) as prefix, \
            vendor_server.VendorServer() as server:
        bin_folder = prefix.program_files() / "Corvalen" / "Velmora2" / "2.01" / "BIN"
        bin_folder.mkdir(parents=True)
        (bin_folder / "Cubelet.exe").write_bytes((BUILD / "Cubelet.exe").read_bytes())
        (bin_folder / "InitVL2.exe").write_bytes((BUILD / "InitVL2.exe").read_bytes())
        (bin_folder / "NullLauncher.exe").write_bytes(stub.read_bytes())
        (bin_folder / "WinInetLauncher.exe").write_bytes(wininet_stub.read_bytes())
        (bin_folder.parent.parent / "Velmora2.exe").write_bytes((BUILD / "Velmora2.exe").read_bytes())
        prefix.add_registry("user", "Software\\CORVALEN\\VELMORA2\\INFO", {"VERSION": "2.01"})
        server.manifest("version=2.01\ndownload=%s/p.cvz\n" % vendor_server.BASE_URL)
        log = bin_folder / "Cubelet.log"
        folder = "C:\\Program Files\\Corvalen\\Velmora2\\2.01\\BIN\\"
        suite = [folder + "Cubelet.exe", TOKEN]
        through_stub = [folder + "NullLauncher.exe", folder + "Cubelet.exe", TOKEN]
        through_wininet = [folder + "WinInetLauncher.exe", vendor_server.BASE_URL + "/velmora2/update/update.inf",
                           folder + "Cubelet.exe", TOKEN]
        launcher = [folder + "InitVL2.exe"]
        stable = ["C:\\Program Files\\Corvalen\\Velmora2\\Velmora2.exe"]
        prefix.run(["cmd", "/c", "exit"])  # a warm wineserver for every series
        commands = {"direct": suite, "stub": through_stub, "wininet": through_wininet, "InitVL2": launcher,
                    "stable": stable}
        series = {name: [] for name in commands}
        # Each round starts with the next series, so that no series always follows
        # the same one (the previous suite's end may still be settling).
        names = list(commands)
        for round_number in range(RUNS):
            shift = round_number % len(names)
            for name in names[shift:] + names[:shift]:
                series[name].append(time_to_log(prefix, commands[name], log))

        # The breakdown, in runs of their own so that writing it costs the series nothing.
        timing = prefix.root / "launch-timing.txt"
        prefix.env["VL2_LAUNCH_TIMING"] = "Z:" + str(timing).replace("/", "\\")
        for _ in range(RUNS):
            time_to_log(prefix, launcher, log)
        del prefix.env["VL2_LAUNCH_TIMING"]
        steps = defaultdict(list)
        order = []
        for line in timing.read_text().splitlines():
            step, milliseconds = line.rsplit("\t", 1)
            if step not in steps:
                order.append(step)
            steps[step].append(float(milliseconds))

        server.manifest("", silent=True)
        silent = time_to_log(prefix, launcher, log, timeout=120)

        # A server that answers after 3 s with an update: the installed 2.00 starts at
        # the deadline, and the update runs beside it to the new suite's start.
        prefix.kill()
        old_bin = prefix.program_files() / "Corvalen" / "Velmora2" / "2.00" / "BIN"
        old_bin.mkdir(parents=True)
        for program in ("Cubelet.exe", "InitVL2.exe"):
            (old_bin / program).write_bytes((BUILD / program).read_bytes())
        prefix.add_registry("user", "Software\\CORVALEN\\VELMORA2\\INFO", {"VERSION": "2.00"})
        package = setup_flow.package()
        server.serve(setup_flow.PACKAGE_PATH % "2.01", vendor_server.Route(package))
        server.serve(setup_flow.REPORT_PATH, vendor_server.Route(b"OK"))
        server.manifest(setup_flow.manifest_for("2.01", package), delay=3.0)
        shutil.rmtree(bin_folder.parent)
        old_log, new_log = old_bin / "Cubelet.log", bin_folder / "Cubelet.log"
        # The prefix warm again, as for the series: its first window costs Wine most.
        time_to_log(prefix, [str(old_bin).replace(str(prefix.drive_c), "C:").replace("/", "\\") + "\\Cubelet.exe",
                             TOKEN], old_log)
        old_log.unlink()
        started = time.perf_counter()
        process = prefix.start(["C:\\Program Files\\Corvalen\\Velmora2\\2.00\\BIN\\InitVL2.exe"])
        late_start = wait_for_file(old_log, started)
        late_update = wait_for_file(new_log, started)
        process.wait(timeout=60)

    medians = {name: statistics.median(values) for name, values in series.items()}
    for name, label in (("direct", "suite started directly"), ("stub", "through a null launcher"),
                        ("wininet", "through a WinInet launcher"), ("InitVL2", "through InitVL2.exe"),
                        ("stable", "through Velmora2.exe (shortcuts)")):
        print("%-32s median %.3f s over %d runs" % (label + ":", medians[name], RUNS))
    print("%-32s %.2f" % ("ratio InitVL2 / null launcher:", medians["InitVL2"] / medians["stub"]))
    print("%-32s %.2f" % ("ratio WinInet / null launcher:", medians["wininet"] / medians["stub"]))
    print("%-32s %.2f" % ("ratio InitVL2 / WinInet launcher:", medians["InitVL2"] / medians["wininet"]))
    print("%-32s %.2f" % ("ratio InitVL2 / direct:", medians["InitVL2"] / medians["direct"]))
    print("%-32s %+.3f s" % ("the stable launcher adds:", medians["stable"] - medians["InitVL2"]))
    print("InitVL2's launch path, median per step (ms):")
    for step in order:
        print("    %-34s %7.2f" % (step, statistics.median(steps[step])))
    print("%-32s suite started after %.2f s" % ("file server never answers:", silent))
    print("%-32s suite started after %.2f s, the update done (new suite started) after %.2f s" % (
        "file server answers after 3 s:", late_start, late_update))
    for exe in ("InitVL2.exe", "VL2Del.exe"):
        print("%-32s %d bytes" % (exe + " size:", (BUILD / exe).stat().st_size))
    return 0


if __name__ == "__main__":
    sys.exit(main())
