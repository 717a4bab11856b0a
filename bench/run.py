#!/usr/bin/python3
"""make bench: size and speed figures, each next to a reference measured in
the same run on the same machine. Prints one `name: value` per line.
Figures, not tests: a missed target is a finding to report."""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
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


def bench_wine(arch):
    template = REPO / "build" / "wine" / f"system-{arch}"
    subprocess.run([str(REPO / "scripts" / "wine-prefix"), str(template), arch], check=True)
    machine = Machine(template, new_machine_root(), arch)
    try:
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
        bench_ini_wine(machine, None)
        bench_detect50(machine)
        bench_install20(machine)
        bench_filesearch(machine)
    finally:
        machine.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--arch", default="i686")
    args = parser.parse_args()
    exe = REPO / "dist" / "chainer.exe"
    say("exe_size_bytes", exe.stat().st_size)
    say("exe_size_kb", f"{exe.stat().st_size / 1024:.1f}")
    say("exe_size_target_kb", 200)
    bench_wine(args.arch)
    with tempfile.TemporaryDirectory() as tmp:
        bench_ini_native(Path(tmp))


if __name__ == "__main__":
    main()
