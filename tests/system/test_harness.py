"""The harness itself: exit codes, registry access and file listings are
what the product's tests rely on, so they are checked against known answers."""


def test_launcher_reports_all_32_bits_of_an_exit_code(machine):
    for code in (0, 1, 3010, -1, 1641, -2147483648):
        assert machine.run(machine.tool("exitwith"), str(code)).exit_code == code


def test_registry_values_round_trip(machine):
    key = "HKCU\\Software\\ChainerTest\\Sub"
    cases = [
        ("Text", "sz", "héllo wörld"),
        ("Expand", "expand_sz", "%TEMP%\\x"),
        ("Number", "dword", "4294967295"),
        ("Bytes", "binary", "00ff10"),
        ("Many", "multi_sz", "a|b|c"),
        ("", "sz", "default value"),
    ]
    for name, kind, data in cases:
        machine.reg_set(key, name, kind, data)
    for name, kind, data in cases:
        assert machine.reg_get(key, name) == (kind, data)
    assert machine.reg_get(key, "Missing") is None
    assert set(machine.reg_list(key)) == {name for name, _, _ in cases}
    assert machine.reg_delete_key("HKCU\\Software\\ChainerTest")
    assert machine.reg_list(key) is None


def test_registry_views_are_separate_in_a_64_bit_prefix(machine):
    machine.reg_set("HKLM\\Software\\ChainerView", "Where", "sz", "64", view="64")
    machine.reg_set("HKLM\\Software\\ChainerView", "Where", "sz", "32", view="32")
    assert machine.reg_get("HKLM\\Software\\ChainerView", "Where", view="64") == ("sz", "64")
    assert machine.reg_get("HKLM\\Software\\ChainerView", "Where", view="32") == ("sz", "32")


def test_prefixes_do_not_share_state(template_prefix):
    from wine import Machine, new_machine_root
    prefix, arch = template_prefix
    first = Machine(prefix, new_machine_root(), arch)
    try:
        first.reg_set("HKCU\\Software\\ChainerIsolation", "Mark", "sz", "first")
        (first.prefix / "drive_c" / "mark.txt").write_text("first")
    finally:
        first.close()
    second = Machine(prefix, new_machine_root(), arch)
    try:
        assert second.reg_get("HKCU\\Software\\ChainerIsolation", "Mark") is None
        assert not (second.prefix / "drive_c" / "mark.txt").exists()
    finally:
        second.close()
