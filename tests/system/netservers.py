"""Servers for the download engine's system tests: HTTP (with ranges,
authentication and faults), HTTPS, a forward proxy and FTP, all on
127.0.0.1, started and stopped by the tests themselves.

    from netservers import HttpServer, ProxyServer, FtpServer, make_certificates

    with HttpServer() as http:
        http.route("/setup.exe", body=b"x" * 5000)                 # 200, or 206 for "Range: bytes=N-"
        http.route("/big.bin", size=1 << 30)                       # generated body, see pattern_md5()
        http.route("/auth.bin", body=b"data", auth=("ann", "pw"))  # 401 + 'Basic realm="Files"' until sent
        http.route("/cut.bin", body=data, cut_after=1000, cut_times=1)  # first answer breaks off
        http.route("/slow.bin", body=data, stall_after=100)        # holds until http.release()
        url = http.url("/setup.exe")            # http://127.0.0.1:PORT/setup.exe
        ... run the engine ...
        assert http.requests[-1].headers["Range"] == "bytes=1000-"

    certs = make_certificates()                 # cached under build/certs
    machine.trust_certificate(certs.ca_der)
    with HttpServer(tls=certs.server) as https:  # https://localhost:PORT/...

    with ProxyServer(auth=("proxy", "secret")) as proxy:   # 407 until Proxy-Authorization
        machine.set_system_proxy(proxy.address)

    with FtpServer(folder, user=("ann", "pw")) as ftp:     # anonymous read-only too
        url = ftp.url("/file.bin")              # ftp://127.0.0.1:PORT/file.bin

A route's options can be changed between runs (`http.routes[path].honour_range
= False`). Every request is recorded in `.requests`, oldest first. Unknown
paths answer 404. Answers close the connection unless the server was made
with keep_alive=True and the request asked for it.

What Wine 8's WinINet makes of them (seen with a small WinINet client):
- a cut, by reset or by close, reads as the end of the data, without an
  error (no 12030 or 12031), in synchronous and asynchronous mode alike;
- a stalled answer is waited for without a time limit (2.5 min seen);
- WinINet answers a 401 itself once user name and password are set, but
  not when the WWW-Authenticate value is 1024 characters or longer: the
  request is then sent again without credentials. Header values longer
  than about 4077 characters reach HttpQueryInfoW cut short;
- certificates: unknown CA 12057, self-signed 12045, wrong name (also a
  URL naming 127.0.0.1) 12038, expired 12037;
- FTP goes direct even when a system proxy is set; HTTPS through the
  proxy uses CONNECT; requests sent again after a 401 or 407 say HTTP/1.1.
"""
import base64
import fcntl
import hashlib
import random
import select
import shutil
import socket
import ssl
import struct
import subprocess
import sys
import tempfile
import threading
import time
from dataclasses import dataclass, field
from pathlib import Path
from typing import Optional
from urllib.parse import urlsplit

REPO = Path(__file__).resolve().parents[2]

# Generated bodies repeat a block of pseudo-random bytes whose length is a
# prime: a transfer that resumes at a wrong offset, drops or repeats a
# block of any round size cannot come out with the right bytes.
PATTERN_PERIOD = 65521
_PATTERN = random.Random(20240611).randbytes(PATTERN_PERIOD)
_PATTERN3 = _PATTERN * 3
BLOCK_SIZE = 65536


def pattern_bytes(start, length):
    """Bytes [start, start + length) of a generated body."""
    out = bytearray()
    while length > 0:
        n = min(length, 2 * PATTERN_PERIOD)
        at = start % PATTERN_PERIOD
        out += _PATTERN3[at:at + n]
        start += n
        length -= n
    return bytes(out)


def pattern_md5(size):
    """MD5 (hex) of a generated body of `size` bytes, without holding it."""
    digest = hashlib.md5()
    whole = _PATTERN * 16
    done = 0
    while done + len(whole) <= size:
        digest.update(whole)
        done += len(whole)
    digest.update(pattern_bytes(done, size - done))
    return digest.hexdigest()


def file_matches_pattern(path, size=None):
    """Whether a file holds exactly a generated body (of `size` bytes, when
    given), compared block by block."""
    path = Path(path)
    actual = path.stat().st_size
    if size is not None and actual != size:
        return False
    with path.open("rb") as f:
        at = 0
        while True:
            block = f.read(1 << 20)
            if not block:
                return True
            if block != pattern_bytes(at, len(block)):
                return False
            at += len(block)


class Headers(dict):
    """Header fields by name, any case; the original spelling is kept in
    `items()` and the order of arrival in `lines`."""

    def __init__(self):
        super().__init__()
        self.lines = []

    def add(self, name, value):
        self.lines.append((name, value))
        super().__setitem__(name.lower(), value)

    def __getitem__(self, name):
        return super().__getitem__(name.lower())

    def __contains__(self, name):
        return super().__contains__(name.lower())

    def get(self, name, default=None):
        return super().get(name.lower(), default)

    def items(self):
        return list(self.lines)


@dataclass
class Request:
    method: str
    target: str          # as sent: a path, or an absolute URI through a proxy
    version: str         # "HTTP/1.0", "HTTP/1.1"
    headers: Headers
    request_line: str
    connection: int      # the same number for requests on one connection
    tls: bool = False

    @property
    def path(self):
        """The path and query, also of an absolute URI."""
        if "://" in self.target:
            parts = urlsplit(self.target)
            return (parts.path or "/") + (f"?{parts.query}" if parts.query else "")
        return self.target

    def range_start(self):
        """N of "Range: bytes=N-", or None."""
        wanted = _parse_range(self.headers.get("Range"))
        return wanted[0] if wanted else None


def _parse_range(value):
    """(first, last or None) of a single "bytes=first-[last]" range."""
    if not value:
        return None
    unit, _, wanted = value.strip().partition("=")
    if unit.strip().lower() != "bytes" or "," in wanted:
        return None
    first, dash, last = wanted.strip().partition("-")
    if not dash or not first.strip().isdigit():
        return None
    if last.strip() and not last.strip().isdigit():
        return None
    return int(first), (int(last) if last.strip() else None)


class _Reader:
    """Lines from a socket, with what was read past them kept for later.
    Not a makefile(): that would keep the socket open after close(), and a
    cut connection must really end at once."""

    def __init__(self, sock):
        self.sock = sock
        self.buffer = b""

    def readline(self, limit):
        while True:
            end = self.buffer.find(b"\n")
            if end >= 0 or len(self.buffer) > limit:
                end = end + 1 if end >= 0 else len(self.buffer)
                line, self.buffer = self.buffer[:end], self.buffer[end:]
                return line
            data = self.sock.recv(65536)
            if not data:
                line, self.buffer = self.buffer, b""
                return line
            self.buffer += data

    def take(self):
        data, self.buffer = self.buffer, b""
        return data


def _read_line(reader, limit):
    line = reader.readline(limit)
    if not line:
        raise _Closed()
    if len(line) > limit:
        raise ValueError("header line too long")
    return line.decode("latin-1").rstrip("\r\n")


def _read_head(reader, limit=1 << 20):
    """(request line, Headers), or None at the end of the connection."""
    try:
        line = _read_line(reader, limit)
        while line == "":  # tolerated between requests
            line = _read_line(reader, limit)
    except (_Closed, ConnectionResetError):
        return None
    headers = Headers()
    while True:
        text = _read_line(reader, limit)
        if text == "":
            return line, headers
        name, _, value = text.partition(":")
        headers.add(name.strip(), value.strip())


def _basic_matches(header, auth):
    """Whether an Authorization-style header carries Basic credentials equal
    to auth = (user, password); always true without auth."""
    if not auth:
        return True
    scheme, _, value = (header or "").partition(" ")
    if scheme.lower() != "basic":
        return False
    try:
        given = base64.b64decode(value.strip(), validate=True).decode("latin-1")
    except ValueError:
        return False
    return given == f"{auth[0]}:{auth[1]}"


def _send_simple(conn, status, body, keep, extra=()):
    """A whole answer with a plain-text body of known length."""
    head = [f"HTTP/1.1 {status} {REASONS.get(status, 'Status')}", "Content-Type: text/plain",
            f"Content-Length: {len(body)}", *extra, "Connection: " + ("Keep-Alive" if keep else "close")]
    conn.sendall(("\r\n".join(head) + "\r\n\r\n").encode("latin-1") + body)


class _Closed(Exception):
    """The peer went away, or the server is closing."""


def _abort(sock):
    """Closes with a reset, as a server that crashes or a cut cable does."""
    try:
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    except OSError:
        pass
    try:
        sock.close()
    except OSError:
        pass


def _close(sock):
    try:
        sock.shutdown(socket.SHUT_RDWR)
    except OSError:
        pass
    try:
        sock.close()
    except OSError:
        pass


REASONS = {200: "OK", 206: "Partial Content", 301: "Moved Permanently", 302: "Found", 304: "Not Modified",
           400: "Bad Request", 401: "Unauthorized", 403: "Forbidden", 404: "Not Found", 407:
           "Proxy Authentication Required", 410: "Gone", 416: "Requested Range Not Satisfiable",
           500: "Internal Server Error", 502: "Bad Gateway", 503: "Service Unavailable"}


class _TcpServer:
    """A listening socket on 127.0.0.1 with one thread per connection."""

    def __init__(self, tls=None):
        self._context = None
        if tls:
            certfile, keyfile = tls
            self._context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            self._context.load_cert_chain(str(certfile), str(keyfile))
        self._listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self._listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self._listener.bind(("127.0.0.1", 0))
        self._listener.listen(64)
        self.port = self._listener.getsockname()[1]
        self._closing = threading.Event()
        self._lock = threading.Lock()
        self._connections = set()
        self._threads = []
        self._count = 0
        self._accepter = threading.Thread(target=self._accept_loop, daemon=True)
        self._accepter.start()

    def _accept_loop(self):
        while not self._closing.is_set():
            try:
                ready, _, _ = select.select([self._listener], [], [], 0.1)
                if not ready:
                    continue
                sock, _ = self._listener.accept()
            except OSError:
                return
            sock.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
            with self._lock:
                if self._closing.is_set():
                    _close(sock)
                    return
                self._count += 1
                number = self._count
                self._connections.add(sock)
                thread = threading.Thread(target=self._serve, args=(sock, number), daemon=True)
                self._threads.append(thread)
            thread.start()

    def _serve(self, sock, number):
        conn = sock
        try:
            if self._context:
                sock.settimeout(30)
                conn = self._context.wrap_socket(sock, server_side=True)
                conn.settimeout(None)
                with self._lock:
                    self._connections.add(conn)
            self.handle(conn, number)
        except (OSError, ValueError, _Closed, ssl.SSLError):
            pass  # the client gave up, or the server is closing
        finally:
            _close(conn)
            with self._lock:
                self._connections.discard(sock)
                self._connections.discard(conn)

    def handle(self, conn, number):
        raise NotImplementedError

    @property
    def closing(self):
        return self._closing.is_set()

    def close(self):
        self._closing.set()
        self._closed_extra()
        self._accepter.join(timeout=5)
        self._listener.close()
        with self._lock:
            connections = list(self._connections)
        for conn in connections:
            _close(conn)
        for thread in list(self._threads):
            thread.join(timeout=5)

    def _closed_extra(self):
        pass

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


@dataclass
class Route:
    """What the server answers for one path. See HttpServer.route."""
    body: bytes = b""
    size: Optional[int] = None        # a generated body of this size instead of `body`
    status: int = 200
    headers: dict = field(default_factory=dict)
    honour_range: bool = True
    chunked: bool = False
    send_length: bool = True
    announce_length: Optional[int] = None
    auth: Optional[tuple] = None
    challenge: str = 'Basic realm="Files"'
    unauthorized_body: bytes = b"Authorization required"
    range_error_body: bytes = b"Requested range not satisfiable"
    cut_after: Optional[int] = None
    cut_times: Optional[int] = None   # None: every answer is cut
    cut_mode: str = "reset"           # "reset" (RST) or "close" (an orderly FIN)
    stall_after: Optional[int] = None
    stall_times: Optional[int] = None
    block_size: int = BLOCK_SIZE
    block_delay: float = 0.0          # seconds between blocks: a slow server
    served: int = 0                   # answers given with a body, for cut_times and stall_times

    @property
    def length(self):
        return self.size if self.size is not None else len(self.body)

    def data(self, start, length):
        if self.size is not None:
            return pattern_bytes(start, length)
        return self.body[start:start + length]


class HttpServer(_TcpServer):
    """HTTP (or, with tls=(certfile, keyfile), HTTPS) on 127.0.0.1, a random
    port. URLs name 127.0.0.1, or localhost with TLS, the name the test
    certificates carry."""

    def __init__(self, tls=None, keep_alive=False):
        self.routes = {}
        self.requests = []
        self.keep_alive = keep_alive
        self._release = threading.Event()
        self._stalled = threading.Semaphore(0)
        self._arrived = threading.Condition()
        super().__init__(tls)

    def url(self, path="/", host=None):
        scheme = "https" if self._context else "http"
        host = host or ("localhost" if self._context else "127.0.0.1")
        return f"{scheme}://{host}:{self.port}{path}"

    def route(self, path, body=b"", **options):
        """Serves `path` (with its query, if any, exactly as requested):

        body / size          the file: bytes, or a generated body of `size`
                             bytes (pattern_bytes, pattern_md5)
        status               of an answer without a range (200)
        headers              extra header fields {name: value}
        honour_range         "Range: bytes=N-" gets 206 and bytes N.. (True)
                             or 200 and the whole body (False); a range at
                             or after the end gets 416 with range_error_body
        chunked              Transfer-Encoding: chunked, no Content-Length
        send_length          False: no Content-Length; the end of the
                             connection ends the body
        announce_length      the Content-Length (of the whole file) to
                             announce instead of the real one; the real
                             body is sent, then the connection closed
        auth, challenge      (user, password) for Basic; without them the
                             answer is 401 with WWW-Authenticate: challenge
                             and unauthorized_body
        cut_after, cut_times send that many body bytes of an answer, then
                             break the connection (cut_mode "reset": RST,
                             "close": FIN); only the first cut_times
                             answers with a body when given
        stall_after, stall_times
                             send that many body bytes, then hold the
                             connection until release() (then the rest
                             follows) or close()
        block_size, block_delay
                             how the body is written: blocks of this size,
                             with a pause between them
        """
        route = Route(body=body, **options)
        self.routes[path] = route
        return route

    def release(self):
        """Lets every stalled answer, and any later one, go on."""
        self._release.set()

    def wait_stalled(self, timeout=30):
        """Waits until an answer has stalled; True if one did."""
        return self._stalled.acquire(timeout=timeout)

    def wait_requests(self, count, timeout=30):
        """Waits until at least `count` requests have arrived."""
        with self._arrived:
            return self._arrived.wait_for(lambda: len(self.requests) >= count, timeout)

    def _closed_extra(self):
        self._release.set()

    # Answering -----------------------------------------------------------
    def handle(self, conn, number):
        reader = _Reader(conn)
        while not self.closing:
            head = _read_head(reader)
            if head is None:
                return
            line, headers = head
            parts = line.split()
            if len(parts) != 3:
                self._simple(conn, 400, b"Bad request line", False)
                return
            request = Request(parts[0], parts[1], parts[2], headers, line, number, self._context is not None)
            with self._arrived:
                self.requests.append(request)
                self._arrived.notify_all()
            if not self._answer(conn, request):
                return

    def _wants_keep_alive(self, request):
        if not self.keep_alive:
            return False
        connection = request.headers.get("Connection", "").lower()
        if request.version == "HTTP/1.1":
            return "close" not in connection
        return "keep-alive" in connection

    def _simple(self, conn, status, body, keep, extra=()):
        _send_simple(conn, status, body, keep, extra)
        return keep

    def _authorized(self, route, request):
        return _basic_matches(request.headers.get("Authorization"), route.auth)

    def _answer(self, conn, request):
        """Writes one answer; False when the connection is to end."""
        keep = self._wants_keep_alive(request)
        route = self.routes.get(request.path)
        if route is None:
            return self._simple(conn, 404, b"Not found", keep)
        if not self._authorized(route, request):
            return self._simple(conn, 401, route.unauthorized_body, keep,
                                [f"WWW-Authenticate: {route.challenge}"])

        total = route.announce_length if route.announce_length is not None else route.length
        status, start, end = route.status, 0, total
        content_range = None
        wanted = _parse_range(request.headers.get("Range"))
        if wanted and route.honour_range and route.status == 200:
            first, last = wanted
            if first >= total:
                return self._simple(conn, 416, route.range_error_body, keep, [f"Content-Range: bytes */{total}"])
            end = min(total, last + 1) if last is not None else total
            status, start = 206, first
            content_range = f"bytes {first}-{end - 1}/{total}"

        # What is really there to send of [start, end).
        send_end = min(end, route.length)
        to_send = max(0, send_end - start)
        head = [f"HTTP/1.1 {status} {REASONS.get(status, 'Status')}", "Content-Type: application/octet-stream"]
        if content_range:
            head.append(f"Content-Range: {content_range}")
        if route.chunked:
            head.append("Transfer-Encoding: chunked")
        elif route.send_length:
            head.append(f"Content-Length: {end - start}")
        head += [f"{name}: {value}" for name, value in route.headers.items()]

        index = route.served
        route.served += 1
        cut = route.cut_after if route.cut_after is not None and (
            route.cut_times is None or index < route.cut_times) else None
        stall = route.stall_after if route.stall_after is not None and (
            route.stall_times is None or index < route.stall_times) else None
        # The body's end must be known to the client for the connection to
        # stay open after it.
        keep = keep and cut is None and (route.chunked or route.send_length) and send_end == end
        head.append("Connection: " + ("Keep-Alive" if keep else "close"))
        conn.sendall(("\r\n".join(head) + "\r\n\r\n").encode("latin-1"))
        if request.method == "HEAD":
            return keep

        sent = 0
        while True:
            if stall is not None and sent >= stall:
                stall = None
                self._stalled.release()
                self._release.wait()
                if self.closing:
                    raise _Closed()
            if cut is not None and sent >= cut:
                if route.cut_mode == "close":
                    _close(conn)
                else:
                    _abort(conn)
                raise _Closed()
            if sent >= to_send:
                break
            n = min(route.block_size, to_send - sent)
            if stall is not None:
                n = min(n, stall - sent)
            if cut is not None:
                n = min(n, cut - sent)
            block = route.data(start + sent, n)
            if route.chunked:
                conn.sendall(b"%x\r\n" % len(block) + block + b"\r\n")
            else:
                conn.sendall(block)
            sent += n
            if route.block_delay:
                time.sleep(route.block_delay)
        if route.chunked:
            conn.sendall(b"0\r\n\r\n")
        return keep


class ProxyServer(_TcpServer):
    """A forward HTTP proxy on 127.0.0.1: absolute-URI requests and CONNECT,
    to servers on this machine only. With `auth`, every request needs
    "Proxy-Authorization: Basic" for (user, password); others get 407 with
    "Proxy-Authenticate: Basic realm=..."."""

    def __init__(self, auth=None, realm="Proxy"):
        self.auth = auth
        self.challenge = f'Basic realm="{realm}"'
        self.requests = []
        super().__init__()

    @property
    def address(self):
        return f"127.0.0.1:{self.port}"

    def _authorized(self, request):
        return _basic_matches(request.headers.get("Proxy-Authorization"), self.auth)

    def _reply(self, conn, status, body, extra=()):
        _send_simple(conn, status, body, False, extra)

    def handle(self, conn, number):
        reader = _Reader(conn)
        head = _read_head(reader)
        if head is None:
            return
        line, headers = head
        parts = line.split()
        if len(parts) != 3:
            self._reply(conn, 400, b"Bad request line")
            return
        request = Request(parts[0], parts[1], parts[2], headers, line, number)
        self.requests.append(request)
        if not self._authorized(request):
            self._reply(conn, 407, b"Proxy authentication required", [f"Proxy-Authenticate: {self.challenge}"])
            return
        if request.method == "CONNECT":
            host, _, port = request.target.rpartition(":")
            upstream = self._connect(host, port)
            if upstream is None:
                self._reply(conn, 502, b"Cannot reach the server")
                return
            try:
                conn.sendall(b"HTTP/1.1 200 Connection established\r\n\r\n")
                self._relay(conn, upstream, reader.take())
            finally:
                _close(upstream)
            return
        target = urlsplit(request.target)
        if target.scheme != "http" or not target.hostname:
            self._reply(conn, 400, b"Only absolute http URIs")
            return
        upstream = self._connect(target.hostname, target.port or 80)
        if upstream is None:
            self._reply(conn, 502, b"Cannot reach the server")
            return
        try:
            lines = [f"{request.method} {request.path} {request.version}"]
            lines += [f"{name}: {value}" for name, value in headers.items()
                      if name.lower() not in ("proxy-authorization", "proxy-connection", "connection")]
            lines.append("Connection: close")
            upstream.sendall(("\r\n".join(lines) + "\r\n\r\n").encode("latin-1"))
            self._relay(conn, upstream, reader.take())
        finally:
            _close(upstream)

    def _connect(self, host, port):
        if host.strip("[]") not in ("127.0.0.1", "localhost"):
            return None  # nothing leaves this machine
        try:
            return socket.create_connection(("127.0.0.1", int(port)), timeout=10)
        except (OSError, ValueError):
            return None

    def _relay(self, conn, upstream, pending):
        """Copies both ways until one side ends; a reset from the server is
        passed on as a reset. `pending`: what the client sent already."""
        upstream.settimeout(None)
        if pending:
            upstream.sendall(pending)
        pair = {conn: upstream, upstream: conn}
        while not self.closing:
            ready, _, _ = select.select(list(pair), [], [], 0.2)
            for source in ready:
                try:
                    data = source.recv(BLOCK_SIZE)
                except ConnectionResetError:
                    _abort(pair[source])
                    raise _Closed()
                if not data:
                    return
                pair[source].sendall(data)


class FtpServer:
    """pyftpdlib on 127.0.0.1, a random port, passive mode: `folder` read-only
    for anonymous users and for the account `user` = (name, password).
    `cut(path, after)` makes downloads of that file end after `after` bytes
    while listings still show its full size."""

    def __init__(self, folder, user=None, anonymous=True):
        sys.path.append("/usr/lib/python3/dist-packages")
        from pyftpdlib.authorizers import DummyAuthorizer
        from pyftpdlib.filesystems import AbstractedFS
        from pyftpdlib.handlers import FTPHandler
        from pyftpdlib.servers import FTPServer
        import logging
        # Its own logging would print every command on stderr.
        quiet = logging.getLogger("pyftpdlib")
        quiet.setLevel(logging.WARNING)
        if not quiet.handlers:
            quiet.addHandler(logging.NullHandler())

        self.folder = Path(folder)
        self.cuts = {}
        authorizer = DummyAuthorizer()
        if anonymous:
            authorizer.add_anonymous(str(self.folder), perm="elr")
        if user:
            authorizer.add_user(user[0], user[1], str(self.folder), perm="elr")
        cuts = self.cuts

        class ShortFile:
            def __init__(self, file, left):
                self._file = file
                self._left = left
                self.name = file.name
                self.closed = False

            def read(self, n=-1):
                if self._left <= 0:
                    return b""
                data = self._file.read(self._left if n < 0 else min(n, self._left))
                self._left -= len(data)
                return data

            def close(self):
                self.closed = True
                self._file.close()

        class FileSystem(AbstractedFS):
            def open(self, filename, mode):
                file = super().open(filename, mode)
                after = cuts.get(self.fs2ftp(filename))
                return ShortFile(file, after) if after is not None and "r" in mode else file

        class Handler(FTPHandler):
            abstracted_fs = FileSystem
            passive_ports = None
            masquerade_address = None
            banner = "ready"
            # A refused login is answered at once, not after three seconds.
            auth_failed_timeout = 0.05

        Handler.authorizer = authorizer
        self._server = FTPServer(("127.0.0.1", 0), Handler)
        self.port = self._server.address[1]
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._loop, daemon=True)
        self._thread.start()

    def _loop(self):
        try:
            while not self._stop.is_set():
                self._server.ioloop.loop(0.05, blocking=False)
        finally:
            self._server.close_all()

    def cut(self, path, after):
        self.cuts[path] = after

    def url(self, path="/", user=None, password=None):
        login = ""
        if user is not None:
            login = user + (f":{password}" if password is not None else "") + "@"
        return f"ftp://{login}127.0.0.1:{self.port}{path}"

    def close(self):
        self._stop.set()
        self._thread.join(timeout=10)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


@dataclass
class Certificates:
    ca_pem: Path
    ca_der: Path
    server: tuple       # (cert, key): DNS name localhost, signed by the test CA
    untrusted: tuple    # (cert, key): self-signed localhost
    mismatch: tuple     # (cert, key): signed by the test CA for another name
    expired: tuple      # (cert, key): localhost, by the test CA, expired


def _openssl(folder, *args):
    subprocess.run(["openssl", *args], cwd=folder, check=True, capture_output=True, timeout=120)


def make_certificates(folder=None):
    """A test CA and server certificates made with the openssl tool, once:
    later calls find them in `folder` (build/certs)."""
    folder = Path(folder) if folder else REPO / "build" / "certs"
    names = {
        "ca_pem": "ca.pem", "ca_der": "ca.der",
        "server": ("server.pem", "server.key"), "untrusted": ("selfsigned.pem", "selfsigned.key"),
        "mismatch": ("mismatch.pem", "mismatch.key"), "expired": ("expired.pem", "expired.key"),
    }

    def paths():
        return Certificates(**{k: (tuple(folder / n for n in v) if isinstance(v, tuple) else folder / v)
                               for k, v in names.items()})

    done = folder / ".complete"
    if done.exists():
        return paths()
    folder.parent.mkdir(parents=True, exist_ok=True)
    with open(f"{folder}.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if done.exists():
            return paths()
        work = Path(tempfile.mkdtemp(dir=folder.parent, prefix=".certs-"))
        try:
            _make_certificates(work)
            shutil.rmtree(folder, ignore_errors=True)
            work.rename(folder)
        except BaseException:
            shutil.rmtree(work, ignore_errors=True)
            raise
        (folder / ".complete").touch()
    return paths()


def _make_certificates(work):
    days = "3650"
    _openssl(work, "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.pem",
             "-days", days, "-subj", "/CN=Chainer Test CA",
             "-addext", "basicConstraints=critical,CA:TRUE",
             "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    _openssl(work, "x509", "-in", "ca.pem", "-outform", "DER", "-out", "ca.der")

    def leaf(name, dns, expired=False):
        (work / f"{name}.ext").write_text(
            f"subjectAltName=DNS:{dns}\nbasicConstraints=CA:FALSE\n"
            "keyUsage=critical,digitalSignature,keyEncipherment\nextendedKeyUsage=serverAuth\n")
        _openssl(work, "req", "-newkey", "rsa:2048", "-nodes", "-keyout", f"{name}.key", "-out", f"{name}.csr",
                 "-subj", f"/CN={dns}")
        if not expired:
            _openssl(work, "x509", "-req", "-in", f"{name}.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                     "-set_serial", str(random.getrandbits(63)), "-days", days, "-sha256",
                     "-extfile", f"{name}.ext", "-out", f"{name}.pem")
            return
        # The x509 command cannot date a certificate in the past; the ca
        # command can.
        (work / "db").mkdir()
        (work / "db" / "index.txt").write_text("")
        (work / "ca.cnf").write_text(
            "[ca]\ndefault_ca = test\n[test]\ndir = db\ndatabase = db/index.txt\nnew_certs_dir = db\n"
            "serial = db/serial\ndefault_md = sha256\npolicy = any\nunique_subject = no\n"
            "copy_extensions = none\n[any]\ncommonName = supplied\n")
        (work / "db" / "serial").write_text("%016X\n" % random.getrandbits(63))
        _openssl(work, "ca", "-batch", "-config", "ca.cnf", "-cert", "ca.pem", "-keyfile", "ca.key",
                 "-startdate", "20200101000000Z", "-enddate", "20210101000000Z",
                 "-extfile", f"{name}.ext", "-in", f"{name}.csr", "-out", f"{name}.pem", "-notext")

    leaf("server", "localhost")
    leaf("mismatch", "elsewhere.test")
    leaf("expired", "localhost", expired=True)
    _openssl(work, "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "selfsigned.key",
             "-out", "selfsigned.pem", "-days", days, "-subj", "/CN=localhost",
             "-addext", "subjectAltName=DNS:localhost")
    for scratch in list(work.glob("*.csr")) + list(work.glob("*.ext")) + [work / "ca.cnf"]:
        scratch.unlink(missing_ok=True)
    shutil.rmtree(work / "db", ignore_errors=True)
