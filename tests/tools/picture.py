#!/usr/bin/env python3
"""Reads the programs' 8-bit RGB(A) PNGs and Xvfb's 24/32-bit TrueColor dumps (xwd); colours with a tolerance for drivers.
usage: picture.py FILE size                      "W H"
       picture.py FILE clear X Y W H             pixels with alpha 0
       picture.py FILE span                      "W H" of the box around the pixels whose alpha is not 0
       picture.py FILE colours X Y W H           the number of distinct colours
       picture.py FILE near RRGGBB X Y W H       pixels within 24 of that colour in every channel
       picture.py FILE main X Y W H              the colour most of it is: red, green, blue or none
       picture.py FILE extent red|green|blue     "W H" of the box around the pixels of that colour (as main has it)"""
import struct, sys, zlib


def read(path):  # width, height, pixel(x, y) as (r, g, b)
    data = open(path, "rb").read()
    if data[:8] == b"\x89PNG\r\n\x1a\n":
        pos, idat = 8, b""
        while pos < len(data):
            length, kind = struct.unpack(">I4s", data[pos:pos + 8])
            if kind == b"IHDR":
                w, h = struct.unpack(">II", data[pos + 8:pos + 16])
                step = 4 if data[pos + 17] == 6 else 3  # colour type 6: RGBA
            elif kind == b"IDAT":
                idat += data[pos + 8:pos + 8 + length]
            pos += 12 + length
        raw, rows, prev, n = zlib.decompress(idat), [], bytearray(w * step), w * step
        for y in range(h):
            f, line = raw[y * (n + 1)], bytearray(raw[y * (n + 1) + 1:(y + 1) * (n + 1)])
            for i in range(n):
                a, b, c = (line[i - step] if i >= step else 0), prev[i], (prev[i - step] if i >= step else 0)
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + [0, a, b, (a + b) // 2, a if pa <= pb and pa <= pc else b if pb <= pc else c][f]) & 255
            rows.append(line)
            prev = line
        return w, h, lambda x, y: tuple(rows[y][x * step:x * step + step]) + ((255,) if step == 3 else ())
    f = struct.unpack(">25I", data[:100])  # xwd: header size, version, ..., width, height, ...
    if f[1] != 7 or f[11] not in (24, 32):
        sys.exit(f"{path}: not a dump this reads")
    w, h, step, line, order = f[4], f[5], f[11] // 8, f[12], "little" if f[7] == 0 else "big"
    start = f[0] + f[19] * 12
    px = lambda x, y: int.from_bytes(data[start + y * line + x * step:start + y * line + (x + 1) * step], order)
    return w, h, lambda x, y: ((px(x, y) >> 16) & 255, (px(x, y) >> 8) & 255, px(x, y) & 255, 255)


def area(picture, x, y, w, h):
    pw, ph, pixel = picture
    if x < 0 or y < 0 or x + w > pw or y + h > ph:
        sys.exit(f"rectangle {x},{y} {w}x{h} outside the {pw}x{ph} picture")
    return [pixel(i, j) for j in range(y, y + h) for i in range(x, x + w)]


def is_colour(p, k):  # channel k above the others by 40: a lit surface of that colour
    return all(p[k] > p[j] + 40 for j in range(3) if j != k)


def main(path, what, *args):
    picture = read(path)
    if what == "size":
        return f"{picture[0]} {picture[1]}"
    if what == "extent":
        k = ("red", "green", "blue").index(args[0])
        hits = [(x, y) for y in range(picture[1]) for x in range(picture[0]) if is_colour(picture[2](x, y), k)]
        return " ".join(str(max(p[i] for p in hits) - min(p[i] for p in hits) + 1) for i in (0, 1)) if hits else "0 0"
    if what == "span":
        drawn = [(x, y) for y in range(picture[1]) for x in range(picture[0]) if picture[2](x, y)[3]]
        return " ".join(str(max(p[k] for p in drawn) - min(p[k] for p in drawn) + 1) for k in (0, 1)) if drawn else "0 0"
    rect = [int(v) for v in args[-4:]]
    pixels = area(picture, *rect)
    if what == "colours":
        return len(set(pixels))
    if what == "clear":
        return sum(p[3] == 0 for p in pixels)
    if what == "near":
        want = bytes.fromhex(args[0])
        return sum(all(abs(p[k] - want[k]) <= 24 for k in range(3)) for p in pixels)
    if what == "main":
        votes = {"red": 0, "green": 0, "blue": 0, "none": 0}
        for p in pixels:
            best = max(range(3), key=lambda k: p[k])
            votes[["red", "green", "blue"][best] if is_colour(p, best) else "none"] += 1
        return max(votes, key=votes.get)
    sys.exit(__doc__)


print(main(*sys.argv[1:]))
