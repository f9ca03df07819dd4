"""A copy killed outright (SIGKILL) while it saves never leaves a broken settings file.

KIM's copy runs on host 1 with a settings file of about 2.5 MB (2,000 long messages in
[VLXMsgs]). A probe on host 2 sends bursts of messages to all; the copy confirms each and saves
the history shortly after every burst. Each cycle starts the copy on the file, sends a burst and
kills the copy with SIGKILL, either after a random wait of up to 3 s or within moments of the
save touching the disk (seen through inotify: a save takes only milliseconds there). Two ways
of saving are put through this:

 a. replaced through a rename: the copy runs as root in a folder of its own; the kill comes
    within 4 ms of the save creating its temporary file;
 b. rewritten in place: the copy runs as KIM's own uid on a world-writable file (0666) in a
    read-only folder (0555, owned by root), where nothing can be renamed; the kill comes within
    moments of the first change to the file (as fast as the test can send the signal).

After every kill:

 - the file parses as a complete INI file (no cut line, every section a save writes, whole
   messages, the remark list as long as its count);
 - no stored message has gone or changed: the history read before is the tail of the one read
   now;
 - the copy starts on it and announces "In";
 - (a) after that start no temporary file ".vlx.ini.tmp*" older than a minute is left beside
   it, while a fresh one (planted as another copy's live save) stays.

The first cycle of (a) also checks the save itself: the burst's messages reach the file
within a generous time after their receipts, in one save for the whole burst (the file changes
at most twice while it is watched).

VELMORA_KILLS sets the number of kills, two thirds of them in (a) (12 by default; the `slow`
variant runs 200). VELMORA_SEED repeats a run's random waits.
"""

import functools
import os
import random
import stat
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from settings_files import (TEMP_PREFIX, FolderWatch, UserAccount,  # noqa: E402
                            check_complete, holds_burst, read_ini, run_each, send_burst,
                            settings_with_history, start_copy, stored_message, temp_files,
                            wait_started, wait_until)
from testnet import main  # noqa: E402
from velmora_copies import on_test_network  # noqa: E402

LOGIN = "kim"
PROBE_HOST = 2
STORED = 2000
SAVE_TIMEOUT = 20   # the save comes about 2 s after a burst; this allows a very slow machine
STALE_AGE = 60      # temporary files older than this are removed at start
AGE_SLACK = 5       # clock steps and the time the start itself takes
IN_MODIFY = 0x2


def long_message(number):
    words = "".join(f"word{w} " for w in range(number % 7, number % 7 + 40))
    return stored_message(f"Stored message {number} line {line}: {words}".encode()
                          for line in range(4))


def file_state(path):
    try:
        st = os.stat(path)
    except FileNotFoundError:
        return None
    return (st.st_ino, st.st_mtime_ns, st.st_size)


def check_after_kill(path, before, cycle):
    """The file is whole and keeps every message it held before; gives its messages."""
    ini = read_ini(path)
    check_complete(ini, LOGIN, f"settings file after kill {cycle}")
    now = ini.messages()
    assert len(now) >= len(before), (
        f"kill {cycle}: {len(now)} messages stored, {len(before)} before")
    changed = [i for i, (a, b) in enumerate(zip(now[len(now) - len(before):], before)) if a != b]
    assert not changed, (f"kill {cycle}: {len(changed)} stored messages changed, the first: "
                         f"{before[changed[0]][:300]!r}")
    return now


def check_stale_removed(folder, started_at, fresh, cycle, timeout):
    """After a start: nothing older than a minute at that start is left; `fresh` stays.
    Gives what is wrong."""
    limit = STALE_AGE + AGE_SLACK
    stale = lambda: [n for n, age in temp_files(folder).items()
                     if age - (time.time() - started_at) > limit]
    wait_until(lambda: not stale(), timeout)
    left = stale()
    if left:
        return [f"start {cycle}: stale temporary files remain: {sorted(left)}"]
    if fresh and not os.path.exists(os.path.join(folder, fresh)):
        return [f"start {cycle}: a fresh temporary file (a live save elsewhere) was removed"]
    return []


def watch_one_burst(net, probe, copy, path, tags):
    """Sends a burst and watches the file: gives (seconds from the last receipt until the
    burst is stored, number of times the file was replaced or rewritten)."""
    changes, last = 0, file_state(path)
    send_burst(net, PROBE_HOST, probe, copy, tags)
    confirmed_at = time.monotonic()
    stored_at = None
    while time.monotonic() - confirmed_at < SAVE_TIMEOUT:
        state = file_state(path)
        if state != last and state is not None:
            changes, last = changes + 1, state
            if stored_at is None:
                try:
                    if holds_burst(read_ini(path).messages()[:len(tags)], tags):
                        stored_at = time.monotonic()
                except AssertionError:
                    changes, last = changes - 1, None  # read amid an in-place write: again
        if stored_at is not None and time.monotonic() - stored_at > 1.5:
            break
        time.sleep(0.01)
    return (None if stored_at is None else stored_at - confirmed_at), changes


class Way:
    """One way of saving: where the file lies, who runs the copy, and what shows that a save
    is touching the disk."""

    def __init__(self, name, folder_mode, account, event_mask, is_save_event, delay):
        self.name = name
        self.folder_mode = folder_mode
        self.account = account
        self.event_mask = event_mask
        self.is_save_event = is_save_event
        self.delay = delay

    def kill_during_save(self, copy, watch):
        """Kills the copy just after a save touches the disk (or after 6 s without one);
        gives whether a save was caught."""
        caught = watch.wait_event(self.is_save_event, 6)
        if caught and self.delay:
            time.sleep(random.uniform(0, self.delay))
        copy.process.kill()
        return caught is not None


def run_way(net, workdir, program, probe, way, kills):
    folder = os.path.join(workdir, way.name.split()[0])
    os.mkdir(folder)
    path = os.path.join(folder, "vlx.ini")
    with open(path, "wb") as f:
        f.write(settings_with_history(LOGIN, [long_message(n) for n in range(STORED)]))
    os.chmod(path, 0o666)
    stored = read_ini(path).messages()
    assert len(stored) == STORED

    renames = way.folder_mode != 0o555
    fresh = None
    if renames:
        # A leftover of a save killed long ago, and a save under way in another copy just now.
        fresh = TEMP_PREFIX + "Live1"
        for name, age in ((TEMP_PREFIX + "Stale1", 600), (fresh, 0)):
            with open(os.path.join(folder, name), "wb") as f:
                f.write(b"[Info]\r\nlock=0\r\n[VLXMsgs]\r\n0=.ha")
            os.utime(os.path.join(folder, name), (time.time() - age, time.time() - age))
    os.chmod(folder, way.folder_mode)

    late, caught, leftovers = [], 0, set()
    for cycle in range(kills + 1):
        started_at = time.time()
        copy = start_copy(net, 1, way.account, path, program, login=LOGIN,
                          home=os.path.join(workdir, "home-root"))
        try:
            wait_started(copy)
            # Collected, not raised at once, so that the kills still test the file's integrity.
            if renames:
                late += check_stale_removed(folder, started_at, fresh if cycle == 0 else None,
                                            cycle, 2 if late else 15)
            if cycle == 0 and renames:
                tags = [f"0.{k}" for k in range(5)]
                delay, changes = watch_one_burst(net, probe, copy, path, tags)
                print(f"{way.name}: a burst of {len(tags)} was stored {delay} s after its "
                      f"receipts; the file changed {changes} times")
                if delay is None:
                    late.append(f"a confirmed burst was not stored within {SAVE_TIMEOUT} s")
                if changes > 2:
                    late.append(f"one burst of {len(tags)} was saved {changes} times")
            else:
                tags = [f"{cycle}.{k}" for k in range(random.randint(1, 4))]
            if cycle == kills:
                send_burst(net, PROBE_HOST, probe, copy, tags)
                assert copy.stop() == 0, f"the last copy did not end well:\n{copy.describe()}"
                stored = check_after_kill(path, stored, "(clean end)")
                assert holds_burst(stored[:len(tags)], tags), (
                    f"messages {tags} were confirmed before a clean end but not stored")
                break
            with FolderWatch(folder, way.event_mask) as watch:
                if cycle != 0 or not renames:
                    send_burst(net, PROBE_HOST, probe, copy, tags)
                if cycle % 3 != 2 and cycle != 0:
                    caught += way.kill_during_save(copy, watch)
                else:
                    time.sleep(random.uniform(0, 3))
                    copy.process.kill()
            copy.process.wait(timeout=30)
            stored = check_after_kill(path, stored, cycle)
            leftovers |= set(temp_files(folder)) - {fresh}
        except AssertionError:
            print("---", copy.describe())
            raise
        finally:
            if copy.running():
                copy.process.kill()
                copy.process.wait()
    print(f"{way.name}: {len(stored)} messages stored at the end; {caught} kills came as a "
          f"save touched the disk; {len(leftovers)} temporary files were left by kills")
    assert stat.S_IMODE(os.stat(path).st_mode) == 0o666, "the file's mode changed"
    assert not late, "\n".join(dict.fromkeys(late))


def run(net, workdir, program, probe):
    kills = int(os.environ.get("VELMORA_KILLS", "12"))
    seed = int(os.environ.get("VELMORA_SEED", str(int(time.time()))))
    random.seed(seed)
    print(f"{kills} kills, seed {seed}")
    os.chmod(workdir, 0o755)
    kim = UserAccount.create(workdir, LOGIN)
    ways = [
        (Way("renamed (own folder)", 0o755, None, FolderWatch.IN_CREATE,
             lambda mask, name: name.startswith(TEMP_PREFIX), 0.004), kills - kills // 3),
        (Way("in-place (read-only folder)", 0o555, kim, IN_MODIFY,
             lambda mask, name: name == "vlx.ini", 0), kills // 3),
    ]
    run_each([(way.name, functools.partial(run_way, net, workdir, program, probe, way, count))
              for way, count in ways])


def test_crash_save():
    on_test_network(2, run)


if __name__ == "__main__":
    main(test_crash_save)
