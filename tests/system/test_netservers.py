"""The test servers themselves, checked from Linux with the standard
library's clients: the download engine's tests read their results as the
engine's behaviour, so a server that answered wrongly would pass its fault
on to them. No Wine here."""
import base64
import ftplib
import hashlib
import http.client
import io
import socket
import ssl
import threading

import pytest

from netservers import (PATTERN_PERIOD, FtpServer, HttpServer, ProxyServer, file_matches_pattern, make_certificates,
                        pattern_bytes, pattern_md5)

BODY = pattern_bytes(0, 5000)
BIG_CHALLENGE = 'Basic realm="' + "r" * 100_000 + '"'


def basic(user, password):
    return "Basic " + base64.b64encode(f"{user}:{password}".encode()).decode()


def get(server, path, headers=None, host="127.0.0.1", port=None):
    conn = http.client.HTTPConnection(host, port or server.port, timeout=10)
    try:
        conn.request("GET", path, headers=headers or {})
        answer = conn.getresponse()
        return answer.status, dict(answer.getheaders()), answer.read()
    finally:
        conn.close()


def raw_exchange(port, path):
    """Sends one request and reads until the server ends the connection:
    (bytes received, "eof" or "reset")."""
    with socket.create_connection(("127.0.0.1", port), timeout=10) as sock:
        sock.sendall(f"GET {path} HTTP/1.0\r\nHost: x\r\n\r\n".encode())
        data = b""
        while True:
            try:
                chunk = sock.recv(65536)
            except ConnectionResetError:
                return data, "reset"
            if not chunk:
                return data, "eof"
            data += chunk


HTTP_CASES = [
    # route options, request headers, status, body, header fields expected
    ({}, {}, 200, BODY, {"Content-Length": "5000"}),
    ({}, {"Range": "bytes=1000-"}, 206, BODY[1000:],
     {"Content-Length": "4000", "Content-Range": "bytes 1000-4999/5000"}),
    ({"honour_range": False}, {"Range": "bytes=1000-"}, 200, BODY, {"Content-Length": "5000"}),
    ({}, {"Range": "bytes=5000-"}, 416, b"Requested range not satisfiable", {"Content-Range": "bytes */5000"}),
    ({"range_error_body": b"whole file"}, {"Range": "bytes=9000-"}, 416, b"whole file", {}),
    ({"status": 500}, {"Range": "bytes=10-"}, 500, BODY, {"Content-Length": "5000"}),
    ({"status": 302, "headers": {"Location": "/elsewhere"}}, {}, 302, BODY, {"Location": "/elsewhere"}),
    ({"chunked": True}, {}, 200, BODY, {"Transfer-Encoding": "chunked"}),
    ({"auth": ("ann", "pw"), "challenge": 'Digest qop="auth", realm="Files"'}, {}, 401, b"Authorization required",
     {"WWW-Authenticate": 'Digest qop="auth", realm="Files"'}),
    ({"auth": ("ann", "pw")}, {"Authorization": basic("ann", "wrong")}, 401, b"Authorization required",
     {"WWW-Authenticate": 'Basic realm="Files"'}),
    ({"auth": ("ann", "pw")}, {"Authorization": basic("ann", "pw")}, 200, BODY, {}),
    ({"size": 3 * PATTERN_PERIOD}, {"Range": "bytes=70000-"}, 206, pattern_bytes(70000, 3 * PATTERN_PERIOD - 70000),
     {"Content-Range": f"bytes 70000-{3 * PATTERN_PERIOD - 1}/{3 * PATTERN_PERIOD}"}),
]


def test_http_answers_as_routed_and_records_what_was_asked():
    with HttpServer() as server:
        for number, (options, headers, status, body, fields) in enumerate(HTTP_CASES):
            server.route(f"/f{number}", body=BODY if "size" not in options else b"", **options)
            got_status, got_fields, got_body = get(server, f"/f{number}", headers)
            case = f"case {number}: {options} {headers}"
            assert (got_status, got_body) == (status, body), case
            for name, value in fields.items():
                assert got_fields.get(name) == value, case
            if options.get("chunked"):
                assert "Content-Length" not in got_fields, case
            request = server.requests[-1]
            assert request.method == "GET" and request.path == f"/f{number}", case
            assert all(request.headers[name] == value for name, value in headers.items()), case
        assert get(server, "/unknown")[0] == 404
        # The query is part of what a route names.
        server.route("/q?x=1", body=b"q")
        assert get(server, "/q?x=1")[2] == b"q" and get(server, "/q")[0] == 404
        assert server.requests[-1].headers["host"] == f"127.0.0.1:{server.port}"
        # Longer than http.client reads.
        server.route("/big-challenge", auth=("ann", "pw"), challenge=BIG_CHALLENGE)
        data, _ = raw_exchange(server.port, "/big-challenge")
        assert data.startswith(b"HTTP/1.1 401 ")
        assert f"\r\nWWW-Authenticate: {BIG_CHALLENGE}\r\n".encode() in data


def test_http_length_can_be_left_out_or_overstated():
    with HttpServer() as server:
        server.route("/nolength", body=BODY, send_length=False)
        server.route("/announced", body=b"0123456789", announce_length=4 << 30)
        data, end = raw_exchange(server.port, "/nolength")
        head, _, body = data.partition(b"\r\n\r\n")
        assert (end, body, b"Content-Length" in head) == ("eof", BODY, False)
        data, end = raw_exchange(server.port, "/announced")
        head, _, body = data.partition(b"\r\n\r\n")
        assert (end, body) == ("eof", b"0123456789")
        assert b"Content-Length: 4294967296\r\n" in head


@pytest.mark.parametrize("mode, ending", [("reset", "reset"), ("close", "eof")])
def test_http_cut_ends_the_first_answers_only(mode, ending):
    with HttpServer() as server:
        server.route("/cut", body=BODY, cut_after=1000, cut_times=2, cut_mode=mode)
        for _ in range(2):
            data, end = raw_exchange(server.port, "/cut")
            body = data.partition(b"\r\n\r\n")[2]
            assert end == ending
            # A reset may drop what the client had not read yet.
            assert BODY.startswith(body) and len(body) <= 1000
            if mode == "close":
                assert len(body) == 1000
        data, end = raw_exchange(server.port, "/cut")
        assert (end, data.partition(b"\r\n\r\n")[2]) == ("eof", BODY)


def test_http_stall_holds_the_answer_until_released():
    with HttpServer() as server:
        server.route("/slow", body=BODY, stall_after=100)
        result = {}
        reader = threading.Thread(target=lambda: result.update(answer=raw_exchange(server.port, "/slow")))
        reader.start()
        assert server.wait_stalled(10)
        reader.join(0.5)
        assert reader.is_alive()
        server.release()
        reader.join(10)
        data, end = result["answer"]
        assert (end, data.partition(b"\r\n\r\n")[2]) == ("eof", BODY)


def test_http_stalled_answer_ends_when_the_server_closes():
    server = HttpServer()
    server.route("/slow", body=BODY, stall_after=0)
    result = {}
    reader = threading.Thread(target=lambda: result.update(answer=raw_exchange(server.port, "/slow")))
    reader.start()
    assert server.wait_stalled(10)
    server.close()
    reader.join(10)
    assert not reader.is_alive() and result["answer"][0].partition(b"\r\n\r\n")[2] == b""


def test_http_keeps_the_connection_only_when_asked_to():
    for keep_alive, same in ((True, True), (False, False)):
        with HttpServer(keep_alive=keep_alive) as server:
            server.route("/a", body=b"a")
            conn = http.client.HTTPConnection("127.0.0.1", server.port, timeout=10)
            for _ in range(2):
                conn.request("GET", "/a")
                answer = conn.getresponse()
                assert answer.read() == b"a"
                assert answer.getheader("Connection") == ("Keep-Alive" if keep_alive else "close")
            conn.close()
            assert (server.requests[0].connection == server.requests[1].connection) == same


def test_generated_bodies_and_their_digests_agree():
    for size in (0, 1, PATTERN_PERIOD - 1, PATTERN_PERIOD, 16 * PATTERN_PERIOD + 5, 40 * PATTERN_PERIOD + 3):
        assert pattern_md5(size) == hashlib.md5(pattern_bytes(0, size)).hexdigest(), size
    assert pattern_bytes(PATTERN_PERIOD + 7, 10) == pattern_bytes(7, 10)
    assert pattern_bytes(7, 10) != pattern_bytes(8, 10)


def test_a_file_matches_the_pattern_only_when_it_is_exact(tmp_path):
    path = tmp_path / "f"
    path.write_bytes(pattern_bytes(0, 3 << 20))
    assert file_matches_pattern(path, 3 << 20)
    assert not file_matches_pattern(path, (3 << 20) + 1)
    path.write_bytes(pattern_bytes(0, 51200) + pattern_bytes(51200 * 2, 51200))
    assert not file_matches_pattern(path)


def test_certificates_are_valid_only_where_meant():
    certs = make_certificates()
    expected = {"server": None, "untrusted": "self-signed", "mismatch": "Hostname mismatch", "expired": "expired"}
    for name, error in expected.items():
        with HttpServer(tls=getattr(certs, name)) as server:
            server.route("/x", body=b"secret")
            context = ssl.create_default_context(cafile=str(certs.ca_pem))
            conn = http.client.HTTPSConnection("localhost", server.port, context=context, timeout=10)
            try:
                if error is None:
                    conn.request("GET", "/x")
                    assert conn.getresponse().read() == b"secret"
                    assert server.url("/x") == f"https://localhost:{server.port}/x"
                else:
                    with pytest.raises(ssl.SSLCertVerificationError, match=error):
                        conn.request("GET", "/x")
            finally:
                conn.close()
    assert certs.ca_der.read_bytes() == ssl.PEM_cert_to_DER_cert(certs.ca_pem.read_text())


def test_proxy_demands_credentials_then_forwards():
    with HttpServer() as origin, ProxyServer(auth=("proxy", "secret")) as proxy:
        origin.route("/a", body=b"through")
        url = origin.url("/a")
        status, fields, _ = get(proxy, url)
        assert status == 407 and fields["Proxy-Authenticate"] == 'Basic realm="Proxy"'
        assert get(proxy, url, {"Proxy-Authorization": basic("proxy", "wrong")})[0] == 407
        assert not origin.requests
        status, _, body = get(proxy, url, {"Proxy-Authorization": basic("proxy", "secret"), "Range": "bytes=2-"})
        assert (status, body) == (206, b"rough")
        assert [r.target for r in proxy.requests] == [url] * 3
        forwarded = origin.requests[-1]
        assert forwarded.target == "/a" and forwarded.headers["Range"] == "bytes=2-"
        assert "Proxy-Authorization" not in forwarded.headers
        # Nothing leaves the machine.
        assert get(proxy, "http://example.com/", {"Proxy-Authorization": basic("proxy", "secret")})[0] == 502


def test_proxy_passes_a_cut_on_as_a_reset():
    with HttpServer() as origin, ProxyServer() as proxy:
        origin.route("/cut", body=BODY, cut_after=1000)
        data, end = raw_exchange(proxy.port, origin.url("/cut"))
        assert end == "reset"


def test_proxy_tunnels_tls():
    certs = make_certificates()
    with HttpServer(tls=certs.server) as origin, ProxyServer(auth=("proxy", "secret")) as proxy:
        origin.route("/x", body=b"tunnelled")
        context = ssl.create_default_context(cafile=str(certs.ca_pem))
        conn = http.client.HTTPSConnection("127.0.0.1", proxy.port, context=context, timeout=10)
        conn.set_tunnel("localhost", origin.port, headers={"Proxy-Authorization": basic("proxy", "secret")})
        try:
            conn.request("GET", "/x")
            assert conn.getresponse().read() == b"tunnelled"
        finally:
            conn.close()
        assert proxy.requests[-1].request_line == f"CONNECT localhost:{origin.port} HTTP/1.0"


def fetch_ftp(server, path, user=None, password=None):
    ftp = ftplib.FTP()
    ftp.connect("127.0.0.1", server.port, timeout=10)
    try:
        if user:
            ftp.login(user, password)
        else:
            ftp.login()
        ftp.voidcmd("TYPE I")
        size = ftp.size(path)
        data = bytearray()
        ftp.retrbinary(f"RETR {path}", data.extend)
        return size, bytes(data)
    finally:
        ftp.close()


def test_ftp_serves_anonymous_and_named_users_read_only(tmp_path):
    (tmp_path / "sub").mkdir()
    (tmp_path / "sub" / "f.bin").write_bytes(BODY)
    with FtpServer(tmp_path, user=("ann", "pw")) as server:
        assert server.url("/sub/f.bin") == f"ftp://127.0.0.1:{server.port}/sub/f.bin"
        assert server.url("/f", "ann", "pw") == f"ftp://ann:pw@127.0.0.1:{server.port}/f"
        assert fetch_ftp(server, "/sub/f.bin") == (5000, BODY)
        assert fetch_ftp(server, "/sub/f.bin", "ann", "pw") == (5000, BODY)
        with pytest.raises(ftplib.error_perm, match="530"):
            fetch_ftp(server, "/sub/f.bin", "ann", "wrong")
        ftp = ftplib.FTP()
        ftp.connect("127.0.0.1", server.port, timeout=10)
        ftp.login()
        with pytest.raises(ftplib.error_perm, match="550"):
            ftp.storbinary("STOR /new.bin", io.BytesIO(b"x"))
        ftp.close()
        server.cut("/sub/f.bin", 1000)
        assert fetch_ftp(server, "/sub/f.bin") == (5000, BODY[:1000])
    with FtpServer(tmp_path, user=("ann", "pw"), anonymous=False) as server:
        with pytest.raises(ftplib.error_perm, match="530"):
            fetch_ftp(server, "/sub/f.bin")
