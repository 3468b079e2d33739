#!/usr/bin/env python3
"""Fills the administrator's guide: the version, and the /STATUS exit codes
as the README has them and the latest benchmark table as
docs/benchmarks.md has it, so the guide never says something else.
Usage: make_guide.py GUIDE README BENCHMARKS VERSION"""
import re
import sys


def block_after(text, opening, what):
    """The paragraph that starts with `opening` and the Markdown table after it."""
    start = text.find(opening)
    if start < 0:
        sys.exit(f"make_guide: the README has no {what} (a line starting {opening!r})")
    lines = text[start:].splitlines()
    block, in_table = [], False
    for line in lines:
        if line.startswith("|"):
            in_table = True
        elif in_table:
            break
        block.append(line)
    if not in_table:
        sys.exit(f"make_guide: the README's {what} has no table")
    return "\n".join(line for line in block if line.strip() or not in_table).strip()


def main():
    guide, readme, benchmarks, version = sys.argv[1:5]
    text = open(readme, encoding="utf-8").read()
    bench = open(benchmarks, encoding="utf-8").read()
    values = {
        "@VERSION@": version,
        "@STATUS_CODES@": block_after(text, "Exit codes of `/STATUS`", "exit codes of /STATUS"),
        "@BENCH_TABLE@": block_after(bench, "Latest run", "latest benchmark table"),
    }
    out = open(guide, encoding="utf-8").read()
    for key, value in values.items():
        out = out.replace(key, value)
    left = re.findall(r"@[A-Z_]+@", out)
    if left:
        sys.exit(f"make_guide: unfilled {left}")
    sys.stdout.write(out.replace("\n", "\r\n"))


if __name__ == "__main__":
    main()
