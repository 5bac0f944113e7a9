"""cvztool over archives made with Python's zipfile: its output and exit codes."""
import os
import shutil
import struct
import subprocess
import tempfile
import unittest
import zipfile
from pathlib import Path

# CZipException causes as cvztool prints them.
DATA_ERROR, BUF_ERROR, CORRUPT_ARCHIVE, CRC_MISMATCH, END_RECORD_MISSING = 6, 8, 10, 11, 18
EXIT_ALL_FINE, EXIT_SKIPPED, EXIT_ARCHIVE_ERROR, EXIT_FILE_ERROR, EXIT_USAGE = 0, 1, 2, 3, 64

TOOL = os.environ.get("VL2_CVZTOOL", str(Path(__file__).resolve().parents[2] / "build/native/cvztool"))


def make_archive(path, entries, method=zipfile.ZIP_DEFLATED):
    with zipfile.ZipFile(path, "w", method) as z:
        for name, data in entries:
            info = zipfile.ZipInfo(name, (2006, 12, 31, 12, 0, 0))
            info.external_attr = 0x10 if name.endswith("/") else 0x20
            info.compress_type = method
            z.writestr(info, data)


def run(*args, user=None):
    command = [TOOL] + [str(a) for a in args]
    if user is not None:
        command = ["setpriv", "--reuid=%d" % user, "--regid=%d" % user, "--clear-groups"] + command
    return subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, timeout=120)


def central_headers(raw):
    """Offsets of the central file headers, from the end record."""
    end = raw.rindex(b"PK\x05\x06")
    count, = struct.unpack_from("<H", raw, end + 10)
    offset, = struct.unpack_from("<I", raw, end + 16)
    headers = []
    for _ in range(count):
        headers.append(offset)
        name, extra, comment = struct.unpack_from("<HHH", raw, offset + 28)
        offset += 46 + name + extra + comment
    return headers


def snapshot(folder, skip):
    """Every item in and under folder but the subtree skip: mode, size, times."""
    items = {}
    for root, dirs, files in os.walk(folder):
        dirs[:] = [d for d in dirs if os.path.join(root, d) != str(skip)]
        for name in [root] + [os.path.join(root, f) for f in files] + [os.path.join(root, d) for d in dirs]:
            st = os.lstat(name)
            items[name] = (st.st_mode, st.st_size, st.st_mtime_ns)
    return items


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

    def test_list_and_test_read_a_package_they_may_not_write(self):
        make_archive(self.archive, [("a.txt", b"a" * 1000), ("d/", b"")])
        self.archive.chmod(0o444)
        self.dir.chmod(0o755)
        # Root may write any file: the tool then runs as a user who may not.
        user = 65534 if os.geteuid() == 0 else None
        listed = run("list", self.archive, user=user)
        self.assertEqual((listed.returncode, listed.stderr), (EXIT_ALL_FINE, ""))
        self.assertEqual(len(listed.stdout.splitlines()), 2)
        tested = run("test", self.archive, user=user)
        self.assertEqual((tested.returncode, tested.stderr), (EXIT_ALL_FINE, ""))

    def test_usage_errors_exit_64(self):
        self.assertEqual(run("list").returncode, EXIT_USAGE)
        self.assertEqual(run("unpack", self.archive, self.dir).returncode, EXIT_USAGE)


class HostilePackages(unittest.TestCase):
    """Packages crafted as an attacker would, through the tool: the exit code, which
    entries extracted or were skipped, and nothing changed above the target."""

    def setUp(self):
        self.dir = Path(tempfile.mkdtemp(prefix="cvztool-hostile-"))
        self.archive = self.dir / "2.01.cvz"
        # Two levels above the target are watched; the package lies beside them.
        self.watched = self.dir / "watched"
        self.out = self.watched / "above" / "out"
        self.out.mkdir(parents=True)
        self.before = snapshot(self.watched, self.out)

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def extract(self):
        return run("extract", self.archive, self.out)

    def assert_nothing_above_changed(self):
        self.assertEqual(snapshot(self.watched, self.out), self.before)

    def test_a_stored_entry_with_more_compressed_than_uncompressed_bytes_ends(self):
        for recorded, actual in ((0, 20000), (65535, 100000)):
            make_archive(self.archive, [("victim.bin", os.urandom(actual)), ("after.txt", b"after")],
                         zipfile.ZIP_STORED)
            raw = bytearray(self.archive.read_bytes())
            struct.pack_into("<I", raw, 22, recorded)
            struct.pack_into("<I", raw, central_headers(raw)[0] + 24, recorded)
            self.archive.write_bytes(bytes(raw))
            for command in ("extract", "test"):
                result = run(command, self.archive, self.out) if command == "extract" else run(command, self.archive)
                self.assertEqual((result.returncode, result.stderr),
                                 (EXIT_ARCHIVE_ERROR, "archive error: cause %d\n" % CRC_MISMATCH))
            self.assertFalse((self.out / "victim.bin").exists())
        self.assert_nothing_above_changed()

    def test_a_zero_byte_in_a_folder_name_leaves_the_folder_above_alone(self):
        make_archive(self.archive, [("..@/", b""), ("kept.txt", b"kept")], zipfile.ZIP_STORED)
        raw = bytearray(self.archive.read_bytes())
        for header in central_headers(raw):
            name_length, = struct.unpack_from("<H", raw, header + 28)
            if raw[header + 46:header + 46 + name_length] == b"..@/":
                raw[header + 46 + 2] = 0
                struct.pack_into("<I", raw, header + 38, 0x11)  # read-only folder
        raw = raw.replace(b"..@/", b"..\0/")
        self.archive.write_bytes(bytes(raw))
        result = self.extract()
        self.assertEqual((result.returncode, result.stdout), (EXIT_SKIPPED, "skipped\t0\t..\n"))
        self.assertEqual((self.out / "kept.txt").read_bytes(), b"kept")
        self.assert_nothing_above_changed()

    def test_central_records_sharing_one_local_entry_are_refused(self):
        make_archive(self.archive, [("payload.bin", os.urandom(10000))], zipfile.ZIP_STORED)
        raw = self.archive.read_bytes()
        start = central_headers(raw)[0]
        end = raw.rindex(b"PK\x05\x06")
        record = raw[start:end]
        tail = bytearray(raw[end:])
        struct.pack_into("<HHI", tail, 8, 100, 100, 100 * len(record))
        self.archive.write_bytes(raw[:start] + record * 100 + bytes(tail))
        result = self.extract()
        self.assertEqual((result.returncode, result.stderr),
                         (EXIT_ARCHIVE_ERROR, "archive error: cause %d\n" % CORRUPT_ARCHIVE))
        self.assertEqual(list(self.out.iterdir()), [])
        self.assert_nothing_above_changed()

    def test_device_names_are_skipped_and_the_other_entries_extract(self):
        devices = ["CON", "NUL.txt", "sub/aux.h", "COM1", "lpt1.log"]
        make_archive(self.archive, [(name, b"device") for name in devices] + [("console.txt", b"file")])
        result = self.extract()
        self.assertEqual(result.returncode, EXIT_SKIPPED)
        self.assertEqual(result.stdout, "".join("skipped\t%d\t%s\n" % (i, name.replace("/", "\\"))
                                                for i, name in enumerate(devices)))
        self.assertEqual(sorted(p.name for p in self.out.iterdir()), ["console.txt"])
        self.assert_nothing_above_changed()

    def test_an_over_long_component_skips_only_its_entry(self):
        long_name = "dir/" + "n" * 300 + ".txt"
        make_archive(self.archive, [(long_name, b"x"), ("dir/short.txt", b"short")])
        result = self.extract()
        self.assertEqual((result.returncode, result.stdout),
                         (EXIT_SKIPPED, "skipped\t0\t%s\n" % long_name.replace("/", "\\")))
        self.assertEqual((self.out / "dir" / "short.txt").read_bytes(), b"short")

    def test_a_name_ending_with_a_separator_is_a_folder_without_the_attribute(self):
        make_archive(self.archive, [("data/", b""), ("data/file.txt", b"inside")])
        raw = bytearray(self.archive.read_bytes())
        struct.pack_into("<I", raw, central_headers(raw)[0] + 38, 0x20)
        self.archive.write_bytes(bytes(raw))
        result = self.extract()
        self.assertEqual((result.returncode, result.stdout, result.stderr), (EXIT_ALL_FINE, "", ""))
        self.assertTrue((self.out / "data").is_dir())
        self.assertEqual((self.out / "data" / "file.txt").read_bytes(), b"inside")

    def test_a_utf8_name_is_split_at_its_separators(self):
        # zipfile flags non-ASCII names as UTF-8 (bit 11).
        make_archive(self.archive, [("한/글.txt", b"hangul")])
        result = self.extract()
        self.assertEqual((result.returncode, result.stdout, result.stderr), (EXIT_ALL_FINE, "", ""))
        self.assertEqual((self.out / "한" / "글.txt").read_bytes(), b"hangul")


if __name__ == "__main__":
    unittest.main()
