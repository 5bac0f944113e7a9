"""An update is all or nothing, and the suite stops only for the switch: the
download and the unpacking go on while the installed suite runs; whatever fails
before the new version folder is whole and verified leaves that suite running
untouched, records nothing, and ends the program; the next start with a good
package completes the update."""
import os
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
import release_signing  # noqa: E402
import setup_flow  # noqa: E402
import suite_release  # noqa: E402
from setup_flow import SetupRun  # noqa: E402
from vendor_server import Route  # noqa: E402
from vendor_server import VendorServer  # noqa: E402
from vl2test import PROGRAM_FILES, SUITE_TOKEN, TEMPLATE, ServerTestCase, build_file  # noqa: E402
import winenv  # noqa: E402
from winenv import wait_until  # noqa: E402

INFO_KEY = "hkcu\\software\\corvalen\\velmora2\\info"
RUN_KEY = "hkcu\\software\\microsoft\\windows\\currentversion\\run"
UNINSTALL_KEY = "hkcu\\software\\microsoft\\windows\\currentversion\\uninstall\\velmora2"
OLD_LAUNCHER = PROGRAM_FILES + "\\Corvalen\\Velmora2\\2.00\\BIN\\InitVL2.exe"
# What the pointers of an install made by this installer start, whatever the version.
STABLE_LAUNCHER = PROGRAM_FILES + "\\Corvalen\\Velmora2\\Velmora2.exe"


class UpdateCase(ServerTestCase):
    def installed(self, version="2.00", running=True):
        """Version `version` installed and, with `running`, its suite started as a
        shortcut would and waiting for the quit request."""
        self.prefix.add_registry("user", "Software\\CORVALEN\\VELMORA2\\INFO",
                                 {"VERSION": version, "INSTALLPATH": PROGRAM_FILES + "\\Corvalen\\Velmora2"})
        self.prefix.add_registry("user", "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                                 {"Velmora2": OLD_LAUNCHER})
        self.place_suite(version)
        if running:
            suite = "%s\\Corvalen\\Velmora2\\%s\\BIN\\Cubelet.exe" % (PROGRAM_FILES, version)
            self.suite_process = self.prefix.start([suite, SUITE_TOKEN])
            self.assertTrue(wait_until(lambda: self.suite_starts(version) == 1, 20), "the suite did not start")

    def suite_starts(self, version):
        return self.suite_log(version).count(SUITE_TOKEN)

    def update(self, **run_options):
        run = SetupRun(self, version="2.01", **run_options)
        run.start(wait_window=False)
        self.assertEqual(run.wait_ended(150), 0, "the update did not end by itself")
        return run

    def reports(self):
        return [r for r in self.server.requests if r.startswith(setup_flow.REPORT_PATH)]

    def assert_nothing_recorded_and_the_installed_suite_runs_on(self, what):
        self.assertEqual(self.suite_starts("2.00"), 1, "%s: the installed suite was started again:\n%s" % (
            what, self.suite_log("2.00")))
        self.assertNotIn("quit-request", self.suite_log("2.00"), "%s: the running suite was asked to quit" % what)
        self.assertEqual(self.suite_log("2.01"), "", what)
        self.assertEqual(self.reports(), [], what)
        # Nothing of the new version outside the staging.
        self.assertFalse((self.prefix.program_files() / "Corvalen" / "Velmora2" / "2.01").exists(), what)
        self.assertFalse((self.prefix.start_menu_programs() / "Corvalen" / "Velmora2.lnk").exists(), what)
        registry = self.prefix.registry()
        self.assertEqual(registry[INFO_KEY]["VERSION"], "2.00", what)
        self.assertEqual(registry[RUN_KEY]["Velmora2"], OLD_LAUNCHER, what)
        self.assertNotIn(UNINSTALL_KEY, registry, what)

    def assert_a_good_package_then_completes_the_update(self):
        self.update()
        self.assertIn(SUITE_TOKEN, self.wait_for_suite_log("2.01"))
        registry = self.prefix.registry()
        self.assertEqual(registry[INFO_KEY]["VERSION"], "2.01")
        self.assertEqual(len(self.reports()), 1)


class FailedUpdates(UpdateCase):
    def check_failure(self, what, **run_options):
        self.installed()
        self.update(**run_options)
        self.assert_nothing_recorded_and_the_installed_suite_runs_on(what)
        self.assert_a_good_package_then_completes_the_update()

    def test_a_package_url_that_answers_404(self):
        self.check_failure("404", package_route=Route(b"gone", status=404))

    def test_a_connection_closed_half_way_through_the_package(self):
        data = setup_flow.package()
        self.check_failure("dropped", package_route=Route(data, drop_after=len(data) // 2))

    def test_a_package_whose_data_fails_its_check(self):
        self.check_failure("corrupt", package_bytes=setup_flow.package(corrupt=True))

    def test_a_package_with_an_entry_the_reader_refuses(self):
        self.check_failure("refused entry", package_bytes=setup_flow.package(extra=[("../outside.txt", b"x")]))
        self.assertFalse((self.prefix.program_files() / "Corvalen" / "Velmora2" / "outside.txt").exists())

    def test_a_package_that_stops_sending_counts_as_failed_after_a_minute(self):
        data = setup_flow.package(entries=40)
        self.installed()
        started = time.time()
        self.update(package_route=Route(data, stall_after=len(data) // 3))
        elapsed = time.time() - started
        self.assert_nothing_recorded_and_the_installed_suite_runs_on("stalled")
        self.assertLess(elapsed, 100, "a stalled download held the program for %.0f s" % elapsed)


class UnsignedReleases(UpdateCase):
    """Only what the vendor signed is installed: a manifest that is not signed with
    the built-in key is never acted on, and a package that is not the signed one is
    never unpacked."""

    def check_refused_at_start(self, what, release):
        self.installed()
        run = SetupRun(self, version="2.01", release=release)
        run.start(wait_window=False)
        self.assertEqual(run.wait_ended(60), 0)
        self.assertTrue(wait_until(lambda: self.suite_starts("2.00") == 2, 20), what)
        self.assertNotIn("quit-request", self.suite_log("2.00"), "%s: the running suite was asked to quit" % what)
        self.assertEqual(self.server.requests_for(setup_flow.PACKAGE_PATH % "2.01"), [], what)
        self.assertFalse((self.prefix.program_files() / "Corvalen" / "Velmora2" / "2.01").exists(), what)
        self.assertEqual(self.prefix.registry()[INFO_KEY]["VERSION"], "2.00", what)

    def test_an_unsigned_manifest_starts_the_installed_suite_and_downloads_nothing(self):
        self.check_refused_at_start("unsigned", release="")

    def test_a_manifest_signed_by_another_key_starts_the_installed_suite(self):
        other = release_signing.new_key(self.prefix.path / "other-vendor.pem")
        self.check_refused_at_start("other key", release_signing.release_lines("2.01", setup_flow.package(), other))

    def test_a_signature_for_another_version_with_the_same_package_is_refused(self):
        self.check_refused_at_start("replayed", release_signing.release_lines("2.00", setup_flow.package()))

    def test_a_package_altered_after_signing_is_never_unpacked(self):
        self.installed()
        # A whole, readable package with one entry more than the signed one: only the
        # digest tells them apart.
        self.update(package_bytes=setup_flow.package(entries=4), signed_bytes=setup_flow.package())
        self.assert_nothing_recorded_and_the_installed_suite_runs_on("altered")
        self.assertFalse((self.prefix.program_files() / "Corvalen" / "Velmora2" / "2.01" / "BIN" / "Cubelet.exe").exists())


class FreshInstallVerification(ServerTestCase):
    def test_a_package_altered_after_signing_tells_the_user_and_installs_nothing(self):
        altered = setup_flow.package(entries=4)
        run = SetupRun(self, package_bytes=altered, signed_bytes=setup_flow.package()).start()
        run.click(setup_flow.BOX)
        run.click(setup_flow.OK)
        box = self.display.wait_window("Velmora 2.0 설치", timeout=60)
        self.assertIsNotNone(box, "no message about the unverified package")
        self.display.screenshot(self.artefact("png"))
        self.display.press(box, "Return")
        self.assertEqual(run.wait_ended(60), 0)
        self.assertFalse((self.prefix.program_files() / "Corvalen" / "Velmora2" / "2.01" / "BIN" / "Cubelet.exe").exists())
        self.assertNotIn("VERSION", self.prefix.registry().get(INFO_KEY, {}))


class SuiteDownOnlyForTheSwitch(UpdateCase):
    def test_the_installed_suite_runs_while_the_package_downloads_and_unpacks(self):
        self.installed()
        data = setup_flow.package(entries=40, slow_entry_at=40)
        run = SetupRun(self, version="2.01", package_route=Route(data, pieces=20, piece_delay=0.25))
        started = time.time()
        run.start(wait_window=False)
        self.assertTrue(wait_until(lambda: self.server.requests_for(setup_flow.PACKAGE_PATH % "2.01"), 30))
        self.assertTrue(wait_until(self.staged("DATA/slow.bin", self.prefix.program_files()).exists, 60, interval=0.05),
                        "the unpacking never reached the slow entry")
        self.assertNotIn("quit-request", self.suite_log("2.00"), "the suite was asked to quit before the folder was whole")
        # The new version is built in the staging: its folder appears only whole.
        self.assertFalse((self.prefix.program_files() / "Corvalen" / "Velmora2" / "2.01").exists())
        self.assertEqual(run.wait_ended(150), 0)
        self.assertIn(SUITE_TOKEN, self.wait_for_suite_log("2.01"))
        quit_at = suite_release.logged_at(self.suite_log("2.00"), "quit-request")
        new_start_at = suite_release.logged_at(self.suite_log("2.01"), '"')
        self.assertGreater(quit_at, started + 4, "the quit request came before the download had run")
        self.assertLess(new_start_at - quit_at, 2.0, "the suite was down for %.3f s" % (new_start_at - quit_at))

    def test_an_update_that_takes_a_while_starts_the_installed_suite_meanwhile(self):
        self.installed(running=False)
        data = setup_flow.package()
        self.update(package_route=Route(data, pieces=10, piece_delay=0.6))
        self.assertEqual(self.suite_starts("2.00"), 1, "the installed suite was not started during a slow update")
        self.assertIn("quit-request", self.suite_log("2.00"))
        self.assertIn(SUITE_TOKEN, self.wait_for_suite_log("2.01"))


class CutOffUpdates(UpdateCase):
    """An update cut off at any moment (every process of the prefix ended at once, as
    a power cut ends them) leaves a suite that starts: the next start, with no
    server, runs a whole suite of the version the registry records, every pointer
    names a file that is there; with the server, the update completes."""

    def launcher_the_pointers_start(self):
        registry = self.prefix.registry()
        return registry[RUN_KEY]["Velmora2"].strip('"')

    def assert_the_recorded_suite_runs_and_every_pointer_exists(self, what):
        starts = {v: self.suite_starts(v) for v in ("2.00", "2.01")}
        self.server.stop()
        process = self.prefix.start([self.launcher_the_pointers_start()])
        self.assertTrue(wait_until(lambda: any(self.suite_starts(v) > starts[v] for v in starts), 40),
                        "%s: no suite started without the server" % what)
        process.wait(timeout=60)
        registry = self.prefix.registry()
        version = registry[INFO_KEY]["VERSION"]
        self.assertGreater(self.suite_starts(version), starts[version], "%s: not the recorded %s" % (what, version))
        for program in ("Cubelet.exe", "InitVL2.exe"):
            self.assertTrue((self.version_bin(version) / program).exists(), "%s: %s %s" % (what, version, program))
        for pointer in (registry[RUN_KEY]["Velmora2"].strip('"'),
                        registry.get(UNINSTALL_KEY, {}).get("UninstallString", '"%s"' % OLD_LAUNCHER).strip('"')):
            self.assertTrue(self.prefix.unix_path(pointer).exists(), "%s: %s is gone" % (what, pointer))

    def test_an_update_cut_off_at_any_point_leaves_a_suite_and_completes_later(self):
        points = [
            ("while unpacking", lambda: self.staged("DATA/slow.bin", self.prefix.program_files()).exists()),
            ("right after the quit request", lambda: "quit-request" in self.suite_log("2.00")),
            ("right after the new suite's start", lambda: SUITE_TOKEN in self.suite_log("2.01")),
        ]
        for what, reached in points:
            with self.subTest(what):
                self.server.stop()
                self.prefix.close()
                self.prefix = winenv.Prefix(TEMPLATE, display=self.display.name)
                self.server = VendorServer().__enter__()
                self.installed()
                run = SetupRun(self, version="2.01", package_bytes=setup_flow.package(entries=10, slow_entry_at=5))
                run.start(wait_window=False)
                self.assertTrue(wait_until(reached, 60, interval=0.02), "%s: never reached" % what)
                self.prefix.kill()
                run.process.wait(timeout=30)
                self.assert_the_recorded_suite_runs_and_every_pointer_exists(what)
                self.server = VendorServer().__enter__()
                self.update()
                self.assertIn(SUITE_TOKEN, self.wait_for_suite_log("2.01"), what)
                self.assertEqual(self.prefix.registry()[INFO_KEY]["VERSION"], "2.01", what)

    def test_an_uninstaller_that_cannot_be_replaced_leaves_the_old_one_working(self):
        self.installed(running=False)
        old = self.prefix.program_files() / "Corvalen" / "VL2Del.exe"
        old.write_bytes(b"MZ the old uninstaller")
        self.prefix.add_registry("user", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velmora2",
                                 {"UninstallString": PROGRAM_FILES + "\\Corvalen\\VL2Del.exe"})
        holder = self.prefix.start([build_file("tests/hold_file.exe"), PROGRAM_FILES + "\\Corvalen\\VL2Del.exe", "120"])
        self.assertEqual(holder.stdout.readline().strip(), b"held")
        try:
            self.update()
            self.assertIn(SUITE_TOKEN, self.wait_for_suite_log("2.01"))
        finally:
            holder.kill()
        self.assertEqual(old.read_bytes(), b"MZ the old uninstaller")
        self.assertFalse((old.parent / "VL2Del.exe.new").exists())
        registry = self.prefix.registry()
        self.assertEqual(registry[INFO_KEY]["VERSION"], "2.01")
        self.assertEqual(registry[UNINSTALL_KEY]["UninstallString"], PROGRAM_FILES + "\\Corvalen\\VL2Del.exe")
        self.assertNotIn("DisplayName", registry[UNINSTALL_KEY])


class HeldAndVanishedFiles(UpdateCase):
    def test_a_new_program_held_by_a_scanner_as_it_appears_is_waited_for(self):
        self.installed(running=False)
        new_suite = PROGRAM_FILES + "\\Corvalen\\Velmora2\\2.01\\BIN\\Cubelet.exe"
        holder = self.prefix.start([build_file("tests/hold_file.exe"), "--exclusive", new_suite, "2"])
        self.update()
        self.assertEqual(holder.stdout.readline().strip(), b"held", "the new suite was never held")
        self.assertIn(SUITE_TOKEN, self.wait_for_suite_log("2.01"), "the held suite was not started once let go")
        self.assertEqual(self.prefix.registry()[INFO_KEY]["VERSION"], "2.01")

    def test_a_recorded_suite_that_vanished_gives_way_to_the_previous_one_until_it_is_repaired(self):
        self.installed("2.01", running=False)
        self.place_suite("2.00")
        (self.version_bin("2.01") / "Cubelet.exe").unlink()
        self.server.stop()
        self.prefix.start([self.installer()]).wait(timeout=60)
        self.assertIn(SUITE_TOKEN, self.wait_for_suite_log("2.00"), "the previous version did not start")
        self.server = VendorServer().__enter__()
        self.update()
        self.assertIn(SUITE_TOKEN, self.wait_for_suite_log("2.01"), "the recorded version was not repaired")
        self.assertEqual(self.prefix.registry()[INFO_KEY]["VERSION"], "2.01")


class ReleasesThatDoNotStart(UpdateCase):
    def test_a_new_suite_that_ends_at_once_goes_back_is_reported_and_is_not_taken_again(self):
        self.installed()
        self.update(package_bytes=setup_flow.package(extra=[("BIN/Cubelet.exe.fails", b"")]))
        self.assertIn("ended at once", self.wait_for_suite_log("2.01"))
        self.assertTrue(wait_until(lambda: self.suite_starts("2.00") == 2, 20), "the previous version did not come back")
        self.assertEqual([r.split("jaehuid=")[1] for r in self.reports()], ["VL2F2.01CORVALEN"])
        registry = self.prefix.registry()
        self.assertEqual(registry[INFO_KEY]["VERSION"], "2.00")
        self.assertEqual(registry[INFO_KEY]["FAILEDVERSION"], "2.01")
        # Apps & Features names the version that runs.
        self.assertEqual(registry[UNINSTALL_KEY]["DisplayVersion"], "2.00")
        # The pointers name the stable launcher, which now starts the recorded 2.00.
        self.assertEqual(registry[RUN_KEY]["Velmora2"], '"%s"' % STABLE_LAUNCHER)
        # The next start, as a shortcut makes it: the suite it has, and no download.
        downloads = len(self.server.requests_for(setup_flow.PACKAGE_PATH % "2.01"))
        self.prefix.start([STABLE_LAUNCHER]).wait(timeout=60)
        self.assertTrue(wait_until(lambda: self.suite_starts("2.00") == 3, 20))
        self.assertEqual(len(self.server.requests_for(setup_flow.PACKAGE_PATH % "2.01")), downloads)


class LaunchWhenCurrent(UpdateCase):
    def test_a_withdrawn_release_starts_the_installed_suite(self):
        self.installed("2.01", running=False)
        self.server.manifest(setup_flow.manifest_for("2.00"))
        process = self.prefix.start([self.installer()])
        process.wait(timeout=60)
        self.assertIn(SUITE_TOKEN, self.wait_for_suite_log("2.01"))
        self.assertFalse((self.prefix.program_files() / "Corvalen" / "Velmora2" / "2.00").exists())

    def test_a_suffix_version_of_the_installed_prefix_starts_the_installed_suite(self):
        self.installed("2.01", running=False)
        self.server.manifest(setup_flow.manifest_for("2.01a"))
        process = self.prefix.start([self.installer()])
        process.wait(timeout=60)
        self.assertIn(SUITE_TOKEN, self.wait_for_suite_log("2.01"))


class LongVersionTexts(UpdateCase):
    def test_updates_through_long_versions_keep_the_current_and_the_previous_one(self):
        self.installed("2.00a", running=False)
        # The folder that start-up made for a version's first four characters before
        # versions were built in the staging.
        (self.prefix.program_files() / "Corvalen" / "Velmora2" / "2.00").mkdir()
        for version in ("2.01a", "2.02a"):
            run = SetupRun(self, version=version)
            run.start(wait_window=False)
            self.assertEqual(run.wait_ended(150), 0)
            self.assertIn(SUITE_TOKEN, self.wait_for_suite_log(version))
        product = self.prefix.program_files() / "Corvalen" / "Velmora2"
        self.assertEqual(sorted(p.name for p in product.iterdir() if p.is_dir() and p.name.startswith("2")),
                         ["2.01a", "2.02a"])


if __name__ == "__main__":
    unittest.main()
