"""cvztool release and rollout from the command line, with a key made by openssl,
served by nginx: what a machine fetches is a manifest whose digest and signature
match the package, and whose rollout changes alone while the release is staged."""
import fcntl
import hashlib
import os
import shutil
import subprocess
import sys
import unittest
import urllib.request
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "harness"))
import nginx_server  # noqa: E402

TOOL = os.environ.get("VL2_CVZTOOL", str(Path(__file__).resolve().parents[2] / "build/native/cvztool"))


def run(*args):
    return subprocess.run([TOOL] + [str(a) for a in args], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          timeout=300)


def fields(manifest_bytes):
    lines = manifest_bytes.decode("cp949").split("\n")
    return dict(line.split("=", 1) for line in lines if "=" in line)


class ReleaseCommand(unittest.TestCase):
    def setUp(self):
        self.dir = nginx_server.site_folder("cvztool-release-")
        self.key = self.dir / "release.pem"
        subprocess.run(["openssl", "genpkey", "-algorithm", "ed25519", "-out", str(self.key)], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.suite = self.dir / "suite"
        (self.suite / "BIN").mkdir(parents=True)
        (self.suite / "BIN" / "Cubelet.exe").write_bytes(b"MZ" + os.urandom(40000))
        (self.suite / "SKIN").mkdir()
        self.site = self.dir / "site"

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def release(self, version, *extra, base_url="http://127.0.0.1:18480"):
        return run("release", "--key", self.key, "--version", version, "--from", self.suite, "--site", self.site,
                   "--base-url", base_url, "--comment", "새 스킨", *extra)

    def test_a_served_release_carries_the_digest_and_signature_of_the_package_it_names(self):
        port = nginx_server.free_port()
        result = self.release("2.01", base_url="http://127.0.0.1:%d/" % port)
        self.assertEqual(result.returncode, 0, result.stderr)
        package = self.site / "velmora2" / "files" / "2.01.cvz"
        self.assertEqual(package.stat().st_mode & 0o044, 0o044 & ~self.umask(), "the web server cannot read it")
        with nginx_server.NginxServer(self.site, self.dir / "run", port) as server:
            manifest = urllib.request.urlopen(server.url(nginx_server.MANIFEST_PATH)).read()
            values = fields(manifest)
            self.assertEqual(values["version"], "2.01")
            self.assertEqual(values["comment"], "새 스킨")
            self.assertEqual(values["download"], "http://127.0.0.1:%d/velmora2/files/2.01.cvz" % port)
            served = urllib.request.urlopen(values["download"]).read()
        self.assertEqual(values["sha256"], hashlib.sha256(served).hexdigest())
        public = run("pubkey", self.key)
        self.assertEqual(public.returncode, 0, public.stderr)
        verified = run("verify", public.stdout.decode().strip(), package, self.site / "velmora2/update/update.inf")
        self.assertEqual(verified.returncode, 0, verified.stdout + verified.stderr)

    def test_an_older_second_release_exits_4_with_the_reason_and_keeps_the_manifest(self):
        self.assertEqual(self.release("2.02").returncode, 0)
        manifest = (self.site / "velmora2/update/update.inf").read_bytes()
        result = self.release("2.01")
        self.assertEqual(result.returncode, 4)
        self.assertIn(b"release refused: version \"2.01\" is not newer than the published \"2.02\"", result.stderr)
        self.assertEqual((self.site / "velmora2/update/update.inf").read_bytes(), manifest)
        self.assertFalse((self.site / "velmora2/files/2.01.cvz").exists())
        self.assertEqual(self.release("2.01", "--allow-older").returncode, 0)
        self.assertEqual(fields((self.site / "velmora2/update/update.inf").read_bytes())["version"], "2.01")

    def test_a_release_while_another_publishes_into_the_site_exits_4_and_changes_nothing(self):
        self.assertEqual(self.release("2.01").returncode, 0)
        before = self.site_contents()
        with open(self.site / ".cvztool.lock", "rb") as held:
            fcntl.flock(held, fcntl.LOCK_EX)  # as a release that is still publishing holds it
            result = self.release("2.02")
        self.assertEqual(result.returncode, 4)
        self.assertTrue(result.stderr.startswith(b"release refused: another cvztool release is publishing into %s "
                                                 % bytes(self.site)), result.stderr)
        self.assertEqual(self.site_contents(), before)
        # The lock file stays: once its holder has ended, however it ended, it stops no one.
        self.assertEqual(self.release("2.02").returncode, 0)

    def test_a_staged_rollout_is_served_by_nginx_as_each_step_leaves_the_manifest(self):
        port = nginx_server.free_port()
        base_url = "http://127.0.0.1:%d" % port
        self.assertEqual(self.release("2.01", base_url=base_url).returncode, 0)
        whole = fields((self.site / "velmora2/update/update.inf").read_bytes())
        result = self.release("2.02", "--rollout", "5", base_url=base_url)
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn(b"to 5% of the machines; the others are offered 2.01", result.stdout)
        with nginx_server.NginxServer(self.site, self.dir / "run", port) as server:
            def served():
                return urllib.request.urlopen(server.url(nginx_server.MANIFEST_PATH)).read()
            partial = served()
            values = fields(partial)
            self.assertEqual((values["version"], values["rollout"]), ("2.02", "5"))
            for key in ("version", "date", "download", "sha256", "signature"):
                self.assertEqual(values["fallback-" + key], whole[key], key)
            fallback_package = urllib.request.urlopen(values["fallback-download"]).read()
            self.assertEqual(hashlib.sha256(fallback_package).hexdigest(), values["fallback-sha256"])

            # Widened and halted: the rollout line alone changes.
            for percentage in ("25", "0"):
                result = run("rollout", self.site, percentage)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(served(), partial.replace(b"rollout=5\n", b"rollout=%s\n" % percentage.encode()))
            # What the command refuses is the function's concern (publishing_tests);
            # here, how it says so.
            result = run("rollout", self.site, "101")
            self.assertEqual(result.returncode, 4)
            self.assertTrue(result.stderr.startswith(b'rollout refused: the rollout "101" is not an integer'),
                            result.stderr)
            self.assertEqual(run("rollout", self.site).returncode, 64)
            self.assertEqual(fields(served())["rollout"], "0")

            # Every machine: the fallback goes.
            result = run("rollout", self.site, "100")
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertIn(b"the fallback 2.01 is no longer offered", result.stdout)
            self.assertEqual(served(), partial[:partial.index(b"rollout=")] + b"rollout=100\n")

    def site_contents(self):
        return {p: p.read_bytes() if p.is_file() else None for p in self.site.rglob("*")}

    def test_missing_or_unknown_options_exit_64(self):
        self.assertEqual(run("release", "--version", "2.01", "--from", self.suite).returncode, 64)
        self.assertEqual(self.release("2.01", "--force").returncode, 64)
        self.assertEqual(self.release("2.01", "--date").returncode, 64)
        self.assertFalse(self.site.exists())

    @staticmethod
    def umask():
        mask = os.umask(0)
        os.umask(mask)
        return mask


if __name__ == "__main__":
    unittest.main()
