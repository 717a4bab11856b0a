"""Detection against a real machine: registry keys and values in every root
and type, versioned files found by path, reference, bare name and depth,
installed Windows Installer products, upgrade codes and components, and the
Windows and language filters. Each test prepares one prefix, writes one
configuration with a prerequisite per case, runs the chainer once, and reads
the first detection pass back from the log: one "Searching for:" and one
"Search result:" line per prerequisite, in configuration order."""
import itertools
import re
import shutil
from dataclasses import dataclass, field

from wine import MSI_PRODUCTS, NEVER_INSTALLED_COMPONENT, UPGRADE_CODE

LOG = "C:\\pkg\\chain.log"
STAMP = re.compile(r"\d{4}-\d{2}-\d{2} @\d{2}:\d{2}:\d{2}-")

FOUND = "An acceptable version was found."
FROM_PACKAGE = "No acceptable version found. It must be installed from package."
DOWNLOAD = "No acceptable version found. It must be downloaded."
SITE = "No acceptable version found. It must be downloaded manually from a site."
WRONG_OS = object()
NOTHING_MISSING = "No prerequisite must be installed."
DETECTION_LINES = ("Searching for:", "Search result:", "Wrong OS or Os language for:", "SystemDefault LangID=")

# A package-file location that no run can start: a missing prerequisite is
# reported as one to install from the package, and its installer then fails
# to start, which changes nothing that these tests look at.
ABSENT_SETUP = "SetupFile=absent-setup.exe"


@dataclass
class Prereq:
    name: str
    searches: list = field(default_factory=list)  # (type, string, VerMin, VerMax, RefContent or None)
    expected: object = FOUND
    keys: list = field(default_factory=list)  # further lines of the section
    location: str = ABSENT_SETUP
    language_checked: bool = False  # the language filter is reached and logs the system language

    def section(self):
        lines = [f"[{self.name}]", self.location, *self.keys]
        for n, (kind, string, vermin, vermax, ref) in enumerate(self.searches, 1):
            lines += [f"SearchType{n}={kind}", f"SearchString{n}={string}"]
            if vermin:
                lines.append(f"VerMin{n}={vermin}")
            if vermax:
                lines.append(f"VerMax{n}={vermax}")
            if ref is not None:
                lines.append(f"RefContent{n}={ref}")
        return lines


def one(name, kind, string, found, vermin="", vermax="", ref=None, options=""):
    """A prerequisite with a single search, installed from the package."""
    return Prereq(name, [(kind, string, vermin, vermax, ref)], FOUND if found else FROM_PACKAGE,
                  [f"Options={options}"] if options else [])


def configuration(prereqs, log):
    lines = ["[GeneralOptions]", "Options=q", "[PREREQ_CHAINER]", f"LogFile={log}", "[PREREQUISITES]"]
    lines += [f"App{n}={p.name}" for n, p in enumerate(prereqs, 1)]
    for p in prereqs:
        lines += p.section()
    return lines


def log_events(machine, log):
    """The log's time-stamped messages, without their stamps."""
    text = machine.read_text_utf16(log).lstrip("\ufeff")
    return [line[m.end():] for line in text.split("\r\n") if (m := STAMP.match(line))]


def expected_lines(p, langid):
    lines = []
    if p.language_checked:
        lines.append(re.escape(f"SystemDefault LangID={langid}-") + ".+")
    if p.expected is WRONG_OS:
        lines.append(re.escape(f"Wrong OS or Os language for:{p.name}"))
    else:
        lines += [re.escape(f"Searching for:{p.name}"), re.escape(f"Search result:{p.expected}")]
    return lines


def detect(machine, prereqs, log=LOG, langid=None):
    """Runs the chainer on a configuration of these prerequisites and checks
    its first detection pass line by line, what follows it, and the exit
    code. Returns the log's messages."""
    assert len({p.name for p in prereqs}) == len(prereqs), "prerequisite names must differ"
    package = machine.package()
    package.write_ini(configuration(prereqs, log))
    result = package.run(timeout=300)
    assert result.exit_code == 0

    events = log_events(machine, log)
    start = next((i for i, e in enumerate(events) if e.startswith(DETECTION_LINES)), None)
    assert start is not None, f"no detection in the log: {events}"
    block = list(itertools.takewhile(lambda e: e.startswith(DETECTION_LINES), events[start:]))
    wanted = [line for p in prereqs for line in expected_lines(p, langid)]
    wrong = [f"line {i + 1}: expected /{want}/, got {got!r}"
             for i, (want, got) in enumerate(itertools.zip_longest(wanted, block))
             if want is None or got is None or not re.fullmatch(want, got)]
    assert not wrong, "\n".join(wrong)

    after = events[start + len(block):]
    if all(p.expected in (FOUND, WRONG_OS) for p in prereqs):
        assert after[:1] == [NOTHING_MISSING]
    else:
        assert NOTHING_MISSING not in events
    return events


# Registry ------------------------------------------------------------------

TOOL = "HKLM\\Software\\AcmeTest\\Tool"
LONG_99 = "v" * 95 + "-9.9"  # with its NUL, exactly the 200 bytes first offered
LONG_100 = "w" * 96 + "-1.0"  # one character more: read again with the size asked for
LONG_150 = "x" * 142 + "tail-7.5"

REGISTRY_VALUES = [
    (TOOL, "Version", "sz", "8.0.50727"),
    (TOOL, "Empty", "sz", ""),
    (TOOL, "", "sz", "default text"),
    (TOOL, "Count", "dword", "13"),
    (TOOL, "Zero", "dword", "0"),
    (TOOL, "Huge", "dword", "4294967295"),
    # Its four bytes are the UTF-16 text "45": read as text, whatever the type.
    (TOOL, "Digits", "dword", str(0x00350034)),
    (TOOL, "Expand", "expand_sz", "5.1"),
    (TOOL, "Binary", "binary", "31002e003700"),  # "1.7" without a terminating NUL
    (TOOL, "NoData", "binary", ""),
    (TOOL, "Multi", "multi_sz", "3.0|4.0"),
    (TOOL, "Long99", "sz", LONG_99),
    (TOOL, "Long100", "sz", LONG_100),
    (TOOL, "Long150", "sz", LONG_150),
    (TOOL + "\\1.5", "Mark", "sz", "x"),
    (TOOL + "\\2.0", "Mark", "sz", "x"),
    (TOOL + "\\beta", "Mark", "sz", "x"),
    ("HKLM\\Software\\AcmeTest\\NoSub", "Only", "sz", "1.0"),
    ("HKCU\\Software\\AcmeTest\\User", "Version", "sz", "3.1"),
    ("HKCR\\AcmeTest.File", "", "sz", "Acme document"),
    ("HKCC\\Software\\AcmeTest", "Mode", "sz", "on"),
    ("HKU\\.DEFAULT\\Software\\AcmeTest", "Version", "sz", "4.0"),
]

MISSING_KEY = "HKLM\\Software\\AcmeTest\\Missing"

REGISTRY_CASES = [
    # Type 5 and 6: the key opens, or does not; every root by both names.
    one("key exists", 5, TOOL, True),
    one("key missing", 5, MISSING_KEY, False),
    one("root without subkey", 5, "HKLM", False),
    one("root names ignore case", 5, "hklm\\Software\\AcmeTest\\Tool", True),
    one("long root name", 5, "Hkey_Local_Machine\\SOFTWARE\\ACMETEST\\TOOL", True),
    one("HKCU key", 5, "hkcu\\Software\\AcmeTest\\User", True),
    one("HKEY_CURRENT_USER key", 5, "HKEY_CURRENT_USER\\Software\\AcmeTest\\User", True),
    one("HKCR key", 5, "HKCR\\AcmeTest.File", True),
    one("HKCC key", 5, "HKCC\\Software\\AcmeTest", True),
    one("HKEY_CURRENT_CONFIG key", 5, "HKEY_CURRENT_CONFIG\\Software\\AcmeTest", True),
    one("HKU key", 5, "HKU\\.DEFAULT\\Software\\AcmeTest", True),
    one("HKEY_USERS key", 5, "HKEY_USERS\\.DEFAULT\\Software\\AcmeTest", True),
    one("misspelt root means HKEY_USERS", 5, "HKLN\\.DEFAULT\\Software\\AcmeTest", True),
    one("misspelt HKLM path is looked for in HKEY_USERS", 5, "HKLN\\Software\\AcmeTest\\Tool", False),
    one("absent key type 6", 6, MISSING_KEY, True),
    one("existing key type 6", 6, TOOL, False),
    one("root without subkey type 6", 6, "HKLM", True),
    # Type 7 and 8: the value exists, or does not.
    one("value exists", 7, TOOL + "\\Version", True),
    one("value missing", 7, TOOL + "\\Nope", False),
    one("empty value exists", 7, TOOL + "\\Empty", True),
    one("trailing backslash asks for the default value", 7, TOOL + "\\", True),
    one("key without default value", 7, "HKLM\\Software\\AcmeTest\\NoSub\\", False),
    one("value of a missing key", 7, MISSING_KEY + "\\Version", False),
    one("value path without backslash", 7, "HKLM", False),
    one("HKCR default value", 7, "HKEY_CLASSES_ROOT\\AcmeTest.File\\", True),
    one("HKCC value", 7, "HKEY_CURRENT_CONFIG\\Software\\AcmeTest\\Mode", True),
    one("absent value type 8", 8, TOOL + "\\Nope", True),
    one("existing value type 8", 8, TOOL + "\\Version", False),
    one("no default value type 8", 8, "HKLM\\Software\\AcmeTest\\NoSub\\", True),
    one("value of a missing key type 8", 8, MISSING_KEY + "\\Version", True),
    one("value path without backslash type 8", 8, "HKLM", True),
    # Type 2: the data as text, against the bounds.
    one("text at its lower bound part", 2, TOOL + "\\Version", True, vermin="8.0"),
    one("text below the lower bound", 2, TOOL + "\\Version", False, vermin="8.1"),
    one("text at the upper bound", 2, TOOL + "\\Version", True, vermax="8.0.50727"),
    one("text above the upper bound", 2, TOOL + "\\Version", False, vermax="8.0.50726"),
    one("empty text without bounds", 2, TOOL + "\\Empty", True),
    one("empty text with a bound", 2, TOOL + "\\Empty", False, vermin="1"),
    one("missing value without bounds", 2, TOOL + "\\Nope", False),
    one("dword is not its digits", 2, TOOL + "\\Count", False, vermin="1"),
    one("dword read as text without bounds", 2, TOOL + "\\Count", True),
    one("dword bytes that spell digits", 2, TOOL + "\\Digits", True, vermin="45", vermax="45"),
    one("expand_sz data", 2, TOOL + "\\Expand", True, vermin="5", vermax="5.1"),
    one("binary data without terminator", 2, TOOL + "\\Binary", True, vermin="1.7", vermax="1.7"),
    one("value without data", 2, TOOL + "\\NoData", True),
    one("multi_sz up to its first string's end", 2, TOOL + "\\Multi", True, vermin="3", vermax="3.5"),
    one("multi_sz second string unseen", 2, TOOL + "\\Multi", False, vermin="4"),
    one("default value as text", 2, TOOL + "\\", True),
    one("HKCU value", 2, "HKCU\\Software\\AcmeTest\\User\\Version", True, vermin="3.1", vermax="3.1"),
    one("HKU value", 2, "HKU\\.DEFAULT\\Software\\AcmeTest\\Version", True, vermin="4"),
    # Type 1: subkey names as versions.
    one("subkeys without bounds", 1, TOOL, True),
    one("subkey at the lower bound", 1, TOOL, True, vermin="2"),
    one("no subkey above the lower bound", 1, TOOL, False, vermin="2.1"),
    one("subkey below the upper bound", 1, TOOL, True, vermax="1.9"),
    one("no subkey between the bounds", 1, TOOL, False, vermin="1.6", vermax="1.9"),
    one("key without subkeys", 1, "HKLM\\Software\\AcmeTest\\NoSub", False),
    one("subkeys of a missing key", 1, MISSING_KEY, False),
    # Type 9: the value's text against RefContent.
    one("dword greater", 9, TOOL + "\\Count", True, ref="G12"),
    one("dword not greater than itself", 9, TOOL + "\\Count", False, ref="G13"),
    one("dword less", 9, TOOL + "\\Count", True, ref="L14"),
    one("dword greater than an empty operand", 9, TOOL + "\\Count", True, ref="G"),
    one("dword zero", 9, TOOL + "\\Zero", True, ref="M0"),
    one("dword unsigned", 9, TOOL + "\\Huge", True, ref="M4294967295"),
    one("dotted text is no number", 9, TOOL + "\\Version", False, ref="G1"),
    one("numbers with a dotted operand", 9, TOOL + "\\Count", False, ref="L1.3"),
    one("empty text is the number 0", 9, TOOL + "\\Empty", True, ref="L1"),
    one("contains", 9, TOOL + "\\Version", True, ref="C0.507"),
    one("does not contain", 9, TOOL + "\\Version", False, ref="X0.507"),
    one("does not contain other text", 9, TOOL + "\\Version", True, ref="X9.9"),
    one("starts with", 9, TOOL + "\\Version", True, ref="S8.0"),
    one("does not start with", 9, TOOL + "\\Version", False, ref="S0.5"),
    one("ends with", 9, TOOL + "\\Version", True, ref="E50727"),
    one("longer operand never ends it", 9, TOOL + "\\Version", False, ref="E18.0.50727"),
    one("equal", 9, TOOL + "\\Version", True, ref="M8.0.50727"),
    one("equality is case-sensitive", 9, "HKCR\\AcmeTest.File\\", False, ref="Macme document"),
    one("differs", 9, TOOL + "\\Version", False, ref="D8.0.50727"),
    one("differs from other text", 9, TOOL + "\\Version", True, ref="D8.0"),
    one("M alone matches the empty value", 9, TOOL + "\\Empty", True, ref="M"),
    one("M alone against text", 9, TOOL + "\\Version", False, ref="M"),
    one("empty RefContent never matches", 9, TOOL + "\\Version", False, ref=""),
    one("absent RefContent never matches", 9, TOOL + "\\Version", False),
    one("unknown operator", 9, TOOL + "\\Version", False, ref="Q8.0.50727"),
    one("operator letters are case-sensitive", 9, TOOL + "\\Version", False, ref="m8.0.50727"),
    one("expand_sz cannot be read as text", 9, TOOL + "\\Expand", False, ref="C"),
    one("binary cannot be read as text", 9, TOOL + "\\Binary", False, ref="C"),
    one("multi_sz cannot be read as text", 9, TOOL + "\\Multi", False, ref="C"),
    one("missing value never differs", 9, TOOL + "\\Nope", False, ref="Dx"),
    one("value path without backslash type 9", 9, "HKLM", False, ref="D"),
    one("text that fills the first buffer", 9, TOOL + "\\Long99", True, ref="M" + LONG_99),
    one("text one character longer", 9, TOOL + "\\Long100", True, ref="M" + LONG_100),
    one("long text read whole", 9, TOOL + "\\Long150", True, ref="Etail-7.5"),
    one("default value compared", 9, TOOL + "\\", True, ref="Mdefault text"),
    one("HKCC value compared", 9, "HKCC\\Software\\AcmeTest\\Mode", True, ref="Mon"),
    one("HKCU value compared", 9, "HKEY_CURRENT_USER\\Software\\AcmeTest\\User\\Version", True, ref="S3."),
]


def test_registry_searches(machine):
    for key, name, kind, data in REGISTRY_VALUES:
        machine.reg_set(key, name, kind, data)
    detect(machine, REGISTRY_CASES)


def test_registry_and_file_searches_with_the_64_bit_view(machine):
    """Option "x": on 64-bit Windows the searches see the 64-bit registry and
    the 64-bit system folder. The 32-bit product runs under WoW64 and sees
    the 32-bit view without it; the x86_64 build of hosts without 32-bit
    support sees 64-bit Windows as a native program, with or without it."""
    wow64 = machine.arch == "i686"
    machine.reg_set("HKLM\\Software\\AcmeView64", "Version", "sz", "2.0", view="64")
    machine.reg_set("HKLM\\Software\\AcmeView32", "Version", "sz", "1.0", view="32")
    machine.reg_set("HKLM\\Software\\AcmeViewBoth", "Version", "sz", "2.0", view="64")
    machine.reg_set("HKLM\\Software\\AcmeViewBoth", "Version", "sz", "1.0", view="32")
    # Placed as a 64-bit program sees them: the real system32, and syswow64.
    machine.place_versioned("2.0.0.0", "C:\\windows\\system32\\acme-sys64-7f3.dll")
    machine.place_versioned("1.2.3.4", "C:\\windows\\syswow64\\acme-sys32-7f3.dll")

    sys64 = "C:\\Windows\\System32\\acme-sys64-7f3.dll"
    sys32 = "C:\\Windows\\System32\\acme-sys32-7f3.dll"
    cases = [
        # name, search, found without "x", found with "x"
        ("key in the 64-bit view", (5, "HKLM\\Software\\AcmeView64"), not wow64, True),
        ("key in the 32-bit view", (5, "HKLM\\Software\\AcmeView32"), wow64, False),
        ("value that differs by view", (2, "HKLM\\Software\\AcmeViewBoth\\Version", "2"), not wow64, True),
        ("64-bit system file", (0, sys64, "2"), not wow64, True),
        ("64-bit system file by reference", (0, "[SystemFolder]acme-sys64-7f3.dll", "2"), not wow64, True),
        ("64-bit system file by bare name", (0, "acme-sys64-7f3.dll?2"), not wow64, True),
        ("32-bit system file", (0, sys32), wow64, False),
    ]
    prereqs = []
    for name, search, plain, with_x in cases:
        kind, string, vermin = (search + ("",))[:3]
        prereqs.append(one(f"{name} without x", kind, string, plain, vermin=vermin))
        prereqs.append(one(f"{name} with x", kind, string, with_x, vermin=vermin, options="x"))
    detect(machine, prereqs)


# Files ---------------------------------------------------------------------

def program_files(machine):
    """The Program Files folder the chainer is given: the 32-bit one under
    WoW64."""
    return "C:\\Program Files (x86)" if machine.arch == "i686" else "C:\\Program Files"


FILES = "C:\\AcmeFiles\\"
FILE_CASES = [
    # By full path, against bounds on the file's version.
    one("file at its lower bound", 0, FILES + "v2.dll", True, vermin="2"),
    one("file just below the lower bound", 0, FILES + "v2.dll", False, vermin="2.0.0.1"),
    one("file above the upper bound", 0, FILES + "v2.dll", False, vermax="1.9"),
    one("file at the upper bound", 0, FILES + "v2.dll", True, vermax="2"),
    one("file without bounds", 0, FILES + "v2.dll", True),
    one("file between equal bounds", 0, FILES + "v1234.dll", True, vermin="1.2.3.4", vermax="1.2.3.4"),
    one("file below the last part", 0, FILES + "v1234.dll", False, vermin="1.2.3.5"),
    one("parts compare as numbers", 0, FILES + "v310.dll", True, vermin="3.9"),
    one("parts compare as numbers, upper", 0, FILES + "v310.dll", False, vermax="3.9"),
    one("all-65535 version without bounds", 0, FILES + "vmax.dll", True),
    one("all-65535 version is no version", 0, FILES + "vmax.dll", False, vermin="1"),
    one("all-65535 upper bound", 0, FILES + "vmax.dll", False, vermax="65535.65535.65535.65535"),
    one("65535 part read as 1.0", 0, FILES + "v1065535.dll", True, vermin="1.0"),
    one("65535 part not above 1.0.1", 0, FILES + "v1065535.dll", False, vermin="1.0.1"),
    one("65535 part within upper bound 1.0", 0, FILES + "v1065535.dll", True, vermax="1.0"),
    one("file without version, no bounds", 0, FILES + "none.dll", True),
    one("file without version, lower bound", 0, FILES + "none.dll", False, vermin="0.0.0.1"),
    one("file without version, zero bound", 0, FILES + "none.dll", True, vermin="0.0.0.0"),
    one("missing file", 0, FILES + "absent.dll", False),
    one("missing folder", 0, "C:\\AcmeNowhere\\v2.dll", False),
    one("names ignore case", 0, "C:\\ACMEFILES\\V2.DLL", True, vermin="2"),
    one("wildcard finds a file", 0, FILES + "*.dll", True),
    one("wildcard path has no version", 0, FILES + "v2.*", False, vermin="1"),
    one("leading question mark is part of the path", 0, "?" + FILES + "v2.dll", False),
    # References expanded into full paths.
    one("program files reference", 0, "[ProgramFilesFolder]Acme\\tool.dll", True, vermin="2", vermax="2"),
    one("64-bit program files reference", 0, "[ProgramFiles64Folder]Acme64\\tool64.dll", True, vermin="3.10"),
    one("environment reference", 0, "%SystemDrive%\\AcmeFiles\\v2.dll", True, vermin="2"),
    one("unknown variable is empty", 0, "%NO_SUCH_VARIABLE_7F3%C:\\AcmeFiles\\v2.dll", True, vermin="2"),
    one("unknown folder stays as written", 0, "[NoSuchFolder]AcmeFiles\\v2.dll", False),
    # Bare names, looked for from the root of every fixed drive (C: only).
    one("bare name in the drive root", 0, "acme-root-7f3.dll", True),
    one("bare name in the root, out of range", 0, "acme-root-7f3.dll", False, vermin="1.2.3.5"),
    one("bare name deeper than the root", 0, "acme-deep-7f3.dll", False),
    one("bare name one level too shallow", 0, "acme-deep-7f3.dll?1", False),
    one("bare name at depth 2", 0, "acme-deep-7f3.dll?2", True, vermin="2"),
    # Depth below a folder.
    one("depth 0 stays in the folder", 0, "C:\\AcmeDepth\\tool.dll", False),
    one("depth 1 is too shallow", 0, "C:\\AcmeDepth\\tool.dll?1", False),
    one("depth 2 reaches it", 0, "C:\\AcmeDepth\\tool.dll?2", True),
    one("depth without digits is 0", 0, "C:\\AcmeDepth\\tool.dll?x", False),
    one("out-of-range file in the folder itself", 0, "C:\\AcmeLayers\\tool.dll", False, vermin="3"),
    one("in-range file one level down", 0, "C:\\AcmeLayers\\tool.dll?1", True, vermin="3"),
    one("no file in range at any level", 0, "C:\\AcmeLayers\\tool.dll?1", False, vermax="1.0"),
    one("in-range sibling", 0, "C:\\AcmeMulti\\tool.dll?1", True, vermin="2"),
    one("no sibling in range", 0, "C:\\AcmeMulti\\tool.dll?1", False, vermin="2.1"),
    one("lower sibling in range", 0, "C:\\AcmeMulti\\tool.dll?1", True, vermin="1.2.3.4", vermax="1.2.3.4"),
]


def test_file_searches(machine):
    for version, path in [
        ("2.0.0.0", FILES + "v2.dll"),
        ("1.2.3.4", FILES + "v1234.dll"),
        ("3.10.0.0", FILES + "v310.dll"),
        ("65535.65535.65535.65535", FILES + "vmax.dll"),
        ("1.0.65535.0", FILES + "v1065535.dll"),
        ("none", FILES + "none.dll"),
        ("2.0.0.0", program_files(machine) + "\\Acme\\tool.dll"),
        ("3.10.0.0", "C:\\Program Files\\Acme64\\tool64.dll"),
        ("1.2.3.4", "C:\\acme-root-7f3.dll"),
        ("2.0.0.0", "C:\\AcmeDeep\\level1\\acme-deep-7f3.dll"),
        ("2.0.0.0", "C:\\AcmeDepth\\a\\b\\tool.dll"),
        ("1.2.3.4", "C:\\AcmeLayers\\tool.dll"),
        ("3.10.0.0", "C:\\AcmeLayers\\sub\\tool.dll"),
        ("1.2.3.4", "C:\\AcmeMulti\\a\\tool.dll"),
        ("2.0.0.0", "C:\\AcmeMulti\\b\\tool.dll"),
    ]:
        machine.place_versioned(version, path)
    machine.host_path("C:\\AcmeDepth\\x\\y").mkdir(parents=True)
    detect(machine, FILE_CASES)


# Windows Installer ---------------------------------------------------------

A = MSI_PRODUCTS["product_a"]
B = MSI_PRODUCTS["product_b"]
UNKNOWN_CODE = "{5B1C1F0E-0000-4000-8000-00000000A7F3}"


def component_path(machine, code):
    out, _ = machine.spawn(machine.tool("msiquery"), "component", code).communicate(timeout=60)
    state, _, path = out.strip().partition(" path=")
    assert state == "state=3", out
    return path


def test_installed_products_upgrade_codes_and_components(machine):
    machine.install_msi(machine.build_msi("product_a"))
    detect(machine, [
        one("product A", 3, A.code, True),
        one("product A from its version", 3, A.code, True, vermin="1.2.3"),
        one("product A below the lower bound", 3, A.code, False, vermin="1.2.4"),
        one("product A above the upper bound", 3, A.code, False, vermax="1.2"),
        one("product B not yet installed", 3, B.code, False),
        one("upgrade code with A", 4, UPGRADE_CODE, True),
        one("upgrade code without a 2.x product", 4, UPGRADE_CODE, False, vermin="2"),
        one("upgrade code below 1.5", 4, UPGRADE_CODE, True, vermax="1.5"),
        one("component of A", 11, A.component, True),
        one("component of B not yet installed", 11, B.component, False),
        one("component never installed", 11, NEVER_INSTALLED_COMPONENT, False),
    ], log="C:\\pkg\\only-a.log")

    # B joins A under the same upgrade code; A's key file goes away, so its
    # component is no longer installed while the product still is.
    machine.install_msi(machine.build_msi("product_b"))
    machine.host_path(component_path(machine, A.component)).unlink()
    detect(machine, [
        one("product A still installed", 3, A.code, True, vermin="1.2.3", vermax="1.2.3"),
        one("product B", 3, B.code, True, vermin="2.5", vermax="2.5"),
        one("unknown product", 3, UNKNOWN_CODE, False),
        one("malformed product code", 3, "not-a-product-code", False),
        one("upgrade code with B", 4, UPGRADE_CODE, True, vermin="2.0"),
        one("upgrade code above both", 4, UPGRADE_CODE, False, vermin="2.6"),
        one("upgrade code between both", 4, UPGRADE_CODE, False, vermin="1.3", vermax="2.4"),
        one("upgrade code with exactly A", 4, UPGRADE_CODE, True, vermin="1.2.3", vermax="1.2.3"),
        one("upgrade code with A below B", 4, UPGRADE_CODE, True, vermax="1.5"),
        one("unknown upgrade code", 4, UNKNOWN_CODE, False),
        one("product code is no upgrade code", 4, A.code, False),
        one("component of B", 11, B.component, True),
        one("component whose file is gone", 11, A.component, False),
        one("malformed component code", 11, "not-a-component-code", False),
    ], log="C:\\pkg\\a-and-b.log")


# Combination, locations, filters -------------------------------------------

PRESENT = (5, "HKLM\\Software\\AcmeTest\\Combo", "", "", None)
ABSENT = (5, "HKLM\\Software\\AcmeTest\\NoCombo", "", "", None)


def test_search_combination_and_what_a_missing_prerequisite_needs(machine):
    machine.reg_set("HKLM\\Software\\AcmeTest\\Combo", "Mark", "sz", "x")
    detect(machine, [
        Prereq("no searches", [], FOUND),
        Prereq("no searches under operator 0", [], FOUND, ["Operator=0"]),
        Prereq("no searches under operator 1", [], FROM_PACKAGE, ["Operator=1"]),
        Prereq("all match under 0", [PRESENT, PRESENT], FOUND),
        Prereq("one fails under 0", [PRESENT, ABSENT], FROM_PACKAGE, ["Operator=0"]),
        Prereq("first fails under 0", [ABSENT, PRESENT], FROM_PACKAGE),
        Prereq("last matches under 1", [ABSENT, PRESENT], FOUND, ["Operator=1"]),
        Prereq("none matches under 1", [ABSENT, ABSENT], FROM_PACKAGE, ["Operator=1"]),
        Prereq("operator with trailing text", [ABSENT, PRESENT], FOUND, ["Operator=1st"]),
        Prereq("operator 2 is never satisfied", [PRESENT, PRESENT], FROM_PACKAGE, ["Operator=2"]),
        Prereq("negative operator", [PRESENT], FROM_PACKAGE, ["Operator=-1"]),
        Prereq("unknown search type matches", [(42, "anything", "", "", None)], FOUND),
        Prereq("unknown type beside a failing search", [(42, "x", "", "", None), ABSENT], FROM_PACKAGE),
        Prereq("search list starts at 1", [], FOUND, ["SearchType2=5", "SearchString2=HKLM\\Software\\AcmeTest\\NoCombo"]),
        Prereq("skip detection", [PRESENT], FROM_PACKAGE, ["Options=i"]),
        Prereq("download", [ABSENT], DOWNLOAD, location="Url=file://C:\\pkg\\absent-download.exe"),
        Prereq("download present", [PRESENT], FOUND, location="Url=file://C:\\pkg\\absent-download.exe"),
        Prereq("skip detection of a download", [PRESENT], DOWNLOAD, ["Options=i"],
               location="Url=file://C:\\pkg\\absent-download.exe"),
        Prereq("web site", [ABSENT], SITE, location="OpenSite=http://127.0.0.1:9/acme"),
        Prereq("package file before web site", [ABSENT], FROM_PACKAGE,
               ["OpenSite=http://127.0.0.1:9/acme", "Url=file://C:\\pkg\\absent-download.exe"]),
        Prereq("web site before download", [ABSENT], SITE, ["Url=file://C:\\pkg\\absent-download.exe"],
               location="OpenSite=http://127.0.0.1:9/acme"),
    ])


def system_language(machine):
    """The system default language identifier, which Wine takes from the
    locale of the session the tests run in."""
    out, _ = machine.spawn(machine.tool("platform")).communicate(timeout=60)
    facts = dict(line.split("=", 1) for line in out.splitlines())
    return int(facts["langid"])


def test_windows_version_and_language_filters(machine):
    """Prerequisites that do not concern this Windows or its language are
    reported as such, never searched for, and never count as missing; the
    failing search each of them carries would otherwise make it missing."""
    is64 = machine.arch == "i686"  # the 32-bit product runs under WoW64
    name = f"Windows 7 {'x64' if is64 else 'x86'} Service Pack 1"
    own, other = ("WinNT64Versions", "WinNTVersions") if is64 else ("WinNTVersions", "WinNT64Versions")
    whole = ("Windows XP/Vista/Windows 7/Windows 8 x64/Windows 8.1 x64" if is64 else
             "Windows 9x/ME/NT/2000/XP/Vista/Windows 7/Windows 8 x86/Windows 8.1 x86")
    langid = system_language(machine)

    def skipped(label, *keys, language=False):
        return Prereq(label, [ABSENT], WRONG_OS, list(keys), language_checked=language)

    def applies(label, *keys, language=False):
        return Prereq(label, [PRESENT], FOUND, list(keys), language_checked=language)

    machine.reg_set("HKLM\\Software\\AcmeTest\\Combo", "Mark", "sz", "x")
    detect(machine, [
        skipped("this version alone", f"{own}={name}"),
        skipped("this version second in the list", f"{own}=Windows XP x86, {name}"),
        skipped("this version before another", f"{own}={name}, Windows 8 x64"),
        skipped("every version of the platform", f"{own}={whole}"),
        applies("the list of the other platform", f"{other}={name}"),
        applies("the 9x list", f"Win9xVersions={name}"),
        applies("the version without its service pack", f"{own}=Windows 7 x64, Windows 7 x86"),
        applies("the version in other case", f"{own}={name.upper()}"),
        applies("items are not trimmed", f"{own}=Windows XP x86,  {name}"),
        applies("comma without space", f"{own}=Windows XP x86,{name}"),
        applies("whole-list text with more after it", f"{own}={whole}, Windows 2000"),
        applies("this language", f"LanguageList={langid}", language=True),
        applies("this language among others", f"LanguageList=1031;{langid};1036;", language=True),
        applies("only the low 16 bits count", f"LanguageList={langid + 65536}", language=True),
        skipped("other languages", "LanguageList=1031;1036", language=True),
        skipped("no number is language 0", "LanguageList=neutral;", language=True),
        skipped("version first, language not asked", f"{own}={name}", f"LanguageList={langid}"),
    ], langid=langid)


def test_command_search_runs_a_program_of_the_package(machine):
    """Type 10 starts a program that the package placed in its extraction
    folder (or one named by an absolute path) and matches on exit code 0."""
    files = machine.host_path("C:\\pkg\\files")
    files.mkdir(parents=True)
    shutil.copy2(machine.host_path(machine.tool("exitwith")), files / "check.exe")
    machine.reg_set("HKCU\\Software\\ChainTest", "Code", "sz", "0")
    cases = [
        ("zero", "check.exe", "0", None, FOUND),
        ("code from the registry", "check.exe", "!HKCU\\Software\\ChainTest\\Code!", "WND_HIDE", FOUND),
        ("failure code", "check.exe", "1603", None, FROM_PACKAGE),
        ("negative code", "check.exe", "-1", "WND_HIDE", FROM_PACKAGE),
        ("absent program", "absent.exe", "0", None, FROM_PACKAGE),
        ("absolute path", machine.tool("exitwith"), "0", None, FOUND),
        ("empty program name", "", "0", None, FROM_PACKAGE),
    ]
    lines = ["[GeneralOptions]", "Options=q", "ExtractionFolder=C:\\pkg\\files", "[PREREQ_CHAINER]",
             f"LogFile={LOG}", "[PREREQUISITES]"]
    lines += [f"App{n}={case[0]}" for n, case in enumerate(cases, 1)]
    for name, program, arguments, ref, _expected in cases:
        lines += [f"[{name}]", ABSENT_SETUP, "SearchType1=10", f"SearchString1={program}",
                  f"SearchCmdLine1={arguments}"]
        if ref:
            lines.append(f"RefContent1={ref}")
    package = machine.package()
    package.write_ini(lines)
    assert package.run(timeout=120).exit_code == 0
    events = log_events(machine, LOG)
    for name, _program, _arguments, _ref, expected in cases:
        at = events.index(f"Searching for:{name}")
        assert events[at + 1] == f"Search result:{expected}", name
