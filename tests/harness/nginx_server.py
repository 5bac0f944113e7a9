"""The vendor's server as a vendor would run it: nginx serving a SITE folder that
cvztool release laid out, through vendor_server/serve.sh, on 127.0.0.1, stopped
when the test or demo ends. Tests that need a misbehaving server use vendor_server."""
import os
import re
import socket
import subprocess
import tempfile
import time
from pathlib import Path

import vendor_server

SERVE = Path(__file__).resolve().parents[2] / "vendor_server" / "serve.sh"
# nginx's own access line format: the request, its status and the body bytes sent.
ACCESS_LINE = re.compile(r'"GET (\S+) HTTP/[\d.]+" (\d+) (\d+)')
MANIFEST_PATH = vendor_server.MANIFEST_PATH
REPORT_PATH = "/installax.asp"


def site_folder(prefix):
    """A new folder for a site and nginx's run folder. Started by root, serve.sh gives
    nginx's workers the site owner's rights, or "nobody"'s for a site that root owns,
    and a folder from mkdtemp lets only its owner pass."""
    folder = Path(tempfile.mkdtemp(prefix=prefix))
    folder.chmod(0o711)
    return folder


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def slowed_vendor_server(folder, rate):
    """A copy of vendor_server in `folder` that sends packages and file lists at
    `rate` (nginx's limit_rate, "200k"), as a slow line would: for benchmarks."""
    folder = Path(folder)
    folder.mkdir(parents=True, exist_ok=True)
    serve = folder / "serve.sh"
    serve.write_bytes(SERVE.read_bytes())
    template = (SERVE.parent / "nginx.conf.in").read_text()
    files = template.index("location ~ \"^/velmora2/files/")
    opening = template.index("{", files) + 1
    (folder / "nginx.conf.in").write_text(template[:opening] + "\n            limit_rate %s;" % rate +
                                          template[opening:])
    return serve


class NginxServer:
    """`tls`: a tls_certificates.Certificate to serve HTTPS with (on localhost), or None
    for plain HTTP; `serve`: the serve.sh to start."""

    def __init__(self, site, run_folder, port=vendor_server.PORT, serve=SERVE, tls=None):
        self.site, self.run_folder, self.port, self.serve = Path(site), Path(run_folder), port, Path(serve)
        self.tls = tls
        self.process = None

    def __enter__(self):
        self.start()
        return self

    def __exit__(self, *exc):
        self.stop()

    def url(self, path):
        if self.tls:
            return "https://localhost:%d%s" % (self.port, path)
        return "http://127.0.0.1:%d%s" % (self.port, path)

    def start(self, timeout=15):
        tls = ["--tls", str(self.tls.certificate), str(self.tls.key)] if self.tls else []
        self.process = subprocess.Popen(["bash", str(self.serve)] + tls + [str(self.site), str(self.port),
                                                                           str(self.run_folder)],
                                        stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        limit = time.monotonic() + timeout
        while time.monotonic() < limit:
            if self.process.poll() is not None:
                raise RuntimeError("nginx did not start (exit %d): %s%s" % (
                    self.process.returncode, self.process.stdout.read().decode(errors="replace"), self.error_log()))
            try:
                socket.create_connection(("127.0.0.1", self.port), timeout=0.5).close()
                return
            except OSError:
                time.sleep(0.05)
        self.stop()
        raise RuntimeError("nginx did not listen on port %d: %s" % (self.port, self.error_log()))

    def stop(self):
        """Fast stop (SIGTERM), as Ctrl-C gives; the workers end with the master."""
        if self.process and self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(15)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        if self.process:
            self.process.stdout.close()

    def _log(self, name):
        path = self.run_folder / name
        return path.read_text(errors="replace") if path.exists() else ""

    def error_log(self):
        return self._log("error.log")

    def report_lines(self):
        """The vendor's record: one line per install, update or removal report."""
        return self._log("reports.log").splitlines()

    def access_lines(self):
        return self._log("access.log").splitlines()

    def served(self):
        """(path, status, body bytes) of every GET nginx answered, from its access log."""
        found = (ACCESS_LINE.search(line) for line in self.access_lines())
        return [(m.group(1), int(m.group(2)), int(m.group(3))) for m in found if m]

    def bytes_sent(self, path_prefix):
        """Body bytes sent for paths beginning with `path_prefix`."""
        return sum(sent for path, _, sent in self.served() if path.startswith(path_prefix))

    def requests_for(self, path):
        return [line for line in self.access_lines() if ('"GET %s ' % path) in line or ('"GET %s?' % path) in line]
