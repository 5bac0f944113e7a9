"""VL2Del.exe under Wine: its start from a copy in TEMP, confirmation answered by real
input, the quit requests to the running suite, every removal (the uninstaller itself
included), the removal report, what must survive, and the box naming what stayed."""
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
LEFT_HEADING = "다음 항목을 삭제하지 못했습니다:"
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
        # The user's entry, and the machine's that an earlier install left.
        for hive in ("user", "machine"):
            self.prefix.add_registry(hive, UNINSTALL_KEY, {"DisplayName": "Velmora 2.0 제거",
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

    def temp_copies(self):
        return list((self.prefix.user() / "Temp").glob("VL2Del-*.exe"))

    def run_uninstaller(self):
        """Started from the uninstall entry's command, as Windows starts it: the
        command ends at once, leaving the work to the uninstaller's copy in TEMP."""
        self.uninstaller = self.prefix.start([build_file("tests/run_uninstall_entry.exe")])
        self.assertEqual(self.uninstaller.wait(timeout=30), 0)
        self.assertTrue(wait_until(self.temp_copies, 10), "no copy of the uninstaller in TEMP")
        return self.uninstaller

    def wait_for_the_copy_to_end(self):
        # Its file goes with its last handle: the copy has then ended.
        self.assertTrue(wait_until(lambda: not self.temp_copies(), 30), "the copy in TEMP stays")

    def box_text(self, caption):
        shown = self.prefix.run([build_file("tests/box_text.exe"), caption])
        self.assertEqual(shown.returncode, 0, "no box %s to read" % caption)
        return shown.stdout.decode("cp949").replace("\r\n", "\n")

    def assert_registry_and_shortcuts_removed(self, registry):
        self.assertFalse([k for k in registry if k.startswith("hkcu\\software\\corvalen")])
        self.assertNotIn(UNINSTALL_KEY.lower().replace("software", "hklm\\software", 1), registry)
        self.assertNotIn(UNINSTALL_KEY.lower().replace("software", "hkcu\\software", 1), registry)
        self.assertNotIn("Velmora2", registry.get(RUN_KEY, {}))
        for link in self.links:
            self.assertFalse(link.exists(), link)
        self.assertFalse((self.prefix.start_menu_programs() / "Corvalen").exists(), "the start menu folder stays")

    def assert_everything_removed(self, registry):
        self.assert_registry_and_shortcuts_removed(registry)
        self.assertFalse(self.product.parent.exists(), "the Corvalen folder (the uninstaller itself) stays")
        self.assertEqual(self.temp_copies(), [])

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
        self.run_uninstaller()
        self.answer(CAPTION, "Return")
        started = time.time()
        done = self.display.wait_window("알림", timeout=60)
        self.assertIsNotNone(done, "no completion message")
        # One quit request, and no more waiting once the suite's process has ended.
        self.assertLess(time.time() - started, 6)
        self.display.screenshot(self.artefact("png"))
        self.assertEqual(self.box_text("알림"), "삭제 완료!")
        self.answer("알림", "Return")
        self.wait_for_the_copy_to_end()
        self.assertEqual(self.display.find_windows(name="Velmora 2.0"), [], "the suite is still running")
        registry = self.prefix.registry()
        self.assert_everything_removed(registry)
        self.assertEqual(self.server.requests_for(setup_flow.REPORT_PATH)[0].split("jaehuid=")[1], "VL2BDEL2.01")

    def test_a_suite_that_never_quits_leaves_everything_in_place(self):
        self.start_suite("--stubborn")
        self.run_uninstaller()
        self.answer(CAPTION, "Return")
        self.answer(CAPTION, "Return", timeout=30)  # quit the program first, then remove it
        self.wait_for_the_copy_to_end()
        self.assertEqual(self.suite_log("2.01").count("quit-request ignored"), 1)
        self.assert_nothing_removed()

    def test_cancel_at_the_confirmation_removes_nothing(self):
        self.run_uninstaller()
        self.answer(CAPTION, "Escape")
        self.wait_for_the_copy_to_end()
        self.assert_nothing_removed()
        self.assertTrue((self.product.parent / "VL2Del.exe").exists())

    def test_a_junction_inside_the_tree_is_not_followed(self):
        outside = self.prefix.drive_c / "user data"
        outside.mkdir()
        (outside / "precious.txt").write_text("keep me")
        os.symlink(outside, self.product / "2.01" / "linked")
        self.run_uninstaller()
        self.answer(CAPTION, "Return")
        self.answer("알림", "Return", timeout=60)
        self.wait_for_the_copy_to_end()
        self.assertEqual((outside / "precious.txt").read_text(), "keep me")
        self.assertFalse((self.product / "2.01" / "BIN").exists())

    def test_a_foreign_install_path_and_a_foreign_program_path_are_left_alone_and_the_rest_removed(self):
        mine = self.prefix.drive_c / "users" / "Documents of mine"
        mine.mkdir(parents=True)
        (mine / "letter.txt").write_text("mine")
        (mine / "tool.exe").write_bytes(b"MZ mine")
        self.prefix.add_registry("user", "Software\\CORVALEN\\VELMORA2\\INFO", {"INSTALLPATH": "C:\\users\\Documents of mine"})
        # A copy told a path that is not an uninstaller of ours, as if the original were there.
        copy = self.prefix.user() / "Temp" / "VL2Del-1.exe"
        copy.parent.mkdir(parents=True, exist_ok=True)
        copy.write_bytes(build_file("VL2Del.exe").read_bytes())
        process = self.prefix.start([copy, "C:\\users\\Documents of mine\\tool.exe"])
        self.answer(CAPTION, "Return")
        self.answer("알림", "Return", timeout=60)
        process.wait(timeout=30)
        self.assertEqual((mine / "letter.txt").read_text(), "mine")
        self.assertEqual((mine / "tool.exe").read_bytes(), b"MZ mine")
        self.assertTrue((self.product / "2.01" / "BIN" / "Cubelet.exe").exists(), "a folder INSTALLPATH does not name")
        self.assert_registry_and_shortcuts_removed(self.prefix.registry())

    def test_a_held_file_is_named_in_the_last_box_and_everything_else_goes(self):
        held = self.product / "2.01" / "BIN" / "Cubelet.exe"
        held_path = PROGRAM_FILES + "\\Corvalen\\Velmora2\\2.01\\BIN\\Cubelet.exe"
        holder = self.prefix.start([build_file("tests/hold_file.exe"), held_path, "120"])
        try:
            self.assertEqual(holder.stdout.readline().strip(), b"held")
            self.run_uninstaller()
            self.answer(CAPTION, "Return")
            # The held file is tried again for about twenty seconds before it is named.
            self.assertIsNotNone(self.display.wait_window("알림", timeout=60), "no last box")
            text = self.box_text("알림")
            self.display.screenshot(self.artefact("png"))
            self.assertEqual(text.split("\n"), [LEFT_HEADING, held_path])
            self.answer("알림", "Return")
            self.wait_for_the_copy_to_end()
        finally:
            holder.kill()
        self.assertTrue(held.exists())
        self.assertEqual([p.name for p in self.product.rglob("*") if p.is_file()], ["Cubelet.exe"])
        self.assertFalse((self.product.parent / "VL2Del.exe").exists())
        self.assert_registry_and_shortcuts_removed(self.prefix.registry())


if __name__ == "__main__":
    unittest.main()
