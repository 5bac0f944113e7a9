"""Signs test releases as the vendor's release tool does: the manifest lines
"sha256=" and "signature=" for a version and its package bytes, made with the test
key (tests/keys/, for tests only) through openssl, so that the Windows tests need
no native build."""
import base64
import hashlib
import subprocess
import tempfile
from pathlib import Path

TEST_KEY = Path(__file__).resolve().parents[1] / "keys" / "release-key.TEST-ONLY.pem"


def signed_message(version, digest):
    return b"velmora2-release\n" + version.encode("cp949") + b"\n" + digest.encode("ascii") + b"\n"


def sign(message, key=TEST_KEY):
    # ed25519 signs the message itself in one pass, so openssl wants it as a file.
    with tempfile.TemporaryDirectory() as folder:
        path = Path(folder) / "message"
        path.write_bytes(message)
        return subprocess.run(["openssl", "pkeyutl", "-sign", "-rawin", "-inkey", str(key), "-in", str(path)],
                              stdout=subprocess.PIPE, check=True).stdout


def release_lines(version, package, key=TEST_KEY):
    """The two manifest lines that make `package` the signed release `version`."""
    digest = hashlib.sha256(package).hexdigest()
    signature = base64.b64encode(sign(signed_message(version, digest), key)).decode("ascii")
    return "sha256=%s\nsignature=%s\n" % (digest, signature)


def new_key(path):
    """A key of another vendor, made as a release engineer would with openssl."""
    subprocess.run(["openssl", "genpkey", "-algorithm", "ed25519", "-out", str(path)], check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return path


def signed_list(body, key=TEST_KEY):
    """A file list text: `body` (its lines up to the signature) signed with `key`,
    which signs the SHA-256 of the lines in a message of its own."""
    message = b"velmora2-filelist\n" + hashlib.sha256(body).hexdigest().encode("ascii") + b"\n"
    return body + b"signature=" + base64.b64encode(sign(message, key)) + b"\n"


def list_body(text):
    """The signed part of a list: every line but the last (its signature)."""
    return text[:text.rstrip(b"\n").rfind(b"\n") + 1]

