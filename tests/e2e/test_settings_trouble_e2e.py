"""The settings file cannot be written or read: the copy stays up, says so once, and loses
nothing. A probe on host 2 sends the messages (each accepted message is a save moment).

 1. Full disk, then a read-only mount. LEE's file lies on a 1 MiB tmpfs of a mount namespace
    of its own. The tmpfs is filled up; two bursts of messages arrive (two failing saves): the
    copy keeps running, prints exactly one line "velmora: ... could not be saved ..." naming the
    file, leaves the old file whole and no temporary file. Once the space is freed, the next
    burst's save stores all three bursts. The tmpfs is then remounted read-only: a new failure,
    so exactly one more such line for two more bursts. Back to read-write, the log-off
    (SIGTERM) stores every message.
 2. Full disk where the file is rewritten in place: KIM's copy runs as his own uid on a
    world-writable file (0666) in a read-only folder (0555) on the tmpfs; the file ends just
    short of a page, so the save needs more space. With the tmpfs full a burst makes one such
    line, the file stays byte for byte as it was (no half-written content, no zeros added);
    once the space is freed the next burst's save stores both bursts. The line must not blame
    permissions, which the user has.
 3. A file that must not be used, put there by OLGA, another account; PETE's copy runs as his
    own uid: a file of mode 0000 in a folder Pete may write, a link in a 1777 folder to a file
    of Pete's, and Olga's shared file replaced by a FIFO after Pete's copy started. The copy
    starts on the defaults (announces under his login name, not the name a file holds), prints
    one line "velmora: ... cannot be used safely ..." naming Pete's own file, keeps answering
    --status, and after a message and a log-off the message is in Pete's own file, while what
    Olga put there (and the file her link points to) is byte for byte, owner and mode as it
    was.
"""

import functools
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from settings_files import (PrivateTmpfs, UserAccount, check_complete,  # noqa: E402
                            command_as, holds_burst, notices, own_file, parse_ini, read_ini,
                            run_each, send_burst, settings_with_history, start_copy,
                            stored_message, temp_files,
                            wait_started, wait_until)
from testnet import main  # noqa: E402
from velmora_copies import SEP, on_test_network, stopped_at_end  # noqa: E402

PROBE_HOST = 2
NOTICE_TIMEOUT = 20  # a save comes about 2 s after a message
SETTLE = 4           # long enough for one more save moment (2 s after a message) to pass
SEEDED = [stored_message([b"Seeded message %d" % n]) for n in range(3)]


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def fill_up(folder):
    """Writes a file into `folder` until its file system is full; gives the file's path."""
    filler = os.path.join(folder, "filler")
    with open(filler, "wb", buffering=0) as f:
        try:
            while True:
                f.write(b"\0" * 65536)
        except OSError:
            pass
        try:
            while True:
                f.write(b"\0" * 512)
        except OSError:
            pass
    return filler


def failed_saves(copy, path):
    return notices(copy, ["could not be saved", path])


def full_disk_and_read_only(net, workdir, program, probe):
    with PrivateTmpfs(workdir, "1m") as fs:
        path = os.path.join(fs.folder, "vlx.ini")
        here = fs.inside(path)
        with open(here, "wb") as f:
            f.write(settings_with_history("lee", SEEDED))
        copy = start_copy(net, 1, None, path, program, prefix=fs.prefix, login="lee",
                          home=os.path.join(workdir, "home-lee"))
        with stopped_at_end({1: copy}):
            wait_started(copy)
            original = read_bytes(here)
            kinds = [("full disk", lambda: fill_up(fs.inside(fs.folder)),
                      lambda filler: os.unlink(filler)),
                     ("read-only mount", lambda: fs.remount("ro"),
                      lambda _: fs.remount("rw"))]
            sent, late = [], []
            for number, (kind, break_it, mend_it) in enumerate(kinds):
                broken = break_it()
                first, second = [f"{kind} {n}" for n in (1, 2)]
                send_burst(net, PROBE_HOST, probe, copy, [first])
                sent.append(first)
                wait_until(lambda: len(failed_saves(copy, path)) > number, NOTICE_TIMEOUT)
                send_burst(net, PROBE_HOST, probe, copy, [second])
                sent.append(second)
                time.sleep(SETTLE)
                assert copy.running(), f"{kind}: the copy ended:\n{copy.describe()}"
                now = read_bytes(here)
                assert now == original, f"{kind}: the file changed while it could not be saved"
                left = temp_files(fs.inside(fs.folder))
                assert not left, f"{kind}: temporary files left behind: {sorted(left)}"
                lines = failed_saves(copy, path)
                print(f"{kind}: {lines[-1] if lines else 'nothing told'}")
                if len(lines) != number + 1:
                    late.append(f"{kind}: {len(lines)} 'could not be saved' lines naming "
                                f"{path} after {number + 1} failure runs: {copy.messages()}")
                mend_it(broken)
                if number == 0:
                    # The next save moment writes everything kept meanwhile.
                    third = f"{kind} 3"
                    send_burst(net, PROBE_HOST, probe, copy, [third])
                    sent.append(third)
                    saved = wait_until(lambda: holds_burst(
                        parse_ini(read_bytes(here)).messages(), sent), NOTICE_TIMEOUT)
                    assert saved, f"{kind}: after freeing space the messages were not saved"
                    original = read_bytes(here)
            assert copy.stop() == 0, f"the copy did not end well:\n{copy.describe()}"
            ini = parse_ini(read_bytes(here), path)
            check_complete(ini, "lee")
            stored = ini.messages()
            assert holds_burst(stored, sent), f"messages lost: {sent} not all in {stored[:6]}"
            assert len(stored) == len(SEEDED) + len(sent), f"{len(stored)} messages stored"
            assert not late, "; ".join(late)


def sized_settings(login, size_mod_page):
    """Settings bytes whose length ends `size_mod_page` bytes into a 4 KiB page (the seeded
    messages plus one padding message)."""
    for pad in range(4096):
        content = settings_with_history(login, SEEDED + [[b"p" * (pad + 1), b" "]])
        if len(content) % 4096 == size_mod_page:
            return content
    raise AssertionError("no padding gives the wanted size")


def full_disk_in_place(net, workdir, program, probe):
    os.chmod(workdir, 0o755)
    kim = UserAccount.create(workdir, "kim")
    with PrivateTmpfs(workdir, "1m") as fs:
        folder = os.path.join(fs.folder, "readonly")
        here_folder = fs.inside(folder)
        os.mkdir(here_folder)
        path = os.path.join(folder, "vlx.ini")
        here = fs.inside(path)
        with open(here, "wb") as f:
            f.write(sized_settings("kim", 4000))
        os.chmod(here, 0o666)
        os.chmod(here_folder, 0o555)
        copy = start_copy(net, 1, kim, path, program, prefix=fs.prefix)
        with stopped_at_end({1: copy}):
            wait_started(copy)
            original = read_bytes(here)
            filler = fill_up(fs.inside(fs.folder))
            send_burst(net, PROBE_HOST, probe, copy, ["in place 1"])
            told = wait_until(lambda: failed_saves(copy, path), NOTICE_TIMEOUT)
            time.sleep(SETTLE if not told else 0)
            assert copy.running(), f"the copy ended:\n{copy.describe()}"
            assert read_bytes(here) == original, (
                f"the file changed while the disk was full: {len(original)} bytes before, "
                f"{len(read_bytes(here))} now")
            assert told, f"no 'could not be saved' line naming {path}: {copy.messages()}"
            print(f"full disk, in place: {told[0]}")
            os.unlink(filler)
            send_burst(net, PROBE_HOST, probe, copy, ["in place 2"])
            saved = wait_until(lambda: holds_burst(
                parse_ini(read_bytes(here)).messages(), ["in place 1", "in place 2"]),
                NOTICE_TIMEOUT)
            assert saved, "after freeing space the messages were not saved"
            assert copy.stop() == 0, f"the copy did not end well:\n{copy.describe()}"
            check_complete(parse_ini(read_bytes(here), path), "kim")
            # The user may write the file; a line that blames permissions sends them the wrong
            # way when the disk is full.
            assert "Permission denied" not in told[0], f"the wrong cause is told: {told[0]}"


def unreadable(folder, path, olga, pete):
    os.chown(folder, pete.uid, pete.uid)  # Pete could replace the file: he must not
    with open(path, "wb") as f:
        f.write(settings_with_history("pete", SEEDED).replace(
            b"name=PETE", b"name=Peter the Great"))
    os.chown(path, olga.uid, olga.uid)
    os.chmod(path, 0)


def link_to_petes_file(folder, path, olga, pete):
    os.chmod(folder, 0o1777)
    notes = os.path.join(pete.home, "notes")
    with open(notes, "wb") as f:
        f.write(b"Pete's own notes\n")
    os.chown(notes, pete.uid, pete.uid)
    os.symlink(notes, path)
    os.lchown(path, olga.uid, olga.uid)
    return notes


def olgas_shared_file(folder, path, olga, pete):
    os.chmod(folder, 0o1777)
    with open(path, "wb") as f:
        f.write(settings_with_history("olga", []))
    os.chown(path, olga.uid, olga.uid)
    os.chmod(path, 0o666)


def fifo_instead(path, olga):
    os.unlink(path)
    os.mkfifo(path, 0o666)
    os.chown(path, olga.uid, olga.uid)


# (name, what Olga does before Pete's copy starts (gives the file that must stay as it was;
# None: the settings path itself), what she does once it runs)
HOSTILE = [
    ("a file Pete may not read", unreadable, None),
    ("Olga's link to Pete's file", link_to_petes_file, None),
    ("a FIFO put in place after the start", olgas_shared_file, fifo_instead),
]


def hostile_file(net, workdir, program, probe, number, setup, after_start):
    os.chmod(workdir, 0o755)
    olga = UserAccount.create(workdir, f"olga{number}")
    pete = UserAccount.create(workdir, f"pete{number}")
    folder = os.path.join(workdir, f"hostile{number}")
    os.mkdir(folder, 0o755)
    path = os.path.join(folder, "vlx.ini")
    guarded = setup(folder, path, olga, pete) or path
    before = os.lstat(guarded)
    original = read_bytes(guarded)

    copy = start_copy(net, 1, pete, path, program)
    with stopped_at_end({1: copy}):
        wait_started(copy)
        first = next(d for d in copy.sent() if d[:1] == b"a")
        assert first.startswith(b"ag" + pete.login.upper().encode() + SEP), (
            f"the first announcement is not under the login name: {first!r}")
        if after_start:
            after_start(path, olga)
            guarded, before, original = path, os.lstat(path), None
        send_burst(net, PROBE_HOST, probe, copy, ["to Pete"])
        # Checked at the end, so that what happens to the files shows as well.
        told = wait_until(lambda: notices(copy, ("cannot be used safely", own_file(pete))),
                          NOTICE_TIMEOUT)
        answered = command_as(net, 1, pete, "--status", "busy")
        assert copy.stop() == 0, f"the copy did not end well:\n{copy.describe()}"
    after = os.lstat(guarded)
    if original is not None:
        assert read_bytes(guarded) == original, f"{guarded} was changed"
    assert (after.st_ino, after.st_uid, after.st_mode) == (
        before.st_ino, before.st_uid, before.st_mode), f"{guarded} was replaced or changed"
    left = temp_files(folder)
    assert not left, f"temporary files left behind: {sorted(left)}"
    assert answered.returncode == 0, f"--status was not answered: {answered.stderr!r}"
    assert told, f"no 'velmora: ... cannot be used safely' line: {copy.messages()}"
    assert holds_burst(read_ini(own_file(pete)).messages(), ["to Pete"]), (
        "the confirmed message is not in Pete's own file")


def run(net, workdir, program, probe):
    run_each([(case.__name__, functools.partial(case, net, workdir, program, probe))
              for case in (full_disk_and_read_only, full_disk_in_place)] +
             [(name, functools.partial(hostile_file, net, workdir, program, probe, n, *steps))
              for n, (name, *steps) in enumerate(HOSTILE)])


def test_settings_trouble():
    on_test_network(2, run)


if __name__ == "__main__":
    main(test_settings_trouble)
