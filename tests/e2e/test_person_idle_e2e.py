"""Staying idle while a message arrives, on a desktop (person.py: Xvfb, openbox, trayer).

ANN's copy runs on host 1 with an Idle Timeout of one minute ([VLX] idle=1); nobody touches
keyboard or mouse:
 1. About a minute after start the copy announces ANN idle (code s), once.
 2. A message from host 2 arrives: the copy confirms it and brings its window forward, with
    its small nudge of the pointer. That is the program's doing, not ANN's: no announcement
    of ANN back (or anything else but idle) may follow within 15 s.
 3. A key press (a person's input): ANN is announced back as In.

It waits more than a minute by design, hence the label "slow", as test_idle_screen_e2e.py.
Exits 77 when there is no root, no namespaces, no X tools or no built program.
"""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from person import WAIT, as_person, own_status  # noqa: E402
from testnet import main  # noqa: E402
from velmora_copies import SEP, show  # noqa: E402

# Idle after the limit of 60 one-second ticks: earlier than EARLIEST is a fault, LATEST only
# keeps a slow machine from waiting for ever.
EARLIEST, LATEST = 50, 100
STAYS_IDLE = 15
MESSAGE = b"m10.77.0.1" + SEP + b"Are you there?\r\n - - - From BOB (10.77.0.2)"
RECEIPT = b"vl10.77.0.2" + SEP + b"ANN"


def run(net, workdir, desk, probe):
    copy = desk.start(net, 1, "ANN", workdir, settings={"VLX": {"idle": "1"}})
    with desk.running({1: copy}, "person-idle"):
        assert copy.wait_sent(lambda d: d == own_status(b"g", b"ANN", b"In"), WAIT), (
            "no start announcement")
        started = time.monotonic()
        idle = copy.wait_sent(lambda d: d[:1] == b"a" and d[1:2] != b"g", LATEST)
        went_idle = time.monotonic() - started
        assert idle == own_status(b"s", b"ANN", b"In"), (
            f"{LATEST} s after start ANN was announced as {idle and show(idle)}, not idle")
        assert went_idle >= EARLIEST, f"idle already {went_idle:.1f} s after start"

        mark = len(copy.trace)
        net.exec(2, [probe, "send", MESSAGE.hex()])
        assert copy.wait_sent(lambda d: d == RECEIPT, WAIT, mark), "the message was not confirmed"
        after = copy.wait_sent(lambda d: d[:1] == b"a" and d[1:2] != b"s", STAYS_IDLE, mark)
        assert after is None, f"{show(after)} came after the message, without any input"

        desk.key("shift")
        back = copy.wait_sent(lambda d: d[:1] == b"a", WAIT, mark)
        assert back == own_status(b"g", b"ANN", b"In"), (
            f"after a key press ANN was announced as {back and show(back)}, not back In")


def test_person_idle():
    as_person(run)


if __name__ == "__main__":
    main(test_person_idle)
