"""A person's own status, colleagues' statuses, the discussion and the name, set with mouse
and keyboard (person.py: Xvfb, openbox, trayer, xdotool). ANN's copy runs on host 1; a probe
on host 2 reports six colleagues, one per colour class. Each step checks what ANN's copy sends:

 1. In, Busy and Out by the buttons beside the tabs and from the tray icon's menu.
 2. Letters typed on the Status page: each letter reorders the list once (the title, as the
    X server reports its changes, changes once per key): the letter's names on top, the same
    letter again the usual order.
 3. A remark typed into the remark box and Enter: one announcement of it.
 4. A remark typed (the box completes it to "In a meeting") and the list clicked instead of
    Enter: nothing; the In button after it is the next announcement.
 5. A remark picked from the box's drop-down list and from "Set my Status from a List".
 6. "Personalize my Status": its dialog's text, Enter.
 7. A colleague's status changed from her row's menu ("Change Status") and by Ctrl+click,
    then a colour button of the change page: the proxy announcement for her.
 8. A line on the Discuss page, Enter: the discussion datagram.
 9. A new name on the Options page, the field left with Tab: the proxy announcement of the new
    name with the status, and the next announcement under the new name.
10. Thirty more colleagues and one whose name and status are too long for a row (aqua, the
    last row). "Large" from the Height box: the window grows where it stands; the list shows
    only whole rows, and after the window's bottom edge is dragged down, every row. The long
    row's name and status end in "..." before the status column and the edge; resting the
    pointer on it shows a tooltip with more text than the row shows.

Exits 77 when there is no root, no namespaces, no X tools or no built program.
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from person import (AQUA, BLUE, DESIGNED, DISCUSS_ENTRY, FUCHSIA,  # noqa: E402
                    HEIGHT_BOX, LIME, LIST_BLANK, LIST_BUTTON, LIST_TOP, NAME_FIELD,
                    PERSONALIZE_BUTTON, RED, REMARK_ARROW, REMARK_BOX, ROW, SILVER, TITLE,
                    WAIT, YELLOW, TitleWatch, as_person, change_page, echoed, own_status,
                    row_of, sends)
from test_screens_e2e import COLLEAGUES  # noqa: E402
from testnet import main  # noqa: E402
from velmora_copies import SEP, started  # noqa: E402

PROBE_HOST = 2
ANN = b"ANN"
IN, BUSY, OUT = b"In", b"Busy - In but unavailable", b"Out"
CROWD = [(f"10.77.1.{10 + i}", b"g", b"P%02d" % i, b"In", LIME) for i in range(30)] + [
    ("10.77.1.99", b"z", b"Maximiliana Wilhelmina von Hohenzollern-Sigmaringen",
     b"In a meeting with the regional directors until late afternoon, back tomorrow", AQUA)]
ROW_COLOURS = {LIME, FUCHSIA, RED, YELLOW, SILVER, BLUE, AQUA}


def ann(code, text, name=ANN):
    return own_status(code, name, text)


def proxy(code, address, name, status):
    return b"z" + code + address + SEP + name + SEP + status


def feed(net, probe, copy, colleagues=COLLEAGUES):
    for address, code, name, text, _ in colleagues:
        net.exec(PROBE_HOST, [probe, "send", proxy(code, address.encode(), name,
                                                   b" " + text).hex()])
    for address, *_ in colleagues:
        got = copy.wait_received(lambda s, d, a=address.encode(): d[2:].startswith(a + SEP),
                                 WAIT)
        assert got is not None, f"the colleague at {address} never arrived"


def run(net, workdir, desk, probe):
    copy = desk.start(net, 1, "ANN", workdir)
    with desk.running({1: copy}, "person-status"):
        steps(net, desk, probe, copy)


def steps(net, desk, probe, copy):
    started(copy)
    feed(net, probe, copy)
    win = desk.window()

    # 1. The buttons beside the tabs, then the tray menu's &In, &Busy, &Out.
    for caption, code, text in (("Busy", b"f", BUSY), ("Out", b"r", OUT), ("In", b"g", IN)):
        with sends(copy, [ann(code, text)]):
            desk.status_button(win, caption)
    for key, code, text in (("b", b"f", BUSY), ("o", b"r", OUT), ("i", b"g", IN)):
        with sends(copy, [ann(code, text)]):
            desk.tray_menu(key)

    # 2. Type-to-find, right after a status button (the focus rests on no control then).
    with sends(copy, [ann(b"f", BUSY)]):
        desk.status_button(win, "Busy")
    echoed(copy, ann(b"f", BUSY))
    watch = TitleWatch(desk, win)
    keys = [("b", "B"), ("b", None), ("c", "C"), ("d", "D"), ("d", None)]
    for i, (key, letter) in enumerate(keys):
        desk.key(key)
        title = f"{TITLE} - (Names starting with {letter} on top)" if letter else TITLE
        seen = desk.wait_title(win, title)
        assert seen == title, f"after keys {[k for k, _ in keys[:i + 1]]} the title is {seen!r}"
    changes = watch.wait_changes(len(keys))
    watch.close()
    assert changes == len(keys), f"{len(keys)} keys changed the title {changes} times"

    # 3. A remark of her own, confirmed with Enter.
    desk.click(win, *REMARK_BOX)
    desk.key("ctrl+a")
    desk.type_text("Visiting a client")
    with sends(copy, [ann(b"y", b"Visiting a client")]):
        desk.key("Return")

    # 4. Typed but not confirmed: leaving the box sends nothing; In comes next.
    with sends(copy, [ann(b"g", IN)]):
        desk.click(win, *REMARK_BOX)
        desk.key("ctrl+a")
        desk.type_text("In a")
        desk.click(win, *LIST_BLANK)
        desk.status_button(win, "In")

    # 5. Remarks from the list: the box's own arrow and the button that opens the list.
    for place, key, remark in ((REMARK_ARROW, "End", b"On vacation"),
                               (LIST_BUTTON, "Home", b"On the phone")):
        with sends(copy, [ann(b"y", remark)]):
            desk.menu(lambda p=place: desk.click(win, *p), key, "Return")

    # 6. Personalize my Status.
    desk.click(win, *PERSONALIZE_BUTTON)
    desk.wait_active(desk.dialog("Personalize my Status"))
    desk.type_text("Gone fishing")
    with sends(copy, [ann(b"y", b"Gone fishing")]):
        desk.key("Return")

    # 7. FAY (blue) from her row's menu, EVE (silver) by Ctrl+click; each gets one colour
    # button of the change page.
    for colour, via_menu, button, code, status in ((BLUE, True, RED, b"r", b" Out"),
                                                   (SILVER, False, FUCHSIA, b"f", b" " + BUSY)):
        address, _, name, *_ = next(c for c in COLLEAGUES if c[4] == colour)
        y = desk.wait_shot(win, "person-status-list.png", lambda i, c=colour: row_of(i, c))
        assert y is not None, f"no single row in {colour} on the Status page"
        if via_menu:
            desk.person_menu(win, y, "c", "Return")  # &Change Status (the first of two &C)
        else:
            desk.click(win, 60, y, ctrl=True)
        buttons = desk.wait_shot(win, "person-change-status.png", change_page)
        assert buttons is not None, f"no change page for {name}"
        with sends(copy, [proxy(code, address.encode(), name, status)], kinds=b"z"):
            desk.click(win, *buttons[button])

    # 8. The discussion board.
    desk.tab(win, "Discuss")
    desk.click(win, *DISCUSS_ENTRY)
    desk.key("ctrl+a")
    desk.type_text("Cake in the kitchen")
    with sends(copy, [b"dANN > Cake in the kitchen"], kinds=b"d"):
        desk.key("Return")

    # 9. A new name, taken when the field is left.
    desk.tab(win, "Options")
    desk.click(win, *NAME_FIELD)
    desk.key("ctrl+a")
    desk.type_text("Ann Smith")
    # The rename carries the status as it stands, right after the separator.
    with sends(copy, [proxy(b"w", b"10.77.0.1", b"Ann Smith", b"Gone fishing")], kinds=b"z"):
        desk.key("Tab")
    with sends(copy, [ann(b"g", IN, b"Ann Smith")]):
        desk.status_button(win, "In")

    # 10. Rows that fit.
    feed(net, probe, copy, CROWD)
    rows_that_fit(desk, win, 1 + len(COLLEAGUES) + len(CROWD))
    assert copy.stop(timeout=WAIT) == 0, copy.describe()


def shown_rows(image):
    """The status list's rows read down their left edge: (top of the first, number of whole
    rows, pixels of a row cut off at the bottom)."""
    y = LIST_TOP
    while y < image.height and image.pixel(2, y) not in ROW_COLOURS:
        y += 1
    top = y
    while y < image.height and image.pixel(2, y) in ROW_COLOURS:
        y += 1
    return top, (y - top) // ROW, (y - top) % ROW


def ink(image, left=0, top=0, right=None, bottom=None):
    """The dark pixels (x, y) inside the box, by default the whole image."""
    return [(x, y) for y in range(top, bottom or image.height)
            for x in range(left, right or image.width) if max(image.pixel(x, y)) < 100]


def cut_with_dots(pixels):
    """Whether text ends in "...": its last pixels of ink lie on one line, where a letter cut
    off at an edge would reach higher."""
    tail = [y for x, y in pixels if x >= max(x for x, _ in pixels) - 4]
    return max(tail) - min(tail) <= 1


def rows_that_fit(desk, win, count):
    x, y, *_ = desk.geometry(win)
    desk.tab(win, "Options")
    desk.menu(lambda: desk.click(win, *HEIGHT_BOX), "End", "Return")  # Large
    desk.tab(win, "Status")
    image = desk.wait_shot(win, "person-large.png",
                           lambda i: i if i.height > DESIGNED[1] + 80 else None)
    assert image and desk.geometry(win)[:2] == (x, y), "Large did not grow the window in place"
    _, before, cut = shown_rows(image)
    assert 0 < before < count and cut == 0, f"{before} rows and {cut} px of a cut one at Large"

    x, y, w, h = desk.geometry(win)  # its bottom edge dragged down until every row fits
    desk.drag((x + w // 2, y + h + 2), (x + w // 2, y + h + 2 + (count - before + 1) * ROW))
    image = desk.wait_shot(win, "person-large-dragged.png",
                           lambda i: i if shown_rows(i)[1:] == (count, 0) else None)
    assert image, f"not {count} whole rows after the drag"

    # The long row (aqua, last) ends in "..." before the column where the row above it shows
    # its status, and at the edge; its tooltip adds more ink to that row's than the row does.
    top = shown_rows(image)[0]
    long_row, short_row = top + (count - 1) * ROW, top + (count - 2) * ROW
    column = min(x for x, _ in ink(image, 60, short_row, None, short_row + ROW))
    name = ink(image, 0, long_row, column - 3, long_row + ROW)
    status = ink(image, column - 3, long_row, None, long_row + ROW)
    assert name and cut_with_dots(name) and max(x for x, _ in name) < column - 4, "long name"
    assert status and cut_with_dots(status), "the long status is not cut short at the edge"
    tips = [len(ink(desk.tooltip(win, 60, row + ROW // 2, f"person-tip-{i}.png")))
            for i, row in enumerate((long_row, short_row))]
    more = len(name) + len(status) - len(ink(image, 0, short_row, None, short_row + ROW))
    assert tips[0] - tips[1] > 1.3 * more, f"tooltips differ by {tips}, the rows by {more}"


def test_person_status():
    as_person(run)


if __name__ == "__main__":
    main(test_person_status)
