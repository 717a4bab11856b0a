"""The download engine on its own, driven through tests/fixtures/dltool.cpp
(the product's Downloader with a recording progress sink and credential
store) against real servers on 127.0.0.1 (tests/system/netservers.py)."""
import base64
import json
import os
import signal
import subprocess
import time

import pytest

from netservers import FtpServer, HttpServer, ProxyServer, file_matches_pattern, pattern_bytes

DLERR_NO_FILE_NAME = 0xE0000005
DLERR_CANCELLED = 0xE0000008
DLERR_INCOMPLETE = 0xE000000F
DLERR_PARTIAL_TOO_LARGE = 0xE0000010
DLERR_AUTH_REQUIRED = 0xE0000012
DLERR_NOT_MODIFIED = 0xE0000013
DLERR_FORBIDDEN = 0xE0000016
DLERR_NOT_FOUND = 0xE0000018
ERROR_FILE_NOT_FOUND = 2
ERROR_PATH_NOT_FOUND = 3
ERROR_ACCESS_DENIED = 5
ERROR_DISK_FULL = 112
ERROR_INVALID_PARAMETER = 87
ERROR_INTERNET_INVALID_URL = 12005
ERROR_INTERNET_TIMEOUT = 12002
ERROR_INTERNET_UNRECOGNIZED_SCHEME = 12006
ERROR_INTERNET_NAME_NOT_RESOLVED = 12007
ERROR_INTERNET_LOGIN_FAILURE = 12015
ERROR_INTERNET_CANNOT_CONNECT = 12029
ERROR_INTERNET_INVALID_CA = 12045
ERROR_INTERNET_EXTENDED_ERROR = 12003

TARGET = "C:\\dl\\file.bin"
BASE = "C:\\dl"
BLOCK = 51200


class Download:
    """What one dltool run printed: the calls on the sink and the store, in
    order, and one result line per download."""

    def __init__(self, output):
        lines = [json.loads(line) for line in output.splitlines() if line.strip()]
        self.events = [line for line in lines if "call" in line]
        self.results = [line for line in lines if "result" in line]
        assert self.results, output

    @property
    def result(self):
        return self.results[-1]["result"]

    def calls(self, name):
        return [event for event in self.events if event["call"] == name]

    def names(self):
        return [event["call"] for event in self.events]

    def errors(self):
        return [event["code"] for event in self.calls("ReportItemError")]

    def progress(self):
        return [event["amount"] for event in self.calls("AddItemProgress")]


def dltool_command(machine, url, target, options):
    return [machine.loader, machine.tool("dltool"), url, target, BASE, *options]


def download(machine, url, target=TARGET, *options, timeout=120):
    done = subprocess.run(dltool_command(machine, url, target, options), env=machine.env,
                          stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout)
    assert done.returncode == 0, done
    return Download(done.stdout.decode("utf-8"))


def start_download(machine, url, target=TARGET, *options):
    return subprocess.Popen(dltool_command(machine, url, target, options), env=machine.env,
                            stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)


def finish_download(child, timeout=120):
    output, _ = child.communicate(timeout=timeout)
    return Download(output.decode("utf-8"))


def write_answers(machine, answers, name="C:\\answers.txt"):
    """AskUser's scripted answers: (user, password, remember) or "cancel"."""
    lines = ["cancel" if a == "cancel" else f"{a[0]}\t{a[1]}\t{1 if a[2] else 0}" for a in answers]
    machine.host_path(name).write_text("\n".join(lines) + "\n", encoding="utf-8")
    return name


def host(machine, win_path):
    return machine.host_path(win_path)


def data(size, start=0):
    return pattern_bytes(start, size)


def wait_until(condition, timeout=30, what="condition"):
    deadline = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > deadline:
            raise AssertionError(f"no {what} after {timeout} s")
        time.sleep(0.02)


# --- HTTP: the whole file, the request, the sink --------------------------------------------------

def test_http_download_reports_to_the_sink_and_sends_the_documented_request(machine):
    body = data(300_000)
    with HttpServer() as http:
        # The query and the fragment travel as they stand in the URL.
        http.route("/pkg/setup.exe?lang=en#top", body=body)
        run = download(machine, http.url("/pkg/setup.exe?lang=en#top"), "", timeout=60)
        assert run.result == 0
        # No target: the name comes from the URL, in the base folder.
        local = host(machine, "C:\\dl\\setup.vtu")
        assert local.read_bytes() == body
        assert not host(machine, "C:\\dl\\setup.vtu.part").exists()

        assert run.names()[:3] == ["BeginRequest", "BeginRequest", "SetItemRange"]
        assert run.calls("SetItemRange") == [{"call": "SetItemRange", "total": len(body), "name": "C:\\dl\\setup.vtu"}]
        progress = run.progress()
        assert progress[0] == 0 and sum(progress) == len(body)
        assert all(0 < amount <= BLOCK for amount in progress[1:])
        assert run.names()[-1] == "Complete" and run.calls("Complete")[0]["value"] == 1
        assert run.errors() == []

        [request] = http.requests
        assert request.request_line == "GET /pkg/setup.exe?lang=en#top HTTP/1.0"
        assert request.headers["Accept"] == "*/*"
        assert request.headers["User-Agent"] == "Vantorel"
        assert "Range" not in request.headers


def test_bodies_without_length_and_empty_bodies_are_taken_as_they_come(machine):
    body = data(70_000)
    with HttpServer() as http:
        http.route("/chunked.bin", body=body, chunked=True)
        http.route("/nolength.bin", body=body, send_length=False)
        http.route("/empty.bin", body=b"")
        for name, expected in (("chunked.bin", body), ("nolength.bin", body), ("empty.bin", b"")):
            target = f"C:\\dl\\{name}"
            run = download(machine, http.url("/" + name), target)
            assert run.result == 0, name
            # No length, or a length of 0: the total is unknown.
            assert run.calls("SetItemRange")[0]["total"] == 0, name
            assert host(machine, target).read_bytes() == expected, name
            assert not host(machine, target + ".part").exists()


def test_http_statuses(machine):
    """What each kind of answer gives, and that a failure leaves an existing
    file and partial file exactly as they were."""
    old = b"the previous download"
    cases = [
        # status, result, reported to the sink
        (304, DLERR_NOT_MODIFIED, False),
        (403, DLERR_FORBIDDEN, True),
        (404, DLERR_NOT_FOUND, True),
        (410, DLERR_NOT_FOUND, True),
    ]
    with HttpServer() as http:
        for status, result, reported in cases:
            http.route(f"/s{status}", body=b"error page", status=status, honour_range=False)
            host(machine, TARGET).parent.mkdir(exist_ok=True)
            host(machine, TARGET).write_bytes(old)
            host(machine, TARGET + ".part").write_bytes(b"partial")
            run = download(machine, http.url(f"/s{status}"))
            assert run.result == result, status
            assert run.errors() == ([result] if reported else []), status
            assert "SetItemRange" not in run.names() and "Complete" not in run.names(), status
            assert host(machine, TARGET).read_bytes() == old, status
            assert host(machine, TARGET + ".part").read_bytes() == b"partial", status
            assert http.requests[-1].range_start() == len(b"partial")
        host(machine, TARGET + ".part").unlink()

        # Any other status: its body is the file, from the start.
        http.route("/s500", body=b"internal error page", status=500)
        run = download(machine, http.url("/s500"))
        assert run.result == 0
        assert host(machine, TARGET).read_bytes() == b"internal error page"


# --- Continuing a partial file --------------------------------------------------------------------

def test_a_partial_file_is_continued_where_it_ends(machine):
    body = data(200_000)
    with HttpServer() as http:
        http.route("/f.bin", body=body)
        part = host(machine, TARGET + ".part")
        part.parent.mkdir()
        part.write_bytes(body[:1000])
        run = download(machine, http.url("/f.bin"))
        assert run.result == 0
        assert http.requests[0].headers["Range"] == "bytes=1000-"
        assert run.calls("SetItemRange")[0]["total"] == len(body)
        assert run.progress()[0] == 1000
        assert sum(run.progress()) == len(body)
        assert host(machine, TARGET).read_bytes() == body
        assert not part.exists()


def test_a_continued_answer_without_length_still_follows_the_partial_file(machine):
    """206 with a chunked body: the size of the whole file is unknown, and
    the data is still the rest of the file."""
    body = data(90_000)
    with HttpServer() as http:
        http.route("/f.bin", body=body, chunked=True)
        part = host(machine, TARGET + ".part")
        part.parent.mkdir()
        part.write_bytes(body[:1000])
        run = download(machine, http.url("/f.bin"))
        assert run.result == 0
        assert http.requests[0].range_start() == 1000
        assert run.calls("SetItemRange")[0]["total"] == 0
        assert host(machine, TARGET).read_bytes() == body


def test_a_server_that_ignores_the_range(machine):
    """A larger whole file starts over; a whole file no larger than what the
    partial file holds cannot be used, now or on any later run."""
    body = data(5000)
    with HttpServer() as http:
        http.route("/f.bin", body=body, honour_range=False)
        part = host(machine, TARGET + ".part")
        part.parent.mkdir()
        part.write_bytes(b"x" * 1000)
        run = download(machine, http.url("/f.bin"))
        assert run.result == 0
        assert run.progress()[0] == 0
        assert host(machine, TARGET).read_bytes() == body

        http.route("/small.bin", body=data(1000), honour_range=False)
        part.write_bytes(b"y" * 1000)
        for _ in range(2):
            run = download(machine, http.url("/small.bin"))
            assert run.result == DLERR_PARTIAL_TOO_LARGE
            assert run.errors() == [DLERR_PARTIAL_TOO_LARGE]
            assert part.read_bytes() == b"y" * 1000
        assert host(machine, TARGET).read_bytes() == body


def test_a_partial_file_holding_the_whole_file_takes_the_416_body(machine):
    body = data(3000)
    with HttpServer() as http:
        http.route("/f.bin", body=body, range_error_body=b"range not satisfiable")
        part = host(machine, TARGET + ".part")
        part.parent.mkdir()
        part.write_bytes(body)
        run = download(machine, http.url("/f.bin"))
        assert run.result == 0
        assert host(machine, TARGET).read_bytes() == b"range not satisfiable"


# --- Faults that must lose nothing -----------------------------------------------------------------

@pytest.mark.parametrize("mode", ["reset", "close"])
def test_a_connection_cut_in_the_middle_is_continued_to_an_identical_file(machine, mode):
    body = data(400_000)
    with HttpServer() as http:
        http.route("/f.bin", body=body, cut_after=150_000, cut_times=2, cut_mode=mode)
        run = download(machine, http.url("/f.bin"))
        starts = [request.range_start() for request in http.requests]
        assert run.result == 0, (run.errors(), starts)
        assert host(machine, TARGET).read_bytes() == body
        assert run.errors() == []
        # Each reconnect asks for the rest from the end of the partial file.
        # (A reset may take with it data the client had not read yet, so the
        # file can end before the cut.)
        assert len(starts) == 3 and starts[0] is None
        assert 0 < starts[1] <= 150_000 and starts[1] < starts[2] <= starts[1] + 150_000
        assert sum(run.progress()) == len(body)


def test_a_killed_download_is_continued_by_the_next_run(machine):
    body = data(600_000)
    with HttpServer() as http:
        http.route("/f.bin", body=body, stall_after=250_000, stall_times=1)
        child = start_download(machine, http.url("/f.bin"))
        assert http.wait_stalled()
        part = host(machine, TARGET + ".part")
        wait_until(lambda: part.exists() and part.stat().st_size == 250_000, what="250 000 bytes on disk")
        os.kill(child.pid, signal.SIGKILL)
        child.wait(timeout=30)
        assert part.read_bytes() == body[:250_000]
        assert not host(machine, TARGET).exists()

        run = download(machine, http.url("/f.bin"))
        assert run.result == 0
        assert http.requests[-1].range_start() == 250_000
        assert run.progress()[0] == 250_000
        assert host(machine, TARGET).read_bytes() == body
        http.release()


def test_a_server_that_starts_over_after_a_break_is_not_trusted(machine):
    """After a break the server ignores the range and sends the whole file
    again: the transfer ends with a time-out and keeps what it has."""
    body = data(200_000)
    with HttpServer() as http:
        http.route("/f.bin", body=body, cut_after=60_000, cut_times=1, cut_mode="close", honour_range=False)
        run = download(machine, http.url("/f.bin"))
        assert run.result == ERROR_INTERNET_TIMEOUT
        assert run.errors() == [ERROR_INTERNET_TIMEOUT]
        part = host(machine, TARGET + ".part").read_bytes()
        assert 0 < len(part) <= 60_000 and part == body[:len(part)]
        assert not host(machine, TARGET).exists()


def test_a_folder_or_partial_file_that_cannot_be_made(machine):
    with HttpServer() as http:
        http.route("/f.bin", body=b"data")
        # A file where the folder should be.
        host(machine, "C:\\blocked").write_bytes(b"a file")
        run = download(machine, http.url("/f.bin"), "C:\\blocked\\file.bin")
        assert run.result == ERROR_PATH_NOT_FOUND and run.errors() == [ERROR_PATH_NOT_FOUND]
        assert "SetItemRange" in run.names() and "Complete" not in run.names()
        assert host(machine, "C:\\blocked").read_bytes() == b"a file"
        # A folder where the partial file should be.
        host(machine, TARGET + ".part").mkdir(parents=True)
        run = download(machine, http.url("/f.bin"))
        assert run.result == ERROR_ACCESS_DENIED
        assert run.errors() == [ERROR_ACCESS_DENIED]
        assert not host(machine, TARGET).exists()


def test_an_existing_file_is_replaced_only_after_a_complete_transfer(machine):
    body = data(300_000)
    old = b"old installer"
    with HttpServer() as http:
        http.route("/f.bin", body=body, stall_after=100_000)
        host(machine, TARGET).parent.mkdir()
        host(machine, TARGET).write_bytes(old)
        child = start_download(machine, http.url("/f.bin"))
        assert http.wait_stalled()
        wait_until(lambda: host(machine, TARGET + ".part").exists()
                   and host(machine, TARGET + ".part").stat().st_size == 100_000, what="partial file")
        assert host(machine, TARGET).read_bytes() == old
        http.release()
        run = finish_download(child)
        assert run.result == 0
        assert host(machine, TARGET).read_bytes() == body


def test_a_full_disk_returns_the_windows_error_and_keeps_both_files(machine, tmp_path):
    """A 256 KB tmpfs mounted as a folder of drive C:."""
    folder = machine.host_path("C:\\small")
    folder.mkdir()
    mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=256k", "tmpfs", str(folder)],
                             capture_output=True)
    if mounted.returncode != 0:
        pytest.skip(f"this host cannot mount a small file system: {mounted.stderr.decode().strip()}")
    try:
        (folder / "file.bin").write_bytes(b"old installer")
        body = data(1_000_000)
        with HttpServer() as http:
            http.route("/f.bin", body=body)
            run = download(machine, http.url("/f.bin"), "C:\\small\\file.bin")
        assert run.result == ERROR_DISK_FULL
        assert run.errors() == [ERROR_DISK_FULL]
        assert (folder / "file.bin").read_bytes() == b"old installer"
        part = (folder / "file.bin.part").read_bytes()
        assert 0 < len(part) < len(body) and part == body[:len(part)]
    finally:
        subprocess.run(["umount", "-l", str(folder)], capture_output=True)


def test_a_server_that_announces_more_than_it_sends_is_given_up(machine):
    """Each answer ends short; reconnects that bring nothing new end after
    three, and the partial file keeps what came."""
    with HttpServer() as http:
        # 4 000 000 000 bytes announced, 10 sent, then the connection closes.
        http.route("/huge.bin", body=data(10), announce_length=4_000_000_000)
        run = download(machine, http.url("/huge.bin"), timeout=60)
        assert run.result == DLERR_INCOMPLETE
        assert run.errors() == [DLERR_INCOMPLETE]
        assert run.calls("SetItemRange")[0]["total"] == 4_000_000_000
        assert host(machine, TARGET + ".part").read_bytes() == data(10)
        assert not host(machine, TARGET).exists()
        assert [r.range_start() for r in http.requests] == [None, 10, 10, 10]

        # 4 GB do not fit the engine's 32-bit sizes, and WinINet cannot give
        # such a length as a number: the size is unknown, and the body is
        # taken as it came. (The download phase's size and MD5 checks are
        # where such a file is refused.)
        http.route("/4gb.bin", body=data(10), announce_length=4 << 30)
        run = download(machine, http.url("/4gb.bin"), "C:\\dl\\4gb.bin")
        assert run.result == 0
        assert run.calls("SetItemRange")[0]["total"] == 0
        assert host(machine, "C:\\dl\\4gb.bin").read_bytes() == data(10)


# --- Cancel, retries and bad URLs ---------------------------------------------------------------------

def test_cancel_ends_the_run_quietly_and_keeps_the_partial_file(machine):
    body = data(2_000_000)
    with HttpServer() as http:
        http.route("/f.bin", body=body, block_delay=0.01, block_size=16384)
        run = download(machine, http.url("/f.bin"), TARGET, "--cancel-after-bytes", "200000")
        assert run.result == DLERR_CANCELLED
        assert run.errors() == []
        assert "Complete" not in run.names()
        part = host(machine, TARGET + ".part").read_bytes()
        assert len(part) >= 200_000 and part == body[:len(part)]
        assert not host(machine, TARGET).exists()


def test_a_pause_holds_the_transfer(machine):
    body = data(300_000)
    with HttpServer() as http:
        http.route("/f.bin", body=body)
        run = download(machine, http.url("/f.bin"), TARGET, "--pause-ms", "1500")
        assert run.result == 0
        # The sink pauses from the first block on for 1.5 s.
        assert run.results[0]["ms"] >= 1500
        assert host(machine, TARGET).read_bytes() == body


def test_a_server_that_cannot_be_reached_is_retried_and_a_cancel_ends_the_pauses(machine):
    with HttpServer() as http:
        port = http.port
    url = f"http://127.0.0.1:{port}/f.bin"  # nobody listens there any more
    run = download(machine, url, TARGET, "--retry", "0")
    assert run.result == ERROR_INTERNET_CANNOT_CONNECT
    assert run.errors() == [ERROR_INTERNET_CANNOT_CONNECT]

    started = time.monotonic()
    run = download(machine, url, TARGET, "--cancel-after-ms", "2500")
    assert run.result == DLERR_CANCELLED
    assert run.errors() == []
    assert run.results[0]["ms"] < 2500 + 1000
    assert time.monotonic() - started < 30


def test_a_host_that_does_not_resolve_is_tried_seven_times_ten_seconds_apart(machine):
    run = download(machine, "http://no-such-host.invalid/setup.exe", TARGET, timeout=180)
    assert run.result == ERROR_INTERNET_NAME_NOT_RESOLVED
    assert run.errors() == [ERROR_INTERNET_NAME_NOT_RESOLVED]
    # Six pauses of ten seconds between seven attempts.
    assert 60_000 <= run.results[0]["ms"] < 120_000
    assert run.names().count("BeginRequest") == 1 + 7


def test_urls_the_engine_cannot_use(machine):
    with HttpServer() as http:
        http.route("/f.bin", body=b"abc")
        good = http.url("/f.bin")
        cases = [
            # url, target, result
            ("not a url", TARGET, ERROR_INTERNET_UNRECOGNIZED_SCHEME),
            ("", TARGET, ERROR_INVALID_PARAMETER),
            # Never cut to another port.
            (f"http://127.0.0.1:{http.port + 65536}/f.bin", TARGET, ERROR_INTERNET_INVALID_URL),
            # Sent as it stands; the server has no such file.
            (http.url("/" + "a" * 10_000), TARGET, DLERR_NOT_FOUND),
            ("file:///C:/dl/source.bin", TARGET, ERROR_FILE_NOT_FOUND),
            ("gopher://127.0.0.1/1", TARGET, ERROR_INTERNET_UNRECOGNIZED_SCHEME),
        ]
        for url, target, expected in cases:
            run = download(machine, url, target)
            assert run.result == expected, (url[:40], run.result)
            assert run.errors() == [expected], url[:40]
            if expected == DLERR_NOT_FOUND:
                assert http.requests[-1].target == "/" + "a" * 10_000
            assert "SetItemRange" not in run.names()
            assert not host(machine, BASE).exists() or not any(host(machine, BASE).iterdir())

        # User name and password in the URL reach the server without asking.
        http.route("/secret.bin", body=b"classified", auth=("ann", "pw"))
        run = download(machine, good.replace("http://", "http://ann:pw@").replace("/f.bin", "/secret.bin"))
        assert run.result == 0
        assert run.calls("AskUser") == []
        assert host(machine, TARGET).read_bytes() == b"classified"


def test_kernel_handles_are_released_on_every_path(machine, ftp_folder):
    """Every kind of ending, three times over in one process: after the
    first round (WinINet keeps a handle of its own once FTP has been used),
    each round leaves exactly as many kernel handles (threads, events,
    files) open as the one before. WinINet's own handles are not counted by
    the system; the engine closes them on the same paths."""
    body = data(100_000)
    with HttpServer() as http, FtpServer(ftp_folder) as ftp:
        http.route("/ok.bin", body=body)
        http.route("/auth.bin", body=body, auth=("a", "b"))
        http.route("/short.bin", body=data(10), announce_length=1000)
        jobs = [(http.url("/ok.bin"), 0), (http.url("/missing"), DLERR_NOT_FOUND),
                (http.url("/auth.bin"), DLERR_AUTH_REQUIRED), (http.url("/short.bin"), DLERR_INCOMPLETE),
                ("http://127.0.0.1:1/x.bin", ERROR_INTERNET_CANNOT_CONNECT),
                ("gopher://h/1", ERROR_INTERNET_UNRECOGNIZED_SCHEME),
                (ftp.url("/file.bin"), 0), (ftp.url("/missing.bin"), ERROR_INTERNET_EXTENDED_ERROR)]
        rounds = jobs * 3
        options = ["--retry", "0"]
        for index, (url, _) in enumerate(rounds[1:]):
            options += ["--next", url, f"C:\\dl\\f{index}.bin"]
        run = download(machine, rounds[0][0], TARGET, *options)
    assert [r["result"] for r in run.results] == [result for _, result in rounds]
    handles = [r["handles"] for r in run.results]
    n = len(jobs)
    assert handles[2 * n:] == handles[n:2 * n], str(handles)


def test_a_cancel_while_the_server_is_silent_leaves_nothing_behind_that_can_hurt(machine):
    """The read that was waiting when the user cancelled may still complete
    after the engine is gone; the process goes on safely, and later
    downloads are unaffected."""
    body = data(300_000)
    with HttpServer() as http:
        http.route("/stalled.bin", body=body, stall_after=100_000)
        http.route("/next.bin", body=body, block_size=16384, block_delay=0.05)
        child = start_download(machine, http.url("/stalled.bin"), TARGET, "--cancel-after-ms", "1500",
                               "--next", http.url("/next.bin"), "C:\\dl\\next.bin")
        # Once the second download has begun, the first server's answer
        # goes on into a request the engine has given up.
        assert http.wait_requests(2, timeout=30)
        http.release()
        run = finish_download(child)
    assert [r["result"] for r in run.results][0] == DLERR_CANCELLED
    assert run.results[1]["result"] in (0, DLERR_CANCELLED)
    assert host(machine, TARGET + ".part").read_bytes() == body[:100_000]
    assert not host(machine, TARGET).exists()


# --- Credentials ------------------------------------------------------------------------------------

def test_server_credentials_are_asked_for_and_sent(machine):
    body = data(20_000)
    with HttpServer() as http:
        http.route("/f.bin", body=body, auth=("ann", "s3cret"))
        answers = write_answers(machine, [("ann", "wrong", False), ("ann", "s3cret", False)])
        run = download(machine, http.url("/f.bin"), TARGET, "--creds", answers)
        assert run.result == 0
        asked = run.calls("AskUser")
        assert [a["realm"] for a in asked] == ["Files", "Files"]
        assert asked[0]["url"] == http.url("/f.bin")
        assert run.names().count("CredentialsApplied") == 2
        assert host(machine, TARGET).read_bytes() == body
        assert "Authorization" not in http.requests[0].headers
        assert http.requests[-1].headers["Authorization"].startswith("Basic ")

        # Cancel: no credentials, a reported failure, nothing written.
        host(machine, TARGET).unlink()
        answers = write_answers(machine, ["cancel"])
        run = download(machine, http.url("/f.bin"), TARGET, "--creds", answers)
        assert run.result == DLERR_AUTH_REQUIRED
        assert run.errors() == [DLERR_AUTH_REQUIRED]
        assert not host(machine, TARGET).exists()

        # No store at all.
        run = download(machine, http.url("/f.bin"), TARGET, "--no-store")
        assert run.result == DLERR_AUTH_REQUIRED


def test_a_resumed_download_keeps_its_range_through_authentication(machine):
    body = data(50_000)
    with HttpServer() as http:
        http.route("/f.bin", body=body, auth=("ann", "pw"))
        part = host(machine, TARGET + ".part")
        part.parent.mkdir()
        part.write_bytes(body[:20_000])
        run = download(machine, http.url("/f.bin"), TARGET, "--creds", write_answers(machine, [("ann", "pw", False)]))
        assert run.result == 0
        # Every request of the exchange asks for the rest of the file.
        assert len(http.requests) >= 2
        assert all(r.range_start() == 20_000 for r in http.requests)
        assert run.calls("SetItemRange")[0]["total"] == len(body)
        assert host(machine, TARGET).read_bytes() == body


def test_a_long_challenge_is_read_beyond_the_first_buffer(machine):
    """A 100 KB challenge: the realm is read with the larger buffer that
    WinINet asks for. (Wine keeps only the first 4 KB or so of a header.)"""
    realm = "R" * 100_000
    with HttpServer() as http:
        http.route("/f.bin", body=b"x", auth=("a", "b"), challenge=f'Basic realm="{realm}"')
        run = download(machine, http.url("/f.bin"), TARGET, "--creds", write_answers(machine, ["cancel"]))
        assert run.result == DLERR_AUTH_REQUIRED
        [asked] = run.calls("AskUser")
        assert len(asked["realm"]) > 260 and realm.startswith(asked["realm"])


def test_remembered_credentials_answer_later_challenges_until_refused(machine):
    """A remembered pair answers every later challenge without asking; when
    a server refuses it, it is forgotten and the user asked, rather than the
    pair sent for ever. (WinINet itself keeps credentials a server accepted
    for the rest of the process, per server, so every download goes to a
    server of its own.)"""
    with HttpServer() as a, HttpServer() as b, HttpServer() as c, HttpServer() as d:
        a.route("/a.bin", body=b"first", auth=("ann", "pw"))
        b.route("/b.bin", body=b"second", auth=("ann", "pw"))
        c.route("/c.bin", body=b"third", auth=("bob", "other"))
        d.route("/d.bin", body=b"fourth", auth=("ann", "pw"))
        answers = write_answers(machine, [("ann", "pw", True), "cancel"])
        run = download(machine, a.url("/a.bin"), "C:\\dl\\a.bin", "--creds", answers,
                       "--next", b.url("/b.bin"), "C:\\dl\\b.bin",
                       "--next", c.url("/c.bin"), "C:\\dl\\c.bin",
                       "--next", d.url("/d.bin"), "C:\\dl\\d.bin")
        assert [r["result"] for r in run.results] == [0, 0, DLERR_AUTH_REQUIRED, DLERR_AUTH_REQUIRED]
        # a: asked and remembered; b: from memory; c: the remembered pair is
        # refused, forgotten, and the user (who cancels) asked; d: nothing
        # remembered any more, and the answers have run out.
        asked = [e["url"] for e in run.calls("AskUser")]
        assert asked == [a.url("/a.bin"), c.url("/c.bin"), d.url("/d.bin")]
        remembered = "Basic " + base64.b64encode(b"ann:pw").decode()
        assert any(r.headers.get("Authorization") == remembered for r in b.requests)
        assert any(r.headers.get("Authorization") == remembered for r in c.requests)
        assert host(machine, "C:\\dl\\b.bin").read_bytes() == b"second"


def test_a_proxy_gets_its_credentials_and_the_same_pair_answers_the_server(machine):
    body = data(30_000)
    with HttpServer() as http, ProxyServer(auth=("ann", "pw")) as proxy:
        http.route("/f.bin", body=body, auth=("ann", "pw"))
        machine.set_system_proxy(proxy.address)
        run = download(machine, http.url("/f.bin"), TARGET, "--creds", write_answers(machine, [("ann", "pw", True)]))
        assert run.result == 0
        assert [a["realm"] for a in run.calls("AskUser")] == ["Proxy"]
        assert run.names().count("CredentialsApplied") == 2
        assert host(machine, TARGET).read_bytes() == body
        assert any("Proxy-Authorization" in r.headers for r in proxy.requests)
        assert http.requests and all(r.path == "/f.bin" for r in http.requests)


# --- HTTPS ------------------------------------------------------------------------------------------

def test_https_with_a_trusted_certificate(machine, certificates):
    body = data(120_000)
    machine.trust_certificate(certificates.ca_der)
    with HttpServer(tls=certificates.server) as https:
        https.route("/f.bin", body=body, cut_after=50_000, cut_times=1)
        run = download(machine, https.url("/f.bin"))
        assert run.result == 0
        assert host(machine, TARGET).read_bytes() == body
        assert https.requests[-1].range_start() == 50_000


def test_an_untrusted_certificate_without_a_desktop_fails_with_the_certificate_error(machine, certificates):
    with HttpServer(tls=certificates.untrusted) as https:
        https.route("/f.bin", body=b"data")
        run = download(machine, https.url("/f.bin"))
        assert run.result == ERROR_INTERNET_INVALID_CA
        assert run.errors() == [ERROR_INTERNET_INVALID_CA]
        assert not host(machine, TARGET).exists()


@pytest.mark.parametrize("answer, result", [("Yes", 0), ("No", ERROR_INTERNET_INVALID_CA)])
def test_the_certificate_dialog_decides(gui_machine, certificates, answer, result):
    machine = gui_machine
    with HttpServer(tls=certificates.untrusted) as https:
        https.route("/f.bin", body=b"data behind an untrusted certificate")
        child = start_download(machine, https.url("/f.bin"))
        caption = None
        deadline = time.monotonic() + 60
        while caption is None and time.monotonic() < deadline:
            windows = [w for w in machine.windows() if w["class"] == "#32770"]
            caption = windows[0]["caption"] if windows else None
            time.sleep(0.2)
        assert caption is not None, "no certificate dialog"
        pressed = subprocess.run([machine.loader, machine.tool("dlgdrive"), "--caption", caption,
                                  "--click-text", f"&{answer}"], env=machine.env, capture_output=True, timeout=60)
        if pressed.returncode == 3:
            pressed = subprocess.run([machine.loader, machine.tool("dlgdrive"), "--caption", caption,
                                      "--click-text", answer], env=machine.env, capture_output=True, timeout=60)
        assert pressed.returncode == 0, pressed
        run = finish_download(child)
        assert run.result == result
        if result == 0:
            assert host(machine, TARGET).read_bytes() == b"data behind an untrusted certificate"
        else:
            assert not host(machine, TARGET).exists()


# --- FTP ---------------------------------------------------------------------------------------------

@pytest.fixture
def ftp_folder(tmp_path):
    folder = tmp_path / "ftp"
    folder.mkdir()
    (folder / "file.bin").write_bytes(data(180_000))
    return folder


@pytest.mark.parametrize("ie_version, expected_total", [(None, 180_000), ("4.72.3110.0", 180_000), ("9.11.9600.0", 0)])
def test_ftp_size_comes_from_the_listing_or_the_file(machine, ftp_folder, ie_version, expected_total):
    """Before Internet Explorer 5 the size comes from the listing, from 5 on
    from FtpGetFileSize (which Wine answers with 0)."""
    machine.set_ie_version(ie_version)
    with FtpServer(ftp_folder) as ftp:
        part = host(machine, TARGET + ".part")
        part.parent.mkdir()
        part.write_bytes(b"z" * 5000)  # FTP always starts over
        run = download(machine, ftp.url("/file.bin"))
        assert run.result == 0, run.errors()
        assert run.calls("SetItemRange")[0]["total"] == expected_total
        assert run.progress()[0] == 0
        assert host(machine, TARGET).read_bytes() == data(180_000)


def test_ftp_logins(machine, ftp_folder):
    with FtpServer(ftp_folder, user=("ann", "pw"), anonymous=False) as ftp:
        run = download(machine, ftp.url("/file.bin", "ann", "pw"))
        assert run.result == 0
        assert run.calls("AskUser") == []

        host(machine, TARGET).unlink()
        answers = write_answers(machine, [("ann", "nope", False), ("ann", "pw", False)])
        run = download(machine, ftp.url("/file.bin", "ann", "wrong"), TARGET, "--creds", answers)
        assert run.result == 0
        assert [a["realm"] for a in run.calls("AskUser")] == ["FTP Server", "FTP Server"]
        assert host(machine, TARGET).read_bytes() == data(180_000)

        host(machine, TARGET).unlink()
        run = download(machine, ftp.url("/file.bin"), TARGET, "--creds", write_answers(machine, ["cancel"]))
        assert run.result == ERROR_INTERNET_LOGIN_FAILURE
        assert run.errors() == [ERROR_INTERNET_LOGIN_FAILURE]
        assert not host(machine, TARGET).exists()


def test_a_short_ftp_transfer_is_incomplete(machine, ftp_folder):
    machine.set_ie_version(None)
    with FtpServer(ftp_folder) as ftp:
        ftp.cut("/file.bin", 70_000)
        run = download(machine, ftp.url("/file.bin"))
        assert run.result == DLERR_INCOMPLETE
        assert run.errors() == [DLERR_INCOMPLETE]
        assert host(machine, TARGET + ".part").read_bytes() == data(70_000)
        assert not host(machine, TARGET).exists()


# --- The credentials dialog -----------------------------------------------------------------------

def test_the_credentials_dialog(gui_machine, tmp_path):
    machine = gui_machine
    with HttpServer() as http:
        http.route("/f.bin", body=b"behind a password", auth=("ann", "pw"))
        child = start_download(machine, http.url("/f.bin"), TARGET, "--dialog")
        caption = "Connect to 127.0.0.1"
        machine.wait_for_window(caption, timeout=60)
        drive = [machine.loader, machine.tool("dlgdrive"), "--caption", caption]
        shown = subprocess.run(drive + ["--dump"], env=machine.env, capture_output=True, timeout=60)
        dialog = json.loads(shown.stdout)
        controls = {c["id"]: c for c in dialog["controls"]}
        assert controls[1067]["text"] == ("The server 127.0.0.1 at Files requires a username and password. "
                                          "Please enter them below.")
        assert controls[1061]["text"] == "" and controls[1062]["text"] == ""
        assert controls[1063]["text"] == "Remember my credentials" and controls[1063]["checked"] is False
        assert controls[1][("text")] == "Ok" and controls[2]["text"] == "Cancel"
        assert controls[1062]["style"] & 0x20  # ES_PASSWORD
        machine.screenshot("credentials-dialog")

        # Larger: the fields widen, the buttons keep their distance from the
        # corner. Smaller than at opening: refused.
        width = dialog["rect"][2] - dialog["rect"][0]
        height = dialog["rect"][3] - dialog["rect"][1]
        grown = json.loads(subprocess.run(drive + ["--size", str(width + 100), str(height + 40), "--dump"],
                                          env=machine.env, capture_output=True, timeout=60).stdout)
        after = {c["id"]: c for c in grown["controls"]}
        for control in (1067, 1061, 1062, 1063):
            before_width = controls[control]["rect"][2] - controls[control]["rect"][0]
            assert after[control]["rect"][2] - after[control]["rect"][0] == before_width + 100, control
        for button in (1, 2):
            assert after[button]["rect"][0] == controls[button]["rect"][0] + 100
            assert after[button]["rect"][1] == controls[button]["rect"][1] + 40
        shrunk = json.loads(subprocess.run(drive + ["--size", str(width - 80), str(height - 30), "--dump"],
                                           env=machine.env, capture_output=True, timeout=60).stdout)
        assert shrunk["rect"][2] - shrunk["rect"][0] == width
        assert shrunk["rect"][3] - shrunk["rect"][1] == height

        typed = subprocess.run(drive + ["--set", "1061", "ann", "--set", "1062", "pw", "--check", "1063",
                                        "--click", "1"], env=machine.env, capture_output=True, timeout=60)
        assert typed.returncode == 0
        run = finish_download(child)
        assert run.result == 0
        assert host(machine, TARGET).read_bytes() == b"behind a password"


def test_cancel_in_the_credentials_dialog(gui_machine):
    machine = gui_machine
    with HttpServer() as http:
        http.route("/f.bin", body=b"x", auth=("ann", "pw"))
        child = start_download(machine, http.url("/f.bin"), TARGET, "--dialog")
        machine.wait_for_window("Connect to 127.0.0.1", timeout=60)
        subprocess.run([machine.loader, machine.tool("dlgdrive"), "--caption", "Connect to 127.0.0.1",
                        "--set", "1061", "ann", "--click", "2"], env=machine.env, capture_output=True, timeout=60)
        run = finish_download(child)
        assert run.result == DLERR_AUTH_REQUIRED
        assert run.errors() == [DLERR_AUTH_REQUIRED]
