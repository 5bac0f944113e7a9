"""cvztool over archives made with Python's zipfile: its output and exit codes."""
import os
import subprocess
import tempfile
import unittest
import zipfile
from pathlib import Path

# CZipException causes as cvztool prints them.
DATA_ERROR, BUF_ERROR, CRC_MISMATCH, END_RECORD_MISSING = 6, 8, 11, 18
EXIT_ALL_FINE, EXIT_SKIPPED, EXIT_ARCHIVE_ERROR, EXIT_FILE_ERROR, EXIT_USAGE = 0, 1, 2, 3, 64

TOOL = os.environ.get("VL2_CVZTOOL", str(Path(__file__).resolve().parents[2] / "build/native/cvztool"))


def make_archive(path, entries, method=zipfile.ZIP_DEFLATED):
    with zipfile.ZipFile(path, "w", method) as z:
        for name, data in entries:
            info = zipfile.ZipInfo(name, (2006, 12, 31, 12, 0, 0))
            info.external_attr = 0x10 if name.endswith("/") else 0x20
            info.compress_type = method
            z.writestr(info, data)


def run(*args):
    return subprocess.run([TOOL] + [str(a) for a in args], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          text=True, timeout=120)


class CvzTool(unittest.TestCase):
    def setUp(self):
        self.dir = Path(tempfile.mkdtemp(prefix="cvztool-"))
        self.archive = self.dir / "2.01.cvz"

    def tearDown(self):
        subprocess.run(["rm", "-rf", str(self.dir)])

    def test_list_prints_one_tab_separated_line_per_entry(self):
        entries = [("BIN/Cubelet.exe", b"MZ" + b"\0" * 5000), ("SKIN/", b""), ("readme.txt", b"hello")]
        make_archive(self.archive, entries)
        result = run("list", self.archive)
        self.assertEqual(result.returncode, EXIT_ALL_FINE)
        lines = result.stdout.splitlines()
        with zipfile.ZipFile(self.archive) as z:
            infos = z.infolist()
        self.assertEqual(len(lines), 3)
        for index, (line, info) in enumerate(zip(lines, infos)):
            self.assertEqual(line.split("\t"), [str(index), str(info.compress_type), str(info.compress_size),
                                                str(info.file_size), "%08x" % info.CRC,
                                                info.filename.replace("/", "\\")])

    def test_extract_writes_every_entry_and_exits_0(self):
        make_archive(self.archive, [("BIN/a.txt", b"alpha" * 1000), ("b.txt", b"beta")])
        out = self.dir / "out"
        out.mkdir()
        result = run("extract", self.archive, out)
        self.assertEqual((result.returncode, result.stdout), (EXIT_ALL_FINE, ""))
        self.assertEqual((out / "BIN" / "a.txt").read_bytes(), b"alpha" * 1000)
        self.assertEqual((out / "b.txt").read_bytes(), b"beta")

    def test_refused_entries_are_reported_as_skipped_with_exit_1(self):
        make_archive(self.archive, [("../evil.txt", b"x"), ("good.txt", b"y")])
        out = self.dir / "out"
        out.mkdir()
        result = run("extract", self.archive, out)
        self.assertEqual(result.returncode, EXIT_SKIPPED)
        self.assertEqual(result.stdout, "skipped\t0\t..\\evil.txt\n")
        self.assertFalse((self.dir / "evil.txt").exists())
        self.assertTrue((out / "good.txt").exists())

    def test_corrupt_data_is_an_archive_error_with_its_cause(self):
        data = os.urandom(20000) + b"z" * 20000
        make_archive(self.archive, [("victim.exe", data)])
        raw = bytearray(self.archive.read_bytes())
        raw[30 + len("victim.exe") + 200] ^= 0xFF
        self.archive.write_bytes(bytes(raw))
        out = self.dir / "out"
        out.mkdir()
        result = run("extract", self.archive, out)
        self.assertEqual(result.returncode, EXIT_ARCHIVE_ERROR)
        self.assertIn(result.stderr, ["archive error: cause %d\n" % cause
                                      for cause in (DATA_ERROR, BUF_ERROR, CRC_MISMATCH)])
        self.assertFalse((out / "victim.exe").exists())
        self.assertEqual(run("test", self.archive).returncode, EXIT_ARCHIVE_ERROR)

    def test_not_an_archive_is_end_record_missing_and_a_missing_one_a_file_error(self):
        self.archive.write_bytes(b"<html>not found</html>")
        result = run("list", self.archive)
        self.assertEqual((result.returncode, result.stderr),
                         (EXIT_ARCHIVE_ERROR, "archive error: cause %d\n" % END_RECORD_MISSING))
        self.assertEqual(run("test", self.dir / "absent.cvz").returncode, EXIT_FILE_ERROR)

    def test_test_mode_checks_without_writing(self):
        make_archive(self.archive, [("a.txt", b"a" * 100000), ("d/", b"")])
        before = sorted(self.dir.iterdir())
        result = run("test", self.archive)
        self.assertEqual((result.returncode, result.stdout), (EXIT_ALL_FINE, ""))
        self.assertEqual(sorted(self.dir.iterdir()), before)

    def test_usage_errors_exit_64(self):
        self.assertEqual(run("list").returncode, EXIT_USAGE)
        self.assertEqual(run("unpack", self.archive, self.dir).returncode, EXIT_USAGE)


if __name__ == "__main__":
    unittest.main()
