"""Presence between real copies of the program on the test network.

Copies ANN, BOB and CAY start on hosts 1-3; a probe on host 5 watches the wire (host 5, so that
host 4 stays free for a later copy while the probe keeps listening).
 1. Each copy's first datagram is its status announcement ("a"), followed by its refresh
    request ("r " + name).
 2. Every copy learns the other two.
 3. CAY stops on SIGTERM, which counts as a log-off. Its settings ask to be shown as Out on
    log-off neither by force nor because it was In, so its last announcement is "Out
    (off-line)"; its settings file keeps all three persons in ipList.
 4. DAN starts on host 4 after CAY has gone. ANN and BOB pass on CAY's last status with a relay
    datagram "z" (target 10.77.0.3, "(off-line)"), which DAN dispatches; its ipList then keeps
    CAY.
 5. ANN, BOB and DAN stop with the default settings, so they log off as "Out <shut down>";
    their ipList sections hold everybody they knew.

Generous time limits: the relay begins only on the third tick of a ten-second timer after the
refresh request and then looks at one roster position per tick. This is not a timing test.
Exits 77 when there is no root, no namespaces, or no built program. With VELMORA_E2E_PCAP set
to a file name, the wire as host 5 sees it is recorded there.
"""

import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from probe import Listener, netprobe_path  # noqa: E402
from testnet import TestNet, main, network_exists, require_netns  # noqa: E402
from velmora_copies import SEP, Copy, program_path, roster_archive, show  # noqa: E402

NAMES = {1: b"ANN", 2: b"BOB", 3: b"CAY", 4: b"DAN"}
PROBE_HOST = 5
ADDR = {i: f"10.77.0.{i}" for i in range(1, 6)}

# Neither "Show Out on power down" nor "Exit as Out if In or Busy": a log-off then announces
# "Out (off-line)" rather than "Out <shut down>".
LOG_OFF_AS_OFF_LINE = {"VLX": {"shtdwnOut": "0", "DelbsyIn": "0"}}

START_TIMEOUT = 30   # a copy's first datagrams after its start
STOP_TIMEOUT = 30    # a copy's end after SIGTERM
RELAY_TIMEOUT = 150  # the relay of a stopped copy's status (expected within about 70 s)


def announcement_of(name):
    """A status announcement: "a", colour code, name, 0xF7, blank, status text."""
    return lambda d: d[:1] == b"a" and d[2:].startswith(name + SEP + b" ")


def refresh_of(name):
    return lambda d: d == b"r " + name


def relay_of(address):
    """A relay of a stopped copy's status: "z", code, target address, 0xF7, name, 0xF7, ..."""
    return lambda d: (d[:1] == b"z" and d[2:].startswith(address.encode() + SEP)
                      and b"(off-line)" in d)


class Scenario:
    def __init__(self, net, workdir, program, probe):
        self.net = net
        self.workdir = workdir
        self.program = program
        self.copies = {}
        self.probe = Listener(net, PROBE_HOST, probe)
        self.probe.wait_ready()

    def start(self, i, settings=None):
        self.copies[i] = Copy.start(self.net, i, NAMES[i].decode(), self.workdir, self.program,
                                    settings=settings)
        return self.copies[i]

    def stop(self, i):
        status = self.copies[i].stop(timeout=STOP_TIMEOUT)
        assert status == 0, f"{NAMES[i]} ended with status {status}"

    def check_last_word(self, i, text, mark):
        """Copy i, stopped, said `text` (stamped or not) on the wire after position `mark`."""
        expected = b"ar" + NAMES[i] + SEP + b" " + text
        last = self.probe.wait_for(
            lambda d: d.source == ADDR[i] and announcement_of(NAMES[i])(d.data)
            and (d.data == expected or d.data.startswith(expected + b" ( ")), 10, mark)
        assert last is not None, (
            f"{NAMES[i]} did not announce {text!r} at its end: {self.wire_from(i, mark)}")

    def wire_from(self, i, start=0):
        return [d.data for d in self.probe.seen[start:] if d.source == ADDR[i]]

    def check_start_sequence(self, i):
        """The copy's first datagram on the wire is its announcement "In", then its refresh."""
        name = NAMES[i]
        first = self.probe.wait_for(lambda d: d.source == ADDR[i], START_TIMEOUT)
        assert first is not None, f"nothing on the wire from {name}"
        assert announcement_of(name)(first.data), f"first datagram of {name}: {show(first.data)}"
        assert first.data.startswith(b"ag" + name + SEP + b" In"), (
            f"{name} did not start as In: {show(first.data)}")
        refresh = self.probe.wait_for(
            lambda d: d.source == ADDR[i] and refresh_of(name)(d.data), START_TIMEOUT)
        assert refresh is not None, f"no refresh request from {name}: {self.wire_from(i)}"
        assert self.copies[i].wait_sent(refresh_of(name), START_TIMEOUT) is not None, (
            f"{name} does not trace its refresh request")
        sent = self.copies[i].sent()
        assert sent.index(b"r " + name) > 0 and announcement_of(name)(sent[0]), (
            f"{name} sent {[show(d) for d in sent]}")

    def wait_knows(self, i, j, timeout=START_TIMEOUT):
        """Copy i dispatched an announcement of copy j from j's address."""
        got = self.copies[i].wait_received(
            lambda source, d: source == ADDR[j] and announcement_of(NAMES[j])(d), timeout)
        assert got is not None, f"{NAMES[i]} never dispatched an announcement of {NAMES[j]}"

    def check_archive(self, i, expected):
        """The ipList of copy i holds an entry address<0xF7>name for each of `expected`."""
        entries = roster_archive(self.copies[i].settings)
        archived = {}
        for entry in entries:
            parts = entry.split(SEP)
            assert len(parts) >= 2 and parts[1], f"malformed ipList entry of {NAMES[i]}: {entry!r}"
            archived[parts[0].decode("latin-1")] = parts[1]
        for j in expected:
            assert ADDR[j] in archived, (
                f"ipList of {NAMES[i]} lacks {ADDR[j]}: {[show(e) for e in entries]}")
            # The archived mark " **" may follow the name of an entry restored from the file.
            assert archived[ADDR[j]].startswith(NAMES[j]), (
                f"ipList of {NAMES[i]} names {ADDR[j]} {archived[ADDR[j]]!r}")

    def report(self):
        print("--- wire as seen by the probe on host 5")
        for d in self.probe.seen:
            print(f"  {d.source} {show(d.data) if d.data is not None else '?'}")
        for copy in self.copies.values():
            print("---", copy.describe())


def test_presence():
    require_netns()
    program = program_path()
    probe = netprobe_path()
    with tempfile.TemporaryDirectory(prefix="velmora-e2e-") as workdir, \
            TestNet(5) as net:
        if os.environ.get("VELMORA_E2E_PCAP"):
            net.capture(PROBE_HOST, os.path.abspath(os.environ["VELMORA_E2E_PCAP"]))
        scenario = Scenario(net, workdir, program, probe)
        try:
            run(scenario)
        except AssertionError:
            scenario.report()
            raise
        name = net.name
    assert not network_exists(name), f"namespaces of {name} were left behind"


def run(s):
    s.start(1)
    s.start(2)
    s.start(3, settings=LOG_OFF_AS_OFF_LINE)
    for i in (1, 2, 3):
        s.check_start_sequence(i)
    for i in (1, 2, 3):
        for j in (1, 2, 3):
            s.wait_knows(i, j)

    # CAY leaves: its last word says so, and its file keeps what it knew.
    mark = len(s.probe.seen)
    s.stop(3)
    s.check_last_word(3, b"Out (off-line)", mark)
    s.check_archive(3, (1, 2, 3))

    # DAN arrives later and learns CAY's last status from the copies still running.
    mark = len(s.probe.seen)
    dan = s.start(4)
    s.check_start_sequence(4)
    relay = s.probe.wait_for(lambda d: relay_of(ADDR[3])(d.data), RELAY_TIMEOUT, start=mark)
    assert relay is not None, "nobody relayed CAY's off-line status"
    assert relay.source in (ADDR[1], ADDR[2]), f"relay came from {relay.source}"
    assert relay.data[2:].startswith(ADDR[3].encode() + SEP + NAMES[3] + SEP), (
        f"relay names the wrong person: {show(relay.data)}")
    got = dan.wait_received(lambda source, d: d == relay.data, timeout=10)
    assert got is not None, "DAN did not dispatch the relay"
    for i in (1, 2):
        s.wait_knows(i, 4)

    for i in (1, 2, 4):
        mark = len(s.probe.seen)
        s.stop(i)
        s.check_last_word(i, b"Out <shut down>", mark)
    s.check_archive(1, (1, 2, 3, 4))
    s.check_archive(2, (1, 2, 3, 4))
    s.check_archive(4, (1, 2, 3, 4))


if __name__ == "__main__":
    main(test_presence)
