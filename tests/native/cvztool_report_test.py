"""cvztool report on a report log that nginx wrote, rotated and compressed as
logrotate leaves it: the machines on each version, the chart, and the exit codes."""
import gzip
import os
import shutil
import signal
import subprocess
import sys
import time
import unittest
import urllib.request
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "harness"))
import nginx_server  # noqa: E402
from winenv import wait_until  # noqa: E402

TOOL = os.environ.get("VL2_CVZTOOL", str(Path(__file__).resolve().parents[2] / "build/native/cvztool"))
MACHINE_A, MACHINE_B = "00-0C-29-3A-5B-7C", "00-0C-29-3A-5B-7D"


class ReportFromNginxLogs(unittest.TestCase):
    def setUp(self):
        self.dir = nginx_server.site_folder("cvztool-report-")
        (self.dir / "site").mkdir()
        self.run_folder = self.dir / "run"
        self.server = nginx_server.NginxServer(self.dir / "site", self.run_folder, nginx_server.free_port())
        self.server.start()
        self.addCleanup(shutil.rmtree, self.dir, ignore_errors=True)
        self.addCleanup(self.server.stop)

    def report(self, ma, jaehuid):
        query = "?ma=%s&inip=10.0.0.5&jaehuid=%s" % (ma, jaehuid)
        urllib.request.urlopen(self.server.url(nginx_server.REPORT_PATH + query)).read()

    def logged(self, count):
        # nginx writes a request's log line after sending its answer.
        self.assertTrue(wait_until(lambda: len(self.server.report_lines()) >= count, 5), self.server.report_lines())

    def test_a_rotated_and_compressed_log_and_the_current_one_give_each_machine_its_latest_version(self):
        self.report(MACHINE_A, "VL2B2.01CORVALEN")
        self.report(MACHINE_B, "VL2B2.01CORVALEN")
        self.report("", "VL2B2.01CORVALEN")
        self.logged(3)
        # As logrotate does it: move the log, have nginx reopen its logs, compress the
        # old one (under a name that does not say so).
        log = self.run_folder / "reports.log"
        log.rename(self.run_folder / "reports.log.0")
        os.kill(int((self.run_folder / "nginx.pid").read_text()), signal.SIGUSR1)
        self.assertTrue(wait_until(log.exists, 5))
        rotated = self.run_folder / "reports.log.1"
        rotated.write_bytes(gzip.compress((self.run_folder / "reports.log.0").read_bytes()))
        (self.run_folder / "reports.log.0").unlink()
        time.sleep(1.1)  # a later second than every rotated report
        self.report(MACHINE_A, "VL2U2.02CORVALEN")
        self.report(MACHINE_B, "VL2BDEL2.01")
        self.report(MACHINE_B, "VL2B2.01%ED%95%9C")  # the query as sent: no version cvztool release publishes
        self.logged(3)

        chart = self.dir / "chart.svg"
        result = subprocess.run([TOOL, "report", "--svg", str(chart), str(log), str(rotated)],
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=60)
        self.assertEqual((result.returncode, result.stderr), (0, b""))
        rows = [line.split("\t") for line in result.stdout.decode().splitlines() if not line.startswith("#")]
        self.assertEqual([row[1:] for row in rows if row[0] == "now"], [["other", "1"], ["2.01", "0"], ["2.02", "1"]])
        totals = {}  # installs, updates and removals of each version over the day rows
        for row in rows:
            if row[0] == "day":
                totals[row[1]] = [a + int(b) for a, b in zip(totals.get(row[1], [0, 0, 0]), row[3:])]
        self.assertEqual(totals, {"other": [1, 0, 0], "2.01": [3, 0, 1], "2.02": [0, 1, 0]})
        self.assertEqual(rows[-1], ["skipped 0 lines that are not report lines"])
        self.assertIn('<polyline data-version="2.02"', chart.read_text())

        missing = self.dir / "reports.log.2.gz"
        result = subprocess.run([TOOL, "report", str(missing), str(log)], stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, timeout=60)
        self.assertEqual(result.returncode, 3)
        self.assertIn(str(missing).encode(), result.stderr)
        self.assertIn(b"now\t2.02\t1\n", result.stdout)


if __name__ == "__main__":
    unittest.main()
