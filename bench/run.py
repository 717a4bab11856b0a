#!/usr/bin/python3
"""make bench: size and speed figures, each next to a reference measured in
the same run on the same machine. Prints one `name: value` per line.
Figures, not tests: a missed target is a finding to report."""
import argparse
import http.server
import json
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(REPO / "tests" / "system"))

from wine import Machine, new_machine_root, win_tree  # noqa: E402


def say(name, value):
    print(f"{name}: {value}", flush=True)


def write_config(path, megabytes):
    """A configuration of many prerequisite sections, as a large package
    might have, in UTF-16LE behind its byte-order mark."""
    lines = ["[GeneralOptions]", "Options=q", "[PREREQUISITES]"]
    section = 0
    text_size = 0
    body = []
    while text_size < megabytes * 1024 * 1024 // 2:
        section += 1
        block = [f"[Prerequisite {section}]", f"SetupFile=prereq{section}.exe",
                 "NoUiCommandLine=/quiet /norestart", "Options=m", "SearchType1=0",
                 f"SearchString1=HKLM\\SOFTWARE\\Vendor\\Product {section}\\Version",
                 "VerMin1=1.0.0.0", "VerMax1=9.9.9.9", f"RetValPropName=PREREQ{section}_RET"]
        body += block
        lines.append(f"App{section}=Prerequisite {section}")
        text_size += sum(len(x) + 2 for x in block) + 20
    data = "".join(x + "\r\n" for x in lines + body)
    path.write_bytes(b"\xff\xfe" + data.encode("utf-16-le"))


def bench_ini_native(workdir):
    exe = workdir / "ini_bench"
    subprocess.run(["g++", "-std=c++17", "-O2", f"-I{REPO / 'src'}", str(REPO / "bench" / "ini_bench.cpp"),
                    str(REPO / "src" / "config" / "ini_document.cpp"), "-o", str(exe)], check=True)
    results = {}
    for mb in (5, 20):
        config = workdir / f"config{mb}.ini"
        write_config(config, mb)
        out = subprocess.run([str(exe), str(config), "9"], capture_output=True, text=True, check=True).stdout
        results[mb] = {k: float(v) for k, v in (line.split() for line in out.splitlines())}
    # Natively (Linux, 32-bit wchar_t: the bytes are converted first), for
    # context next to the product's figures under Wine.
    big = results[20]
    say("ini_native_read_ms", f"{big['read_ms']:.2f}")
    say("ini_native_parse_ms", f"{big['parse_ms']:.2f}")
    say("ini_native_parse_ratio_vs_read", f"{big['parse_ms'] / big['read_ms']:.2f}")


def bench_ini_wine(machine, workdir):
    """The product's loader (LoadFile: one read, then the parse) next to a
    plain ReadFile of the same file, in one Windows program under Wine."""
    machine.host_path("C:\\bench").mkdir(parents=True, exist_ok=True)
    shutil.copy2(win_tree() / "ini_bench.exe", machine.host_path("C:\\bench\\ini_bench.exe"))
    results = {}
    for mb in (5, 20):
        write_config(machine.host_path(f"C:\\bench\\config{mb}.ini"), mb)
        out = subprocess.run([machine.loader, "C:\\bench\\ini_bench.exe", f"C:\\bench\\config{mb}.ini", "15"],
                             env=machine.env, stdin=subprocess.DEVNULL, capture_output=True, text=True,
                             timeout=600, check=True).stdout
        results[mb] = {k: float(v) for k, v in (line.split() for line in out.splitlines())}
    big = results[20]
    size = machine.host_path("C:\\bench\\config20.ini").stat().st_size
    say("ini_size_mb", f"{size / 1048576:.1f}")
    say("ini_read_ms", f"{big['read_ms']:.2f}")
    say("ini_load_ms", f"{big['load_ms']:.2f}")
    say("ini_load_mb_per_s", f"{20 / (big['load_ms'] / 1000):.0f}")
    say("ini_parse_ratio_vs_read", f"{big['load_ms'] / big['read_ms']:.2f}")
    # Linear in the input: time per megabyte at 20 MB over that at 5 MB.
    say("ini_load_per_mb_20_vs_5", f"{(big['load_ms'] / 20) / (results[5]['load_ms'] / 5):.2f}")


def median_start(machine, program, runs=15):
    times = []
    for _ in range(runs):
        started = time.monotonic()
        subprocess.run([machine.loader, program], env=machine.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60, check=False)
        times.append(time.monotonic() - started)
    return statistics.median(times)


def interleaved_medians(machine, programs, runs, timeout=600):
    """Median wall time of each (program, arguments), taken in turns, round
    after round, so that the load of a shared machine falls on all alike."""
    times = [[] for _ in programs]
    for _ in range(runs):
        for spent, (program, args) in zip(times, programs):
            started = time.monotonic()
            subprocess.run([machine.loader, program, *args], env=machine.env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=timeout, check=False)
            spent.append(time.monotonic() - started)
    return [statistics.median(spent) for spent in times]


def detection_logged(machine, package, lines):
    """One run with a log, apart from the timed ones: how many prerequisites
    the chainer reported as found (0 while it does not detect)."""
    log = f"{package.folder}\\check.log"
    package.write_ini(lines + ["[PREREQ_CHAINER]", f"LogFile={log}"])
    package.run(timeout=600)
    host = machine.host_path(log)
    text = host.read_bytes().decode("utf-16") if host.exists() else ""
    package.write_ini(lines)
    return text.count("Search result:An acceptable version was found.")


def bench_detect50(machine):
    """50 prerequisites whose registry searches all match, next to the same
    chainer with no prerequisite, under the same warm server."""
    count = 50
    lines = ["[GeneralOptions]", "Options=q", "[PREREQUISITES]"]
    lines += [f"App{n}=Bench prerequisite {n}" for n in range(1, count + 1)]
    for n in range(1, count + 1):
        key = f"HKLM\\Software\\AcmeBench\\Key{n}"
        machine.reg_set(key, "Version", "sz", f"1.{n}")
        lines += [f"[Bench prerequisite {n}]", f"SetupFile=bench{n}.exe", "SearchType1=5", f"SearchString1={key}"]
    full = machine.package("setup.exe", "C:\\detect50")
    full.write_ini(lines)
    empty = machine.package("setup.exe", "C:\\detect0")
    empty.write_ini(["[GeneralOptions]", "Options=q"])

    found = detection_logged(machine, full, lines)
    interleaved_medians(machine, [(full.exe, ()), (empty.exe, ())], 2)
    with_searches, reference = interleaved_medians(machine, [(full.exe, ()), (empty.exe, ())], 15)
    say("detect50_found", found)
    say("detect50_chainer_ms", f"{with_searches * 1000:.1f}")
    say("detect0_chainer_ms", f"{reference * 1000:.1f}")
    say("detect50_overhead_pct", f"{(with_searches - reference) / reference * 100:.1f}")


def install20_runs(machine, installer):
    """How many times the stand-in installer at this path has run."""
    return len(machine.installer_runs(installer))


def bench_install20(machine):
    """A silent chain that installs 20 packaged prerequisites whose installer
    ends at once, next to a minimal program that makes the same 20 launches
    through the shell (wait and exit code each), under the same warm server.
    The figure is the chainer's whole run: start-up, detection of the 20,
    the installation phase and the re-detection after it. While the
    installation phase does not launch anything, install20_launched says 0
    and the overhead figure means nothing."""
    count = 20
    arguments = "/quiet /norestart"
    installer = "C:\\install20\\files\\installer.exe"
    reference_installer = "C:\\install20\\ref\\installer.exe"
    machine.place_installer(installer)
    machine.place_installer(reference_installer)
    lines = ["[GeneralOptions]", "Options=q", "ExtractionFolder=C:\\install20\\files", "[PREREQUISITES]"]
    lines += [f"App{n}=Bench installer {n}" for n in range(1, count + 1)]
    for n in range(1, count + 1):
        # A key that does not exist: every prerequisite is missing.
        lines += [f"[Bench installer {n}]", "SetupFile=installer.exe", "SearchType1=5",
                  f"SearchString1=HKLM\\Software\\AcmeBench\\Absent{n}", f"NoUiCommandLine={arguments}"]
    package = machine.package("setup.exe", "C:\\install20")
    package.write_ini(lines)
    launcher = "C:\\install20\\launch20.exe"
    shutil.copy2(win_tree() / "launch20.exe", machine.host_path(launcher))
    launcher_args = (reference_installer, str(count), arguments)

    # One untimed run of each, which also shows what each of them launched.
    package.run(timeout=600)
    launched = install20_runs(machine, installer)
    subprocess.run([machine.loader, launcher, *launcher_args], env=machine.env, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=600)
    reference_launched = install20_runs(machine, reference_installer)
    chainer, reference = interleaved_medians(machine, [(package.exe, ()), (launcher, launcher_args)], 9)
    say("install20_launched", launched)
    say("install20_reference_launched", reference_launched)
    say("install20_chainer_ms", f"{chainer * 1000:.1f}")
    say("install20_launch20_ms", f"{reference * 1000:.1f}")
    say("install20_overhead_pct", f"{(chainer - reference) / reference * 100:.1f}")


def make_tree(root, widths=(20, 20, 49)):
    """Three levels of folders below root; returns how many folders."""
    first, second, third = widths
    for a in range(first):
        for b in range(second):
            for c in range(third):
                os.makedirs(root / f"a{a}" / f"b{b}" / f"c{c}")
    return first + first * second + first * second * third


def bench_filesearch(machine):
    """A file search with depth 3 for a name that is nowhere in a tree of
    about 20 000 folders, so that it walks all of them: the chainer next to
    a minimal program that walks the same way, and find for context."""
    tree = machine.host_path("C:\\tree")
    folders = make_tree(tree)
    absent = "absent-7f3.dll"
    # The walk finds nothing; the second search then matches, so the
    # prerequisite is present and nothing is installed or searched again.
    lines = ["[GeneralOptions]", "Options=q", "[PREREQUISITES]", "App1=Tree walk", "[Tree walk]",
             "SetupFile=walk.exe", "Operator=1", "SearchType1=0", f"SearchString1=C:\\tree\\{absent}?3",
             "SearchType2=5", "SearchString2=HKLM\\Software\\Microsoft"]
    package = machine.package("setup.exe", "C:\\filesearch")
    package.write_ini(lines)
    walker = "C:\\filesearch\\treewalk.exe"
    shutil.copy2(win_tree() / "treewalk.exe", machine.host_path(walker))
    walk_args = ("C:\\tree\\", absent, "3")

    # Untimed first runs, which also warm the host's directory caches.
    found = detection_logged(machine, package, lines)
    walked = subprocess.run([machine.loader, walker, *walk_args], env=machine.env, stdin=subprocess.DEVNULL,
                            capture_output=True, text=True, timeout=600).stdout.strip()
    chainer, reference = interleaved_medians(machine, [(package.exe, ()), (walker, walk_args)], 5)
    times = []
    for _ in range(5):
        started = time.monotonic()
        subprocess.run(["find", str(tree), "-maxdepth", "3", "-name", absent], stdout=subprocess.DEVNULL, check=True)
        times.append(time.monotonic() - started)
    say("filesearch_tree_folders", folders)
    say("filesearch_found", found)
    say("filesearch_treewalk", walked)
    say("filesearch_chainer_ms", f"{chainer * 1000:.1f}")
    say("filesearch_treewalk_ms", f"{reference * 1000:.1f}")
    say("filesearch_find_linux_ms", f"{statistics.median(times) * 1000:.1f}")
    say("filesearch_ratio_vs_walk", f"{chainer / reference:.2f}")


# One mebibyte of the body's repeating pattern: byte n of a body is n % 256.
PATTERN_BLOCK = bytes(range(256)) * 4096


class BodyServer:
    """HTTP/1.0 on 127.0.0.1 (a free port) that answers GET /SIZE with SIZE
    bytes of the pattern behind a Content-Length. The body is sent from the
    one pattern block with sendall, a mebibyte at a time, so that a large
    body is never held in memory and the server outruns every client."""

    def __init__(self):
        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.0"

            def do_GET(self):
                try:
                    size = int(self.path.lstrip("/"))
                except ValueError:
                    self.send_error(404)
                    return
                self.send_response(200)
                self.send_header("Content-Type", "application/octet-stream")
                self.send_header("Content-Length", str(size))
                self.end_headers()
                block = memoryview(PATTERN_BLOCK)
                left = size
                try:
                    while left:
                        step = min(left, len(block))
                        self.connection.sendall(block[:step])
                        left -= step
                except OSError:
                    pass  # the client gave up; nothing to answer

            def log_message(self, *args):
                pass

        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.httpd.daemon_threads = True
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()

    def url(self, size):
        return f"http://127.0.0.1:{self.httpd.server_address[1]}/{size}"

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()


def last_json(stdout):
    lines = [line for line in stdout.splitlines() if line.startswith("{")]
    try:
        return json.loads(lines[-1]) if lines else {}
    except ValueError:
        return {}


def bench_download(machine):
    """A 1 GiB body over loopback, taken in turns by the download engine
    (through dltool), by a bare loop of the engine's own WinINet calls, by
    blocking 51200-byte reads and by curl on the Linux side; every one writes
    into the same folder on the prefix's drive C: (curl too, for the same
    disk work), and the file is deleted after each run. Rates are the
    programs' own timings (the engine's and the loop's from opening the
    session, curl's time_total); MB is 2^20 bytes. The engine's peak working
    set for 10 MiB and 1 GiB, as dltool reports it (the largest of its runs),
    shows whether memory grows with the file. A program that fails is
    reported as a fault and left out of the figures."""
    small, big = 10 << 20, 1 << 30
    rounds = 3
    folder = "C:\\dl"
    host = machine.host_path(folder)
    host.mkdir(parents=True, exist_ok=True)
    tools = machine.host_path("C:\\dlbin")
    tools.mkdir(parents=True, exist_ok=True)
    shutil.copy2(win_tree() / "wininet_loop.exe", tools / "wininet_loop.exe")
    have_engine = (win_tree() / "dltool.exe").exists()
    if have_engine:
        shutil.copy2(win_tree() / "dltool.exe", tools / "dltool.exe")

    # Loopback is measured direct: a proxy from the environment would take
    # part in WinINet's preconfigured settings and in curl's.
    env = {k: v for k, v in machine.env.items() if k.lower() not in ("http_proxy", "https_proxy", "all_proxy")}

    def clear():
        for entry in host.iterdir():
            entry.unlink()

    def on_wine(program, args, timeout):
        done = subprocess.run([machine.loader, program, *args], env=env, stdin=subprocess.DEVNULL,
                              capture_output=True, text=True, timeout=timeout)
        return last_json(done.stdout), done.returncode

    def checked(record, target, size):
        """The record when the whole body arrived in the file, else its fault."""
        path = host / target
        have = path.stat().st_size if path.exists() else -1
        if record.get("bytes") != size or have != size:
            return {"fault": f"bytes {record.get('bytes')}, file {have}, {record}"}
        if size == small and path.read_bytes() != PATTERN_BLOCK * (small >> 20):
            return {"fault": "the file differs from the body"}
        return record

    def engine(size, timeout):
        record, _ = on_wine("C:\\dlbin\\dltool.exe", (server.url(size), f"{folder}\\engine.bin", folder, "--quiet"),
                            timeout)
        if record.get("result") != 0:
            return {"fault": f"result {record}"}
        return checked(record, "engine.bin", size)

    def loop(size, timeout):
        record, code = on_wine("C:\\dlbin\\wininet_loop.exe", (server.url(size), f"{folder}\\loop.bin"), timeout)
        return checked(record, "loop.bin", size) if code == 0 else {"fault": f"exit {code}, {record}"}

    def blocking(size, timeout):
        record, code = on_wine("C:\\dlbin\\wininet_loop.exe",
                               (server.url(size), f"{folder}\\blocking.bin", "--blocking"), timeout)
        return checked(record, "blocking.bin", size) if code == 0 else {"fault": f"exit {code}, {record}"}

    def curl(size, timeout):
        done = subprocess.run(["curl", "-s", "-o", str(host / "curl.bin"), "-w", "%{size_download} %{time_total}",
                               server.url(size)], env=env, capture_output=True, text=True, timeout=timeout)
        if done.returncode != 0:
            return {"fault": f"curl exit {done.returncode}"}
        got, seconds = done.stdout.split()
        return checked({"bytes": int(got), "ms": float(seconds) * 1000}, "curl.bin", size)

    programs = [("loop", loop), ("blocking", blocking), ("curl", curl)]
    if have_engine:
        programs.insert(0, ("engine", engine))

    def in_turns(size, timeout):
        """Each program `rounds` times, in turns, the first of each round
        moving on by one, so that a slow moment falls on all alike. A
        program that fails or runs out of time is not run again."""
        records = {name: [] for name, _ in programs}
        faults = {}
        for turn in range(rounds):
            for name, run in programs[turn % len(programs):] + programs[:turn % len(programs)]:
                if name in faults:
                    continue
                try:
                    record = run(size, timeout)
                except subprocess.TimeoutExpired:
                    record = {"fault": f"no end within {timeout} s"}
                clear()
                if "fault" in record:
                    faults[name] = record["fault"]
                else:
                    records[name].append(record)
        return records, faults

    server = BodyServer()
    try:
        # The 10 MiB rounds also warm every program and the server.
        small_records, small_faults = in_turns(small, 120)
        free = shutil.disk_usage(host).free
        if free < 3 * big:
            say("download_1gb_skipped", f"{free >> 20} MB free beside the prefix")
            big_records, big_faults = {name: [] for name, _ in programs}, {}
        else:
            big_records, big_faults = in_turns(big, 300)
    finally:
        server.close()
        clear()

    def rate(name):
        times = [r["ms"] for r in big_records[name]]
        return big / 1048576 / (statistics.median(times) / 1000) if times else None

    def peak(records, name):
        peaks = [r["peak_kb"] for r in records[name] if "peak_kb" in r]
        return max(peaks) / 1024 if peaks else None

    def shown(value, digits=1):
        return "n/a" if value is None else f"{value:.{digits}f}"

    engine_rate = rate("engine") if have_engine else None
    loop_rate = rate("loop")
    if not have_engine:
        say("download_engine", "not measured: no dltool.exe in the build")
    say("download_size_mb", big >> 20)
    say("download_rounds", rounds)
    say("download_mb_per_s", shown(engine_rate))
    say("wininet_loop_mb_per_s", shown(loop_rate))
    say("wininet_blocking_mb_per_s", shown(rate("blocking")))
    say("curl_mb_per_s", shown(rate("curl")))
    say("download_ratio_vs_wininet", shown(engine_rate / loop_rate if engine_rate and loop_rate else None, 2))
    say("download_ratio_target", 0.9)
    say("download_peak_mb_10mb", shown(peak(small_records, "engine") if have_engine else None))
    say("download_peak_mb_1gb", shown(peak(big_records, "engine") if have_engine else None))
    say("wininet_loop_peak_mb_1gb", shown(peak(big_records, "loop")))
    # Every timed run, in the order taken, to judge the spread behind the medians.
    say("download_runs_ms", "; ".join(f"{name} " + " ".join(f"{r['ms']:.0f}" for r in big_records[name])
                                       for name, _ in programs))
    for size_name, faults in (("10mb", small_faults), ("1gb", big_faults)):
        for name, fault in faults.items():
            say(f"download_fault_{size_name}_{name}", fault)


WINE_SECTIONS = ("startup", "ini", "detect50", "install20", "filesearch", "download")


def bench_startup(machine, arch):
    package = machine.package("setup.exe", "C:\\bench")
    empty = machine.host_path("C:\\bench\\empty.exe")
    shutil.copy2(win_tree() / "emptygui.exe", empty)
    # Warm both once; the server is already warm.
    median_start(machine, "C:\\bench\\empty.exe", 2)
    median_start(machine, package.exe, 2)
    # In turns, so that a slow moment of the machine falls on both.
    chainer, reference = interleaved_medians(machine, [(package.exe, ()), ("C:\\bench\\empty.exe", ())], 15)
    say("startup_arch", arch)
    say("startup_chainer_ms", f"{chainer * 1000:.1f}")
    say("startup_empty_gui_ms", f"{reference * 1000:.1f}")
    say("startup_ratio_vs_empty", f"{chainer / reference:.2f}")


def bench_wine(arch, sections):
    template = REPO / "build" / "wine" / f"system-{arch}"
    subprocess.run([str(REPO / "scripts" / "wine-prefix"), str(template), arch], check=True)
    machine = Machine(template, new_machine_root(), arch)
    try:
        if "startup" in sections:
            bench_startup(machine, arch)
        if "ini" in sections:
            bench_ini_wine(machine, None)
        if "detect50" in sections:
            bench_detect50(machine)
        if "install20" in sections:
            bench_install20(machine)
        if "filesearch" in sections:
            bench_filesearch(machine)
        if "download" in sections:
            bench_download(machine)
    finally:
        machine.close()

def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--arch", default="i686")
    parser.add_argument("--only", action="append", choices=WINE_SECTIONS,
                        help="run only this section under Wine (repeatable); the size figures always")
    args = parser.parse_args()
    sections = args.only or WINE_SECTIONS
    exe = REPO / "dist" / "chainer.exe"
    say("exe_size_bytes", exe.stat().st_size)
    say("exe_size_kb", f"{exe.stat().st_size / 1024:.1f}")
    say("exe_size_target_kb", 200)
    bench_wine(args.arch, sections)
    if "ini" in sections:
        with tempfile.TemporaryDirectory() as tmp:
            bench_ini_native(Path(tmp))


if __name__ == "__main__":
    main()
