import subprocess

import pytest

from wine import REPO, Machine, new_machine_root, test_arch


@pytest.fixture(scope="session")
def template_prefix():
    arch = test_arch()
    prefix = REPO / "build" / "wine" / f"system-{arch}"
    subprocess.run([str(REPO / "scripts" / "wine-prefix"), str(prefix), arch], check=True)
    return prefix, arch


@pytest.fixture
def machine(template_prefix):
    prefix, arch = template_prefix
    m = Machine(prefix, new_machine_root(), arch)
    yield m
    m.close()


@pytest.fixture
def gui_machine(template_prefix):
    """A machine with an X server of its own, for tests that look at windows."""
    prefix, arch = template_prefix
    m = Machine(prefix, new_machine_root(), arch, display=True)
    yield m
    m.close()


@pytest.fixture(scope="session")
def template_prefix32():
    """A 32-bit Windows prefix; it needs a host that runs 32-bit code."""
    if test_arch() != "i686":
        pytest.skip("a 32-bit Windows prefix needs a host that runs 32-bit code")
    prefix = REPO / "build" / "wine" / "system-win32"
    subprocess.run([str(REPO / "scripts" / "wine-prefix"), str(prefix), "i686", "win32"], check=True)
    return prefix


@pytest.fixture
def machine32(template_prefix32):
    m = Machine(template_prefix32, new_machine_root(), "i686")
    yield m
    m.close()


@pytest.fixture(scope="session")
def certificates():
    """The test CA and server certificates (tests/system/netservers.py)."""
    from netservers import make_certificates
    return make_certificates()
