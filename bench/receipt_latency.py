#!/usr/bin/env python3
"""Receipt latency on the wire, measured on the private test network (root needed):

  message -> receipt   time from an addressed message datagram on the wire to the receipt of
                       the receiving copy on the wire                         (p50 <= 1 ms)

A copy (BOB) runs headless on host 2; velmora_netprobe on host 1 sends it `--count` distinct
"m" messages, `--gap` ms apart; tcpdump on host 3 records both directions, so that both
times come from one clock. The pcap file is read here with the standard library.

    python3 bench/receipt_latency.py [--program build-rel/velmora]
        [--probe build-rel/tests/e2e/velmora_netprobe] [--count 50] [--gap 100]

Standard library only; uses the end-to-end harness for the test network, so nothing is
broadcast outside the private namespaces.
"""

import os
import signal
import struct
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "e2e"))
from bench_args import bench_parser  # noqa: E402
from testnet import TestNet  # noqa: E402
from velmora_copies import SEP, Copy, message_datagram, receipt_datagram  # noqa: E402

PORT = 55555


def udp_payloads(path):
    """(seconds, source address, payload) of every UDP datagram to or from PORT in a pcap
    file with Ethernet or Linux cooked framing, microsecond or nanosecond time stamps."""
    with open(path, "rb") as f:
        data = f.read()
    magic = data[:4]
    if magic in (b"\xd4\xc3\xb2\xa1", b"\x4d\x3c\xb2\xa1"):
        endian = "<"
    elif magic in (b"\xa1\xb2\xc3\xd4", b"\xa1\xb2\x3c\x4d"):
        endian = ">"
    else:
        raise ValueError(f"{path} is not a pcap file")
    scale = 1e-9 if magic in (b"\x4d\x3c\xb2\xa1", b"\xa1\xb2\x3c\x4d") else 1e-6
    linktype = struct.unpack(endian + "I", data[20:24])[0]
    link_header = {1: 14, 113: 16}.get(linktype)
    if link_header is None:
        raise ValueError(f"link type {linktype} not handled")
    result, pos = [], 24
    while pos + 16 <= len(data):
        sec, frac, caplen, _ = struct.unpack(endian + "IIII", data[pos:pos + 16])
        frame = data[pos + 16:pos + 16 + caplen]
        pos += 16 + caplen
        ethertype = frame[link_header - 2:link_header]
        ip = frame[link_header:]
        if ethertype != b"\x08\x00" or len(ip) < 20 or ip[9] != 17:
            continue
        ihl = 4 * (ip[0] & 0x0F)
        sport, dport, length = struct.unpack(">HHH", ip[ihl:ihl + 6])
        if PORT not in (sport, dport):
            continue
        source = ".".join(str(b) for b in ip[12:16])
        result.append((sec + frac * scale, source, ip[ihl + 8:ihl + length]))
    return result


def percentile(values, p):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, round(p / 100 * (len(ordered) - 1)))]


def main():
    parser = bench_parser(__doc__)
    parser.add_argument("--count", type=int, default=50)
    parser.add_argument("--gap", type=float, default=100, help="ms between messages")
    args = parser.parse_args()
    program, probe = os.path.abspath(args.program), os.path.abspath(args.probe)

    with tempfile.TemporaryDirectory(prefix="velmora-bench-") as workdir, TestNet(3) as net:
        pcap = os.path.join(workdir, "wire.pcap")
        tcpdump = net.capture(3, pcap)
        if tcpdump is None:
            sys.exit("tcpdump is not installed")
        copy = Copy.start(net, 2, "BOB", workdir, program)
        if not copy.wait_sent(lambda d: d[:2] == b"r ", 30):
            sys.exit(f"the copy did not start:\n{copy.describe()}")
        time.sleep(0.5)  # past the start-up announcements

        prefix = b"m" + net.addr(2).encode() + SEP
        start = time.monotonic()
        for n in range(args.count):
            body = message_datagram(b"Message %d\r\n" % n, b"ANN", net.addr(1), to=net.addr(2))
            delay = start + n * args.gap / 1000 - time.monotonic()
            if delay > 0:
                time.sleep(delay)
            net.exec(1, [probe, "send", body.hex()])
        time.sleep(0.5)
        copy.stop()
        tcpdump.send_signal(signal.SIGINT)  # flushes and ends the file
        tcpdump.wait(timeout=10)
        wire = udp_payloads(pcap)

    receipt = receipt_datagram(net.addr(1), b"BOB")
    sent = [(t, d) for t, s, d in wire if s == net.addr(1) and d.startswith(prefix)]
    latencies, missing = [], 0
    for i, (t, _) in enumerate(sent):
        until = sent[i + 1][0] if i + 1 < len(sent) else float("inf")
        answers = [u for u, s, d in wire if s == net.addr(2) and d == receipt and t <= u < until]
        if answers:
            latencies.append(1000 * (answers[0] - t))
        else:
            missing += 1
    if not latencies:
        sys.exit(f"no receipts on the wire ({len(sent)} messages seen)")
    print(f"message -> receipt on the wire, {len(latencies)} of {len(sent)} messages "
          f"({missing} without a receipt): p50 {percentile(latencies, 50):.3f} ms, "
          f"p95 {percentile(latencies, 95):.3f} ms, max {max(latencies):.3f} ms "
          f"(target p50 <= 1)")


if __name__ == "__main__":
    main()
