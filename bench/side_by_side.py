#!/usr/bin/env python3
"""The program's start against a bare Qt window (a QMainWindow holding a QTabWidget with a
QListWidget, bench/BareWindow.cpp), side by side on the private test network (root needed):

  exec -> window mapped     until the X server reports the main window's MapNotify (Xvfb)
  exec -> first datagram    until the program's first announcement reaches a probe on host 2
  RSS and PSS after N s     from /proc/PID/smaps_rollup once the start has settled
  idle CPU and wake-ups     utime + stime, and voluntary + involuntary context switches of all
                            threads, over an idle minute

    python3 bench/side_by_side.py [--program build-rel/velmora]
        [--bare build-rel/bench/velmora_bare_window]
        [--probe build-rel/tests/e2e/velmora_netprobe] [--runs 3] [--settle 30] [--idle 60]
        [--detail N]

The two are started in turn, the first of each run alternating, and measured over the same
idle minute, so that the other helpers' load on the machine weighs on both alike; the load
average is printed with the figures. Standard library only; uses the end-to-end harness for
the test network and the X screen (Xvfb with trayer), so nothing leaves the private namespaces.
"""

import os
import statistics
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
from bench_args import TOP, bench_parser  # noqa: E402
from probe import Lines, Listener  # noqa: E402
from process_figures import (cpu_seconds, pss_by_mapping, pss_kib,  # noqa: E402
                             switches_by_thread)
from test_screens_e2e import TITLE, Screen  # noqa: E402
from testnet import TestNet  # noqa: E402
from velmora_copies import Copy  # noqa: E402

BARE_TITLE = "Bare Qt window"
WAIT = 30


class MapWatch:
    """The MapNotify events of the screen's top-level windows, each with the moment it
    arrived, read from xev (line-buffered through stdbuf)."""

    def __init__(self, screen):
        self.screen = screen
        self.process = subprocess.Popen(
            ["stdbuf", "-oL", "xev", "-root", "-event", "substructure"], env=screen.env,
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self._opened = None
        self._events = Lines(self.process.stdout, self._parse)
        self._names = {}

    def _parse(self, line):
        # "MapNotify event, serial 12, synthetic NO, window 0x29b,"
        # "    event 0x29b, window 0x200002, override NO"
        if line.startswith(b"MapNotify event"):
            self._opened = time.monotonic()
            return None
        if self._opened is None or b"override NO" not in line:
            self._opened = None
            return None
        moment, self._opened = self._opened, None
        return moment, line.split(b"window ")[1].split(b",")[0].decode()

    def mark(self):
        return len(self._events.items)

    def _name(self, event):
        # Asked once per event, not per window: the X server hands a closed client's window
        # numbers to the next client, so one number names different windows in turn.
        if event not in self._names:
            self._names[event] = self.screen.run("xdotool", "getwindowname", event[1],
                                                 check=False).strip()
        return self._names[event]

    def wait_mapped(self, title, start):
        """The moment the first window named `title` was mapped since mark() gave `start`."""
        event = self._events.wait_for(lambda e: self._name(e) == title, WAIT, start)
        return event and event[0]

    def close(self):
        self.process.terminate()
        self.process.wait()


class Start:
    """One started process and what was measured of it."""

    def __init__(self, net, screen, watch, workdir, program, title, listener, user):
        self.figures = {}
        mark, heard = watch.mark(), listener and len(listener.seen)
        first = {}

        def wait_first_datagram():
            got = listener.wait_for(lambda d: d.source == net.addr(1) and d.data[:1] == b"a",
                                    WAIT, heard)
            first["t"] = time.monotonic() if got else None

        waiter = listener and threading.Thread(target=wait_first_datagram)
        if waiter:
            waiter.start()
        self.started = time.monotonic()
        self.copy = Copy.start(net, 1, user, workdir, program,
                               env={"QT_QPA_PLATFORM": "xcb", "DISPLAY": screen.display})
        self.figures["map"] = self._ms(watch.wait_mapped(title, mark))
        if waiter:
            waiter.join()
            self.figures["datagram"] = self._ms(first["t"])

    def _ms(self, moment):
        return None if moment is None else 1000 * (moment - self.started)

    @property
    def pid(self):
        return self.copy.process.pid

    def read_memory(self, settle):
        time.sleep(max(0.0, self.started + settle - time.monotonic()))
        rollup = pss_kib(self.pid)
        self.figures["rss"], self.figures["pss"] = rollup["Rss"] / 1024, rollup["Pss"] / 1024
        self.rss_by_mapping = pss_by_mapping(self.pid, "Rss")

    def begin_idle(self):
        self._idle = (time.monotonic(), cpu_seconds(self.pid), switches_by_thread(self.pid))

    def end_idle(self):
        began, cpu, switches = self._idle
        seconds = time.monotonic() - began
        now = switches_by_thread(self.pid)
        self.figures["cpu"] = 1000 * (cpu_seconds(self.pid) - cpu)
        self.figures["wakeups"] = (sum(now.values()) - sum(switches.get(k, 0) for k in now)) \
            / seconds
        self.wakeups_by_thread = {k: (v - switches.get(k, 0)) / seconds for k, v in now.items()}


ROWS = [  # figure key, label, how the program compares with the bare window
    ("map", "exec -> window mapped (ms)", "ratio"),
    ("datagram", "exec -> first datagram (ms)", None),
    ("rss", "RSS after settling (MiB)", "difference"),
    ("pss", "PSS after settling (MiB)", "difference"),
    ("cpu", "CPU over the idle time (ms)", "difference"),
    ("wakeups", "wake-ups per second", "difference"),
]


def print_table(runs, args):
    print(f"\n{len(runs)} runs, settled {args.settle} s, idle {args.idle} s; medians "
          f"(each run's figures in brackets)")
    print(f"{'':<30}{'program':>10}{'bare':>10}{'':>12}")
    for key, label, compare in ROWS:
        values = {who: [r[who].figures.get(key) for r in runs] for who in ("program", "bare")}
        medians = {who: statistics.median(v) if v and None not in v else None
                   for who, v in values.items()}
        shown = {who: "-" if m is None else f"{m:.2f}" if key == "wakeups" else f"{m:.1f}"
                 for who, m in medians.items()}
        p, b = medians["program"], medians["bare"]
        relation = ""
        if compare == "ratio" and p is not None and b:
            relation = f"{p / b:.2f}x"
        elif compare == "difference" and p is not None and b is not None:
            relation = f"{p - b:+.2f}" if key == "wakeups" else f"{p - b:+.1f}"
        each = " / ".join(", ".join("-" if x is None else f"{x:.0f}" if x >= 10 else f"{x:.2f}"
                                    for x in values[who]) for who in ("program", "bare"))
        print(f"{label:<30}{shown['program']:>10}{shown['bare']:>10}{relation:>12}  [{each}]")


def print_detail(last, count):
    """Where the program's resident memory differs most from the bare window's, and which of
    its threads woke up, from the last run."""
    program, bare = last["program"], last["bare"]
    names = set(program.rss_by_mapping) | set(bare.rss_by_mapping)
    difference = {n: program.rss_by_mapping.get(n, 0) - bare.rss_by_mapping.get(n, 0)
                  for n in names}
    print(f"\nresident KiB, program minus bare window (last run), the {count} largest:")
    for name in sorted(names, key=lambda n: -abs(difference[n]))[:count]:
        print(f"  {difference[name]:>+7}  {name}")
    print("program's wake-ups per second by thread (last run):")
    for (tid, name), rate in sorted(program.wakeups_by_thread.items(), key=lambda i: -i[1]):
        print(f"  {name:<16} tid {tid:>7}: {rate:.2f}")


def load():
    return " ".join(open("/proc/loadavg").read().split()[:3])


def main():
    parser = bench_parser(__doc__)
    parser.add_argument("--bare", default=os.path.join(TOP, "build-rel", "bench",
                                                       "velmora_bare_window"))
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--settle", type=int, default=30)
    parser.add_argument("--idle", type=int, default=60)
    parser.add_argument("--detail", type=int, default=0, metavar="N",
                        help="also list the N mappings whose resident memory differs most")
    args = parser.parse_args()
    paths = {"program": os.path.abspath(args.program), "bare": os.path.abspath(args.bare)}
    titles = {"program": TITLE, "bare": BARE_TITLE}
    loads = [load()]

    with tempfile.TemporaryDirectory(prefix="velmora-bench-") as workdir, \
            Screen(workdir) as screen, TestNet(2) as net:
        listener = Listener(net, 2, os.path.abspath(args.probe))
        listener.wait_ready()
        watch = MapWatch(screen)
        runs = []
        try:
            for run in range(args.runs):
                order = ["program", "bare"] if run % 2 == 0 else ["bare", "program"]
                started = {}
                for who in order:
                    started[who] = Start(net, screen, watch, workdir, paths[who], titles[who],
                                         listener if who == "program" else None,
                                         f"RUN{run}{who.upper()}")
                    # Leave the first its deferred start before the second one begins.
                    time.sleep(3)
                for who in order:
                    started[who].read_memory(args.settle)
                for who in order:
                    started[who].begin_idle()
                time.sleep(args.idle)
                for who in order:
                    started[who].end_idle()
                    started[who].copy.stop()
                runs.append(started)
                loads.append(load())
                print(f"run {run + 1}, {order[0]} first: " + "; ".join(
                    f"{who} " + ", ".join(f"{k} {v:.1f}" for k, v in started[who].figures.items()
                                          if v is not None) for who in order), flush=True)
        finally:
            watch.close()
        print_table(runs, args)
        print(f"load average (1, 5, 15 min) at the start and after each run: "
              f"{' | '.join(loads)}")
        if args.detail:
            print_detail(runs[-1], args.detail)


if __name__ == "__main__":
    main()
