"""Helpers for the end-to-end tests of the settings file: copies run under other user ids, a
strict reading of the INI file, a large message history written the way the program stores it,
and a tmpfs in a mount namespace of its own.

    a = UserAccount.create(workdir, "anna")           # a free uid, its own home
    copy = start_copy(net, 1, a, "/shared/vlx.ini")   # runs as that uid, --settings given
    ini = read_ini(copy.settings)                     # raises IniDamage on a broken file
    with PrivateTmpfs(workdir, "1m") as fs: ...       # fs.inside(path) is the path from here
"""

import ctypes
import ctypes.util
import grp
import hashlib
import os
import pwd
import select
import struct
import subprocess
import time
import urllib.parse

from velmora_copies import SEP, Copy, message_datagram, program_path

START_TIMEOUT = 60  # generous: the sanitizer build starts slowly, the more so on a big file
TEMP_PREFIX = ".vlx.ini.tmp"


def wait_until(condition, timeout, step=0.05):
    """Polls condition() until it gives something true or `timeout` seconds pass; gives the
    last value."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value or time.monotonic() >= deadline:
            return value
        time.sleep(step)


def run_each(cases):
    """Runs every (label, run) of `cases`, so that one failure does not hide the next one's
    story, then fails with all of them."""
    failures = []
    for label, run in cases:
        try:
            run()
        except AssertionError as error:
            failures.append(f"{label}: {error}")
    assert not failures, "\n".join(failures)


# -- accounts ---------------------------------------------------------------------------------

def _free_uids(count, first=61200):
    """`count` numbers that are neither a user nor a group of this computer."""
    found = []
    uid = first
    while len(found) < count:
        try:
            pwd.getpwuid(uid)
        except KeyError:
            try:
                grp.getgrgid(uid)
            except KeyError:
                found.append(uid)
        uid += 1
    return found


class UserAccount:
    """A login name and a numeric uid (and gid) with a home folder of its own. No entry is
    added to the computer's user database: setpriv changes to bare numbers, and the program
    takes the login name from $USER."""

    _taken = set()

    def __init__(self, login, uid, home):
        self.login = login
        self.uid = uid
        self.home = home

    @classmethod
    def create(cls, workdir, login):
        uid = next(u for u in _free_uids(len(cls._taken) + 1) if u not in cls._taken)
        cls._taken.add(uid)
        home = os.path.join(workdir, f"home-{login}")
        runtime = os.path.join(home, "runtime")
        os.makedirs(runtime, exist_ok=True)
        for path, mode in ((home, 0o700), (runtime, 0o700)):
            os.chown(path, uid, uid)
            os.chmod(path, mode)
        return cls(login, uid, home)

    @property
    def section(self):
        """The name of this user's own section: VLX and the login name in capitals."""
        return "VLX" + self.login.upper()

    def wrapper(self):
        """The command prefix that runs a program as this account."""
        return ["setpriv", f"--reuid={self.uid}", f"--regid={self.uid}", "--clear-groups",
                "--"]


def start_copy(net, i, account, settings, program=None, prefix=(), login="kim", home=None):
    """Starts the program on host i with `--settings settings`, as `account` (a UserAccount)
    or as root when account is None (then as `login`, with `home`, by default beside the
    file). `prefix` is
    put before the whole command inside the host (e.g. nsenter into a mount namespace). The
    files are created with umask 022, the usual one, so that a shared file's mode comes from
    the program and not from a lenient umask."""
    program = os.path.abspath(program or program_path())
    if account is None:
        home = home or os.path.join(os.path.dirname(settings), f"home-{login}")
        os.makedirs(os.path.join(home, "runtime"), mode=0o700, exist_ok=True)
        wrapper = []
    else:
        home, login, wrapper = account.home, account.login, account.wrapper()
    env = session_env(login, home)
    args = [*prefix, *wrapper, program, "--settings", settings, "--address", net.addr(i),
            "--trace"]
    process = net.popen(i, args, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                        umask=0o022)
    copy = Copy(net, i, login.upper(), home, process)
    copy.settings = settings
    return copy


def session_env(login, home):
    """The environment of a login session of `login` with its home folder `home`."""
    env = dict(os.environ)
    env.update(USER=login, LOGNAME=login, HOME=home,
               XDG_RUNTIME_DIR=os.path.join(home, "runtime"),
               XDG_CONFIG_HOME=os.path.join(home, "config"),
               QT_QPA_PLATFORM="offscreen", LC_ALL="C.UTF-8")
    return env


def command_as(net, i, account, *args, timeout=30):
    """Runs the program with `args` on host i as `account`, in that account's session."""
    return net.exec(i, [*account.wrapper(), os.path.abspath(program_path()), *args],
                    timeout=timeout, check=False,
                    env=session_env(account.login, account.home))


def own_file(account):
    """The account's own settings file, where a copy saves when the shared one is unsafe."""
    return os.path.join(account.home, "config", "dazuviz-velmora", "vlx.ini")


def is_in_announcement(data):
    """The copy's "In" announcement at start, under whatever display name, with or without a
    time stamp."""
    name, sep, status = data[2:].partition(SEP)
    return data[:2] == b"ag" and sep and (status == b" In" or status.startswith(b" In ("))


def wait_started(copy, timeout=START_TIMEOUT):
    """Waits for the copy's "In" announcement; fails with its output when none comes."""
    got = copy.wait_sent(is_in_announcement, timeout)
    assert got is not None, f"the copy did not announce In:\n{copy.describe()}"


def notices(copy, text):
    """The copy's stderr lines that start with "velmora: " and contain every piece of `text`."""
    pieces = [text] if isinstance(text, str) else list(text)
    return [m for m in copy.messages()
            if m.startswith("velmora: ") and all(p in m for p in pieces)]


def burst_message(tag, sender_address):
    """A two-line message to all, told apart from others by `tag`."""
    return message_datagram(b"Burst message " + tag.encode() + b"\r\nwith a second line\r\n",
                            b"PROBE", sender_address)


def send_burst(net, host, probe, copy, tags):
    """Sends one message per tag from `host` at once; waits until the copy has confirmed
    every one (its receipts "v..." on the wire)."""
    mark = len(copy.trace)
    senders = [net.popen(host, [probe, "send", burst_message(t, net.addr(host)).hex()],
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL) for t in tags]
    for sender in senders:
        sender.wait(timeout=30)
    receipts = lambda: [t for t in copy.trace[mark:] if t.kind == "send" and t.data[:1] == b"v"]
    confirmed = wait_until(lambda: len(receipts()) >= len(tags), 30)
    assert confirmed, f"the copy did not confirm the burst {tags}:\n{copy.describe()}"


def holds_burst(messages, tags):
    """Whether every tagged message is among `messages`."""
    texts = b"".join(messages)
    return all(b"Burst message " + t.encode() + b"\r\n" in texts for t in tags)


# -- the file ---------------------------------------------------------------------------------

class IniDamage(AssertionError):
    """The settings file is not a complete INI file."""


class Ini:
    """A settings file read strictly: sections in file order, keys compared without case."""

    def __init__(self, raw, sections):
        self.raw = raw
        self.sections = sections  # [(name, {lower key: value})]

    def names(self):
        return [name for name, _ in self.sections]

    def section(self, name):
        for found, keys in self.sections:
            if found.lower() == name.lower():
                return keys
        return None

    def value(self, section, key):
        keys = self.section(section)
        return None if keys is None else keys.get(key.lower().encode("latin-1"))

    def messages(self):
        """The stored messages of [VLXMsgs] (decoded, lines joined with CR LF), first to last."""
        keys = self.section("VLXMsgs") or {}
        messages, lines = [], []
        for key in range(len(keys)):
            value = keys.get(str(key).encode())
            if value is None:
                break
            if value == b"^":
                messages.append(b"\r\n".join(lines))
                lines = []
            else:
                lines.append(decode_line(value))
        return messages


def parse_ini(raw, what="settings file"):
    """Parses bytes strictly; raises IniDamage for a cut last line or a line that is neither a
    section, a key, a comment nor blank."""
    first_nul = raw.find(b"\0")
    if first_nul >= 0:
        raise IniDamage(f"{what} holds {raw.count(0)} NUL bytes, the first at byte {first_nul} "
                        f"of {len(raw)}, after {raw[max(0, first_nul - 60):first_nul]!r}")
    if raw and not raw.endswith(b"\n"):
        raise IniDamage(f"{what} ends inside a line: ...{raw[-80:]!r}")
    sections = []
    current = None
    for number, line in enumerate(raw.split(b"\n")[:-1] if raw else [], 1):
        line = line.rstrip(b"\r").strip(b" \t")
        if not line or line[:1] in (b";", b"#"):
            continue
        if line.startswith(b"["):
            if not line.endswith(b"]"):
                raise IniDamage(f"{what} line {number}: broken section header {line[:80]!r}")
            current = {}
            sections.append((line[1:-1].strip().decode("latin-1"), current))
        elif b"=" in line and current is not None:
            key, _, value = line.partition(b"=")
            current.setdefault(key.strip().lower(), value.strip(b" \t"))
        else:
            raise IniDamage(f"{what} line {number}: not a key {line[:80]!r}")
    return Ini(raw, sections)


# A rewrite in place first puts a whole new copy behind the old content, after this line and
# its "<length> <sha1>"; the program reads the newest whole copy, else what stands before it.
PENDING = b"\n;~velmora-pending "


def settle(raw):
    end = len(raw)
    while (at := raw.rfind(PENDING, 0, end)) >= 0:
        line_end = raw.find(b"\n", at + len(PENDING), end)
        fields = raw[at + len(PENDING):line_end].split(b" ") if line_end >= 0 else []
        if len(fields) == 2 and fields[0].isdigit():
            copy = raw[line_end + 1:line_end + 1 + int(fields[0])]
            if len(copy) == int(fields[0]) and line_end + 1 + len(copy) <= end and \
                    hashlib.sha1(copy).hexdigest().encode() == fields[1]:
                return copy
        end = at + 1
    head = raw[:end]
    # A marker line cut short is a comment the program skips.
    last = head.rfind(b"\n") + 1
    if last < len(head) and PENDING[1:].startswith(head[last:]):
        head = head[:last]
    return head


def read_ini(path):
    with open(path, "rb") as f:
        return parse_ini(settle(f.read()), path)


def check_complete(ini, login, what="settings file"):
    """What every save writes is there and whole: the common sections, the user's own, five
    colours, a message history of whole messages and a remark list as long as its count."""
    names = [n.lower() for n in ini.names()]
    for wanted in ("Info", "VLX", "VLX" + login.upper(), "Color", "ipList", "VLXMsgs", "VLXlb"):
        if wanted.lower() not in names:
            raise IniDamage(f"{what} lacks [{wanted}]; sections: {ini.names()}")
    colours = ini.section("Color")
    if len(colours) != 5:
        raise IniDamage(f"{what}: [Color] has {sorted(colours)}")
    history = ini.section("VLXMsgs")
    keys = sorted(int(k) for k in history if k.isdigit())
    if keys != list(range(len(keys))) or (keys and history[str(keys[-1]).encode()] != b"^"):
        raise IniDamage(f"{what}: [VLXMsgs] is not whole messages (keys {len(keys)}, "
                        f"last {history.get(str(len(keys) - 1).encode())!r})")
    remarks = ini.section("VLXlb")
    count = int(remarks.get(b"cnt", b"-1"))
    if any(str(k).encode() not in remarks for k in range(count + 1)):
        raise IniDamage(f"{what}: [VLXlb] cnt={count} but keys {sorted(remarks)}")


# The program keeps a message line as "." + the line, every character after the first combined
# with 0x1E (odd positions) or 0x1C (even positions); a line that would then not read back
# exactly is kept as "~" + the line percent-encoded.
def _scramble(data):
    return bytes([data[0]] + [b ^ (0x1C if i % 2 else 0x1E) for i, b in enumerate(data)
                              if i > 0]) if data else data


def encode_line(line):
    plain = _scramble(b"." + line)
    if not any(c in plain for c in b"\r\n\0") and plain[-1:] not in (b" ", b"\t"):
        return plain
    return b"~" + urllib.parse.quote_from_bytes(line, safe="").encode()


def decode_line(value):
    if value.startswith(b"~"):
            return urllib.parse.unquote_to_bytes(value[1:])
    return _scramble(value)[1:]


def stored_message(lines, arrived=b" at 9:15 AM on Mon "):
    """A received message as [VLXMsgs] keeps it: its lines, the arrival line, a blank line."""
    return list(lines) + [arrived, b" "]


def settings_with_history(login, messages, remarks=("On the phone", "In a meeting")):
    """The bytes of a settings file as a save writes it, holding `messages` (each a list of
    lines) in [VLXMsgs]."""
    out = [b"[Info]", b"lock=0", b"IP=10.77.0.1", b"v= Dazuviz Velmora 2.9", b"d=Aug 4, 2001",
           b"[VLX" + login.upper().encode() + b"]", b"name=" + login.upper().encode(),
           b"[VLX]", b"IPAdr=255.255.255.255", b"msg1=1", b"msgSnd=0", b"ShwTime=1",
           b"[ipList]", b"cnt=1",
           b"[Color]", b"In=65280", b"Out=255", b"Busy=16711935", b"Rest=65535",
           b"inActive=12632256", b"[VLXMsgs]"]
    key = 0
    for message in messages:
        for line in message:
            out.append(str(key).encode() + b"=" + encode_line(line))
            key += 1
        out.append(str(key).encode() + b"=^")
        key += 1
    out.append(b"[VLXlb]")
    out.append(b"cnt=" + str(len(remarks) - 1).encode())
    out += [str(i).encode() + b"=" + r.encode() for i, r in enumerate(remarks)]
    return b"\r\n".join(out) + b"\r\n"


def temp_files(folder):
    """{name: age in seconds} of the save's temporary files in `folder`."""
    now = time.time()
    found = {}
    for name in os.listdir(folder):
        if name.startswith(TEMP_PREFIX):
            try:
                found[name] = now - os.lstat(os.path.join(folder, name)).st_mtime
            except FileNotFoundError:
                pass
    return found


class FolderWatch:
    """Tells at once of files created or opened in a folder (inotify), so that a test can act
    in the few milliseconds a save takes; polling the folder misses them."""

    IN_OPEN = 0x20
    IN_CREATE = 0x100
    IN_CLOEXEC = 0o2000000

    def __init__(self, folder, mask=IN_CREATE):
        self._libc = ctypes.CDLL(ctypes.util.find_library("c"), use_errno=True)
        self._fd = self._libc.inotify_init1(self.IN_CLOEXEC)
        if self._fd < 0:
            raise OSError(ctypes.get_errno(), "inotify_init1")
        if self._libc.inotify_add_watch(self._fd, os.fsencode(folder), mask) < 0:
            os.close(self._fd)
            raise OSError(ctypes.get_errno(), f"inotify_add_watch {folder}")
        self._pending = []

    def __enter__(self):
        return self

    def __exit__(self, *_exc):
        os.close(self._fd)
        return False

    def wait_event(self, condition, timeout):
        """The next (mask, name) that fulfils condition(mask, name), or None after `timeout`
        seconds."""
        deadline = time.monotonic() + timeout
        while True:
            while self._pending:
                event = self._pending.pop(0)
                if condition(*event):
                    return event
            remaining = deadline - time.monotonic()
            if remaining <= 0 or not select.select([self._fd], [], [], remaining)[0]:
                return None
            data = os.read(self._fd, 65536)
            at = 0
            while at + 16 <= len(data):
                _wd, mask, _cookie, size = struct.unpack_from("iIII", data, at)
                name = data[at + 16:at + 16 + size].rstrip(b"\0").decode(errors="replace")
                self._pending.append((mask, name))
                at += 16 + size

    def wait_created(self, prefix, timeout):
        """The name of the next file created whose name starts with `prefix`, or None."""
        event = self.wait_event(lambda mask, name: mask & self.IN_CREATE and
                                name.startswith(prefix), timeout)
        return event and event[1]


# -- a file system of its own -----------------------------------------------------------------

class PrivateTmpfs:
    """A small tmpfs mounted on `folder` inside a mount namespace of its own, held open by a
    sleeping process; nothing is mounted in the namespace of the test. Programs enter it with
    the `prefix` command; the test reaches its files through inside(path). Leaving the context
    ends the holder, which takes the mount with it."""

    def __init__(self, workdir, size):
        self.folder = os.path.join(workdir, "mnt")
        self.size = size
        self.holder = None

    def __enter__(self):
        os.makedirs(self.folder, exist_ok=True)
        script = (f"mount -t tmpfs -o size={self.size},mode=0755 velmora-test {self.folder} "
                  "&& echo mounted && exec sleep 100000")
        self.holder = subprocess.Popen(
            ["unshare", "--mount", "--propagation", "private", "sh", "-c", script],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, stdin=subprocess.DEVNULL)
        line = self.holder.stdout.readline()
        if line.strip() != b"mounted":
            self.__exit__()
            raise AssertionError(f"could not mount a tmpfs: {self.holder.stderr.read()!r}")
        return self

    def __exit__(self, *_exc):
        if self.holder is not None and self.holder.poll() is None:
            self.holder.kill()
            self.holder.wait()
        return False

    @property
    def prefix(self):
        return ["nsenter", f"--target={self.holder.pid}", "--mount", "--"]

    def inside(self, path):
        """The path of `path` (under the mount) as the test reaches it."""
        return f"/proc/{self.holder.pid}/root{os.path.abspath(path)}"

    def remount(self, options):
        subprocess.run([*self.prefix, "mount", "-o", f"remount,{options}", self.folder],
                       check=True, capture_output=True, timeout=30)
