#!/usr/bin/env python3
"""Writes a few small valid archives as the fuzzer's starting corpus."""
import io
import sys
import zipfile
from pathlib import Path


def archive(entries, method=zipfile.ZIP_DEFLATED):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", method) as z:
        for name, data in entries:
            info = zipfile.ZipInfo(name, (2006, 12, 31, 12, 0, 0))
            info.external_attr = 0x10 if name.endswith("/") else 0x20
            info.compress_type = method
            z.writestr(info, data)
    return buffer.getvalue()


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    (out / "empty.zip").write_bytes(archive([]))
    (out / "one.zip").write_bytes(archive([("a.txt", b"hello hello hello")]))
    (out / "stored.zip").write_bytes(archive([("BIN/b.bin", bytes(range(256)))], zipfile.ZIP_STORED))
    (out / "folders.zip").write_bytes(archive([("SKIN/", b""), ("SKIN/CORE/c.txt", b"x" * 500)]))
    (out / "prefixed.zip").write_bytes(b"MZ" + b"\0" * 100 + archive([("d.txt", b"data")]))


if __name__ == "__main__":
    main()
