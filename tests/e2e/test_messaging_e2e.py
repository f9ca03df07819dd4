"""Messages and receipts between real copies of the program on the test network.

Copies ANN, BOB and CAY run on hosts 1-3. The messages are sent by velmora_netprobe on host 1,
so they carry ANN's source address 10.77.0.1 exactly as ANN's own "Send" would, and every
receipt comes back addressed to ANN's copy.
 1. An addressed message to BOB ("m10.77.0.2" 0xF7 ...): every copy dispatches it, only BOB
    confirms it ("vl10.77.0.1" 0xF7 "BOB"), and ANN's copy dispatches that receipt.
 2. A message to all ("M..."): every copy confirms it, ANN's own copy included, so ANN's copy
    dispatches three receipts.
 3. CAY renames herself: "zw10.77.0.3" 0xF7 "Cay Renamed" 0xF7 "In", sent from host 3 as
    her copy does.
 4. BOB stops (a log-off, which saves): its settings file holds both messages in [VLXMsgs],
    newest first, each ending with its arrival line and the closing "^". BOB's and ANN's
    rosters ([ipList]) keep CAY's row white under the new name, its status kept (or under
    "CAY" where CAY's own copy's answer to the change was heard before the copy stopped).

Exits 77 when there is no root, no namespaces, or no built program.
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from settings_files import read_ini  # noqa: E402
from testnet import main  # noqa: E402
from velmora_copies import (SEP, Copy, message_datagram, on_test_network,  # noqa: E402
                            receipt_datagram, roster_archive, show, signature,
                            stopped_at_end)

NAMES = {1: b"ANN", 2: b"BOB", 3: b"CAY"}
ADDR = {i: f"10.77.0.{i}" for i in range(1, 4)}
START_TIMEOUT = 30
RECEIPT_TIMEOUT = 15

TO_BOB = message_datagram(b"Lunch at noon?\r\n", b"ANN", ADDR[1], to=ADDR[2])
TO_ALL = message_datagram(b"The printer on floor 2 is fixed.\r\n", b"ANN", ADDR[1])
RENAME = b"zw" + ADDR[3].encode() + SEP + b"Cay Renamed" + SEP + b"In"
RENAMED_ROW = ADDR[3].encode() + SEP + b"Cay Renamed" + SEP + b"wIn"


def receipt(name):
    return receipt_datagram(ADDR[1], name)


def send_from_host(net, probe, i, data):
    net.exec(i, [probe, "send", data.hex()])


def run(net, workdir, program, probe):
    copies = {i: Copy.start(net, i, NAMES[i].decode(), workdir, program) for i in (1, 2, 3)}
    with stopped_at_end(copies):
        for i, copy in copies.items():
            started = copy.wait_sent(lambda d: d.startswith(b"r "), START_TIMEOUT)
            assert started is not None, f"{NAMES[i]} did not start:\n{copy.describe()}"

        # 1. Addressed to BOB: only BOB confirms.
        send_from_host(net, probe, 1, TO_BOB)
        for i, copy in copies.items():
            got = copy.wait_received(lambda s, d: s == ADDR[1] and d == TO_BOB, RECEIPT_TIMEOUT)
            assert got is not None, f"{NAMES[i]} never dispatched the message to BOB"
        assert copies[2].wait_sent(lambda d: d == receipt(b"BOB"), RECEIPT_TIMEOUT), (
            f"BOB did not confirm:\n{copies[2].describe()}")
        got = copies[1].wait_received(
            lambda s, d: s == ADDR[2] and d == receipt(b"BOB"), RECEIPT_TIMEOUT)
        assert got is not None, f"ANN's copy never got BOB's receipt:\n{copies[1].describe()}"
        for i in (1, 3):
            confirmations = [d for d in copies[i].sent() if d.startswith(b"vl")]
            assert not confirmations, (
                f"{NAMES[i]} confirmed a message for BOB: {[show(d) for d in confirmations]}")

        # 2. To all: three receipts reach ANN's copy, its own among them.
        send_from_host(net, probe, 1, TO_ALL)
        for i in (1, 2, 3):
            got = copies[1].wait_received(
                lambda s, d, i=i: s == ADDR[i] and d == receipt(NAMES[i]), RECEIPT_TIMEOUT)
            assert got is not None, (
                f"ANN's copy never got the receipt of {NAMES[i]}:\n{copies[1].describe()}")
        for i in (2, 3):
            count = copies[i].sent().count(receipt(NAMES[i]))
            expected = 2 if i == 2 else 1
            assert count == expected, f"{NAMES[i]} sent {count} receipts, expected {expected}"

        # 3. CAY's new name reaches the others.
        send_from_host(net, probe, 3, RENAME)
        for i in (1, 2):
            got = copies[i].wait_received(lambda s, d: s == ADDR[3] and d == RENAME,
                                          RECEIPT_TIMEOUT)
            assert got is not None, f"{NAMES[i]} never dispatched CAY's new name"

        # 4. BOB's history survives in its settings file, newest first; the rosters keep the
        # new name.
        status = copies[2].stop()
        assert status == 0, f"BOB ended with status {status}"
        messages = read_ini(copies[2].settings).messages()
        assert len(messages) == 2, f"BOB stored {[show(m) for m in messages]}"
        assert messages[0].startswith(TO_ALL[1:] + b"\r\n at "), show(messages[0])
        from_ann = signature(b"ANN", ADDR[1])
        assert messages[1].startswith(b"Lunch at noon?\r\n" + from_ann + b"\r\n at "), (
            show(messages[1]))
        assert all(m.endswith(b"\r\n ") for m in messages), [show(m) for m in messages]
        assert copies[1].stop() == 0, f"ANN ended badly:\n{copies[1].describe()}"
        for i in (1, 2):
            rows = [r for r in roster_archive(copies[i].settings)
                    if r.startswith(ADDR[3].encode() + SEP)]
            # CAY's own copy takes the change over and announces it under her display name;
            # a copy that heard that answer before it stopped rightly keeps that name.
            received = copies[i].received()
            after_rename = received[received.index((ADDR[3], RENAME)) + 1:]
            answered = any(s == ADDR[3] and d.startswith(b"awCAY" + SEP) for s, d in after_rename)
            expected = ADDR[3].encode() + SEP + b"CAY" + SEP + b"wIn" if answered else RENAMED_ROW
            assert rows == [expected], (
                f"{NAMES[i]} keeps CAY as {[show(r) for r in rows]}, expected {show(expected)}")


def test_messaging():
    on_test_network(3, run)


if __name__ == "__main__":
    main(test_messaging)
