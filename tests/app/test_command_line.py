"""The command line without a running program: --help, --version and mistakes.

Each case runs the built program with its arguments and no display, and checks the exit code
and the text on stdout and stderr. None of these starts the program, so nothing touches the
network.
"""

import os
import re
import subprocess
import sys

PROGRAM = os.environ["VELMORA_PROGRAM"]
VERSION = os.environ["VELMORA_VERSION"]

HELP_HOLDS = ["--settings PATH", "--address A.B.C.D", "--trace", "--status in|busy|out|TEXT",
              "--show", "--exit ", "--exit-out", "--diagnose", "--help", "--version",
              "/var/lib/dazuviz-velmora/vlx.ini", "$XDG_CONFIG_HOME/dazuviz-velmora/vlx.ini",
              "~/.config/dazuviz-velmora/vlx.ini", "UDP port 55555", "SIGTERM, SIGHUP",
              "SIGINT", "Exit codes:", "dazuviz-velmora/defaults.ini"]

CASES = [
    # arguments, exit code, stdout (a regular expression, whole), stderr (likewise)
    (["--version"], 0, re.escape(f"velmora {VERSION}\n"), ""),
    (["-platform", "offscreen", "--version"], 0, re.escape(f"velmora {VERSION}\n"), ""),
    (["--help"], 0, r"Usage: velmora \[options\]\n(.|\n)*", ""),
    (["-h"], 0, r"Usage: velmora \[options\]\n(.|\n)*", ""),
    (["--bogus"], 2, "", re.escape("velmora: unknown option '--bogus'; see velmora --help\n")),
    (["-q"], 2, "", re.escape("velmora: unknown option '-q'; see velmora --help\n")),
    (["--status"], 2, "", r"velmora: [^\n]*'--status'; see velmora --help\n"),
    (["--show", "--exit"], 2, "", r"velmora: [^\n]*; see velmora --help\n"),
    (["stray"], 2, "", re.escape("velmora: unexpected argument 'stray'; see velmora --help\n")),
    (["--address", "10.1"], 2, "", r"velmora: --address needs a dotted IPv4 address[^\n]*\n"),
]


def test_command_line():
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env["QT_QPA_PLATFORM"] = "xcb"  # a start that reached the toolkit would fail without X
    failures = []
    for args, code, out, err in CASES:
        done = subprocess.run([PROGRAM, *args], env=env, capture_output=True, timeout=60)
        stdout, stderr = done.stdout.decode(), done.stderr.decode()
        if (done.returncode, bool(re.fullmatch(out, stdout)), bool(re.fullmatch(err, stderr))) \
                != (code, True, True):
            failures.append(f"{args}: exit {done.returncode}, stdout {stdout[:200]!r}, "
                            f"stderr {stderr!r}")
    help_text = subprocess.run([PROGRAM, "--help"], env=env, capture_output=True).stdout.decode()
    failures += [f"--help lacks {item!r}" for item in HELP_HOLDS if item not in help_text]
    assert not failures, "\n".join(failures)


if __name__ == "__main__":
    try:
        test_command_line()
    except AssertionError as error:
        print(f"FAILED: {error}")
        sys.exit(1)
    print("PASSED")
