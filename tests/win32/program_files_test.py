"""What the shipped program files carry, read from the files as Windows reads them:
version resources whose strings lie under the block the Translation entry names,
in the language of the resources; and Authenticode signatures, made by a build that
signs with a certificate authority made for the run and checked with osslsigncode."""
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "harness"))
import authenticode  # noqa: E402
import pe_resources  # noqa: E402
from vl2test import BUILD_DIR, SOURCE_DIR, build_file  # noqa: E402

PROGRAMS = ("InitVL2.exe", "VL2Del.exe", "Cubelet.exe")


def build_setting(name, build=BUILD_DIR):
    found = re.search(r"^%s:\w+=(.*)$" % name, (build / "CMakeCache.txt").read_text(), re.M)
    return found.group(1) if found else ""


def run(*command, timeout=120):
    return subprocess.run([str(part) for part in command], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          text=True, timeout=timeout)


def with_embedded_uninstaller(build, folder):
    """The build's programs, and the VL2Del.exe its installer carries as a file of its own."""
    embedded = Path(folder) / "embedded-VL2Del.exe"
    embedded.write_bytes(next(data for key, data in pe_resources.resources((build / "InitVL2.exe").read_bytes()).items()
                              if key[:2] == (pe_resources.RT_RCDATA, 151)))
    return [build / name for name in PROGRAMS] + [embedded]


def signed_part(program):
    """What Authenticode digests of a program: the same for two that differ only in their signatures."""
    with tempfile.TemporaryDirectory() as folder:
        run("osslsigncode", "extract-data", "-h", "sha256", "-in", program, "-out", Path(folder) / "data")
        return (Path(folder) / "data").read_bytes()


class VersionResources(unittest.TestCase):
    def test_each_program_names_itself_under_the_block_its_translation_names_in_korean(self):
        version = build_setting("CMAKE_PROJECT_VERSION")
        for name, description in (("InitVL2.exe", "Velmora 2.0 설치 및 실행"), ("VL2Del.exe", "Velmora 2.0 제거")):
            data = build_file(name).read_bytes()
            language, translations, blocks = pe_resources.version_info(data)
            self.assertEqual((language, translations), (0x0412, [(0x0412, 949)]), name)
            strings = blocks.get("%04x%04x" % translations[0])
            self.assertIsNotNone(strings, "%s: no strings under the translation's block: %s" % (name, list(blocks)))
            self.assertEqual(
                {key: strings.get(key) for key in ("CompanyName", "FileDescription", "FileVersion", "ProductVersion",
                                                   "ProductName", "OriginalFilename")},
                {"CompanyName": "Corvalen", "FileDescription": description, "FileVersion": version,
                 "ProductVersion": version, "ProductName": "Velmora 2.0", "OriginalFilename": name}, name)
            self.assertRegex(strings.get("LegalCopyright", ""), r"^Copyright \(C\) \d{4} Corvalen\.", name)
            # The dialogs and string tables are Korean, and say so.
            self.assertEqual({key[2] for key in pe_resources.resources(data)
                              if key[0] in (pe_resources.RT_DIALOG, pe_resources.RT_STRING)}, {0x0412}, name)


class SignerCheck(unittest.TestCase):
    def test_each_certificate_that_cannot_sign_code_fails_the_configuration_with_its_reason(self):
        folder = Path(tempfile.mkdtemp(prefix="authenticode-signer-"))
        self.addCleanup(shutil.rmtree, folder)
        signer = authenticode.Signer(folder)
        good, issue = signer.code_signing, signer.authority.issue
        expired = issue("expired", "Corvalen", -60, -30, authenticode.CODE_SIGNING)
        elliptic = issue("elliptic", "Corvalen", extensions=authenticode.CODE_SIGNING,
                         key_type=("ec", "-pkeyopt", "ec_paramgen_curve:P-256"))
        locked = authenticode.lock_key(good.key, folder / "locked.key")
        for certificate, key, password, refusal in [
                (good.certificate, good.key, None, None), (good.certificate, locked.key, locked.file, None),
                (good.certificate, locked.key, None, "cannot be read"),
                (signer.time_stamping.certificate, signer.time_stamping.key, None, "has no code-signing extended"),
                (expired.certificate, expired.key, None, "the certificate expired"),
                (elliptic.certificate, elliptic.key, None, "not RSA, and Smart App Control blocks"),
                (good.certificate, signer.time_stamping.key, None, "is not the certificate's key")]:
            result = run("cmake", "-DVL2_AUTHENTICODE_CERT=%s" % certificate, "-DVL2_AUTHENTICODE_KEY=%s" % key,
                         "-DVL2_AUTHENTICODE_PASSWORD_FILE=%s" % (password or ""),
                         "-P", SOURCE_DIR / "cmake" / "check_authenticode_signer.cmake")
            flat = " ".join(result.stdout.split())
            self.assertEqual(result.returncode == 0, refusal is None, (certificate, key, flat))
            if refusal:
                self.assertIn('VL2_AUTHENTICODE_CERT "%s" cannot sign the programs: ' % certificate, flat)
                self.assertIn(refusal, flat)


class SignedBuild(unittest.TestCase):
    """The programs built as the vendor builds them, signed with a key behind a
    password file and time-stamped, by authorities made for this run, in a build tree
    of their own (build/win32/authenticode-test); this build stays unsigned."""

    @classmethod
    def setUpClass(cls):
        if build_setting("VL2_AUTHENTICODE_CERT"):
            raise unittest.SkipTest("this build signs: there is no unsigned build to compare with")
        cls.folder = BUILD_DIR.resolve() / "authenticode-test"
        shutil.rmtree(cls.folder / "authority", ignore_errors=True)
        cls.signer = authenticode.Signer(cls.folder / "authority")
        locked = authenticode.lock_key(cls.signer.code_signing.key, cls.folder / "authority" / "locked.key")
        cls.build = cls.folder / "build"
        same_as_this_build = ["-D%s=%s" % (name, build_setting(name)) for name in (
            "CMAKE_TOOLCHAIN_FILE", "CMAKE_BUILD_TYPE", "VL2_FILE_SERVER", "VL2_REPORT_SERVER", "VL2_SITE_HOST",
            "VL2_RELEASE_PUBLIC_KEY", "VL2_ALLOW_TEST_KEY")]
        for command in (["cmake", "-S", SOURCE_DIR, "-B", cls.build, "-DVL2_HTTPS_TEST_SERVER=", *same_as_this_build,
                         *cls.signer.build_settings(), "-DVL2_AUTHENTICODE_KEY=%s" % locked.key,
                         "-DVL2_AUTHENTICODE_PASSWORD_FILE=%s" % locked.file],
                        ["cmake", "--build", cls.build, "-j2", "--target", "InitVL2", "Cubelet"]):
            result = run(*command, timeout=1200)
            if result.returncode != 0:
                raise AssertionError("%s failed:\n%s" % (" ".join(map(str, command[:2])), result.stdout[-3000:]))

    def test_the_programs_and_the_uninstaller_inside_the_installer_verify_with_sha256_time_stamped(self):
        programs = with_embedded_uninstaller(self.build, self.folder)
        self.assertEqual(programs[-1].read_bytes(), (self.build / "VL2Del.exe").read_bytes())
        for program in programs:
            verified, digest, stamped, text = authenticode.verify(program, self.signer.authority.root.certificate)
            self.assertEqual((verified, digest, stamped), (True, "SHA256", True), "%s:\n%s" % (program.name, text))

    def test_the_unsigned_build_is_unsigned_and_signing_changes_nothing_but_the_signature(self):
        folder = tempfile.mkdtemp(prefix="unsigned-")
        self.addCleanup(shutil.rmtree, folder)
        programs = with_embedded_uninstaller(BUILD_DIR, folder)
        self.assertEqual(programs[-1].read_bytes(), build_file("VL2Del.exe").read_bytes())
        for program in programs:
            self.assertIn("No signature found", authenticode.verify(program, self.signer.authority.root.certificate)[3])
        for name in ("VL2Del.exe", "Cubelet.exe"):
            self.assertEqual(signed_part(self.build / name), signed_part(build_file(name)), name)

    def test_programs_linked_again_to_the_same_bytes_get_the_same_signed_bytes(self):
        before = {name: (self.build / name).read_bytes() for name in PROGRAMS}
        for name in PROGRAMS:
            (self.build / name).unlink()
        result = run("cmake", "--build", self.build, "--target", "InitVL2", "Cubelet", timeout=600)
        self.assertEqual(result.returncode, 0, result.stdout[-3000:])
        self.assertEqual({name: (self.build / name).read_bytes() for name in PROGRAMS}, before)


if __name__ == "__main__":
    unittest.main()
