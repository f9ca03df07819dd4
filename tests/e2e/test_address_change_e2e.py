"""A copy that works out its own address follows it when the computer's address changes.

ANN runs on host 1 without --address (so it takes eth0's 10.77.0.1 and checks again every ten
seconds), BOB on host 2 with --address, and a probe on host 3 watches the wire and sends.
 1. ANN announces itself from 10.77.0.1 and BOB learns it.
 2. Host 1's address changes to 10.77.0.101 (the old one deleted, the new one added, the route
    for 255.255.255.255 put back). Within about ten seconds ANN announces its status from the new
    address, nothing comes from the old one any more, and BOB's row of ANN follows.
 3. A refresh request is answered from the new address.
 4. A message addressed to the old address is not ANN's any more; one addressed to the new
    address gets ANN's receipt, sent from the new address. No send fails after the move: the
    sending socket is not tied to the old address.
 5. At SIGTERM ANN's last word comes from the new address, and both settings files hold ANN at
    10.77.0.101 only (ANN's own [Info] IP too).
"""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from net_trouble import announces, probe_send, send_failures, start_without_address  # noqa: E402
from probe import Listener  # noqa: E402
from testnet import main  # noqa: E402
from velmora_copies import (SEP, Copy, message_datagram, on_test_network,  # noqa: E402
                            read_section, receipt_datagram, roster_archive, show,
                            stopped_at_end)

OLD, NEW, BOB_ADDR, PROBE_ADDR = "10.77.0.1", "10.77.0.101", "10.77.0.2", "10.77.0.3"
# The address is checked every ten seconds; a slow machine gets three times that.
FOLLOW_TIMEOUT = 35
TIMEOUT = 30


def entries_by_address(path):
    """{address: name} of the ipList section of a settings file."""
    result = {}
    for entry in roster_archive(path):
        parts = entry.split(SEP)
        result[parts[0].decode("latin-1")] = parts[1] if len(parts) > 1 else b""
    return result


def move_host(net, i, old, new):
    net.exec(i, ["ip", "addr", "del", f"{old}/24", "dev", "eth0"])
    net.exec(i, ["ip", "addr", "add", f"{new}/24", "broadcast", "10.77.0.255", "dev", "eth0"])
    # Deleting the last address of eth0 took every route through it away.
    net.exec(i, ["ip", "route", "replace", "255.255.255.255/32", "dev", "eth0"])


def scenario(net, workdir, program, probe):
    wire = Listener(net, 3, probe)
    wire.wait_ready()
    ann = start_without_address(net, 1, "ANN", workdir, program)
    bob = Copy.start(net, 2, "BOB", workdir, program)
    with stopped_at_end({1: ann, 2: bob}):
        try:
            run(net, probe, wire, ann, bob)
        except AssertionError:
            print("--- wire as seen on host 3")
            for d in wire.seen:
                print(f"  {d.source} {show(d.data) if d.data is not None else '?'}")
            raise


def wait_quiet(wire, source, seconds, timeout):
    """Waits until `source` has sent nothing for `seconds`: answers to the start's refresh
    requests are out, so that whatever it sends next has a cause of the test's making."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        count = sum(1 for d in wire.seen if d.source == source)
        time.sleep(seconds)
        if sum(1 for d in wire.seen if d.source == source) == count:
            return
    raise AssertionError(f"{source} never fell silent")


def run(net, probe, wire, ann, bob):
    assert wire.wait_for(announces(b"ANN", OLD), TIMEOUT), "ANN never announced from 10.77.0.1"
    assert bob.wait_received(lambda s, d: s == OLD and d[2:].startswith(b"ANN" + SEP),
                             TIMEOUT), "BOB never heard ANN"
    assert wire.wait_for(lambda d: d.source == BOB_ADDR and d.data == b"r BOB", TIMEOUT)
    wait_quiet(wire, OLD, 3, TIMEOUT)

    mark = len(wire.seen)
    trace_mark = len(ann.trace)
    moved = time.monotonic()
    move_host(net, 1, OLD, NEW)
    got = wire.wait_for(announces(b"ANN", NEW), FOLLOW_TIMEOUT, mark)
    assert got is not None, f"ANN did not announce from {NEW} within {FOLLOW_TIMEOUT} s"
    print(f"ANN announced from the new address {time.monotonic() - moved:.1f} s after the move")
    assert got.data.startswith(b"agANN" + SEP + b" In"), f"announced {show(got.data)}"
    # The copy applies its own announcement before sending it, under the address it now
    # holds for its own.
    assert ann.wait_received(lambda s, d: s == NEW and d == got.data, 5, trace_mark), (
        "ANN did not apply its announcement under the new address")
    assert bob.wait_received(lambda s, d: s == NEW and d[2:].startswith(b"ANN" + SEP),
                             TIMEOUT), "BOB did not hear ANN from its new address"

    # The next refresh request is answered from the new address.
    after_move = len(wire.seen)
    probe_send(net, 3, probe, b"r PRB")
    assert wire.wait_for(announces(b"ANN", NEW), TIMEOUT, after_move + 1), (
        "ANN did not answer a refresh request from its new address")

    # Messages: the old address is somebody else's now, the new one is ANN's.
    to_old = message_datagram(b"to the old address", b"PRB", PROBE_ADDR, to=OLD)
    before = len(ann.trace)
    probe_send(net, 3, probe, to_old)
    assert ann.wait_received(lambda s, d: d == to_old, TIMEOUT, before), "ANN missed a message"
    time.sleep(1)  # room for a wrong receipt
    assert not any(
        t.kind == "send" and t.data.startswith(b"vl") for t in ann.trace[before:]), (
        "ANN confirmed a message addressed to its old address")

    to_new = message_datagram(b"to the new address", b"PRB", PROBE_ADDR, to=NEW)
    before_wire = len(wire.seen)
    probe_send(net, 3, probe, to_new)
    receipt = receipt_datagram(PROBE_ADDR, b"ANN")
    got = wire.wait_for(lambda d: d.data == receipt, TIMEOUT, before_wire)
    assert got is not None, "no receipt for the message to the new address"
    assert got.source == NEW, f"the receipt came from {got.source}"

    old_source = [show(d.data) for d in wire.seen[mark:] if d.source == OLD]
    assert not old_source, f"datagrams from the old address after the move: {old_source}"
    failed = send_failures(ann, trace_mark)
    assert not failed, f"sends failed after the move: {failed}"

    last = len(wire.seen)
    assert ann.stop() == 0, "ANN did not end cleanly"
    assert wire.wait_for(lambda d: announces(b"ANN", NEW)(d) and b"Out <shut down>" in d.data,
                         10, last), "ANN's last word did not come from its new address"
    assert bob.stop() == 0, "BOB did not end cleanly"

    own = entries_by_address(ann.settings)
    assert own.get(NEW, b"").startswith(b"ANN") and OLD not in own, (
        f"ANN's own ipList: {own}")
    info = read_section(ann.settings, "Info") or {}
    assert info.get(b"ip") == NEW.encode(), f"ANN saved its address as {info.get(b'ip')}"
    seen_by_bob = entries_by_address(bob.settings)
    assert seen_by_bob.get(NEW, b"").startswith(b"ANN") and OLD not in seen_by_bob, (
        f"BOB's ipList: {seen_by_bob}")


if __name__ == "__main__":
    main(on_test_network, 3, scenario)
