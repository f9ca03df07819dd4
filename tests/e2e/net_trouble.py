"""Shared pieces of the tests in which the network changes under a running copy: a copy that
works out its own address, the failed sends of its trace, a probe's one-off datagrams, and the
memory of a process.
"""

from velmora_copies import SEP, Copy


def start_without_address(net, i, user, workdir, program=None, settings=None):
    """Copy.start without --address: the copy finds its address itself and follows it."""
    return Copy.start(net, i, user, workdir, program, settings, fixed_address=False)


def send_failures(copy, start=0):
    """(reason, datagram) of each "send-failed <reason words> <hex>" line of the copy's trace
    from position `start` on."""
    failures = []
    for t in copy.trace[start:]:
        if t.kind == "other" and t.data.startswith(b"send-failed "):
            words = t.data.split(b" ")
            try:
                failures.append((b" ".join(words[1:-1]).decode(errors="replace"),
                                 bytes.fromhex(words[-1].decode("ascii"))))
            except ValueError:
                failures.append((t.data.decode(errors="replace"), None))
    return failures


def wait_send_failure(copy, condition, timeout, start=0):
    """The first failed send of a datagram that fulfils condition(data) after `start`."""
    def failed(t):
        if t.kind != "other" or not t.data.startswith(b"send-failed "):
            return False
        try:
            return condition(bytes.fromhex(t.data.split(b" ")[-1].decode("ascii")))
        except ValueError:
            return False

    # Copy keeps its trace in a Lines collector; waiting on it directly avoids polling.
    return copy._trace.wait_for(failed, timeout, start) is not None


def probe_send(net, i, probe, data, to="255.255.255.255"):
    """Host i's probe sends one datagram; fails the test when it cannot."""
    result = net.exec(i, [probe, "send", data.hex(), "--to", to], check=False)
    assert result.returncode == 0, (
        f"probe on host {i} could not send: {result.stderr.decode(errors='replace')}")


def announces(name, source=None):
    """A condition on a probe's Datagram: a status announcement of `name` (from `source`)."""
    return lambda d: (d.data is not None and d.data[:1] == b"a"
                      and d.data[2:].startswith(name + SEP)
                      and (source is None or d.source == source))


def rss_kib(pid):
    """The resident set of a process in KiB (VmRSS)."""
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0
