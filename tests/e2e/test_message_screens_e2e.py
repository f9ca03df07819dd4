"""Messages and receipts on a real X screen (Xvfb, as in test_screens_e2e.py): one copy (ANN)
on host 1 of the test network, a probe on host 2 in the role of BOB's copy. Screenshots go to
VELMORA_SCREENS (default: a temporary folder) and their pixels are checked:

 1. A message addressed to ANN arrives while her window is not active: the copy confirms it
    and shows it on its Messages page by itself: the text box is white with dark text and the
    Status page's lime row is gone.
 2. ANN answers with the mouse (a first click on the window activates it, which shows the
    Status page; then the Messages tab, Reply and Send): the Compose page waits for the
    receipt, its box not lime. Two receipts for that message arrive: the box turns lime over
    most of its area.

Exits 77 when there is no root, no namespaces, no X tools or no built program.
"""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from person import REPLY, SEND, TAB_Y, TABS  # noqa: E402
from test_screens_e2e import LIME, TITLE, on_screen  # noqa: E402
from testnet import main  # noqa: E402
from velmora_copies import SEP, Copy, message_datagram, receipt_datagram, show  # noqa: E402

ADDR = {1: b"10.77.0.1", 2: b"10.77.0.2"}
WAIT = 30
TO_ANN = message_datagram(b"Lunch at noon? The table by the window.\r\n", b"BOB", ADDR[2],
                          to=ADDR[1])
RECEIPTS = [receipt_datagram(ADDR[1], name) for name in (b"ANN", b"BOB")]
WHITE = (255, 255, 255)


def window_box(box, left, top, right, bottom):
    """A part of the window (x, y, w, h) given as fractions of its width and height."""
    x, y, w, h = box
    return (x + int(left * w), y + int(top * h), int((right - left) * w), int((bottom - top) * h))


def census(image, area):
    """{"white", "lime", "dark", "all"}: pixel counts inside area = (x, y, w, h); dark means
    every channel below 100, as text is drawn."""
    x0, y0, w, h = area
    counts = {"white": 0, "lime": 0, "dark": 0, "all": w * h}
    for y in range(y0, y0 + h):
        for x in range(x0, x0 + w):
            p = image.pixel(x, y)
            if p == WHITE:
                counts["white"] += 1
            elif p == LIME:
                counts["lime"] += 1
            elif max(p) < 100:
                counts["dark"] += 1
    return counts


def send(net, probe, data):
    net.exec(2, [probe, "send", data.hex()])


def run(net, workdir, screen, probe):
    copy = Copy.start(net, 1, "ANN", workdir, settings={"VLX": {"left": "20", "top": "20"}},
                      env={"QT_QPA_PLATFORM": "xcb", "DISPLAY": screen.display})
    try:
        assert copy.wait_sent(lambda d: d[:1] == b"a", WAIT), f"no start\n{copy.describe()}"
        box = screen.geometry(screen.wait_window(["--name", TITLE]))
        # The text boxes of the Messages and Compose pages both cover this part of the window;
        # on the Status page the list does, with ANN's own lime row at its top.
        text_area = window_box(box, 0.05, 0.22, 0.88, 0.78)

        # 1. The message: confirmed, and on the Messages page.
        send(net, probe, TO_ANN)
        assert copy.wait_sent(lambda d: d == receipt_datagram(ADDR[2], b"ANN"), WAIT), (
            f"ANN did not confirm\n{copy.describe()}")
        # Checked at the end, so that a failure here still lets the Compose page be checked.
        problems = []
        inbox = census(screen.shot("messages.png"), text_area)
        if not (inbox["lime"] == 0 and inbox["white"] > 0.6 * inbox["all"]
                and inbox["dark"] >= 200):
            problems.append(
                f"messages.png: the new message is not shown on the Messages page {inbox}")

        # 2. The answer by mouse. The first click lands where every page has its text box or
        # list, below any row; it activates the window, which shows the Status page. Receipts
        # count only after a message of ANN's own.
        x, y, w, h = box
        screen.run("xdotool", "mousemove", x + w // 2, y + int(0.85 * h), "click", "1")
        for place in ((TABS["Messages"], TAB_Y), REPLY, SEND):
            time.sleep(0.6)  # never two clicks within the double-click time
            screen.run("xdotool", "mousemove", x + place[0], y + place[1], "click", "1")
        assert copy.wait_sent(lambda d: d.startswith(b"m" + ADDR[2] + SEP), WAIT), (
            f"ANN's answer was not sent\n{copy.describe()}")
        compose = census(screen.shot("compose.png"), text_area)
        assert compose["lime"] == 0 and compose["white"] > 0.6 * compose["all"], (
            f"compose.png: not the Compose page with a white box {compose}")

        for receipt in RECEIPTS:
            send(net, probe, receipt)
        for receipt in RECEIPTS:
            got = copy.wait_received(lambda s, d, r=receipt: d == r, WAIT)
            assert got is not None, f"receipt {show(receipt)} not dispatched\n{copy.describe()}"
        receipts = census(screen.shot("compose-receipts.png"), text_area)
        assert receipts["lime"] > 0.75 * receipts["all"] and receipts["dark"] >= 100, (
            f"compose-receipts.png: the receipt list is not on lime {receipts}")
        assert copy.stop(timeout=WAIT) == 0, copy.describe()
        assert not problems, "\n".join(problems)
    finally:
        copy.stop(timeout=WAIT)


def test_message_screens():
    on_screen(run)


if __name__ == "__main__":
    main(test_message_screens)
