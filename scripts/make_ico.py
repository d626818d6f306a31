#!/usr/bin/env python3
"""make_ico.py OUT.ico IN.png...: packs PNG pictures (256 px at most) into a
Windows icon file, each picture stored as PNG as Windows Vista and later read."""
import struct
import sys


def main():
    out, pngs = sys.argv[1], sys.argv[2:]
    images = []
    for name in pngs:
        with open(name, "rb") as f:
            data = f.read()
        if data[:8] != b"\x89PNG\r\n\x1a\n":
            sys.exit(f"{name}: not a PNG file")
        width, height = struct.unpack(">II", data[16:24])
        if width > 256 or height > 256:
            sys.exit(f"{name}: larger than 256 pixels")
        images.append((width, height, data))
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries, blobs = b"", b""
    for width, height, data in images:
        entries += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(data), offset)
        blobs += data
        offset += len(data)
    with open(out, "wb") as f:
        f.write(header + entries + blobs)


main()
