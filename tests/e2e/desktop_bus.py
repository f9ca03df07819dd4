"""A private session bus with stand-ins for the desktop's services (tests/support/
desktop_services.py), and what a tray host reads of a StatusNotifierItem. SessionBus(folder,
system=True) is a bus of the test's own in the role of the system bus, for logind's stand-in.

    with SessionBus(folder) as bus:
        bus.start_services("--watcher", bus.path("watcher.log"))
        copy = Copy.start(..., env={"DBUS_SESSION_BUS_ADDRESS": bus.address, ...})
        item = bus.tray_item(bus.path("watcher.log"))
        labels = item.menu_labels()

The bus listens on a socket file, which every network namespace of the test network reaches.
Needs python3-dbus (the test runs under the interpreter that has it).
"""

import functools
import json
import os
import subprocess
import sys
import time

from testnet import Skip

try:
    import dbus
except ImportError:  # the test reports itself skipped
    dbus = None

SERVICES = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "support",
                        "desktop_services.py")
ITEM = "org.kde.StatusNotifierItem"
SYSTEM_BUS_CONFIG = """<busconfig><type>system</type><listen>unix:path={path}</listen>
<auth>EXTERNAL</auth><policy context="default"><allow user="*"/><allow own="*"/>
<allow send_destination="*"/><allow receive_sender="*"/></policy></busconfig>"""


def records(path):
    """The JSON lines that a service appended to `path`."""
    try:
        with open(path, encoding="utf-8") as f:
            return [json.loads(line) for line in f if line.strip()]
    except FileNotFoundError:
        return []


def wait_records(path, count, timeout=30):
    deadline = time.monotonic() + timeout
    while len(records(path)) < count and time.monotonic() < deadline:
        time.sleep(0.1)
    return records(path)


class TrayItem:
    """A StatusNotifierItem as the tray host sees it."""

    def __init__(self, connection, service, path):
        self.service = service
        self.connection = connection
        self.object = connection.get_object(service, path)

    def prop(self, name):
        return self.object.Get(ITEM, name, dbus_interface=dbus.PROPERTIES_IFACE)

    def tooltip(self):
        """The tooltip's title and text, joined by a blank when both are there."""
        _icon, _pixmaps, title, text = self.prop("ToolTip")
        return " ".join(str(t) for t in (title, text) if str(t))

    def menu_labels(self):
        """The labels of the exported menu's visible items, as the host shows them (an
        underscore marks the mnemonic, "" a separator)."""
        menu = self.connection.get_object(self.service, self.prop("Menu"))
        _revision, (_id, _props, children) = menu.GetLayout(
            0, -1, dbus.Array([], signature="s"), dbus_interface="com.canonical.dbusmenu")
        return [str(c[1].get("label", "")) for c in children if c[1].get("visible", True)]

    def activate(self):
        """A left click on the item."""
        self.object.Activate(0, 0, dbus_interface=ITEM)


class SessionBus:
    def __init__(self, folder, system=False):
        if dbus is None:
            raise Skip("python3-dbus is not installed")
        self.folder = folder
        self.name = "system-bus" if system else "bus"
        self.processes = []
        self.address = None
        self._connection = None

    def path(self, name):
        return os.path.join(self.folder, name)

    def __enter__(self):
        kind = ["--session", "--address=unix:path=" + self.path(self.name)]
        if self.name == "system-bus":
            with open(self.path("system-bus.conf"), "w", encoding="utf-8") as config:
                config.write(SYSTEM_BUS_CONFIG.format(path=self.path(self.name)))
            kind = ["--config-file=" + self.path("system-bus.conf")]
        try:
            daemon = subprocess.Popen(["dbus-daemon", *kind, "--nofork", "--print-address=1"],
                                      stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        except FileNotFoundError:
            raise Skip("dbus-daemon is not installed") from None
        self.processes.append(daemon)
        self.address = daemon.stdout.readline().decode().strip()
        if not self.address:
            self.close()
            raise Skip("dbus-daemon did not start")
        return self

    def __exit__(self, *_exc):
        self.close()
        return False

    def close(self):
        if self._connection is not None:
            self._connection.close()
        for process in reversed(self.processes):
            if process.poll() is None:
                process.terminate()
                process.wait()
        self.processes = []

    def start_services(self, *args, net=None, host=None):
        """Starts desktop_services.py with `args` on this bus, inside host `host` of the test
        network `net` when given; returns once its names are owned."""
        command = [sys.executable, SERVICES, *args]
        env = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=self.address)
        start = functools.partial(net.popen, host) if net else subprocess.Popen
        process = start(command, stdout=subprocess.PIPE, env=env)
        self.processes.append(process)
        assert process.stdout.readline().startswith(b"ready"), "the desktop services failed"

    def call(self, service, path, method, *args):
        """A method of the stand-ins' test interface (org.velmora.Test)."""
        return self.connection.get_object(service, path).get_dbus_method(
            method, "org.velmora.Test")(*args)

    @property
    def connection(self):
        if self._connection is None:
            self._connection = dbus.bus.BusConnection(self.address)
        return self._connection

    def tray_item(self, watcher_log, timeout=30):
        """The item that registered with the watcher first."""
        found = wait_records(watcher_log, 1, timeout)
        assert found, "no StatusNotifierItem registered with the watcher"
        service = found[0]["service"]
        if service.startswith("/"):
            return TrayItem(self.connection, found[0]["sender"], service)
        return TrayItem(self.connection, service, "/StatusNotifierItem")
