"""Leaving the program on a desktop without a notification area (person.py: Xvfb and
openbox, no trayer). ANN's copy runs on host 1 with "Program startup" unticked
([VLX] strtShw=0), twice:

 1. Its window shows all the same (nothing else could bring it up), and the menu button at
    the right end of its tab row offers the tray's menu; E&xit: ANN, In, leaves as
    "Out  (off-line)" ("Exit as Out if In or Busy"), and the process ends with status 0.
 2. The same menu's "&Set status to Out and exit": Out, then "Out (off-line)", and the end.

Exits 77 when there is no root, no namespaces, no X tools or no built program.
"""

import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from person import WAIT, as_person, own_status, sends  # noqa: E402
from testnet import main  # noqa: E402
from velmora_copies import started  # noqa: E402

EXITS = [("x", [b"Out  (off-line)"]), ("s", [b"Out", b"Out (off-line)"])]


def run(net, workdir, desk, _probe):
    for key, texts in EXITS:
        copy = desk.start(net, 1, "ANN", workdir, settings={"VLX": {"strtShw": "0"}})
        with desk.running({1: copy}, "person-notray"):
            started(copy)
            win = desk.window()
            with sends(copy, [own_status(b"r", b"ANN", t) for t in texts]):
                desk.window_menu(win, key)
            try:
                status = copy.process.wait(timeout=WAIT)
            except subprocess.TimeoutExpired:
                status = None
            assert status == 0, f"after the menu's {key!r} the copy ended with {status}"


def test_person_notray():
    as_person(run, hosts=1, tray=False)


if __name__ == "__main__":
    main(test_person_notray)
