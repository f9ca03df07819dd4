"""Running real copies of the program on the test network, and reading their settings files.

    copy = Copy.start(net, 1, "ANN", workdir)     # runs on host 1 as user ANN, with --trace
    copy.wait_sent(lambda d: d.startswith(b"a"), timeout=30)
    copy.stop()                                   # SIGTERM, then waits for the end
    entries = roster_archive(copy.settings)

Each copy runs headless (QT_QPA_PLATFORM=offscreen) with a settings file, home and runtime
folder of its own under `workdir`, and the address of its host given with --address. Its
trace on stderr ("send <hex>", "recv <source> <hex>") is collected while it runs; every other
line of stderr is kept too, so that a failure can show it.
"""

import collections
import contextlib
import os
import signal
import subprocess
import tempfile

from probe import Lines, netprobe_path
from testnet import TestNet, network_exists, require_executable, require_netns

SEP = b"\xf7"


def signature(sender, address):
    """The line that ends every message: " - - - From NAME (address)"."""
    return b" - - - From " + _latin1(sender) + b" (" + _latin1(address) + b")"


def message_datagram(text, sender, address, to=None):
    """A message as a copy sends it: "m" + the recipient's address + 0xF7 for one person (`to`),
    "M" for all; then the text (its lines ended with CR LF) and the sender's signature."""
    head = b"M" if to is None else b"m" + _latin1(to) + SEP
    return head + _latin1(text) + signature(sender, address)


def receipt_datagram(sender_address, reader):
    """The confirmation "vl" + the message's sender's address + 0xF7 + the reader's name."""
    return b"vl" + _latin1(sender_address) + SEP + _latin1(reader)

# One line of a copy's stderr: kind "send" or "recv" with its datagram, or "other" with the
# line's text in `data` (and `source` None).
TraceLine = collections.namedtuple("TraceLine", "kind source data")


def program_path():
    """The built program (VELMORA_PROGRAM); Skip when it is not there."""
    return require_executable(os.environ.get("VELMORA_PROGRAM"), "the program")


def _parse_trace(line):
    parts = line.split(b" ")
    try:
        if parts[0] == b"send" and len(parts) == 2:
            return TraceLine("send", None, bytes.fromhex(parts[1].decode("ascii")))
        if parts[0] == b"recv" and len(parts) == 3:
            return TraceLine("recv", parts[1].decode("ascii"),
                             bytes.fromhex(parts[2].decode("ascii")))
    except (UnicodeDecodeError, ValueError):
        pass
    return TraceLine("other", None, line)


class Copy:
    """One running copy of the program on one host of a TestNet."""

    # Turns one raw stderr line into the trace item kept for it.
    parse_trace = staticmethod(_parse_trace)

    def __init__(self, net, i, user, folder, process):
        self.net = net
        self.host = i
        self.user = user
        self.folder = folder
        self.settings = os.path.join(folder, "vlx.ini")
        self.process = process
        self._trace = Lines(process.stderr, self.parse_trace)

    @classmethod
    def start(cls, net, i, user, workdir, program=None, settings=None, extra_args=(), env=None,
              fixed_address=True):
        """Starts a copy on host i as login `user`, with its files in workdir/copy<i>-<user>.
        `settings` ({section: {key: value}}) is written to its settings file first; `env`
        overrides environment variables (e.g. QT_QPA_PLATFORM and DISPLAY for a screen).
        Without `fixed_address` the copy gets no --address: it finds its address itself and
        follows it when it changes."""
        program = program or program_path()
        folder = os.path.join(workdir, f"copy{i}-{user}")
        runtime = os.path.join(folder, "runtime")
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        if settings:
            write_settings(os.path.join(folder, "vlx.ini"), settings)
        overrides = env or {}
        env = dict(os.environ)
        # No system bus unless the test gives one: the machine's own logind must not send a
        # copy to sleep or lock its screen in the middle of a test.
        env.update(USER=user, LOGNAME=user, HOME=folder, XDG_RUNTIME_DIR=runtime,
                   XDG_CONFIG_HOME=os.path.join(folder, "config"),
                   QT_QPA_PLATFORM="offscreen", LC_ALL="C.UTF-8",
                   DBUS_SYSTEM_BUS_ADDRESS="unix:path=" + os.path.join(folder, "no-system-bus"))
        env.update(overrides)
        address = ["--address", net.addr(i)] if fixed_address else []
        args = [program, "--settings", os.path.join(folder, "vlx.ini"), *address, "--trace",
                *extra_args]
        stdout = open(os.path.join(folder, "stdout.txt"), "wb")
        try:
            process = net.popen(i, args, env=env, stdout=stdout, stderr=subprocess.PIPE)
        finally:
            stdout.close()
        return cls(net, i, user, folder, process)

    # -- the trace ----------------------------------------------------------------------------

    @property
    def trace(self):
        return self._trace.items

    def sent(self):
        return [t.data for t in self.trace if t.kind == "send"]

    def received(self):
        """(source, datagram) of every datagram the copy dispatched, its own included."""
        return [(t.source, t.data) for t in self.trace if t.kind == "recv"]

    def messages(self):
        """The stderr lines that are not trace lines."""
        return [t.data.decode(errors="replace") for t in self.trace if t.kind == "other"]

    def wait_sent(self, condition, timeout, start=0):
        """The first sent datagram that fulfils condition(data), or None. `start` skips the
        trace lines before it (len(copy.trace) taken earlier: only what came since)."""
        line = self._trace.wait_for(lambda t: t.kind == "send" and condition(t.data), timeout,
                                    start)
        return line and line.data

    def wait_received(self, condition, timeout, start=0):
        """The first dispatched (source, datagram) that fulfils condition(source, data), from
        trace position `start` on."""
        line = self._trace.wait_for(
            lambda t: t.kind == "recv" and condition(t.source, t.data), timeout, start)
        return line and (line.source, line.data)

    # -- life cycle ---------------------------------------------------------------------------

    def running(self):
        return self.process.poll() is None

    def stop(self, timeout=30):
        """Sends SIGTERM and waits for the end; gives the exit status. A copy that does not end
        within `timeout` is killed and fails the test."""
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
        try:
            status = self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
            raise AssertionError(
                f"copy on host {self.host} did not end within {timeout} s of SIGTERM") from None
        self._trace.join()
        return status

    def describe(self):
        """Short report for failure messages: the copy's other stderr lines and its trace."""
        lines = [f"copy {self.user} on host {self.host}, exit status {self.process.poll()}"]
        lines += [f"  ! {m}" for m in self.messages()]
        for t in self.trace:
            if t.kind != "other":
                lines.append(f"  {t.kind} {t.source or ''} {show(t.data)}")
        return "\n".join(lines)


def show(data):
    """Datagram bytes as readable text for messages: 0xF7 as '|', other odd bytes escaped."""
    return "".join("|" if b == 0xF7 else chr(b) if 0x20 <= b < 0x7F else f"\\x{b:02x}"
                   for b in data)


# -- settings files ---------------------------------------------------------------------------

def read_section(path, section):
    """The keys of one section of an INI file as an ordered dict of bytes to bytes, or None when
    the file or the section does not exist. Section and key names are compared without regard
    to case, as the program does, so the keys come back in lower case; values are the bytes of
    the file (Windows-1252, 0xF7 kept), with the blanks around them removed."""
    try:
        with open(path, "rb") as f:
            content = f.read()
    except FileNotFoundError:
        return None
    wanted = section.encode("latin-1").lower()
    found = None
    current = None
    for raw in content.split(b"\n"):
        line = raw.rstrip(b"\r").strip(b" \t")
        if not line or line[:1] in (b";", b"#"):
            continue
        if line.startswith(b"["):
            name = line[1:line.find(b"]")] if b"]" in line else b""
            current = name.strip().lower()
            if current == wanted and found is None:
                found = collections.OrderedDict()
            continue
        if current == wanted and b"=" in line:
            key, _, value = line.partition(b"=")
            found.setdefault(key.strip().lower(), value.strip(b" \t"))
    return found


def _latin1(value):
    return value if isinstance(value, bytes) else str(value).encode("latin-1")


def write_settings(path, sections):
    """Writes an INI file from {section: {key: value}}; str values are stored as latin-1."""
    lines = []
    for section, keys in sections.items():
        lines.append(b"[" + _latin1(section) + b"]")
        lines += [_latin1(key) + b"=" + _latin1(value) for key, value in keys.items()]
    with open(path, "wb") as f:
        f.write(b"\r\n".join(lines) + b"\r\n")


def roster_archive(path):
    """The entries of section ipList (keys 0 .. cnt-1) as bytes, in key order."""
    section = read_section(path, "ipList") or {}
    try:
        count = int(section.get(b"cnt", b"0"))
    except ValueError:
        count = 0
    return [section[str(k).encode()] for k in range(count) if str(k).encode() in section]


def archived_addresses(path):
    """The addresses of the ipList entries (the text before the first 0xF7)."""
    return [entry.split(SEP, 1)[0].decode("latin-1") for entry in roster_archive(path)]


def started(copy, timeout=30):
    """Waits until the copy has started: its refresh request, then its answer to it."""
    request = copy.wait_sent(lambda d: d.startswith(b"r "), timeout)
    assert request is not None, f"{copy.user} did not start"
    after = next(i for i, t in enumerate(copy.trace) if t.kind == "send" and t.data == request)
    answer = copy.wait_sent(lambda d: d[:1] == b"a", timeout, after)
    assert answer is not None, f"{copy.user} did not answer its refresh request"


@contextlib.contextmanager
def stopped_at_end(copies):
    """Stops every copy of {host: Copy} at the end; when an assertion fails inside, shows what
    each copy sent and received first."""
    try:
        yield copies
    except AssertionError:
        for copy in copies.values():
            print("---", copy.describe())
        raise
    finally:
        for copy in copies.values():
            copy.stop()


def on_test_network(hosts, scenario, first=None):
    """Runs scenario(net, workdir, program, probe) on a fresh test network of `hosts` hosts (two
    subnets with `first`, see TestNet), then checks that its namespaces are gone. Skips without
    root or a built program."""
    require_netns()
    program = program_path()
    probe = netprobe_path()
    with tempfile.TemporaryDirectory(prefix="velmora-e2e-") as workdir, TestNet(hosts, first=first) as net:
        scenario(net, workdir, program, probe)
        name = net.name
    assert not network_exists(name), f"namespaces of {name} were left behind"
