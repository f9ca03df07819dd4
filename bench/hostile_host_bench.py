#!/usr/bin/env python3
"""Floods from a hostile host against one copy on the private test network (root needed): the
copy's resident memory (VmRSS) after each flood and its settings file at the end.

  unasked receipts       300 receipts ("v") addressed to the copy, 60 KB names each, while the
                         copy has sent no message
  proxy announcements    300 proxy announcements ("z") for made-up addresses, 60 KB names each
  long messages          40 messages to all, each 64 KB of line breaks (and the save they cause)
  receipts after a message   the copy answers a message (Messages tab, Reply, Send, by xdotool),
                         then 300 receipts with 60 KB names arrive within the hour

    python3 bench/hostile_host_bench.py [--program build-rel/velmora]
        [--count 300] [--messages 40]

The copy runs on host 1 on an Xvfb screen, as at a desk; the floods come from host 2, one
datagram at a time: the next leaves once the copy's trace shows the last one handled, so that
none is lost to a full socket buffer. Standard library only; uses the end-to-end harness, so
nothing is broadcast outside the private namespaces.
"""

import os
import struct
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
from bench_args import bench_parser  # noqa: E402
from person import REPLY, SEND, TAB_Y, TABS  # noqa: E402
from test_screens_e2e import TITLE, Screen  # noqa: E402
from testnet import TestNet  # noqa: E402
from velmora_copies import (SEP, Copy, message_datagram, read_section,  # noqa: E402
                            receipt_datagram, started)

COPY, HOSTILE = 1, 2
COPY_AT, HOSTILE_AT = b"10.77.0.1", b"10.77.0.2"
NAME_BYTES = 60 * 1024


def long_name(k):
    return (b"N%05d-" % k).ljust(NAME_BYTES, b"n")


def receipt(k):
    return receipt_datagram(COPY_AT, long_name(k))


def proxy(k):
    """A made-up address outside the test network's subnet, as udp_burst.py makes them."""
    target = b"10.%d.%d.%d" % (78 + k // 65024, (k // 254) % 256, k % 254 + 1)
    return b"zy" + target + SEP + long_name(k) + SEP + b" Away"


def line_breaks(k):
    return message_datagram(b"%d" % k + b"\r\n" * 32000, b"PRB", HOSTILE_AT)


def sender(to):
    """Runs inside the hostile host: sends each length-prefixed datagram read from stdin."""
    import socket
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    stream = sys.stdin.buffer
    while True:
        head = stream.read(4)
        if len(head) < 4:
            return 0
        data = stream.read(struct.unpack(">I", head)[0])
        sock.sendto(data, (to, 55555))


class Flood:
    """The sender process on the hostile host, paced by what the copy has handled."""

    def __init__(self, net, copy):
        self.copy = copy
        self.process = net.popen(HOSTILE, [sys.executable, os.path.abspath(__file__), "--send-to",
                                           COPY_AT.decode()], stdin=subprocess.PIPE)

    def send(self, datagrams):
        """Sends one after the other; gives how many the copy handled."""
        handled = 0
        for data in datagrams:
            mark = len(self.copy.trace)
            self.process.stdin.write(struct.pack(">I", len(data)) + data)
            self.process.stdin.flush()
            if self.copy.wait_received(lambda s, d, data=data: d == data, 30, mark):
                handled += 1
        return handled

    def close(self):
        self.process.stdin.close()
        self.process.wait(timeout=30)


def rss_mib(pid):
    for line in open(f"/proc/{pid}/status"):
        if line.startswith("VmRSS:"):
            return int(line.split()[1]) / 1024
    return 0.0


def file_figures(path):
    if not os.path.exists(path):
        return "no file"
    roster = read_section(path, "ipList") or {}
    history = read_section(path, "VLXMsgs") or {}
    return (f"{os.path.getsize(path) / 1e6:.2f} MB, [ipList] {len(roster)} keys, "
            f"[VLXMsgs] {len(history)} lines")


def answer_by_mouse(screen, flood, copy):
    """A message from the hostile host, answered as a person would; true once the answer left."""
    mark = len(copy.trace)
    flood.send([message_datagram(b"Are you there?\r\n", b"PRB", HOSTILE_AT, to=COPY_AT)])
    if not copy.wait_sent(lambda d: d.startswith(b"vl" + HOSTILE_AT), 30, mark):
        return False
    x, y, _, _ = screen.geometry(screen.wait_window(["--name", TITLE]))
    # The first click activates the window; then the Messages tab, Reply and Send.
    for place in ((200, 200), (TABS["Messages"], TAB_Y), REPLY, SEND):
        time.sleep(0.6)
        screen.run("xdotool", "mousemove", x + place[0], y + place[1], "click", "1")
    return copy.wait_sent(lambda d: d.startswith(b"m" + HOSTILE_AT + SEP), 30, mark) is not None



def main():
    if len(sys.argv) == 3 and sys.argv[1] == "--send-to":
        return sender(sys.argv[2])
    parser = bench_parser(__doc__)
    parser.add_argument("--count", type=int, default=300)
    parser.add_argument("--messages", type=int, default=40)
    args = parser.parse_args()
    program = os.path.abspath(args.program)

    with tempfile.TemporaryDirectory(prefix="velmora-bench-") as workdir, \
            Screen(workdir) as screen, TestNet(2) as net:
        env = {"QT_QPA_PLATFORM": "xcb", "DISPLAY": screen.display}
        copy = Copy.start(net, COPY, "ANN", workdir, program, env=env,
                          settings={"VLX": {"left": "20", "top": "20", "msgSnd": "0"}})
        flood = Flood(net, copy)
        try:
            started(copy)
            screen.wait_window(["--name", TITLE])
            time.sleep(2)
            pid = copy.process.pid
            print(f"started:                      RSS {rss_mib(pid):7.1f} MiB")

            def phase(name, datagrams, total):
                handled = flood.send(datagrams)
                time.sleep(1)
                print(f"{name:<29} RSS {rss_mib(pid):7.1f} MiB  ({handled}/{total} handled)")

            phase("unasked receipts:", (receipt(k) for k in range(args.count)), args.count)
            phase("proxy announcements:", (proxy(k) for k in range(args.count)), args.count)
            phase("long messages:", (line_breaks(k) for k in range(args.messages)),
                  args.messages)
            time.sleep(3)  # the save two seconds after the last message
            print(f"  settings file: {file_figures(copy.settings)}")
            if answer_by_mouse(screen, flood, copy):
                phase("receipts after a message:", (receipt(k) for k in range(args.count)),
                      args.count)
            else:
                print("receipts after a message: the answer did not leave; skipped")
        finally:
            flood.close()
            status = copy.stop()
        print(f"after the end (exit {status}): settings file {file_figures(copy.settings)}")


if __name__ == "__main__":
    sys.exit(main())
