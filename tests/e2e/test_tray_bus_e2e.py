"""The tray on a StatusNotifier desktop (KDE, GNOME with the indicator extension), simulated:
an X screen without an XEmbed tray, and a private session bus with a StatusNotifierWatcher
that has a host. The copy's item registers with the watcher, its exported menu is the tray
menu, and activating the item (the host's left click) brings the window up as a click on the
icon does."""

import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop_bus import SessionBus  # noqa: E402
from person import QUIET, WAIT, Desktop  # noqa: E402
from testnet import TestNet, main, require_netns  # noqa: E402
from velmora_copies import Copy, program_path, started, stopped_at_end  # noqa: E402

TRAY_MENU = ["Dazuviz Velmora", "", "ANN", "In", "", "_In", "_Busy", "_Out",
             "_Customize Status", "", "Start when I log in", "Refresh Status list",
             "Hide Off-line Names", "", "Show Velmora", "", "_Set status to Out and exit", "E_xit"]


def scenario():
    require_netns()
    program_path()
    with tempfile.TemporaryDirectory(prefix="velmora-tray-bus-") as workdir:
        with Desktop(workdir, tray=False) as desk, SessionBus(workdir) as bus, \
                TestNet(1) as net:
            watcher = bus.path("watcher.log")
            bus.start_services("--watcher", watcher)
            env = {"QT_QPA_PLATFORM": "xcb", "DISPLAY": desk.display,
                   "DBUS_SESSION_BUS_ADDRESS": bus.address}
            ann = Copy.start(net, 1, "ANN", workdir, env=env,
                             settings={"VLX": dict(QUIET, strtShw="0")})
            with stopped_at_end({1: ann}):
                started(ann)
                item = bus.tray_item(watcher)
                assert item.menu_labels() == TRAY_MENU, item.menu_labels()
                assert item.tooltip() == "Dazuviz Velmora", item.tooltip()
                # Hidden at start, as the tray can bring it back; the host's left click does.
                assert not desk.visible()
                item.activate()
                desk.window(timeout=WAIT)
                assert ann.stop() == 0, "the copy did not end cleanly on SIGTERM"


if __name__ == "__main__":
    main(scenario)
