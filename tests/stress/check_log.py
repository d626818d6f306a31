#!/usr/bin/env python3
"""Checks a result log: every record a complete four-line block with CR LF.

check_log.py [--allow-cut] [--board BOARD] LOG [SAVED_OUTPUT ...]
Each SAVED_OUTPUT is a harness's printed lines; every result it reported
saved must be in the log, in that harness's order. Prints the record count.
With --allow-cut, lines of a record cut off by a killed process (the kernel
may end a write early when the process is killed) are counted and skipped
instead of failing, as long as the next record starts on a fresh line.
With --board, BOARD is draw_harness --board's output: its winners must be
the log's winner records in order, and its voids the log's void records.
"""
import re
import sys

TIME = re.compile(r"时间: \d{4}-\d\d-\d\d( \d\d:\d\d:\d\d)?")


def records(path, allow_cut):
    data = open(path, "rb").read()
    if not data:
        return [], 0
    assert data.endswith(b"\r\n\r\n"), "the log ends inside a record"
    assert b"\n" not in data.replace(b"\r\n", b""), "a line ends without CR LF"
    lines = data.decode("gb18030").split("\r\n")[:-1]
    out, cut, i = [], 0, 0
    while i < len(lines):
        block = lines[i:i + 4]
        if (len(block) == 4 and block[0].startswith("标题: ") and TIME.fullmatch(block[1])
                and block[2].startswith("结果: ") and block[3] == ""):
            out.append((block[0][4:], block[2][4:]))
            i += 4
            continue
        assert allow_cut, f"not a four-line record at line {i + 1}: {block!r}"
        cut += 1
        i += 1
    return out, cut


def main():
    args = sys.argv[1:]
    allow_cut = "--allow-cut" in args
    args = [a for a in args if a != "--allow-cut"]
    board = None
    if "--board" in args:
        at = args.index("--board")
        board = args[at + 1]
        del args[at:at + 2]
    log, cut = records(args[0], allow_cut)
    results = [r for _, r in log]
    if board is not None:
        lines = [l.rstrip("\n").split("\t", 1) for l in open(board, encoding="utf-8") if "\t" in l]
        awards = [t for k, t in lines if k == "AWARD"]
        voids = sorted(t for k, t in lines if k == "VOID")
        # A prize closed short has a record of its own and no winner.
        closes = [r for r in results if r.startswith("提前结束：")]
        winners = [r for r in results if not r.startswith("作废 ") and r not in closes]
        assert len(closes) == int(next((t for k, t in lines if k == "CLOSED"), "0")), "the closes differ"
        assert awards == winners, f"board {len(awards)} winners, log {len(winners)} winner records"
        assert voids == sorted(r for r in results if r.startswith("作废 ")), "the voids differ"
    for saved_path in args[1:]:
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
    if cut:
        print(f"{cut} stray lines of cut-off records skipped", file=sys.stderr)
    print(len(log))


if __name__ == "__main__":
    try:
        main()
    except AssertionError as e:
        print(f"FAIL: {e}", file=sys.stderr)
        sys.exit(1)
