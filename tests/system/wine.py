"""The system tests' view of Windows: a Wine prefix of their own per test.

A template prefix is made once per build (scripts/wine-prefix); each test
gets a clone made of hard links, with real copies of the files Wine writes,
and its own wineserver. Nothing is shared with the developer's ~/.wine.
"""
import json
import os
import select
import shutil
import subprocess
import tempfile
import time
from dataclasses import dataclass
from pathlib import Path, PureWindowsPath

REPO = Path(__file__).resolve().parents[2]
# Screenshots and other files a person may want to look at after a run.
ARTIFACTS = REPO / "build" / "artifacts"


def test_arch():
    return subprocess.run([str(REPO / "scripts" / "test-arch")], capture_output=True,
                          text=True, check=True).stdout.strip()


def win_tree():
    tree = os.environ.get("CHAINER_WIN_TEST_TREE")
    return Path(tree) if tree else REPO / "build" / test_arch()


def chainer_exe():
    """The program under test: the product itself when the host runs 32-bit
    code, else the x86_64 build of the same sources."""
    arch = test_arch()
    return REPO / "dist" / "chainer.exe" if arch == "i686" else win_tree() / "chainer.exe"


FIXTURES = ("launch", "regtool", "holdmutex", "exitwith", "emptygui", "logwriter", "platform",
            "fileversion", "msiquery", "windows", "waitfor", "reboot", "runatlogon", "installer", "launchfile",
            "docserver", "opensite", "certtrust", "dltool", "dlgdrive")
# The file versions the build gives its versioned test files; "none" is the
# file without a version resource.
VERSIONED = ("1.2.3.4", "2.0.0.0", "3.10.0.0", "65535.65535.65535.65535", "1.0.65535.0", "none")
MSI_SOURCES = REPO / "tests" / "fixtures" / "msi"


@dataclass
class MsiProduct:
    code: str
    version: str
    component: str


# What tests/fixtures/msi/*.wxs declare: two products under one upgrade code,
# each with one component, and a component that no package installs.
UPGRADE_CODE = "{79D0CE9E-1FEC-477E-8B94-FD2D0F5BF3F2}"
MSI_PRODUCTS = {
    "product_a": MsiProduct("{0DB8D5F2-4AA0-4D53-B1F0-678D6611A113}", "1.2.3",
                            "{4E40B28B-BC24-417E-B631-14920C144BCA}"),
    "product_b": MsiProduct("{1241AB0D-FD1D-44DE-9292-3DDFCCD2FE47}", "2.5.0",
                            "{8FA499F2-1A6F-4CB8-BFC2-A3503ADDAB6A}"),
}
NEVER_INSTALLED_COMPONENT = "{A850951D-A0E8-4BC0-99C8-7DB368961890}"
PROXY_VARIABLES = ("http_proxy", "https_proxy", "ftp_proxy", "no_proxy", "all_proxy")
INTERNET_SETTINGS = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings"
INTERNET_EXPLORER = "HKLM\\Software\\Microsoft\\Internet Explorer"
# Files a running Wine may rewrite in place: a clone needs its own copies.
WRITTEN_IN_PLACE = ("system.reg", "user.reg", "userdef.reg",
                    "drive_c/windows/win.ini", "drive_c/windows/system.ini")


@dataclass
class Result:
    exit_code: int
    output: str
    seconds: float


def new_machine_root():
    """A folder for one clone, on the file system of the template (hard
    links cannot cross file systems, and /tmp may be another one)."""
    runs = REPO / "build" / "wine" / "runs"
    runs.mkdir(parents=True, exist_ok=True)
    return Path(tempfile.mkdtemp(dir=runs))


def utf16_file_bytes(text):
    """A configuration as Windows tools save it: UTF-16LE behind FF FE."""
    return b"\xff\xfe" + text.encode("utf-16-le")


def ini_text(lines):
    return "".join(line + "\r\n" for line in lines)


class Display:
    """An X server of a test's own (Xvfb, no window manager). Xvfb picks a
    free display number itself and reports it through -displayfd, so tests
    running side by side never share or race for a display."""

    def __init__(self, width=1024, height=768):
        read_end, write_end = os.pipe()
        try:
            self.process = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{width}x{height}x24",
                 "-nolisten", "tcp"],
                pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                stderr=subprocess.DEVNULL)
        finally:
            os.close(write_end)
        try:
            number = self._read_number(read_end, timeout=30)
        except BaseException:
            self.close()
            raise
        finally:
            os.close(read_end)
        self.name = f":{number}"

    def _read_number(self, fd, timeout):
        deadline = time.monotonic() + timeout
        text = b""
        while not text.endswith(b"\n"):
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([fd], [], [], left)[0]:
                raise AssertionError("Xvfb did not report its display in time")
            chunk = os.read(fd, 64)
            if not chunk:
                raise AssertionError(f"Xvfb ended before reporting its display (code {self.process.poll()})")
            text += chunk
        return int(text.strip())

    def screenshot(self, name) -> Path:
        """Saves the whole screen as build/artifacts/NAME.png."""
        ARTIFACTS.mkdir(parents=True, exist_ok=True)
        path = ARTIFACTS / f"{name}.png"
        subprocess.run(["import", "-display", self.name, "-window", "root", str(path)],
                       check=True, capture_output=True, timeout=60)
        return path

    def close(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()


def parse_window_line(line):
    """One line of the windows fixture as a dict; rectangles become
    (left, top, right, bottom) tuples, styles integers."""
    window = {}
    for field in line.split("\t"):
        name, _, value = field.partition("=")
        if name in ("rect", "work"):
            value = tuple(int(n) for n in value.split(","))
        elif name in ("style", "exstyle"):
            value = int(value, 16)
        window[name] = value
    return window


class Machine:
    """One Wine prefix for one test. With `display` it gets an X server of
    its own, so that windows can be created, looked at and photographed;
    without one every window fails to open, as on a machine without a
    desktop."""

    def __init__(self, template: Path, root: Path, arch: str, display=False):
        self.arch = arch
        self.root = root
        self.prefix = root / "prefix"
        root.mkdir(parents=True, exist_ok=True)
        subprocess.run(["cp", "-al", str(template), str(self.prefix)], check=True)
        for name in WRITTEN_IN_PLACE:
            path = self.prefix / name
            if path.exists():
                data = path.read_bytes()
                path.unlink()
                path.write_bytes(data)
        (self.prefix / ".chainer-ready").unlink(missing_ok=True)
        self.loader = "/usr/lib/wine/wine64" if arch == "x86_64" else "wine"
        # Wine's WinINet takes a proxy from these before the registry's
        # settings: a developer's proxy must not stand between the tests and
        # their own servers.
        self.env = {name: value for name, value in os.environ.items() if name.lower() not in PROXY_VARIABLES}
        self.env.update(WINEPREFIX=str(self.prefix), WINEDEBUG="-all",
                        WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml=")
        self.env.pop("DISPLAY", None)
        self.tools = self.prefix / "drive_c" / "tools"
        self.tools.mkdir()
        for name in FIXTURES:
            shutil.copy2(win_tree() / f"{name}.exe", self.tools / f"{name}.exe")
        # Before any program runs: Wine's desktop binds to the display that
        # the prefix's first program finds.
        self.display = Display() if display else None
        if self.display:
            self.env["DISPLAY"] = self.display.name
        self._children = []
        try:
            # A warm server for the whole test: later starts take milliseconds.
            subprocess.run(["wineserver", "-p"], env=self.env, check=True)
            # The first program of a prefix starts Wine's own services; they
            # must not inherit a test's pipes, or reading to the end would
            # never end.
            subprocess.run([self.loader, self.tool("exitwith"), "0"], env=self.env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
            if self.display:
                # The same for the desktop process, which the first program
                # that touches the window system starts.
                subprocess.run([self.loader, self.tool("windows")], env=self.env, stdin=subprocess.DEVNULL,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
        except BaseException:
            self.close()
            raise

    def close(self):
        for child in self._children:
            if child.poll() is None:
                child.kill()
        subprocess.run(["wineserver", "-k"], env=self.env, capture_output=True)
        for child in self._children:
            try:
                child.wait(timeout=10)
            except subprocess.TimeoutExpired:
                pass
        if self.display:
            self.display.close()
        shutil.rmtree(self.root, ignore_errors=True)

    # Paths -----------------------------------------------------------------
    def host_path(self, win_path: str) -> Path:
        """The Linux path of a path on drive C: of this prefix. Windows names
        ignore case: a folder or file that exists under another case (the
        prefix's own "windows\\system32") is the one meant."""
        p = PureWindowsPath(win_path)
        assert p.drive.upper() == "C:", win_path
        path = self.prefix / "drive_c"
        for part in p.parts[1:]:
            exact = path / part
            if not exact.exists() and path.is_dir():
                other = [e for e in os.listdir(path) if e.lower() == part.lower()]
                exact = path / other[0] if other else exact
            path = exact
        return path

    def win_path(self, host_path: Path) -> str:
        rel = Path(host_path).relative_to(self.prefix / "drive_c")
        return "C:\\" + "\\".join(rel.parts)

    def tool(self, name):
        return f"C:\\tools\\{name}.exe"

    # Programs --------------------------------------------------------------
    def spawn(self, *command, stdin=subprocess.DEVNULL):
        """Starts a Windows program; its standard output is a text pipe."""
        child = subprocess.Popen([self.loader, *command], env=self.env, stdin=stdin,
                                 stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                 text=True, bufsize=1)
        self._children.append(child)
        return child

    def start(self, program, *args):
        """Starts a program through the launcher, which reports its full
        32-bit exit code; finish it with `finish`."""
        return self.spawn(self.tool("launch"), program, *args)

    def finish(self, child, timeout=60) -> Result:
        started = time.monotonic()
        try:
            output, _ = child.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            child.kill()
            raise AssertionError(f"still running after {timeout} s")
        lines = output.strip().splitlines()
        assert lines and lines[-1].startswith("exit-code "), f"launcher said: {output!r}"
        return Result(int(lines[-1].split()[1]), output, time.monotonic() - started)

    def run(self, program, *args, timeout=60) -> Result:
        started = time.monotonic()
        result = self.finish(self.start(program, *args), timeout)
        result.seconds = time.monotonic() - started
        return result

    # Windows on the screen --------------------------------------------------
    def windows(self, ping=False):
        """Every visible top-level window: caption, class, status (the text of
        control 1001, when there is one), rect and work (monitor work area),
        style and exstyle; with `ping`, whether its thread answers a message
        within 2 s (responsive)."""
        command = [self.loader, self.tool("windows")] + (["--ping"] if ping else [])
        done = subprocess.run(command, env=self.env, stdin=subprocess.DEVNULL,
                              capture_output=True, timeout=60)
        assert done.returncode == 0, done.stderr
        return [parse_window_line(line) for line in done.stdout.decode("utf-8").splitlines() if line]

    def wait_for_window(self, caption, timeout=30):
        """The first visible window with this caption, once there is one."""
        deadline = time.monotonic() + timeout
        while True:
            found = [w for w in self.windows() if w["caption"] == caption]
            if found:
                return found[0]
            if time.monotonic() > deadline:
                raise AssertionError(f"no window {caption!r} after {timeout} s; windows: {self.windows()}")
            time.sleep(0.2)

    def screenshot(self, name) -> Path:
        assert self.display, "screenshots need a machine with a display"
        return self.display.screenshot(name)

    # Registry --------------------------------------------------------------
    def _regtool(self, *args, view=None):
        command = [self.loader, self.tool("regtool")]
        if view:
            command.append(f"--{view}")
        done = subprocess.run(command + list(args), env=self.env, stdin=subprocess.DEVNULL,
                              capture_output=True, timeout=60)
        return done.returncode, done.stdout.decode("utf-8")

    def reg_set(self, key, name, kind, data, view=None):
        code, out = self._regtool("set", key, name, kind, str(data), view=view)
        assert code == 0, out

    def reg_get(self, key, name, view=None):
        """(kind, text) of a value, or None when it is missing."""
        code, out = self._regtool("get", key, name, view=view)
        if code == 1:
            return None
        assert code == 0, out
        kind, _, text = out.rstrip("\n").partition(" ")
        return kind, text

    def reg_list(self, key, view=None):
        code, out = self._regtool("list", key, view=view)
        if code == 1:
            return None
        values = {}
        for line in out.splitlines():
            name, _, rest = line.partition("=")
            kind, _, text = rest.partition(" ")
            values[name] = (kind, text)
        return values

    def reg_delete_key(self, key, view=None):
        return self._regtool("delkey", key, view=view)[0] == 0

    def reg_delete_value(self, key, name, view=None):
        return self._regtool("delvalue", key, name, view=view)[0] == 0

    # Network settings --------------------------------------------------------
    def trust_certificate(self, der_host_path):
        """Adds a DER certificate (a Linux path) to this machine's trusted
        root authorities, through tests/fixtures/certtrust.cpp."""
        target = f"C:\\certs\\{Path(der_host_path).name}"
        host = self.host_path(target)
        host.parent.mkdir(exist_ok=True)
        shutil.copyfile(der_host_path, host)
        result = self.run(self.tool("certtrust"), target)
        assert result.exit_code == 0, f"certtrust {target}: {result.output}"

    def set_system_proxy(self, host_port, bypass="<-loopback>"):
        """The preconfigured proxy WinINet uses: "host:port". Newer Windows
        versions go direct to loopback addresses unless the bypass list
        holds "<-loopback>"; Wine 8 bypasses only the names the list holds
        ("<local>" does not match 127.0.0.1), so either way the tests'
        servers on 127.0.0.1 are reached through the proxy. Wine sends FTP
        direct whatever this says."""
        self.reg_set(INTERNET_SETTINGS, "ProxyEnable", "dword", 1)
        self.reg_set(INTERNET_SETTINGS, "ProxyServer", "sz", host_port)
        self.reg_set(INTERNET_SETTINGS, "ProxyOverride", "sz", bypass)

    def set_ie_version(self, text):
        """The Internet Explorer version the chainer's probe reads ("Version"
        in the 32-bit view); None removes it, so that no version is known.
        A new prefix says 9.11.9600.18376."""
        if text is None:
            self.reg_delete_value(INTERNET_EXPLORER, "Version", view="32")
            self.reg_delete_value(INTERNET_EXPLORER, "IVer", view="32")
        else:
            self.reg_set(INTERNET_EXPLORER, "Version", "sz", text, view="32")

    # Files -----------------------------------------------------------------
    def snapshot(self):
        """Every file and folder on drive C: with its size and time."""
        root = self.prefix / "drive_c"
        state = {}
        for dirpath, dirnames, filenames in os.walk(root):
            for name in dirnames + filenames:
                path = Path(dirpath) / name
                try:
                    st = path.lstat()
                except FileNotFoundError:
                    continue
                state[self.win_path(path)] = (st.st_size, st.st_mtime_ns)
        return state

    def changes(self, before):
        """(created, deleted, modified) paths on drive C: since `before`."""
        after = self.snapshot()
        created = sorted(set(after) - set(before))
        deleted = sorted(set(before) - set(after))
        modified = sorted(p for p in set(before) & set(after) if before[p] != after[p])
        return created, deleted, modified

    def place_versioned(self, version, win_path):
        """Puts the test file whose version resource says `version` ("none":
        the file without one) at a path of drive C:, creating its folders.
        The path is the one a 64-bit program sees: C:\\windows\\system32 is the
        64-bit system folder, which a 32-bit program sees as syswow64."""
        assert version in VERSIONED, version
        target = self.host_path(win_path)
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(win_tree() / f"versioned-{version}.dll", target)
        return target

    # The stand-in installer ---------------------------------------------------
    def place_installer(self, win_path, exit_code=None):
        """Copies the stand-in installer (tests/fixtures/installer.cpp) to a
        path of drive C:, creating its folders. With `exit_code`, that copy
        ends with it whatever its arguments say."""
        target = self.host_path(win_path)
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(win_tree() / "installer.exe", target)
        if exit_code is not None:
            Path(f"{target}.exit").write_text(str(exit_code))
        return target

    def installer_runs(self, win_path):
        """What the copy of the installer at this path recorded, one dict per
        run, oldest first: self, cwd, cmdline (exactly as GetCommandLineW
        gave it), show (-1: none given) and exit (unsigned)."""
        record = self.host_path(f"{win_path}.runs")
        if not record.exists():
            return []
        return [json.loads(line) for line in record.read_text(encoding="ascii").splitlines() if line]

    def read_text_utf16(self, win_path):
        return self.host_path(win_path).read_bytes().decode("utf-16")

    # Windows Installer -----------------------------------------------------
    def build_msi(self, name):
        """Builds tests/fixtures/msi/NAME.wxs into an MSI package beside this
        prefix and returns its Linux path."""
        out = self.root / "msi" / f"{name}.msi"
        out.parent.mkdir(exist_ok=True)
        done = subprocess.run(["wixl", "-o", str(out), f"{name}.wxs"], cwd=MSI_SOURCES,
                              capture_output=True, text=True, timeout=120)
        assert done.returncode == 0, done.stderr
        return out

    def install_msi(self, path):
        """Installs an MSI package (a Linux path) in this prefix with Wine's
        msiexec, without any user interface, and checks that it succeeded."""
        path = Path(path)
        target = f"C:\\msi\\{path.name}"
        host = self.host_path(target)
        host.parent.mkdir(exist_ok=True)
        shutil.copyfile(path, host)
        result = self.run("msiexec", "/i", target, "/qn", timeout=300)
        assert result.exit_code == 0, f"msiexec /i {target}: {result.output}"
        return result

    # Packages --------------------------------------------------------------
    def package(self, exe_name="setup.exe", folder="C:\\pkg"):
        return Package(self, folder, exe_name)


class Package:
    """A package folder holding the chainer under some name and, usually,
    its configuration file."""

    def __init__(self, machine: Machine, folder: str, exe_name: str):
        self.machine = machine
        self.folder = folder
        self.exe_name = exe_name
        self.host_folder = machine.host_path(folder)
        self.host_folder.mkdir(parents=True, exist_ok=True)
        shutil.copy2(chainer_exe(), self.host_folder / exe_name)

    @property
    def exe(self):
        return f"{self.folder}\\{self.exe_name}"

    def default_ini_name(self):
        base = self.exe_name.rsplit(".", 1)[0] if "." in self.exe_name else self.exe_name
        return base + ".ini"

    def write_ini(self, lines=(), name=None):
        """Writes the configuration as UTF-16LE with its byte-order mark;
        each line ends with CR LF."""
        return self.write_ini_bytes(utf16_file_bytes(ini_text(lines)), name)

    def write_ini_bytes(self, data: bytes, name=None):
        path = self.host_folder / (name or self.default_ini_name())
        path.write_bytes(data)
        return path

    def run(self, *args, timeout=60) -> Result:
        return self.machine.run(self.exe, *args, timeout=timeout)

    def start(self, *args):
        return self.machine.start(self.exe, *args)
