"""The programs built for the vendor's servers over HTTPS (the tree the Windows build
makes for https://localhost:PORT) against real TLS servers, with certificates made
for the run by a private authority that each test's prefix alone trusts. The whole
life cycle goes over TLS through nginx; a server whose certificate the system
refuses, or that sends a request down to plain HTTP, counts as one that could not be
reached, and nothing is fetched or recorded."""
import os
import shutil
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
import nginx_server  # noqa: E402
import suite_release  # noqa: E402
import tls_certificates  # noqa: E402
import vendor_server  # noqa: E402
from setup_flow import PACKAGE_PATH, InstallerRun, manifest_for, package  # noqa: E402
from vendor_server import BASE_URL, MANIFEST_PATH, Route, VendorServer  # noqa: E402
from vl2test import BUILD_DIR, PROGRAM_FILES, SUITE_TOKEN, WineTestCase, build_file  # noqa: E402
from winenv import wait_until  # noqa: E402

INFO_KEY = "hkcu\\software\\corvalen\\velmora2\\info"
UNINSTALL_KEY = "hkcu\\software\\microsoft\\windows\\currentversion\\uninstall\\velmora2"
LAUNCHER = PROGRAM_FILES + "\\Corvalen\\Velmora2\\%s\\BIN\\InitVL2.exe"
# A plain HTTP server here gets whatever steps down from https; nothing should.
PLAIN_PORT = vendor_server.PORT + 1
PLAIN_BASE_URL = "http://%s:%d" % (tls_certificates.HOST, PLAIN_PORT)
TLS_PROTOCOLS = ("TLSv1.2", "TLSv1.3")

certificates = None
certificate_folder = None


def setUpModule():
    global certificates, certificate_folder
    if vendor_server.SCHEME != "https" or vendor_server.HOST != tls_certificates.HOST:
        raise unittest.SkipTest("%s was built for %s; these tests need a build for https://%s:PORT (the win32 "
                                "build makes one in build/win32/https)" % (BUILD_DIR, vendor_server.SERVER,
                                                                           tls_certificates.HOST))
    certificate_folder = tempfile.mkdtemp(prefix="vl2-certificates-")
    certificates = tls_certificates.TestCertificates(certificate_folder)


def tearDownModule():
    if certificate_folder:
        shutil.rmtree(certificate_folder, ignore_errors=True)


class TlsCase(WineTestCase):
    needs_display = True

    def setUp(self):
        super().setUp()
        tls_certificates.trust_in_prefix(self.prefix, certificates.authority, build_file("tests/trust_root.exe"))
        self.work = nginx_server.site_folder("vl2-tls-")
        self.servers = []

    def tearDown(self):
        for server in self.servers:
            server.stop()
        shutil.rmtree(self.work, ignore_errors=True)
        super().tearDown()

    def nginx(self, certificate, name="site"):
        """nginx serving the site `name` over TLS with `certificate`, as a vendor would."""
        server = nginx_server.NginxServer(self.work / name, self.work / (name + "-run"), vendor_server.PORT,
                                          tls=certificate)
        (server.site / "velmora2" / "update").mkdir(parents=True, exist_ok=True)
        self.servers.append(server)
        return server

    def python_server(self, port=vendor_server.PORT, tls=None):
        server = VendorServer(port, tls=tls).__enter__()
        self.servers.append(server)
        return server

    def stop(self, server):
        server.stop()
        self.servers.remove(server)

    def installed(self, version):
        self.prefix.add_registry("user", "Software\\CORVALEN\\VELMORA2\\INFO",
                                 {"VERSION": version, "INSTALLPATH": PROGRAM_FILES + "\\Corvalen\\Velmora2"})
        self.place_suite(version)

    def suite_starts(self, version):
        return self.suite_log(version).count(SUITE_TOKEN)

    def start_installer(self, timeout=90):
        # Waited for by its exit, not its output: the suite it starts holds that.
        process = self.prefix.start([self.installer()])
        try:
            return process.wait(timeout=timeout)
        finally:
            process.stdout.close()
            process.stderr.close()

    def assert_only_tls(self, server):
        lines = server.access_lines()
        self.assertTrue(lines)
        for line in lines:
            self.assertIn(line.rsplit(" ", 1)[1], TLS_PROTOCOLS, line)


class LifeCycleOverTls(TlsCase):
    def publish(self, site, version, skins):
        suite = suite_release.lay_out_suite(self.work / ("suite-" + version), BUILD_DIR, skins)
        suite_release.release(version, suite, site, suite_release.TEST_KEY, BASE_URL, "TLS")

    def answer(self, caption):
        box = self.display.wait_window(caption, timeout=60)
        self.assertIsNotNone(box, "no message box %s" % caption)
        self.display.press(box, "Return")
        wait_until(lambda: box not in self.display.find_windows(only_visible=False), 10)

    def test_install_update_and_removal_each_go_over_tls_and_are_reported(self):
        server = self.nginx(certificates.server)
        self.publish(server.site, "2.01", "first skins")
        server.start()
        self.assertEqual(InstallerRun(self).start().finish_fresh_install(), 0)
        self.assertIn(SUITE_TOKEN, self.wait_for_suite_log("2.01", self.user_root()))
        self.assertEqual(self.prefix.registry()[UNINSTALL_KEY]["URLInfoAbout"], BASE_URL + "/")  # ends the suite

        self.publish(server.site, "2.02", "second skins")
        run = InstallerRun(self, program=self.user_root_windows() + "\\Corvalen\\Velmora2\\2.01\\BIN\\InitVL2.exe")
        self.assertEqual(run.start(wait_window=False).wait_ended_watching_windows(150), (0, []))
        self.assertIn(SUITE_TOKEN, self.wait_for_suite_log("2.02", self.user_root()))

        removal = self.prefix.start([build_file("tests/run_uninstall_entry.exe")])
        self.answer("Velmora2삭제")
        self.answer("알림")
        self.assertEqual(removal.wait(timeout=30), 0)
        self.assertFalse((self.user_root() / "Corvalen").exists())

        reports = wait_until(lambda: [line.split("jaehuid=")[1] for line in server.report_lines()]
                             if len(server.report_lines()) >= 3 else None, 10)
        self.assertEqual([marker[:8] for marker in reports or []], ["VL2B2.01", "VL2U2.02", "VL2BDEL2"], reports)
        served = server.served()
        self.assertEqual(sorted({path for path, _, _ in served}), sorted([
            MANIFEST_PATH, PACKAGE_PATH % "2.01", "/velmora2/files/2.02.list", PACKAGE_PATH % "2.02",
            nginx_server.REPORT_PATH]))
        # The update fetched only what changed, over TLS as well: the file list, then
        # ranges of the package.
        self.assertEqual({status for path, status, _ in served if path == PACKAGE_PATH % "2.02"}, {206})
        self.assert_only_tls(server)


class RefusedOverTls(TlsCase):
    def test_a_refused_certificate_or_a_step_down_to_http_starts_the_installed_suite_and_fetches_nothing(self):
        self.installed("2.00")
        signed = manifest_for("2.01", package())
        plain = self.python_server(PLAIN_PORT)
        plain.manifest(signed)
        moved = "/velmora2/update/moved.inf"

        def nginx_with(certificate, name):
            def serve():
                server = self.nginx(certificate, name)
                (server.site / MANIFEST_PATH.lstrip("/")).write_text(signed, encoding="cp949")
                server.start()
                return server
            return serve

        def python_with(**routes):
            def serve():
                server = self.python_server(tls=certificates.server)
                for path, route in routes.items():
                    server.serve(path, route)
                return server
            return serve

        cases = [  # what, how it is served, what that server is asked for (None: nginx, nothing at all)
            ("a certificate for another name", nginx_with(certificates.other_name, "other-name"), None),
            ("a certificate from an authority the prefix does not trust",
             nginx_with(certificates.unknown_authority, "unknown-authority"), None),
            ("an expired certificate", nginx_with(certificates.expired, "expired"), None),
            ("the manifest sent on to plain HTTP",
             python_with(**{MANIFEST_PATH: Route(b"", status=302,
                                                 headers={"Location": PLAIN_BASE_URL + MANIFEST_PATH})}),
             [MANIFEST_PATH]),
            ("a manifest that names its package in plain HTTP",
             python_with(**{MANIFEST_PATH: Route(signed.replace(BASE_URL, PLAIN_BASE_URL))}), [MANIFEST_PATH]),
            # Not refused: a redirect within https is followed, and the manifest there
            # is read and acted on; its package is missing, so the update gives up.
            ("the manifest moved within https",
             python_with(**{MANIFEST_PATH: Route(b"", status=301, headers={"Location": moved}),
                            moved: Route(signed)}), [MANIFEST_PATH, moved, PACKAGE_PATH % "2.01"]),
        ]
        for starts, (what, serve, asked) in enumerate(cases, 1):
            server = serve()
            self.assertEqual(self.start_installer(), 0, what)
            self.assertTrue(wait_until(lambda: self.suite_starts("2.00") == starts, 20), what)
            if asked is None:
                self.assertEqual(server.access_lines(), [], what)
            else:
                self.assertEqual([path.split("?")[0] for path in server.requests], asked, what)
            self.stop(server)
            self.prefix.kill()  # each start finds the suite not running, as after a log-on
        self.assertEqual(plain.requests, [])
        self.assertFalse((self.prefix.program_files() / "Corvalen" / "Velmora2" / "2.01" / "BIN" / "Cubelet.exe")
                         .exists())
        self.assertEqual(self.prefix.registry()[INFO_KEY]["VERSION"], "2.00")

    def test_a_package_sent_on_to_plain_http_is_not_installed(self):
        self.installed("2.00")
        package_bytes = package()
        server = self.python_server(tls=certificates.server)
        server.manifest(manifest_for("2.01", package_bytes))
        server.serve(PACKAGE_PATH % "2.01", Route(b"", status=302,
                                                  headers={"Location": PLAIN_BASE_URL + PACKAGE_PATH % "2.01"}))
        # The download follows redirects itself and refuses a step down: the plain
        # server is never asked.
        plain = self.python_server(PLAIN_PORT)
        plain.serve(PACKAGE_PATH % "2.01", Route(package_bytes))
        self.assertEqual(self.start_installer(150), 0)
        self.assertTrue(wait_until(lambda: self.suite_starts("2.00") == 1, 20))
        self.assertEqual(server.requests_for(PACKAGE_PATH % "2.01"), [PACKAGE_PATH % "2.01"])
        self.assertEqual(plain.requests_for(PACKAGE_PATH % "2.01"), [])
        self.assertFalse((self.prefix.program_files() / "Corvalen" / "Velmora2" / "2.01").exists())
        self.assertEqual(self.prefix.registry()[INFO_KEY]["VERSION"], "2.00")

    def test_a_first_start_against_a_refused_certificate_says_the_server_cannot_be_reached(self):
        server = self.nginx(certificates.unknown_authority)
        (server.site / MANIFEST_PATH.lstrip("/")).write_text(manifest_for("2.01", package()), encoding="cp949")
        server.start()
        process = self.prefix.start([self.installer()])
        box = self.display.wait_window("Velmora 2.0 설치", timeout=60)
        self.assertIsNotNone(box, "no message box")
        self.display.screenshot(self.artefact("png"))
        self.display.press(box, "Return")
        self.assertEqual(process.wait(timeout=30), 0)
        self.assertEqual(server.access_lines(), [])
        self.assertFalse((self.prefix.program_files() / "Corvalen").exists())
        self.assertFalse((self.user_root() / "Corvalen").exists())


if __name__ == "__main__":
    unittest.main()
