"""Authenticode for tests: a certificate authority made with openssl for the run (in
a folder of the test's, trusted by nothing on the host), a code-signing certificate
and a time-stamp authority under it, osslsigncode to sign and verify with them, and
a small program file to sign."""
import struct
import subprocess
import sys
from pathlib import Path
from types import SimpleNamespace

sys.path.insert(0, str(Path(__file__).resolve().parent))
import tls_certificates  # noqa: E402

CODE_SIGNING = ["keyUsage = critical,digitalSignature", "extendedKeyUsage = codeSigning"]
# osslsigncode's own time-stamp authority takes only a certificate whose one use,
# marked critical, is time stamping.
TIME_STAMPING = ["keyUsage = critical,digitalSignature", "extendedKeyUsage = critical,timeStamping"]


def osslsigncode(*args):
    return subprocess.run(["osslsigncode"] + [str(a) for a in args], stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT, text=True, timeout=120)


class Signer:
    """A publisher's code-signing certificate under an authority of its own, and a
    time-stamp authority under the same root: `authority.root.certificate` is what
    a verifier trusts."""

    def __init__(self, folder, name="VL2 code signing authority"):
        self.authority = tls_certificates.CertificateAuthority(folder, name)
        self.code_signing = self.authority.issue("publisher", host="Corvalen", extensions=CODE_SIGNING)
        self.time_stamping = self.authority.issue("time-stamps", host=name + " time stamps", extensions=TIME_STAMPING)

    def sign(self, program, signed, time_stamps="own"):
        """`program` signed as `signed`, time-stamped by this signer's authority, by
        another signer's (`time_stamps`), or not at all (None)."""
        stamper = (self if time_stamps == "own" else time_stamps).time_stamping if time_stamps else None
        stamp = ["-TSA-certs", stamper.certificate, "-TSA-key", stamper.key] if stamper else []
        result = osslsigncode("sign", "-h", "sha256", "-certs", self.code_signing.certificate,
                              "-key", self.code_signing.key, *stamp, "-in", program, "-out", signed)
        if result.returncode != 0:
            raise RuntimeError("osslsigncode sign failed: " + result.stdout)
        return Path(signed)

    @staticmethod
    def trusted_root(certificate):
        """The root of the authority that issued a code-signing `certificate` made here."""
        return Path(certificate).parent / "authority.pem"

    def build_settings(self):
        """The build's signing settings for this signer, time-stamped by its authority."""
        return ["-DVL2_AUTHENTICODE_CERT=%s" % self.code_signing.certificate,
                "-DVL2_AUTHENTICODE_KEY=%s" % self.code_signing.key,
                "-DVL2_AUTHENTICODE_TSA_CERTS=%s" % self.time_stamping.certificate,
                "-DVL2_AUTHENTICODE_TSA_KEY=%s" % self.time_stamping.key]


def lock_key(key, locked, password="correct horse battery"):
    """`key` encrypted with a password, and the file that holds the password (as a
    person writes one, with a line break): SimpleNamespace(key, file)."""
    password_file = Path(locked).with_suffix(".password")
    password_file.write_text(password + "\n")
    tls_certificates._openssl("pkey", "-in", key, "-aes256", "-passout", "file:%s" % password_file, "-out", locked)
    return SimpleNamespace(key=Path(locked), file=password_file)


def verify(program, trusted):
    """osslsigncode's verdict on `program` against the roots in `trusted`: (verified,
    the digest algorithm, time-stamped and its stamp verified, osslsigncode's text)."""
    result = osslsigncode("verify", "-CAfile", trusted, "-TSA-CAfile", trusted, "-in", program)
    digest = next((line.split(":")[1].strip() for line in result.stdout.splitlines()
                   if line.startswith("Message digest algorithm")), None)
    stamped = "Timestamp Server Signature verification: ok" in result.stdout
    return result.returncode == 0, digest, stamped, result.stdout


def small_program(path, filler=b"\xC3"):
    """A 32-bit program file that osslsigncode signs: headers and one code section
    filled with `filler`."""
    pe = 0x40
    dos = b"MZ" + bytes(0x3A) + struct.pack("<I", pe)
    coff = b"PE\0\0" + struct.pack("<HHIIIHH", 0x14C, 1, 0, 0, 0, 0xE0, 0x0102)
    optional = struct.pack("<HBBIIIIIIIIIHHHHHHIIIIHHIIIIII", 0x10B, 2, 0, 0x200, 0, 0, 0x1000, 0x1000, 0x2000,
                           0x400000, 0x1000, 0x200, 4, 0, 0, 0, 4, 0, 0, 0x2000, 0x200, 0, 2, 0, 0x100000, 0x1000,
                           0x100000, 0x1000, 0, 16) + bytes(16 * 8)
    section = b".text\0\0\0" + struct.pack("<IIIIIIHHI", 0x1000, 0x1000, 0x200, 0x200, 0, 0, 0, 0, 0x60000020)
    headers = dos + coff + optional + section
    code = (filler * 0x200)[:0x200]
    Path(path).write_bytes(headers + bytes(0x200 - len(headers)) + code)
    return Path(path)


if __name__ == "__main__":
    # make-signer FOLDER [NAME]: a signer made in FOLDER, and the build settings that
    # sign with it, one a line.
    if len(sys.argv) < 3 or sys.argv[1] != "make-signer":
        raise SystemExit("usage: authenticode.py make-signer FOLDER [AUTHORITY NAME]")
    print("\n".join(Signer(*sys.argv[2:4]).build_settings()))
