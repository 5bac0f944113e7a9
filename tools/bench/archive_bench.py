#!/usr/bin/env python3
"""Extraction speed and memory of the package reader.

Builds an optimised native cvztool (no sanitizers) in build/bench, then:
1. a corpus of a few thousand files (a few hundred MB, compressible and not), timed
   for `cvztool extract`, `unzip -o -q`, `bsdtar -xf` and a raw zlib inflate plus
   CRC-32 into memory, best of three runs each, printed with ratios;
2. one 1 GiB entry extracted with cvztool, printing the peak resident set size.
Needs unzip and bsdtar (libarchive-tools)."""
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
BUILD = ROOT / "build" / "bench"


def build():
    subprocess.run(["cmake", "-S", str(ROOT), "-B", str(BUILD), "-DCMAKE_BUILD_TYPE=Release",
                    "-DVL2_SANITIZE=OFF"], check=True, stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", str(BUILD), "--target", "cvztool", "-j2"], check=True,
                   stdout=subprocess.DEVNULL)
    raw = BUILD / "raw_inflate"
    subprocess.run(["g++", "-O2", "-o", str(raw), str(ROOT / "tools/bench/raw_inflate.cpp"), "-lz"], check=True)
    return BUILD / "cvztool", raw


def make_corpus(path, files=3000, seed=7):
    rng = random.Random(seed)
    words = [bytes(rng.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 9))) for _ in range(4000)]
    total = 0
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=6) as z:
        for i in range(files):
            kind = i % 3
            size = int(rng.expovariate(1 / 100000)) + 100
            if kind == 0:  # text-like
                data = b" ".join(rng.choice(words) for _ in range(size // 6))[:size]
            elif kind == 1:  # incompressible
                data = os.urandom(size)
            else:  # structured binary
                data = bytes((j * 7 + (j >> 8)) & 0xFF for j in range(min(size, 200000)))
            info = zipfile.ZipInfo("data/%02d/file%05d.bin" % (i % 40, i), (2006, 12, 31, 12, 0, 0))
            info.external_attr = 0x20
            info.compress_type = zipfile.ZIP_DEFLATED
            z.writestr(info, data)
            total += len(data)
    return total


def best_of(runs, command, before=None):
    times = []
    for _ in range(runs):
        if before:
            before()
        started = time.perf_counter()
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        times.append(time.perf_counter() - started)
    return min(times)


def main():
    cvztool, raw = build()
    work = Path(tempfile.mkdtemp(prefix="vl2-bench-"))
    try:
        archive = work / "corpus.cvz"
        size = make_corpus(archive)
        out = work / "out"

        def fresh():
            shutil.rmtree(out, ignore_errors=True)
            out.mkdir()

        print("corpus: 3000 files, %.0f MB uncompressed, %.0f MB archive" % (size / 1e6, archive.stat().st_size / 1e6))
        ours = best_of(3, [str(cvztool), "extract", str(archive), str(out)], fresh)
        unzip = best_of(3, ["unzip", "-o", "-q", str(archive), "-d", str(out)], fresh)
        bsdtar = best_of(3, ["bsdtar", "-xf", str(archive), "-C", str(out)], fresh)
        floor = min(float(subprocess.run([str(raw), str(archive)], check=True, stdout=subprocess.PIPE,
                                         text=True).stdout.split()[0]) for _ in range(3))
        print("cvztool extract   %.3f s" % ours)
        print("unzip -o -q       %.3f s   cvztool / unzip  = %.2f" % (unzip, ours / unzip))
        print("bsdtar -xf        %.3f s   cvztool / bsdtar = %.2f" % (bsdtar, ours / bsdtar))
        print("raw inflate+crc   %.3f s   cvztool / raw    = %.2f" % (floor, ours / floor))

        big = work / "big.cvz"
        with zipfile.ZipFile(big, "w", zipfile.ZIP_DEFLATED, compresslevel=1) as z:
            with z.open(zipfile.ZipInfo("huge.bin", (2006, 12, 31, 12, 0, 0)), "w", force_zip64=False) as entry:
                block = os.urandom(1 << 16) * 16  # 1 MiB, partly repetitive
                for _ in range(1024):
                    entry.write(block)
        fresh()
        started = time.perf_counter()
        result = subprocess.run(["/usr/bin/time", "-f", "%M", str(cvztool), "extract", str(big), str(out)],
                                stderr=subprocess.PIPE, text=True, check=True)
        elapsed = time.perf_counter() - started
        peak_kb = int(result.stderr.strip().splitlines()[-1])
        print("1 GiB entry: extracted in %.1f s, peak RSS %.1f MB" % (elapsed, peak_kb / 1024))
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
