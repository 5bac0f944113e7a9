"""VL2Del.exe under Wine: confirmation answered by real input, the quit requests to
the running suite, every removal, the removal report, and what must survive."""
import os
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
import setup_flow  # noqa: E402
from vendor_server import Route  # noqa: E402
from winenv import wait_until  # noqa: E402
from vl2test import PROGRAM_FILES, ServerTestCase, build_file  # noqa: E402

CAPTION = "Velmora2삭제"
UNINSTALL_KEY = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velmora2"
RUN_KEY = "hkcu\\software\\microsoft\\windows\\currentversion\\run"
# What the install sequence registers: quoted, since the path holds a blank.
UNINSTALL_COMMAND = '"%s\\Corvalen\\VL2Del.exe"' % PROGRAM_FILES


class Uninstaller(ServerTestCase):
    def setUp(self):
        super().setUp()
        self.uninstaller = None
        self.server.serve(setup_flow.REPORT_PATH, Route(b"OK", content_type="text/plain"))
        self.product = self.prefix.program_files() / "Corvalen" / "Velmora2"
        self.install(PROGRAM_FILES + "\\Corvalen\\Velmora2")

    def install(self, install_path):
        """The state an install leaves, laid out by hand."""
        bin_folder = self.place_suite("2.01")
        (bin_folder / "readonly.dll").write_bytes(b"r")
        os.chmod(bin_folder / "readonly.dll", 0o444)
        hidden = self.product / "2.01" / "SKIN" / "CORE"
        hidden.mkdir(parents=True)
        (hidden / "skin.png").write_bytes(b"png")
        for shared in ("IMAGE", "MEMO", "MYLINK"):
            (self.product / shared).mkdir(parents=True, exist_ok=True)
        (self.product.parent / "VL2Del.exe").write_bytes(build_file("VL2Del.exe").read_bytes())
        self.prefix.add_registry("user", "Software\\CORVALEN\\VELMORA2\\INFO",
                                 {"INSTALLPATH": install_path, "VERSION": "2.01", "UPDATEDATE": "20061231"})
        self.prefix.add_registry("user", "Software\\CORVALEN\\VELMORA2\\CORE", {"VERSION": "2.01"})
        self.prefix.add_registry("user", "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                                 {"Velmora2": PROGRAM_FILES + "\\Corvalen\\Velmora2\\2.01\\BIN\\InitVL2.exe"})
        self.prefix.add_registry("machine", UNINSTALL_KEY, {"DisplayName": "Velmora 2.0 제거",
                                                            "UninstallString": UNINSTALL_COMMAND})
        self.links = [self.prefix.start_menu_programs() / "Corvalen" / "Velmora2.lnk",
                      self.prefix.desktop() / "Velmora2.lnk",
                      self.prefix.quick_launch() / "Velmora.LNK",
                      self.prefix.quick_launch() / "Velmora2.lnk"]
        for link in self.links:
            link.parent.mkdir(parents=True, exist_ok=True)
            link.write_bytes(b"shortcut")

    def hide_folder(self, folder):
        # Wine keeps the hidden attribute in the folder's extended attributes.
        result = self.prefix.run(["attrib", "+h", "C:\\" + str(folder.relative_to(self.prefix.drive_c))
                                  .replace("/", "\\")])
        self.assertEqual(result.returncode, 0)

    def start_suite(self, *arguments):
        self.prefix.start([PROGRAM_FILES + "\\Corvalen\\Velmora2\\2.01\\BIN\\Cubelet.exe"] + list(arguments))
        self.assertTrue(self.wait_for_suite_log("2.01"))
        time.sleep(1)

    def answer(self, caption, key, timeout=30):
        box = self.display.wait_window(caption, timeout=timeout)
        if box is None:
            # What there was instead, and whether the uninstaller was started at all
            # (the entry's command ends with 255 when it could not start it).
            self.display.screenshot(self.artefact("no-box.png"))
            started = self.uninstaller.poll() if self.uninstaller else None
            self.fail("no message box %s; the uninstall command %s; windows: %s" % (
                caption, "runs" if started is None else "ended with %d" % started,
                [self.display.window_name(w) for w in self.display.find_windows()]))
        self.display.press(box, key)
        # The same caption may come back in a new box: wait for this one to go.
        wait_until(lambda: box not in self.display.find_windows(only_visible=False), 10)
        return box

    def run_uninstaller(self):
        """Started from the uninstall entry's command, as Windows starts it."""
        self.uninstaller = self.prefix.start([build_file("tests/run_uninstall_entry.exe")])
        return self.uninstaller

    def assert_everything_removed(self, registry):
        self.assertFalse([k for k in registry if k.startswith("hkcu\\software\\corvalen\\velmora2")])
        self.assertNotIn(UNINSTALL_KEY.lower().replace("software", "hklm\\software", 1), registry)
        self.assertNotIn("Velmora2", registry.get(RUN_KEY, {}))
        for link in self.links:
            self.assertFalse(link.exists(), link)
        self.assertTrue((self.prefix.start_menu_programs() / "Corvalen").is_dir(), "the start menu folder stays")
        self.assertTrue((self.product.parent / "VL2Del.exe").exists(), "it does not delete itself")

    def assert_nothing_removed(self):
        registry = self.prefix.registry()
        self.assertEqual(registry["hkcu\\software\\corvalen\\velmora2\\info"]["VERSION"], "2.01")
        self.assertIn("Velmora2", registry[RUN_KEY])
        self.assertTrue((self.product / "2.01" / "BIN" / "Cubelet.exe").exists())
        for link in self.links:
            self.assertTrue(link.exists(), link)
        self.assertEqual(self.server.requests_for(setup_flow.REPORT_PATH), [])

    def test_confirmed_removal_quits_the_suite_removes_everything_and_reports(self):
        self.hide_folder(self.product / "2.01" / "SKIN" / "CORE")
        self.start_suite()
        process = self.run_uninstaller()
        self.answer(CAPTION, "Return")
        started = time.time()
        done = self.display.wait_window("알림", timeout=60)
        self.assertIsNotNone(done, "no completion message")
        # One quit request, and no more waiting once the suite's process has ended.
        self.assertLess(time.time() - started, 6)
        self.display.screenshot(self.artefact("png"))
        self.answer("알림", "Return")
        process.wait(timeout=30)
        self.assertEqual(self.display.find_windows(name="Velmora 2.0"), [], "the suite is still running")
        registry = self.prefix.registry()
        self.assert_everything_removed(registry)
        self.assertFalse(self.product.exists(), "the product folder (read-only file, hidden folder) stayed")
        self.assertEqual(self.server.requests_for(setup_flow.REPORT_PATH)[0].split("jaehuid=")[1], "VL2BDEL2.01")

    def test_a_suite_that_never_quits_leaves_everything_in_place(self):
        self.start_suite("--stubborn")
        process = self.run_uninstaller()
        self.answer(CAPTION, "Return")
        self.answer(CAPTION, "Return", timeout=30)  # quit the program first, then remove it
        process.wait(timeout=30)
        self.assertEqual(self.suite_log("2.01").count("quit-request ignored"), 1)
        self.assert_nothing_removed()

    def test_cancel_at_the_confirmation_removes_nothing(self):
        process = self.run_uninstaller()
        self.answer(CAPTION, "Escape")
        process.wait(timeout=30)
        self.assert_nothing_removed()

    def test_a_junction_inside_the_tree_is_not_followed(self):
        outside = self.prefix.drive_c / "user data"
        outside.mkdir()
        (outside / "precious.txt").write_text("keep me")
        os.symlink(outside, self.product / "2.01" / "linked")
        process = self.run_uninstaller()
        self.answer(CAPTION, "Return")
        self.answer("알림", "Return", timeout=60)
        process.wait(timeout=30)
        self.assertEqual((outside / "precious.txt").read_text(), "keep me")
        self.assertFalse((self.product / "2.01" / "BIN").exists())

    def test_a_foreign_install_path_is_left_alone_and_the_rest_removed(self):
        mine = self.prefix.drive_c / "users" / "Documents of mine"
        mine.mkdir(parents=True)
        (mine / "letter.txt").write_text("mine")
        self.prefix.add_registry("user", "Software\\CORVALEN\\VELMORA2\\INFO", {"INSTALLPATH": "C:\\users\\Documents of mine"})
        process = self.run_uninstaller()
        self.answer(CAPTION, "Return")
        self.answer("알림", "Return", timeout=60)
        process.wait(timeout=30)
        self.assertEqual((mine / "letter.txt").read_text(), "mine")
        self.assert_everything_removed(self.prefix.registry())


if __name__ == "__main__":
    unittest.main()
