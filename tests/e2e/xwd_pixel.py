#!/usr/bin/env python3
"""Prints the colour of one pixel of an X window dump (xwd) as RRGGBB.

usage: xwd_pixel.py FILE X Y
Reads the 24- and 32-bit TrueColor dumps that Xvfb produces.
"""
import struct
import sys


def main():
    path, x, y = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    data = open(path, "rb").read()
    fields = struct.unpack(">25I", data[:100])
    header_size, version = fields[0], fields[1]
    width, height = fields[4], fields[5]
    byte_order, bits_per_pixel, bytes_per_line = fields[7], fields[11], fields[12]
    ncolors = fields[19]
    if version != 7 or bits_per_pixel not in (24, 32):
        sys.exit(f"unsupported dump: version {version}, {bits_per_pixel} bits per pixel")
    if not (0 <= x < width and 0 <= y < height):
        sys.exit(f"pixel {x},{y} outside the {width}x{height} dump")
    start = header_size + ncolors * 12 + y * bytes_per_line + x * (bits_per_pixel // 8)
    raw = data[start:start + bits_per_pixel // 8]
    value = int.from_bytes(raw, "little" if byte_order == 0 else "big")
    print(f"{value & 0xFFFFFF:06x}")


main()
