"""The desktop's session manager and a copy on an X screen (Xvfb), on the test network.

 0. The window's X11 class is the StartupWMClass of the desktop entry, so that docks match them.

 a. A checkpoint ("save yourself" without shutdown) saves the settings; the copy keeps running
    and announces nothing.
 b. The end of the session ("save yourself" with shutdown, then "die") is the log-off: the
    copy announces "Out <shut down>" and ends with 0.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from probe import Lines  # noqa: E402
from test_screens_e2e import Screen  # noqa: E402
from testnet import Skip, TestNet, main, require_executable, require_netns  # noqa: E402
from velmora_copies import SEP, Copy, program_path, show, started  # noqa: E402

WAIT = 30
DESKTOP_ENTRY = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                             "packaging", "dazuviz-velmora.desktop")


def startup_wm_class():
    with open(DESKTOP_ENTRY, encoding="utf-8") as entry:
        for line in entry:
            if line.startswith("StartupWMClass="):
                return line.rstrip("\n").split("=", 1)[1]
    return None


def run(net, workdir, screen, manager_program):
    manager = net.popen(1, [manager_program], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    said = Lines(manager.stdout, lambda line: line.decode(errors="replace"))
    listening = said.wait_for(lambda line: line.startswith("listening "), WAIT)
    assert listening, "the session manager did not start"

    def ask(command, answer, start):
        manager.stdin.write(command.encode() + b"\n")
        manager.stdin.flush()
        return said.wait_for(lambda line: line == answer, WAIT, start)

    copy = Copy.start(net, 1, "ANN", workdir, env={
        "QT_QPA_PLATFORM": "xcb", "DISPLAY": screen.display,
        "SESSION_MANAGER": listening.split(" ", 1)[1]})
    try:
        started(copy)
        assert said.wait_for(lambda line: line == "done 1", WAIT), (
            f"the copy did not register with the session manager: {said.items}")
        time.sleep(1.5)

        # 0. The window's class.
        window = screen.wait_window(["--name", "^Dazuviz Velmora$"])
        wm_class = screen.run("xprop", "-id", window, "WM_CLASS").strip()
        assert wm_class.endswith(f'"velmora", "{startup_wm_class()}"'), (
            f"{wm_class} against StartupWMClass={startup_wm_class()}")

        # a. A checkpoint.
        before = os.stat(copy.settings).st_mtime_ns if os.path.exists(copy.settings) else None
        sent = len(copy.sent())
        assert ask("checkpoint", "done 1", len(said.items)), f"checkpoint: {said.items}"
        time.sleep(1.5)
        assert os.path.exists(copy.settings) and os.stat(copy.settings).st_mtime_ns != before, (
            "the checkpoint did not save the settings")
        assert copy.running() and copy.sent()[sent:] == [], (
            f"after the checkpoint: running {copy.running()}, sent "
            f"{[show(d) for d in copy.sent()[sent:]]}")

        # b. The end of the session.
        assert ask("shutdown", "done 1", len(said.items)), f"shutdown: {said.items}"
        assert copy.process.wait(timeout=WAIT) == 0, copy.describe()
        last = copy.sent()[sent:]
        assert len(last) == 1 and last[0].startswith(
            b"arANN" + SEP + b" Out <shut down>"), f"the last word: {[show(d) for d in last]}"
    except AssertionError:
        print("--- session manager:", said.items)
        print("---", copy.describe())
        raise
    finally:
        copy.stop()
        manager.stdin.close()


def test_session_end():
    require_netns()
    program_path()
    manager = require_executable(os.environ.get("VELMORA_SESSION_MANAGER"),
                                 "velmora_session_manager")
    if shutil.which("xprop") is None:
        raise Skip("xprop is not installed")
    with tempfile.TemporaryDirectory(prefix="velmora-session-") as workdir:
        with Screen(workdir, tray=False) as screen, TestNet(1) as net:
            run(net, workdir, screen, manager)


if __name__ == "__main__":
    main(test_session_end)
