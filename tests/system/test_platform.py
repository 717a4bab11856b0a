"""Platform identification under the Windows versions Wine can report."""
import re

import pytest

WINE_KEY = "HKCU\\Software\\Wine"

# Wine's version setting -> (major, minor, expected name; {arch} is x64 under
# WoW64, x86 otherwise). None: the value is deleted, which gives a Windows 7
# workstation (Wine's "win7" would report a server).
VERSIONS = {
    "win2k": (5, 0, "Windows 2000 Service Pack 4"),
    "winxp": (5, 1, "Windows XP x86 Service Pack 3"),
    "winxp64": (5, 2, "Windows XP x64 Service Pack 2"),
    "win2003": (5, 2, "Windows Server 2003 {arch} Service Pack 2"),
    "vista": (6, 0, "Windows Vista {arch} Service Pack 2"),
    "win2008": (6, 0, "Windows Server 2008 {arch}"),
    None: (6, 1, "Windows 7 {arch} Service Pack 1"),
    "win8": (6, 2, "Windows 8 {arch}"),
    # Without a compatibility declaration in the manifest, later versions
    # report themselves as 6.2, as real Windows 8.1 does.
    "win81": (6, 2, "Windows 8 {arch}"),
}


def platform_facts(machine):
    done = machine.spawn(machine.tool("platform"))
    out, _ = done.communicate(timeout=60)
    return dict(line.split("=", 1) for line in out.splitlines())


def check_platform(machine, setting, is64):
    major, minor, name = VERSIONS[setting]
    if setting is None:
        machine._regtool("delvalue", WINE_KEY, "Version")
    else:
        machine.reg_set(WINE_KEY, "Version", "sz", setting)

    facts = platform_facts(machine)
    expected = name.format(arch="x64" if is64 else "x86")
    assert facts["name"] == expected
    assert facts["is64"] == ("true" if is64 else "false")
    assert facts["class"] == ("2" if is64 else "1")
    assert facts["vista_or_later"] == ("true" if major >= 6 else "false")
    assert facts["seven_or_later"] == ("true" if (major, minor) >= (6, 1) else "false")

    # The chainer's log describes the same Windows, and its detection
    # compares the same name with the list of its platform class only.
    own, other = ("WinNT64Versions", "WinNTVersions") if is64 else ("WinNTVersions", "WinNT64Versions")
    package = machine.package()
    package.write_ini(["[GeneralOptions]", "Options=q", "[PREREQ_CHAINER]", "LogFile=C:\\pkg\\chain.log",
                       "[PREREQUISITES]", "App1=Listed", "App2=OtherList",
                       "[Listed]", "SetupFile=absent.exe", f"{own}=Windows 95, {expected}",
                       "[OtherList]", "SetupFile=absent.exe", f"{other}={expected}"])
    assert package.run().exit_code == 0
    text = machine.read_text_utf16("C:\\pkg\\chain.log")
    found = re.search(r"MajorVersion: (\d+); MinorVersion: (\d+);", text)
    assert (int(found.group(1)), int(found.group(2))) == (major, minor)
    assert "-Wrong OS or Os language for:Listed\r\n" in text
    assert "-Wrong OS or Os language for:OtherList" not in text
    assert "-Searching for:OtherList\r\n" in text


@pytest.mark.parametrize("setting", list(VERSIONS), ids=[str(v) for v in VERSIONS])
def test_version_name_class_and_system_line(machine, setting):
    # The test prefix is 64-bit Windows: the 32-bit product learns it through
    # WoW64, the x86_64 test build of hosts without 32-bit support by being
    # a 64-bit program.
    check_platform(machine, setting, is64=True)


# What Wine can report in a 32-bit prefix (no 64-bit editions there).
VERSIONS_32 = ["win2k", "winxp", "vista", None, "win8"]


@pytest.mark.parametrize("setting", VERSIONS_32, ids=[str(v) for v in VERSIONS_32])
def test_version_name_and_class_in_a_32_bit_windows(machine32, setting):
    check_platform(machine32, setting, is64=False)
