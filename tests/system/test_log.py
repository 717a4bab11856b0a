"""The log file, seen from outside: what a configured run leaves on disk."""
import os
import re
import signal
import subprocess

import pytest

HEADER = "\r\n<< Vantorel (x86) Log >>\r\n"
END_MARKER = "=" * 21 + "End of Log" + "=" * 21 + "\r\n"
STAMP = r"\d{4}-\d{2}-\d{2} @\d{2}:\d{2}:\d{2}-"
SYSTEM_LINE = (r"<< OS Version:  MajorVersion: \d+; MinorVersion: \d+; BuildNumber: \d+; PlatformId: 2;"
               r" CSDVersion: [^;]*; ServicePackMajor: \d+; ServicePackMinor: \d+; SuiteMask: \d+;"
               r" ProductType: \d+; >> \r\n\r\n")
ONE_RUN = re.escape(HEADER) + SYSTEM_LINE + STAMP + re.escape(END_MARKER + "\r\n")


def configure(package, log_path, extra=()):
    package.write_ini(["[GeneralOptions]", "Options=q", "[PREREQ_CHAINER]", f"LogFile={log_path}", *extra])


def test_a_new_log_holds_header_system_line_and_end_marker(machine):
    package = machine.package()
    configure(package, "C:\\logs\\chain.log")
    machine.host_path("C:\\logs").mkdir()
    assert package.run().exit_code == 0
    data = machine.host_path("C:\\logs\\chain.log").read_bytes()
    assert data[:2] == b"\xff\xfe"
    assert re.fullmatch(ONE_RUN, data[2:].decode("utf-16-le"))


def test_a_second_run_appends_without_a_second_byte_order_mark(machine):
    package = machine.package()
    configure(package, "C:\\pkg\\chain.log")
    assert package.run().exit_code == 0
    assert package.run().exit_code == 0
    data = machine.host_path("C:\\pkg\\chain.log").read_bytes()
    assert data[:2] == b"\xff\xfe"
    assert re.fullmatch(ONE_RUN + ONE_RUN, data[2:].decode("utf-16-le"))


def test_a_run_that_cannot_wait_for_the_installer_still_logs_its_frame(machine):
    package = machine.package()
    configure(package, "C:\\pkg\\chain.log")
    holder = machine.spawn(machine.tool("holdmutex"), "event", stdin=subprocess.PIPE)
    assert holder.stdout.readline().strip() == "held"
    assert package.run().exit_code == 0
    text = machine.read_text_utf16("C:\\pkg\\chain.log")
    assert re.fullmatch(ONE_RUN, text.lstrip("\ufeff"))


@pytest.mark.parametrize("lines", [
    ["[PREREQ_CHAINER]", "LogFile="],
    ["[PREREQ_CHAINER]", "logfile=C:\\pkg\\chain.log"],
    ["[prereq_chainer]", "LogFile=C:\\pkg\\chain.log"],
    ["[GeneralOptions]", "LogFile=C:\\pkg\\chain.log"],
    ["LogFile=C:\\pkg\\chain.log"],
], ids=["empty value", "key case", "section case", "other section", "before any section"])
def test_without_a_configured_log_no_file_is_written(machine, lines):
    package = machine.package()
    package.write_ini(["[GeneralOptions]", "Options=q"] + lines)
    before = machine.snapshot()
    assert package.run().exit_code == 0
    created, deleted, _ = machine.changes(before)
    assert (created, deleted) == ([], [])


def test_a_log_in_a_folder_that_does_not_exist_loses_its_lines_and_nothing_else(machine):
    package = machine.package()
    configure(package, "C:\\missing\\deeper\\chain.log")
    before = machine.snapshot()
    assert package.run().exit_code == 0
    created, deleted, _ = machine.changes(before)
    assert (created, deleted) == ([], [])


def test_every_line_written_before_a_kill_is_in_the_file(machine):
    """The log's own code, killed with SIGKILL once its lines are written:
    every write was flushed, so nothing is missing and no end marker came."""
    writer = machine.spawn(machine.tool("logwriter"), "C:\\pkg\\killed.log", "200")
    machine.host_path("C:\\pkg").mkdir()
    assert writer.stdout.readline().strip() == "written"
    os.kill(writer.pid, signal.SIGKILL)
    writer.wait(timeout=30)
    text = machine.read_text_utf16("C:\\pkg\\killed.log").lstrip("\ufeff")
    lines = re.findall(STAMP + r"(line \d+)\r\n", text)
    assert lines == [f"line {i}" for i in range(1, 201)]
    assert "End of Log" not in text
