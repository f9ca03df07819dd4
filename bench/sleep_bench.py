#!/usr/bin/env python3
"""How long a copy holds the computer's sleep back: from logind's PrepareForSleep(true) to the
close of the copy's delay inhibitor, in which it announces itself off-line and saves its
settings (a file with 300 colleagues). logind waits at most InhibitDelayMaxSec, 5 s by default.

    sudo /usr/bin/python3 bench/sleep_bench.py [--program build-rel/velmora] [--cycles 20]

Needs python3-dbus (Debian's own interpreter); logind is the stand-in of
tests/support/desktop_services.py on a bus of the test's own, the copy runs on the test
network, so nothing is broadcast outside the private namespaces.
"""

import os
import statistics
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
from bench_args import bench_parser  # noqa: E402
from desktop_bus import SessionBus, wait_records  # noqa: E402
from person import QUIET  # noqa: E402
from testnet import TestNet  # noqa: E402
from velmora_copies import SEP, Copy, started  # noqa: E402

LOGIND = ("org.freedesktop.login1", "/org/freedesktop/login1")


def main():
    parser = bench_parser(__doc__)
    parser.add_argument("--cycles", type=int, default=20)
    args = parser.parse_args()
    sep = SEP.decode("latin-1")
    roster = {"cnt": "301", **{str(i): f"10.78.{i // 250}.{i % 250 + 1}{sep}P{i}{sep}yAt lunch"
                               for i in range(1, 301)}}
    with tempfile.TemporaryDirectory(prefix="velmora-bench-") as workdir, \
            SessionBus(workdir, system=True) as system, TestNet(2) as net:
        log = system.path("logind.log")
        system.start_services("--logind", log, net=net, host=2)
        copy = Copy.start(net, 1, "ANN", workdir, os.path.abspath(args.program),
                          env={"DBUS_SYSTEM_BUS_ADDRESS": system.address},
                          settings={"VLX": QUIET, "ipList": roster})
        started(copy)
        held = []
        for cycle in range(args.cycles):
            wait_records(log, 2 * cycle + 1)  # the inhibitor of this cycle
            system.call(*LOGIND, "Sleep", True)
            held.append(wait_records(log, 2 * cycle + 2)[-1]["after_ms"])
            system.call(*LOGIND, "Sleep", False)
            time.sleep(0.5)
        copy.stop()
    print(f"PrepareForSleep(true) -> inhibitor closed: median {statistics.median(held):.1f} ms, "
          f"max {max(held):.1f} ms over {len(held)} cycles (logind waits at most 5000 ms)")


if __name__ == "__main__":
    main()
