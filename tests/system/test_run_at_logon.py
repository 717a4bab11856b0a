"""Run-at-logon registration under the Windows versions Wine can report: a
hidden scheduler job from Vista on, a value under the user's Run key before.
Each test has a prefix of its own, so the version setting and whatever the
registration leaves behind stay there."""
import struct

import pytest

WINE_KEY = "HKCU\\Software\\Wine"
RUN_KEY = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"
TASKS = "C:\\windows\\Tasks"


def set_windows(machine, setting):
    if setting is None:  # Windows 7 workstation, Wine's default
        machine._regtool("delvalue", WINE_KEY, "Version")
    else:
        machine.reg_set(WINE_KEY, "Version", "sz", setting)


def register(machine, command, arguments=None):
    args = [command] if arguments is None else [command, arguments]
    child = machine.spawn(machine.tool("runatlogon"), *args)
    out, _ = child.communicate(timeout=60)
    assert child.returncode == 0, out
    assert out.strip() in ("registered=true", "registered=false"), out
    return out.strip() == "registered=true"


def job_files(machine):
    folder = machine.host_path(TASKS)
    return sorted(p.name for p in folder.iterdir()) if folder.is_dir() else []


def read_job(path):
    """The fields of a .job file (the Task Scheduler 1.0 file format) that
    the registration sets: flags, maximum run time, the application name and
    parameters, and the type and size of each trigger."""
    data = path.read_bytes()
    max_run_time, = struct.unpack_from("<I", data, 36)
    flags, = struct.unpack_from("<I", data, 48)
    name_offset, trigger_offset = struct.unpack_from("<HH", data, 20)

    def text(offset):
        chars, = struct.unpack_from("<H", data, offset)
        raw = data[offset + 2:offset + 2 + 2 * chars].decode("utf-16-le")
        return raw.rstrip("\0"), offset + 2 + 2 * chars

    program, offset = text(name_offset)
    parameters, _ = text(offset)
    count, = struct.unpack_from("<H", data, trigger_offset)
    triggers = []
    for i in range(count):
        base = trigger_offset + 2 + 48 * i
        size, = struct.unpack_from("<H", data, base)
        kind, = struct.unpack_from("<I", data, base + 32)
        triggers.append((size, kind))
    return dict(flags=flags, max_run_time=max_run_time, program=program, parameters=parameters,
                triggers=triggers)


AT_LOGON = 7


@pytest.mark.parametrize("setting", ["vista", None, "win8"], ids=["vista", "win7", "win8"])
def test_vista_and_later_register_a_hidden_logon_job(machine, setting):
    set_windows(machine, setting)
    run_before = machine.reg_list(RUN_KEY)

    assert register(machine, "C:\\tools\\exitwith.exe", "1 2")

    assert job_files(machine) == ["C__tools_exitwith_exe.job"]
    job = read_job(machine.host_path(TASKS + "\\C__tools_exitwith_exe.job"))
    assert job == dict(flags=0x2200, max_run_time=0xFFFFFFFF, program='"C:\\tools\\exitwith.exe"',
                       parameters="1 2", triggers=[(48, AT_LOGON)])
    assert machine.reg_list(RUN_KEY) == run_before

    # Again, with other arguments: the same job, changed.
    assert register(machine, "C:\\tools\\exitwith.exe", "3")
    assert job_files(machine) == ["C__tools_exitwith_exe.job"]
    job = read_job(machine.host_path(TASKS + "\\C__tools_exitwith_exe.job"))
    assert job["parameters"] == "3"
    assert job["triggers"] == [(48, AT_LOGON)]

    # An empty command, as the chain holds it today: nothing at all.
    assert not register(machine, "")
    assert not register(machine, "", "/resume")
    assert job_files(machine) == ["C__tools_exitwith_exe.job"]
    assert machine.reg_list(RUN_KEY) == run_before


@pytest.mark.parametrize("setting", ["winxp", "win2k"])
def test_before_vista_the_command_goes_to_the_run_key(machine, setting):
    set_windows(machine, setting)
    before = machine.reg_list(RUN_KEY) or {}
    hundred = "C:\\" + "d" * 91 + "\\a.exe"
    machine.reg_set(RUN_KEY, "C:\\keep\\me.exe", "sz", "k" * 99)     # 200 bytes: fits
    machine.reg_set(RUN_KEY, "C:\\long\\me.exe", "sz", "k" * 100)    # 202 bytes: replaced

    # (command, arguments) -> (value name, data)
    cases = [
        (("C:\\tools\\exitwith.exe", "1 2"), ("C:\\tools\\exitwith.exe", "C:\\tools\\exitwith.exe 1 2")),
        (("C:\\Program Files\\App\\setup.exe", "/resume"),
         ("C:\\Program Files\\App\\setup.exe", '"C:\\Program Files\\App\\setup.exe" /resume')),
        (("C:\\Program Files\\Other\\run.exe", None),
         ("C:\\Program Files\\Other\\run.exe", "C:\\Program Files\\Other\\run.exe")),
        ((hundred, "/x"), (hundred[-79:], hundred + " /x")),
        (("C:\\keep\\me.exe", "/new"), ("C:\\keep\\me.exe", "k" * 99)),
        (("C:\\long\\me.exe", "/new"), ("C:\\long\\me.exe", "C:\\long\\me.exe /new")),
    ]
    for (command, arguments), _ in cases:
        assert register(machine, command, arguments), command
    assert not register(machine, "")
    assert not register(machine, "", "/resume")

    expected = dict(before)
    expected.update({name: ("sz", data) for _, (name, data) in cases})
    assert machine.reg_list(RUN_KEY) == expected
    assert "" not in expected
    assert job_files(machine) == []
