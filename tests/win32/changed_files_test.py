"""An update fetches only what changed: releases made by cvztool with their signed
file lists, served by nginx (which answers ranges), the older one installed by the
installer's reader, and the installed launcher started as a shortcut starts it.
Whatever casts doubt on the changes ends with the whole package, and where that
fails too, with the installed suite running and nothing recorded."""
import os
import shutil
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
import nginx_server  # noqa: E402
import release_signing  # noqa: E402
import suite_release  # noqa: E402
import vendor_server  # noqa: E402
from vendor_server import BASE_URL, PORT, Route  # noqa: E402
from vl2test import BUILD_DIR, PROGRAM_FILES, SUITE_TOKEN, WineTestCase, build_file  # noqa: E402
from winenv import wait_until  # noqa: E402

INFO_KEY = "hkcu\\software\\corvalen\\velmora2\\info"
PACKAGE = "/velmora2/files/2.02.cvz"


@unittest.skipUnless(suite_release.NATIVE_CVZTOOL.exists(), "the native cvztool (%s) is not built; only it can "
                     "release" % suite_release.NATIVE_CVZTOOL)
class ChangedFiles(WineTestCase):
    needs_display = True

    def setUp(self):
        super().setUp()
        self.work = nginx_server.site_folder("vl2-changes-")
        self.site = self.work / "site"

    def tearDown(self):
        shutil.rmtree(self.work, ignore_errors=True)
        super().tearDown()

    def releases(self, parts, changed=("SKIN/CORE/skin.txt",)):
        """2.01 and 2.02 in the site, 2.02 changing `changed` (paths in the suite);
        2.01 installed, its suite running."""
        for version in ("2.01", "2.02"):
            suite = suite_release.lay_out_suite(self.work / ("suite-" + version), BUILD_DIR, "skins", parts=parts)
            if version == "2.02":
                for name in changed:
                    (suite / name).write_bytes(b"changed in 2.02\n")
            suite_release.release(version, suite, self.site, suite_release.TEST_KEY, BASE_URL, version)
            if version == "2.01":
                suite_release.install_files(self.prefix, suite_release.package(self.site, "2.01"), "2.01",
                                            build_file("cvztool.exe"))
        self.prefix.start([PROGRAM_FILES + "\\Corvalen\\Velmora2\\2.01\\BIN\\Cubelet.exe", SUITE_TOKEN])
        self.assertTrue(wait_until(lambda: SUITE_TOKEN in self.suite_log("2.01"), 30), "the 2.01 suite did not start")

    def update(self):
        launcher = self.prefix.start([PROGRAM_FILES + "\\Corvalen\\Velmora2\\2.01\\BIN\\InitVL2.exe"])
        launcher.wait(timeout=150)

    def folder(self, version):
        """Every file of a version folder, by its path below it, with its bytes."""
        root = self.prefix.program_files() / "Corvalen" / "Velmora2" / version
        return {str(p.relative_to(root)): p.read_bytes() for p in root.rglob("*")
                if p.is_file() and "TEMP" not in p.parts and p.name != "Cubelet.log"}

    def whole_unpacking(self):
        """2.02 as a whole package unpacks, by the same reader, beside the installed ones."""
        staged = self.prefix.drive_c / "whole.cvz"
        staged.write_bytes(suite_release.package(self.site, "2.02").read_bytes())
        self.prefix.run([build_file("cvztool.exe"), "extract", "C:\\whole.cvz", "C:\\whole"], timeout=300)
        root = self.prefix.drive_c / "whole"
        return {str(p.relative_to(root)): p.read_bytes() for p in root.rglob("*") if p.is_file()}

    def assert_updated_to_2_02(self):
        self.assertIn(SUITE_TOKEN, self.wait_for_suite_log("2.02"))
        self.assertEqual(self.folder("2.02"), self.whole_unpacking())
        self.assertEqual(self.prefix.registry()[INFO_KEY]["VERSION"], "2.02")

    def test_one_changed_file_of_a_thousand_fetches_under_5_percent_and_the_folder_of_a_whole_unpacking(self):
        self.releases(parts=990)
        with nginx_server.NginxServer(self.site, self.work / "run", PORT) as server:
            self.update()
            self.assert_updated_to_2_02()
            served = server.served()
            fetched = server.bytes_sent("/velmora2/files/2.02.")
        size = suite_release.package(self.site, "2.02").stat().st_size
        self.assertTrue(all(status == 206 for path, status, _ in served if path == PACKAGE), served)
        self.assertLess(fetched, 0.05 * size, "fetched %d of %d bytes" % (fetched, size))

    def test_files_the_user_altered_or_deleted_are_fetched_too(self):
        self.releases(parts=20)
        bin_folder = self.version_bin("2.01")
        (bin_folder.parent / "SKIN" / "PINBAR" / "skin.txt").write_bytes(b"the user's own\n")
        (bin_folder.parent / "SKIN" / "CORE" / suite_release.HANGUL_SKIN).unlink()
        with nginx_server.NginxServer(self.site, self.work / "run", PORT) as server:
            self.update()
            self.assert_updated_to_2_02()
            statuses = [status for path, status, _ in server.served() if path == PACKAGE]
        self.assertTrue(statuses and set(statuses) == {206}, statuses)

    def check_a_list_in_doubt_ends_with_the_whole_package(self, spoil):
        self.releases(parts=20)
        listed = suite_release.file_list(self.site, "2.02")
        listed.write_bytes(spoil(listed.read_bytes()))
        with nginx_server.NginxServer(self.site, self.work / "run", PORT) as server:
            self.update()
            self.assert_updated_to_2_02()
            self.assertIn((PACKAGE, 200), [(path, status) for path, status, _ in server.served()])

    def test_a_list_signed_by_another_key_ends_with_the_whole_package(self):
        key = release_signing.new_key(self.work / "other.pem")
        self.check_a_list_in_doubt_ends_with_the_whole_package(
            lambda text: release_signing.signed_list(release_signing.list_body(text), key))

    def test_a_list_that_is_not_the_packages_ends_with_the_whole_package(self):
        def not_the_package(text):
            lines = release_signing.list_body(text).split(b"\n")
            return release_signing.signed_list(b"\n".join(
                line[:2] + b"0" * 64 + line[66:] if line.startswith(b"F ") and b"PARTS" in line else line
                for line in lines))
        self.check_a_list_in_doubt_ends_with_the_whole_package(not_the_package)

    def test_a_server_that_ignores_ranges_gets_the_whole_package_asked_of_it(self):
        self.releases(parts=20)
        with vendor_server.VendorServer() as server:
            for path in (suite_release.manifest(self.site), suite_release.file_list(self.site, "2.02"),
                         suite_release.package(self.site, "2.02")):
                server.serve("/" + str(path.relative_to(self.site)), Route(path.read_bytes()))
            server.serve("/installax.asp", Route(b""))
            self.update()
            self.assert_updated_to_2_02()

    def test_when_the_whole_package_fails_too_the_installed_suite_runs_on_and_nothing_is_recorded(self):
        self.releases(parts=20)
        with vendor_server.VendorServer() as server:
            server.serve("/velmora2/update/update.inf", Route(suite_release.manifest(self.site).read_bytes()))
            listed = suite_release.file_list(self.site, "2.02").read_bytes()
            server.serve("/velmora2/files/2.02.list",
                         Route(release_signing.signed_list(release_signing.list_body(listed),
                                                           release_signing.new_key(self.work / "other.pem"))))
            self.update()
            self.assertEqual([r for r in server.requests if r.startswith("/installax.asp")], [])
        self.assertEqual(self.suite_log("2.01").count(SUITE_TOKEN), 1)
        self.assertNotIn("quit-request", self.suite_log("2.01"))
        self.assertEqual(self.suite_log("2.02"), "")
        self.assertEqual(self.prefix.registry()[INFO_KEY]["VERSION"], "2.01")


if __name__ == "__main__":
    unittest.main()
