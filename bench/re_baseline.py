#!/usr/bin/env python3
"""The baseline for regex_bench: Python's re over a UTF-8 page, doing what
the search does (finditer with the row pattern, case-insensitive and
multiline, reading groups 1, 2 and 4 of every match).

Prints "rows N seconds S" with the fastest of --repeat runs, in the
thread's CPU time.

Example: re_baseline.py page.html --repeat 5
"""

import argparse
import re
import sys
import time

ROW_PATTERN = ('<tr><td class="name">(.*?)</td><td class="size">(.*?)<(.*?)'
               'Detail</a><a href="(.*?)" title=')


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("page")
    parser.add_argument("--repeat", type=int, default=5)
    args = parser.parse_args()
    with open(args.page, "rb") as f:
        text = f.read().decode("utf-8")
    rx = re.compile(ROW_PATTERN, re.IGNORECASE | re.MULTILINE)
    best = None
    rows = 0
    for _ in range(args.repeat):
        start = time.thread_time()
        found = [(m.group(1), m.group(2), m.group(4)) for m in rx.finditer(text)]
        elapsed = time.thread_time() - start
        rows = len(found)
        best = elapsed if best is None else min(best, elapsed)
    print("rows %d seconds %.6f" % (rows, best))
    return 0


if __name__ == "__main__":
    sys.exit(main())
