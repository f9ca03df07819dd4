"""The discussion board between three real copies of the program on the test network.

Copies ANN, BOB and CAY run on hosts 1-3. ANN's line is sent by velmora_netprobe on host 1,
byte for byte what ANN's "Submit" sends, so it carries ANN's source address; the window side
of Submit (the line built from the name box, the entry box and the time) is tested on its own.
 1. The line reaches every board, ANN's own included: each copy dispatches it from 10.77.0.1,
    and ANN's copy adds it only then (nothing is added locally when submitting).
 2. BOB hides the Discuss tab (settings key discuss=1): his copy still takes the datagram in
    (and leaves it off the board) without trouble.
 3. No copy sends a discussion line of its own in answer.

Exits 77 when there is no root, no namespaces, or no built program.
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from testnet import main  # noqa: E402
from velmora_copies import Copy, on_test_network, stopped_at_end  # noqa: E402

NAMES = {1: "ANN", 2: "BOB", 3: "CAY"}
ADDR = {i: f"10.77.0.{i}" for i in range(1, 4)}
START_TIMEOUT = 30
ARRIVAL_TIMEOUT = 15

LINE = b"dAnn Example > Stand-up moved to 10:30 & the <b>agenda</b> is open ( 9:05 AM)"


def run(net, workdir, program, probe):
    settings = {2: {"VLX": {"discuss": "1"}}}
    copies = {i: Copy.start(net, i, NAMES[i], workdir, program, settings=settings.get(i))
              for i in (1, 2, 3)}
    with stopped_at_end(copies):
        for i, copy in copies.items():
            started = copy.wait_sent(lambda d: d.startswith(b"r "), START_TIMEOUT)
            assert started is not None, f"{NAMES[i]} did not start:\n{copy.describe()}"

        net.exec(1, [probe, "send", LINE.hex()])
        for i, copy in copies.items():
            got = copy.wait_received(lambda s, d: s == ADDR[1] and d == LINE, ARRIVAL_TIMEOUT)
            assert got is not None, f"{NAMES[i]} never received ANN's line:\n{copy.describe()}"
        for i, copy in copies.items():
            lines = [d for d in copy.sent() if d.startswith(b"d")]
            assert not lines, f"{NAMES[i]} sent discussion lines of its own: {lines}"
        for i, copy in copies.items():
            assert copy.stop() == 0, f"{NAMES[i]} ended badly:\n{copy.describe()}"


def test_discuss():
    on_test_network(3, run)


if __name__ == "__main__":
    main(test_discuss)
