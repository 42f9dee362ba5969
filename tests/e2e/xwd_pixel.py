#!/usr/bin/env python3
"""Reads pixels of an X window dump (xwd).

usage: xwd_pixel.py FILE X Y             the colour of one pixel, as RRGGBB
       xwd_pixel.py FILE X Y W H         the number of distinct colours in a rectangle
       xwd_pixel.py FILE X Y W H RRGGBB  how many pixels of the rectangle have that colour
       xwd_pixel.py FILE X Y W H --same OTHER   "same" or "different": the rectangle in both dumps
Reads the 24- and 32-bit TrueColor dumps that Xvfb produces.
"""
import struct
import sys


def rectangle(path, x, y, w, h):
    data = open(path, "rb").read()
    fields = struct.unpack(">25I", data[:100])
    header_size, version = fields[0], fields[1]
    width, height = fields[4], fields[5]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    ncolors = fields[19]
    if version != 7 or bits_per_pixel not in (24, 32):
        sys.exit(f"unsupported dump: version {version}, {bits_per_pixel} bits per pixel")
    if not (0 <= x and x + w <= width and 0 <= y and y + h <= height):
        sys.exit(f"rectangle {x},{y} {w}x{h} outside the {width}x{height} dump")

    def pixel(px, py):
        start = header_size + ncolors * 12 + py * bytes_per_line + px * (bits_per_pixel // 8)
        raw = data[start:start + bits_per_pixel // 8]
        return int.from_bytes(raw, "little" if byte_order == 0 else "big") & 0xFFFFFF

    return [pixel(px, py) for py in range(y, y + h) for px in range(x, x + w)]


def main():
    path, x, y = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    w, h = (int(sys.argv[4]), int(sys.argv[5])) if len(sys.argv) > 5 else (1, 1)
    colours = rectangle(path, x, y, w, h)
    if len(sys.argv) <= 5:
        print(f"{colours[0]:06x}")
    elif len(sys.argv) > 7 and sys.argv[6] == "--same":
        print("same" if colours == rectangle(sys.argv[7], x, y, w, h) else "different")
    elif len(sys.argv) > 6:
        print(colours.count(int(sys.argv[6], 16)))
    else:
        print(len(set(colours)))


main()
