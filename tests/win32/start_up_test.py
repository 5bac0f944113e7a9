import os
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
import vl2test  # noqa: E402
from vl2test import WineTestCase, build_file  # noqa: E402


class Executables(unittest.TestCase):
    def test_programs_are_32_bit_pe_images(self):
        for name in ("InitVL2.exe", "Cubelet.exe"):
            self.assertEqual(vl2test.pe_machine(build_file(name)), 0x14C, name)


class OldWindowsRefused(WineTestCase):
    needs_display = True

    def test_windows_98_gets_the_install_notice_and_nothing_is_written(self):
        self.prefix.set_windows_version("win98")
        process = self.prefix.start([self.installer()])
        try:
            box = self.display.wait_window("설치 안내", timeout=40)
            self.assertIsNotNone(box, "no message box with the caption 설치 안내")
            self.display.screenshot(self.artefact("png"))
            self.display.xdotool("windowactivate", "--sync", box, check=False)
            self.display.xdotool("key", "--window", box, "Return")
            process.wait(timeout=30)
        finally:
            if process.poll() is None:
                process.kill()
        self.assertFalse((self.prefix.program_files() / "Corvalen").exists())


class NothingInstalledOffline(WineTestCase):
    needs_display = True

    def test_ends_silently_without_a_window_or_a_folder(self):
        process = self.prefix.start([self.installer()])
        windows = set()
        deadline = time.time() + 60
        while process.poll() is None and time.time() < deadline:
            windows.update(self.display.find_windows(name="."))
            time.sleep(0.2)
        self.assertIsNotNone(process.poll(), "the installer did not end")
        self.assertEqual(process.returncode, 0)
        self.assertEqual(windows, set(), "a window was shown")
        self.assertFalse((self.prefix.program_files() / "Corvalen").exists())


if __name__ == "__main__":
    unittest.main()
