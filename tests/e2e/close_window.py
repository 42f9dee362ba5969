#!/usr/bin/env python3
"""Asks an X window to close as a window manager does when its close button
is clicked: a WM_PROTOCOLS message holding WM_DELETE_WINDOW.
usage: close_window.py WINDOW_ID   (decimal or 0x hexadecimal)"""
import ctypes, ctypes.util, sys


class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5), ("pad", ctypes.c_long * 12)]


x11 = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11") or "libX11.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XInternAtom.restype = ctypes.c_ulong
x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
display = x11.XOpenDisplay(None) or sys.exit("cannot open the display")
window = int(sys.argv[1], 0)
event = ClientMessage(type=33, window=window, format=32,  # 33: ClientMessage
                      message_type=x11.XInternAtom(display, b"WM_PROTOCOLS", 0))
event.data[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)  # data[1], the time: 0 (CurrentTime)
x11.XSendEvent(display, window, 0, 0, ctypes.byref(event))
x11.XFlush(ctypes.c_void_p(display))
