#!/usr/bin/env python3
"""Writes the fuzzer's starting corpus: small valid archives, and archives whose
entries are larger than the reader's 16384-byte read buffer (stored and deflated,
with and without data descriptors), each under the fuzzer's 65536-byte input limit."""
import io
import random
import struct
import sys
import zipfile
import zlib
from pathlib import Path

DOS_TIME = (12 << 11) | (34 << 5) | 28
DOS_DATE = ((2006 - 1980) << 9) | (12 << 5) | 31


def archive(entries, method=zipfile.ZIP_DEFLATED):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", method) as z:
        for name, data in entries:
            info = zipfile.ZipInfo(name, (2006, 12, 31, 12, 0, 0))
            info.external_attr = 0x10 if name.endswith("/") else 0x20
            info.compress_type = method
            z.writestr(info, data)
    return buffer.getvalue()


def built(entries):
    """Archives written field by field, for what zipfile does not write: data
    descriptors (with or without their signature). Each entry is (name, data,
    method, descriptor) with descriptor None, "signed" or "bare"."""
    out = b""
    directory = b""
    for name, data, method, descriptor in entries:
        name = name.encode("utf-8")
        body = data if method == 0 else zlib.compress(data, 6)[2:-4]
        crc = zlib.crc32(data)
        flag = (0x08 if descriptor else 0) | (0x800 if any(b > 0x7F for b in name) else 0)
        sizes = (0, 0, 0) if descriptor else (crc, len(body), len(data))
        offset = len(out)
        out += struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, flag, method, DOS_TIME, DOS_DATE, *sizes,
                           len(name), 0) + name + body
        if descriptor == "signed":
            out += struct.pack("<I", 0x08074B50)
        if descriptor:
            out += struct.pack("<III", crc, len(body), len(data))
        directory += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, flag, method, DOS_TIME, DOS_DATE, crc,
                                 len(body), len(data), len(name), 0, 0, 0, 0, 0x20, offset) + name
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries), len(directory), len(out), 0)
    return out + directory + end


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    rng = random.Random(13)
    noise = bytes(rng.getrandbits(8) for _ in range(20000))
    text = b" ".join(rng.choice([b"velmora", b"cubelet", b"skin", b"widget", b"core"]) for _ in range(40000))
    seeds = {
        "empty.zip": archive([]),
        "one.zip": archive([("a.txt", b"hello hello hello")]),
        "stored.zip": archive([("BIN/b.bin", bytes(range(256)))], zipfile.ZIP_STORED),
        "folders.zip": archive([("SKIN/", b""), ("SKIN/CORE/c.txt", b"x" * 500)]),
        "prefixed.zip": b"MZ" + b"\0" * 100 + archive([("d.txt", b"data")]),
        # Entries that take more than one 16384-byte read.
        "large-stored.zip": built([("BIN/large.bin", noise, 0, None), ("after.txt", b"after", 0, None)]),
        "large-deflated.zip": built([("BIN/noise.bin", noise, 8, None), ("after.txt", b"after", 8, None)]),
        "large-stored-descriptor.zip": built([("large.bin", noise, 0, "signed"), ("b.txt", b"b", 0, "bare")]),
        "large-deflated-descriptor.zip": built([("noise.bin", noise, 8, "bare"), ("text.txt", text, 8, "signed")]),
        "large-output.zip": built([("text.txt", text, 8, None), ("SKIN/", b"", 0, None)]),
        "names.zip": built([("설치/파일.txt", b"utf-8 name", 0, None), ("data/", b"", 0, None),
                            ("CONSOLE.txt", b"c", 8, "signed")]),
    }
    for name, data in seeds.items():
        assert len(data) <= 65536, name
        (out / name).write_bytes(data)


if __name__ == "__main__":
    main()
