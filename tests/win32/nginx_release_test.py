"""The vendor's own chain end to end: releases made by `cvztool release` with the
test key and served by nginx from one site folder, a fresh install through the
setup window, and a newer release published into the same site that the next start
of the installed launcher must see and install."""
import os
import shutil
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
import nginx_server  # noqa: E402
import suite_release  # noqa: E402
from setup_flow import PACKAGE_PATH, InstallerRun  # noqa: E402
from vendor_server import BASE_URL, PORT  # noqa: E402
from vl2test import BUILD_DIR, SUITE_TOKEN, WineTestCase  # noqa: E402

INFO_KEY = "hkcu\\software\\corvalen\\velmora2\\info"
RUN_KEY = "hkcu\\software\\microsoft\\windows\\currentversion\\run"
LAUNCHER = "%s\\Corvalen\\Velmora2\\%s\\BIN\\InitVL2.exe"
STABLE_LAUNCHER = "%s\\Corvalen\\Velmora2\\Velmora2.exe"


@unittest.skipUnless(suite_release.NATIVE_CVZTOOL.exists(),
                     "the native cvztool (%s) is not built, and only it can release: cmake --preset native && "
                     "cmake --build --preset native --target cvztool" % suite_release.NATIVE_CVZTOOL)
class ReleasesServedByNginx(WineTestCase):
    needs_display = True

    def setUp(self):
        super().setUp()
        self.work = nginx_server.site_folder("vl2-nginx-release-")
        self.site = self.work / "site"
        self.server = nginx_server.NginxServer(self.site, self.work / "run", PORT)

    def tearDown(self):
        self.server.stop()
        shutil.rmtree(self.work, ignore_errors=True)
        super().tearDown()

    def publish(self, version, skin_text, comment):
        suite = suite_release.lay_out_suite(self.work / ("suite-" + version), BUILD_DIR, skin_text)
        suite_release.release(version, suite, self.site, suite_release.TEST_KEY, BASE_URL, comment)

    def report_markers(self):
        return [line.split("jaehuid=", 1)[1] for line in self.server.report_lines()]

    def installed_skin(self, version):
        return (self.version_bin(version, self.user_root()).parent / "SKIN" / "CORE" / "skin.txt").read_text(encoding="utf-8")

    def test_a_release_published_over_an_installed_one_is_installed_by_the_next_start(self):
        self.publish("2.01", "first skins", "첫 배포")
        self.server.start()
        self.assertEqual(InstallerRun(self).start().finish_fresh_install(), 0)
        self.assertIn(SUITE_TOKEN, self.wait_for_suite_log("2.01", self.user_root()))
        self.assertEqual(self.installed_skin("2.01"), "CORE first skins\n")
        markers = self.report_markers()
        self.assertEqual(len(markers), 1, markers)
        self.assertTrue(markers[0].startswith("VL2B2.01"), markers)
        registry = self.prefix.registry()  # ends the suite as well
        self.assertEqual(registry[INFO_KEY]["VERSION"], "2.01")
        self.assertEqual(registry[RUN_KEY]["Velmora2"].strip('"'), STABLE_LAUNCHER % self.user_root_windows())

        manifest = suite_release.manifest(self.site)
        first, first_stat = manifest.read_bytes(), manifest.stat()
        self.publish("2.02", "second skins", "새 스킨")
        # A release that changes only the version, digest and signature gives a
        # manifest of the same length; published within the same second it would
        # also carry the same time. Only a fetch that no cache or validator answers
        # sees it then.
        newer = manifest.read_bytes()
        self.assertNotEqual(newer, first)
        self.assertEqual(len(newer), len(first))
        os.utime(manifest, ns=(first_stat.st_atime_ns, first_stat.st_mtime_ns))

        run = InstallerRun(self, program=LAUNCHER % (self.user_root_windows(), "2.01")).start(wait_window=False)
        code, shown = run.wait_ended_watching_windows(150)
        self.assertEqual(code, 0)
        self.assertEqual(shown, [], "the update showed windows")
        self.assertIn(SUITE_TOKEN, self.wait_for_suite_log("2.02", self.user_root()))
        self.assertEqual(self.suite_log("2.01", self.user_root()).count(SUITE_TOKEN), 1, "the old suite was started again")
        self.assertEqual(self.installed_skin("2.02"), "CORE second skins\n")
        markers = self.report_markers()
        self.assertEqual(len(markers), 2, markers)
        self.assertTrue(markers[1].startswith("VL2U2.02"), markers)
        # Both starts had the whole manifest from the origin, never a "not modified".
        fetches = self.server.requests_for(nginx_server.MANIFEST_PATH)
        self.assertEqual(len(fetches), 2, fetches)
        for line in fetches:
            self.assertIn('" 200 %d ' % len(newer), line)
        # Only what changed, out of the package by ranges: nginx answers each with 206.
        package_requests = self.server.requests_for(PACKAGE_PATH % "2.02")
        self.assertTrue(package_requests and all('" 206 ' in line for line in package_requests), package_requests)
        registry = self.prefix.registry()
        self.assertEqual(registry[INFO_KEY]["VERSION"], "2.02")
        self.assertEqual(registry[RUN_KEY]["Velmora2"].strip('"'), STABLE_LAUNCHER % self.user_root_windows())


if __name__ == "__main__":
    unittest.main()
