#!/usr/bin/env python3
"""Whole-process figures of the program, measured on the private test network (root needed):

  start -> first announcement   time from starting the process (on host 1) to its first
                                status announcement seen by a probe on host 2   (<= 150 ms)
  start -> window mapped        time to the main window being visible on Xvfb     (<= 175 ms)
  PSS after 30 s                from /proc/PID/smaps_rollup                       (<= 27 MiB)
  idle CPU over 60 s            utime + stime of all threads                      (<= 0.02 s)
  wake-ups per second           voluntary + involuntary context switches of all
                                threads over the same minute                      (<= 3 /s)

    python3 bench/process_bench.py [--program build-rel/velmora]
        [--probe build-rel/tests/e2e/velmora_netprobe] [--starts 5] [--idle 60]

Standard library only; uses the end-to-end harness for the test network and the X screen
(Xvfb with trayer), so nothing is broadcast outside the private namespaces.
"""

import os
import statistics
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
from bench_args import bench_parser  # noqa: E402
from process_figures import (cpu_seconds, pss_by_mapping, pss_kib,  # noqa: E402
                             switches_by_thread)
from probe import Listener  # noqa: E402
from test_screens_e2e import TITLE, Screen  # noqa: E402
from testnet import TestNet  # noqa: E402
from velmora_copies import Copy  # noqa: E402


def start_once(net, screen, workdir, program, listener, run):
    """Starts a copy; gives (copy, ms to its first announcement, ms to its visible window)."""
    mark = len(listener.seen)
    env = {"QT_QPA_PLATFORM": "xcb", "DISPLAY": screen.display}
    first = {}

    def watch():
        got = listener.wait_for(lambda d: d.source == net.addr(1) and d.data[:1] == b"a",
                                30, mark)
        first["t"] = time.monotonic() if got else None

    watcher = threading.Thread(target=watch)
    watcher.start()
    started = time.monotonic()
    copy = Copy.start(net, 1, f"RUN{run}", workdir, program, env=env)
    mapped = None
    while time.monotonic() - started < 30:
        if screen.run("xdotool", "search", "--onlyvisible", "--name", TITLE, check=False):
            mapped = time.monotonic()
            break
        time.sleep(0.005)  # leave the CPU to the starting program
    watcher.join()
    ms = lambda t: None if t is None else 1000 * (t - started)
    return copy, ms(first["t"]), ms(mapped)


def main():
    parser = bench_parser(__doc__)
    parser.add_argument("--starts", type=int, default=5)
    parser.add_argument("--idle", type=int, default=60)
    parser.add_argument("--pss-detail", type=int, default=0, metavar="N",
                        help="also list the N mappings with the most PSS")
    args = parser.parse_args()
    program, probe = os.path.abspath(args.program), os.path.abspath(args.probe)

    with tempfile.TemporaryDirectory(prefix="velmora-bench-") as workdir, \
            Screen(workdir) as screen, TestNet(2) as net:
        listener = Listener(net, 2, probe)
        listener.wait_ready()
        announce, window = [], []
        for run in range(args.starts):
            copy, a, w = start_once(net, screen, workdir, program, listener, run)
            announce.append(a)
            window.append(w)
            if run + 1 < args.starts:
                copy.stop()
        print(f"start -> first announcement: median {statistics.median(announce):.0f} ms "
              f"(runs {', '.join(f'{v:.0f}' for v in announce)}; target <= 150)")
        print(f"start -> window mapped:      median {statistics.median(window):.0f} ms "
              f"(runs {', '.join(f'{v:.0f}' for v in window)}; target <= 175)")

        pid = copy.process.pid
        time.sleep(30)
        rollup = pss_kib(pid)
        print(f"PSS after 30 s: {rollup['Pss'] / 1024:.2f} MiB (Rss {rollup['Rss'] / 1024:.1f}, "
              f"Pss_Anon {rollup.get('Pss_Anon', 0) / 1024:.1f}, Pss_File "
              f"{rollup.get('Pss_File', 0) / 1024:.1f} MiB; target <= 27)")
        detail = sorted(pss_by_mapping(pid).items(), key=lambda item: -item[1])
        for name, kib in detail[:args.pss_detail]:
            print(f"  {kib:>6} KiB  {name}")

        cpu0, sw0 = cpu_seconds(pid), switches_by_thread(pid)
        time.sleep(args.idle)
        cpu1, sw1 = cpu_seconds(pid), switches_by_thread(pid)
        total = sum(sw1.values()) - sum(sw0.get(k, 0) for k in sw1)
        print(f"idle CPU over {args.idle} s: {cpu1 - cpu0:.3f} s (target <= 0.02)")
        print(f"wake-ups: {total / args.idle:.2f} /s (target <= 3); by thread:")
        for key in sorted(sw1, key=lambda k: sw0.get(k, 0) - sw1[k]):
            rate = (sw1[key] - sw0.get(key, 0)) / args.idle
            print(f"  {key[1]:<16} tid {key[0]:>7}: {rate:.2f} /s")
        copy.stop()


if __name__ == "__main__":
    main()
