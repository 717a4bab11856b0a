"""The reboot reaching Wine for real, in a prefix that belongs to this test
alone: Wine ends every process of the prefix once ExitWindowsEx has
accepted the request."""
import time


def test_reboot_ends_every_process_of_the_prefix(machine):
    # A program that never ends by itself, known to be running: it says
    # "written" and then sleeps.
    bystander = machine.spawn(machine.tool("logwriter"), "C:\\bystander.log", "1")
    assert bystander.stdout.readline().strip() == "written"

    started = time.monotonic()
    rebooter = machine.spawn(machine.tool("reboot"), "C:\\reboot.txt")
    # The fixture waits 60 s for the restart and then ends with 3 itself.
    rebooter.communicate(timeout=50)
    bystander.communicate(timeout=30)
    seconds = time.monotonic() - started

    lines = machine.host_path("C:\\reboot.txt").read_text().splitlines()
    assert lines == ["calling RebootNow", "RebootNow returned true"]
    # Both were ended from outside (Wine reports 0 then), well before the
    # fixture's own 60 s.
    assert rebooter.returncode == 0
    assert bystander.returncode == 0
    assert seconds < 45
