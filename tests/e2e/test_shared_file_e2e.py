"""Two accounts of one computer sharing one settings file, each copy run under its own uid.

Users anna and ben (bare uids, logins from $USER, which the program upper-cases) take turns on
host 1 and host 2: anna, then ben, then anna again, each ended by SIGTERM (a log-off, which
saves). While each runs, a probe on host 3 sends a broadcast notice ("B <address>"), which the
copy keeps as the shared option IPAdr of [VLX]; anna's second turn gets none and must keep
ben's. The file lies in three kinds of folder:

 a. a sticky world-writable folder (1777), where nobody may replace another's file;
 b. a world-writable folder (0777);
 c. a read-only folder (0555, owned by root) holding a world-writable file (0666) that already
    has a display name for anna, a remark list and shared colours and options.

After every turn the file holds [VLXANNA] and [VLXBEN] (once each has run) with their names,
the latest IPAdr, what was there before, and no leftover temporary file; a file the program
created in a shared folder has mode 0666 (its users' umask is 022); in (c) the file keeps its
owner and mode.
"""

import os
import stat
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from settings_files import (UserAccount, read_ini, start_copy, temp_files,  # noqa: E402
                            wait_started)
from testnet import main  # noqa: E402
from velmora_copies import on_test_network, write_settings  # noqa: E402

PROBE_HOST = 3

# Already in the file of shape (c); every save must carry it over.
SEEDED = {
    "VLXANNA": {"name": "Anna Lindqvist"},
    "VLX": {"clock24": "1", "colorSort": "0", "IPAdr": "255.255.255.255"},
    "Color": {"In": "4259584", "Out": "255", "Busy": "16711935", "Rest": "65535",
              "inActive": "12632256"},
    "VLXlb": {"cnt": "2", "0": "Gone fishing", "1": "At the dentist", "2": "In the lab"},
}
SEEDED_KEYS = [("VLX", "clock24", b"1"), ("VLX", "colorSort", b"0"),
               ("Color", "In", b"4259584"), ("VLXlb", "cnt", b"2"),
               ("VLXlb", "0", b"Gone fishing"), ("VLXlb", "2", b"In the lab")]

SHAPES = [
    # name, folder mode, file seeded (mode) or None
    ("sticky 1777 folder", 0o1777, None),
    ("open 0777 folder", 0o777, None),
    ("read-only 0555 folder, 0666 file", 0o555, 0o666),
]


def turn(net, probe, host, account, path, notice):
    """One run of `account`'s copy on `host`: start, take the notice (if any), log off."""
    copy = start_copy(net, host, account, path)
    try:
        wait_started(copy)
        if notice:
            mark = len(copy.trace)
            net.exec(PROBE_HOST, [probe, "send", b"B ".hex() + notice.encode().hex()])
            got = copy.wait_received(lambda s, d: d == b"B " + notice.encode(), 30, mark)
            assert got, f"{account.login} did not take the notice:\n{copy.describe()}"
        status = copy.stop()
        assert status == 0, f"{account.login} ended with {status}:\n{copy.describe()}"
        return copy
    except AssertionError:
        copy.stop()
        raise


def check_file(shape, path, expected_names, address, seeded, created_mode, late):
    """Content faults fail at once; a wrong mode or a leftover temporary file goes to `late`,
    so that the turns after it still show whether the content survives."""
    what = f"{shape}, {path}"
    ini = read_ini(path)
    for section, name in expected_names.items():
        got = ini.value(section, "name")
        assert got == name, f"{what}: [{section}] name={got!r}, not {name!r}; {ini.names()}"
    got = ini.value("VLX", "IPAdr")
    assert got == address.encode(), f"{what}: shared IPAdr={got!r}, not {address!r}"
    if seeded:
        for section, key, value in SEEDED_KEYS:
            got = ini.value(section, key)
            assert got == value, f"{what}: [{section}] {key}={got!r} lost (was {value!r})"
    mode = stat.S_IMODE(os.stat(path).st_mode)
    if mode != created_mode:
        late.append(f"mode {mode:o}, not {created_mode:o}")
    left = temp_files(os.path.dirname(path))
    if left:
        late.append(f"temporary files left behind: {sorted(left)}")


def run(net, workdir, program, probe):
    os.chmod(workdir, 0o755)  # the accounts must reach their homes and the shared folders
    anna = UserAccount.create(workdir, "anna")
    ben = UserAccount.create(workdir, "ben")
    failures = []
    for number, (shape, folder_mode, file_mode) in enumerate(SHAPES):
        try:
            one_shape(net, probe, workdir, anna, ben, number, shape, folder_mode, file_mode)
        except AssertionError as error:  # the other shapes still tell their own story
            failures.append(f"{shape}: {error}")
    assert not failures, "\n".join(failures)


def one_shape(net, probe, workdir, anna, ben, number, shape, folder_mode, file_mode):
    folder = os.path.join(workdir, f"shared{number}")
    os.mkdir(folder)
    path = os.path.join(folder, "vlx.ini")
    if file_mode is not None:
        write_settings(path, SEEDED)
        os.chmod(path, file_mode)
    os.chmod(folder, folder_mode)
    owner = os.stat(path).st_uid if file_mode is not None else None
    anna_name = b"Anna Lindqvist" if file_mode is not None else b"ANNA"
    address1, address2 = f"10.77.{number}.255", f"10.77.{number + 10}.255"

    late = []
    turns = [(1, anna, address1, {anna.section: anna_name}),
             (2, ben, address2, {anna.section: anna_name, ben.section: b"BEN"}),
             (1, anna, None, {anna.section: anna_name, ben.section: b"BEN"})]
    for host, account, notice, names in turns:
        turn(net, probe, host, account, path, notice)
        check_file(shape, path, names, address2 if notice is None else notice, file_mode,
                   0o666, late)
    if owner is not None and os.stat(path).st_uid != owner:
        late.append("the file changed its owner")
    assert not late, "; ".join(dict.fromkeys(late))


def test_shared_file():
    on_test_network(3, run)


if __name__ == "__main__":
    main(test_shared_file)
