#!/usr/bin/env python3
"""Checks a result log: every record a complete four-line block with CR LF.

check_log.py LOG [SAVED_OUTPUT ...]
Each SAVED_OUTPUT is a harness's printed lines; every result it reported
saved must be in the log, in that harness's order. Prints the record count.
"""
import re
import sys

TIME = re.compile(r"时间: \d{4}-\d\d-\d\d( \d\d:\d\d:\d\d)?")


def records(path):
    data = open(path, "rb").read() if path else b""
    if not data:
        return []
    assert data.endswith(b"\r\n\r\n"), "the log ends inside a record"
    text = data.decode("gb18030")
    out = []
    for block in text.split("\r\n\r\n")[:-1]:
        lines = block.split("\r\n")
        assert len(lines) == 3, f"not a four-line record: {lines!r}"
        assert lines[0].startswith("标题: "), lines
        assert TIME.fullmatch(lines[1]), lines
        assert lines[2].startswith("结果: "), lines
        assert "\n" not in block.replace("\r\n", ""), "a bare line feed"
        out.append((lines[0][4:], lines[2][4:]))
    return out


def main():
    log = records(sys.argv[1])
    results = [r for _, r in log]
    for saved_path in sys.argv[2:]:
        saved = []
        for line in open(saved_path, encoding="utf-8", errors="replace"):
            if line.startswith("SAVED "):
                saved.append(line.rstrip("\n").split(" ", 2)[2])
        # The saved results must appear in the log as a subsequence, in order.
        pos = 0
        for s in saved:
            while pos < len(results) and results[pos] != s:
                pos += 1
            assert pos < len(results), f"result reported saved but not in the log: {s}"
            pos += 1
    print(len(log))


if __name__ == "__main__":
    try:
        main()
    except AssertionError as e:
        print(f"FAIL: {e}", file=sys.stderr)
        sys.exit(1)
