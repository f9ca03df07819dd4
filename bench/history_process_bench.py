#!/usr/bin/env python3
"""Whole-process figures of the settings file with a full message history, measured on the
private test network (root needed), headless:

  start -> first announcement   from starting the process (host 1) to its first status
                                announcement seen by a probe on host 2, with an empty settings
                                file and with one holding 5,000 messages (the most the history
                                keeps)
  message -> file replaced      from sending a message (probe on host 2) to the settings file
                                holding it (the history is saved about 2 s after a message)
  SIGTERM -> exit               the log-off: last announcement, 300 ms pause, the whole save

    python3 bench/history_process_bench.py [--program build-rel/velmora]
        [--probe build-rel/tests/e2e/velmora_netprobe] [--starts 5] [--messages 5000]

Standard library only; uses the end-to-end harness, so nothing is broadcast outside the
private namespaces.
"""

import os
import statistics
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
from bench_args import bench_parser  # noqa: E402
from probe import Listener  # noqa: E402
from settings_files import (burst_message, read_ini, settings_with_history,  # noqa: E402
                            start_copy, stored_message, wait_started, wait_until)
from testnet import TestNet  # noqa: E402
from velmora_copies import signature  # noqa: E402


def long_message(number):
    """About 500 bytes: two lines of text, the signature and the arrival line."""
    text = f"Message {number}: the meeting moves to room 4 at half past two, please bring "
    return stored_message([(text + "the figures").encode(), (text + "the plans").encode(),
                           signature(b"Person 7", "10.7.0.7")], arrived=b" at 2:30 PM on Tue ")


def one_run(net, listener, program, probe, path, run, timings):
    mark = len(listener.seen)
    started = time.monotonic()
    copy = start_copy(net, 1, None, path, program, login="bench",
                      home=os.path.join(os.path.dirname(path), "home"))
    first = listener.wait_for(lambda d: d.source == net.addr(1) and d.data[:1] == b"a", 60, mark)
    assert first is not None, f"no announcement:\n{copy.describe()}"
    timings["start"].append(1000 * (time.monotonic() - started))
    wait_started(copy)

    before = os.stat(path).st_mtime_ns
    sent = time.monotonic()
    net.exec(2, [probe, "send", burst_message(f"bench {run}", net.addr(2)).hex()])
    replaced = wait_until(lambda: os.stat(path).st_mtime_ns != before, 30, step=0.002)
    if replaced:
        timings["save"].append(1000 * (time.monotonic() - sent))

    ending = time.monotonic()
    copy.stop()
    timings["stop"].append(1000 * (time.monotonic() - ending))


def show(label, values):
    if values:
        print(f"  {label:<30} median {statistics.median(values):7.0f} ms "
              f"(runs {', '.join(f'{v:.0f}' for v in values)})")
    else:
        print(f"  {label:<30} no result")


def main():
    parser = bench_parser(__doc__)
    parser.add_argument("--starts", type=int, default=5)
    parser.add_argument("--messages", type=int, default=5000)
    args = parser.parse_args()
    program, probe = os.path.abspath(args.program), os.path.abspath(args.probe)

    with tempfile.TemporaryDirectory(prefix="velmora-bench-") as workdir, TestNet(2) as net:
        listener = Listener(net, 2, probe)
        listener.wait_ready()
        for label, count in (("empty settings file", 0), (f"{args.messages} messages", None)):
            path = os.path.join(workdir, f"{count}", "vlx.ini")
            os.makedirs(os.path.dirname(path))
            if count is None:
                with open(path, "wb") as f:
                    f.write(settings_with_history(
                        "bench", [long_message(n) for n in range(args.messages)]))
            else:
                with open(path, "wb") as f:
                    f.write(settings_with_history("bench", []))
            size = os.path.getsize(path)
            timings = {"start": [], "save": [], "stop": []}
            for run in range(args.starts):
                one_run(net, listener, program, probe, path, run, timings)
            print(f"{label} ({size / 1e6:.2f} MB at first, "
                  f"{len(read_ini(path).messages())} messages at the end):")
            show("start -> first announcement", timings["start"])
            show("message -> file replaced", timings["save"])
            show("SIGTERM -> exit", timings["stop"])


if __name__ == "__main__":
    main()
