"""Messages that wait in the outbox of the sender's copy until the recipient's copy is back.

ANN's copy runs on host 1; BOB's computer is host 2, his copy not running at first. ANN's
settings file holds two messages for BOB in [VLXOutbox]: one put there just now, one eight days
ago.
 1. ANN's copy starts: nothing goes to BOB, the old message is dropped, and after a stop (which
    saves) the file keeps the new one only.
 2. ANN's copy starts again, then BOB's: his start announcement sends the waiting message, as
    ANN's "Send" would, and BOB's copy confirms it to ANN's.
 3. Two more announcements of BOB's in a row send nothing more; ANN's file keeps no outbox.

Exits 77 when there is no root, no namespaces, or no built program.
"""

import datetime
import os
import sys
import time
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from testnet import main  # noqa: E402
from velmora_copies import (SEP, Copy, message_datagram, on_test_network,  # noqa: E402
                            read_section, receipt_datagram, started, stopped_at_end)

ANN, BOB = "10.77.0.1", "10.77.0.2"
TIMEOUT = 15
WAITING = b"See you tomorrow?\r\n"
TO_BOB = message_datagram(WAITING, b"ANN", ANN, to=BOB)


def stored(body, days_ago):
    moment = datetime.datetime.now(datetime.timezone.utc) - datetime.timedelta(days=days_ago)
    return " ".join([BOB, moment.strftime("%Y-%m-%dT%H:%M:%SZ"), "BOB",
                     urllib.parse.quote(body, safe="")])


def to_bob(copy):
    return [d for d in copy.sent() if d.startswith(b"m" + BOB.encode() + SEP)]


def run(net, workdir, program, probe):
    outbox = {"VLXOutbox": {"cnt": "2", "0": stored(b"Old news\r\n", 8), "1": stored(WAITING, 0)}}
    copies = {1: Copy.start(net, 1, "ANN", workdir, program, settings=outbox)}
    with stopped_at_end(copies):
        # 1. Nobody answers for BOB: the message waits, and survives the stop.
        started(copies[1])
        assert copies[1].stop() == 0, copies[1].describe()
        assert not to_bob(copies[1]), copies[1].describe()
        kept = read_section(copies[1].settings, "VLXOutbox")
        assert kept and kept[b"cnt"] == b"1", kept
        assert kept[b"0"].endswith(b" BOB See%20you%20tomorrow%3F%0D%0A"), kept

        # 2. BOB's copy comes up: the message goes out and is confirmed.
        copies[1] = Copy.start(net, 1, "ANN", workdir, program)
        started(copies[1])
        copies[2] = Copy.start(net, 2, "BOB", workdir, program)
        assert copies[1].wait_sent(lambda d: d == TO_BOB, TIMEOUT), copies[1].describe()
        receipt = receipt_datagram(ANN, b"BOB")
        got = copies[1].wait_received(lambda s, d: s == BOB and d == receipt, TIMEOUT)
        assert got is not None, f"BOB never confirmed:\n{copies[2].describe()}"

        # 3. Two announcements in a row: still one message. They are a second apart, since a
        # copy takes the same announcement twice within a second once (as a relay's repeat).
        back = b"agBOB" + SEP + b" In"
        for pause in (1.2, 0):
            net.exec(2, [probe, "send", back.hex()])
            time.sleep(pause)
        deadline = time.monotonic() + TIMEOUT
        while copies[1].received().count((BOB, back)) < 2 and time.monotonic() < deadline:
            time.sleep(0.1)
        assert copies[1].received().count((BOB, back)) == 2, copies[1].describe()
        assert to_bob(copies[1]) == [TO_BOB], to_bob(copies[1])
        assert copies[1].stop() == 0, copies[1].describe()
        assert read_section(copies[1].settings, "VLXOutbox") is None


def test_outbox():
    on_test_network(2, run)


if __name__ == "__main__":
    main(test_outbox)
