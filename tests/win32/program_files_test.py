"""What the shipped program files carry, read from the files as Windows reads them:
version resources whose strings lie under the block the Translation entry names,
in the language of the resources; the application manifest and the header flags
the loader acts on; and Authenticode signatures, made by a build that
signs with a certificate authority made for the run and checked with osslsigncode."""
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "harness"))
import authenticode  # noqa: E402
import pe_resources  # noqa: E402
from vl2test import BUILD_DIR, SOURCE_DIR, build_file  # noqa: E402

PROGRAMS = ("InitVL2.exe", "VL2Del.exe", "Velmora2.exe", "Cubelet.exe")


def build_setting(name, build=BUILD_DIR):
    found = re.search(r"^%s:\w+=(.*)$" % name, (build / "CMakeCache.txt").read_text(), re.M)
    return found.group(1) if found else ""


def run(*command, timeout=120):
    return subprocess.run([str(part) for part in command], stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          text=True, timeout=timeout)


def with_embedded_uninstaller(build, folder):
    """The build's programs, and the Velmora2.exe and VL2Del.exe (last) its installer
    carries, as files of their own."""
    carried = pe_resources.resources((build / "InitVL2.exe").read_bytes())
    embedded = []
    for resource_id, name in ((152, "Velmora2.exe"), (151, "VL2Del.exe")):
        embedded.append(Path(folder) / ("embedded-" + name))
        embedded[-1].write_bytes(next(data for key, data in carried.items()
                                      if key[:2] == (pe_resources.RT_RCDATA, resource_id)))
    return [build / name for name in PROGRAMS] + embedded


def signed_part(program):
    """What Authenticode digests of a program: the same for two that differ only in their signatures."""
    with tempfile.TemporaryDirectory() as folder:
        run("osslsigncode", "extract-data", "-h", "sha256", "-in", program, "-out", Path(folder) / "data")
        return (Path(folder) / "data").read_bytes()


class VersionResources(unittest.TestCase):
    def test_each_program_names_itself_under_the_block_its_translation_names_in_korean(self):
        version = build_setting("CMAKE_PROJECT_VERSION")
        for name, description in (("InitVL2.exe", "Velmora 2.0 설치 및 실행"), ("VL2Del.exe", "Velmora 2.0 제거"),
                                  ("Velmora2.exe", "Velmora 2.0")):
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
            # The dialogs and string tables are Korean, and say so (the stable launcher has none).
            self.assertLessEqual({key[2] for key in pe_resources.resources(data)
                                  if key[0] in (pe_resources.RT_DIALOG, pe_resources.RT_STRING)}, {0x0412}, name)


ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
# Windows takes trustInfo and what is in it in either namespace.
TRUST_NAMESPACES = ("{urn:schemas-microsoft-com:asm.v2}", "{urn:schemas-microsoft-com:asm.v3}")
COMPATIBILITY = "{urn:schemas-microsoft-com:compatibility.v1}"
WINDOWS_SETTINGS = "{http://schemas.microsoft.com/SMI/2005/WindowsSettings}"
# Vista, 7, 8, 8.1, 10 and 11.
SUPPORTED_SYSTEMS = {"{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
                     "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
                     "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}


def what_the_loader_reads(data):
    """What Windows takes from a program before running it, by name: the languages
    of its manifest resource 1, and from that manifest the execution level, the
    systems it names, its Common Controls dependency and its DPI awareness; and the
    terminal-server flag of its header."""
    found = pe_resources.resources(data)
    languages = sorted(key[2] for key in found if key[:2] == (pe_resources.RT_MANIFEST, 1))
    text = found[(pe_resources.RT_MANIFEST, 1, languages[0])] if languages else b"<assembly/>"
    root = ElementTree.fromstring(text)
    levels = [(level.get("level"), level.get("uiAccess")) for namespace in TRUST_NAMESPACES
              for level in root.iter(namespace + "requestedExecutionLevel")]
    dependencies = [(identity.get("name"), identity.get("version"), identity.get("publicKeyToken"))
                    for identity in root.findall("%sdependency/%sdependentAssembly/%sassemblyIdentity"
                                                 % (ASM_V1, ASM_V1, ASM_V1))]
    return {
        "manifest languages": languages,
        "execution levels": levels,
        "supported systems": {system.get("Id").lower() for system in root.iter(COMPATIBILITY + "supportedOS")},
        "dependencies": dependencies,
        "DPI awareness": [setting.text.strip() for setting in root.iter(WINDOWS_SETTINGS + "dpiAware")],
        "terminal-server aware": bool(pe_resources.dll_characteristics(data)
                                      & pe_resources.IMAGE_DLLCHARACTERISTICS_TERMINAL_SERVER_AWARE),
    }


class ProgramManifests(unittest.TestCase):
    def test_each_program_runs_as_its_user_names_the_systems_and_controls_it_wants_and_is_dpi_and_ts_aware(self):
        expected = {
            # Language neutral, where the loader looks for it.
            "manifest languages": [0],
            "execution levels": [("asInvoker", "false")],
            "supported systems": SUPPORTED_SYSTEMS,
            "dependencies": [("Microsoft.Windows.Common-Controls", "6.0.0.0", "6595b64144ccf1df")],
            # System-aware: the setup window's skins and places are pixels.
            "DPI awareness": ["true"],
            "terminal-server aware": True,
        }
        with tempfile.TemporaryDirectory() as folder:
            # The shipped programs, and the uninstaller as the installer drops it.
            for program in (p for p in with_embedded_uninstaller(BUILD_DIR, folder) if p.name != "Cubelet.exe"):
                self.assertEqual(what_the_loader_reads(program.read_bytes()), expected, program.name)


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
