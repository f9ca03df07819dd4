"""Stand-ins for the desktop's services on a private session bus, for tests.

    desktop_services.py [--mutter MS] [--screensaver MS] [--screensaver-path PATH]
                        [--screensaver-unsupported] [--notifications LOG] [--watcher LOG]
                        [--logind LOG [--udp-port P]]

--mutter and --screensaver report a fixed idle time (GNOME's idle monitor, the freedesktop/KDE
screen saver); --screensaver-unsupported answers the screen saver's idle time with an error, as
GNOME does. --notifications is a notification server: every Notify call is appended to LOG as
one JSON line ({"id", "app_name", "summary", "body", "actions", "icon"}), and
InvokeAction(id, key) of interface org.velmora.Test makes it send ActionInvoked and
NotificationClosed as a server does when the user picks an action. --watcher is a
StatusNotifierWatcher with a registered host: each item's RegisterStatusNotifierItem argument
and sender go to LOG as JSON lines. The screen saver's SetActive(b) (interface org.velmora.Test)
sends its ActiveChanged.

--logind is logind with one session (for a bus in the system bus's place). Inhibit goes to LOG
({"inhibit": n, "what", "who", "why", "mode"}) and hands out a pipe's write end; its close adds
{"closed": n, "after_ms": since the last Sleep(true), "heard": the datagrams (hex) that arrived
by then on UDP port P, of the network namespace it runs in}. Sleep(b), Lock() and
LockedHint(b) of org.velmora.Test send PrepareForSleep, the session's Lock, LockedHint's change.

The services run on DBUS_SESSION_BUS_ADDRESS; "ready" on stdout says that every name is owned.
"""

import argparse
import json
import os
import select
import socket
import sys
import threading
import time

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib


def _append(path, record):
    with open(path, "a", encoding="utf-8") as f:
        f.write(json.dumps(record) + "\n")


class IdleMonitor(dbus.service.Object):
    def __init__(self, bus, ms):
        super().__init__(bus, "/org/gnome/Mutter/IdleMonitor/Core")
        self.ms = ms

    @dbus.service.method("org.gnome.Mutter.IdleMonitor", out_signature="t")
    def GetIdletime(self):
        return dbus.UInt64(self.ms)


TEST = "org.velmora.Test"


class ScreenSaver(dbus.service.Object):
    def __init__(self, bus, path, ms):
        super().__init__(bus, path)
        self.ms = ms

    @dbus.service.signal("org.freedesktop.ScreenSaver", signature="b")
    def ActiveChanged(self, active):
        pass

    @dbus.service.method(TEST, in_signature="b")
    def SetActive(self, active):
        self.ActiveChanged(active)

    @dbus.service.method("org.freedesktop.ScreenSaver", out_signature="u")
    def GetSessionIdleTime(self):
        if self.ms is None:
            raise dbus.exceptions.DBusException(
                "GetSessionIdleTime is not supported", name="org.freedesktop.DBus.Error.NotSupported")
        return dbus.UInt32(self.ms)


MANAGER, SESSION = "org.freedesktop.login1.Manager", "org.freedesktop.login1.Session"
SESSION_PATH = "/org/freedesktop/login1/session/_31"


class Session(dbus.service.Object):
    @dbus.service.signal(SESSION)
    def Lock(self):
        pass

    @dbus.service.signal(dbus.PROPERTIES_IFACE, signature="sa{sv}as")
    def PropertiesChanged(self, interface, changed, invalidated):
        pass


class Logind(dbus.service.Object):
    def __init__(self, bus, log, udp_port):
        super().__init__(bus, "/org/freedesktop/login1")
        self.log, self.session = log, Session(bus, SESSION_PATH)
        self.inhibitors, self.slept, self.heard, self.lock = 0, None, [], threading.Lock()
        self.udp = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.udp.bind(("", udp_port or 0))
        self.udp.setblocking(False)

    def _listen(self):
        while True:
            try:
                self.heard.append(self.udp.recv(65536).hex())
            except BlockingIOError:
                return

    @dbus.service.method(MANAGER, in_signature="ssss", out_signature="h")
    def Inhibit(self, what, who, why, mode):
        self.inhibitors += 1
        with self.lock:
            _append(self.log, {"inhibit": self.inhibitors, "what": what, "who": who, "why": why,
                               "mode": mode})
        read_end, write_end = os.pipe()
        threading.Thread(target=self._watch, args=(read_end, self.inhibitors), daemon=True).start()
        handed = dbus.types.UnixFd(write_end)  # a duplicate
        os.close(write_end)
        return handed

    def _watch(self, fd, n):
        # A thread of its own reads what has arrived the moment the descriptor closes: a
        # datagram sent before the close is queued by then.
        select.select([fd], [], [])
        with self.lock:
            self._listen()
            after = None if self.slept is None else (time.monotonic() - self.slept) * 1000
            _append(self.log, {"closed": n, "after_ms": after, "heard": list(self.heard)})
        os.close(fd)

    @dbus.service.method(MANAGER, in_signature="s", out_signature="o")
    def GetSession(self, _session_id):
        return dbus.ObjectPath(SESSION_PATH)

    @dbus.service.method(MANAGER, in_signature="u", out_signature="o")
    def GetSessionByPID(self, _pid):
        return dbus.ObjectPath(SESSION_PATH)

    @dbus.service.signal(MANAGER, signature="b")
    def PrepareForSleep(self, start):
        pass

    @dbus.service.method(TEST, in_signature="b")
    def Sleep(self, start):
        with self.lock:
            self._listen()
            self.heard, self.slept = [], time.monotonic() if start else None
        self.PrepareForSleep(start)

    @dbus.service.method(TEST)
    def Lock(self):
        self.session.Lock()

    @dbus.service.method(TEST, in_signature="b")
    def LockedHint(self, locked):
        self.session.PropertiesChanged(SESSION, {"LockedHint": dbus.Boolean(locked)}, [])


NOTIFY = "org.freedesktop.Notifications"


class Notifications(dbus.service.Object):
    def __init__(self, bus, log):
        super().__init__(bus, "/org/freedesktop/Notifications")
        self.log = log
        self.next_id = 1

    @dbus.service.method(NOTIFY, in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app_name, replaces_id, icon, summary, body, actions, hints, timeout):
        nid = self.next_id
        self.next_id += 1
        _append(self.log, {"id": nid, "app_name": str(app_name), "icon": str(icon),
                           "summary": str(summary), "body": str(body),
                           "actions": [str(a) for a in actions]})
        return dbus.UInt32(nid)

    @dbus.service.method(NOTIFY, out_signature="as")
    def GetCapabilities(self):
        return ["actions", "body", "body-markup"]

    @dbus.service.method(NOTIFY, out_signature="ssss")
    def GetServerInformation(self):
        return ("test server", "velmora tests", "1", "1.2")

    @dbus.service.method(NOTIFY, in_signature="u")
    def CloseNotification(self, nid):
        self.NotificationClosed(nid, 3)

    @dbus.service.signal(NOTIFY, signature="us")
    def ActionInvoked(self, nid, key):
        pass

    @dbus.service.signal(NOTIFY, signature="uu")
    def NotificationClosed(self, nid, reason):
        pass

    @dbus.service.method("org.velmora.Test", in_signature="us")
    def InvokeAction(self, nid, key):
        self.ActionInvoked(nid, key)
        self.NotificationClosed(nid, 2)


WATCHER = "org.kde.StatusNotifierWatcher"
WATCHER_XML = """<node>
 <interface name="org.kde.StatusNotifierWatcher">
  <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
  <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
  <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
  <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
  <property name="ProtocolVersion" type="i" access="read"/>
  <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
  <signal name="StatusNotifierHostRegistered"/>
 </interface>
 <interface name="org.freedesktop.DBus.Properties">
  <method name="Get"><arg type="s" direction="in"/><arg type="s" direction="in"/>
   <arg type="v" direction="out"/></method>
  <method name="GetAll"><arg type="s" direction="in"/><arg type="a{sv}" direction="out"/></method>
 </interface>
 <interface name="org.freedesktop.DBus.Introspectable">
  <method name="Introspect"><arg type="s" direction="out"/></method>
 </interface>
</node>"""


class Watcher(dbus.service.Object):
    def __init__(self, bus, log):
        super().__init__(bus, "/StatusNotifierWatcher")
        self.log = log
        self.items = []

    @dbus.service.method(dbus.INTROSPECTABLE_IFACE, out_signature="s")
    def Introspect(self):
        return WATCHER_XML

    def _properties(self):
        return {"RegisteredStatusNotifierItems": dbus.Array(self.items, signature="s"),
                "IsStatusNotifierHostRegistered": dbus.Boolean(True),
                "ProtocolVersion": dbus.Int32(0)}

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return self._properties()[str(name)]

    @dbus.service.method(dbus.PROPERTIES_IFACE, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return self._properties()

    @dbus.service.method(WATCHER, in_signature="s", sender_keyword="sender")
    def RegisterStatusNotifierItem(self, service, sender=None):
        self.items.append(str(service))
        _append(self.log, {"service": str(service), "sender": str(sender)})
        self.StatusNotifierItemRegistered(service)

    @dbus.service.method(WATCHER, in_signature="s")
    def RegisterStatusNotifierHost(self, service):
        pass

    @dbus.service.signal(WATCHER, signature="s")
    def StatusNotifierItemRegistered(self, service):
        pass


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--mutter", type=int)
    parser.add_argument("--screensaver", type=int)
    parser.add_argument("--screensaver-path", default="/org/freedesktop/ScreenSaver")
    parser.add_argument("--screensaver-unsupported", action="store_true")
    parser.add_argument("--logind")
    parser.add_argument("--udp-port", type=int)
    parser.add_argument("--notifications")
    parser.add_argument("--watcher")
    args = parser.parse_args()

    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    keep = []
    if args.mutter is not None:
        keep.append(dbus.service.BusName("org.gnome.Mutter.IdleMonitor", bus))
        keep.append(IdleMonitor(bus, args.mutter))
    if args.screensaver is not None or args.screensaver_unsupported:
        keep.append(dbus.service.BusName("org.freedesktop.ScreenSaver", bus))
        keep.append(ScreenSaver(bus, args.screensaver_path, args.screensaver))
    if args.logind:
        keep.append(dbus.service.BusName("org.freedesktop.login1", bus))
        keep.append(Logind(bus, args.logind, args.udp_port))
    if args.notifications:
        keep.append(dbus.service.BusName(NOTIFY, bus))
        keep.append(Notifications(bus, args.notifications))
    if args.watcher:
        keep.append(dbus.service.BusName(WATCHER, bus))
        keep.append(Watcher(bus, args.watcher))
    print("ready", flush=True)
    GLib.MainLoop().run()


if __name__ == "__main__":
    sys.exit(main())
