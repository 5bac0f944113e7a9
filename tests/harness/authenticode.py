"""Authenticode for tests: a certificate authority made with openssl for the run (in
a folder of the test's, trusted by nothing on the host), a code-signing certificate
and a time-stamp authority under it, and osslsigncode to sign and verify with them."""
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

