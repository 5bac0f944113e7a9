"""The whole install under Wine: a fresh install driven by real input to Finish, and
updates with no input, each checked item by item against what a user's machine
should be left with."""
import os
import re
import subprocess
import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
import setup_flow  # noqa: E402
from setup_flow import SetupRun  # noqa: E402
from vendor_server import BASE_URL  # noqa: E402
from vl2test import PROGRAM_FILES, SUITE_TOKEN, ServerTestCase, build_file  # noqa: E402

UNINSTALL_KEY = "hkcu\\software\\microsoft\\windows\\currentversion\\uninstall\\velmora2"
RUN_KEY = "hkcu\\software\\microsoft\\windows\\currentversion\\run"
INFO_KEY = "hkcu\\software\\corvalen\\velmora2\\info"


def stable_launcher(root):
    """What every shortcut and the autostart value start, whatever the version."""
    return "%s\\Corvalen\\Velmora2\\Velmora2.exe" % root


def first_physical_address():
    """The first non-loopback interface's address, from the kernel, as the report
    writes it."""
    interfaces = []
    for entry in Path("/sys/class/net").iterdir():
        if (entry / "type").read_text().strip() == "772":  # loopback
            continue
        address = (entry / "address").read_text().strip()
        if address and address != "00:00:00:00:00:00":
            interfaces.append((int((entry / "ifindex").read_text()), address))
    return min(interfaces)[1].upper().replace(":", "-") if interfaces else ""


def machine_ipv4_addresses():
    out = subprocess.run(["ip", "-4", "-o", "addr", "show"], stdout=subprocess.PIPE, text=True).stdout
    return set(re.findall(r"inet (\d+\.\d+\.\d+\.\d+)/", out))


class InstallCase(ServerTestCase):

    def read_shortcut(self, path):
        windows_path = "C:\\" + str(path.relative_to(self.prefix.drive_c)).replace("/", "\\")
        try:
            result = self.prefix.run([build_file("tests/lnk_reader.exe"), windows_path], timeout=60)
        except subprocess.TimeoutExpired:
            # Wine's shell-link object now and then never returns when a prefix's
            # services are still starting (a loaded machine, a server just restarted);
            # the reader, not the link, is at fault, and it is asked once more.
            result = self.prefix.run([build_file("tests/lnk_reader.exe"), windows_path], timeout=60)
        self.assertEqual(result.returncode, 0, "unreadable shortcut %s" % path)
        target, description = result.stdout.decode("cp949").rstrip("\r\n").split("\t")
        return target, description

    def reports(self):
        return [r for r in self.server.requests if r.startswith(setup_flow.REPORT_PATH)]

    def install_record(self, version):
        self.prefix.add_registry("user", "Software\\CORVALEN\\VELMORA2\\INFO",
                                 {"VERSION": version, "INSTALLPATH": PROGRAM_FILES + "\\Corvalen\\Velmora2"})

    def run_update(self, version="2.01"):
        run = SetupRun(self, version=version)
        run.start(wait_window=False)
        self.assertEqual(run.wait_ended(120), 0)
        return run

    def version_folders(self):
        product = self.prefix.program_files() / "Corvalen" / "Velmora2"
        return sorted(p.name for p in product.iterdir() if p.is_dir())


class FreshInstall(InstallCase):
    def test_a_fresh_install_leaves_the_documented_state(self):
        run = SetupRun(self).start()
        self.assertEqual(run.finish_fresh_install(), 0)
        # The suite's log first: reading the registry stops every process of the prefix.
        log = self.wait_for_suite_log("2.01", self.user_root())
        registry = self.prefix.registry()
        root = self.user_root_windows()
        launcher = stable_launcher(root)

        self.assertEqual(registry[INFO_KEY]["VERSION"], "2.01")
        self.assertEqual(registry[INFO_KEY]["INSTALLPATH"], root + "\\Corvalen\\Velmora2")
        self.assertEqual(registry[RUN_KEY]["Velmora2"], "\"%s\"" % launcher)
        uninstaller = root + "\\Corvalen\\VL2Del.exe"
        entry = registry[UNINSTALL_KEY]
        size = entry.pop("EstimatedSize")
        self.assertEqual(entry, {
            "DisplayName": "Velmora 2.0 제거", "DisplayVersion": "2.01", "Publisher": "Corvalen",
            "DisplayIcon": uninstaller, "InstallLocation": root + "\\Corvalen\\Velmora2",
            "UninstallString": '"%s"' % uninstaller, "URLInfoAbout": BASE_URL + "/", "NoModify": 1, "NoRepair": 1})
        # KiB of the version's folder: the stand-in suite and launcher at least.
        programs = sum(build_file(name).stat().st_size for name in ("Cubelet.exe", "InitVL2.exe"))
        self.assertTrue(programs // 1024 <= size <= programs // 1024 + 64, size)
        self.assertEqual(registry["hkcu\\software\\corvalen"]["VL2AXCANCEL"], "")

        for link in (self.prefix.start_menu_programs() / "Corvalen" / "Velmora2.lnk",
                     self.prefix.desktop() / "Velmora2.lnk",
                     self.prefix.quick_launch() / "Velmora2.lnk"):
            self.assertEqual(self.read_shortcut(link), (launcher, "Velmora2"), link)
        self.assertFalse((self.prefix.quick_launch() / "Velmora.lnk").exists())

        dropped = self.user_root() / "Corvalen" / "VL2Del.exe"
        self.assertEqual(dropped.read_bytes(), build_file("VL2Del.exe").read_bytes())
        placed = self.user_root() / "Corvalen" / "Velmora2" / "Velmora2.exe"
        self.assertEqual(placed.read_bytes(), build_file("Velmora2.exe").read_bytes())
        self.assertFalse((self.prefix.program_files() / "Corvalen").exists())

        self.assertIn(SUITE_TOKEN, log)
        self.assertIn("Velmora2\\2.01\\BIN\\Cubelet.exe", log)

        self.assertEqual(len(self.reports()), 1)
        query = self.reports()[0].split("?", 1)[1]
        match = re.fullmatch(r"ma=([0-9A-F-]*)&inip=([0-9.]*)&jaehuid=VL2B2\.01CORVALEN", query)
        self.assertIsNotNone(match, query)
        self.assertEqual(match.group(1), first_physical_address())
        self.assertIn(match.group(2), machine_ipv4_addresses() | {"127.0.0.1"})

    def test_an_existing_start_menu_folder_is_kept_and_its_shortcut_replaced(self):
        folder = self.prefix.start_menu_programs() / "Corvalen"
        folder.mkdir(parents=True)
        (folder / "Velmora2.lnk").write_bytes(b"an old, broken shortcut")
        (folder / "other.txt").write_text("the user's")
        run = SetupRun(self).start()
        self.assertEqual(run.finish_fresh_install(), 0)
        self.assertEqual(self.read_shortcut(folder / "Velmora2.lnk"),
                         (stable_launcher(self.user_root_windows()), "Velmora2"))
        self.assertTrue((folder / "other.txt").exists())


    def test_an_uninstaller_that_cannot_be_written_is_reported_and_the_install_completes_without_it(self):
        # A folder of that name is in the way of the file.
        (self.user_root() / "Corvalen" / "VL2Del.exe").mkdir(parents=True)
        run = SetupRun(self).start()
        run.click(setup_flow.BOX)
        run.click(setup_flow.OK)
        self.assertTrue(run.wait_for_page(setup_flow.is_completion_page, 90))
        run.click(setup_flow.FINISH, settle=0.2)
        box = self.display.wait_window("Velmora 2.0 설치", timeout=30)
        self.assertIsNotNone(box, "no message about the uninstaller")
        self.display.screenshot(self.artefact("png"))
        self.display.press(box, "Return")
        self.assertEqual(run.wait_ended(60), 0, "the program did not end after the message")
        self.assertIn(SUITE_TOKEN, self.wait_for_suite_log("2.01", self.user_root()))
        self.assertFalse((self.user_root() / "Corvalen" / "VL2Del.exe.new").exists())
        registry = self.prefix.registry()
        self.assertEqual(registry[INFO_KEY]["VERSION"], "2.01")
        self.assertNotIn(UNINSTALL_KEY, registry)


class UpdateInstall(InstallCase):
    def test_an_update_renews_only_the_shortcuts_that_exist(self):
        self.install_record("2.00")
        self.place_suite("2.00")
        (self.prefix.quick_launch() / "Velmora.lnk").write_bytes(b"old name")
        self.run_update()
        # Before the registry is read: reading it stops every process of the prefix,
        # the suite too if it has not started yet.
        self.assertIn(SUITE_TOKEN, self.wait_for_suite_log("2.01"))
        registry = self.prefix.registry()
        self.assertEqual(registry[INFO_KEY]["VERSION"], "2.01")
        self.assertEqual(registry[RUN_KEY]["Velmora2"], "\"%s\"" % stable_launcher(PROGRAM_FILES))
        self.assertEqual(registry[UNINSTALL_KEY]["UninstallString"], '"%s\\Corvalen\\VL2Del.exe"' % PROGRAM_FILES)
        self.assertFalse((self.prefix.desktop() / "Velmora2.lnk").exists(), "a removed desktop shortcut came back")
        self.assertFalse((self.prefix.quick_launch() / "Velmora.lnk").exists())
        self.assertEqual(self.read_shortcut(self.prefix.quick_launch() / "Velmora2.lnk"), (stable_launcher(PROGRAM_FILES), "Velmora2"))
        self.assertEqual(self.read_shortcut(self.prefix.start_menu_programs() / "Corvalen" / "Velmora2.lnk"),
                         (stable_launcher(PROGRAM_FILES), "Velmora2"))
        self.assertEqual(len(self.reports()), 1)
        self.assertTrue(self.reports()[0].endswith("&jaehuid=VL2U2.01CORVALEN"), self.reports())

    def test_an_update_renews_an_existing_desktop_shortcut_and_skips_absent_quick_launch(self):
        self.install_record("2.00")
        (self.prefix.desktop() / "Velmora2.lnk").write_bytes(b"points at 2.00")
        self.run_update()
        self.assertEqual(self.read_shortcut(self.prefix.desktop() / "Velmora2.lnk"), (stable_launcher(PROGRAM_FILES), "Velmora2"))
        self.assertFalse((self.prefix.quick_launch() / "Velmora2.lnk").exists())

    def test_an_update_prunes_the_oldest_of_three_version_folders_and_nothing_shared(self):
        self.install_record("2.01")
        for version in ("2.00", "2.01"):
            self.place_suite(version)
        self.run_update("2.02")
        self.assertEqual(self.version_folders(), ["2.01", "2.02", "IMAGE", "MEMO", "MYLINK"])
        for shared in ("IMAGE", "MEMO", "MYLINK"):
            self.assertTrue((self.prefix.program_files() / "Corvalen" / "Velmora2" / shared).is_dir())


if __name__ == "__main__":
    unittest.main()
