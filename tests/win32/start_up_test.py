import os
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
import vl2test  # noqa: E402
from release_signing import release_lines  # noqa: E402
from vendor_server import BASE_URL, Route  # noqa: E402
from winenv import wait_until  # noqa: E402
from vl2test import PROGRAM_FILES, SUITE_TOKEN, ServerTestCase, WineTestCase, build_file  # noqa: E402

INFO_KEY = "Software\\CORVALEN\\VELMORA2\\INFO"
MODULES = ["CORE", "GRABIT", "WIREUP", "TALKPAD", "DIALS", "SKYCAST", "SWEEPKIT", "PINBAR", "LOOKUP"]


def manifest(version, url=None, extra="", release=None):
    """A manifest signed with the test key, or carrying `release` as its release
    lines ("" for an unsigned one); its package is never downloaded here."""
    url = url if url is not None else BASE_URL + "/velmora2/files/%s.cvz" % version
    return "version=%s\ndate=20061231\ncomment=test\n%sdownload=%s\n%s" % (
        version, extra, url, release if release is not None else release_lines(version, b""))


class StartUpDecision(ServerTestCase):
    """Every start passes this decision: launch, hand over, fresh install or update."""

    def install_record(self, version):
        self.prefix.add_registry("user", INFO_KEY, {"VERSION": version})

    def start_and_wait(self, timeout=60):
        process = self.prefix.start([self.installer()])
        try:
            process.wait(timeout=timeout)
        except Exception:
            process.kill()
            raise
        return process

    def start_and_wait_for(self, condition, timeout=60):
        """Starts the installer and waits until `condition()` holds (the setup window
        then stays open for a person, or an update's download waits for a server
        that never answers, so the prefix is stopped afterwards)."""
        for version in ("1.9", "2.01", "2.01a"):
            self.server.serve("/velmora2/files/%s.cvz" % version, Route(b"", silent=True))
        process = self.prefix.start([self.installer()])
        held = wait_until(condition, timeout)
        time.sleep(0.5)
        self.prefix.kill()
        process.wait(timeout=30)
        self.assertTrue(held, "the installer never got there")

    def assert_launched_from(self, version):
        log = self.wait_for_suite_log(version)
        self.assertIn(SUITE_TOKEN, log, "the suite in %s was not started with its token" % version)
        # Quoted: a path with a blank must not let "C:\Program.exe" run.
        expected = '"%s\\Corvalen\\Velmora2\\%s\\BIN\\Cubelet.exe" %s' % (PROGRAM_FILES, version, SUITE_TOKEN)
        self.assertIn(expected, log)

    def version_folder(self, version):
        return self.prefix.program_files() / "Corvalen" / "Velmora2" / version

    def update_began(self):
        """Whether a run began to build a version in the staging (its tree is made
        there): where the installed suite is, which Wine as root can write."""
        return self.staged("SKIN/PINBAR", self.prefix.program_files()).is_dir()

    def test_current_version_launches_the_suite_and_opens_no_window(self):
        self.install_record("2.01")
        self.place_suite("2.01")
        self.server.manifest(manifest("2.01"))
        self.start_and_wait()
        self.assert_launched_from("2.01")
        self.assertEqual(len(self.server.requests_for("/velmora2/update/update.inf")), 1)

    def test_a_manifest_version_without_its_folder_launches_the_installed_suite(self):
        self.install_record("2.10")
        self.place_suite("2.10")
        self.server.manifest(manifest("2.09"))
        self.start_and_wait()
        self.assert_launched_from("2.10")
        self.assertFalse(self.version_folder("2.09").exists())

    def test_an_older_manifest_never_chooses_the_installed_folder_to_start(self):
        # Pruning keeps the previous version's folder: whoever answers for the file
        # server must not be able to make every start run it, signed or not.
        self.install_record("2.02")
        self.place_suite("2.01")
        self.place_suite("2.02")
        for count, release in enumerate((release_lines("2.01", b""), ""), 1):
            self.server.manifest(manifest("2.01", release=release))
            self.start_and_wait()
            self.assertTrue(wait_until(lambda: self.suite_log("2.02").count(SUITE_TOKEN) == count, 20), release)
        self.assert_launched_from("2.02")
        self.assertEqual(self.suite_log("2.01"), "")

    def test_a_library_planted_beside_the_launcher_is_not_loaded(self):
        # Wine prefers its own libraries; these overrides make it look beside the
        # program first, as Windows does for any library that is not a known one.
        planted = ("wininet",)
        self.prefix.env["WINEDLLOVERRIDES"] += ";%s=n,b" % ",".join(planted)
        downloads = self.prefix.drive_c / "Downloads"
        downloads.mkdir(exist_ok=True)
        for name in planted:
            (downloads / (name + ".dll")).write_bytes(build_file("tests/planted.dll").read_bytes())
        (downloads / "importer.exe").write_bytes(build_file("tests/wininet_importer.exe").read_bytes())
        self.prefix.run(["C:\\Downloads\\importer.exe"])
        marks = lambda: sorted(p.name.lower() for p in downloads.glob("*.loaded"))  # noqa: E731
        self.assertEqual(marks(), ["wininet.dll.loaded"], "the plant would not be loaded by a direct import here")
        for mark in downloads.glob("*.loaded"):
            mark.unlink()
        self.install_record("2.01")
        self.place_suite("2.01")
        self.server.manifest(manifest("2.01"))
        self.start_and_wait()
        self.assert_launched_from("2.01")
        self.assertEqual(marks(), [])

    def test_older_version_updates_building_the_new_one_apart_from_every_version_folder(self):
        self.install_record("2.00")
        self.server.manifest(manifest("2.01a"))
        self.start_and_wait_for(self.update_began)
        # A version folder only ever exists whole: neither the prefix's nor the whole text's is made.
        self.assertFalse(self.version_folder("2.01").exists())
        self.assertFalse(self.version_folder("2.01a").exists())
        registry = self.prefix.registry()
        self.assertNotIn("hkcu\\software\\corvalen\\velmora2\\core", registry, "an update wrote defaults")

    def test_versions_compare_as_text_so_1_10_is_older_than_1_9(self):
        self.install_record("1.10")
        self.place_suite("1.10")
        self.server.manifest(manifest("1.9"))
        self.start_and_wait_for(self.update_began)
        self.assertEqual(self.suite_log("1.10"), "")

    def test_nothing_installed_creates_the_shared_folders_and_the_defaults(self):
        self.server.manifest(manifest("2.01"))
        # The defaults are written before the setup window opens.
        product = self.user_root() / "Corvalen" / "Velmora2"
        self.start_and_wait_for(lambda: bool(self.display.find_windows(class_name="initvl2")) and
                                (product / "IMAGE").is_dir())
        self.assertFalse((product / "2.01").exists())
        registry = self.prefix.registry()
        info = registry["hkcu\\software\\corvalen\\velmora2\\info"]
        self.assertEqual(info["INSTALLPATH"], self.user_root_windows() + "\\Corvalen\\Velmora2")
        self.assertNotIn("VERSION", info)
        for module in MODULES:
            values = registry["hkcu\\software\\corvalen\\velmora2\\" + module.lower()]
            self.assertEqual(values["VERSION"], "2.01")
            self.assertEqual(values["TRANSPARENT"], "255")
            self.assertEqual(values["SKINPATH"], "")
        # Texts are stored with their terminating zero, the empty one too: Wine writes
        # a value of no bytes as hex(1): instead.
        user_reg = (self.prefix.path / "user.reg").read_text(encoding="utf-8")
        start = user_reg.index("[Software\\\\CORVALEN\\\\VELMORA2\\\\CORE]")
        core = user_reg[start:user_reg.index("\n\n", start)]
        self.assertIn('"SKINPATH"=""\n', core + "\n", core)

    def test_an_ftp_download_launches_the_installed_suite(self):
        self.install_record("2.00")
        self.place_suite("2.00")
        self.server.manifest(manifest("2.01", url="ftp://127.0.0.1/2.01.cvz"))
        self.start_and_wait()
        self.assert_launched_from("2.00")
        self.assertFalse(self.version_folder("2.01").exists())

    def test_an_error_page_instead_of_a_manifest_launches_the_installed_suite(self):
        self.install_record("2.00")
        self.place_suite("2.00")
        self.start_and_wait()  # the server answers 404 with a body
        self.assert_launched_from("2.00")

    def test_no_server_at_all_launches_the_installed_suite(self):
        self.server.stop()
        self.install_record("2.00")
        self.place_suite("2.00")
        self.start_and_wait()
        self.assert_launched_from("2.00")

    def test_a_version_that_names_a_path_is_refused(self):
        self.install_record("2.00")
        self.place_suite("2.00")
        for count, hostile in enumerate(("..\\..\\..\\Windows", "2/../../x", "C:x", "COM1", "nul.txt"), 1):
            self.server.manifest(manifest(hostile))
            self.start_and_wait()
            wait_until(lambda: self.suite_log("2.00").count(SUITE_TOKEN) >= count, 15)
            self.assertEqual(self.suite_log("2.00").count(SUITE_TOKEN), count, hostile)
        self.assertEqual(sorted(p.name for p in (self.prefix.program_files() / "Corvalen" / "Velmora2").iterdir()),
                         ["2.00"])

    def test_every_start_asks_the_server_and_tells_caches_on_the_way_to_keep_nothing(self):
        # A cache that kept a forged or stale manifest would go on answering for the
        # server after the network is clean again.
        self.install_record("2.01")
        self.place_suite("2.01")
        self.server.manifest(manifest("2.01"), headers={"Cache-Control": "public, max-age=86400",
                                                        "Expires": "Fri, 01 Jan 2100 00:00:00 GMT"})
        for count in (1, 2):
            self.start_and_wait()
            self.assertEqual(len(self.server.requests_for("/velmora2/update/update.inf")), count)
        for path, headers in self.server.request_headers:
            self.assertEqual(headers.get("pragma"), "no-cache", path)

    def test_a_manifest_delivered_in_pieces_is_read_whole(self):
        self.install_record("2.00")
        self.place_suite("2.00")
        self.server.manifest(manifest("2.01"), pieces=6, piece_delay=0.3)
        # Read whole, the download line at the end is seen and an update starts; the
        # answer took longer than a start waits, so the installed suite runs meanwhile.
        self.start_and_wait_for(self.update_began)
        self.assertEqual(self.suite_log("2.00").count(SUITE_TOKEN), 1)

    def test_a_server_that_never_answers_holds_the_start_only_until_the_check_deadline(self):
        self.install_record("2.00")
        self.place_suite("2.00")
        self.server.manifest("", silent=True)
        started = time.time()
        process = self.prefix.start([self.installer()])
        log = self.wait_for_suite_log("2.00", timeout=40)
        elapsed = time.time() - started
        process.wait(timeout=30)
        self.assertIn(SUITE_TOKEN, log)
        # Well under the request's own 10 s deadline, which the start no longer waits
        # for; the rest of the margin is Wine's own start-up under load.
        self.assertLess(elapsed, 6, "the suite started only after %.1f s" % elapsed)

    def test_a_second_start_hands_over_to_the_open_setup_window_and_ends(self):
        self.server.manifest(manifest("2.01"))
        first = self.prefix.start([self.installer()])
        try:
            self.assertTrue(wait_until(lambda: self.display.find_windows(class_name="initvl2"), 60),
                            "the first setup window did not open")
            time.sleep(1.0)
            second = self.prefix.start([self.installer()])
            second.wait(timeout=30)
            self.assertIsNone(first.poll(), "the first setup window should still be open")
            self.assertEqual(len(self.server.requests_for("/velmora2/update/update.inf")), 1,
                             "the second start went on to fetch the manifest")
        finally:
            self.prefix.kill()
            first.wait(timeout=60)


# Libraries Windows always takes from its own folder (its known libraries): only
# these may be imported directly, since whatever else a program imports is looked
# for beside it first, before its first line runs.
KNOWN_LIBRARIES = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "ole32.dll",
                   "oleaut32.dll", "ws2_32.dll", "msvcrt.dll", "comdlg32.dll", "shlwapi.dll"}


class Executables(unittest.TestCase):
    def test_programs_are_32_bit_pe_images(self):
        for name in ("InitVL2.exe", "Cubelet.exe"):
            self.assertEqual(vl2test.pe_machine(build_file(name)), 0x14C, name)

    def test_the_shipped_programs_import_only_known_system_libraries(self):
        for name in ("InitVL2.exe", "VL2Del.exe"):
            dump = subprocess.run(["i686-w64-mingw32-objdump", "-p", str(build_file(name))],
                                  stdout=subprocess.PIPE, check=True, text=True).stdout
            imported = {line.split("DLL Name:")[1].strip().lower() for line in dump.splitlines()
                        if "DLL Name:" in line}
            self.assertIn("kernel32.dll", imported, name)
            self.assertEqual(imported - KNOWN_LIBRARIES, set(), name)


class OldWindowsRefused(WineTestCase):
    needs_display = True

    def test_windows_98_gets_the_install_notice_and_nothing_is_written(self):
        self.prefix.set_windows_version("win98")
        process = self.prefix.start([self.installer()])
        try:
            box = self.display.wait_window("설치 안내", timeout=40)
            self.assertIsNotNone(box, "no message box with the caption 설치 안내")
            self.display.screenshot(self.artefact("png"))
            self.display.press(box, "Return")
            process.wait(timeout=30)
        finally:
            if process.poll() is None:
                process.kill()
        self.assertFalse((self.prefix.program_files() / "Corvalen").exists())
        self.assertFalse((self.user_root() / "Corvalen").exists())


class NothingInstalledOffline(WineTestCase):
    needs_display = True

    def test_a_first_start_without_a_server_says_why_it_cannot_install_and_ends(self):
        process = self.prefix.start([self.installer()])
        box = self.display.wait_window("Velmora 2.0 설치", timeout=60)
        self.assertIsNotNone(box, "no message box")
        self.display.screenshot(self.artefact("png"))
        self.display.press(box, "Return")
        process.wait(timeout=30)
        self.assertEqual(process.returncode, 0)
        self.assertFalse((self.prefix.program_files() / "Corvalen").exists())
        self.assertFalse((self.user_root() / "Corvalen").exists())


if __name__ == "__main__":
    unittest.main()
