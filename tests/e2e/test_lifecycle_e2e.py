"""A copy's life from start to end, on the test network with a probe on host 3.

 a. ANN's first datagrams on the wire are "ag ANN|In..." and "r ANN"; its own refresh request
    makes it announce again on the next tick of the one-second timer.
 b. A proxy "z" from the probe makes ANN Busy (a refresh request then shows it on the wire);
    Ctrl+C ends ANN as "Out  (off-line)" (Busy counts as In for "Exit as Out") and saves.
 c. BOB runs with shtdwnOut=1; a second start on BOB's host brings BOB forward with an "x"
    datagram and ends at once with status 0, announcing nothing. SIGTERM then ends BOB as
    "Out <shut down>", and its settings file is written anew (its own address in [Info]).
 d. Another program holds the port on ANN's host: a start there says so and ends with 1.
"""

import os
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from probe import Listener, netprobe_path  # noqa: E402
from testnet import TestNet, main, require_netns  # noqa: E402
from velmora_copies import SEP, Copy, program_path, read_section, show  # noqa: E402

PROBE_HOST = 3
ANN, BOB = b"ANN", b"BOB"
ADDR = {1: "10.77.0.1", 2: "10.77.0.2"}
WAIT = 30  # generous: the sanitizer build starts slowly


def is_announcement(name):
    return lambda d: d[:1] == b"a" and d[2:].startswith(name + SEP + b" ")


def last_word(name, code, text):
    """The end announcement, with or without a time stamp " ( h:mm AM on Ddd)" after it."""
    expected = b"a" + code + name + SEP + b" " + text
    return lambda d: d == expected or d.startswith(expected + b" ( ")


def mtime(path):
    return os.stat(path).st_mtime_ns if os.path.exists(path) else None


def run(net, workdir, program, probe_program):
    probe = Listener(net, PROBE_HOST, probe_program)
    probe.wait_ready()
    send = lambda data: net.exec(PROBE_HOST, [probe_program, "send", data.hex()])
    from_host = lambda i, cond: lambda d: d.source == ADDR[i] and cond(d.data)
    ann = Copy.start(net, 1, "ANN", workdir, program)
    bob = Copy.start(net, 2, "BOB", workdir, program, settings={"VLX": {"shtdwnOut": "1"}})
    copies = [ann, bob]
    late = []
    try:
        # a. Start sequence: announcement In, refresh request, announcement again ~1 s later.
        first = probe.wait_for(lambda d: d.source == ADDR[1], WAIT)
        t_first = time.monotonic()
        assert first is not None, "nothing on the wire from ANN"
        assert first.data.startswith(b"ag" + ANN + SEP + b" In"), f"first: {show(first.data)}"
        at = probe.seen.index(first) + 1
        second = probe.wait_for(lambda d: d.source == ADDR[1], WAIT, at)
        assert second is not None and second.data == b"r " + ANN, (
            f"second datagram of ANN: {second and show(second.data)}")
        at = probe.seen.index(second) + 1
        again = probe.wait_for(from_host(1, is_announcement(ANN)), WAIT, at)
        delay = time.monotonic() - t_first
        assert again is not None, "ANN did not announce again after its refresh request"
        assert 0.5 <= delay <= 3.0, f"second announcement after {delay:.2f} s, not about 1 s"

        # c (first half). A second start on BOB's host defers to the running copy.
        assert bob.wait_sent(is_announcement(BOB), WAIT), "BOB did not start"
        mark = len(bob.trace)
        started = time.monotonic()
        twin = Copy.start(net, 2, "BOB2", workdir, program)
        copies.append(twin)
        try:
            status = twin.process.wait(timeout=15)
        except subprocess.TimeoutExpired:
            raise AssertionError("a second copy on the same host kept running") from None
        took = time.monotonic() - started
        twin._trace.join()
        assert status == 0, f"second copy ended with {status}\n{twin.describe()}"
        assert took < 10, f"second copy took {took:.1f} s to give way"
        # Checked at the end, so that one fault does not hide the others.
        if twin.sent() != [b"x"]:
            late.append(f"the second copy sent {[show(d) for d in twin.sent()]}, not only 'x'")
        got = bob._trace.wait_for(lambda t: t.kind == "recv" and t.data == b"x", 10, mark)
        assert got is not None and got.source == ADDR[2], "BOB did not dispatch the 'x'"

        # b. Busy through a proxy, then Ctrl+C.
        busy = b"Busy - In but unavailable"
        send(b"zf" + ADDR[1].encode() + SEP + ANN + SEP + b" " + busy)
        assert ann.wait_received(lambda s, d: d[:1] == b"z", WAIT), "ANN missed the proxy"
        mark = len(probe.seen)
        send(b"r PROBE")
        shown = probe.wait_for(from_host(1, is_announcement(ANN)), 10, mark)
        assert shown is not None and shown.data.startswith(b"af" + ANN + SEP + b" " + busy), (
            f"ANN did not take over Busy: {shown and show(shown.data)}")
        before = mtime(ann.settings)
        mark = len(probe.seen)
        ann.process.send_signal(signal.SIGINT)
        assert ann.process.wait(timeout=WAIT) == 0, f"ANN on SIGINT\n{ann.describe()}"
        end = probe.wait_for(from_host(1, last_word(ANN, b"r", b"Out  (off-line)")), 10, mark)
        assert end is not None, (
            f"ANN's last word: {[show(d.data) for d in probe.seen[mark:] if d.source == ADDR[1]]}")
        assert mtime(ann.settings) not in (None, before), "ANN did not save on exit"
        assert (read_section(ann.settings, "Info") or {}).get(b"ip") == ADDR[1].encode()

        # c (second half). Log-off with "Show Out on power down".
        written = mtime(bob.settings)
        mark = len(probe.seen)
        assert bob.stop(timeout=WAIT) == 0, f"BOB on SIGTERM\n{bob.describe()}"
        end = probe.wait_for(from_host(2, last_word(BOB, b"r", b"Out <shut down>")), 10, mark)
        assert end is not None, (
            f"BOB's last word: {[show(d.data) for d in probe.seen[mark:] if d.source == ADDR[2]]}")
        assert mtime(bob.settings) != written, "BOB's settings file was not written"
        info = read_section(bob.settings, "Info") or {}
        assert info.get(b"ip") == ADDR[2].encode(), f"BOB's [Info]: {dict(info)}"
        assert (read_section(bob.settings, "VLX") or {}).get(b"shtdwnout") == b"1"

        # d. The port taken by a program that is not a copy.
        holder = net.popen(1, [sys.executable, "-c",
                               "import socket,sys,time\n"
                               "s=socket.socket(socket.AF_INET,socket.SOCK_DGRAM)\n"
                               "s.bind(('0.0.0.0',55555))\nprint('bound',flush=True)\n"
                               "time.sleep(60)"], stdout=subprocess.PIPE)
        assert holder.stdout.readline() == b"bound\n", "the port holder did not start"
        taken = Copy.start(net, 1, "CAT", workdir, program)
        copies.append(taken)
        assert taken.process.wait(timeout=WAIT) == 1, f"start on a taken port\n{taken.describe()}"
        taken._trace.join()
        said = "UDP port 55555 is in use by another program (Address already in use)."
        assert said in taken.messages() and not taken.sent(), taken.describe()
        holder.kill()
        assert not late, "; ".join(late)
    except AssertionError:
        for d in probe.seen:
            print(f"  wire {d.source} {show(d.data) if d.data is not None else '?'}")
        for copy in copies:
            print("---", copy.describe())
        raise


def test_lifecycle():
    require_netns()
    program, probe = program_path(), netprobe_path()
    with tempfile.TemporaryDirectory(prefix="velmora-life-") as workdir, TestNet(3) as net:
        run(net, workdir, program, probe)


if __name__ == "__main__":
    main(test_lifecycle)
