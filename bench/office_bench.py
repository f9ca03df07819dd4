#!/usr/bin/env python3
"""The office figure: 30 copies on the private test network (root needed).

Copies C01..C30 run headless on hosts 1..30 with --trace; velmora_netprobe on host 31 sends.
Every trace line is stamped with this process's monotonic clock as it is read, so that the
copies' times compare.

  broadcast change -> all rosters   a proxy announcement for C01 with a new status ("zg" +
                       10.77.0.1 + 0xF7 + "C01" + 0xF7 + status), broadcast by the probe; from
                       C01 handling it (it takes the status over) until the last of the 30
                       copies has handled it
  own announcement -> all rosters   C01's status changed (the proxy above, sent to C01 alone),
                       then a refresh request sent to C01 alone makes it announce: from C01
                       applying the announcement to its own roster (just before it sends it)
                       until the other 29 copies handled it; also from the probe's trigger,
                       which includes the wait for C01's one-second tick
  CPU per refresh storm             one refresh request broadcast by the probe, answered by all
                       30 ("&Refresh All Programs"): CPU time of each copy (all threads, from
                       /proc/PID/task/*/schedstat) over the following seconds, less the same
                       span of idling just before

    python3 bench/office_bench.py [--program build-netrel/velmora]
        [--probe build-netrel/tests/e2e/velmora_netprobe] [--copies 30] [--changes 50]
        [--storms 5]

p50 and p99 over the changes (p99 of 50 samples is close to the maximum). The times include
this process's own delay in reading 30 pipes (on a machine with few cores, several
milliseconds), so they are upper bounds. Standard library
only; uses the end-to-end harness, so nothing is broadcast outside the private namespaces.
"""

import collections
import os
import random
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
from bench_args import bench_parser  # noqa: E402
from probe import Listener  # noqa: E402
from testnet import TestNet  # noqa: E402
from velmora_copies import SEP, Copy  # noqa: E402

TICKS = os.sysconf("SC_CLK_TCK")
# A trace line with the moment it was read.
TimedLine = collections.namedtuple("TimedLine", "kind source data t")


class TimedCopy(Copy):
    """A Copy whose trace lines carry the monotonic time they were read at."""

    @staticmethod
    def parse_trace(raw):
        return TimedLine(*Copy.parse_trace(raw), time.monotonic())


def cpu_seconds(pid):
    """CPU time of all threads of a process: nanoseconds from schedstat where the kernel keeps
    it, else utime + stime in clock ticks."""
    try:
        total = 0
        for tid in os.listdir(f"/proc/{pid}/task"):
            try:
                total += int(open(f"/proc/{pid}/task/{tid}/schedstat").read().split()[0])
            except FileNotFoundError:
                continue  # a thread that ended meanwhile
        return total / 1e9
    except (FileNotFoundError, ValueError, IndexError):
        fields = open(f"/proc/{pid}/stat").read().rpartition(")")[2].split()
        return (int(fields[11]) + int(fields[12])) / TICKS


def percentile(values, p):
    ordered = sorted(values)
    k = (len(ordered) - 1) * p / 100
    low = int(k)
    high = min(low + 1, len(ordered) - 1)
    return ordered[low] + (ordered[high] - ordered[low]) * (k - low)


def ms(values):
    return (f"p50 {1000 * percentile(values, 50):7.2f} ms   p99 {1000 * percentile(values, 99):7.2f} ms"
            f"   max {1000 * max(values):7.2f} ms")


def handled_at(copy, datagram, start, timeout):
    line = copy._trace.wait_for(lambda t: t.kind == "recv" and t.data == datagram, timeout,
                                start)
    return line and line.t


def send(net, host, probe, data, to="255.255.255.255"):
    subprocess.run(net.command(host, [probe, "send", data.hex(), "--to", to]), check=True,
                   capture_output=True, timeout=30)


def broadcast_changes(net, probe, copies, count, probe_host):
    """Seconds from C01 handling a broadcast change until the last copy handled it."""
    results = []
    for k in range(count):
        datagram = b"zg10.77.0.1" + SEP + b"C01" + SEP + b" Broadcast change %d" % k
        marks = [len(c.trace) for c in copies]
        send(net, probe_host, probe, datagram)
        times = [handled_at(c, datagram, m, 30) for c, m in zip(copies, marks)]
        if None in times:
            print(f"  change {k}: {times.count(None)} copies missed it")
            continue
        results.append(max(times) - times[0])
        time.sleep(0.2)
    return results


def own_announcements(net, probe, copies, count, probe_host):
    """(C01 applied -> all, trigger -> all) of C01's own announcement of a changed status."""
    from_own, from_trigger, to_wire = [], [], []
    first = copies[0]
    for k in range(count):
        status = b" Own change %d" % k
        send(net, probe_host, probe, b"zr10.77.0.1" + SEP + b"C01" + SEP + status,
             to="10.77.0.1")
        # Out of step with C01's one-second tick, so that the trigger figure shows its wait.
        time.sleep(random.uniform(0.1, 1.1))
        marks = [len(c.trace) for c in copies]
        triggered = time.monotonic()
        send(net, probe_host, probe, b"r PRB", to="10.77.0.1")
        # C01 applies its announcement to its own roster first, then sends it: that line is
        # the change on C01, and it is read before the others can have the datagram.
        line = first._trace.wait_for(
            lambda t: t.kind == "recv" and t.source == "10.77.0.1" and t.data[:1] == b"a"
            and status in t.data, 30, marks[0])
        if line is None:
            print(f"  change {k}: C01 did not announce")
            continue
        times = [handled_at(c, line.data, m, 30) for c, m in zip(copies[1:], marks[1:])]
        if None in times:
            print(f"  change {k}: {times.count(None)} copies missed it")
            continue
        from_own.append(max(times) - line.t)
        from_trigger.append(max(times) - triggered)
        sent = first._trace.wait_for(lambda t: t.kind == "send" and t.data == line.data, 5,
                                     marks[0])
        if sent is not None:
            to_wire.append(sent.t - line.t)
        time.sleep(0.2)
    return from_own, from_trigger, to_wire


def refresh_storms(net, probe, copies, count, probe_host, wire, window):
    """CPU seconds of each copy per storm, less idling: a list per storm."""
    storms = []
    for _ in range(count):
        pids = [c.process.pid for c in copies]
        before = [cpu_seconds(p) for p in pids]
        time.sleep(window)
        idle = [cpu_seconds(p) - b for p, b in zip(pids, before)]
        mark = len(wire.seen)
        before = [cpu_seconds(p) for p in pids]
        send(net, probe_host, probe, b"r PRB")
        deadline = time.monotonic() + 30
        while time.monotonic() < deadline:
            answered = {d.source for d in wire.seen[mark:] if d.data and d.data[:1] == b"a"}
            if len(answered) >= len(copies):
                break
            time.sleep(0.05)
        else:
            print(f"  storm: only {len(answered)} copies answered")
        time.sleep(max(0.0, window - 0.05))
        used = [cpu_seconds(p) - b for p, b in zip(pids, before)]
        storms.append([max(0.0, u - i) for u, i in zip(used, idle)])
        answers = sum(1 for d in wire.seen[mark:] if d.data and d.data[:1] == b"a")
        print(f"  storm: {answers} announcements on the wire")
    return storms


def main():
    parser = bench_parser(__doc__, "build-netrel")
    parser.add_argument("--copies", type=int, default=30)
    parser.add_argument("--changes", type=int, default=50)
    parser.add_argument("--storms", type=int, default=5)
    parser.add_argument("--window", type=float, default=3.0,
                        help="seconds of CPU accounting per storm")
    args = parser.parse_args()
    program, probe = os.path.abspath(args.program), os.path.abspath(args.probe)
    n = args.copies
    probe_host = n + 1

    with tempfile.TemporaryDirectory(prefix="velmora-bench-") as workdir, \
            TestNet(n + 1) as net:
        wire = Listener(net, probe_host, probe)
        wire.wait_ready()
        copies = [TimedCopy.start(net, i, f"C{i:02d}", workdir, program) for i in
                  range(1, n + 1)]
        try:
            # Everybody knows everybody: each copy handled each copy's announcement.
            for c in copies:
                for j in range(1, n + 1):
                    got = c.wait_received(
                        lambda s, d, j=j: s == net.addr(j) and d[:1] == b"a", 60)
                    assert got, f"{c.user} never heard C{j:02d}"
            time.sleep(3)  # the start's refresh answers die down
            print(f"{n} copies up; probe on host {probe_host}")

            spread = broadcast_changes(net, probe, copies, args.changes, probe_host)
            print(f"broadcast change -> all {n} rosters ({len(spread)} changes):")
            print(f"  {ms(spread)}")

            from_own, from_trigger, to_wire = own_announcements(net, probe, copies,
                                                                args.changes, probe_host)
            print(f"own announcement -> all {n} rosters ({len(from_own)} changes):")
            print(f"  from C01 applying it: {ms(from_own)}")
            print(f"  from the trigger:     {ms(from_trigger)}")
            print(f"  C01 applying -> its send line: {ms(to_wire)}")

            storms = refresh_storms(net, probe, copies, args.storms, probe_host, wire,
                                    args.window)
            per_copy = [sum(s[i] for s in storms) / len(storms) for i in range(n)]
            print(f"CPU per copy for one refresh storm ({len(storms)} storms, "
                  f"{args.window:.0f} s windows, idling subtracted):")
            print(f"  mean {1000 * statistics.mean(per_copy):.2f} ms   max "
                  f"{1000 * max(per_copy):.2f} ms   all copies together "
                  f"{1000 * sum(per_copy):.1f} ms")
        finally:
            for c in copies:
                c.stop()


if __name__ == "__main__":
    main()
