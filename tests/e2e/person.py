"""Using copies of the program the way a person does: on an X screen (Xvfb) with a window
manager (openbox) and, unless told otherwise, a notification area (trayer). Copies run on
hosts of the test network and are driven only through xdotool: clicks at places of the
window (its client area is laid out at a fixed designed size) or found in a screenshot's
pixels, typed text, key presses, the tray icon and menus. What they do is read from the wire
(each copy's --trace) and from the screen.

    def scenario(net, workdir, desk, probe):
        ann = desk.start(net, 1, "ANN", workdir)
        with desk.running({1: ann}, "example"):
            started(ann)
            win = desk.window()
            with sends(ann, [own_status(b"f", b"ANN", b"Busy - In but unavailable")]):
                desk.status_button(win, "Busy")

    as_person(scenario)

Every wait polls until its condition holds or a generous time is up, so a slow machine only
makes a test slower.
"""

import contextlib
import os
import re
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from probe import Lines, netprobe_path  # noqa: E402
from test_screens_e2e import Image, Screen  # noqa: E402
from testnet import TestNet, require_netns  # noqa: E402
from velmora_copies import SEP, Copy, program_path, show, stopped_at_end  # noqa: E402

TITLE = "Dazuviz Velmora"
WAIT = 30
DESIGNED = (432, 234)  # the window's client area
# Places in the designed window, in client coordinates.
TAB_Y = 9
TABS = {"Status": 20, "Messages": 72, "Compose": 132, "Discuss": 185, "Options": 235,
        "Help": 275}
STATUS_BUTTONS = {"In": 333, "Busy": 372, "Out": 413}  # at the right end of the tab row
REMARK_BOX = (80, 31)
REMARK_ARROW = (150, 31)
LIST_BUTTON = (230, 31)          # "Set my Status from a List"
PERSONALIZE_BUTTON = (355, 31)
LIST_BLANK = (200, 210)          # the status list below its last row: selects nobody
LIST_TOP, LIST_X, ROW = 43, 400, 16
NAME_FIELD = (70, 48)            # Options: "Display my Name as:"
HEIGHT_BOX = (178, 47)           # Options: the Height box
DISCUSS_ENTRY = (175, 214)
COMPOSE_BOX = (200, 120)
SEND_TO_ALL, SEND, ERASE = (60, 214), (164, 214), (268, 214)
REPLY = (250, 214)               # Messages page
WHITE = (255, 255, 255)
LIME, FUCHSIA, RED = (0, 255, 0), (255, 0, 255), (255, 0, 0)
YELLOW, SILVER, BLUE = (255, 255, 0), (192, 192, 192), (0, 0, 255)
AQUA = (0, 255, 255)
# Announcements without time stamps compare byte for byte; no idle time-out and no sound
# unless a test asks for them.
QUIET = {"left": "40", "top": "40", "ShwTime": "0", "TimeStrEnd": "0", "msgSnd": "0",
         "idle": "0"}


def own_status(code, name, text):
    """A copy's announcement of its own status."""
    return b"a" + code + name + SEP + b" " + text


def echoed(copy, datagram):
    """Waits until the copy has its last sent `datagram` back from the network: handling it
    again re-sorts the list, and with it resets the window's title."""
    trace = copy.trace
    sent = max(i for i, t in enumerate(trace) if t.kind == "send" and t.data == datagram)
    back = copy.wait_received(lambda _, d: d == datagram, WAIT, sent + 1)
    assert back is not None, f"{show(datagram)} never came back from the network"


def sent_since(copy, mark, kinds):
    return [d for d in copy.sent()[mark:] if d[:1] and d[:1] in kinds]


@contextlib.contextmanager
def sends(copy, expected, kinds=b"a", timeout=WAIT):
    """What the body does makes the copy send exactly `expected` (datagrams, or compiled
    patterns that a datagram matches whole), counting only datagrams whose first byte is one
    of `kinds` (status announcements unless told otherwise)."""
    mark = len(copy.sent())
    yield
    deadline = time.monotonic() + timeout
    got = sent_since(copy, mark, kinds)
    while len(got) < len(expected) and time.monotonic() < deadline:
        time.sleep(0.1)
        got = sent_since(copy, mark, kinds)
    assert len(got) == len(expected) and all(
        e.fullmatch(d) if isinstance(e, re.Pattern) else d == e
        for d, e in zip(got, expected)), (
        f"{copy.user} sent {[show(d) for d in got]}, expected "
        f"{[e.pattern if isinstance(e, re.Pattern) else show(e) for e in expected]}")


# -- reading screenshots --------------------------------------------------------------------

def find(image, colour, box=None):
    """The centre of the pixels of exactly `colour` inside box (x, y, w, h; default the
    whole image), or None."""
    x0, y0, w, h = box or (0, 0, image.width, image.height)
    xs, ys = [], []
    for y in range(y0, min(y0 + h, image.height)):
        for x in range(x0, min(x0 + w, image.width)):
            if image.pixel(x, y) == colour:
                xs.append(x)
                ys.append(y)
    return ((min(xs) + max(xs)) // 2, (min(ys) + max(ys)) // 2) if xs else None


def rows(image):
    """The status list's rows top to bottom, as (colour, y of the row's middle), read down
    a column right of any text."""
    found, run, colour = [], 0, None
    for y in range(LIST_TOP, image.height):
        pixel = image.pixel(LIST_X, y)
        if pixel == colour:
            run += 1
            continue
        found += _split(colour, y, run)
        colour, run = (None, 0) if pixel == WHITE else (pixel, 1)
    return found + _split(colour, image.height, run)


def _split(colour, end, run):
    # A run of one colour is as many rows as fit in it (neighbours may share a colour).
    if colour is None or run < ROW // 2:
        return []
    count = max(1, round(run / ROW))
    top = end - run
    return [(colour, top + run * (2 * i + 1) // (2 * count)) for i in range(count)]


def row_of(image, colour):
    """The middle of the one row painted in `colour`, or None."""
    ys = [y for c, y in rows(image) if c == colour]
    return ys[0] if len(ys) == 1 else None


def change_page(image):
    """The In, Busy and Out buttons of the change page (lime, fuchsia and red side by side):
    {colour: (x, y)}, or None when they do not show."""
    found = {c: find(image, c, (150, 30, 282, 60)) for c in (LIME, FUCHSIA, RED)}
    if None in found.values():
        return None
    (lx, ly), (fx, fy), (rx, ry) = found.values()
    return found if lx < fx < rx and abs(ly - fy) <= 2 and abs(fy - ry) <= 2 else None


class TitleWatch:
    """Counts the changes of a window's title as the X server reports them (xprop -spy): a
    person sees each of them, and getwindowname only the last."""

    def __init__(self, desk, window):
        self.process = subprocess.Popen(["xprop", "-spy", "-id", window, "_NET_WM_NAME"],
                                        env=desk.env, stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL)
        desk.processes.append(self.process)
        self._lines = Lines(self.process.stdout)
        # xprop reports the title as it stands first.
        assert self._lines.wait_for(lambda _: True, WAIT) is not None, "xprop -spy said nothing"

    def changes(self):
        return len(self._lines.items) - 1

    def wait_changes(self, count, timeout=WAIT):
        """Waits until at least `count` changes came; gives how many did."""
        self._lines.wait_for(lambda _: True, timeout, start=count)  # the line of change `count`
        return self.changes()

    def close(self):
        self.process.terminate()
        self.process.wait()


class Desktop(Screen):
    """The screen with its window manager, and the hands of the person in front of it."""

    def __init__(self, folder, tray=True):
        super().__init__(folder, tray=tray, window_manager=True)
        self._last_click = 0.0

    def start(self, net, i, user, workdir, settings=None, **kw):
        """Starts a copy on host i with its window on this screen; [VLX] holds QUIET under
        the keys that `settings` does not give."""
        sections = dict(settings or {})
        sections["VLX"] = dict(QUIET, **sections.get("VLX", {}))
        return Copy.start(net, i, user, workdir, settings=sections,
                          env={"QT_QPA_PLATFORM": "xcb", "DISPLAY": self.display}, **kw)

    @contextlib.contextmanager
    def running(self, copies, name):
        """Stops every copy of {host: Copy} at the end; when an assertion fails inside, first
        keeps the screen as it was in `name`-failed.png and shows what each copy sent and
        received."""
        with stopped_at_end(copies):
            try:
                yield
            except AssertionError:
                self.run("import", "-window", "root",
                         os.path.join(self.folder, f"{name}-failed.png"), check=False)
                raise

    # -- looking ------------------------------------------------------------------------------

    def window(self, title=TITLE, timeout=WAIT):
        """The visible window whose title starts with `title`, checked to be of the designed
        size, which the places above assume."""
        window = self.wait_window(["--name", "^" + title], timeout)
        size = self.geometry(window)[2:]
        assert size == DESIGNED, f"the window is {size}, not {DESIGNED}"
        return window

    def title(self, window):
        return self.run("xdotool", "getwindowname", window, check=False).strip()

    def wait_title(self, window, title, timeout=WAIT):
        """Waits until the window's title is `title`; gives the last title seen."""
        deadline = time.monotonic() + timeout
        seen = self.title(window)
        while seen != title and time.monotonic() < deadline:
            time.sleep(0.1)
            seen = self.title(window)
        return seen

    def window_shot(self, window, name):
        """A screenshot of the window's client area: pixels at client coordinates."""
        path = os.path.join(self.folder, name)
        self.run("import", "-window", window, path)
        return Image(path)

    def wait_shot(self, window, name, check, timeout=WAIT):
        """Shoots the window until check(image) gives something other than None, or the
        time is up; gives what check gave last."""
        deadline = time.monotonic() + timeout
        while True:
            found = check(self.window_shot(window, name))
            if found is not None or time.monotonic() >= deadline:
                return found
            time.sleep(0.2)

    def wait_active(self, window, timeout=WAIT):
        deadline = time.monotonic() + timeout
        while self.run("xdotool", "getactivewindow", check=False).strip() != window:
            assert time.monotonic() < deadline, f"window {window} did not become active"
            time.sleep(0.1)

    # -- hands --------------------------------------------------------------------------------

    def _click(self, move, button=1, ctrl=False):
        # Two clicks closer together than the double-click time (Qt's default is 400 ms,
        # counted in the X server's event times) would make a double click, which a right
        # click on the tray icon, for one, does nothing with; a person is never that quick.
        time.sleep(max(0.0, self._last_click + 0.6 - time.monotonic()))
        args = ["xdotool", "mousemove", *move]
        args += ["keydown", "ctrl", "click", button, "keyup", "ctrl"] if ctrl else ["click",
                                                                                   button]
        self.run(*args)
        self._last_click = time.monotonic()

    def click(self, window, x, y, button=1, ctrl=False):
        """Clicks at (x, y) of the window's client area."""
        self._click(["--window", window, x, y], button, ctrl)

    def drag(self, start, end, steps=5):
        """Drags with the left button from start to end (screen points), as a hand does."""
        self.run("xdotool", "mousemove", *start, "mousedown", "1")
        for i in range(1, steps + 1):
            self.run("xdotool", "mousemove", *(a + (b - a) * i // steps
                                               for a, b in zip(start, end)))
            time.sleep(0.1)
        self.run("xdotool", "mouseup", "1")

    def tooltip(self, window, x, y, name):
        """Rests the pointer at (x, y) of the window; gives a screenshot of the tooltip that
        shows, and takes the pointer away until it has gone."""
        before = self.visible()
        self.run("xdotool", "mousemove", "--window", window, x, y)
        self.wait_visible(lambda now: now - before)
        time.sleep(0.5)  # shown before it is painted
        image = self.window_shot((self.visible() - before).pop(), name)
        self.run("xdotool", "mousemove", 1000, 600)
        self.wait_visible(lambda now: not now - before)
        return image

    def type_text(self, text):
        self.run("xdotool", "type", "--delay", "30", text)

    def key(self, *keys):
        self.run("xdotool", "key", "--delay", "50", *keys)

    def activate(self, window):
        """Clicks the window's title bar, as one does before working in a window, and waits
        until it has the focus (a click inside could land on whatever the activation
        shows)."""
        x, y, w, _ = self.geometry(window)
        self._click([x + w // 2, y - 8])
        self.wait_active(window)

    def tab(self, window, name):
        self.click(window, TABS[name], TAB_Y)

    def status_button(self, window, name):
        self.click(window, STATUS_BUTTONS[name], TAB_Y + 1)

    def menu(self, open_it, *keys):
        """Opens a menu (or a drop-down list) with open_it(), waits until it shows, presses
        `keys` in it and waits until it has gone: a click while it still closes would be
        lost."""
        before = self.visible()
        open_it()
        self.wait_visible(lambda now: now - before)
        self.key(*keys)
        self.wait_visible(lambda now: not now - before)

    def tray_menu(self, *keys):
        """The tray icon's menu (a right click on the icon in trayer)."""
        x, y, w, h = self.geometry(self.tray)
        self.menu(lambda: self._click([x + w // 2, y + h // 2], 3), *keys)

    def window_menu(self, window, *keys):
        """The window's own menu, from the button at the right end of its tab row that it has
        when there is no notification area."""
        self.menu(lambda: self.click(window, DESIGNED[0] - 11, TAB_Y + 1), *keys)

    def person_menu(self, window, y, *keys):
        """The menu of the status list row at height y (a right click on it)."""
        self.menu(lambda: self.click(window, 60, y, button=3), *keys)

    def dialog(self, title):
        """Waits for a dialog window of that title and gives it."""
        return self.wait_window(["--name", "^" + title + "$"])


def as_person(scenario, hosts=2, tray=True):
    """Runs scenario(net, workdir, desk, probe) on a desktop and a test network of `hosts`
    hosts; the screenshots go to $VELMORA_SCREENS (kept) or a temporary folder."""
    require_netns()
    program_path()
    probe = netprobe_path()
    with tempfile.TemporaryDirectory(prefix="velmora-person-") as workdir:
        folder = os.environ.get("VELMORA_SCREENS") or workdir
        os.makedirs(folder, exist_ok=True)
        with Desktop(folder, tray=tray) as desk, TestNet(hosts) as net:
            scenario(net, workdir, desk, probe)
