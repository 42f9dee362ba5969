#!/usr/bin/env python3
"""Acts on an X window as a user would, for the viewer's end-to-end tests.
usage: x11.py close WINDOW                asks it to close, as its close button does
       x11.py keys WINDOW X Y W H KEY...  holds each key (X key names, modifiers joined by +; =TEXT: TEXT then
                                          Return) until the rectangle changes, at most 20 s, pressing it once
                                          the rectangle holds still for 0.3 s, so that only the key changes it.
       x11.py after WINDOW X Y W H COLOUR COMMAND...
                                          runs COMMAND, then reads the rectangle until nine tenths of it show COLOUR,
                                          at most 20 s; prints the milliseconds from the end of COMMAND to the first
                                          reading that shows it (exit 1: never). COLOUR is RRGGBB (within 24 in every
                                          channel), red, green or blue (that channel above the others by 40: a lit
                                          surface), changed (a tenth of it differs from before COMMAND) or moved (any
                                          of it does).
       x11.py type WINDOW TEXT              types TEXT at 20 keys a second, each key held for 20 ms."""
import ctypes, ctypes.util, subprocess, sys, time


class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5), ("pad", ctypes.c_long * 12)]


class Image(ctypes.Structure):  # the start of XImage
    _fields_ = [("width", ctypes.c_int), ("height", ctypes.c_int), ("xoffset", ctypes.c_int),
                ("format", ctypes.c_int), ("data", ctypes.c_void_p)] + \
               [(n, ctypes.c_int) for n in ("byte_order", "unit", "bit_order", "pad", "depth", "bytes_per_line")]


x11, xtst = (ctypes.cdll.LoadLibrary(ctypes.util.find_library(n) or f"lib{n}.so.6") for n in ("X11", "Xtst"))
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XInternAtom.restype = x11.XStringToKeysym.restype = x11.XKeysymToKeycode.restype = ctypes.c_ulong
x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x11.XGetImage.restype = ctypes.POINTER(Image)
x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_int] * 2 + [ctypes.c_uint] * 2 + \
                         [ctypes.c_ulong, ctypes.c_int]
x11.XFlush.argtypes = x11.XSync.argtypes = [ctypes.c_void_p]
xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
display = x11.XOpenDisplay(None) or sys.exit("cannot open the display")
names = {" ": "space", ".": "period", "_": "shift+minus"}  # X key names of characters typed
window = int(sys.argv[2], 0)


def grab(x, y, w, h):
    image = x11.XGetImage(display, window, x, y, w, h, 0xFFFFFFFF, 2)  # 2: ZPixmap
    if not image:
        sys.exit("cannot read the window")
    data = ctypes.string_at(image.contents.data, image.contents.bytes_per_line * h)
    x11.XDestroyImage(image)
    return data


def press(keys, down):
    for key in keys if down else reversed(keys):
        xtst.XTestFakeKeyEvent(display, x11.XKeysymToKeycode(display, x11.XStringToKeysym(key.encode())), down, 0)
    x11.XFlush(display)


def near(data, colour, before=None):  # the share of 32-bit pixels (B, G, R, X) that show colour
    pixels = [data[i + 2:i - 1 if i else None:-1] for i in range(0, len(data) - 3, 4)]  # as R, G, B
    if colour == "changed":
        return 9 * sum(any(abs(a - b) > 24 for a, b in zip(data[i:i + 3], before[i:i + 3]))
                       for i in range(0, len(data) - 3, 4)) / max(len(pixels), 1)
    if colour in ("red", "green", "blue"):
        k = ("red", "green", "blue").index(colour)
        shows = lambda p: all(p[k] > p[j] + 40 for j in range(3) if j != k)
    else:
        want = bytes.fromhex(colour)
        shows = lambda p: all(abs(p[j] - want[j]) <= 24 for j in range(3))
    return sum(map(shows, pixels)) / max(len(pixels), 1)


if sys.argv[1] == "after":
    rect, colour = [int(v) for v in sys.argv[3:7]], sys.argv[7]
    before = grab(*rect)
    subprocess.run(sys.argv[8:], check=True)
    start = time.monotonic()
    while (grab(*rect) == before) if colour == "moved" else near(grab(*rect), colour, before) < 0.9:
        if time.monotonic() > start + 20:
            sys.exit(f"the rectangle never showed {colour}")
        time.sleep(0.001)
    print(round((time.monotonic() - start) * 1000))
elif sys.argv[1] == "close":
    event = ClientMessage(type=33, window=window, format=32,  # 33: ClientMessage
                          message_type=x11.XInternAtom(display, b"WM_PROTOCOLS", 0))
    event.data[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)  # data[1], the time: 0 (CurrentTime)
    x11.XSendEvent(display, window, 0, 0, ctypes.byref(event))
    x11.XFlush(display)
elif sys.argv[1] == "type":
    for c in sys.argv[3]:
        keys = [{"shift": "Shift_L"}.get(k, k) for k in names.get(c, c).split("+")]
        press(keys, 1)
        time.sleep(0.02)
        press(keys, 0)
        time.sleep(0.03)
else:
    rect = [int(v) for v in sys.argv[3:7]]
    for key in [k for a in sys.argv[7:] for k in ([names.get(c, c) for c in a[1:]] + ["Return"] if a[0] == "=" else [a])]:
        keys = [{"shift": "Shift_L"}.get(k, k) for k in key.split("+")]
        before, deadline = grab(*rect), time.monotonic() + 20
        while before != grab(*rect) or time.sleep(0.3) or before != grab(*rect):  # until it holds still
            before = grab(*rect)
            if time.monotonic() > deadline:
                sys.exit(f"the window does not hold still for {key}")
        press(keys, 1)
        while grab(*rect) == before:
            if time.monotonic() > deadline:
                press(keys, 0)
                sys.exit(f"pressing {key} changed nothing")
            time.sleep(0.01)
        press(keys, 0)
