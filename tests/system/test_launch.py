"""LaunchFile, the product's one way of starting installers and command
searches, driven through tests/fixtures/launchfile.cpp (the product's own
code) against the stand-in installer (tests/fixtures/installer.cpp), which
records the command line, working folder and show state it received."""
import json
import subprocess
import time


CASES_FILE = "C:\\launch-cases.txt"
INSTALLER = "C:\\tools\\installer.exe"
# Outside ANSI code page 1252 as well as inside it, and a blank.
UNICODE_FOLDER = "C:\\Program Files\\Setup Ünï 中文 жук"
UNSET = 0x5A5A5A5A  # an exit-code variable's value before the call
LAUNCHED_PRODUCT = "{87223520-AD56-4486-AB78-E0B6EF8FB042}"  # tests/fixtures/msi/launched.wxs


def write_cases(machine, cases):
    """The cases as launchfile.exe reads them: blocks of key=value lines."""
    blocks = []
    for case in cases:
        lines = []
        for key, value in case.items():
            value = str(value)
            assert "\n" not in value and "\r" not in value, "a case value is one line"
            lines.append(f"{key}={value}")
        blocks.append("\n".join(lines))
    machine.host_path(CASES_FILE).write_bytes(("\n\n".join(blocks) + "\n").encode("utf-8"))


def launch_files(machine, cases, timeout=120):
    """Runs LaunchFile once per case; one dict per case: result, error (the
    last error right after the call), code (None without a pointer)."""
    write_cases(machine, cases)
    done = subprocess.run([machine.loader, machine.tool("launchfile"), CASES_FILE], env=machine.env,
                          stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout)
    lines = done.stdout.decode("ascii").splitlines()
    assert done.returncode == 0 and len(lines) == len(cases), done.stdout
    return [json.loads(line) for line in lines]


def start_launch_file(machine, case):
    """Runs LaunchFile for one case in a program of its own and returns that
    program at once; its output is the result line."""
    write_cases(machine, [case])
    return machine.spawn(machine.tool("launchfile"), CASES_FILE)


def wait_until(condition, timeout=30, what="condition"):
    deadline = time.monotonic() + timeout
    while not condition():
        if time.monotonic() > deadline:
            raise AssertionError(f"no {what} after {timeout} s")
        time.sleep(0.05)


def test_exit_codes_come_back_whole_and_the_hidden_flag_hides(machine):
    """Every 32-bit exit code reaches the caller as the installer gave it,
    overwriting the variable's value; the hidden flag is the show state the
    program is started with."""
    cases = [
        ("0", 0, False),
        ("1603", 1603, True),
        ("3010", 3010, False),
        ("0xC0000005", 0xC0000005, True),
        ("-1", 0xFFFFFFFF, False),
    ]
    results = launch_files(machine, [{"path": INSTALLER, "args": arg, "code": UNSET, "hidden": int(hidden)}
                                     for arg, _code, hidden in cases])
    runs = machine.installer_runs(INSTALLER)
    assert len(runs) == len(cases)
    for (arg, code, hidden), result, run in zip(cases, results, runs):
        assert result["result"] is True, arg
        assert result["code"] == code, arg
        assert run["exit"] == code, arg
        # SW_HIDE is 0, SW_SHOWNORMAL 1.
        assert run["show"] == (0 if hidden else 1), arg


def test_command_line_and_working_folder(machine):
    """The installer gets the file as opened, the argument string unchanged
    after it, and the file's folder as its working folder; the long-path
    prefix is dropped from both. Each case has a copy of its own."""
    spaced = f"{UNICODE_FOLDER}\\setup one.exe"
    prefixed = f"{UNICODE_FOLDER}\\setup two.exe"
    no_args = f"{UNICODE_FOLDER}\\setup three.exe"
    cases = [
        # (case for launchfile, installer's path, folder it must run in,
        #  the command line it must receive, or None to check the arguments only)
        ({"path": spaced, "args": "/quiet /norestart"}, spaced, UNICODE_FOLDER,
         f'"{spaced}" /quiet /norestart'),
        ({"path": "\\\\?\\" + prefixed, "args": "/passive"}, prefixed, UNICODE_FOLDER, f'"{prefixed}" /passive'),
        # An empty argument string gives no parameters at all: not even a
        # blank after the file.
        ({"path": no_args, "args": ""}, no_args, UNICODE_FOLDER, f'"{no_args}"'),
        # A bare name is found in, and runs in, the caller's current folder.
        ({"path": "bare-installer.exe", "args": "/s", "cwd": "C:\\work"}, "C:\\work\\bare-installer.exe",
         "C:\\work", None),
        # A file in a drive's root: its folder is "C:", which names the
        # current folder of that drive, so it runs where the caller is.
        ({"path": "C:\\root-installer.exe", "args": "/s", "cwd": "C:\\elsewhere"}, "C:\\root-installer.exe",
         "C:\\elsewhere", '"C:\\root-installer.exe" /s'),
    ]
    machine.host_path("C:\\elsewhere").mkdir()
    for _case, installer, _folder, _line in cases:
        machine.place_installer(installer)
    results = launch_files(machine, [case for case, *_ in cases])
    for (case, installer, folder, command_line), result in zip(cases, results):
        assert result["result"] is True and result["code"] == 0, case
        runs = machine.installer_runs(installer)
        assert len(runs) == 1, case
        assert runs[0]["self"] == installer, case
        assert runs[0]["cwd"] == folder, case
        if command_line is None:
            _first, _, arguments = runs[0]["cmdline"].partition(" ")
            assert arguments == case["args"], case
        else:
            assert runs[0]["cmdline"] == command_line, case


def test_arguments_are_passed_as_given(machine):
    """LaunchFile neither quotes, expands nor shortens the argument string:
    quotes, percent signs, brackets and shell characters arrive unchanged,
    and so does an argument text of 32 000 characters."""
    long_text = "".join(f"/p{n:05d}=x" for n in range(4000))  # 36 000 characters...
    long_text = long_text[:32000]                               # ...cut to 32 000
    texts = [
        '"quoted path\\with space" "" "a ""b"" c" \\"',
        "%PATH% %% %1 %~dp0 %SystemRoot%",
        "[TempFolder] [SourceDir]\\x ]odd[ !HKCU\\Software\\Key\\Value! {GUID}",
        "^ & | < > ( ) ; , = ` ' \t tab",
        long_text,
    ]
    results = launch_files(machine, [{"path": INSTALLER, "args": text} for text in texts])
    runs = machine.installer_runs(INSTALLER)
    assert len(runs) == len(texts)
    for text, result, run in zip(texts, results, runs):
        assert result["result"] is True, text[:40]
        assert run["cmdline"] == f'"{INSTALLER}" {text}', text[:40]


def test_argument_text_beyond_a_command_line_neither_hangs_nor_crashes(machine):
    """A Windows command line holds at most 32 767 characters with its end.
    Past that the shell decides; under Wine the program starts with the
    command line cut there. What matters here: the call returns, nothing
    crashes, and what did arrive is the beginning of what was asked for."""
    text = "/x " + "y" * 33000
    result, = launch_files(machine, [{"path": INSTALLER, "args": text, "code": UNSET}])
    runs = machine.installer_runs(INSTALLER)
    wanted = f'"{INSTALLER}" {text}'
    if result["result"]:
        assert len(runs) == 1
        assert wanted.startswith(runs[0]["cmdline"]) and len(runs[0]["cmdline"]) <= 32766
        assert result["code"] == 0
    else:
        assert runs == [] and result["error"] != 0 and result["code"] == UNSET


def test_batch_file_runs_in_its_folder_with_its_arguments(machine):
    """A .bat file is opened by the command interpreter; its exit code and
    working folder are the script's."""
    script = machine.host_path("C:\\batch dir\\setup.bat")
    script.parent.mkdir()
    script.write_bytes(b'@"C:\\tools\\installer.exe" %*\r\n@exit /b %errorlevel%\r\n')
    result, = launch_files(machine, [{"path": "C:\\batch dir\\setup.bat", "args": '3010 "x y"', "code": UNSET}])
    assert result["result"] is True
    assert result["code"] == 3010
    run, = machine.installer_runs(INSTALLER)
    assert run["cwd"] == "C:\\batch dir"
    assert run["cmdline"] == f'"{INSTALLER}" 3010 "x y"'


def test_windows_installer_package_through_the_shell(machine):
    """An .msi file is handed to msiexec by its file type. Windows's own
    association passes the arguments on ("%*"); Wine's does not, so this
    machine is given Windows's. The package installs only when the
    arguments say ACCEPT=1, otherwise the installation fails with 1603."""
    machine.reg_set("HKCR\\Msi.Package\\shell\\Open\\command", "", "sz",
                    'C:\\windows\\system32\\msiexec.exe /i "%1" %*')
    package = machine.host_path("C:\\msi files\\launched.msi")
    package.parent.mkdir()
    package.write_bytes(machine.build_msi("launched").read_bytes())
    path = machine.win_path(package)
    refused, installed = launch_files(machine, [{"path": path, "args": "/qn", "code": UNSET},
                                                {"path": path, "args": "ACCEPT=1 /qn", "code": UNSET}],
                                      timeout=300)
    assert refused["result"] is True and refused["code"] == 1603
    assert installed["result"] is True and installed["code"] == 0
    query = subprocess.run([machine.loader, machine.tool("msiquery"), "product", LAUNCHED_PRODUCT],
                           env=machine.env, stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=60)
    assert query.stdout.strip() == "version=3.0.1"


def test_files_that_cannot_be_opened(machine):
    """False, with the shell's last error, and the exit code untouched."""
    machine.host_path("C:\\plain").mkdir()
    machine.host_path("C:\\plain\\notes.unknowntype").write_text("x")
    cases = [
        ("C:\\tools\\missing.exe", 2),                 # ERROR_FILE_NOT_FOUND
        ("C:\\no such folder\\setup.exe", 3),          # ERROR_PATH_NOT_FOUND
        ("\\\\?\\C:\\tools\\missing.exe", 2),
        # No program for the file type: Windows says ERROR_NO_ASSOCIATION
        # (1155), Wine tries the file as a program and says 193.
        ("C:\\plain\\notes.unknowntype", None),
    ]
    results = launch_files(machine, [{"path": path, "args": "/q", "code": UNSET} for path, _ in cases])
    for (path, error), result in zip(cases, results):
        assert result["result"] is False and result["code"] == UNSET, path
        assert result["error"] == error if error else result["error"] != 0, path


def test_without_an_exit_code_pointer_launch_file_does_not_wait(machine):
    """Held by its hold file, the installer keeps running: LaunchFile without
    a pointer returns while it runs, LaunchFile with one waits for its end."""
    hold = machine.host_path(f"{INSTALLER}.hold")
    hold.write_text("")
    caller = start_launch_file(machine, {"path": INSTALLER, "args": "1603", "code": "none"})
    output, _ = caller.communicate(timeout=60)
    result = json.loads(output)
    assert result["result"] is True and result["code"] is None
    wait_until(lambda: machine.installer_runs(INSTALLER), what="installer run")
    assert hold.exists()

    waiting = start_launch_file(machine, {"path": INSTALLER, "args": "3010", "code": UNSET})
    wait_until(lambda: len(machine.installer_runs(INSTALLER)) == 2, what="second installer run")
    time.sleep(1)
    assert waiting.poll() is None, "LaunchFile with a pointer returned while the installer ran"
    hold.unlink()
    output, _ = waiting.communicate(timeout=60)
    assert json.loads(output)["code"] == 3010


def test_document_handed_to_a_running_program(gui_machine):
    """A file type whose "open" verb goes to a running program by DDE: the
    shell starts no process, LaunchFile returns true and the exit code keeps
    the caller's value. DDE needs the window system, hence the display. The
    verb's command is the stand-in installer, so a shell that started a
    process instead would show up in its record."""
    machine = gui_machine
    for key, value in [("HKCR\\.chaindoc", "Acme.ChainDoc"),
                       ("HKCR\\Acme.ChainDoc\\shell\\open\\command", f'"{INSTALLER}" "%1"'),
                       ("HKCR\\Acme.ChainDoc\\shell\\open\\ddeexec", '[open("%1")]'),
                       ("HKCR\\Acme.ChainDoc\\shell\\open\\ddeexec\\application", "ChainDocServer"),
                       ("HKCR\\Acme.ChainDoc\\shell\\open\\ddeexec\\topic", "System")]:
        machine.reg_set(key, "", "sz", value)
    document = "C:\\docs\\letter one.chaindoc"
    machine.host_path(document).parent.mkdir()
    machine.host_path(document).write_text("text")
    server = machine.spawn(machine.tool("docserver"), "ChainDocServer")
    assert server.stdout.readline().strip() == "ready"

    result, = launch_files(machine, [{"path": document, "args": "", "code": UNSET}], timeout=60)
    assert result["result"] is True and result["code"] == UNSET
    assert machine.installer_runs(INSTALLER) == []
    record = machine.host_path("C:\\tools\\docserver.exe.runs").read_text(encoding="ascii")
    assert [json.loads(line) for line in record.splitlines()] == [{"execute": f'[open("{document}")]'}]
