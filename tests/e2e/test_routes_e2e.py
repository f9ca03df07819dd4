"""A copy on a computer whose routes do not carry the limited broadcast, and on one from which
nothing can leave.

Host 1 has eth0 on the office bridge (10.77.0.1) and a second interface to host 3 on another
subnet (10.88.0.1 <-> 10.88.0.3); it has no default route and no route for 255.255.255.255.
ANN runs there without --address, so it takes eth0's address (the first broadcast-capable
interface). Probes listen on host 2 (the bridge only) and host 3 (the bridge and the second
subnet).
 1. Second subnet: ANN's datagrams go to eth0's subnet broadcast only. Host 2 hears ANN's start
    and its answer to a refresh request from 10.77.0.1; nothing ever comes from 10.88.0.1.
    ANN's own announcements come back to it from its own address, and at the end its ipList
    holds its own row at 10.77.0.1 and nothing of 10.88.0.x.
 2. Nothing leaves: every route of host 1 is removed (the local broadcast routes too). A refresh
    request from host 2 still arrives; ANN's answer fails, its trace says "send-failed" with a
    reason and the datagram, and ANN keeps handling datagrams. After the routes come back the
    next answer goes out and reaches host 2.
 3. A default route through the second interface: the interface with the default route gives
    the address, so within about ten seconds ANN announces from 10.88.0.1 (host 3 hears it
    there), and its own row follows: at the end its ipList holds it at 10.88.0.1 only.
"""

import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from net_trouble import (announces, probe_send, send_failures, start_without_address,  # noqa: E402
                         wait_send_failure)
from probe import Listener  # noqa: E402
from testnet import main  # noqa: E402
from velmora_copies import SEP, archived_addresses, on_test_network, show, stopped_at_end  # noqa: E402

OWN, OTHER_SIDE = "10.77.0.1", "10.88.0.1"
TIMEOUT = 30


def is_ann_announcement(data):
    return data[:1] == b"a" and data[2:].startswith(b"ANN" + SEP)


def scenario(net, workdir, program, probe):
    wired = subprocess.run([net.script, "wire", net.name, "1", "3", "10.88.0"],
                           capture_output=True, text=True, timeout=60)
    assert wired.returncode == 0, f"testnet.sh wire failed: {wired.stderr}"
    net.exec(1, ["ip", "route", "del", "255.255.255.255/32", "dev", "eth0"])
    office = Listener(net, 2, probe)
    beyond = Listener(net, 3, probe)
    office.wait_ready()
    beyond.wait_ready()
    ann = start_without_address(net, 1, "ANN", workdir, program)
    with stopped_at_end({1: ann}):
        try:
            second_subnet(net, probe, ann, office, beyond)
            nothing_leaves(net, probe, ann, office)
            default_route(net, ann, beyond)
        except AssertionError:
            for name, wire in (("host 2", office), ("host 3", beyond)):
                print(f"--- wire as seen on {name}")
                for d in wire.seen:
                    print(f"  {d.source} {show(d.data) if d.data is not None else '?'}")
            raise
        assert ann.stop() == 0, "ANN did not end cleanly"
    addresses = archived_addresses(ann.settings)
    assert addresses and addresses[0] == OTHER_SIDE, f"ANN's ipList: {addresses}"
    assert OWN not in addresses, f"ANN's ipList: {addresses}"


def second_subnet(net, probe, ann, office, beyond):
    assert office.wait_for(announces(b"ANN", OWN), TIMEOUT), "host 2 never heard ANN"
    assert office.wait_for(lambda d: d.source == OWN and d.data == b"r ANN", TIMEOUT), (
        "host 2 never saw ANN's refresh request")
    mark = len(office.seen)
    probe_send(net, 2, probe, b"r PRB")
    assert office.wait_for(announces(b"ANN", OWN), TIMEOUT, mark), (
        "ANN did not answer a refresh request")
    # The other side has had every datagram so far; a last look after a quiet moment.
    assert beyond.wait_for(announces(b"ANN", OWN), TIMEOUT), "host 3 never heard ANN on eth0"
    leaked = beyond.wait_for(lambda d: d.source.startswith("10.88."), 2)
    assert leaked is None, f"ANN's datagrams reached the second subnet: {show(leaked.data)}"

    own_rows = [(s, show(d)) for s, d in ann.received() if is_ann_announcement(d)]
    assert own_rows and all(s == OWN for s, _ in own_rows), (
        f"ANN dispatched its own announcements as {own_rows}")
    assert not send_failures(ann), f"sends failed: {send_failures(ann)}"


def set_routes(net, present):
    """Takes every route of host 1 away, or gives eth0's back."""
    if not present:
        net.exec(1, ["ip", "route", "flush", "table", "main"])
        for device, broadcast in (("eth0", "10.77.0.255"), ("v3", "10.88.0.255")):
            net.exec(1, ["ip", "route", "del", "table", "local", "broadcast", broadcast,
                         "dev", device])
        return
    net.exec(1, ["ip", "route", "add", "table", "local", "broadcast", "10.77.0.255", "dev",
                 "eth0", "proto", "kernel", "scope", "link", "src", OWN])
    net.exec(1, ["ip", "route", "add", "10.77.0.0/24", "dev", "eth0", "proto", "kernel",
                 "scope", "link", "src", OWN])
    net.exec(1, ["ip", "route", "add", "255.255.255.255/32", "dev", "eth0"])


def nothing_leaves(net, probe, ann, office):
    set_routes(net, False)
    trace_mark = len(ann.trace)
    probe_send(net, 2, probe, b"r PRB")
    assert ann.wait_received(lambda s, d: d == b"r PRB", TIMEOUT, trace_mark), (
        "ANN did not get the refresh request")
    assert wait_send_failure(ann, is_ann_announcement, TIMEOUT, trace_mark), (
        f"no send-failed line for ANN's answer: {ann.messages()[-5:]}")
    reason, data = send_failures(ann, trace_mark)[0]
    assert reason and data is not None and is_ann_announcement(data), (
        f"odd send-failed line: {reason!r} {data!r}")
    print(f"with no route: send-failed {reason}")

    # Still up and still handling what arrives.
    probe_send(net, 2, probe, b"r PR2")
    assert ann.wait_received(lambda s, d: d == b"r PR2", TIMEOUT, trace_mark), (
        "ANN stopped handling datagrams after a failed send")
    assert ann.running(), "ANN ended after a failed send"

    set_routes(net, True)
    mark = len(office.seen)
    trace_mark = len(ann.trace)
    probe_send(net, 2, probe, b"r PR3")
    assert office.wait_for(announces(b"ANN", OWN), TIMEOUT, mark), (
        "ANN's answer did not reach host 2 after the routes came back")
    assert ann.wait_sent(is_ann_announcement, 5, trace_mark), "ANN did not trace the send"


def default_route(net, ann, beyond):
    # Limited broadcasts follow the default route too once the /32 route is gone.
    net.exec(1, ["ip", "route", "del", "255.255.255.255/32", "dev", "eth0"])
    net.exec(1, ["ip", "route", "add", "default", "dev", "v3"])
    mark = len(beyond.seen)
    trace_mark = len(ann.trace)
    got = beyond.wait_for(announces(b"ANN", OTHER_SIDE), 35, mark)
    assert got is not None, "ANN did not follow the interface with the default route"
    assert ann.wait_received(lambda s, d: s == OTHER_SIDE and d == got.data, 5, trace_mark), (
        "ANN did not apply its announcement under its new address")


if __name__ == "__main__":
    main(on_test_network, 3, scenario)
