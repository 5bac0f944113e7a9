"""The vendor's servers for tests: a real HTTP (or HTTPS) server on 127.0.0.1 that
serves the update manifest and the package, records every request, and can
misbehave on purpose (answer in pieces, omit Content-Length, accept and never
answer, send the request elsewhere)."""
import http.server
import os
import socketserver
import ssl
import threading
import time

# The programs under test are built against one vendor address (the build setting
# VL2_FILE_SERVER, which CMake hands to the tests); every test server listens there.
SERVER = os.environ.get("VL2_FILE_SERVER", "127.0.0.1:18480")
SCHEME, _, AUTHORITY = SERVER.rstrip("/").rpartition("://")
SCHEME = SCHEME.lower() or "http"
HOST, _, _port = AUTHORITY.partition(":")
PORT = int(_port) if _port else (443 if SCHEME == "https" else 80)
BASE_URL = "%s://%s" % (SCHEME, AUTHORITY)
MANIFEST_PATH = "/velmora2/update/update.inf"


class Route:
    def __init__(self, body=b"", status=200, content_length=True, pieces=1, piece_delay=0.0,
                 silent=False, content_type="application/octet-stream", delay=0.0, drop_after=None,
                 stall_after=None, headers=None):
        self.body = body if isinstance(body, bytes) else body.encode("cp949")
        self.status = status
        self.content_length = content_length
        self.pieces = pieces
        self.piece_delay = piece_delay
        self.silent = silent
        self.content_type = content_type
        self.delay = delay
        # After this many bytes of the body: close the connection (drop) or send
        # nothing more while keeping it open (stall).
        self.drop_after = drop_after
        self.stall_after = stall_after
        # Further response headers, {name: value}.
        self.headers = headers or {}


class _Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


class VendorServer:
    """`tls`: a tls_certificates.Certificate to answer HTTPS with, or None for HTTP."""

    def __init__(self, port=PORT, tls=None):
        self.routes = {}
        self.requests = []
        # (path, {header name in lower case: value}) of every request, in order.
        self.request_headers = []
        self.stopping = threading.Event()
        owner = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def log_message(self, *args):
                pass

            def do_GET(self):
                owner.requests.append(self.path)
                owner.request_headers.append((self.path, {k.lower(): v for k, v in self.headers.items()}))
                route = owner.routes.get(self.path.split("?")[0])
                if route is None:
                    route = owner.routes.get(self.path)
                if route is None:
                    body = b"not found"
                    self.send_response(404)
                    self.send_header("Content-Length", str(len(body)))
                    self.end_headers()
                    self.wfile.write(body)
                    return
                if route.silent:
                    owner.stopping.wait(600)
                    return
                if route.delay:
                    time.sleep(route.delay)
                self.send_response(route.status)
                self.send_header("Content-Type", route.content_type)
                for name, value in route.headers.items():
                    self.send_header(name, value)
                if route.content_length:
                    self.send_header("Content-Length", str(len(route.body)))
                else:
                    self.send_header("Connection", "close")
                self.end_headers()
                self.wfile.flush()
                cut = route.drop_after if route.drop_after is not None else route.stall_after
                if cut is not None:
                    self.wfile.write(route.body[:cut])
                    self.wfile.flush()
                    if route.stall_after is not None:
                        owner.stopping.wait(600)
                    self.close_connection = True
                    return
                size = max(1, -(-len(route.body) // max(1, route.pieces)))
                for start in range(0, len(route.body), size):
                    try:
                        self.wfile.write(route.body[start:start + size])
                        self.wfile.flush()
                    except (BrokenPipeError, ConnectionResetError):
                        return
                    if route.piece_delay:
                        time.sleep(route.piece_delay)
                if not route.content_length:
                    self.close_connection = True

        self.server = _Server(("127.0.0.1", port), Handler)
        if tls:
            context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            context.load_cert_chain(str(tls.certificate), str(tls.key))
            self.server.socket = context.wrap_socket(self.server.socket, server_side=True)
        self.thread = threading.Thread(target=self.server.serve_forever, daemon=True)

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.stop()

    def stop(self):
        self.stopping.set()
        self.server.shutdown()
        self.server.server_close()

    def serve(self, path, route):
        self.routes[path] = route

    def manifest(self, text, **kwargs):
        self.serve(MANIFEST_PATH, Route(text, content_type="text/plain", **kwargs))

    def requests_for(self, path):
        return [r for r in self.requests if r.split("?")[0] == path]
