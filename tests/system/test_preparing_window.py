"""The "Preparing..." window: outside silent mode it is up from the moment
the configuration has been read, through the wait for a running Windows
Installer installation, until the chainer ends. Silent mode shows nothing."""
import time

import pytest

from test_startup import hold_installer_mutex, tell

CAPTION = "Vantorel Setup"  # "%s Setup" with the build's product name
WS_CAPTION = 0x00C00000
WS_SYSMENU = 0x00080000
WS_EX_APPWINDOW = 0x00040000


def dialogs(machine):
    """The visible windows that could be the chainer's."""
    return [w for w in machine.windows() if w["caption"] == CAPTION or w["class"] == "#32770"]


@pytest.mark.parametrize("options", [
    ["[GeneralOptions]"],
    ["[GeneralOptions]", "Options=bQ"],  # option letters are case-sensitive: "Q" is not silent
])
def test_interactive_run_shows_the_window_while_waiting_for_the_installer(gui_machine, options):
    machine = gui_machine
    package = machine.package("setup.exe")
    package.write_ini(options)
    holder = hold_installer_mutex(machine)
    chainer = package.start()

    window = machine.wait_for_window(CAPTION)
    assert window["class"] == "#32770"
    assert window["status"] == "Preparing..."
    assert window["style"] & WS_CAPTION == WS_CAPTION
    assert window["style"] & WS_SYSMENU == 0, "the user must not be able to close it"
    assert window["exstyle"] & WS_EX_APPWINDOW
    # No owner: centred in the work area, and wholly inside it.
    left, top, right, bottom = window["rect"]
    work_left, work_top, work_right, work_bottom = window["work"]
    assert work_left <= left < right <= work_right and work_top <= top < bottom <= work_bottom
    assert abs((left + right) - (work_left + work_right)) <= 1
    assert abs((top + bottom) - (work_top + work_bottom)) <= 1
    assert len(dialogs(machine)) == 1
    machine.screenshot("preparing-window")

    # Still there while the chainer keeps waiting.
    time.sleep(1.0)
    assert chainer.poll() is None
    assert [w["status"] for w in dialogs(machine)] == ["Preparing..."]

    assert tell(holder, "release") == "released"
    assert machine.finish(chainer, timeout=30).exit_code == 0
    assert dialogs(machine) == []


@pytest.mark.parametrize("options", ["q", "bq"])
def test_silent_run_shows_no_window(gui_machine, options):
    machine = gui_machine
    package = machine.package("setup.exe")
    package.write_ini(["[GeneralOptions]", f"Options={options}"])
    holder = hold_installer_mutex(machine)
    chainer = package.start()

    # Looked for over the time an interactive run needs to show its window.
    deadline = time.monotonic() + 4.0
    while time.monotonic() < deadline:
        assert chainer.poll() is None, "the chainer must be waiting for the installer"
        assert dialogs(machine) == []
        time.sleep(0.3)

    assert tell(holder, "release") == "released"
    assert machine.finish(chainer, timeout=30).exit_code == 0
    assert dialogs(machine) == []


def search_held_by(machine, go_file, options):
    """A configuration whose one search runs a program that waits until the
    test creates `go_file`: detection stays busy until then."""
    return ["[GeneralOptions]", f"Options={options}", "[PREREQUISITES]", "App1=Held", "[Held]",
            "SetupFile=absent-setup.exe", "SearchType1=10", f"SearchString1={machine.tool('waitfor')}",
            f"SearchCmdLine1={go_file}", "RefContent1=WND_HIDE"]


def test_the_window_says_searching_and_stays_responsive_while_detection_runs(gui_machine):
    machine = gui_machine
    package = machine.package("setup.exe")
    package.write_ini(search_held_by(machine, "C:\\pkg\\go", "b"))
    chainer = package.start()

    deadline = time.monotonic() + 30
    while True:
        found = [w for w in machine.windows(ping=True) if w["caption"] == CAPTION]
        if found and found[0]["status"] == "Searching for prerequisites...":
            break
        assert time.monotonic() < deadline, f"windows: {machine.windows()}"
        time.sleep(0.2)
    # The detection runs on a worker: the window's thread answers messages.
    assert found[0]["responsive"] == "1"
    machine.screenshot("searching-window")
    time.sleep(0.5)
    assert chainer.poll() is None
    assert [w["responsive"] for w in machine.windows(ping=True) if w["caption"] == CAPTION] == ["1"]

    # Found once the program ends with 0: nothing to install, exit code 0.
    machine.host_path("C:\\pkg\\go").write_bytes(b"")
    assert machine.finish(chainer, timeout=60).exit_code == 0
    assert dialogs(machine) == []


def test_silent_detection_shows_no_window(gui_machine):
    machine = gui_machine
    package = machine.package("setup.exe")
    package.write_ini(search_held_by(machine, "C:\\pkg\\go", "q"))
    chainer = package.start()
    deadline = time.monotonic() + 3.0
    while time.monotonic() < deadline:
        assert chainer.poll() is None
        assert dialogs(machine) == []
        time.sleep(0.3)
    machine.host_path("C:\\pkg\\go").write_bytes(b"")
    assert machine.finish(chainer, timeout=60).exit_code == 0
