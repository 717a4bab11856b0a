"""OpenSite: the Internet shortcut it writes into the temporary folder and
the shell's opening of it, driven through tests/fixtures/opensite.cpp (the
product's own code, called the way the silent web-site phase calls it).
Each test points the "open" verb of Internet shortcuts at the stand-in
installer, which records what it was given: nothing here starts a browser
or touches the network."""
import json
import re
import subprocess
import time

INSTALLER = "C:\\tools\\installer.exe"
URLS_FILE = "C:\\urls.txt"
LOG = "C:\\logs\\sites.log"
STAMP = re.compile(r"\d{4}-\d{2}-\d{2} @\d{2}:\d{2}:\d{2}-")
SHORTCUT_NAME = re.compile(r"URL[0-9A-F]{1,4}\.TMP\.url", re.IGNORECASE)


def record_shortcut_opening(machine):
    machine.reg_set("HKCR\\InternetShortcut\\shell\\open\\command", "", "sz", f'"{INSTALLER}" "%1"')


def open_sites(machine, urls, log=None):
    """Opens the URLs' sites in order, logging to `log` when given; returns
    the temporary folder's Linux path, the thread's ANSI code page and the
    names below C:\\users before the calls."""
    machine.host_path(URLS_FILE).write_bytes("".join(url + "\n" for url in urls).encode("utf-8"))
    folder = machine.host_path("C:\\users")  # the temporary folder is below it
    before = {str(p) for p in folder.rglob("*")}
    # Not stderr: the programs the shell starts inherit it from Wine, and a
    # held one would keep the pipe open.
    done = subprocess.run([machine.loader, machine.tool("opensite"), URLS_FILE] + ([log] if log else []),
                          env=machine.env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, timeout=120)
    assert done.returncode == 0, done.stdout
    info = json.loads(done.stdout)
    return machine.host_path(info["temp"]), info["acp"], before


def launch_lines(machine):
    """The log's "Launching URL:" messages, without their time stamps."""
    text = machine.read_text_utf16(LOG).lstrip("\ufeff")
    messages = [line[m.end():] for line in text.split("\r\n") if (m := STAMP.match(line))]
    return [message for message in messages if message.startswith("Launching URL:")]


def new_files(temp, before):
    return sorted(p for p in temp.iterdir() if str(p) not in before)


def expected_bytes(url, code_page):
    """The shortcut OpenSite must write, in the thread's ANSI code page; characters the code page lacks become its default character "?"
    (Python's codecs map exactly, without look-alikes)."""
    return b"[InternetShortcut]\r\nURL=" + url.encode(f"cp{code_page}", errors="replace") + b"\r\n"


def wait_for_runs(machine, count, timeout=30):
    deadline = time.monotonic() + timeout
    while len(machine.installer_runs(INSTALLER)) < count:
        assert time.monotonic() < deadline, f"{len(machine.installer_runs(INSTALLER))} of {count} shortcuts opened"
        time.sleep(0.05)
    time.sleep(0.5)  # and no more than that
    return machine.installer_runs(INSTALLER)


def test_shortcut_files_hold_exactly_the_url_in_the_ansi_code_page(machine):
    """One shortcut per call, named by GetTempFileNameW with the prefix URL
    and ".url" after it, holding the two lines and nothing else: no byte
    order mark, no terminating zero. The empty file GetTempFileNameW made
    is gone again."""
    record_shortcut_opening(machine)
    urls = [
        "http://example.test/setup?lang=en&v=1.0#part",
        "https://example.test/a%20b/%s/%d/[x]/\"q\"",
        # é and € are in code page 1252; ж, 中 and ā are not. ā has a
        # look-alike (a) that the conversion must not use.
        "http://example.test/caf\u00e9/\u20ac/\u0436\u4e2d/\u0101",
        "",
        "http://example.test/" + "p" * 5000,
    ]
    temp, code_page, before = open_sites(machine, urls)
    assert code_page == 1252, "the expectations below assume a Western code page"
    created = new_files(temp, before)
    assert all(SHORTCUT_NAME.fullmatch(p.name) for p in created), [p.name for p in created]
    assert sorted(p.read_bytes() for p in created) == sorted(expected_bytes(url, code_page) for url in urls)
    # The third URL, spelled out.
    assert expected_bytes(urls[2], code_page) == \
        b"[InternetShortcut]\r\nURL=http://example.test/caf\xe9/\x80/??/?\r\n"
    wait_for_runs(machine, len(urls))


def test_the_shell_opens_each_shortcut_with_its_path(machine):
    """The shell starts the shortcut's "open" command with the shortcut's
    path, shown normally (SW_SHOW), and OpenSite does not wait for it; each
    site is logged before it is opened."""
    record_shortcut_opening(machine)
    urls = ["http://example.test/first", "http://example.test/second"]
    # Held: the handler keeps running, so opensite.exe could only end by
    # not waiting for it.
    hold = machine.host_path(f"{INSTALLER}.hold")
    hold.write_text("")
    machine.host_path(LOG).parent.mkdir()
    temp, _code_page, before = open_sites(machine, urls, LOG)
    assert launch_lines(machine) == [f"Launching URL:{url}" for url in urls]
    runs = wait_for_runs(machine, len(urls))
    assert hold.exists()
    hold.unlink()
    assert len(runs) == len(urls)
    opened = {}
    for run in runs:
        match = re.fullmatch(r'"C:\\tools\\installer\.exe" "(.*)"', run["cmdline"])
        assert match, run["cmdline"]
        assert run["show"] == 5
        opened[match.group(1)] = machine.host_path(match.group(1)).read_bytes()
    assert sorted(opened.values()) == sorted(expected_bytes(url, 1252) for url in urls)
    assert sorted(machine.host_path(path) for path in opened) == new_files(temp, before)


def test_without_a_temporary_folder_nothing_is_written_or_opened(machine):
    """A temporary folder that does not exist: no shortcut can be made, so
    nothing is opened, and OpenSite returns quietly; the log shows only that
    the site was to be opened."""
    record_shortcut_opening(machine)
    for name in ("TEMP", "TMP"):
        machine.reg_set("HKCU\\Environment", name, "sz", "C:\\no such temp")
    machine.host_path(LOG).parent.mkdir()
    everything_before = machine.snapshot()
    temp, _code_page, _before = open_sites(machine, ["http://example.test/nowhere"], LOG)
    assert launch_lines(machine) == ["Launching URL:http://example.test/nowhere"]
    assert machine.win_path(temp).lower() == "c:\\no such temp"
    created, _deleted, _modified = machine.changes(everything_before)
    assert [p for p in created if p not in (URLS_FILE, LOG, "C:\\logs")] == []
    time.sleep(1)
    assert machine.installer_runs(INSTALLER) == []
