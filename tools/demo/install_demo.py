#!/usr/bin/env python3
"""A real install of Velmora 2.0 under Wine: a local vendor server on 127.0.0.1
serves the update manifest and a package holding the stand-in suite; InitVL2.exe is
started with nothing installed and driven like a person would (tick the terms box,
OK, wait, Finish) on a virtual screen. Prints each step and what the install left;
screenshots go to build/demo/, and the Wine prefix stays in build/demo/prefix."""
import shutil
import sys
import time
import unittest
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "harness"))
import setup_flow  # noqa: E402
import vendor_server  # noqa: E402
import winenv  # noqa: E402

BUILD = ROOT / "build" / "win32"
OUT = ROOT / "build" / "demo"


class Demo(unittest.TestCase):
    """Carries what the setup helpers expect of a test: a prefix, a display, a server."""

    def __init__(self, prefix, display, server):
        super().__init__()
        self.prefix, self.display, self.server = prefix, display, server

    def runTest(self):
        pass

    def installer(self):
        downloads = self.prefix.drive_c / "Downloads"
        downloads.mkdir(exist_ok=True)
        (downloads / "InitVL2.exe").write_bytes((BUILD / "InitVL2.exe").read_bytes())
        return "C:\\Downloads\\InitVL2.exe"


def step(text):
    print("demo: " + text, flush=True)


def main():
    shutil.rmtree(OUT, ignore_errors=True)
    OUT.mkdir(parents=True)
    template = BUILD / "wine-template"
    step("preparing a 32-bit Wine prefix with code page 949")
    winenv.make_template(template)
    with winenv.Display() as display, vendor_server.VendorServer() as server:
        prefix = winenv.Prefix(template, display=display.name, keep=True)
        try:
            demo = Demo(prefix, display, server)
            run = setup_flow.SetupRun(demo, version="2.01", package_bytes=setup_flow.package(25),
                                      pieces=10, piece_delay=0.2)
            step("vendor server on 127.0.0.1:18480 serves version 2.01 (25 entries, the stand-in suite)")
            step("starting InitVL2.exe with nothing installed")
            run.start()
            run.frame().save(OUT / "1-terms.png")
            step("terms page shown; ticking the acceptance box and pressing OK")
            run.click(setup_flow.BOX)
            run.frame().save(OUT / "2-ticked.png")
            run.click(setup_flow.OK, settle=1.5)
            run.frame().save(OUT / "3-progress.png")
            step("downloading and unpacking...")
            if not run.wait_for_page(setup_flow.is_completion_page, 120):
                step("the completion page did not appear; see build/demo/")
                display.screenshot(OUT / "failed.png")
                return 1
            run.frame().save(OUT / "4-completion.png")
            step("completion page shown; pressing Finish")
            run.click(setup_flow.FINISH, settle=0.2)
            code = run.wait_ended(60)
            time.sleep(2)
            display.screenshot(OUT / "5-suite-started.png")
            step("InitVL2.exe ended with code %d" % code)
            step("requests the vendor servers saw:")
            for request in server.requests:
                print("    " + request)
            registry = prefix.registry()
            step("registry:")
            for key in ("hkcu\\software\\corvalen\\velmora2\\info", "hkcu\\software\\microsoft\\windows\\currentversion\\run",
                        "hklm\\software\\microsoft\\windows\\currentversion\\uninstall\\velmora2"):
                print("    [%s]" % key)
                for name, value in sorted(registry.get(key, {}).items()):
                    if name in ("", "DisplayName", "DisplayIcon", "UninstallString", "URLInfoAbout", "VERSION",
                                "INSTALLPATH", "Velmora2"):
                        print("      %s = %s" % (name or "(default)", value))
            step("shortcuts:")
            for link in sorted(prefix.user().rglob("Velmora*.lnk")):
                print("    " + str(link.relative_to(prefix.drive_c)))
            step("installed files:")
            corvalen = prefix.program_files() / "Corvalen"
            for path in sorted(corvalen.rglob("*")):
                if path.is_file() and "SKIN" not in path.parts:
                    print("    " + str(path.relative_to(prefix.drive_c)))
            log = corvalen / "Velmora2" / "2.01" / "BIN" / "Cubelet.log"
            step("the stand-in suite was started as: " + (log.read_text(encoding="cp949").strip()
                                                          if log.exists() else "(not started)"))
            step("screenshots in %s, the Wine prefix in %s" % (OUT, OUT / "prefix"))
            return 0 if code == 0 and log.exists() else 1
        finally:
            prefix.kill()
            shutil.move(str(prefix.path), str(OUT / "prefix"))
            shutil.rmtree(prefix.root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
