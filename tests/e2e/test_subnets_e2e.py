"""An office on two subnets joined by a router that runs the broadcast relay bcrelay.

ANN runs on host 1 (10.77.1.1), BOB on host 3 (10.77.2.3); probes listen on hosts 2 and 4, one
on each subnet. What the copies' own actions would send is sent by the probe from the copy's
host, byte for byte, so it carries that copy's source address.

One relay over both interfaces, as the README recommends:
 1. ANN and BOB see each other, each from the other's own address (the relay keeps it).
 2. A message from ANN to BOB and BOB's receipt cross; a message to all reaches both subnets and
    both receipts reach ANN.
 3. BOB's discussion line reaches ANN. A status that ANN's host sets on BOB's copy is taken
    over: BOB's answer to a refresh request carries it back.
 4. A second start on BOB's host sends "x": BOB's copy has it from its own address, ANN's from
    BOB's, so only BOB's would come forward.
 Each of these crosses once.
Two relays, one per direction: whatever crosses arrives twice (the probes see both) and is
acted on once:
 5. A message to BOB is dispatched and confirmed once; the receipt reaches ANN twice and is
    dispatched once (one "Message received by:" line).
 6. A discussion line is dispatched once; the same line sent again later is dispatched again.
 7. A refresh request: BOB's answer reaches ANN twice and is dispatched once.
At the end BOB's history holds each message once, and each roster keys the other by its own
address.

Exits 77 when there is no root, no namespaces, no bcrelay, or no built program.
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

ANN_HOST, BOB_HOST = 1, 3
WIRE = {1: 2, 2: 4}  # the listening probe's host on each subnet
WAIT = 30
ONE_RELAY = [["-i", "eth[01]", "-o", "eth[01]"]]
TWO_RELAYS = [["-i", "eth0", "-o", "eth1"], ["-i", "eth1", "-o", "eth0"]]
ANN_ADDR, BOB_ADDR = "10.77.1.1", "10.77.2.3"
TO_BOB = message_datagram(b"Lunch at noon?\r\n", b"ANN", ANN_ADDR, to=BOB_ADDR)
TO_ALL = message_datagram(b"The printer is fixed.\r\n", b"ANN", ANN_ADDR)
TO_BOB_AGAIN = message_datagram(b"Coffee?\r\n", b"ANN", ANN_ADDR, to=BOB_ADDR)


def bcrelay_path():
    path = shutil.which("bcrelay") or shutil.which("bcrelay", path="/usr/sbin:/sbin")
    if path is None:
        raise Skip("bcrelay is not installed (tools/setup.sh installs it)")
    return path


class Office:
    """The two subnets, their probes and the copies; subnet 1 holds hosts up to net.first."""

    def __init__(self, net, probe, wire):
        self.net, self.probe, self.wire = net, probe, wire
        self.copies = {}
        self.relays = []
        self.markers = 0

    def subnet(self, i):
        return 1 if i <= self.net.first else 2

    def send(self, host, data):
        probe_send(self.net, host, self.probe, data)

    def marker(self, side):
        """Sends a datagram of no kind (the copies ignore it), new each time, from the probe's
        host on subnet `side`."""
        self.markers += 1
        data = b"q%d" % self.markers
        self.send(WIRE[side], data)
        return data

    def relay(self, bcrelay, instances):
        """Ends the running relays and starts `instances` on the router; waits until a datagram
        from each subnet arrives on the other once per instance."""
        for process in self.relays:
            process.terminate()
            process.wait(timeout=WAIT)
        self.relays = [self.net.popen("router", [bcrelay, "-n", *args], stdout=subprocess.DEVNULL,
                                      stderr=subprocess.DEVNULL) for args in instances]
        for side, other in ((1, 2), (2, 1)):
            deadline = time.monotonic() + WAIT
            while True:
                mark = len(self.wire[other].seen)
                data = self.marker(side)
                time.sleep(0.5)
                crossed = self.crossings(other, data, mark)
                if crossed == len(instances):
                    break
                assert time.monotonic() < deadline, f"{instances} relayed a datagram {crossed}x"

    def crossings(self, side, data, mark):
        """How often the probe on subnet `side` saw `data` since `mark`."""
        return sum(1 for d in self.wire[side].seen[mark:] if d.data == data)

    def wait_crossed(self, side, data, times, mark):
        got = self.wire[side].wait_for(
            lambda d: self.crossings(side, data, mark) >= times, WAIT, mark)
        assert got is not None, f"subnet {side} saw {data!r} {self.crossings(side, data, mark)}x"

    def count(self, i, source, data, mark):
        return sum(1 for t in self.copies[i].trace[mark:]
                   if t.kind == "recv" and t.source == source and t.data == data)

    def wait_dispatched(self, i, source, data, mark=0, times=1):
        deadline = time.monotonic() + WAIT
        while self.count(i, source, data, mark) < times:
            assert time.monotonic() < deadline, (
                f"{data!r} from {source} not dispatched {times}x:\n{self.copies[i].describe()}")
            time.sleep(0.1)

    def dispatched_once(self, i, source, data, mark):
        """Copy i dispatched `data` from `source` exactly once since trace position `mark`,
        counted when everything that reached its subnet before now has been handled: a marker
        sent after it from its own subnet has been dispatched."""
        marker = self.marker(self.subnet(i))
        copy = self.copies[i]
        assert copy.wait_received(lambda s, d: d == marker, WAIT, mark), copy.describe()
        count = self.count(i, source, data, mark)
        assert count == 1, f"{data!r} from {source} dispatched {count}x:\n{copy.describe()}"


def announcement_of(name):
    return lambda d: d[:1] == b"a" and d[2:].startswith(name + SEP)


def shown(datagram):
    """What a message datagram adds to the history, before its arrival line."""
    return datagram[datagram.index(SEP) + 1:] if datagram[:1] == b"m" else datagram[1:]


def one_relay(office, ann, bob, receipt):
    """Steps 1-4."""
    wire = office.wire
    started(ann)
    started(bob)
    assert ann.wait_received(lambda s, d: s == BOB_ADDR and announcement_of(b"BOB")(d), WAIT)
    assert bob.wait_received(lambda s, d: s == ANN_ADDR and announcement_of(b"ANN")(d), WAIT)

    marks = {side: len(wire[side].seen) for side in wire}
    office.send(ANN_HOST, TO_BOB)
    office.wait_dispatched(BOB_HOST, ANN_ADDR, TO_BOB)
    office.wait_dispatched(ANN_HOST, BOB_ADDR, receipt)
    office.send(ANN_HOST, TO_ALL)
    office.wait_dispatched(BOB_HOST, ANN_ADDR, TO_ALL)
    office.wait_dispatched(ANN_HOST, ANN_ADDR, receipt_datagram(ANN_ADDR, b"ANN"))
    office.wait_dispatched(ANN_HOST, BOB_ADDR, receipt, times=2)

    line = b"dBOB > Stand-up at 10:30"
    office.send(BOB_HOST, line)
    office.wait_dispatched(ANN_HOST, BOB_ADDR, line)
    busy = b" Busy - In but unavailable"
    change = b"zf" + BOB_ADDR.encode() + SEP + b"BOB" + SEP + busy
    office.send(ANN_HOST, change)
    office.wait_dispatched(BOB_HOST, ANN_ADDR, change)
    mark = len(ann.trace)
    office.send(WIRE[1], b"r PRB")
    office.wait_dispatched(ANN_HOST, BOB_ADDR, b"afBOB" + SEP + busy, mark)

    twin = Copy.start(office.net, BOB_HOST, "BOB2", os.path.dirname(bob.folder))
    assert twin.process.wait(timeout=WAIT) == 0, twin.describe()
    twin._trace.join()
    assert twin.sent() == [b"x"], twin.describe()
    office.wait_dispatched(BOB_HOST, BOB_ADDR, b"x")
    office.wait_dispatched(ANN_HOST, BOB_ADDR, b"x")
    assert office.count(ANN_HOST, ANN_ADDR, b"x", 0) == 0, "ANN took BOB's 'x' for its own"

    for side, data, times in ((2, TO_BOB, 1), (2, TO_ALL, 1), (1, receipt, 2), (1, line, 1),
                              (1, b"x", 1)):
        crossed = office.crossings(side, data, marks[side])
        assert crossed == times, f"{data!r} reached subnet {side} {crossed}x, not {times}x"


def two_relays(office, ann, bob, receipt):
    """Steps 5-7."""
    marks = {side: len(office.wire[side].seen) for side in office.wire}
    trace = {i: len(c.trace) for i, c in office.copies.items()}
    sent = len(bob.sent())
    office.send(ANN_HOST, TO_BOB_AGAIN)
    office.wait_crossed(2, TO_BOB_AGAIN, 2, marks[2])
    office.wait_crossed(1, receipt, 2, marks[1])
    office.dispatched_once(BOB_HOST, ANN_ADDR, TO_BOB_AGAIN, trace[BOB_HOST])
    assert bob.sent()[sent:].count(receipt) == 1, bob.describe()
    office.dispatched_once(ANN_HOST, BOB_ADDR, receipt, trace[ANN_HOST])

    chat = b"dANN > Coffee is ready"
    office.send(ANN_HOST, chat)
    office.wait_crossed(2, chat, 2, marks[2])
    office.dispatched_once(BOB_HOST, ANN_ADDR, chat, trace[BOB_HOST])
    time.sleep(1.5)  # said again, later than any relay repeats it
    mark = len(bob.trace)
    office.send(ANN_HOST, chat)
    office.wait_crossed(2, chat, 4, marks[2])
    office.dispatched_once(BOB_HOST, ANN_ADDR, chat, mark)

    mark, bob_mark, wire_mark = len(ann.trace), len(bob.trace), len(office.wire[1].seen)
    office.send(WIRE[1], b"r PRB")
    answer = bob.wait_sent(announcement_of(b"BOB"), WAIT, bob_mark)
    assert answer is not None, bob.describe()
    office.wait_crossed(1, answer, 2, wire_mark)
    office.dispatched_once(ANN_HOST, BOB_ADDR, answer, mark)


def scenario(net, workdir, program, probe):
    bcrelay = bcrelay_path()
    wire = {side: Listener(net, host, probe) for side, host in WIRE.items()}
    for listener in wire.values():
        listener.wait_ready()
    office = Office(net, probe, wire)
    office.relay(bcrelay, ONE_RELAY)
    ann = office.copies[ANN_HOST] = Copy.start(net, ANN_HOST, "ANN", workdir, program)
    bob = office.copies[BOB_HOST] = Copy.start(net, BOB_HOST, "BOB", workdir, program)
    assert (net.addr(ANN_HOST), net.addr(BOB_HOST)) == (ANN_ADDR, BOB_ADDR)
    receipt = receipt_datagram(ANN_ADDR, b"BOB")
    with stopped_at_end(office.copies):
        one_relay(office, ann, bob, receipt)
        office.relay(bcrelay, TWO_RELAYS)
        two_relays(office, ann, bob, receipt)
        assert bob.stop() == 0, bob.describe()
        assert ann.stop() == 0, ann.describe()
    messages = [m.split(b"\r\n at ")[0] for m in read_ini(bob.settings).messages()]
    assert messages == [shown(d) for d in (TO_BOB_AGAIN, TO_ALL, TO_BOB)], messages
    assert BOB_ADDR in archived_addresses(ann.settings)
    assert ANN_ADDR in archived_addresses(bob.settings)


def test_subnets():
    on_test_network(4, scenario, first=2)


if __name__ == "__main__":
    main(test_subnets)
