"""The discussion board and the remark list editor on a real X screen (Xvfb, as in
test_screens_e2e.py): one copy (ANN) on host 1 of the test network, a probe on host 2 that
speaks in the discussion. Screenshots go to VELMORA_SCREENS (default: a temporary folder) and
their pixels are checked:

 1. Discuss page (reached with the mouse wheel over the tabs), shot empty and again after
    three discussion datagrams from host 2: the copy's trace shows the three dispatched, and
    the white board gained dark text on exactly three separate lines, top to bottom, the
    short middle one ("Bob > Count me in") narrower than the other two.
 2. Options page: its one pale blue aqua button ("Status List") is found by its face colour
    and clicked. The remark list editor replaces the page: a wide field in the "All Others"
    colour (yellow) holding the ten default remarks as lines of text, two aqua faces (">>"
    above "Close") to its right, and the class colour panels of the Options page gone.
 3. A click on "Close" brings the Options page back.

Screens are shot again until they show what is expected (up to WAIT seconds), so a slow
machine only makes the test slower. Exits 77 when there is no root, no namespaces, no X tools
or no built program.
"""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_screens_e2e import LIME, TITLE, on_screen  # noqa: E402
from testnet import main  # noqa: E402
from velmora_copies import Copy, show  # noqa: E402

WAIT = 30
PROBE_HOST = 2
LINES = [b"dAnn > Lunch at noon? ( 9:05 AM)", b"dBob > Count me in",
         b"dCay > Board meeting moved to 3"]
WHITE = (255, 255, 255)
YELLOW = (255, 255, 0)       # the default "All Others" colour, the editor field's background
AQUA_FACE = (114, 156, 252)  # the pale blue face colour itself, drawn between band and glow


def is_dark(p):
    """A pixel of text as drawn on a light background."""
    return max(p) < 100


def is_face(p):
    return all(abs(a - b) <= 2 for a, b in zip(p, AQUA_FACE))


def pixels(image, box):
    """(x, y, colour) of every pixel of image inside box = (x, y, w, h)."""
    x0, y0, w, h = box
    for y in range(max(y0, 0), min(y0 + h, image.height)):
        for x in range(max(x0, 0), min(x0 + w, image.width)):
            yield x, y, image.pixel(x, y)


def clusters(points, reach=2):
    """Groups points that lie within `reach` pixels of each other (in both directions);
    gives their bounding boxes (x, y, w, h) with the point count, largest first."""
    left = set(points)
    found = []
    while left:
        seed = left.pop()
        todo, members = [seed], [seed]
        while todo:
            px, py = todo.pop()
            for dx in range(-reach, reach + 1):
                for dy in range(-reach, reach + 1):
                    q = (px + dx, py + dy)
                    if q in left:
                        left.remove(q)
                        todo.append(q)
                        members.append(q)
        xs = [p[0] for p in members]
        ys = [p[1] for p in members]
        found.append(((min(xs), min(ys), max(xs) - min(xs) + 1, max(ys) - min(ys) + 1),
                      len(members)))
    return sorted(found, key=lambda c: -c[1])


def aqua_faces(image, box):
    """Bounding boxes of the clusters of pale blue face pixels inside box that are large
    enough to be a button's face (stray pixels of smoothed text are not)."""
    points = [(x, y) for x, y, p in pixels(image, box) if is_face(p)]
    return [b for b, n in clusters(points) if n >= 40 and b[2] >= 20 and b[3] >= 6]


def text_bands(rows):
    """Runs of consecutive y values in `rows` ({y: [x, ...]}): (top, bottom, left, right)
    of each run, top to bottom. A line of text is such a run; the leading between lines
    leaves at least one empty row."""
    bands = []
    for y in sorted(rows):
        xs = rows[y]
        if bands and y == bands[-1][1] + 1:
            top, _, left, right = bands[-1]
            bands[-1] = (top, y, min(left, min(xs)), max(right, max(xs)))
        else:
            bands.append((y, y, min(xs), max(xs)))
    # A row or two of dark pixels on their own (a dot, a lone fringe) is no line of text.
    return [b for b in bands if b[1] - b[0] >= 3]


def widest_run(image, box, colour):
    """The longest run of exactly `colour` on one line inside box, with its (x, y, length)."""
    x0, y0, w, h = box
    best = (0, 0, 0)
    for y in range(y0, y0 + h):
        run = 0
        for x in range(x0, x0 + w):
            run = run + 1 if image.pixel(x, y) == colour else 0
            if run > best[2]:
                best = (x - run + 1, y, run)
    return best


def field_box(image, box, colour):
    """The rectangle that `colour` fills around its widest run (the background of a text
    field): the rows, up and down from that run, that carry the same colour at the run's
    left and right ends and in its middle. None when the colour is absent."""
    x, y, length = widest_run(image, box, colour)
    if length == 0:
        return None
    probes = (x, x + length // 2, x + length - 1)

    def filled(row):
        return all(image.pixel(px, row) == colour for px in probes)

    top = bottom = y
    while top - 1 >= box[1] and filled(top - 1):
        top -= 1
    while bottom + 1 < box[1] + box[3] and filled(bottom + 1):
        bottom += 1
    return (x, top, length, bottom - top + 1)


def shot_until(screen, name, check, timeout=WAIT):
    """Screenshots `name` until check(image) gives no complaint (None), or the time is up;
    gives the last image and the complaint (None when it was satisfied)."""
    deadline = time.monotonic() + timeout
    while True:
        image = screen.shot(name)
        complaint = check(image)
        if complaint is None or time.monotonic() >= deadline:
            return image, complaint


def wheel_down(screen, box, steps):
    """Turns the wheel over the tab row: each step selects the next tab."""
    screen.run("xdotool", "mousemove", box[0] + 30, box[1] + 9,
               "click", "--repeat", steps, "--delay", "150", "5")


def click(screen, x, y):
    """Clicks there, then takes the mouse off the window: an aqua button under the mouse
    lights up, and its face colour would no longer be the one looked for."""
    screen.run("xdotool", "mousemove", x, y, "click", "1")
    screen.run("xdotool", "mousemove", 1000, 600)


def run(net, workdir, screen, probe):
    copy = Copy.start(net, 1, "ANN", workdir,
                      settings={"VLX": {"left": "20", "top": "20", "strtShw": "1",
                                       "discuss": "0"}},
                      env={"QT_QPA_PLATFORM": "xcb", "DISPLAY": screen.display})
    problems = []
    try:
        assert copy.wait_sent(lambda d: d[:1] == b"a", WAIT), f"no start\n{copy.describe()}"
        box = screen.geometry(screen.wait_window(["--name", TITLE]))
        x, y, w, h = box
        # A first click below any row of the list activates the window (which shows the Status
        # page), so that no later click is taken for an activation that resets the page.
        click(screen, x + w // 2, y + int(0.85 * h))
        time.sleep(0.5)

        # 1. Discuss page: Status, Messages, Compose, Discuss.
        wheel_down(screen, box, 3)
        below_tabs = (x, y + 24, w, h - 24)

        def white_board(image):
            widest = widest_run(image, below_tabs, WHITE)
            # The page has turned once a wide white box shows without the Status page's lime
            # row of ANN; that this box is the board, the three lines arriving on it show.
            if widest[2] < 0.6 * w or any(p == LIME for *_, p in pixels(image, below_tabs)):
                return f"no empty white board on the page (widest white run {widest})"
            return None

        empty, complaint = shot_until(screen, "discuss-empty.png", white_board)
        assert complaint is None, f"discuss-empty.png: not the Discuss page: {complaint}"

        start = len(copy.trace)
        for line in LINES:
            net.exec(PROBE_HOST, [probe, "send", line.hex()])
        for line in LINES:
            got = copy.wait_received(lambda s, d, want=line: d == want, WAIT, start)
            assert got is not None, f"{show(line)} not dispatched\n{copy.describe()}"
            assert got[0].startswith(net.addr(PROBE_HOST)), (
                f"{show(line)} dispatched from {got[0]}, not from host {PROBE_HOST}")

        def three_lines(image):
            # Dark pixels where the empty board was white: the new text, and nothing else.
            rows = {}
            for px, py, p in pixels(image, below_tabs):
                if is_dark(p) and empty.pixel(px, py) == WHITE:
                    rows.setdefault(py, []).append(px)
            bands = text_bands(rows)
            if len(bands) != 3:
                return f"{len(bands)} lines of new text (rows, columns): {bands}"
            widths = [b[3] - b[2] + 1 for b in bands]
            if not (widths[1] < 0.8 * widths[0] and widths[1] < 0.8 * widths[2]):
                return f"the middle line is not the short one: widths {widths}, {bands}"
            if any(b[2] - x > 0.3 * w for b in bands):
                return f"the lines do not start at the board's left edge: {bands}"
            return None

        _, complaint = shot_until(screen, "discuss.png", three_lines)
        if complaint:
            problems.append(f"discuss.png: {complaint}")

        # 2. Options page, the next tab; its only aqua button is "Status List".
        wheel_down(screen, box, 1)

        def one_aqua(image):
            faces = aqua_faces(image, box)
            if len(faces) != 1 or image.widest(LIME, box) == 0:
                return f"not the Options page with one aqua button: faces {faces}"
            return None

        options, complaint = shot_until(screen, "options-aqua.png", one_aqua)
        assert complaint is None, f"options-aqua.png: {complaint}"
        fx, fy, fw, fh = aqua_faces(options, box)[0]
        # The button sits at the bottom right of the page and is 78 x 24 in all.
        assert fx > x + w // 2 and fy > y + h // 2 and 50 <= fw <= 78 and 8 <= fh <= 24, (
            f"options-aqua.png: the aqua face {(fx, fy, fw, fh)} is not a 78x24 button at "
            f"the bottom right of the window {box}")
        click(screen, fx + fw // 2, fy + fh // 2)

        def editor(image):
            field = field_box(image, box, YELLOW)
            if field is None or field[2] < 0.5 * w or field[3] < 0.4 * h:
                return f"no wide yellow field: {field}"
            if image.widest(LIME, box) or image.widest((255, 0, 0), box):
                return "class colour panels of the Options page still show"
            faces = aqua_faces(image, box)
            right = [f for f in faces if f[0] >= field[0] + field[2]]
            if len(right) != 2:
                return f"not two aqua faces right of the field {field}: {faces}"
            top, bottom = sorted(right, key=lambda f: f[1])
            if not (40 <= top[2] <= 62 and 60 <= bottom[2] <= 79 and top[2] < bottom[2]
                    and max(top[3], bottom[3]) <= 21 and bottom[1] - top[1] > 0.4 * h):
                return f"the faces {top} (>>) and {bottom} (Close) do not fit the buttons"
            # Ten default remarks, one a line, on the yellow field.
            inside = (field[0] + 1, field[1] + 1, field[2] - 2, field[3] - 2)
            rows = {}
            for px, py, p in pixels(image, inside):
                if is_dark(p):
                    rows.setdefault(py, []).append(px)
            lines = text_bands(rows)
            if len(lines) < 8:
                return f"only {len(lines)} lines of text in the field {field}: {lines}"
            return None

        page, complaint = shot_until(screen, "editor.png", editor)
        assert complaint is None, f"editor.png: {complaint}"

        # 3. "Close", the lower face, returns to the Options page.
        field = field_box(page, box, YELLOW)
        cx, cy, cw, ch = max((f for f in aqua_faces(page, box) if f[0] >= field[0] + field[2]),
                             key=lambda f: f[1])
        click(screen, cx + cw // 2, cy + ch // 2)
        _, complaint = shot_until(screen, "options-again.png", one_aqua)
        assert complaint is None, f"options-again.png: after Close: {complaint}"

        assert copy.stop(timeout=WAIT) == 0, copy.describe()
        assert not problems, "\n".join(problems)
    finally:
        copy.stop(timeout=WAIT)


def test_board_screens():
    on_screen(run)


if __name__ == "__main__":
    main(test_board_screens)
