"""Messages written with mouse and keyboard (person.py: Xvfb, openbox, trayer, xdotool).
ANN's copy runs on host 1 with its window on the screen, BOB's on host 2 without one (he only
answers); a probe on host 2 writes to ANN in BOB's name. Each step checks what goes over the
wire:

 1. A click on BOB's row opens the Compose page for him; typed text and Send: the message to
    BOB's address, and BOB's receipt comes back.
 2. A message from BOB arrives; Reply on the Messages page, a line typed above the quote and
    Send: the answer to BOB's address quoting his message, and BOB's receipt.
 3. Send to All: its question answered with Cancel sends nothing and leaves the Compose page
    with its text; a word added, Send to All again and OK: the message to all, which BOB's
    copy and ANN's own confirm.

Exits 77 when there is no root, no namespaces, no X tools or no built program.
"""

import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from person import (COMPOSE_BOX, ERASE, LIME, REPLY, SEND, SEND_TO_ALL, WAIT,  # noqa: E402
                    as_person, rows, sends)
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

    # 1. BOB's row is the second lime one: In sorts by address, and ANN's is 10.77.0.1.
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

    # 2. BOB writes; the program shows the message on the Messages page.
    message = message_datagram(b"Are you coming?\r\n", b"BOB", BOB_AT, to=ANN_AT)
    net.exec(2, [probe, "send", message.hex()])
    assert ann.wait_sent(lambda d: d == receipt_datagram(BOB_AT, b"ANN"), WAIT), (
        "ANN's copy did not confirm BOB's message")
    desk.wait_active(win)
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

    # 3. Send to All asks first. After Cancel the page and its text stay: ANN adds a word
    # and sends again (the keys follow the window's return to the front in the X server's
    # queue, so they show where that return left her).
    desk.click(win, *ERASE)
    desk.type_text("Fire drill at 3")
    mark = len(ann.trace)
    with sends(ann, [message_datagram(b"Fire drill at 3 today\r\n", b"ANN", ANN_AT)], MESSAGES):
        for answer, more in (("Escape", " today"), ("Return", None)):
            desk.click(win, *SEND_TO_ALL)
            try:
                desk.wait_active(desk.dialog("Information"))
            except AssertionError:
                raise AssertionError("Send to All asked nothing: is the Compose page still "
                                     "shown after the first answer?") from None
            desk.key(answer)
            desk.wait_active(win)
            if more:
                desk.type_text(more)
    wait_receipts(ann, [b"BOB", b"ANN"], mark)


def test_person_messages():
    as_person(run)


if __name__ == "__main__":
    main(test_person_messages)
