"""Scripts control the running copy: velmora --status/--show/--exit/--exit-out.

ANN's copy runs on host 1, a probe listens on host 3.
 a. No copy on host 2: every command there exits 1 with one line on stderr and nothing on the
    wire.
 b. Each --status does what its button does: the same single datagram on the wire, byte for
    byte; a remark as typed into the remark box and confirmed, a long one cut where the box
    cuts it. --show sends nothing. Each command exits 0, silently.
 c. Another user (uid 65534) cannot touch ANN's copy: its own command finds no copy, and a
    connection to ANN's socket is hung up on without anything done.
 d. --exit-out: Out, then the copy ends with its last word; --exit on a second copy ends it as
    Ctrl+C does. Both clients return once the copy has sent its last word and saved.
"""

import os
import re
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from probe import Listener, netprobe_path  # noqa: E402
from testnet import TestNet, main, require_netns  # noqa: E402
from velmora_copies import SEP, Copy, program_path, show  # noqa: E402

PROBE_HOST = 3
ADDR = {1: "10.77.0.1", 2: "10.77.0.2"}
WAIT = 30
LONGEST_REMARK = 32767  # what the remark box takes
NOBODY = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]


def own(code, text, name=b"ANN"):
    return b"a" + code + name + SEP + b" " + text


def stamped(datagram):
    """`datagram`, or `datagram` with a time stamp " ( h:mm AM on Ddd)" after it."""
    return re.compile(re.escape(datagram) + rb"( \( ?\d{1,2}:\d\d [AP]M on \w{3}\))?", re.S)


def matches(got, expected):
    return len(got) == len(expected) and all(e.fullmatch(d) for d, e in zip(got, expected))


def control(net, host, program, *args, prefix=()):
    return net.exec(host, [*prefix, program, *args], timeout=WAIT, check=False)


def quiet_wire(probe, host, mark, seconds=2.0):
    time.sleep(seconds)
    return [d for d in probe.seen[mark:] if d.source == ADDR.get(host)]


def started(copy):
    """Waits until the copy has started: its refresh request, then its answer to it."""
    request = copy.wait_sent(lambda d: d.startswith(b"r "), WAIT)
    assert request is not None, f"{copy.user} did not start"
    after = next(i for i, t in enumerate(copy.trace) if t.kind == "send" and t.data == request)
    assert copy.wait_sent(lambda d: d[:1] == b"a", WAIT, after), (
        f"{copy.user} did not answer its refresh request")


def run(net, workdir, program, probe_program):
    probe = Listener(net, PROBE_HOST, probe_program)
    probe.wait_ready()
    ann = Copy.start(net, 1, "ANN", workdir, program)
    copies = [ann]
    try:
        # a. Nobody runs on host 2.
        for args in (["--status", "out"], ["--status", "Lunch"], ["--show"], ["--exit"]):
            mark = len(probe.seen)
            done = control(net, 2, program, *args)
            lines = done.stderr.decode(errors="replace").splitlines()
            assert done.returncode == 1 and len(lines) == 1 and not done.stdout, (
                f"{args} without a copy: {done.returncode} {lines} {done.stdout!r}")
            assert not quiet_wire(probe, 2, mark, 0.5), f"{args} without a copy sent something"

        # b. The status commands, each as its button.
        started(ann)
        long_remark = "x" * (LONGEST_REMARK + 100)
        for args, expected in (
                (["--status", "busy"], own(b"f", b"Busy - In but unavailable")),
                (["--status", "out"], own(b"r", b"Out")),
                (["--status", "in"], own(b"g", b"In")),
                (["--status", "In a meeting"], own(b"y", b"In a meeting")),
                (["--status", "Caf\u00e9 au lait"], own(b"y", b"Caf\xe9 au lait")),
                (["--status", long_remark], own(b"y", b"x" * LONGEST_REMARK)),
                (["--show"], None)):
            mark, sent = len(probe.seen), len(ann.sent())
            done = control(net, 1, program, *args)
            assert done.returncode == 0 and not done.stdout and not done.stderr, (
                f"{args[:1]}: {done.returncode} {done.stdout!r} {done.stderr!r}")
            time.sleep(1.0)
            got = ann.sent()[sent:]
            expected = [stamped(expected)] if expected else []
            assert matches(got, expected), (
                f"{args[:1]} {args[1][:20] if len(args) > 1 else ''}: sent "
                f"{[show(d)[:60] for d in got]}")
            if expected and len(got[0]) < 1400:
                on_wire = [d.data for d in probe.seen[mark:] if d.source == ADDR[1]]
                assert on_wire == got, f"on the wire: {[show(d) for d in on_wire]}"

        # c. Another user.
        mark, sent = len(probe.seen), len(ann.sent())
        done = control(net, 1, program, "--status", "out", prefix=NOBODY)
        assert done.returncode == 1 and len(done.stderr.splitlines()) == 1, (
            f"nobody's --status: {done.returncode} {done.stderr!r}")
        intruder = ("import socket,sys\n"
                    "s=socket.socket(socket.AF_UNIX,socket.SOCK_STREAM)\n"
                    "s.connect(b'\\0dazuviz-velmora-control-%d')\n"
                    "s.settimeout(10)\n"
                    "try:\n"
                    " s.sendall(b'out\\n')\n"
                    " got=s.recv(64)\n"
                    "except (BrokenPipeError, ConnectionResetError): got=b''\n"
                    "sys.stdout.write(repr(got))\n" % os.geteuid())
        done = net.exec(1, [*NOBODY, sys.executable, "-c", intruder], check=False)
        assert done.returncode == 0 and done.stdout == b"b''", (
            f"nobody at ANN's socket: {done.returncode} {done.stdout!r} {done.stderr!r}")
        assert not quiet_wire(probe, 1, mark) and ann.sent()[sent:] == [], "nobody changed ANN"

        # d. --exit-out, then --exit on a new copy.
        mark = len(ann.sent())
        done = control(net, 1, program, "--exit-out")
        assert done.returncode == 0 and not done.stderr, f"--exit-out: {done.stderr!r}"
        assert ann.process.wait(timeout=10) == 0, "ANN did not end well after --exit-out"
        got = ann.sent()[mark:]
        assert matches(got, [stamped(own(b"r", b"Out")), stamped(own(b"r", b"Out (off-line)"))]), (
            f"--exit-out sent {[show(d) for d in got]}")

        bob = Copy.start(net, 1, "BOB", workdir, program)
        copies.append(bob)
        started(bob)
        mark = len(bob.sent())
        done = control(net, 1, program, "--exit")
        assert done.returncode == 0 and not done.stderr, f"--exit: {done.stderr!r}"
        assert bob.process.wait(timeout=10) == 0, "BOB did not end well after --exit"
        got = bob.sent()[mark:]
        assert matches(got, [stamped(own(b"r", b"Out  (off-line)", b"BOB"))]), (
            f"--exit sent {[show(d) for d in got]}")
    except AssertionError:
        for copy in copies:
            print("---", "\n".join(line[:200] for line in copy.describe().splitlines()))
        raise
    finally:
        for copy in copies:
            copy.stop()


def test_control():
    require_netns()
    program, probe = program_path(), netprobe_path()
    with tempfile.TemporaryDirectory(prefix="velmora-control-") as workdir:
        os.chmod(workdir, 0o755)
        with TestNet(3) as net:
            run(net, workdir, program, probe)


if __name__ == "__main__":
    main(test_control)
