#!/usr/bin/env python3
"""Writes the manifest fuzzer's starting corpus: manifests signed with the test key
(by cvztool), damaged ones, and raw public keys that the crypto library cannot take.

usage: make_manifest_seeds.py FOLDER CVZTOOL KEYFILE"""
import subprocess
import sys
import tempfile
from pathlib import Path


def main():
    out, tool, key = Path(sys.argv[1]), sys.argv[2], sys.argv[3]
    out.mkdir(parents=True, exist_ok=True)
    with tempfile.TemporaryDirectory() as scratch:
        package = Path(scratch) / "2.01.cvz"
        package.write_bytes(b"PK\x05\x06" + b"\0" * 18)
        lines = subprocess.run([tool, "sign", key, str(package), "2.01"], stdout=subprocess.PIPE, check=True,
                               text=True).stdout
    head = "version=2.01\r\ndate=20061231\r\ncomment=new\r\ndownload=http://127.0.0.1/2.01.cvz\r\n"
    sha_line, signature_line = lines.splitlines()
    seeds = {
        "signed.inf": head + lines,
        "signed-crlf-reversed.inf": head + signature_line + "\r\n" + sha_line + "\r\n",
        "unsigned.inf": head,
        "twice.inf": head + lines + "sha256=00\nsignature=AAAA\n",
        "upper-digest.inf": head + sha_line.upper().replace("SHA256=", "sha256=") + "\n" + signature_line + "\n",
        "replayed.inf": head.replace("2.01", "2.02") + lines,
        "unpadded.inf": head + sha_line + "\n" + signature_line.rstrip("=") + "\n",
        "fallback.inf": head.replace("2.01", "2.02") + "rollout=5\nfallback-version=2.01\n"
                        "fallback-download=http://127.0.0.1/2.01.cvz\nfallback-" + sha_line + "\nfallback-" +
                        signature_line + "\n",
    }
    for name, text in seeds.items():
        (out / name).write_text(text)
    keys = {
        "key-zero": bytes(32),
        "key-one": bytes([1]) + bytes(31),
        "key-minus-one": bytes.fromhex("ecffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f"),
        "key-order-8": bytes.fromhex("c7176a703d4dd84fba3c0b760d10670f2a2053fa2c39ccc64ec7fd7792ac037a"),
        "key-ff": b"\xff" * 32,
    }
    for name, key_bytes in keys.items():
        (out / name).write_bytes(key_bytes + b"version=2.01\n" + lines.encode())


if __name__ == "__main__":
    main()
