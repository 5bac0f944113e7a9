#!/usr/bin/env python3
"""Speed and peak memory of `cvztool report` on report logs as a busy vendor's web
host keeps them.

Builds cvztool without sanitizers (the native preset's settings in
build/native-release, Release), then for each run writes a report log of LINES lines
over 90 days from MACHINES machines (installs, updates to the versions released
along the way, removals, reports without ma, a few lines that are not reports),
rotated into reports.log, reports.log.1 and the gzip-compressed reports.log.2.gz and
reports.log.3.gz, and times `cvztool report --svg` on them, newest named first as
`reports.log*` names them. Prints the elapsed time and the peak resident set size
(/usr/bin/time -v), best and largest of three runs: the same machines over more
lines must not take more memory.

Forged: reports are not authenticated, so anyone can send lines that each name a
new version. 60,000 such lines over 90 days, each from a new machine, and the same
lines naming two versions only: peak resident set size and the chart's size, for
this revision and, with --build-before REV, for a revision before (built the same
way, from a worktree of REV in build/bench-before-report).

    report_bench.py [--series load|forged|all] [--build-before REV] [LINES:MACHINES ...]
        LINES:MACHINES for the load series; default 250000:50000 1000000:50000 1000000:200000
"""
import argparse
import gzip
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import revision_source

ROOT = Path(__file__).resolve().parents[2]
BUILD = ROOT / "build" / "native-release"
VERSIONS = ["2.01", "2.02", "2.03", "2.04", "2.05", "2.06"]  # one released every 15 days
DAYS = 90
START = time.mktime((2024, 3, 1, 0, 0, 0, 0, 0, -1))
# Oldest first: the share of the lines in each file, as logrotate leaves them.
ROTATION = [("reports.log.3.gz", 0.4), ("reports.log.2.gz", 0.3), ("reports.log.1", 0.2), ("reports.log", 0.1)]
NOT_REPORTS = [b"GET /installax.asp?ma=00-0C HTTP/1.1\n", b"\x00\x8b\xff garbage\n",
               b"2024-03-01T25:00:00+09:00\t10.0.0.1\tma=\tinip=\tjaehuid=VL2B2.01CORVALEN\n",
               b"2024-03-01T10:00:00+09:00\t10.0.0.1\tma=\tinip=\tjaehuid=XYZ\n"]


FORGED_LINES = 60000


def build(source=ROOT, folder=BUILD):
    subprocess.run(["cmake", "--preset", "native", "-S", str(source), "-B", str(folder), "-DCMAKE_BUILD_TYPE=Release",
                    "-DVL2_SANITIZE=OFF"], cwd=source, check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", str(folder), "--target", "cvztool", "-j2"], check=True, stdout=subprocess.DEVNULL)
    return folder / "cvztool"


def build_before(revision):
    """cvztool of `revision`, built as build() builds this one, from a worktree."""
    folder = ROOT / "build" / "bench-before-report"
    return build(revision_source.source_of(revision, folder), folder / "native-release")


def report_lines(lines, machines, seed=11):
    """The log's lines in time order: each machine installs first, then updates,
    reinstalls or removes at random; every 200,000th line is not a report."""
    rng = random.Random(seed)
    addresses = ["00-0C-%02X-%02X-%02X-%02X" % tuple((m >> shift) & 0xFF for shift in (24, 16, 8, 0))
                 for m in range(machines)]
    order = list(range(machines))
    rng.shuffle(order)
    on = [None] * machines
    step = DAYS * 86400 / lines
    for i in range(lines):
        if i % 200000 == 199999:
            yield NOT_REPORTS[(i // 200000) % len(NOT_REPORTS)]
            continue
        moment = START + i * step
        latest = VERSIONS[min(len(VERSIONS) - 1, int(i * step // (15 * 86400)))]
        stamp = time.strftime("%Y-%m-%dT%H:%M:%S+09:00", time.localtime(moment))
        machine = order[i] if i < machines else rng.randrange(machines)
        ma = "" if rng.random() < 0.01 else addresses[machine]
        if on[machine] is None:
            jaehuid = "VL2B%sCORVALEN" % latest
            on[machine] = latest
        elif rng.random() < 0.03:
            jaehuid = "VL2BDEL%s" % on[machine]
            on[machine] = None
        else:
            jaehuid = ("VL2U%sCORVALEN" if on[machine] != latest else "VL2B%sCORVALEN") % latest
            on[machine] = latest
        yield ("%s\t10.%d.%d.1\tma=%s\tinip=192.168.0.%d\tjaehuid=%s\n" % (
            stamp, machine % 200, machine % 250, ma, machine % 250, jaehuid)).encode()


def forged_lines(lines, versions):
    """Lines as anyone can have nginx log them: each from a new machine, naming one of
    `versions` versions in turn (None: a new one each), over DAYS days."""
    step = DAYS * 86400 / lines
    for i in range(lines):
        stamp = time.strftime("%Y-%m-%dT%H:%M:%S+09:00", time.localtime(START + i * step))
        version = "2.%05d" % (i if versions is None else i % versions)
        yield ("%s\t203.0.113.9\tma=0A-%02X-%02X-%02X\tinip=10.0.0.1\tjaehuid=VL2B%sCORVALEN\n" % (
            stamp, i >> 16 & 0xFF, i >> 8 & 0xFF, i & 0xFF, version)).encode()


def write_logs(folder, lines, machines):
    generated = report_lines(lines, machines)
    paths = []
    for name, share in ROTATION:
        path = folder / name
        opener = gzip.open if name.endswith(".gz") else open
        with opener(path, "wb") as out:
            count = int(lines * share) if name != "reports.log" else lines
            out.writelines(line for _, line in zip(range(count), generated))
        paths.append(path)
    return list(reversed(paths))


def measure(cvztool, logs, chart):
    """Best time and largest peak of three runs, with the report's closing lines."""
    runs = [measure_once(cvztool, logs, chart) for _ in range(3)]
    return min(r[0] for r in runs), max(r[1] for r in runs), runs[0][2]


def measure_once(cvztool, logs, chart):
    result = subprocess.run(["/usr/bin/time", "-v", str(cvztool), "report", "--svg", str(chart)] + [str(p) for p in logs],
                            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    if result.returncode != 0:
        sys.exit("cvztool report failed: " + result.stderr)
    elapsed = re.search(r"Elapsed \(wall clock\) time \(h:mm:ss or m:ss\): (?:(\d+):)?(\d+):([\d.]+)", result.stderr)
    seconds = int(elapsed.group(1) or 0) * 3600 + int(elapsed.group(2)) * 60 + float(elapsed.group(3))
    peak_kb = int(re.search(r"Maximum resident set size \(kbytes\): (\d+)", result.stderr).group(1))
    summary = [line for line in result.stdout.splitlines() if line.startswith("# ") and "reports," in line]
    return seconds, peak_kb, summary[0][2:] + "; " + result.stdout.splitlines()[-1]


def load_series(cvztool, runs):
    print("%9s %9s %8s %9s %14s  report" % ("lines", "machines", "log MB", "seconds", "peak RSS MB"))
    for lines, machines in runs:
        folder = Path(tempfile.mkdtemp(prefix="report-bench-"))
        try:
            logs = write_logs(folder, lines, machines)
            size = sum(p.stat().st_size for p in logs) / 1e6
            seconds, peak_kb, summary = measure(cvztool, logs, folder / "chart.svg")
            print("%9d %9d %8.1f %9.2f %14.1f  %s" % (lines, machines, size, seconds, peak_kb / 1024, summary))
        finally:
            shutil.rmtree(folder, ignore_errors=True)


def forged_series(builds):
    print("forged: %d lines over %d days, each from a new machine" % (FORGED_LINES, DAYS))
    print("%-22s %-22s %14s %14s" % ("build", "versions named", "peak RSS MB", "chart KB"))
    folder = Path(tempfile.mkdtemp(prefix="report-bench-forged-"))
    try:
        for versions in (None, 2):
            log = folder / ("reports-%s.log" % versions)
            with open(log, "wb") as out:
                out.writelines(forged_lines(FORGED_LINES, versions))
            for name, cvztool in builds:
                chart = folder / "chart.svg"
                _, peak_kb, _ = measure_once(cvztool, [log], chart)
                print("%-22s %-22s %14.1f %14.1f" % (name, "%d, each a new one" % FORGED_LINES if versions is None
                                                      else "%d" % versions, peak_kb / 1024, chart.stat().st_size / 1024))
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--series", choices=("load", "forged", "all"), default="all")
    parser.add_argument("--build-before", metavar="REV", help="compare the forged series with revision REV")
    parser.add_argument("runs", nargs="*", metavar="LINES:MACHINES")
    options = parser.parse_args()
    runs = [tuple(int(n) for n in arg.split(":")) for arg in options.runs] or [
        (250000, 50000), (1000000, 50000), (1000000, 200000)]
    cvztool = build()
    if options.series in ("load", "all"):
        load_series(cvztool, runs)
    if options.series in ("forged", "all"):
        builds = [("this revision", cvztool)]
        if options.build_before:
            builds.insert(0, ("before (%s)" % options.build_before, build_before(options.build_before)))
        forged_series(builds)
    return 0


if __name__ == "__main__":
    sys.exit(main())
