"""Staged rollouts on a machine whose suite is running: the rollout line decides
whether the launcher updates it, about half of thirty machines take a release at
50%, a machine outside the rollout takes a newer fallback, and a fallback that is
not signed with the built-in key is never installed. Which rule decides what is
tested natively (startup_decision_test); here the program acts on it."""
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "harness"))
import release_signing  # noqa: E402
import setup_flow  # noqa: E402
from setup_flow import PACKAGE_PATH, REPORT_PATH, InstallerRun, manifest_for  # noqa: E402
from update_transaction_test import INFO_KEY, UpdateCase  # noqa: E402
from vendor_server import BASE_URL, Route  # noqa: E402
from vl2test import SUITE_TOKEN  # noqa: E402
from winenv import wait_until  # noqa: E402

INFO_KEY_PATH = "HKCU\\Software\\CORVALEN\\VELMORA2\\INFO"


def fallback_lines(version, release):
    """The fallback lines of `version`, with `release` ("sha256=...\\nsignature=...\\n",
    or "" for none) as its digest and signature lines."""
    lines = "fallback-version=%s\nfallback-date=20070115\nfallback-download=%s%s\n" % (
        version, BASE_URL, PACKAGE_PATH % version)
    return lines + "".join("fallback-" + line + "\n" for line in release.splitlines())


class RolloutCase(UpdateCase):
    def offer(self, version, extra_lines, package=None):
        """Serves the signed release `version` with `extra_lines` after its own lines."""
        package = package if package is not None else setup_flow.package()
        self.server.manifest(manifest_for(version, package) + extra_lines)
        self.server.serve(PACKAGE_PATH % version, Route(package))
        self.server.serve(REPORT_PATH, Route(b"OK", content_type="text/plain"))

    def start_launcher(self):
        run = InstallerRun(self).start(wait_window=False)
        self.assertEqual(run.wait_ended(150), 0)

    def fetched(self, version):
        return len(self.server.requests_for(PACKAGE_PATH % version))

    def assert_updated_to(self, version):
        self.assertTrue(wait_until(lambda: SUITE_TOKEN in self.suite_log(version), 20),
                        "the %s suite was not started" % version)
        markers = [r.split("jaehuid=", 1)[1] for r in self.reports()]
        self.assertTrue(markers and markers[-1].startswith("VL2U" + version), markers)


class RolloutLine(RolloutCase):
    def test_the_rollout_line_decides_whether_the_running_suite_is_updated(self):
        self.installed("2.00")
        # Each row follows the one before on the same machine; a release that is
        # taken becomes the installed one.
        rows = [("2.01", "rollout=0\n", "2.00"), ("2.01", "rollout=fifty\n", "2.00"),
                ("2.01", "rollout=100\n", "2.01"), ("2.02", "", "2.02")]
        for version, line, then_installed in rows:
            installed_before = self.suite_starts("2.00")
            self.offer(version, line)
            self.start_launcher()
            what = "%s with %r" % (version, line)
            if then_installed == "2.00":
                self.assertTrue(wait_until(lambda: self.suite_starts("2.00") == installed_before + 1, 20),
                                "%s: the installed suite was not started" % what)
                self.assertEqual(self.fetched(version), 0, what)
                self.assertNotIn("quit-request", self.suite_log("2.00"), what)
            else:
                self.assert_updated_to(version)
                self.assertEqual(self.fetched(version), 1, what)
        self.assertEqual(self.prefix.registry()[INFO_KEY]["VERSION"], "2.02")


class HalfOfThirtyMachines(RolloutCase):
    def test_about_half_of_thirty_machines_take_a_release_at_50_percent(self):
        self.installed("2.00")
        # The package is not there: a machine that takes the release shows it by
        # asking for the package, and the failed update leaves it as it was for the
        # next id. The update itself is the other tests' concern.
        self.server.manifest(manifest_for("2.01", setup_flow.package()) + "rollout=50\n")
        self.server.serve(PACKAGE_PATH % "2.01", Route(b"gone", status=404))
        ids = ["%032x" % (0x9E3779B97F4A7C15F39CC0605CEDC834 * (i + 1) % (1 << 128)) for i in range(30)]
        taken = []
        for machine_id in ids:
            self.prefix.run(["reg", "add", INFO_KEY_PATH, "/v", "ROLLOUTID", "/d", machine_id, "/f"], check=True)
            fetched_before, started_before = self.fetched("2.01"), self.suite_starts("2.00")
            self.start_launcher()
            took = self.fetched("2.01") > fetched_before
            if not took:
                self.assertTrue(wait_until(lambda: self.suite_starts("2.00") > started_before, 20),
                                "%s neither updated nor started the installed suite" % machine_id)
            taken.append(took)
        self.assertTrue(9 <= sum(taken) <= 21, "%d of 30 machines took the release at 50%%" % sum(taken))
        self.assertNotIn("quit-request", self.suite_log("2.00"))
        registry = self.prefix.registry()[INFO_KEY]
        self.assertEqual(registry["ROLLOUTID"], ids[-1], "the machine's id was not kept")
        self.assertEqual(registry["VERSION"], "2.00")


class Fallbacks(RolloutCase):
    def test_a_machine_outside_the_rollout_updates_to_the_newer_fallback(self):
        self.installed("2.00")
        fallback = setup_flow.package()
        self.offer("2.02", "rollout=0\n" + fallback_lines("2.01", release_signing.release_lines("2.01", fallback)))
        self.server.serve(PACKAGE_PATH % "2.01", Route(fallback))
        self.start_launcher()
        self.assert_updated_to("2.01")
        self.assertIn("quit-request", self.suite_log("2.00"))
        self.assertEqual((self.fetched("2.01"), self.fetched("2.02")), (1, 0))
        self.assertEqual(self.prefix.registry()[INFO_KEY]["VERSION"], "2.01")

    def test_an_unsigned_or_wrongly_signed_fallback_is_never_installed(self):
        self.installed("2.00")
        fallback = setup_flow.package()
        other_key = release_signing.new_key(self.prefix.path / "other-vendor.pem")
        rows = [("unsigned", ""), ("another key", release_signing.release_lines("2.01", fallback, other_key)),
                ("signed for 2.02", release_signing.release_lines("2.02", fallback))]
        for count, (what, release) in enumerate(rows, 2):
            self.offer("2.02", "rollout=0\n" + fallback_lines("2.01", release))
            self.server.serve(PACKAGE_PATH % "2.01", Route(fallback))
            self.start_launcher()
            self.assertTrue(wait_until(lambda: self.suite_starts("2.00") == count, 20), what)
            self.assertEqual((self.fetched("2.01"), self.fetched("2.02")), (0, 0), what)
        self.assertNotIn("quit-request", self.suite_log("2.00"))
        self.assertFalse((self.prefix.program_files() / "Corvalen" / "Velmora2" / "2.01").exists())
        self.assertEqual(self.prefix.registry()[INFO_KEY]["VERSION"], "2.00")


if __name__ == "__main__":
    unittest.main()
