#!/usr/bin/env python3
"""Sends many status datagrams at a steady rate: the load of an office far larger than any real
one, made from a single host. Run it inside a test-network host only (the end-to-end tests and
benchmarks start it through TestNet.popen); it sends to one given address and port.

    udp_burst.py --to 10.77.0.1 --people 5000 --create-rate 2000 \
                 --update-rate 2000 --update-seconds 10

Every person is a proxy announcement "z" + code + target address + 0xF7 + name + 0xF7 + " " +
status, because a copy keys its roster by the address an announcement stands for, and one
sending host can name as many such addresses as it likes. First each person is announced once
("In"), then the people are announced again in turn with a changing status until the update
time is over. Progress goes to stdout as "created N", "updated N" and "done CREATED UPDATED",
one flushed line each, so that a caller can tell the phases apart.
"""

import argparse
import socket
import sys
import time

SEP = b"\xf7"


def target(k):
    """A distinct address per person, outside the test network's own subnet."""
    return f"10.{78 + k // 65024}.{(k // 254) % 256}.{k % 254 + 1}".encode()


def announcement(k, code, status):
    return b"z" + code + target(k) + SEP + b"P%05d" % k + SEP + b" " + status


def paced(sock, address, datagrams, rate, seconds=None):
    """Sends from the iterator `datagrams` at `rate` per second (bursts of 1/100 s) until it is
    exhausted or `seconds` have passed; gives how many went out."""
    start = time.monotonic()
    sent = 0
    per_slice = max(1, rate // 100)
    for d in datagrams:
        if seconds is not None and time.monotonic() - start >= seconds:
            break
        try:
            sock.sendto(d, address)
        except OSError:
            # A full send queue on the sending side: that datagram is lost, as on any network.
            pass
        sent += 1
        if sent % per_slice == 0:
            due = start + sent / rate
            pause = due - time.monotonic()
            if pause > 0:
                time.sleep(pause)
    return sent


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--to", required=True)
    parser.add_argument("--port", type=int, default=55555)
    parser.add_argument("--people", type=int, default=5000)
    parser.add_argument("--create-rate", type=int, default=2000)
    parser.add_argument("--update-rate", type=int, default=2000)
    parser.add_argument("--update-seconds", type=float, default=10)
    args = parser.parse_args()

    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
    address = (args.to, args.port)

    created = paced(sock, address, (announcement(k, b"g", b"In") for k in range(args.people)),
                    args.create_rate)
    print(f"created {created}", flush=True)

    def updates():
        n = 0
        while True:
            k = n % args.people
            code = b"rg"[n % 2:n % 2 + 1]
            yield announcement(k, code, b"Round %d" % (n // args.people))
            n += 1

    updated = paced(sock, address, updates(), args.update_rate, args.update_seconds)
    print(f"updated {updated}", flush=True)
    print(f"done {created} {updated}", flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
