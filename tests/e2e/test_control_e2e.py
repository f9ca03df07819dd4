"""Scripts control the running copy: velmora --status/--show/--exit/--exit-out.

ANN's copy runs on host 1, a probe listens on host 3. Before ANN starts, another user (uid
65534) takes on host 1 the names in the abstract namespace that a copy of ANN's user would use:
the per-computer name and, for a copy without a runtime folder, the control name.
 a. No copy behind the runtime folder given: every command exits 1 with one line on stderr and
    nothing on the wire; so does a command given a runtime folder that others may enter.
 b. ANN takes commands through the socket file in its runtime folder, whatever the other user
    holds, and in place of the one a crashed copy left there. Each --status does what its button does: the same single datagram on the wire, byte
    for byte; a remark as typed into the remark box and confirmed (only what can be typed, a
    long one cut where the box cuts it). --show sends nothing. Each command exits 0, silently.
    --diagnose prints the copy's report: its address, port and settings file, and exits 0.
 c. The other user cannot touch ANN's copy: its command is refused for ANN's runtime folder,
    and a connection to ANN's socket is refused, with nothing done.
 d. A second start on host 1 finds the per-computer name held by the other user: it says so
    and ends with 1, sending nothing.
 e. --exit-out: Out, then the copy ends with its last word. BOB on host 2 and DOT on host 1
    have no runtime folder and take commands on a name in the abstract namespace. DOT finds
    its name held by the other user and says so; a command there finds that user's program
    and refuses it. At BOB the other user's connection is hung up on, and --exit ends BOB as
    Ctrl+C does. Both clients return once the copy has sent its last word and saved. With ANN
    gone, --diagnose prints what a copy would use and exits 1.
"""

import os
import re
import socket
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from probe import Listener, netprobe_path  # noqa: E402
from testnet import TestNet, main, require_netns  # noqa: E402
from velmora_copies import SEP, Copy, program_path, show, started  # noqa: E402

PROBE_HOST = 3
ADDR = {1: "10.77.0.1", 2: "10.77.0.2"}
WAIT = 30
LONGEST_REMARK = 32767  # what the remark box takes
NOBODY = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"]
CONTROL_NAME = f"dazuviz-velmora-control-{os.geteuid()}"

# Holds the names in the abstract namespace given as arguments, as listening stream sockets.
SQUATTER = """
import socket, sys, time
held = []
for name in sys.argv[1:]:
    s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    s.bind(b"\\0" + name.encode())
    s.listen(8)
    held.append(s)
print("held", flush=True)
time.sleep(600)
"""

# Connects to a control socket (a path, or "@name" in the abstract namespace) and asks for Out:
# prints "refused", or what came back before the hang-up.
INTRUDER = """
import socket, sys
address = sys.argv[1]
if address.startswith("@"):
    address = b"\\0" + address[1:].encode()
s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
try:
    s.connect(address)
except PermissionError:
    print("refused", end="")
    sys.exit()
s.settimeout(10)
try:
    s.sendall(b"out\\n")
    got = s.recv(64)
except (BrokenPipeError, ConnectionResetError):
    got = b""
print(repr(got), end="")
"""


def own(code, text, name=b"ANN"):
    return b"a" + code + name + SEP + b" " + text


def stamped(datagram):
    """`datagram`, or `datagram` with a time stamp " ( h:mm AM on Ddd)" after it."""
    return re.compile(re.escape(datagram) + rb"( \( ?\d{1,2}:\d\d [AP]M on \w{3}\))?", re.S)


def matches(got, expected):
    return len(got) == len(expected) and all(e.fullmatch(d) for d, e in zip(got, expected))


def control(net, host, program, *args, runtime, prefix=()):
    """Runs the program with `args` on `host`, with XDG_RUNTIME_DIR `runtime` (None: unset)."""
    env = dict(os.environ, XDG_RUNTIME_DIR=runtime or "")
    return net.exec(host, [*prefix, program, *args], timeout=WAIT, check=False, env=env)


def one_line_failure(done):
    lines = done.stderr.decode(errors="replace").splitlines()
    return done.returncode == 1 and len(lines) == 1 and not done.stdout


def folder(path, mode):
    os.makedirs(path, exist_ok=True)
    os.chmod(path, mode)
    return path


def quiet_wire(probe, host, mark, seconds=2.0):
    time.sleep(seconds)
    return [d for d in probe.seen[mark:] if d.source == ADDR.get(host)]


def run(net, workdir, program, probe_program):
    probe = Listener(net, PROBE_HOST, probe_program)
    probe.wait_ready()
    squatter = net.popen(1, [*NOBODY, sys.executable, "-c", SQUATTER, "dazuviz-velmora-55555",
                             CONTROL_NAME], stdout=subprocess.PIPE)
    assert squatter.stdout.readline() == b"held\n", "the other user's names were not taken"
    # ANN's runtime folder holds a socket file that a crashed copy left behind.
    ann_runtime = folder(os.path.join(workdir, "copy1-ANN", "runtime"), 0o700)
    left = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    left.bind(os.path.join(ann_runtime, "dazuviz-velmora-control"))
    left.close()
    ann = Copy.start(net, 1, "ANN", workdir, program)
    copies = [ann]
    try:
        # a. Nobody runs behind an empty runtime folder; one that others may enter is refused.
        empty = folder(os.path.join(workdir, "empty-runtime"), 0o700)
        for args in (["--status", "out"], ["--status", "Lunch"], ["--show"], ["--exit"]):
            mark = len(probe.seen)
            done = control(net, 2, program, *args, runtime=empty)
            assert one_line_failure(done), f"{args} without a copy: {done}"
            assert not quiet_wire(probe, 2, mark, 0.5), f"{args} without a copy sent something"
        done = control(net, 1, program, "--show",
                       runtime=folder(os.path.join(workdir, "open-runtime"), 0o755))
        assert one_line_failure(done) and b"mode 0700" in done.stderr, f"open folder: {done}"

        # b. The status commands, each as its button.
        started(ann)
        long_remark = "x" * (LONGEST_REMARK + 100)
        for args, expected in (
                (["--status", "busy"], own(b"f", b"Busy - In but unavailable")),
                (["--status", "out"], own(b"r", b"Out")),
                (["--status", "in"], own(b"g", b"In")),
                (["--status", "In a meeting"], own(b"y", b"In a meeting")),
                (["--status", "Caf\u00e9 au lait"], own(b"y", b"Caf\xe9 au lait")),
                (["--status", "Back\tat 3 \u00f7 4\r\n"], own(b"y", b"Backat 3  4")),
                (["--status", long_remark], own(b"y", b"x" * LONGEST_REMARK)),
                (["--show"], None)):
            mark, sent = len(probe.seen), len(ann.sent())
            done = control(net, 1, program, *args, runtime=ann_runtime)
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

        done = control(net, 1, program, "--diagnose", runtime=ann_runtime)
        report = done.stdout.decode().splitlines()
        assert done.returncode == 0 and not done.stderr and all(line in report for line in (
            "Own address: 10.77.0.1 (given with --address)", "Interface: eth0 (10.77.0.1/24)",
            "Datagrams go to: 255.255.255.255, UDP port 55555", "Receiving on: UDP port 55555",
            "Last send: worked", f"Settings file: {ann.settings}")), f"--diagnose: {done}"

        # c. The other user at ANN's copy.
        mark, sent = len(probe.seen), len(ann.sent())
        done = control(net, 1, program, "--status", "out", runtime=ann_runtime, prefix=NOBODY)
        assert one_line_failure(done), f"nobody's --status: {done}"
        socket_file = os.path.join(ann_runtime, "dazuviz-velmora-control")
        done = net.exec(1, [*NOBODY, sys.executable, "-c", INTRUDER, socket_file], check=False)
        assert done.returncode == 0 and done.stdout == b"refused", (
            f"nobody at ANN's socket: {done.returncode} {done.stdout!r} {done.stderr!r}")
        assert not quiet_wire(probe, 1, mark) and ann.sent()[sent:] == [], "nobody changed ANN"

        # d. A second start beside ANN, with the per-computer name in the other user's hands.
        received = len(ann.received())
        cat = Copy.start(net, 1, "CAT", workdir, program)
        copies.append(cat)
        assert cat.process.wait(timeout=WAIT) == 1, f"CAT beside ANN\n{cat.describe()}"
        cat._trace.join()
        told = [m for m in cat.messages() if m.startswith("Another user's program (")]
        assert told and "user id 65534) holds the name" in told[0], cat.describe()
        assert not cat.sent(), f"CAT sent {[show(d) for d in cat.sent()]}"
        time.sleep(1.0)
        assert (b"x" not in [d for _, d in ann.received()[received:]]), "ANN got an 'x'"

        # e. --exit-out, then --exit on a copy without a runtime folder.
        mark = len(ann.sent())
        done = control(net, 1, program, "--exit-out", runtime=ann_runtime)
        assert done.returncode == 0 and not done.stderr, f"--exit-out: {done.stderr!r}"
        assert ann.process.wait(timeout=10) == 0, "ANN did not end well after --exit-out"
        got = ann.sent()[mark:]
        assert matches(got, [stamped(own(b"r", b"Out")), stamped(own(b"r", b"Out (off-line)"))]), (
            f"--exit-out sent {[show(d) for d in got]}")
        assert not os.path.exists(socket_file), "ANN left its socket file behind"
        done = control(net, 1, program, "--diagnose", runtime=ann_runtime)
        assert (done.returncode == 1 and b"No copy runs for this user" in done.stdout
                and b"UDP port 55555" in done.stdout), f"--diagnose without ANN: {done}"

        bob = Copy.start(net, 2, "BOB", workdir, program, env={"XDG_RUNTIME_DIR": ""})
        dot = Copy.start(net, 1, "DOT", workdir, program, env={"XDG_RUNTIME_DIR": ""})
        copies += [bob, dot]
        said = dot._trace.wait_for(
            lambda t: t.kind == "other" and b"scripts cannot reach this copy" in t.data, WAIT)
        assert said and re.search(rb"another user's program \(.*user id 65534\) holds the name "
                                  + CONTROL_NAME.encode(), said.data), dot.describe()
        done = control(net, 1, program, "--show", runtime=None)
        assert one_line_failure(done) and b"another user" in done.stderr, f"DOT's --show: {done}"
        started(bob)
        mark = len(bob.sent())
        done = net.exec(2, [*NOBODY, sys.executable, "-c", INTRUDER, "@" + CONTROL_NAME],
                        check=False)
        assert done.returncode == 0 and done.stdout == b"b''", (
            f"nobody at BOB's socket: {done.returncode} {done.stdout!r} {done.stderr!r}")
        done = control(net, 2, program, "--exit", runtime=None)
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
