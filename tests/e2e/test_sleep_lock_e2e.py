"""The computer's sleep, the locked screen and a status set from another copy, around ANN's copy
on host 1. logind's stand-in runs on a bus of the test's own in the role of the system bus,
inside host 2, where it also hears the office's datagrams; the screen saver and the
notification server are on a private session bus. Changes come from host 2, BOB's address.

 a. Sleep: the log-off's last word has reached host 2 before the copy closes its inhibitor; a
    second PrepareForSleep(true) sends nothing more; the wake announces ANN as she was, sends
    the refresh request and takes a new inhibitor.
 b. Lock: logind's Lock announces ANN idle at once and Unlock back; so do the screen saver's
    ActiveChanged. CAY's copy (host 3), with "Idle when the screen locks" off, says nothing.
 c. BOB sets ANN Out: one notification "BOB set your status to Out" with Undo, also when the
    change comes twice; Undo announces ANN In again.
"""

import os
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop_bus import SessionBus, records, wait_records  # noqa: E402
from person import QUIET, WAIT, own_status  # noqa: E402
from probe import netprobe_path  # noqa: E402
from testnet import TestNet, main, require_netns  # noqa: E402
from velmora_copies import SEP, Copy, program_path, show, started, stopped_at_end  # noqa: E402

LOGIND = ("org.freedesktop.login1", "/org/freedesktop/login1")
SCREEN_SAVER = ("org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver")
NOTIFY = ("org.freedesktop.Notifications", "/org/freedesktop/Notifications")
IN, IDLE = own_status(b"g", b"ANN", b"In"), own_status(b"s", b"ANN", b"In")
LAST_WORD = own_status(b"r", b"ANN", b"Out <shut down>")
QUIET_SPELL = 2  # seconds in which nothing may be sent


def expect_sent(copy, action, wanted):
    """Runs `action` once the copy has been quiet for a moment; what it sends then must begin
    with `wanted` (nothing at all for an empty list)."""
    while copy.wait_sent(lambda d: True, QUIET_SPELL / 2, len(copy.trace)) is not None:
        pass
    mark = len(copy.trace)
    action()
    if wanted:
        copy.wait_sent(lambda d: d == wanted[-1], WAIT, mark)
    else:
        time.sleep(QUIET_SPELL)
    got = [t.data for t in copy.trace[mark:] if t.kind == "send"][:len(wanted) or None]
    assert got == wanted, f"{[show(d) for d in got]}, expected {[show(d) for d in wanted]}"


def sleep_and_wake(ann, system, log):
    assert wait_records(log, 1) and records(log)[0]["mode"] == "delay", records(log)
    expect_sent(ann, lambda: system.call(*LOGIND, "Sleep", True), [LAST_WORD])
    closed = wait_records(log, 2)[1]
    assert closed.get("closed") == 1, closed
    assert LAST_WORD.hex() in closed["heard"], f"the inhibitor went first: {closed}"
    expect_sent(ann, lambda: system.call(*LOGIND, "Sleep", True), [])
    expect_sent(ann, lambda: system.call(*LOGIND, "Sleep", False), [IN, b"r ANN"])
    assert wait_records(log, 3)[2].get("inhibit") == 2, records(log)
    return closed["after_ms"]


def locks(ann, cay, system, session):
    for lock, unlock in ((lambda: system.call(*LOGIND, "Lock", True),
                          lambda: system.call(*LOGIND, "Lock", False)),
                         (lambda: session.call(*SCREEN_SAVER, "SetActive", True),
                          lambda: session.call(*SCREEN_SAVER, "SetActive", False))):
        mark = len(cay.trace)
        expect_sent(ann, lock, [IDLE])
        expect_sent(ann, unlock, [IN])
        assert not [t for t in cay.trace[mark:] if t.kind == "send" and t.data[:2] == b"as"]


def takeover(net, probe, ann, session, notes):
    net.exec(2, [probe, "send", own_status(b"g", b"BOB", b"In").hex()])
    change = b"zr" + net.addr(1).encode() + SEP + b"ANN" + SEP + b" Out"
    for _ in range(2):
        net.exec(2, [probe, "send", change.hex()])
    found = wait_records(notes, 1)
    assert [(n["summary"], n["actions"]) for n in found] == [
        ("BOB set your status to Out", ["undo", "Undo"])], found
    expect_sent(ann, lambda: session.call(*NOTIFY, "InvokeAction", found[0]["id"], "undo"), [IN])
    assert len(records(notes)) == 1, records(notes)


def scenario():
    require_netns()
    program_path()
    probe = netprobe_path()
    with tempfile.TemporaryDirectory(prefix="velmora-sleep-") as workdir, \
            SessionBus(workdir) as session, SessionBus(workdir, system=True) as system, \
            TestNet(3) as net:
        log, notes = system.path("logind.log"), session.path("notifications.log")
        system.start_services("--logind", log, "--udp-port", "55555", net=net, host=2)
        session.start_services("--screensaver", "0", "--notifications", notes)
        env = {"DBUS_SYSTEM_BUS_ADDRESS": system.address,
               "DBUS_SESSION_BUS_ADDRESS": session.address}
        ann = Copy.start(net, 1, "ANN", workdir, env=env, settings={"VLX": QUIET})
        with stopped_at_end({1: ann}) as copies:
            started(ann)
            after_ms = sleep_and_wake(ann, system, log)
            copies[3] = Copy.start(net, 3, "CAY", workdir, env=env,
                                   settings={"VLX": dict(QUIET, lockIdle="0")})
            started(copies[3])
            locks(ann, copies[3], system, session)
            takeover(net, probe, ann, session, notes)
            print(f"PrepareForSleep(true) -> inhibitor closed: {after_ms:.1f} ms")


if __name__ == "__main__":
    main(scenario)
