#!/usr/bin/env python3
"""A real run of InitVL2.exe under Wine, from a local vendor server on 127.0.0.1,
with the stand-in suite as the package. Prints each step and what is left on the
(virtual) machine; screenshots go to build/demo/."""
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "harness"))
import vendor_server  # noqa: E402
import winenv  # noqa: E402

BUILD = ROOT / "build" / "win32"
OUT = ROOT / "build" / "demo"


def main():
    OUT.mkdir(parents=True, exist_ok=True)
    template = BUILD / "wine-template"
    print("demo: preparing a Wine prefix (the first time takes a few seconds)")
    winenv.make_template(template)
    with winenv.Display() as display, winenv.Prefix(template, display=display.name) as prefix, \
            vendor_server.VendorServer() as server:
        downloads = prefix.drive_c / "Downloads"
        downloads.mkdir()
        (downloads / "InitVL2.exe").write_bytes((BUILD / "InitVL2.exe").read_bytes())
        print("demo: starting InitVL2.exe with nothing installed")
        process = prefix.start(["C:\\Downloads\\InitVL2.exe"])
        deadline = time.time() + 60
        while process.poll() is None and time.time() < deadline:
            time.sleep(0.5)
        display.screenshot(OUT / "after-start.png")
        print("demo: InitVL2.exe ended with code", process.poll())
        print("demo: requests the vendor server saw:", server.requests or "none")
        tree = sorted(str(p.relative_to(prefix.program_files()))
                      for p in (prefix.program_files() / "Corvalen").rglob("*")) \
            if (prefix.program_files() / "Corvalen").exists() else []
        print("demo: files under Program Files\\Corvalen:", tree or "none")
    return 0


if __name__ == "__main__":
    sys.exit(main())
