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


def query(machine, *args):
    done = machine.spawn(machine.tool(args[0]), *args[1:])
    out, _ = done.communicate(timeout=60)
    return out.splitlines()


def test_versioned_files_carry_the_versions_they_were_built_with(machine):
    from wine import VERSIONED
    paths = [f"C:\\versions\\{version}.dll" for version in VERSIONED]
    for version, path in zip(VERSIONED, paths):
        machine.place_versioned(version, path)
    assert query(machine, "fileversion", *paths) == [f"{p}={v}" for p, v in zip(paths, VERSIONED)]


def test_a_versioned_file_lands_in_the_folder_of_an_existing_name_in_any_case(machine):
    machine.place_versioned("2.0.0.0", "C:\\WINDOWS\\System32\\acmecase.dll")
    assert (machine.prefix / "drive_c" / "windows" / "system32" / "acmecase.dll").is_file()
    assert not (machine.prefix / "drive_c" / "WINDOWS").exists()


def test_system_folder_files_are_placed_as_a_64_bit_program_sees_them(machine):
    """A 32-bit program on 64-bit Windows sees syswow64 as system32 until it
    switches redirection off; a 64-bit program always sees the real one."""
    machine.place_versioned("2.0.0.0", "C:\\windows\\system32\\acme64.dll")
    machine.place_versioned("1.2.3.4", "C:\\windows\\syswow64\\acme64.dll")
    path = "C:\\windows\\system32\\acme64.dll"
    wow64 = machine.arch == "i686"
    assert query(machine, "fileversion", path) == [f"{path}={'1.2.3.4' if wow64 else '2.0.0.0'}"]
    assert query(machine, "fileversion", "--64", path) == [f"{path}=2.0.0.0"]


def test_msi_products_install_and_windows_installer_reports_them(machine):
    from wine import MSI_PRODUCTS, NEVER_INSTALLED_COMPONENT, UPGRADE_CODE
    a, b = MSI_PRODUCTS["product_a"], MSI_PRODUCTS["product_b"]
    unknown_product = 1605

    machine.install_msi(machine.build_msi("product_a"))
    assert query(machine, "msiquery", "product", a.code) == [f"version={a.version}"]
    assert query(machine, "msiquery", "product", b.code) == [f"error={unknown_product}"]
    assert query(machine, "msiquery", "related", UPGRADE_CODE) == [f"product={a.code}", "end=259"]
    state, path = query(machine, "msiquery", "component", a.component)[0].split(" ", 1)
    assert state == "state=3"
    assert path.lower().endswith("\\acme runtime a\\runtime.txt")

    # B shares A's upgrade code and has no upgrade table: both stay.
    machine.install_msi(machine.build_msi("product_b"))
    assert query(machine, "msiquery", "product", a.code) == [f"version={a.version}"]
    assert query(machine, "msiquery", "product", b.code) == [f"version={b.version}"]
    related = query(machine, "msiquery", "related", UPGRADE_CODE)
    assert sorted(related[:-1]) == sorted([f"product={a.code}", f"product={b.code}"])
    assert related[-1] == "end=259"
    assert query(machine, "msiquery", "component", b.component)[0].startswith("state=3 ")
    assert query(machine, "msiquery", "component", NEVER_INSTALLED_COMPONENT) == ["state=-1 path="]
    assert query(machine, "msiquery", "related", "{00000000-0000-0000-0000-000000000000}") == ["end=259"]


def test_a_trusted_certificate_lands_in_the_machine_root_store(machine):
    import hashlib
    from netservers import make_certificates
    der = make_certificates().ca_der
    key = "HKLM\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\" + \
        hashlib.sha1(der.read_bytes()).hexdigest().upper()
    assert machine.reg_list(key) is None
    machine.trust_certificate(der)
    assert "Blob" in machine.reg_list(key)
