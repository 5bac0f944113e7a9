"""cvztool release and the Authenticode signatures of a release's programs, signed
by osslsigncode under authorities made for the run: a release that requires them
refuses each program that does not verify, naming it, and one that does not warns
of each unsigned program; a program signed again keeps the bytes it was published
with, so that an update leaves it out."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "harness"))
import authenticode  # noqa: E402

TOOL = os.environ.get("VL2_CVZTOOL", str(Path(__file__).resolve().parents[2] / "build/native/cvztool"))


class ProgramSignatures(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = Path(tempfile.mkdtemp(prefix="cvztool-authenticode-"))
        cls.signer = authenticode.Signer(cls.dir / "authorities")
        cls.stranger = authenticode.Signer(cls.dir / "authorities", "Another code signing authority")
        cls.key = cls.dir / "release.pem"
        subprocess.run(["openssl", "genpkey", "-algorithm", "ed25519", "-out", str(cls.key)], check=True)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir, ignore_errors=True)

    def program(self, name, signer="own", filler=b"\xC3", time_stamps="own"):
        unsigned = authenticode.small_program(self.dir / (name + ".unsigned"), filler)
        signer = self.signer if signer == "own" else signer
        return signer.sign(unsigned, self.dir / name, time_stamps) if signer else unsigned

    def release(self, version, program, site, *extra):
        """Releases BIN/Cubelet.exe and BIN/InitVL2.exe (both `program`) and a skin."""
        folder = self.dir / ("%s-%s" % (site.name, version))
        shutil.rmtree(folder, ignore_errors=True)
        (folder / "BIN").mkdir(parents=True)
        (folder / "skin.txt").write_text("skin of " + version)
        for name in ("Cubelet.exe", "InitVL2.exe"):
            shutil.copy(program, folder / "BIN" / name)
        return subprocess.run([TOOL, "release", "--key", str(self.key), "--version", version, "--from", str(folder),
                               "--site", str(site), "--base-url", "http://127.0.0.1:18480", *map(str, extra)],
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, timeout=120)

    def test_a_release_that_requires_signatures_refuses_each_program_that_does_not_verify_naming_it(self):
        good = self.program("good.exe")
        tampered = self.dir / "tampered.exe"
        tampered.write_bytes(good.read_bytes()[:0x210] + b"\x90" + good.read_bytes()[0x211:])
        unsigned = self.program("unsigned.exe", signer=None)
        for program, refusal in [(unsigned, "is a program without an Authenticode signature"),
                                 (self.program("stranger.exe", signer=self.stranger), "unable to get local issuer"),
                                 (tampered, "its digest does not match the file"),
                                 (self.program("stamped.exe", time_stamps=self.stranger), "time stamp does not verify"),
                                 (good, None)]:
            site = self.dir / program.stem
            result = self.release("2.01", program, site,
                                  "--require-authenticode", self.signer.authority.root.certificate)
            self.assertEqual(result.returncode, 4 if refusal else 0, (program.name, result.stderr))
            self.assertEqual((site / "velmora2/update/update.inf").exists(), refusal is None)
            if refusal:
                self.assertTrue(result.stderr.startswith('release refused: "BIN/Cubelet.exe" '), result.stderr)
                self.assertIn(refusal, result.stderr)
        # Not required, each unsigned program is named in a warning of its own.
        result = self.release("2.01", unsigned, self.dir / "warned")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual([line.split()[:2] for line in result.stderr.splitlines()],
                         [["warning:", "BIN/Cubelet.exe"], ["warning:", "BIN/InitVL2.exe"]])

    def test_a_program_signed_again_keeps_its_published_bytes_so_the_update_leaves_it_out(self):
        site = self.dir / "kept"
        first, again = self.program("first.exe"), self.program("again.exe")
        self.assertNotEqual(first.read_bytes(), again.read_bytes())  # signed at another moment
        changed = self.program("changed.exe", filler=b"\x90")
        self.assertEqual(self.release("2.01", first, site).returncode, 0)
        for version, program, published in [
                ("2.02", again, first),  # the same program signed again: only the skin changed
                ("2.03", changed, changed),  # another program
                ("2.04", self.program("other.exe", signer=self.stranger, filler=b"\x90"), None)]:  # another signer
            result = self.release(version, program, site)
            self.assertEqual(result.returncode, 0, result.stderr)
            package = zipfile.ZipFile(site / "velmora2" / "files" / ("%s.cvz" % version))
            for name in ("BIN/Cubelet.exe", "BIN/InitVL2.exe"):
                self.assertEqual(package.read(name), (published or program).read_bytes(), (version, name))
                self.assertEqual("kept %s as" % name in result.stdout, published is first, (version, result.stdout))
            self.assertIn("fetches %d of 4 files" % (1 if published is first else 3), result.stdout, version)


if __name__ == "__main__":
    unittest.main()
