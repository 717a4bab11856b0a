"""Start-up: where the configuration is looked for, what happens without
one, and the wait for a running Windows Installer installation."""
import time

import pytest

from wine import utf16_file_bytes

MINIMAL = ["[GeneralOptions]", "Options=q"]


def hold_installer_mutex(machine, mode=None):
    holder = machine.spawn(machine.tool("holdmutex"), *([mode] if mode else []),
                           stdin=__import__("subprocess").PIPE)
    assert holder.stdout.readline().strip() == "held"
    return holder


def tell(holder, command):
    holder.stdin.write(command + "\n")
    holder.stdin.flush()
    return holder.stdout.readline().strip()


def still_running_after(child, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if child.poll() is not None:
            return False
        time.sleep(0.1)
    return True


def test_without_configuration_exits_0_and_creates_no_file(machine):
    package = machine.package("setup.exe")
    before = machine.snapshot()
    result = package.run()
    assert result.exit_code == 0
    created, deleted, modified = machine.changes(before)
    assert (created, deleted) == ([], [])


@pytest.mark.parametrize("exe_name, ini_name, found", [
    ("Setup.EXE", "Setup.ini", True),
    ("a.b.c.exe", "a.b.c.ini", True),
    ("a.b.c.exe", "a.b.ini", False),
    ("a.b.c.exe", "a.ini", False),
    ("a.b.c.exe", "a.b.c.exe.ini", False),
    ("setup.exe", "setup.INI.txt", False),
    ("install", "install.ini", True),
])
def test_configuration_is_looked_for_beside_the_executable(machine, exe_name, ini_name, found):
    """A chainer that finds its configuration goes on to wait for the
    installer mutex; one that finds none ends at once."""
    package = machine.package(exe_name)
    package.write_ini(MINIMAL, name=ini_name)
    holder = hold_installer_mutex(machine)
    chainer = package.start()
    assert still_running_after(chainer, 2.0) == found
    assert tell(holder, "release") == "released"
    assert machine.finish(chainer).exit_code == 0


def test_arguments_change_nothing(machine):
    package = machine.package("setup.exe")
    # Without a configuration, no argument makes it do anything.
    before = machine.snapshot()
    for args in (["/q"], ["/?", "-b"], ["C:\\pkg\\setup.ini"], ["x" * 3000]):
        assert package.run(*args).exit_code == 0
    assert machine.changes(before)[:2] == ([], [])
    # With one, arguments do not stop it from waiting for the installer.
    package.write_ini(MINIMAL)
    holder = hold_installer_mutex(machine)
    chainer = package.start("/q", "/norestart", "/log", "C:\\x.log")
    assert still_running_after(chainer, 2.0)
    tell(holder, "release")
    assert machine.finish(chainer).exit_code == 0


def test_waits_for_the_installer_mutex_without_limit_and_gives_it_back(machine):
    package = machine.package("setup.exe")
    package.write_ini(MINIMAL)
    holder = hold_installer_mutex(machine)
    chainer = package.start()
    assert still_running_after(chainer, 5.0)
    assert tell(holder, "release") == "released"
    result = machine.finish(chainer, timeout=30)
    assert result.exit_code == 0
    # Had the chainer kept the mutex it won, its exit would have abandoned
    # it (wait result 128); it was released properly, so the next owner
    # gets it cleanly.
    assert tell(holder, "acquire") == "acquired 0"


def test_a_name_that_cannot_be_waited_on_ends_the_run_with_0_at_once(machine):
    package = machine.package("setup.exe")
    package.write_ini(MINIMAL)
    holder = hold_installer_mutex(machine, "event")
    result = package.run(timeout=30)
    assert result.exit_code == 0
    assert holder.poll() is None  # the name was taken the whole time


BAD_CONFIGURATIONS = {
    "empty": b"",
    "one byte": b"\xff",
    "two bytes": b"\xff\xfe",
    "odd size": utf16_file_bytes("[GeneralOptions]\r\nOptions=q\r\n") + b"\x01",
    "no byte-order mark": "[GeneralOptions]\r\nOptions=q\r\n".encode("utf-16-le"),
    "LF-only lines": utf16_file_bytes("[GeneralOptions]\nOptions=q\n"),
    "UTF-8": "\ufeff[GeneralOptions]\r\nOptions=q\r\n".encode("utf-8"),
    "binary garbage": bytes(range(256)) * 64,
    "NUL inside lines": utf16_file_bytes("[General\0Options]\r\nOpt\0ions=q\0\r\n"),
    "a line of 8 MB": utf16_file_bytes("[GeneralOptions]\r\nOptions=" + "q" * (4 * 1024 * 1024) + "\r\n"),
    "50 MB": utf16_file_bytes("[GeneralOptions]\r\n" + ("Key=" + "v" * 120 + "\r\n") * 200000),
}


def test_bad_configuration_files_end_with_0_without_crashing(machine):
    """Whatever the file holds, the run reaches its normal end (exit code 0:
    nothing is configured that could be missing) in bounded time."""
    package = machine.package("setup.exe")
    for what, data in BAD_CONFIGURATIONS.items():
        package.write_ini_bytes(data)
        result = package.run(timeout=60)
        assert (what, result.exit_code) == (what, 0)
