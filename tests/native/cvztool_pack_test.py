"""cvztool pack: what the installer's own reader (cvztool extract) gets back from a
package, whether other tools accept it, and what the packer refuses."""
import os
import resource
import shutil
import subprocess
import tempfile
import time
import unittest
import zipfile
from pathlib import Path

TOOL = os.environ.get("VL2_CVZTOOL", str(Path(__file__).resolve().parents[2] / "build/native/cvztool"))

# A fixed moment in local time (the installer reads entry times as local time).
RELEASE_TIME = time.mktime((2006, 12, 31, 12, 0, 0, 0, 0, -1))
# Korean names, one of them ("짜짝") a code page 949 text whose bytes are valid UTF-8
# as well, which a writer that guesses encodings could mark or re-encode.
KOREAN_FOLDER = "한글 폴더"
KOREAN_FILE = "짜짝.txt"


def run(*args):
    return subprocess.run([TOOL] + [str(a) for a in args], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          timeout=600)


def cp949(relative):
    return os.fsencode(relative).decode("utf-8").encode("cp949")


def make_suite(root, big=False):
    """A stand-in release folder: nested files, an empty file, empty folders, Korean names."""
    (root / "BIN").mkdir(parents=True)
    (root / "BIN" / "Cubelet.exe").write_bytes(b"MZ" + bytes(range(256)) * 300)
    (root / "BIN" / "empty.dll").write_bytes(b"")
    (root / "SKIN" / "LOOKUP").mkdir(parents=True)
    (root / "SKIN" / "LOOKUP" / "face.png").write_bytes(os.urandom(70000))
    (root / "SKIN" / "PINBAR").mkdir()
    (root / "LOG").mkdir()
    (root / KOREAN_FOLDER).mkdir()
    (root / KOREAN_FOLDER / KOREAN_FILE).write_text("설정\n" * 1000, encoding="cp949")
    (root / KOREAN_FOLDER / "빈 파일").write_bytes(b"")
    if big:
        with open(root / "BIN" / "suite.dat", "wb") as f:
            f.write(os.urandom(25 * 1024 * 1024))
            f.write(b"widget settings line\r\n" * (25 * 1024 * 1024 // 22))
    set_times(root, RELEASE_TIME)


def set_times(root, when):
    for path in sorted(root.rglob("*"), reverse=True):
        os.utime(path, (when, when), follow_symlinks=False)


def expected_tree(root):
    """What extraction must give: code page 949 relative name -> bytes, or None for a folder."""
    tree = {}
    for path in root.rglob("*"):
        name = cp949(str(path.relative_to(root)))
        tree[name] = None if path.is_dir() else path.read_bytes()
    return tree


def extracted_tree(folder):
    tree = {}
    base = os.fsencode(str(folder))
    for current, dirs, files in os.walk(base):
        for name in dirs:
            tree[os.path.relpath(os.path.join(current, name), base)] = None
        for name in files:
            with open(os.path.join(current, name), "rb") as f:
                tree[os.path.relpath(os.path.join(current, name), base)] = f.read()
    return tree


class Scratch(unittest.TestCase):
    def setUp(self):
        self.dir = Path(tempfile.mkdtemp(prefix="cvztool-pack-"))
        self.src = self.dir / "suite"
        self.package = self.dir / "2.01.cvz"

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def pack(self, folder=None, package=None):
        return run("pack", folder or self.src, package or self.package)

    def assertPacked(self, result):
        self.assertEqual(result.returncode, 0, result.stderr.decode(errors="replace"))


class WhatTheReaderGetsBack(Scratch):
    def assert_round_trip(self):
        self.assertPacked(self.pack())
        out = self.dir / "out"
        out.mkdir()
        result = run("extract", self.package, out)
        self.assertEqual((result.returncode, result.stdout), (0, b""), result.stderr)
        expected = expected_tree(self.src)
        got = extracted_tree(out)
        self.assertEqual(sorted(got), sorted(expected))
        for name, data in expected.items():
            self.assertEqual(got[name], data, name)

    def test_every_file_and_folder_comes_back_byte_for_byte(self):
        make_suite(self.src)
        self.assert_round_trip()

    def test_a_50_mb_file_comes_back_byte_for_byte(self):
        make_suite(self.src, big=True)
        self.assert_round_trip()
        self.assertLess(self.package.stat().st_size, 40 * 1024 * 1024, "the big file was not deflated")

    def test_files_are_deflated_and_folders_carry_the_folder_attribute(self):
        make_suite(self.src)
        self.assertPacked(self.pack())
        with zipfile.ZipFile(self.package) as z:
            infos = z.infolist()
        self.assertEqual(len(infos), len(expected_tree(self.src)))
        for info in infos:
            self.assertEqual(info.create_system, 0, info.filename)  # attributes meant for Windows
            if info.filename.endswith("/"):
                self.assertEqual(info.external_attr, 0x10, info.filename)
            else:
                self.assertEqual((info.external_attr, info.compress_type), (0x20, zipfile.ZIP_DEFLATED),
                                 info.filename)

    def test_names_are_code_page_949_bytes_without_the_utf8_flag(self):
        make_suite(self.src)
        self.assertPacked(self.pack())
        with zipfile.ZipFile(self.package) as z:
            infos = {i.orig_filename.encode("cp437"): i for i in z.infolist()}
        korean = cp949(KOREAN_FOLDER + "/" + KOREAN_FILE)
        self.assertIn(korean, infos)
        self.assertIn(cp949(KOREAN_FOLDER) + b"/", infos)
        for name, info in infos.items():
            self.assertEqual(info.flag_bits & 0x800, 0, name)
            self.assertEqual(info.extra, b"", name)  # no Unicode-path or time extra fields


class SameFolderSameBytes(Scratch):
    def test_packing_again_later_and_elsewhere_gives_identical_bytes(self):
        make_suite(self.src)
        self.assertPacked(self.pack())
        first = self.package.read_bytes()
        copy = self.dir / "elsewhere" / "copy"
        shutil.copytree(self.src, copy)
        set_times(copy, RELEASE_TIME)
        time.sleep(2.1)  # one step of the two-second MS-DOS clock
        second = self.dir / "again.cvz"
        self.assertPacked(self.pack(copy, second))
        self.assertEqual(second.read_bytes(), first)

    def test_entry_times_are_the_files_times_not_the_packing_time(self):
        make_suite(self.src)
        old = self.src / "BIN" / "old.txt"
        old.write_bytes(b"from before 1980")
        os.utime(old, (0, 0))
        self.assertPacked(self.pack())
        with zipfile.ZipFile(self.package) as z:
            times = {i.filename: i.date_time for i in z.infolist()}
        self.assertEqual(times["BIN/Cubelet.exe"], (2006, 12, 31, 12, 0, 0))
        self.assertEqual(times["SKIN/PINBAR/"], (2006, 12, 31, 12, 0, 0))
        self.assertEqual(times["BIN/old.txt"], (1980, 1, 1, 0, 0, 0))

    def test_entries_come_in_byte_order_with_each_folder_before_its_contents(self):
        make_suite(self.src)
        (self.src / "BIN" / "Z.txt").write_bytes(b"z")
        (self.src / "BIN" / "a.txt").write_bytes(b"a")
        self.assertPacked(self.pack())
        with zipfile.ZipFile(self.package) as z:
            names = [i.filename for i in z.infolist()]
        self.assertEqual(names[:5], ["BIN/", "BIN/Cubelet.exe", "BIN/Z.txt", "BIN/a.txt", "BIN/empty.dll"])
        for index, name in enumerate(names):
            parent = name.rstrip("/").rpartition("/")[0]
            if parent:
                self.assertLess(names.index(parent + "/"), index, name)


class OtherToolsAccept(Scratch):
    def test_unzip_and_bsdtar_read_the_package(self):
        make_suite(self.src)
        self.assertPacked(self.pack())
        tested = subprocess.run(["unzip", "-t", str(self.package)], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.assertEqual(tested.returncode, 0, tested.stdout + tested.stderr)
        self.assertIn(b"No errors detected", tested.stdout)
        listed = subprocess.run(["bsdtar", "-tf", str(self.package)], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.assertEqual((listed.returncode, listed.stderr), (0, b""))
        self.assertEqual(len(listed.stdout.splitlines()), len(expected_tree(self.src)))


class OpenFileLimit(Scratch):
    def test_files_beyond_the_open_file_limit_are_packed_up_to_the_hard_limit_and_refused_beyond_it(self):
        """Every file is held open from the walk until it is written."""
        hard = resource.getrlimit(resource.RLIMIT_NOFILE)[1]
        if hard != resource.RLIM_INFINITY and hard < 1024:
            self.skipTest("the hard limit on open files (%d) leaves no room above 300 files" % hard)
        make_suite(self.src)
        for i in range(300):
            (self.src / "SKIN" / ("%03d.png" % i)).write_bytes(b"%d" % i)
        for limits, code in [((64, hard), 0), ((64, 64), 4)]:
            with self.subTest(limits=limits):
                result = subprocess.run([TOOL, "pack", str(self.src), str(self.package)], stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, timeout=600,
                                        preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_NOFILE, limits))
                self.assertEqual(result.returncode, code, result.stderr)
        self.assertIn(b"holds more files than cvztool may keep open at once", result.stderr)
        self.assertEqual(run("test", self.package).returncode, 0)


class Refusals(Scratch):
    """Each refusal exits 4, names the file, and leaves an earlier package as it was."""

    def assert_refused(self, fragment):
        self.package.write_bytes(b"the package of yesterday")
        result = self.pack()
        self.assertEqual(result.returncode, 4, result.stdout)
        self.assertTrue(result.stderr.startswith(b"pack error: "), result.stderr)
        self.assertIn(os.fsencode(fragment), result.stderr)
        self.assertEqual(self.package.read_bytes(), b"the package of yesterday")
        self.assertEqual(sorted(p.name for p in self.dir.iterdir()), sorted(["suite", self.package.name]))

    def test_a_name_that_code_page_949_cannot_hold_is_refused(self):
        make_suite(self.src)
        (self.src / "SKIN" / "smile 😀.png").write_bytes(b"x")
        self.assert_refused("smile 😀.png")

    def test_a_name_that_is_not_utf8_is_refused(self):
        make_suite(self.src)
        raw = os.path.join(os.fsencode(str(self.src / "BIN")), "설정.ini".encode("cp949"))
        with open(raw, "wb") as f:
            f.write(b"already code page 949 on disk")
        self.assert_refused("not UTF-8")

    def test_names_that_windows_cannot_hold_are_refused(self):
        for bad in ["a:b.txt", "what?.txt", "back\\slash.txt", "dot.", "blank ", "CON", "nul.txt", "Com1.log"]:
            with self.subTest(bad=bad):
                shutil.rmtree(self.src, ignore_errors=True)
                make_suite(self.src)
                (self.src / "BIN" / bad).write_bytes(b"x")
                self.assert_refused(bad)

    def test_two_names_that_differ_only_by_case_are_refused(self):
        make_suite(self.src)
        (self.src / "BIN" / "cubelet.EXE").write_bytes(b"other")
        self.assert_refused("only by case")

    def test_a_symbolic_link_is_refused(self):
        make_suite(self.src)
        os.symlink("/etc/passwd", self.src / "BIN" / "passwd")
        self.assert_refused("symbolic link")

    def test_an_empty_folder_gives_no_package(self):
        self.src.mkdir()
        self.assert_refused("nothing to pack")

    def test_a_package_inside_the_folder_it_packs_is_refused(self):
        make_suite(self.src)
        result = self.pack(self.src, self.src / "BIN" / "self.cvz")
        self.assertEqual(result.returncode, 4)
        self.assertFalse((self.src / "BIN" / "self.cvz").exists())

    def test_a_missing_folder_and_wrong_arguments(self):
        result = self.pack(self.dir / "absent")
        self.assertEqual(result.returncode, 4)
        self.assertIn(b"is not a folder", result.stderr)
        self.assertFalse(self.package.exists())
        self.assertEqual(run("pack", self.src).returncode, 64)


if __name__ == "__main__":
    unittest.main()
