"""The suite's whole life for an ordinary user of current Windows: Wine run as an
unprivileged account whose Program Files is read-only to it. A fresh install through
the window, three updates started from a copy of the shortcut taken at install, and
a removal must all succeed, write nothing outside the user's profile and HKCU, and
leave nothing of the product behind."""
import os
import shutil
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
import winenv  # noqa: E402
from prefix_changes import changes, file_listing, outside, registry_listing  # noqa: E402
from setup_flow import REPORT_PATH, SetupRun  # noqa: E402
from vl2test import ARTEFACTS, SUITE_TOKEN, ServerTestCase, build_file  # noqa: E402
from winenv import wait_until  # noqa: E402

@unittest.skipIf(winenv.ordinary_user() is None, "needs root to run Wine as an unprivileged account")
class OrdinaryUser(ServerTestCase):
    def setUp(self):
        from vendor_server import VendorServer
        self.display = winenv.Display()
        self.prefix = winenv.OrdinaryUserPrefix(display=self.display.name)
        self.server = VendorServer().__enter__()

    def profile(self):
        return "users/%s/" % self.prefix.account.pw_name

    def product(self):
        return self.prefix.user() / "AppData" / "Local" / "Programs" / "Corvalen"

    def windows_path(self, path):
        return "C:\\" + str(path.relative_to(self.prefix.drive_c)).replace("/", "\\")

    def started_suites(self, version):
        log = self.product() / "Velmora2" / version / "BIN" / "Cubelet.log"
        return log.read_text(encoding="cp949", errors="replace").count(SUITE_TOKEN) if log.exists() else 0

    def assert_only_own_places_changed(self, files_before, registry_before, step):
        """Every file written is in the user's profile, every registry value in HKCU."""
        file_changes = changes(files_before, file_listing(self.prefix))
        registry_changes = changes(registry_before, registry_listing(self.prefix))
        with open(ARTEFACTS / ("ordinary-user-%s.txt" % step), "w", encoding="utf-8") as out:
            for kind, entry in file_changes + registry_changes:
                out.write("%s\t%s\n" % (kind, entry))
        self.assertEqual(outside(file_changes, registry_changes, self.profile()), [],
                         "changed outside the profile and HKCU after the %s" % step)
        return file_changes, registry_changes

    def installer(self):
        """The installer where a browser saves it: the user's own Downloads."""
        downloads = self.prefix.user() / "Downloads"
        downloads.mkdir(exist_ok=True)
        exe = downloads / "InitVL2.exe"
        exe.write_bytes(build_file("InitVL2.exe").read_bytes())
        self.prefix.give(exe)
        return self.windows_path(exe)

    def start_shortcut(self, link):
        """As Explorer does: the shell opens the link, which starts its target."""
        self.prefix.start(["start", self.windows_path(link)])

    def answer(self, caption, key="Return", timeout=60):
        box = self.display.wait_window(caption, timeout=timeout)
        if box is None:
            self.display.screenshot(self.artefact("no-box.png"))
            self.fail("no box %s; windows: %s" % (caption, [self.display.window_name(w)
                                                            for w in self.display.find_windows()]))
        self.display.press(box, key)
        wait_until(lambda: box not in self.display.find_windows(only_visible=False), 10)

    def test_install_updates_and_removal_need_no_administrator_and_leave_nothing(self):
        ARTEFACTS.mkdir(parents=True, exist_ok=True)
        files_before = file_listing(self.prefix)
        registry_before = registry_listing(self.prefix)

        run = SetupRun(self, version="2.01").start()
        self.assertEqual(run.finish_fresh_install(), 0)
        self.assertTrue(wait_until(lambda: self.started_suites("2.01"), 30), "the installed suite did not start")
        self.display.screenshot(self.artefact("installed.png"))
        start_menu = self.prefix.start_menu_programs() / "Corvalen" / "Velmora2.lnk"
        copy = self.prefix.desktop() / "copied Velmora2.lnk"
        shutil.copyfile(start_menu, copy)
        self.prefix.give(copy)

        # Each update is started from the copy, as a user who pinned it would; the
        # suite of the version before is running meanwhile.
        for reports, version in enumerate(("2.02", "2.03", "2.04"), start=2):
            SetupRun(self, version=version)
            self.start_shortcut(copy)
            self.assertTrue(wait_until(lambda: self.started_suites(version), 120),
                            "the update to %s did not start its suite" % version)
            # Its report is the update's last step.
            self.assertTrue(wait_until(lambda: len(self.server.requests_for(REPORT_PATH)) >= reports, 30))
            # The installer the launcher started ends after its pruning.
            self.assertEqual(self.prefix.run([build_file("tests/wait_for_exit.exe"), "InitVL2.exe", "60"],
                                             timeout=90).returncode, 0)
        versions = sorted(p.name for p in (self.product() / "Velmora2").iterdir()
                          if p.is_dir() and p.name.startswith("2"))
        # The folders the copy's first target lay in are gone: it names none of them.
        self.assertNotIn("2.01", versions)
        self.prefix.kill()
        self.start_shortcut(copy)
        self.assertTrue(wait_until(lambda: self.started_suites("2.04") >= 2, 60),
                        "the copied shortcut did not start the current suite")
        # The copy is the user's own file: the removal has no business with it.
        copy.unlink()

        file_changes, registry_changes = self.assert_only_own_places_changed(files_before, registry_before,
                                                                            "updates")
        self.assertIn(("hkcu\\software\\microsoft\\windows\\currentversion\\uninstall\\velmora2", "DisplayVersion"),
                      dict((entry, kind) for kind, entry in registry_changes))
        self.assertFalse(any("Program Files" in path for _, path in file_changes))

        self.prefix.start([build_file("tests/run_uninstall_entry.exe")])
        self.answer("Velmora2삭제")
        self.answer("알림")
        if not self.prefix.wait_idle(60):
            # What kept running: the next failure says which program did not end.
            listed = self.prefix.run([build_file("tests/wait_for_exit.exe"), "--list"], timeout=60)
            self.fail("the removal's programs did not end: %s" % listed.stdout.decode("cp949", errors="replace"))
        file_changes, registry_changes = self.assert_only_own_places_changed(files_before, registry_before,
                                                                            "removal")
        left = [entry for _, entry in file_changes + registry_changes
                if any(word in str(entry).lower() for word in ("corvalen", "velmora", "vl2del"))]
        self.assertEqual(left, [], "the removal left these")

    def test_an_install_under_program_files_keeps_starting_and_its_update_moves_per_user(self):
        # What an earlier installer left, run by an administrator: root's files.
        self.place_suite("2.00")
        old_product = "C:\\Program Files\\Corvalen\\Velmora2"
        self.prefix.add_registry("user", "Software\\CORVALEN\\VELMORA2\\INFO",
                                 {"VERSION": "2.00", "INSTALLPATH": old_product})
        self.prefix.add_registry("system", "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velmora2",
                                 {"UninstallString": old_product[:-9] + "\\VL2Del.exe"})
        SetupRun(self, version="2.01")
        self.prefix.start([old_product + "\\2.00\\BIN\\InitVL2.exe"])
        self.assertTrue(wait_until(lambda: self.started_suites("2.01"), 120), "the update did not start 2.01")
        self.assertEqual(self.prefix.run([build_file("tests/wait_for_exit.exe"), "InitVL2.exe", "60"],
                                         timeout=90).returncode, 0)
        registry = self.prefix.registry()
        root = "C:\\users\\%s\\AppData\\Local\\Programs" % self.prefix.account.pw_name
        info = registry["hkcu\\software\\corvalen\\velmora2\\info"]
        self.assertEqual((info["VERSION"], info["INSTALLPATH"]), ("2.01", root + "\\Corvalen\\Velmora2"))
        self.assertEqual(registry["hkcu\\software\\microsoft\\windows\\currentversion\\run"]["Velmora2"],
                         '"%s\\Corvalen\\Velmora2\\Velmora2.exe"' % root)
        entry = "software\\microsoft\\windows\\currentversion\\uninstall\\velmora2"
        self.assertEqual(registry["hkcu\\" + entry]["UninstallString"], '"%s\\Corvalen\\VL2Del.exe"' % root)
        # The old place cannot be written by this user: it stays as it was, for an
        # administrator's removal, and the new place is whole.
        self.assertIn("UninstallString", registry["hklm\\" + entry])
        self.assertTrue((self.version_bin("2.00") / "Cubelet.exe").exists())
        self.assertTrue((self.product() / "Velmora2" / "2.01" / "BIN" / "InitVL2.exe").exists())


if __name__ == "__main__":
    unittest.main()
