"""Whole runs of the chain up to its phases: detection, selection, the
summary, the exit code and the interboot key, read from the log and the
registry of the test's own prefix."""
import re
import subprocess

import pytest

STAMP = re.compile(r"^\d{4}-\d{2}-\d{2} @\d{2}:\d{2}:\d{2}-(.*)$")
LOG = "C:\\pkg\\chain.log"
END_MARKER = "=" * 21 + "End of Log" + "=" * 21
INTERBOOT = "HKCU\\InterbootContext"
PRESENT_KEY = "HKCU\\Software\\ChainTest\\Present"
MISSING_KEY = "HKCU\\Software\\ChainTest\\Missing"


def log_lines(machine):
    """The time-stamped lines of the log, without their stamps."""
    lines = []
    for line in machine.read_text_utf16(LOG).split("\r\n"):
        found = STAMP.match(line)
        if found and found.group(1) != END_MARKER:
            lines.append(found.group(1))
    return lines


def prerequisite(name, key, options="", extra=()):
    return [f"[{name}]", "SetupFile=setup.exe", f"Options={options}", "SearchType1=5", f"SearchString1={key}",
            *extra]


def configuration(options, prereqs):
    lines = ["[GeneralOptions]", f"Options={options}", "[PREREQ_CHAINER]", f"LogFile={LOG}", "[PREREQUISITES]"]
    body = []
    for n, (name, section) in enumerate(prereqs, start=1):
        lines.append(f"App{n}={name}")
        body += section
    return lines + body


def run(machine, options, prereqs, interboot=True):
    machine.reg_set(PRESENT_KEY, "Version", "sz", "1.0")
    if interboot:
        machine.reg_set(INTERBOOT, "earlier", "sz", "3010")
    package = machine.package()
    package.write_ini(configuration(options, [(name, prerequisite(name, key, opts, extra))
                                              for name, key, opts, extra in prereqs]))
    result = package.run()
    return result, log_lines(machine)


def summary(required="false"):
    return f"After running prerequisites we have:  Reboot was required={required}"


def not_launched():
    return ["Launching file:", "Launch failed. Error:", "Return code of launched file:0"]


def shorten(line):
    """Log lines that carry a path or a system text, cut to their label."""
    for label in ("Launching file:", "Launch failed. Error:"):
        if line.startswith(label):
            return label
    return line


def found(name):
    return [f"Searching for:{name}", "Search result:An acceptable version was found."]


def missing(name):
    return [f"Searching for:{name}", "Search result:No acceptable version found. It must be installed from package."]


def test_everything_present_ends_at_once_and_deletes_the_interboot_key(machine):
    result, lines = run(machine, "q", [("Have", PRESENT_KEY, "m", ())])
    assert result.exit_code == 0
    assert lines == found("Have") + ["No prerequisite must be installed."]
    assert machine.reg_list(INTERBOOT) is None


def test_an_empty_prerequisite_list_deletes_the_interboot_key(machine):
    result, lines = run(machine, "q", [])
    assert result.exit_code == 0
    assert lines == []
    assert machine.reg_list(INTERBOOT) is None


@pytest.mark.parametrize("options, mandatory, exit_code, mode_line", [
    ("q", "m", 1, "Starting installing prerequisites in silent mode."),
    ("q", "", 0, "Starting installing prerequisites in silent mode."),
    ("qb", "m", 1, "Starting installing prerequisites in silent mode."),
    ("b", "m", 0, "Starting installing prerequisites in basic UI mode."),
    ("", "m", 0, None),
], ids=["silent mandatory", "silent optional", "qb is silent", "basic UI", "neither letter"])
def test_a_missing_prerequisite_by_mode(machine, options, mandatory, exit_code, mode_line):
    result, lines = run(machine, options, [("Need", MISSING_KEY, mandatory, ()), ("Have", PRESENT_KEY, "", ())])
    assert result.exit_code == exit_code
    expected = missing("Need") + found("Have") + ["Prerequisite selected for install:Need"]
    if mode_line:
        expected.append(mode_line)
    if options.startswith("q"):
        # The package holds no installer: the launch fails, and the
        # prerequisite is detected again.
        expected += not_launched() + missing("Need")
    expected.append(summary())
    assert [shorten(line) for line in lines] == expected
    assert machine.reg_list(INTERBOOT) is None


def test_skip_detection_counts_as_found_after_the_phases(machine):
    result, lines = run(machine, "q", [("Skip", MISSING_KEY, "mi", ())])
    assert result.exit_code == 0
    assert [shorten(line) for line in lines] == missing("Skip") + [
        "Prerequisite selected for install:Skip", "Starting installing prerequisites in silent mode.",
        *not_launched(), "Searching for:Skip", summary()]


def test_parents_children_and_cycles_are_selected_once(machine):
    result, lines = run(machine, "q", [
        ("Child", MISSING_KEY, "", ("ParentPrereq=Parent",)),
        ("Parent", MISSING_KEY, "", ("ParentPrereq=Child",)),   # a cycle
        ("Self", MISSING_KEY, "", ("ParentPrereq=Self",)),
        ("Orphan", MISSING_KEY, "", ("ParentPrereq=Nobody",)),
    ])
    assert result.exit_code == 0
    selected = [line for line in lines if line.startswith("Prerequisite selected")]
    assert selected == ["Prerequisite selected for install:Child", "Prerequisite selected for install:Parent",
                        "Prerequisite selected for install:Self", "Prerequisite selected for install:Orphan"]


def test_windows_and_language_filters(machine):
    # The default test prefix reports Windows 7 SP1 on 64-bit Windows.
    name = "Windows 7 x64 Service Pack 1"
    result, lines = run(machine, "q", [
        ("OtherOs", MISSING_KEY, "m", (f"WinNT64Versions=Windows XP, {name}",)),
        ("Exact", MISSING_KEY, "m", ("WinNT64Versions=Windows 7 x64",)),
        ("German", MISSING_KEY, "m", ("LanguageList=1031",)),
        ("English", PRESENT_KEY, "", ("LanguageList=1031;1033",)),
    ])
    language = r"SystemDefault LangID=1033-English.*"
    assert lines[0] == "Wrong OS or Os language for:OtherOs"
    assert lines[1:3] == missing("Exact")
    assert re.fullmatch(language, lines[3]) and lines[4] == "Wrong OS or Os language for:German"
    assert re.fullmatch(language, lines[5]) and lines[6:8] == found("English")
    # Only "Exact" is missing and mandatory.
    assert result.exit_code == 1


def test_a_run_that_cannot_wait_for_the_installer_leaves_the_interboot_key(machine):
    machine.reg_set(INTERBOOT, "earlier", "sz", "3010")
    holder = machine.spawn(machine.tool("holdmutex"), "event", stdin=subprocess.PIPE)
    assert holder.stdout.readline().strip() == "held"
    package = machine.package()
    package.write_ini(configuration("q", [("Need", prerequisite("Need", MISSING_KEY, "m"))]))
    assert package.run().exit_code == 0
    assert machine.reg_get(INTERBOOT, "earlier") == ("sz", "3010")
