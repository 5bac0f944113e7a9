#!/usr/bin/env python3
"""How much the update check costs every start of the suite.

Prints, in one run under Wine: the median time from starting InitVL2.exe (installed
version current, manifest served from 127.0.0.1) to the stand-in suite's start,
against starting the stand-in suite directly, as a ratio; and the time to the
suite's start when the file server accepts the connection and never answers.
Build the win32 preset first."""
import statistics
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "harness"))
import vendor_server  # noqa: E402
import winenv  # noqa: E402

BUILD = ROOT / "build" / "win32"
RUNS = 9


def time_to_log(prefix, command, log, timeout=60):
    if log.exists():
        log.unlink()
    started = time.perf_counter()
    process = prefix.start(command)
    while not log.exists() or not log.read_bytes():
        if time.perf_counter() - started > timeout:
            process.kill()
            raise RuntimeError("the suite did not start")
        time.sleep(0.005)
    elapsed = time.perf_counter() - started
    prefix.run(["taskkill", "/f", "/im", "Cubelet.exe"])
    process.wait(timeout=60)
    return elapsed


def main():
    template = BUILD / "wine-template"
    winenv.make_template(template)
    with winenv.Display() as display, winenv.Prefix(template, display=display.name) as prefix, \
            vendor_server.VendorServer() as server:
        bin_folder = prefix.program_files() / "Corvalen" / "Velmora2" / "2.01" / "BIN"
        bin_folder.mkdir(parents=True)
        (bin_folder / "Cubelet.exe").write_bytes((BUILD / "Cubelet.exe").read_bytes())
        (bin_folder / "InitVL2.exe").write_bytes((BUILD / "InitVL2.exe").read_bytes())
        prefix.add_registry("user", "Software\\CORVALEN\\VELMORA2\\INFO", {"VERSION": "2.01"})
        server.manifest("version=2.01\ndownload=%s/p.cvz\n" % vendor_server.BASE_URL)
        log = bin_folder / "Cubelet.log"
        suite = "C:\\Program Files\\Corvalen\\Velmora2\\2.01\\BIN\\Cubelet.exe"
        launcher = "C:\\Program Files\\Corvalen\\Velmora2\\2.01\\BIN\\InitVL2.exe"
        prefix.run(["cmd", "/c", "exit"])  # a warm wineserver for both series
        direct, through = [], []
        for _ in range(RUNS):
            direct.append(time_to_log(prefix, [suite, "kqvwtzrnbpxyjdgfh"], log))
            through.append(time_to_log(prefix, [launcher], log))
        server.manifest("", silent=True)
        silent = time_to_log(prefix, [launcher], log, timeout=120)
    d, t = statistics.median(direct), statistics.median(through)
    print("suite started directly:        median %.3f s over %d runs" % (d, RUNS))
    print("suite started via InitVL2.exe:  median %.3f s over %d runs" % (t, RUNS))
    print("ratio (via InitVL2 / direct):   %.2f" % (t / d))
    print("file server never answers:      suite started after %.2f s" % silent)
    return 0


if __name__ == "__main__":
    sys.exit(main())
