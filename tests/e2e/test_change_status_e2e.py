"""Changing another person's status, between real copies of the program on the test network.

Copies ANN, BOB and CAY run on hosts 1-3. The changes are sent by velmora_netprobe on host 1,
byte for byte what ANN's change page sends ("z" + code + target address 0xF7 name 0xF7
status), so they carry ANN's source address. Every copy rewrites a change into an
announcement for the target's address; BOB's copy, the target, also takes the status over
as his own, which shows in what he says when asked to re-announce ("r ANN", also from host 1):
 1. Out, then a remark stamped by ANN's copy ("In a meeting ( 9:05 AM on Mon)"): BOB answers
    with code y and the stamp attached, and still does so at the next request.
 2. A typed status (white, never stamped) replaces it: no stamp is left over.
 3. A remark with and without "White background": codes w and y. Two colleagues whose copies
    are not running (DEE, EVA) get the same remarks, so every roster keeps them as sent.
 4. In: ANN and CAY stop right after it, before BOB answers anything, so their settings files
    show the change itself; then BOB answers with code g.

Exits 77 when there is no root, no namespaces, or no built program.
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from testnet import main  # noqa: E402
from velmora_copies import (SEP, Copy, on_test_network, roster_archive,  # noqa: E402
                            show, stopped_at_end)

NAMES = {1: b"ANN", 2: b"BOB", 3: b"CAY"}
ADDR = {i: f"10.77.0.{i}".encode() for i in range(1, 4)}
# Colleagues at addresses no host holds.
DEE, EVA = (b"10.77.0.21", b"DEE"), (b"10.77.0.22", b"EVA")
WAIT = 30
REFRESH = b"r ANN"
STAMPED = b" In a meeting ( 9:05 AM on Mon)"


def change(code, target, name, status):
    return b"z" + code + target + SEP + name + SEP + status


def announcement(code, name, text):
    # An announcement puts one blank between the separator and the text; the changes above
    # carry that blank already, so what BOB re-announces after taking one over repeats it.
    return b"a" + code + name + SEP + text


class Board:
    def __init__(self, net, probe, copies):
        self.net, self.probe, self.copies = net, probe, copies

    def send(self, data):
        self.net.exec(1, [self.probe, "send", data.hex()])

    def change(self, code, target, name, status):
        """Sends a change from ANN's host and waits until every copy dispatched it."""
        data = change(code, target, name, status)
        marks = {i: len(copy.trace) for i, copy in self.copies.items()}
        self.send(data)
        for i in self.copies:
            got = self.copies[i].wait_received(lambda s, d: s == ADDR[1].decode() and d == data,
                                               WAIT, marks[i])
            assert got is not None, f"{NAMES[i]} never dispatched {show(data)}"

    def bob_answers(self):
        """Asks every copy to re-announce and gives what BOB's copy sent about BOB."""
        bob = self.copies[2]
        mark = len(bob.trace)
        self.send(REFRESH)
        answer = bob.wait_sent(lambda d: d[:1] == b"a" and d[2:].startswith(b"BOB" + SEP),
                               WAIT, mark)
        assert answer is not None, f"BOB did not re-announce:\n{bob.describe()}"
        return answer


def expect(got, wanted):
    assert got == wanted, f"BOB re-announced {show(got)}, expected {show(wanted)}"


def run(net, workdir, program, probe):
    copies = {i: Copy.start(net, i, NAMES[i].decode(), workdir, program) for i in (1, 2, 3)}
    board = Board(net, probe, copies)
    with stopped_at_end(copies):
        for i, copy in copies.items():
            assert copy.wait_sent(lambda d: d.startswith(b"r "), WAIT) is not None, (
                f"{NAMES[i]} did not start:\n{copy.describe()}")

        # 1. Out first, so that the later changes are seen to replace a status, not the In
        # of the start. BOB's copy splits the stamp of a stamped remark off as his own time
        # stamp ("In a meeting" and " ( 9:05 AM on Mon)"); a re-announcement puts the own
        # stamp straight after the text and never takes a new one, so both answers give back
        # the remark exactly as it came, not a stamp of the current time.
        board.change(b"r", ADDR[2], b"BOB", b" Out")
        expect(board.bob_answers(), announcement(b"r", b"BOB", b" Out"))
        board.change(b"y", ADDR[2], b"BOB", STAMPED)
        expect(board.bob_answers(), announcement(b"y", b"BOB", STAMPED))
        expect(board.bob_answers(), announcement(b"y", b"BOB", STAMPED))

        # 2. A typed status has no stamp, and the one taken over before must not linger.
        board.change(b"w", ADDR[2], b"BOB", b" Visiting a client")
        expect(board.bob_answers(), announcement(b"w", b"BOB", b" Visiting a client"))

        # 3. Remarks with and without a white background.
        board.change(b"w", ADDR[2], b"BOB", b" At lunch")
        expect(board.bob_answers(), announcement(b"w", b"BOB", b" At lunch"))
        board.change(b"y", ADDR[2], b"BOB", b" At lunch")
        expect(board.bob_answers(), announcement(b"y", b"BOB", b" At lunch"))
        board.change(b"w", *DEE, b" At lunch")
        board.change(b"y", *EVA, b" At lunch")

        # 4. In. ANN and CAY stop before BOB says anything more, so their rosters hold what
        # they made of the change alone; BOB then answers a request with the In as his own.
        board.change(b"g", ADDR[2], b"BOB", b" In")
        for i in (3, 1):
            assert copies[i].stop() == 0, f"{NAMES[i]} ended badly:\n{copies[i].describe()}"
        expect(board.bob_answers(), announcement(b"g", b"BOB", b" In"))
        assert copies[2].stop() == 0, f"BOB ended badly:\n{copies[2].describe()}"

        # Every roster keys the changes by the target's address, not by ANN's. The archive
        # drops the status of In, Out and Busy rows and keeps everything else.
        expected = {
            ADDR[2]: ADDR[2] + SEP + b"BOB",
            DEE[0]: DEE[0] + SEP + DEE[1] + SEP + b"wAt lunch",
            EVA[0]: EVA[0] + SEP + EVA[1] + SEP + b"yAt lunch",
        }
        for i, copy in copies.items():
            rows = roster_archive(copy.settings)
            for address, row in expected.items():
                found = [r for r in rows if r.split(SEP, 1)[0] == address]
                assert found == [row], (
                    f"{NAMES[i]} archived {[show(r) for r in found]} for {address.decode()}, "
                    f"expected {show(row)}")
            named_bob = [r for r in rows if r.split(SEP)[1:2] == [b"BOB"]]
            assert named_bob == [expected[ADDR[2]]], (
                f"{NAMES[i]} archived BOB as {[show(r) for r in named_bob]}")


def test_change_status():
    on_test_network(3, run)


if __name__ == "__main__":
    main(test_change_status)
