"""One limited broadcast through the program's transport reaches every host, its sender included,
also from a host whose routes do not cover 255.255.255.255.

Three hosts each run "velmora_netprobe listen"; host 1 sends one datagram with
"velmora_netprobe send". Every listener must report it once, with source 10.77.0.1 and the
exact bytes, the separator 0xF7 and bytes above 0x7F included. Afterwards no namespace of the
run may be left.
"""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from probe import Listener, netprobe_path  # noqa: E402
from testnet import TestNet, main, network_exists  # noqa: E402

# A status announcement with the separator and a byte of each upper range.
DATAGRAM = b"agANN\xf7 In \xe9\xff\x01"


def test_broadcast_reaches_every_host():
    probe = netprobe_path()
    with TestNet(3) as net:
        listeners = [Listener(net, i, probe) for i in (1, 2, 3)]
        for listener in listeners:
            listener.wait_ready()

        sent = net.exec(1, [probe, "send", DATAGRAM.hex()], check=False)
        assert sent.returncode == 0, f"send failed: {sent.stderr.decode(errors='replace')}"

        for i, listener in enumerate(listeners, start=1):
            got = listener.wait_for(lambda d: d.data == DATAGRAM, timeout=10)
            assert got is not None, f"host {i} did not receive the datagram; saw {listener.seen}"
            assert got.source == net.addr(1), f"host {i} saw source {got.source}"

        # A datagram reaches each host once: the loop-back of the sender's own broadcast must
        # not come in addition to a copy through the bridge.
        time.sleep(1)
        for i, listener in enumerate(listeners, start=1):
            copies = [d for d in listener.seen if d.data == DATAGRAM]
            assert len(copies) == 1, f"host {i} received {len(copies)} copies"

        # Without a route for 255.255.255.255 Linux refuses the limited broadcast; the sender
        # then reaches everybody through the subnet's own broadcast address instead.
        net.exec(2, ["ip", "route", "del", "255.255.255.255/32", "dev", "eth0"])
        fallback = DATAGRAM + b" via subnet"
        sent = net.exec(2, [probe, "send", fallback.hex()], check=False)
        assert sent.returncode == 0, f"send failed: {sent.stderr.decode(errors='replace')}"
        for i, listener in enumerate(listeners, start=1):
            got = listener.wait_for(lambda d: d.data == fallback, timeout=10)
            assert got is not None, f"host {i} missed the subnet broadcast; saw {listener.seen}"
            assert got.source == net.addr(2), f"host {i} saw source {got.source}"
        name = net.name

    assert not network_exists(name), f"namespaces of {name} were left behind"


if __name__ == "__main__":
    main(test_broadcast_reaches_every_host)
