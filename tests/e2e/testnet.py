"""The private test network as a context manager for end-to-end tests.

    with TestNet(3) as net:
        listener = net.popen(2, [probe, "listen"], stdout=subprocess.PIPE)
        net.exec(1, [probe, "send", "6167"])

TestNet(n) builds hosts 1..n with tools/testnet.sh under a name of its own, so that several
test runs can exist side by side (TestNet(n, first=k): hosts 1..k on one subnet, the others on
a second, joined by a router namespace that net.popen("router", ...) runs programs in), and
always takes it down again: on a normal end, on an exception, on Ctrl-C and on SIGTERM, ending
the processes it started first. If even this process is killed outright, a watchdog started
with the network takes it down, and the next TestNet removes networks whose owner no longer
exists.

Tests that cannot get root and network namespaces end with exit code 77 (see main()), which
CTest reports as skipped.
"""

import os
import re
import secrets
import shutil
import signal
import subprocess
import sys
import time
import traceback

SKIP = 77
SUBNET = "10.77.0"

_HERE = os.path.dirname(os.path.abspath(__file__))
_DEFAULT_SCRIPT = os.path.join(_HERE, "..", "..", "tools", "testnet.sh")

# Names of our networks carry the owner's process id: "vz<pid>r<hex>".
_NAME_PATTERN = re.compile(r"^vz(\d+)r[0-9a-f]{4}$")


class Skip(Exception):
    """The test cannot run here (no root, no namespaces, a missing program)."""


class Terminated(BaseException):
    """SIGTERM or SIGHUP arrived; a BaseException so that only teardown code catches it."""

    def __init__(self, signum):
        super().__init__(f"signal {signum}")
        self.signum = signum


def _raise_terminated(signum, _frame):
    raise Terminated(signum)


def script_path():
    return os.path.abspath(os.environ.get("VELMORA_TESTNET", _DEFAULT_SCRIPT))


def require_netns():
    """Raises Skip unless this process can create network namespaces."""
    if os.geteuid() != 0:
        raise Skip("needs root for network namespaces")
    script = script_path()
    if not os.access(script, os.X_OK):
        raise Skip(f"{script} is missing or not executable")
    try:
        subprocess.run(["ip", "netns", "list"], check=True, capture_output=True, timeout=10)
    except (OSError, subprocess.SubprocessError) as error:
        raise Skip(f"'ip netns' is not usable: {error}") from None


def require_executable(path, what):
    """Raises Skip unless `path` names an executable file."""
    if not path or not (os.path.isfile(path) and os.access(path, os.X_OK)):
        raise Skip(f"{what} is not built ({path or 'path not given'})")
    return path


def _existing_networks():
    out = subprocess.run(["ip", "netns", "list"], capture_output=True, text=True).stdout
    names = set()
    for line in out.splitlines():
        ns = line.split()[0] if line.split() else ""
        if ns.endswith(("-br", "-rt")):
            names.add(ns[:-3])
        else:
            match = re.match(r"^(.*)-h\d+$", ns)
            if match:
                names.add(match.group(1))
    return names


def network_exists(name):
    """Whether any namespace of the network `name` exists."""
    return name in _existing_networks()


def remove_orphaned_networks():
    """Takes down the networks of earlier runs whose owning process has gone."""
    for name in _existing_networks():
        match = _NAME_PATTERN.match(name)
        if match and not os.path.exists(f"/proc/{match.group(1)}"):
            subprocess.run([script_path(), "down", name], capture_output=True)


# Runs in a process of its own, outside our process group: it waits until the pipe from the
# test process closes (that happens however the test process ends) and then takes the network
# down. A normal teardown has done so already, and "down" of a missing network does nothing.
_WATCHDOG = r"""
import os, subprocess, sys
# Detach from the test process, so that whoever kills the test process and its children
# (CTest on a time-out does) leaves the watchdog alone.
os.setsid()
if os.fork():
    os._exit(0)
fd = int(sys.argv[3])
while os.read(fd, 64):
    pass
subprocess.run([sys.argv[1], "down", sys.argv[2]], stdout=subprocess.DEVNULL,
               stderr=subprocess.DEVNULL)
"""


class TestNet:
    """Hosts 1..n as network namespaces on one private bridge; host i is 10.77.0.i. With `first`,
    an office of two subnets: host i is 10.77.1.i up to `first`, 10.77.2.i after it, and the
    router between them forwards (it relays no broadcast of its own accord)."""

    def __init__(self, n, script=None, first=None):
        if not 1 <= n <= 254 or (first is not None and not 1 <= first < n):
            raise ValueError("between 1 and 254 hosts, some on each subnet")
        self.n = n
        self.first = first
        self.script = os.path.abspath(script) if script else script_path()
        self.name = f"vz{os.getpid()}r{secrets.token_hex(2)}"
        self._processes = []
        self._watchdog_pipe = None
        self._old_handlers = {}
        self._up = False

    # -- life cycle --------------------------------------------------------------------------

    def __enter__(self):
        require_netns()
        remove_orphaned_networks()
        for signum in (signal.SIGTERM, signal.SIGHUP):
            self._old_handlers[signum] = signal.signal(signum, _raise_terminated)
        try:
            self._start_watchdog()
            self._up = True
            build = (["up", self.name, str(self.n)] if self.first is None else
                     ["routed", self.name, str(self.first), str(self.n - self.first)])
            result = subprocess.run([self.script, *build], capture_output=True, text=True,
                                    timeout=120)
            if result.returncode != 0:
                raise RuntimeError(f"testnet.sh up failed: {result.stderr.strip()}")
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *_exc):
        self.close()
        return False

    def close(self):
        """Ends every process started here, then removes the network. Safe to repeat."""
        # A second SIGTERM or Ctrl-C must not interrupt the teardown itself.
        interrupt_handler = signal.signal(signal.SIGINT, signal.SIG_IGN)
        for signum in self._old_handlers:
            signal.signal(signum, signal.SIG_IGN)
        try:
            self._end_processes()
            if self._up:
                subprocess.run([self.script, "down", self.name], capture_output=True, timeout=120)
                self._up = False
            if self._watchdog_pipe is not None:
                os.close(self._watchdog_pipe)
                self._watchdog_pipe = None
        finally:
            signal.signal(signal.SIGINT, interrupt_handler)
            for signum, handler in self._old_handlers.items():
                signal.signal(signum, handler)
            self._old_handlers = {}

    def _start_watchdog(self):
        read_end, write_end = os.pipe()
        try:
            subprocess.run([sys.executable, "-c", _WATCHDOG, self.script, self.name,
                            str(read_end)], pass_fds=(read_end,), stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
        finally:
            os.close(read_end)
        os.set_inheritable(write_end, False)
        self._watchdog_pipe = write_end

    def _end_processes(self):
        running = [p for p in self._processes if p.poll() is None]
        for process in running:
            _signal(process, signal.SIGTERM)
        deadline = time.monotonic() + 10
        for process in running:
            try:
                process.wait(timeout=max(0.1, deadline - time.monotonic()))
            except subprocess.TimeoutExpired:
                _signal(process, signal.SIGKILL)
                process.wait()
        self._processes = []

    # -- hosts ------------------------------------------------------------------------------

    def host(self, i):
        """The namespace name of host i (or of the "router")."""
        self._check(i)
        return f"{self.name}-rt" if i == "router" else f"{self.name}-h{i}"

    def addr(self, i):
        """The address of host i."""
        if self.first is None:
            return f"{SUBNET}.{i}"
        return f"10.77.{1 if i <= self.first else 2}.{i}"

    def command(self, i, args):
        """The command line that runs `args` inside host i."""
        return ["ip", "netns", "exec", self.host(i)] + [str(a) for a in args]

    def exec(self, i, args, timeout=60, check=True, **kw):
        """Runs `args` inside host i to the end; gives the CompletedProcess."""
        kw.setdefault("capture_output", True)
        return subprocess.run(self.command(i, args), timeout=timeout, check=check, **kw)

    def popen(self, i, args, **kw):
        """Starts `args` inside host i; the process is ended at teardown at the latest.

        "ip netns exec" replaces itself with the command, so the Popen's pid is the
        command's own and signals sent to it reach the command directly.
        """
        kw.setdefault("stdin", subprocess.DEVNULL)
        process = subprocess.Popen(self.command(i, args), **kw)
        self._processes.append(process)
        return process

    def capture(self, i, path, expression="udp port 55555"):
        """Records what host i's eth0 sees into the pcap file `path` until teardown (needs
        tcpdump). Gives the process, or None when tcpdump is not installed."""
        if shutil.which("tcpdump") is None:
            return None
        process = self.popen(i, ["tcpdump", "-i", "eth0", "-U", "-n", "-Z", "root", "-w", path,
                                 expression], stdout=subprocess.DEVNULL,
                             stderr=subprocess.PIPE)
        # tcpdump reports "listening on eth0" once it records.
        process.stderr.readline()
        return process

    def _check(self, i):
        if i == "router" and self.first is not None:
            return
        if not isinstance(i, int) or not 1 <= i <= self.n:
            raise ValueError(f"no host {i} in a network of {self.n}")


def _signal(process, signum):
    try:
        process.send_signal(signum)
    except ProcessLookupError:
        pass


def main(test, *args):
    """Runs test(*args) and ends the process: 0 passed, 1 failed, 77 skipped."""
    try:
        test(*args)
    except Skip as reason:
        print(f"SKIPPED: {reason}", flush=True)
        sys.exit(SKIP)
    except AssertionError as error:
        print(f"FAILED: {error}", flush=True)
        traceback.print_exc()
        sys.exit(1)
    except KeyboardInterrupt:
        print("INTERRUPTED", flush=True)
        sys.exit(128 + signal.SIGINT)
    except Terminated as termination:
        print(f"INTERRUPTED: {termination}", flush=True)
        sys.exit(128 + termination.signum)
    print("PASSED", flush=True)
    sys.exit(0)
