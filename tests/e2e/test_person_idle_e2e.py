"""Going idle, staying idle while a message arrives, and coming back, on a desktop (person.py:
Xvfb, openbox, trayer).

ANN's copy runs on host 1 with an Idle Timeout of one minute ([VLX] idle=1). On the xcb
platform the copy reads the X server's idle time, so only real input counts; nothing of this
test talks to the X server until the key press, so nothing can pass for input:
 1. About a minute after start the copy announces ANN idle (code s), once, her status text
    unchanged.
 2. It stays idle while nobody touches anything (a few seconds of one-second checks).
 3. A message from host 2 arrives: the copy confirms it and brings its window forward, with
    its small nudge of the pointer. That is the program's doing, not ANN's: no announcement
    of ANN back (or anything else but idle) may follow within 15 s.
 4. One key press (xdotool, i.e. the XTEST extension): within a few seconds ANN is announced
    back in the colour she had before, In (code g), with the same text; the copy then ends
    cleanly.

The test waits more than a minute by design; it carries the label "slow" so that it can be
left out, or run alone with `ctest -L slow`.

Exits 77 when there is no root, no namespaces, no X tools or no built program.
"""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from person import WAIT, as_person, own_status  # noqa: E402
from testnet import main  # noqa: E402
from velmora_copies import message_datagram, receipt_datagram, show  # noqa: E402

# Idle after the limit of 60 one-second ticks counted from start: earlier than EARLIEST is a
# fault, LATEST only keeps a slow machine from waiting for ever.
EARLIEST, LATEST = 50, 100
STAYS_IDLE = 3                  # without any input
STAYS_IDLE_AFTER_MESSAGE = 15   # after the window came forward by itself
BACK_WITHIN = 5
MESSAGE = message_datagram(b"Are you there?\r\n", b"BOB", "10.77.0.2", to="10.77.0.1")
RECEIPT = receipt_datagram("10.77.0.2", b"ANN")
IN, IDLE = own_status(b"g", b"ANN", b"In"), own_status(b"s", b"ANN", b"In")


def run(net, workdir, desk, probe):
    copy = desk.start(net, 1, "ANN", workdir, settings={"VLX": {"idle": "1"}})
    with desk.running({1: copy}, "person-idle"):
        assert copy.wait_sent(lambda d: d == IN, WAIT), "no start announcement"
        started = time.monotonic()
        idle = copy.wait_sent(lambda d: d[:1] == b"a" and d[1:2] != b"g", LATEST)
        went_idle = time.monotonic() - started
        assert idle is not None, f"not idle {LATEST} s after start"
        assert idle == IDLE, (
            f"ANN was announced as {show(idle)}, not idle with her status unchanged")
        assert went_idle >= EARLIEST, f"idle already {went_idle:.1f} s after start"
        assert copy.running(), copy.describe()

        # Idle is checked every second now; without input it must hold.
        mark = len(copy.trace)
        early = copy.wait_sent(lambda d: d[:1] == b"a", STAYS_IDLE, mark)
        assert early is None, f"{show(early)} came without any input"

        message_mark = len(copy.trace)
        net.exec(2, [probe, "send", MESSAGE.hex()])
        assert copy.wait_sent(lambda d: d == RECEIPT, WAIT, message_mark), (
            "the message was not confirmed")
        after = copy.wait_sent(lambda d: d[:1] == b"a" and d[1:2] != b"s",
                               STAYS_IDLE_AFTER_MESSAGE, message_mark)
        assert after is None, f"{show(after)} came after the message, without any input"

        pressed = time.monotonic()
        desk.key("shift")
        # The first announcement since ANN went idle is the one that brings her back.
        back = copy.wait_sent(lambda d: d[:1] == b"a", BACK_WITHIN + 1, mark)
        came_back = time.monotonic() - pressed
        assert back == IN, (
            f"after a key press ANN was announced as {back and show(back)}, not back In")
        assert came_back <= BACK_WITHIN, f"back only {came_back:.1f} s after the key press"
        print(f"idle after {went_idle:.1f} s, back {came_back:.1f} s after the key press")
        assert copy.stop(timeout=WAIT) == 0, copy.describe()


def test_person_idle():
    as_person(run)


if __name__ == "__main__":
    main(test_person_idle)
