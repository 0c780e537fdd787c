#!/usr/bin/env python3
"""Counts the lines of C++ (*.cpp, *.h) that are neither blank nor only comment, for the tests
(tests/) against the code (component/, services/, platform/, app/); bench/ is neither.

    scripts/count-lines.py
    scripts/count-lines.py tests/app tests/reliability    # those folders, file by file
"""

import sys
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
GROUPS = {"tests": ["tests"], "code": ["component", "services", "platform", "app"]}


def counted_lines(text):
    """Lines with something other than white space and comments (string contents count)."""
    n = 0
    in_block = False
    for line in text.split("\n"):
        has_code = False
        i = 0
        quote = None
        while i < len(line):
            if in_block:
                end = line.find("*/", i)
                if end < 0:
                    break
                in_block = False
                i = end + 2
                continue
            c = line[i]
            if quote:
                has_code = True
                if c == "\\":
                    i += 2
                    continue
                if c == quote:
                    quote = None
                i += 1
                continue
            if line.startswith("//", i):
                break
            if line.startswith("/*", i):
                in_block = True
                i += 2
                continue
            if c == '"' or (c == "'" and not (i > 0 and line[i - 1].isalnum())):
                quote = c
                has_code = True
            elif not c.isspace():
                has_code = True
            i += 1
        n += has_code
    return n


def main():
    if len(sys.argv) > 1:
        total = 0
        for d in sys.argv[1:]:
            for p in sorted(q for q in (ROOT / d).rglob("*") if q.suffix in (".cpp", ".h")):
                n = counted_lines(p.read_text(encoding="utf-8"))
                total += n
                print(f"{n:7d} {p.relative_to(ROOT)}")
        print(f"{total:7d} in all")
        return 0
    totals = {}
    for group, dirs in GROUPS.items():
        files = sorted(p for d in dirs for p in (ROOT / d).rglob("*") if p.suffix in (".cpp", ".h"))
        totals[group] = (len(files), sum(counted_lines(p.read_text(encoding="utf-8")) for p in files))
        print(f"{group:6s} {totals[group][1]:7d} lines in {totals[group][0]:4d} files ({', '.join(d + '/' for d in dirs)})")
    print(f"tests / code = {totals['tests'][1] / totals['code'][1]:.2f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
