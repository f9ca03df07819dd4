"""The Debian package as a computer that installed it has it: the .deb that tools/package.sh
built (in VELMORA_PACKAGE_BUILD) is unpacked with dpkg -x into a temporary root, and the
program is started from there on host 1 of the test network, its window on an Xvfb screen
(person.py), a probe on host 2:

 1. The desktop entry's program and icon, and the relay's systemd unit example, are in the
    unpacked tree.
 2. The copy announces itself.
 3. The "Overview" help topic shows the help document of the unpacked tree in the program's
    own window, titled by the document (the package's program looks nowhere else).
 4. A message from host 2, with "New message sound" ticked, makes the copy load the sound
    module of the unpacked tree.
 5. Nothing the copy printed says that something could not be found or loaded.

Exits 77 when there is no root, no namespaces, no X tools or no built package.
"""

import glob
import os
import re
import subprocess
import sys
import tempfile
import time

E2E = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e")
sys.path.insert(0, E2E)
from person import TABS, TAB_Y, WAIT, Desktop  # noqa: E402
from probe import netprobe_path  # noqa: E402
from testnet import Skip, TestNet, main, require_netns  # noqa: E402
from velmora_copies import message_datagram, receipt_datagram, started  # noqa: E402

OVERVIEW = (64, 88)  # the first help topic button on the Help page, in client coordinates
MODULE = "usr/lib/dazuviz-velmora/libvelmora-media.so"
HELP = "usr/share/dazuviz-velmora/help.html"
HELP_TITLE = "Dazuviz Velmora Help"  # the document's own title
RELAY_UNIT = "usr/share/doc/dazuviz-velmora/examples/velmora-bcrelay.service"
# What the loader, Qt and the program say when a file or library is missing.
TROUBLE = re.compile(r"not found|no such file|cannot|can't|could not|couldn't|failed to load|"
                     r"error while loading|not available", re.IGNORECASE)


def package():
    build = os.environ.get("VELMORA_PACKAGE_BUILD", "")
    debs = sorted(glob.glob(os.path.join(build, "dazuviz-velmora_*.deb")))
    if not debs:
        raise Skip(f"no package built in {build or 'VELMORA_PACKAGE_BUILD (not given)'}")
    return debs[-1]


def desktop_entry(root):
    """{key: value} of the unpacked desktop entry's [Desktop Entry] group."""
    path = os.path.join(root, "usr/share/applications/dazuviz-velmora.desktop")
    with open(path, encoding="utf-8") as entry:
        return dict(line.rstrip("\n").split("=", 1) for line in entry if "=" in line)


def wait_for(condition, what, timeout=WAIT):
    deadline = time.monotonic() + timeout
    while not condition():
        assert time.monotonic() < deadline, what
        time.sleep(0.2)


def run(workdir, root, desk, net, probe):
    entry = desktop_entry(root)
    program = os.path.join(root, "usr/bin", entry["Exec"].split()[0])
    assert os.access(program, os.X_OK), f"the menu's program {program} is not in the package"
    icon = os.path.join(root, "usr/share/icons/hicolor/48x48/apps", entry["Icon"] + ".png")
    assert os.path.isfile(icon), f"the menu's icon {icon} is not in the package"
    assert os.path.isfile(os.path.join(root, RELAY_UNIT)), f"{RELAY_UNIT} is not in the package"

    copy = desk.start(net, 1, "ANN", workdir, program=program, settings={"VLX": {"msgSnd": "1"}})
    with desk.running({1: copy}, "package-install"):
        started(copy)
        win = desk.window()
        desk.activate(win)
        desk.click(win, TABS["Help"], TAB_Y)
        desk.click(win, *OVERVIEW)
        assert os.path.isfile(os.path.join(root, HELP)), f"{HELP} is not in the package"
        desk.dialog(HELP_TITLE)

        message = message_datagram(b"Tea?\r\n", b"BOB", "10.77.0.2", to="10.77.0.1")
        net.exec(2, [probe, "send", message.hex()])
        assert copy.wait_sent(lambda d: d == receipt_datagram("10.77.0.2", b"ANN"), WAIT), (
            "the copy did not confirm the message")
        maps = f"/proc/{copy.process.pid}/maps"
        module = os.path.join(root, MODULE)
        wait_for(lambda: module in open(maps).read(), f"the copy did not load {module}")
        trouble = [line for line in copy.messages() if TROUBLE.search(line)]
        assert not trouble, f"the installed copy reported: {trouble}"


def test_install():
    require_netns()
    deb = package()
    probe = netprobe_path()
    with tempfile.TemporaryDirectory(prefix="velmora-package-") as workdir:
        root = os.path.join(workdir, "root")
        subprocess.run(["dpkg", "-x", deb, root], check=True)
        folder = os.environ.get("VELMORA_SCREENS") or workdir
        os.makedirs(folder, exist_ok=True)
        with Desktop(folder, tray=True) as desk, TestNet(2) as net:
            run(workdir, root, desk, net, probe)


if __name__ == "__main__":
    main(test_install)
