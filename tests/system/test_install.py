"""The silent chain end to end: packaged installers run in order with their
command lines, their return codes go to the interboot store, and the exit
code and the summary follow from what re-detection finds."""
import subprocess
import time

from test_chain import END_MARKER, INTERBOOT, STAMP

LOG = "C:\\pkg\\chain.log"
RECORD = "C:\\pkg\\record.txt"


def log_lines(machine):
    lines = []
    for line in machine.read_text_utf16(LOG).split("\r\n"):
        found = STAMP.match(line)
        if found and found.group(1) != END_MARKER:
            lines.append(found.group(1))
    return lines


def prerequisite(name, setup, options="", retval=None, extra=()):
    """A packaged prerequisite found when its installer has run: the stand-in
    installer leaves a record beside itself, which the search looks for."""
    marker = f"C:\\pkg\\{setup.rsplit(chr(92), 1)[-1]}.runs"
    return [f"[{name}]", f"SetupFile={setup}", f"Options={options}", f"RetValPropName={retval or name + 'RET'}",
            "CommandLine=/full", "BasicUiCommandLine=/basic", 'NoUiCommandLine=/quiet "[SETUPEXEDIR]" 100%',
            "SearchType1=0", f"SearchString1={marker}", *extra]


def configuration(prereqs, options="q"):
    lines = ["[GeneralOptions]", f"Options={options}", "ExtractionFolder=[SETUPEXEDIR]",
             "[PREREQ_CHAINER]", f"LogFile={LOG}", "[PREREQUISITES]"]
    lines += [f"App{n}={section[0][1:-1]}" for n, section in enumerate(prereqs, 1)]
    for section in prereqs:
        lines += section
    return lines


def runs(machine, name):
    return [(r["cmdline"], r["cwd"]) for r in machine.installer_runs(f"C:\\pkg\\{name}")]


QUIET = '/quiet "C:\\pkg\\" 100%'


def test_missing_prerequisites_are_installed_in_order(machine):
    package = machine.package()
    for name, code in (("first.exe", 0), ("second.exe", 1603), ("third.exe", 0)):
        machine.place_installer(f"C:\\pkg\\{name}", code)
    (package.host_folder / "present.exe.runs").write_text("")
    package.write_ini(configuration([
        prerequisite("First", "first.exe", "m"),
        prerequisite("Present", "present.exe", "m"),
        prerequisite("Second", "C:\\pkg\\second.exe", extra=["SearchType2=5", "SearchString2=HKCU\\None"]),
        prerequisite("Third", "third.exe", "m"),
    ]))
    machine.reg_set(INTERBOOT, "earlier", "sz", "1")
    result = package.run(timeout=120)

    # Each installer gets the silent command line with its references
    # expanded, and the folder of its own file as working folder.
    for name in ("first.exe", "second.exe", "third.exe"):
        assert runs(machine, name) == [(f'"C:\\pkg\\{name}" {QUIET}', "C:\\pkg")], name
    lines = log_lines(machine)
    at = lines.index("Starting installing prerequisites in silent mode.")
    assert lines[at + 1:at + 7] == ["Launching file:C:\\pkg\\first.exe", "Return code of launched file:0",
                                    "Launching file:C:\\pkg\\second.exe", "Return code of launched file:1603",
                                    "Launching file:C:\\pkg\\third.exe", "Return code of launched file:0"]
    # Second is not mandatory and still missing; the mandatory ones are there.
    assert lines[-1] == "After running prerequisites we have:  Reboot was required=false"
    assert result.exit_code == 0
    assert machine.reg_list(INTERBOOT) is None


def test_a_launch_failure_stops_the_installation_phase(machine):
    package = machine.package()
    machine.place_installer("C:\\pkg\\first.exe", 0)
    machine.place_installer("C:\\pkg\\third.exe", 0)
    package.write_ini(configuration([
        prerequisite("First", "first.exe"),
        prerequisite("Second", "missing.exe"),
        prerequisite("Third", "third.exe", "m"),
    ]))
    result = package.run(timeout=120)
    assert len(runs(machine, "first.exe")) == 1
    assert runs(machine, "third.exe") == []
    lines = log_lines(machine)
    at = lines.index("Launching file:C:\\pkg\\missing.exe")
    assert lines[at + 1].startswith("Launch failed. Error:")
    assert len(lines[at + 1]) > len("Launch failed. Error:")
    assert lines[at + 2] == "Return code of launched file:0"
    assert "Launching file:C:\\pkg\\third.exe" not in lines
    assert result.exit_code == 1  # Third is mandatory and was never installed


def test_return_codes_reach_the_interboot_store_first_value_wins(machine):
    package = machine.package()
    machine.place_installer("C:\\pkg\\a.exe", 3010)
    machine.place_installer("C:\\pkg\\b.exe", 0xC0000005)
    machine.place_installer("C:\\pkg\\c.exe", 7)
    machine.place_installer("C:\\pkg\\e.exe", 5)
    # The last installer shows what the store holds while the chain runs.
    (package.host_folder / "d.bat").write_bytes(
        f"@reg query HKCU\\InterbootContext > {RECORD}\r\n@exit /b -1\r\n".encode("ascii"))
    package.write_ini(configuration([
        prerequisite("A", "a.exe"),
        prerequisite("B", "b.exe"),
        prerequisite("C", "c.exe", retval="ARET"),  # the same name as A's: A's code stays
        prerequisite("E", "e.exe", retval="\u03a9RET"),  # not in the ANSI code page
        prerequisite("D", "d.bat", retval=""),      # the key's default value
    ]))
    assert package.run(timeout=120).exit_code == 0
    values = {}
    for line in machine.host_path(RECORD).read_text(encoding="ascii", errors="replace").splitlines():
        parts = line.split()
        if len(parts) >= 3 and parts[1] == "REG_SZ":
            values[parts[0]] = parts[2]
    # The name outside the code page comes out with its default character.
    assert values == {"ARET": "3010", "BRET": "-1073741819", "?RET": "5"}
    lines = log_lines(machine)
    assert "Return code of launched file:3221225477" in lines
    assert "Return code of launched file:4294967295" in lines
    # Deleted when the run ended without a reboot.
    assert machine.reg_list(INTERBOOT) is None


def test_qb_runs_silently_with_the_basic_command_line(machine):
    package = machine.package()
    machine.place_installer("C:\\pkg\\first.exe", 0)
    package.write_ini(configuration([prerequisite("First", "first.exe", "m")], options="qb"))
    assert package.run(timeout=120).exit_code == 0
    assert runs(machine, "first.exe") == [('"C:\\pkg\\first.exe" /basic', "C:\\pkg")]
    assert "Starting installing prerequisites in silent mode." in log_lines(machine)


def test_a_reboot_request_reaches_wine_and_the_run_ends_with_minus_1(machine):
    """Silent mode restarts at once, for real: Wine then ends every process of
    the prefix (this test's own) about half a second later. The chain needs
    only milliseconds after the call, so it normally finishes first, and the
    same run shows its summary, exit code -1 and the kept interboot key.
    Should Wine ever end it sooner, the log stops after the request; the
    chain's unit tests prove the rest one level down."""
    package = machine.package()
    machine.place_installer("C:\\pkg\\boot.exe", 3010)
    machine.place_installer("C:\\pkg\\after.exe", 0)
    package.write_ini(configuration([prerequisite("Boot", "boot.exe", "r"), prerequisite("After", "after.exe")]))
    chainer = package.start()
    try:
        output, _ = chainer.communicate(timeout=120)
    except subprocess.TimeoutExpired:
        chainer.kill()
        raise AssertionError("the chainer neither ended nor was ended by the restart")
    lines = log_lines(machine)
    at = lines.index("Rebooting machine...")
    assert lines[at - 1] == "Return code of launched file:3010"
    summary = ["After running prerequisites we have:  Reboot was required=true", "  Reboot was refused=false",
               "  Reboot in Progress=false"]
    if "exit-code" in output:
        assert output.strip().splitlines()[-1] == "exit-code -1"
        assert lines[at + 1:] == summary
    else:
        assert lines[at + 1:] in ([], summary[:1], summary[:2], summary)
    # The installer after the one that asked for the restart never ran, and
    # its code waits in the kept key for the next run.
    assert runs(machine, "after.exe") == []
    # Wine's restart ends the prefix's programs a moment after the request,
    # the first registry reads included; ask until one is answered.
    deadline = time.monotonic() + 30
    while (value := machine.reg_get(INTERBOOT, "BootRET")) == ("", "") and time.monotonic() < deadline:
        time.sleep(0.5)
    assert value == ("sz", "3010")


def test_an_installer_that_never_ends_holds_the_chain_until_it_is_killed(machine):
    package = machine.package()
    held = machine.place_installer("C:\\pkg\\held.exe", 0)
    machine.place_installer("C:\\pkg\\next.exe", 0)
    held.with_name("held.exe.hold").write_text("")
    package.write_ini(configuration([prerequisite("Held", "held.exe"), prerequisite("Next", "next.exe")]))
    chainer = package.start()
    deadline = time.monotonic() + 60
    while not runs(machine, "held.exe"):
        assert time.monotonic() < deadline, "the installer never started"
        time.sleep(0.2)
    time.sleep(1.0)
    # The chain waits, and what it logged so far is on disk.
    assert chainer.poll() is None
    assert log_lines(machine)[-1] == "Launching file:C:\\pkg\\held.exe"
    # Killing the installer lets the chain go on.
    killed = subprocess.run(["pkill", "-KILL", "-f", "held.exe"], capture_output=True)
    assert killed.returncode == 0
    result = machine.finish(chainer, timeout=60)
    assert result.exit_code == 0
    lines = log_lines(machine)
    at = lines.index("Launching file:C:\\pkg\\held.exe")
    assert lines[at + 1].startswith("Return code of launched file:")
    assert lines[at + 2] == "Launching file:C:\\pkg\\next.exe"


def test_a_crashing_installer_is_one_more_return_code(machine):
    package = machine.package()
    crash = machine.place_installer("C:\\pkg\\crash.exe", 0)
    crash.with_name("crash.exe.crash").write_text("")
    machine.place_installer("C:\\pkg\\next.exe", 0)
    package.write_ini(configuration([prerequisite("Crash", "crash.exe"), prerequisite("Next", "next.exe", "m")]))
    assert package.run(timeout=120).exit_code == 0
    lines = log_lines(machine)
    at = lines.index("Launching file:C:\\pkg\\crash.exe")
    assert lines[at + 1] == "Return code of launched file:3221225477"  # 0xC0000005
    assert lines[at + 2] == "Launching file:C:\\pkg\\next.exe"
