"""Watching the test network through velmora_netprobe, and reading a process's output lines
while it runs."""

import collections
import os
import subprocess
import threading
import time

from testnet import Skip, require_executable

Datagram = collections.namedtuple("Datagram", "source data")


def netprobe_path():
    """The built velmora_netprobe (VELMORA_NETPROBE); Skip when it is not there."""
    return require_executable(os.environ.get("VELMORA_NETPROBE"), "velmora_netprobe")


class Lines:
    """Collects the lines of a binary stream in a thread, parsed by `parse`; lets the test wait
    for a line that fulfils a condition."""

    def __init__(self, stream, parse=lambda line: line):
        self._stream = stream
        self._parse = parse
        self._items = []
        self._ended = False
        self._changed = threading.Condition()
        self._thread = threading.Thread(target=self._read, daemon=True)
        self._thread.start()

    def _read(self):
        for raw in iter(self._stream.readline, b""):
            item = self._parse(raw.rstrip(b"\r\n"))
            if item is None:
                continue
            with self._changed:
                self._items.append(item)
                self._changed.notify_all()
        with self._changed:
            self._ended = True
            self._changed.notify_all()

    @property
    def items(self):
        with self._changed:
            return list(self._items)

    @property
    def ended(self):
        with self._changed:
            return self._ended

    def wait_for(self, condition, timeout, start=0):
        """The first item from position `start` on that fulfils `condition`, waiting up to
        `timeout` seconds for it; None when none came (or the stream ended without it)."""
        deadline = time.monotonic() + timeout
        with self._changed:
            while True:
                for item in self._items[start:]:
                    if condition(item):
                        return item
                remaining = deadline - time.monotonic()
                if remaining <= 0 or self._ended:
                    return None
                self._changed.wait(remaining)

    def join(self, timeout=5):
        self._thread.join(timeout)


def _parse_probe_line(line):
    source, _, hex_bytes = line.decode("ascii", errors="replace").partition("\t")
    try:
        return Datagram(source, bytes.fromhex(hex_bytes))
    except ValueError:
        return Datagram(source, None)


class Listener:
    """velmora_netprobe listening on host i; `seen` holds every Datagram it reported."""

    def __init__(self, net, i, probe, port=55555):
        self.host = i
        self.process = net.popen(i, [probe, "listen", "--port", str(port)],
                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self._datagrams = Lines(self.process.stdout, _parse_probe_line)
        self._messages = Lines(self.process.stderr, lambda l: l.decode(errors="replace"))

    def wait_ready(self, timeout=15):
        """Waits until the socket is bound, so that nothing sent afterwards is missed."""
        ready = self._messages.wait_for(lambda l: l.startswith("listening"), timeout)
        assert ready is not None, (
            f"probe on host {self.host} did not start: {self._messages.items}")

    @property
    def seen(self):
        return self._datagrams.items

    def wait_for(self, condition, timeout, start=0):
        return self._datagrams.wait_for(condition, timeout, start)
