"""Certificates for the TLS tests, made with openssl when a test runs and never kept
in the repository: a private certificate authority, the servers it signs (for
localhost, for another name, expired) and a server signed by an authority that no
one trusts. Only a test's own Wine prefix is told to trust the authority; the host's
trust store is never touched. The authority issues certificates for other uses too
(code signing, time stamps: tests/harness/authenticode.py)."""
import datetime
import subprocess
from pathlib import Path

# Wine checks the name the programs ask for, and refuses a certificate for an
# address such as 127.0.0.1: the TLS servers are served as localhost.
HOST = "localhost"


def _openssl(*args):
    result = subprocess.run(["openssl"] + [str(a) for a in args], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            timeout=60)
    if result.returncode != 0:
        raise RuntimeError("openssl %s failed: %s" % (args[0], result.stderr.decode(errors="replace")))
    return result.stdout


def _when(days_from_now):
    moment = datetime.datetime.now(datetime.timezone.utc) + datetime.timedelta(days=days_from_now)
    return moment.strftime("%Y%m%d%H%M%SZ")


class Certificate:
    def __init__(self, certificate, key):
        self.certificate, self.key = Path(certificate), Path(key)


class CertificateAuthority:
    """A certificate authority of its own in `folder`, which signs server certificates."""

    def __init__(self, folder, name):
        self.folder = Path(folder) / name.lower().replace(" ", "-")
        (self.folder / "issued").mkdir(parents=True)
        (self.folder / "index.txt").write_text("")
        self.root = Certificate(self.folder / "authority.pem", self.folder / "authority.key")
        _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", self.root.key, "-out",
                 self.root.certificate, "-days", "30", "-subj", "/CN=%s" % name,
                 "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign")

    def der(self):
        """The authority's certificate in DER, as Windows stores a trusted root."""
        path = self.folder / "authority.der"
        _openssl("x509", "-in", self.root.certificate, "-outform", "DER", "-out", path)
        return path

    def issue(self, stem, host=HOST, valid_from=-1, valid_until=30, extensions=None, key_type=("rsa:2048",)):
        """A server certificate for `host`, valid from and until so many days from now;
        with `extensions` (openssl's configuration lines), a certificate for another
        use, whose subject is `host`."""
        key, request, certificate = (self.folder / ("%s%s" % (stem, ext)) for ext in (".key", ".csr", ".pem"))
        _openssl("req", "-new", "-newkey", *key_type, "-nodes", "-keyout", key, "-subj", "/CN=%s" % host,
                 "-out", request)
        extensions = extensions or ["subjectAltName = DNS:%s" % host, "extendedKeyUsage = serverAuth"]
        config = self.folder / (stem + ".cnf")
        config.write_text("\n".join([
            "[ca]", "default_ca = authority",
            "[authority]",
            "database = %s" % (self.folder / "index.txt"),
            "new_certs_dir = %s" % (self.folder / "issued"),
            "certificate = %s" % self.root.certificate,
            "private_key = %s" % self.root.key,
            "rand_serial = yes", "default_md = sha256", "unique_subject = no",
            "policy = any", "x509_extensions = server",
            "[any]", "commonName = supplied",
            "[server]", "basicConstraints = CA:FALSE"] + extensions + [""]))
        # `openssl ca` rather than `x509 -req`: only it takes a start date, which an
        # expired certificate needs.
        _openssl("ca", "-batch", "-notext", "-config", config, "-startdate", _when(valid_from),
                 "-enddate", _when(valid_until), "-in", request, "-out", certificate)
        return Certificate(certificate, key)


class TestCertificates:
    """Everything the TLS tests serve, made in `folder`: `authority` (to be trusted by
    the prefix), `server` (localhost, valid), `other_name`, `expired`, and
    `unknown_authority` (localhost, signed by an authority no one trusts)."""

    def __init__(self, folder):
        self.authority = CertificateAuthority(folder, "VL2 test authority")
        self.server = self.authority.issue("server")
        self.other_name = self.authority.issue("other-name", host="update.example.com")
        self.expired = self.authority.issue("expired", valid_from=-60, valid_until=-30)
        self.unknown_authority = CertificateAuthority(folder, "VL2 unknown authority").issue("server")


def trust_in_prefix(prefix, authority, helper):
    """Adds `authority` to the trusted roots of a Wine prefix (its current user's
    store) with the `helper` program (tests/trust_root.exe)."""
    result = prefix.run([helper, authority.der()], timeout=60)
    if result.returncode != 0:
        raise RuntimeError("trust_root failed (%d): %s" % (result.returncode,
                                                            (result.stdout + result.stderr).decode(errors="replace")))
