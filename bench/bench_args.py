"""The arguments every benchmark on the test network starts with: the program and the probe,
by default from the given Release build folder of the repository."""

import argparse
import os

TOP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")


def bench_parser(doc, build="build-rel"):
    """A parser described by the first paragraph of `doc`, with --program and --probe."""
    parser = argparse.ArgumentParser(description=doc.split("\n\n")[0])
    parser.add_argument("--program", default=os.path.join(TOP, build, "velmora"))
    parser.add_argument("--probe", default=os.path.join(TOP, build, "tests", "e2e",
                                                        "velmora_netprobe"))
    return parser
