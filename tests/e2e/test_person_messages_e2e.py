"""Messages written with mouse and keyboard (person.py: Xvfb, openbox, trayer, xdotool).
ANN's copy runs on host 1 with its window on the screen, BOB's on host 2 without one (he only
answers); a probe on host 2 writes to ANN in BOB's name. Each step checks what goes over the
wire:

 1. The Compose tab with nobody chosen: the typed words and Send to All go to everybody (BOB's
    copy gets them), never the instructions the empty box shows.
 2. A click on BOB's row opens the Compose page for him; typed text and Send: the message to
    BOB's address, and BOB's receipt comes back.
 3. BOB writes while ANN types her next line to him: the page and her keys stay with her
    sentence, all of which reaches BOB's copy; the Messages tab is marked.
 4. Reply on the Messages page to BOB's message, a line typed above the quote and Send: the
    answer to BOB's address quoting his message, and BOB's receipt.
 5. Send to All: its question answered with Cancel sends nothing and leaves the Compose page
    with its text; a word added, Send to All again and OK: the message to all, which BOB's
    copy and ANN's own confirm.

Exits 77 when there is no root, no namespaces, no X tools or no built program.
"""

import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from person import (BLUE, COMPOSE_BOX, ERASE, LIME, REPLY, SEND, SEND_TO_ALL,  # noqa: E402
                    TAB_Y, TABS, WAIT, as_person, find, rows, sends)
from testnet import main  # noqa: E402
from velmora_copies import (SEP, Copy, message_datagram, receipt_datagram,  # noqa: E402
                            signature, started)

ANN_AT, BOB_AT = b"10.77.0.1", b"10.77.0.2"
MESSAGES = b"mM"


def receipt(name):
    return receipt_datagram(ANN_AT, name)


def wait_receipts(ann, names, mark):
    for name in names:
        got = ann.wait_received(lambda s, d, n=name: d == receipt(n), WAIT, mark)
        assert got is not None, f"no receipt of {name.decode()} reached ANN's copy"


def reaches(bob, datagram):
    assert bob.wait_received(lambda s, d: d == datagram, WAIT) is not None, (
        f"BOB's copy never got {datagram!r}")


def to_all(desk, win, answer):
    """Send to All, its question answered with the key `answer`."""
    desk.click(win, *SEND_TO_ALL)
    try:
        desk.wait_active(desk.dialog("Information"))
    except AssertionError:
        raise AssertionError("Send to All asked nothing: is the Compose page still "
                             "shown?") from None
    desk.key(answer)
    desk.wait_active(win)


def run(net, workdir, desk, probe):
    copies = {1: desk.start(net, 1, "ANN", workdir), 2: Copy.start(net, 2, "BOB", workdir)}
    with desk.running(copies, "person-messages"):
        steps(net, desk, probe, *copies.values())


def steps(net, desk, probe, ann, bob):
    for copy in (ann, bob):
        started(copy)
    assert ann.wait_received(lambda s, d: d.startswith(b"agBOB" + SEP), WAIT), "BOB unseen"
    win = desk.window()
    desk.activate(win)

    # 1. Straight from the tab, the keys go into the box.
    desk.tab(win, "Compose")
    desk.type_text("Coffee is ready")
    coffee = message_datagram(b"Coffee is ready\r\n", b"ANN", ANN_AT)
    mark = len(ann.trace)
    with sends(ann, [coffee], MESSAGES):
        to_all(desk, win, "Return")
    reaches(bob, coffee)
    wait_receipts(ann, [b"BOB", b"ANN"], mark)
    desk.tab(win, "Status")

    # 2. BOB's row is the second lime one: In sorts by address, and ANN's is 10.77.0.1.
    def bob_row(image):
        lime = [y for colour, y in rows(image) if colour == LIME]
        return lime[1] if len(lime) == 2 else None

    y = desk.wait_shot(win, "person-two-in.png", bob_row)
    assert y is not None, "not two In rows, ANN's and BOB's, on the Status page"
    desk.click(win, 40, y)
    desk.click(win, *COMPOSE_BOX)
    desk.type_text("Lunch at noon?")
    mark = len(ann.trace)
    with sends(ann, [message_datagram(b"Lunch at noon?\r\n", b"ANN", ANN_AT, to=BOB_AT)], MESSAGES):
        desk.click(win, *SEND)
    wait_receipts(ann, [b"BOB"], mark)

    # 3. BOB's message arrives between two words of ANN's: the Space after it must not land
    # on a button of the Messages page.
    desk.click(win, *ERASE)
    desk.type_text("The report is")
    message = message_datagram(b"Are you coming?\r\n", b"BOB", BOB_AT, to=ANN_AT)
    net.exec(2, [probe, "send", message.hex()])
    assert ann.wait_sent(lambda d: d == receipt_datagram(BOB_AT, b"ANN"), WAIT), (
        "ANN's copy did not confirm BOB's message")
    desk.type_text(" ready for you")
    report = message_datagram(b"The report is ready for you\r\n", b"ANN", ANN_AT, to=BOB_AT)
    mark = len(ann.trace)
    with sends(ann, [report], MESSAGES):
        desk.click(win, *SEND)
    reaches(bob, report)
    wait_receipts(ann, [b"BOB"], mark)
    tab = (TABS["Messages"] - 25, 0, 50, 2 * TAB_Y)
    assert desk.wait_shot(win, "person-messages-marked.png",
                          lambda i: find(i, BLUE, tab)) is not None, (
        "the Messages tab is not marked")

    # 4. ANN answers on the Messages page.
    desk.tab(win, "Messages")
    desk.click(win, *REPLY)
    desk.type_text("On my way")
    # The quote holds the message as the Messages page showed it, arrival line included.
    quoted = (re.escape(b"m" + BOB_AT + SEP + b"On my way\r\nIn reply to:\r\n"
                        b"> Are you coming?\r\n>  - - - From BOB (10.77.0.2)\r\n")
              + rb">  at \d{1,2}:\d\d [AP]M on \w{3} \r\n>  "
              + re.escape(b"\r\n" + signature(b"ANN", ANN_AT)))
    mark = len(ann.trace)
    with sends(ann, [re.compile(quoted)], MESSAGES):
        desk.click(win, *SEND)
    wait_receipts(ann, [b"BOB"], mark)

    # 5. Send to All asks first. After Cancel the page and its text stay: ANN adds a word
    # and sends again (the keys follow the window's return to the front in the X server's
    # queue, so they show where that return left her).
    desk.click(win, *ERASE)
    desk.type_text("Fire drill at 3")
    mark = len(ann.trace)
    with sends(ann, [message_datagram(b"Fire drill at 3 today\r\n", b"ANN", ANN_AT)], MESSAGES):
        for answer, more in (("Escape", " today"), ("Return", None)):
            to_all(desk, win, answer)
            if more:
                desk.type_text(more)
    wait_receipts(ann, [b"BOB", b"ANN"], mark)


def test_person_messages():
    as_person(run)


if __name__ == "__main__":
    main(test_person_messages)
