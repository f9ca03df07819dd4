"""Sleep, the locked screen and a status set from another copy, around ANN's copy on host 1.
logind's stand-in runs on a bus in the system bus's place, inside host 2, where it also hears
the office's datagrams; the screen saver and the notification server are on a private session
bus. Changes come from host 2, BOB's address.

 a. Sleep: the log-off's last word has reached host 2 before the copy closes its inhibitor; a
    second PrepareForSleep(true) sends nothing; the wake announces ANN as she was, sends the
    refresh request and takes a new inhibitor.
 b. Lock: logind's Lock announces ANN idle at once and LockedHint false back; so do the screen
    saver's ActiveChanged. CAY's copy (host 3), with "Idle when the screen locks" off, is silent,
    and says once that it has no logind to follow.
 c. BOB sets ANN Out, twice: one notification "BOB set your status to Out" with Undo, which
    announces ANN In again.
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
IN, IDLE = own_status(b"g", b"ANN", b"In"), own_status(b"s", b"ANN", b"In")
LAST_WORD = own_status(b"r", b"ANN", b"Out <shut down>")


def expect_sent(copy, action, wanted, quiet=2):
    """Once the copy has been quiet for a moment, runs `action`; what the copy sends then must
    begin with `wanted` (be nothing for an empty list)."""
    while copy.wait_sent(lambda d: True, quiet / 2, len(copy.trace)) is not None:
        pass
    mark = len(copy.trace)
    action()
    if wanted:
        copy.wait_sent(lambda d: d == wanted[-1], WAIT, mark)
    else:
        time.sleep(quiet)
    got = [t.data for t in copy.trace[mark:] if t.kind == "send"][:len(wanted) or None]
    assert got == wanted, f"{[show(d) for d in got]}, expected {[show(d) for d in wanted]}"


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
            # a. Sleep and wake.
            assert wait_records(log, 1)[0]["mode"] == "delay", records(log)
            expect_sent(ann, lambda: system.call(*LOGIND, "Sleep", True), [LAST_WORD])
            closed = wait_records(log, 2)[1]
            assert LAST_WORD.hex() in closed["heard"], f"the inhibitor went first: {closed}"
            expect_sent(ann, lambda: system.call(*LOGIND, "Sleep", True), [])
            expect_sent(ann, lambda: system.call(*LOGIND, "Sleep", False), [IN, b"r ANN"])
            assert wait_records(log, 3)[2].get("inhibit") == 2, records(log)

            # b. Locks, with CAY's copy beside ANN's: no logind for it, which it says once.
            cay = copies[3] = Copy.start(net, 3, "CAY", workdir, env={
                "DBUS_SESSION_BUS_ADDRESS": session.address,
                "QT_LOGGING_RULES": "velmora.desktop.info=true"},
                settings={"VLX": dict(QUIET, lockIdle="0")})
            started(cay)
            mark = len(cay.trace)
            for bus, lock, unlock in (
                    (system, (*LOGIND, "Lock"), (*LOGIND, "LockedHint", False)),
                    (session, (*SCREEN_SAVER, "SetActive", True),
                     (*SCREEN_SAVER, "SetActive", False))):
                expect_sent(ann, lambda: bus.call(*lock), [IDLE])
                expect_sent(ann, lambda: bus.call(*unlock), [IN])
            assert not [t for t in cay.trace[mark:] if t.kind == "send" and t.data[:2] == b"as"]
            told = [m for m in cay.messages() if "screen lock not followed" in m]
            assert len(told) == 1, cay.messages()

            # c. A status set from BOB's address, and its Undo.
            net.exec(2, [probe, "send", own_status(b"g", b"BOB", b"In").hex()])
            change = b"zr" + net.addr(1).encode() + SEP + b"ANN" + SEP + b" Out"
            for _ in range(2):
                net.exec(2, [probe, "send", change.hex()])
            found = wait_records(notes, 1)
            assert [(n["summary"], n["actions"]) for n in found] == [
                ("BOB set your status to Out", ["undo", "Undo"])], found
            expect_sent(ann, lambda: session.call(
                "org.freedesktop.Notifications", "/org/freedesktop/Notifications",
                "InvokeAction", found[0]["id"], "undo"), [IN])
            assert len(records(notes)) == 1, records(notes)
            print(f"PrepareForSleep(true) -> inhibitor closed: {closed['after_ms']:.1f} ms")


if __name__ == "__main__":
    main(scenario)
