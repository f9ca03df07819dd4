"""Going idle and coming back, on a real X screen (Xvfb and trayer, as in test_screens_e2e.py).

One copy (ANN) on host 1 of the test network, its Idle Timeout at one minute ([VLX] idle=1).
On the xcb platform the copy reads the X server's idle time, so only real input counts:
 1. Nobody touches keyboard or mouse: about a minute after start the copy announces ANN in
    the Idle colour (code s), the status text unchanged. Nothing of this test talks to the X
    server meanwhile, so nothing can pass for input.
 2. It stays idle while nobody touches anything (a few seconds of one-second checks).
 3. One key press (xdotool, i.e. the XTEST extension): within a few seconds the copy
    announces ANN back in the colour she had before, In (code g), with the same text.

The test waits more than a minute by design; it carries the label "slow" so that it can be
left out, or run alone with `ctest -L slow`.

Exits 77 when there is no root, no namespaces, no X tools or no built program.
"""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_screens_e2e import on_screen  # noqa: E402
from testnet import main  # noqa: E402
from velmora_copies import SEP, Copy, show  # noqa: E402

WAIT = 30
# The limit is 60 one-second ticks counted from start. Earlier than EARLIEST is a fault;
# LATEST only guards against waiting for ever on a slow machine.
EARLIEST, LATEST = 50, 100
BACK_WITHIN = 5
STAYS_IDLE = 3


def own(code):
    return lambda d: d.startswith(b"a" + code + b"ANN" + SEP)


def run(net, workdir, screen, _probe):
    copy = Copy.start(net, 1, "ANN", workdir,
                      settings={"VLX": {"left": "20", "top": "20", "idle": "1"}},
                      env={"QT_QPA_PLATFORM": "xcb", "DISPLAY": screen.display})
    try:
        start = copy.wait_sent(own(b"g"), WAIT)
        started = time.monotonic()
        assert start is not None, f"no start announcement\n{copy.describe()}"

        idle = copy.wait_sent(own(b"s"), LATEST)
        went_idle = time.monotonic() - started
        assert idle is not None, f"not idle {LATEST} s after start\n{copy.describe()}"
        assert went_idle >= EARLIEST, f"idle already {went_idle:.1f} s after start"
        assert idle[2:] == start[2:], (
            f"the idle announcement {show(idle)} changed the status of {show(start)}")
        assert copy.running(), copy.describe()

        # Idle is checked every second now; without input it must hold.
        mark = len(copy.trace)
        early = copy.wait_sent(lambda d: d[:1] == b"a", STAYS_IDLE, mark)
        assert early is None, f"{show(early)} came without any input\n{copy.describe()}"

        pressed = time.monotonic()
        screen.run("xdotool", "key", "shift")
        back = copy.wait_sent(lambda d: d[:1] == b"a", BACK_WITHIN + 1, mark)
        came_back = time.monotonic() - pressed
        assert back is not None, f"no announcement after a key press\n{copy.describe()}"
        assert back == b"ag" + start[2:], (
            f"after the key press ANN was announced as {show(back)}, expected "
            f"{show(b'ag' + start[2:])}")
        assert came_back <= BACK_WITHIN, f"back only {came_back:.1f} s after the key press"
        print(f"idle after {went_idle:.1f} s, back {came_back:.1f} s after the key press")
        assert copy.stop(timeout=WAIT) == 0, copy.describe()
    except AssertionError:
        print("---", copy.describe())
        raise
    finally:
        copy.stop()


def test_idle_screen():
    on_screen(run)


if __name__ == "__main__":
    main(test_idle_screen)
