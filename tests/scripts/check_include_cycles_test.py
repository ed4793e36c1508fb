#!/usr/bin/env python3
"""The include-cycle check over a small source tree, with every path form a caller may give."""

import os
import subprocess
import sys
import tempfile

CHECK = os.path.join(os.path.dirname(__file__), "..", "..", "scripts", "check-include-cycles.py")


def write(root, path, text):
    os.makedirs(os.path.dirname(os.path.join(root, path)), exist_ok=True)
    with open(os.path.join(root, path), "w", encoding="utf-8") as out:
        out.write(text)


def main():
    failures = []
    with tempfile.TemporaryDirectory() as work:
        # a/x.cpp -> a/y.h and a/y.cpp -> a/x.h close a cycle; b/z includes a/ only.
        write(work, "src/a/x.h", "")
        write(work, "src/a/x.cpp", '#include "a/x.h"\n#include "a/y.h"\n')
        write(work, "src/a/y.h", "")
        write(work, "src/a/y.cpp", '#include "x.h"\n')
        write(work, "src/b/z.cpp", '#include "a/x.h"\n')
        cases = [
            (["src", "a"], 1),
            (["src/", "a/"], 1),
            (["./src", "./a"], 1),
            (["src/"], 1),
            (["./src/", "."], 1),
            (["src", "b"], 0),
            (["src/", "b/"], 0),
            (["src", "missing"], 2),
        ]
        for args, expected in cases:
            run = subprocess.run([sys.executable, CHECK, *args], cwd=work, capture_output=True,
                                 text=True, check=False)
            if run.returncode != expected:
                failures.append(f"{args}: exit {run.returncode}, expected {expected}\n"
                                f"{run.stdout}{run.stderr}")
            elif expected == 1 and "include cycle: a/x, a/y" not in run.stdout:
                failures.append(f"{args}: cycle not named\n{run.stdout}")
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
