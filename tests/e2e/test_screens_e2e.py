"""The window on a real X screen: Xvfb with trayer as the notification area, one copy on host 1
of the test network, and a probe on host 2 that reports six colleagues through proxy
datagrams, one per colour class. Screenshots go to VELMORA_SCREENS (default: a temporary
folder) and their pixels are checked:

 1. Status page, one column: every class colour fills a row across the list.
 2. The tray icon sits in trayer; a right click opens its menu.
 3. Options page (reached with the mouse wheel over the tabs): the class colours show only
    as small panels, the list is gone.
 4. A restart with [VLX] Cols=2: every row is about half as wide as before.

The X server runs in the machine's own namespace with -nolisten tcp; the copy on the test
network reaches it through the socket file /tmp/.X11-unix/X<N> (abstract sockets do not cross
network namespaces).
"""

import os
import select
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from probe import netprobe_path  # noqa: E402
from testnet import Skip, TestNet, main, require_netns  # noqa: E402
from velmora_copies import SEP, Copy, program_path  # noqa: E402

TITLE = "Dazuviz Velmora"
PROBE_HOST = 2
WAIT = 30

LIME, FUCHSIA, RED = (0, 255, 0), (255, 0, 255), (255, 0, 0)
YELLOW, SILVER, BLUE = (255, 255, 0), (192, 192, 192), (0, 0, 255)
# Colleagues at addresses that no host holds: colour code, name, status, expected colour.
COLLEAGUES = [
    ("10.77.0.11", b"g", b"ADA", b"In", LIME),
    ("10.77.0.12", b"f", b"BEA", b"Busy - In but unavailable", FUCHSIA),
    ("10.77.0.13", b"r", b"CID", b"Out", RED),
    ("10.77.0.14", b"y", b"DOT", b"In a meeting", YELLOW),
    ("10.77.0.15", b"s", b"EVE", b"Idle", SILVER),
    ("10.77.0.16", b"b", b"FAY", b"On the phone", BLUE),
]


class Image:
    """A screenshot's pixels, read through ImageMagick's binary PPM."""

    def __init__(self, path):
        data = subprocess.run(["convert", path, "ppm:-"], capture_output=True,
                              check=True).stdout
        fields, pos = [], 0
        while len(fields) < 4:  # "P6", width, height, maximum value
            while data[pos:pos + 1].isspace():
                pos += 1
            end = pos
            while not data[end:end + 1].isspace():
                end += 1
            fields.append(data[pos:end])
            pos = end
        assert fields[0] == b"P6" and fields[3] == b"255", f"unexpected PPM {fields}"
        self.width, self.height = int(fields[1]), int(fields[2])
        self.pixels = data[pos + 1:]
        self.path = path

    def pixel(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.pixels[i:i + 3])

    def widest(self, colour, box):
        """The widest stretch of `colour` on one line inside box = (x, y, w, h): from its
        first to its last pixel, counted only where the colour fills at least half of it (so
        text drawn on a row does not break it, and odd pixels of smoothed text do not count);
        0 when there is none."""
        x0, y0, w, h = box
        needle = bytes(colour)
        best = 0
        for y in range(max(y0, 0), min(y0 + h, self.height)):
            start = 3 * (y * self.width + max(x0, 0))
            line = self.pixels[start:start + 3 * min(w, self.width - max(x0, 0))]
            first = _aligned_find(line, needle, forward=True)
            if first < 0:
                continue
            last = _aligned_find(line, needle, forward=False)
            span = (last - first) // 3 + 1
            filled = sum(1 for i in range(first, last + 3, 3) if line[i:i + 3] == needle)
            if 2 * filled >= span:
                best = max(best, span)
        return best


def _aligned_find(line, needle, forward):
    """The offset of the first (or last) whole pixel in `line` that equals `needle`, or -1."""
    pos = line.find(needle) if forward else line.rfind(needle)
    while pos >= 0 and pos % 3:
        pos = line.find(needle, pos + 1) if forward else line.rfind(needle, 0, pos + 2)
    return pos


class Screen:
    """Xvfb on a free display with trayer docked at its bottom edge (unless tray=False) and,
    with window_manager=True, openbox managing the windows; all end on exit."""

    def __init__(self, folder, tray=True, window_manager=False):
        tools = ["Xvfb", "xdotool", "xwininfo", "import", "convert"]
        tools += ["trayer"] if tray else []
        tools += ["openbox", "xprop"] if window_manager else []
        for tool in tools:
            if shutil.which(tool) is None:
                raise Skip(f"{tool} is not installed")
        self.folder = folder
        self.with_tray = tray
        self.with_window_manager = window_manager
        self.tray = None
        self.processes = []

    def __enter__(self):
        try:
            self._start()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *_exc):
        self.close()
        return False

    def _start(self):
        # Xvfb picks a free display itself and writes its number to the pipe once it listens,
        # so screen tests running side by side never share a server.
        reader, writer = os.pipe()
        try:
            xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(writer), "-screen", "0",
                                     "1280x800x24", "-nolisten", "tcp", "-noreset"],
                                    pass_fds=(writer,), stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL)
            self.processes.append(xvfb)
            os.close(writer)
            writer = -1
            number = b""
            deadline = time.monotonic() + 15
            while not number.endswith(b"\n") and time.monotonic() < deadline:
                ready, _, _ = select.select([reader], [], [], 0.2)
                if ready:
                    chunk = os.read(reader, 16)
                    if not chunk:
                        break
                    number += chunk
        finally:
            os.close(reader)
            if writer >= 0:
                os.close(writer)
        if not number.strip().isdigit() or xvfb.poll() is not None:
            raise Skip("Xvfb did not start")
        self.display = f":{int(number)}"
        self.env = dict(os.environ, DISPLAY=self.display)
        if self.with_window_manager:
            self._start_window_manager()
        if not self.with_tray:
            return
        self.processes.append(subprocess.Popen(
            ["trayer", "--edge", "bottom", "--align", "right", "--widthtype", "request",
             "--height", "32", "--transparent", "false", "--tint", "0x404040",
             "--SetDockType", "true"], env=self.env, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL))
        self.tray = self.wait_window(["--class", "trayer"])

    def _start_window_manager(self):
        # openbox runs the --startup command once it manages the screen; a window mapped
        # while it still starts up can be left unmanaged and unmapped for good.
        with tempfile.TemporaryDirectory(prefix="velmora-openbox-") as folder:
            ready = os.path.join(folder, "ready")
            self.processes.append(subprocess.Popen(
                ["openbox", "--sm-disable", "--startup", f"touch {ready}"], env=self.env,
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
            deadline = time.monotonic() + WAIT
            while not os.path.exists(ready):
                if time.monotonic() > deadline or self.processes[-1].poll() is not None:
                    raise AssertionError("openbox did not start")
                time.sleep(0.1)

    def close(self):
        for process in reversed(self.processes):
            if process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=5)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait()
        self.processes = []

    def run(self, *args, check=True):
        return subprocess.run([str(a) for a in args], env=self.env, capture_output=True,
                              text=True, timeout=30, check=check).stdout

    def wait_window(self, query, timeout=WAIT):
        """The first visible window that `xdotool search` finds for query."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            found = self.run("xdotool", "search", "--onlyvisible", *query, check=False).split()
            if found:
                return found[0]
            time.sleep(0.1)
        raise AssertionError(f"no visible window for {query}")

    def visible(self):
        """The program's visible windows (its own, menus and dialogs) on the screen."""
        return set(self.run("xdotool", "search", "--onlyvisible", "--class", "velmora",
                            check=False).split())

    def wait_visible(self, changed, timeout=WAIT):
        """Waits until changed(visible()) holds; a menu, say, has opened or has gone."""
        deadline = time.monotonic() + timeout
        while not changed(self.visible()):
            if time.monotonic() > deadline:
                raise AssertionError("the program's windows did not change as expected")
            time.sleep(0.1)

    def geometry(self, window):
        """(x, y, width, height) of a window on the screen."""
        values = {}
        for line in self.run("xwininfo", "-id", window).splitlines():
            key, _, value = line.strip().partition(":")
            values[key] = value.strip()
        return (int(values["Absolute upper-left X"]), int(values["Absolute upper-left Y"]),
                int(values["Width"]), int(values["Height"]))

    def shot(self, name):
        time.sleep(0.7)  # let the last paint reach the screen
        path = os.path.join(self.folder, name)
        self.run("import", "-window", "root", path)
        return Image(path)


def start_copy(net, workdir, screen, settings):
    return Copy.start(net, 1, "ANN", workdir, settings=settings,
                      env={"QT_QPA_PLATFORM": "xcb", "DISPLAY": screen.display})


def feed(net, probe, copy):
    """Reports the six colleagues to the copy and waits until it dispatched all of them."""
    assert copy.wait_sent(lambda d: d[:1] == b"a", WAIT), f"no start\n{copy.describe()}"
    for address, code, name, text, _ in COLLEAGUES:
        data = b"z" + code + address.encode() + SEP + name + SEP + b" " + text
        net.exec(PROBE_HOST, [probe, "send", data.hex()])
    for address, *_ in COLLEAGUES:
        got = copy.wait_received(lambda s, d: d[2:].startswith(address.encode() + SEP), WAIT)
        assert got is not None, f"no proxy for {address} dispatched\n{copy.describe()}"


def check_rows(image, box, low, high):
    """Every class colour spans between low and high times the window width on some line."""
    widths = {colour: image.widest(colour, box) for *_, colour in COLLEAGUES}
    bad = {c: w for c, w in widths.items() if not low * box[2] <= w <= high * box[2]}
    assert not bad, (f"{image.path}: widths {widths} of a {box[2]} px window, "
                     f"expected {low:.2f}..{high:.2f} of it")


def run(net, workdir, screen, probe):
    base = {"left": "20", "top": "20"}
    copy = start_copy(net, workdir, screen, {"VLX": base})
    feed(net, probe, copy)
    window = screen.wait_window(["--name", TITLE])
    box = screen.geometry(window)
    one = screen.shot("status-one-column.png")
    check_rows(one, box, 0.9, 1.0)

    # The tray icon is docked in trayer (its only client); a right click opens its menu.
    tx, ty, tw, th = screen.geometry(screen.tray)
    assert tw >= 16, f"nothing docked in trayer: {tw}x{th}"
    icon = one.widest(LIME, (tx, ty, tw, th))  # the In picture is green
    assert icon > 0, "the tray icon does not show the In picture"
    before = screen.visible()
    screen.run("xdotool", "mousemove", tx + tw // 2, ty + th // 2, "click", "3")
    screen.wait_visible(lambda now: now - before)
    shot = screen.shot("tray-menu.png")
    changed = sum(1 for y in range(ty - 300, ty) for x in range(1280 - 300, 1280, 4)
                  if shot.pixel(x, y) != one.pixel(x, y))
    assert changed > 500, f"no menu opened above the tray icon ({changed} pixels changed)"
    screen.run("xdotool", "key", "Escape")
    # A menu that is still closing would take the wheel's first turn.
    screen.wait_visible(lambda now: not now - before)

    # Options page: the wheel over the tabs steps Status, Messages, Compose, Discuss, Options.
    screen.run("xdotool", "mousemove", box[0] + 30, box[1] + 9,
               "click", "--repeat", "4", "--delay", "100", "5")
    options = screen.shot("options.png")
    widths = {c: options.widest(c, box) for c in (LIME, FUCHSIA, RED, SILVER, YELLOW)}
    # (Frame lines of the same grey meet the Idle panel, hence a little more room for silver.)
    assert all(0 < w < (0.45 if c == SILVER else 0.3) * box[2] for c, w in widths.items()), (
        f"options.png: class colours {widths} are not five small panels")

    # Two columns after a restart with Cols=2.
    assert copy.stop(timeout=WAIT) == 0, copy.describe()
    copy = start_copy(net, workdir, screen, {"VLX": dict(base, Cols="2")})
    feed(net, probe, copy)
    box = screen.geometry(screen.wait_window(["--name", TITLE]))
    check_rows(screen.shot("status-two-columns.png"), box, 0.4, 0.55)
    assert copy.stop(timeout=WAIT) == 0, copy.describe()


def on_screen(scenario):
    """Runs scenario(net, workdir, screen, probe) with an X server and a two-host network;
    the screenshots go to $VELMORA_SCREENS (kept) or a temporary folder."""
    require_netns()
    program_path()
    probe = netprobe_path()
    folder = os.environ.get("VELMORA_SCREENS")
    with tempfile.TemporaryDirectory(prefix="velmora-screens-") as workdir:
        folder = folder or workdir
        os.makedirs(folder, exist_ok=True)
        with Screen(folder) as screen, TestNet(2) as net:
            scenario(net, workdir, screen, probe)


def test_screens():
    on_screen(run)


if __name__ == "__main__":
    main(test_screens)
