"""The program on a real Wayland compositor: Weston with its headless back end, the copy on a
host of the test network, a private session bus with a notification server and a
StatusNotifier watcher but no idle monitor. The window is mapped (the compositor configures
its toplevel and the copy draws into it), the copy announces itself, its idle detection falls
back to its own windows, a message that cannot raise the window (Wayland does not let a
program activate itself) is announced by a notification and counted in the tray's tooltip,
and SIGTERM ends the copy with its last word."""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop_bus import SessionBus, wait_records  # noqa: E402
from person import QUIET, WAIT  # noqa: E402
from probe import netprobe_path  # noqa: E402
from testnet import Skip, TestNet, main, require_netns  # noqa: E402
from velmora_copies import Copy, message_datagram, program_path, started  # noqa: E402

SOCKET = "velmora-wayland-0"


def start_weston(net, runtime):
    if shutil.which("weston") is None:
        raise Skip("weston is not installed")
    log = open(os.path.join(runtime, os.pardir, "weston.log"), "wb")
    weston = net.popen(1, ["weston", "--backend=headless-backend.so", "--socket=" + SOCKET,
                           "--idle-time=0"],
                       env=dict(os.environ, XDG_RUNTIME_DIR=runtime), stdout=log,
                       stderr=subprocess.STDOUT)
    log.close()
    deadline = time.monotonic() + WAIT
    while not os.path.exists(os.path.join(runtime, SOCKET)):
        if weston.poll() is not None or time.monotonic() > deadline:
            raise Skip("weston did not start (see weston.log)")
        time.sleep(0.1)
    return weston


def mapped(lines):
    """Whether the Wayland protocol log shows the main window's toplevel titled, configured
    by the compositor and drawn into."""
    text = "\n".join(lines)
    titled = re.search(r"-> xdg_toplevel@(\d+)\.set_title\(\"Dazuviz Velmora\"\)", text)
    if not titled:
        return False
    configured = re.search(r"\] xdg_toplevel@" + titled.group(1) + r"\.configure\(", text)
    drawn = re.search(r"-> wl_surface@\d+\.attach\(wl_buffer@\d+", text[titled.end():])
    return bool(configured and drawn)


def wait_until(check, timeout=WAIT):
    deadline = time.monotonic() + timeout
    while not check() and time.monotonic() < deadline:
        time.sleep(0.2)
    return check()


def scenario():
    require_netns()
    program_path()
    probe = netprobe_path()
    with tempfile.TemporaryDirectory(prefix="velmora-wayland-") as workdir, \
            SessionBus(workdir) as bus, TestNet(2) as net:
        runtime = os.path.join(workdir, "runtime")
        os.makedirs(runtime, mode=0o700)
        weston = start_weston(net, runtime)
        notes, watcher = bus.path("notifications.log"), bus.path("watcher.log")
        bus.start_services("--notifications", notes, "--watcher", watcher)
        env = {"QT_QPA_PLATFORM": "wayland", "WAYLAND_DISPLAY": SOCKET,
               "XDG_RUNTIME_DIR": runtime, "DBUS_SESSION_BUS_ADDRESS": bus.address,
               "WAYLAND_DEBUG": "client", "QT_LOGGING_RULES": "velmora.desktop.info=true"}
        ann = Copy.start(net, 1, "ANN", workdir, env=env, settings={"VLX": QUIET})
        try:
            started(ann)
            assert wait_until(lambda: mapped(ann.messages())), "the window was not mapped"
            assert "velmora.desktop: idle time from own windows" in ann.messages(), \
                [m for m in ann.messages() if "velmora" in m]
            item = bus.tray_item(watcher)

            hello = message_datagram(b"hello from Bob\r\n", b"BOB", net.addr(2))
            net.exec(2, [probe, "send", hello.hex()])
            found = wait_records(notes, 1)
            assert found and found[0]["summary"] == "BOB", found
            assert found[0]["body"] == "hello from Bob", found
            assert wait_until(lambda: item.tooltip() == "Dazuviz Velmora \u2014 1 new message"), \
                item.tooltip()

            mark = len(ann.sent())
            assert ann.stop() == 0, "the copy did not end cleanly on SIGTERM"
            assert any(d.startswith(b"a") for d in ann.sent()[mark:]), "no last word"

        except AssertionError:
            print("---", ann.describe()[-4000:])
            raise
        finally:
            ann.stop()
            weston.terminate()
            weston.wait()


if __name__ == "__main__":
    main(scenario)
