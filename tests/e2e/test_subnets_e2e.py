"""An office on two subnets joined by a router that runs the broadcast relay bcrelay.

ANN runs on host 1 (10.77.1.1), BOB on host 3 (10.77.2.3), probes listen on hosts 2 and 4 (one
per subnet). What a copy's own action sends is sent by a probe from that copy's host.
One relay over both interfaces; each of these crosses once:
 1. ANN and BOB see each other, each from the other's own address (the relay keeps it).
 2. A message to BOB and his receipt; a message to all, and both receipts reach ANN.
 3. BOB's discussion line reaches ANN; a status set on BOB's copy from ANN's host is taken over,
    and BOB's answer to a refresh request carries it back.
 4. A second start on BOB's host sends "x": BOB's copy has it from its own address, ANN's from
    BOB's, so only BOB's comes forward.
Two relays, one per direction: what crosses arrives twice (the probes see both), and is acted
on once: 5. a message and its receipt, 6. a discussion line (and again when said again later),
7. an announcement answering a refresh request. BOB's history holds each message once.
"""

import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from net_trouble import probe_send  # noqa: E402
from probe import Listener  # noqa: E402
from settings_files import read_ini  # noqa: E402
from testnet import Skip, main  # noqa: E402
from velmora_copies import (SEP, Copy, archived_addresses, message_datagram,  # noqa: E402
                            on_test_network, receipt_datagram, started, stopped_at_end)

ANN, BOB, WIRE = 1, 3, {1: 2, 2: 4}  # copies' hosts; the probe's host on each subnet
A, B = "10.77.1.1", "10.77.2.3"
WAIT = 30
TO_BOB = message_datagram(b"Lunch at noon?\r\n", b"ANN", A, to=B)
TO_ALL = message_datagram(b"The printer is fixed.\r\n", b"ANN", A)
TO_BOB_AGAIN = message_datagram(b"Coffee?\r\n", b"ANN", A, to=B)
RECEIPT = receipt_datagram(A, b"BOB")


def wait(condition, what):
    deadline = time.monotonic() + WAIT
    while not condition():
        assert time.monotonic() < deadline, what()
        time.sleep(0.1)


class Office:
    def __init__(self, net, probe, bcrelay):
        self.net, self.probe, self.bcrelay = net, probe, bcrelay
        self.wire = {side: Listener(net, host, probe) for side, host in WIRE.items()}
        for listener in self.wire.values():
            listener.wait_ready()
        self.copies, self.relays, self.markers = {}, [], 0

    def send(self, host, data):
        probe_send(self.net, host, self.probe, data)

    def marker(self, side):
        """A datagram of no kind (copies ignore it), new each time, from subnet `side`."""
        self.markers += 1
        self.send(WIRE[side], b"q%d" % self.markers)
        return b"q%d" % self.markers

    def relay(self, *instances):
        """Starts these bcrelay instances instead of the running ones; waits until each
        subnet's datagrams reach the other once per instance."""
        for process in self.relays:
            process.terminate()
            process.wait(timeout=WAIT)
        self.relays = [self.net.popen("router", [self.bcrelay, "-n", "-i", i, "-o", o],
                                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                       for i, o in instances]
        for side, other in ((1, 2), (2, 1)):
            deadline = time.monotonic() + WAIT
            while True:
                mark = len(self.wire[other].seen)
                data = self.marker(side)
                time.sleep(0.5)
                if self.crossed(other, data, mark) == len(instances):
                    break
                assert time.monotonic() < deadline, f"{instances} relayed {data!r} wrongly"

    def crossed(self, side, data, mark, times=None):
        """How often subnet `side` carried `data` since `mark`; with `times`, waits for it."""
        count = lambda: sum(1 for d in self.wire[side].seen[mark:] if d.data == data)
        if times is not None:
            wait(lambda: count() >= times, lambda: f"{data!r} on subnet {side} {count()}x")
        return count()

    def count(self, i, source, data, mark=0, times=None):
        """How often copy i dispatched `data` from `source`; with `times`, waits for it."""
        count = lambda: sum(1 for t in self.copies[i].trace[mark:]
                            if t.kind == "recv" and t.source == source and t.data == data)
        if times is not None:
            wait(lambda: count() >= times, lambda: f"{data!r}:\n{self.copies[i].describe()}")
        return count()

    def once(self, i, source, data, mark):
        """Copy i dispatched `data` once since `mark`, counted after it dispatched a marker sent
        from its subnet later than everything before."""
        marker = self.marker(1 if i == ANN else 2)
        self.count(i, self.net.addr(WIRE[1 if i == ANN else 2]), marker, mark, 1)
        assert self.count(i, source, data, mark) == 1, self.copies[i].describe()


def one_relay(office, ann, bob):
    started(ann)
    started(bob)
    assert ann.wait_received(lambda s, d: s == B and d.startswith(b"agBOB" + SEP), WAIT)
    assert bob.wait_received(lambda s, d: s == A and d.startswith(b"agANN" + SEP), WAIT)
    marks = {side: len(office.wire[side].seen) for side in WIRE}
    office.send(ANN, TO_BOB)
    office.count(ANN, B, RECEIPT, times=1)
    office.send(ANN, TO_ALL)
    office.count(ANN, A, receipt_datagram(A, b"ANN"), times=1)
    office.count(ANN, B, RECEIPT, times=2)

    line = b"dBOB > Stand-up at 10:30"
    office.send(BOB, line)
    office.count(ANN, B, line, times=1)
    busy = b" Busy - In but unavailable"
    office.send(ANN, b"zf" + B.encode() + SEP + b"BOB" + SEP + busy)
    office.count(BOB, A, b"zf" + B.encode() + SEP + b"BOB" + SEP + busy, times=1)
    office.send(WIRE[1], b"r PRB")
    office.count(ANN, B, b"afBOB" + SEP + busy, times=1)

    twin = Copy.start(office.net, BOB, "BOB2", os.path.dirname(bob.folder))
    assert twin.process.wait(timeout=WAIT) == 0 and twin.stop() == 0, twin.describe()
    assert twin.sent() == [b"x"], twin.describe()
    office.count(BOB, B, b"x", times=1)
    office.count(ANN, B, b"x", times=1)
    assert office.count(ANN, A, b"x") == 0, "ANN took BOB's 'x' for its own"
    for side, data, times in ((2, TO_BOB, 1), (2, TO_ALL, 1), (1, RECEIPT, 2), (1, line, 1)):
        assert office.crossed(side, data, marks[side]) == times, f"{data!r} crossed again"


def two_relays(office, ann, bob):
    marks = {side: len(office.wire[side].seen) for side in WIRE}
    trace = {i: len(c.trace) for i, c in office.copies.items()}
    sent = len(bob.sent())
    office.send(ANN, TO_BOB_AGAIN)
    office.crossed(2, TO_BOB_AGAIN, marks[2], 2)
    office.crossed(1, RECEIPT, marks[1], 2)
    office.once(BOB, A, TO_BOB_AGAIN, trace[BOB])
    assert bob.sent()[sent:].count(RECEIPT) == 1, bob.describe()
    office.once(ANN, B, RECEIPT, trace[ANN])

    chat = b"dANN > Coffee is ready"
    office.send(ANN, chat)
    office.crossed(2, chat, marks[2], 2)
    office.once(BOB, A, chat, trace[BOB])
    time.sleep(1.5)  # said again, later than any relay repeats it
    mark = len(bob.trace)
    office.send(ANN, chat)
    office.crossed(2, chat, marks[2], 4)
    office.once(BOB, A, chat, mark)

    marks, trace = len(office.wire[1].seen), {i: len(c.trace) for i, c in office.copies.items()}
    office.send(WIRE[1], b"r PRB")
    answer = bob.wait_sent(lambda d: d.startswith(b"afBOB" + SEP), WAIT, trace[BOB])
    assert answer is not None, bob.describe()
    office.crossed(1, answer, marks, 2)
    office.once(ANN, B, answer, trace[ANN])


def scenario(net, workdir, program, probe):
    bcrelay = shutil.which("bcrelay") or shutil.which("bcrelay", path="/usr/sbin:/sbin")
    if bcrelay is None:
        raise Skip("bcrelay is not installed (tools/setup.sh installs it)")
    office = Office(net, probe, bcrelay)
    office.relay(("^eth[01]$", "^eth[01]$"))
    ann = office.copies[ANN] = Copy.start(net, ANN, "ANN", workdir, program)
    bob = office.copies[BOB] = Copy.start(net, BOB, "BOB", workdir, program)
    with stopped_at_end(office.copies):
        one_relay(office, ann, bob)
        office.relay(("eth0", "eth1"), ("eth1", "eth0"))
        two_relays(office, ann, bob)
        assert bob.stop() == 0 and ann.stop() == 0, bob.describe() + ann.describe()
    history = [m.split(b"\r\n at ")[0] for m in read_ini(bob.settings).messages()]
    assert history == [d[d.index(SEP) + 1:] if d[:1] == b"m" else d[1:]
                       for d in (TO_BOB_AGAIN, TO_ALL, TO_BOB)], history
    assert B in archived_addresses(ann.settings) and A in archived_addresses(bob.settings)


if __name__ == "__main__":
    main(on_test_network, 4, scenario, 2)
