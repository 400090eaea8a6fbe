#!/usr/bin/env python3
"""How long a window takes to answer a key: presses Alt+M through XTEST, waits for the menu's
window to be mapped, closes it with Escape, every 0.2 s until the stop file exists. Writes one line
per key to OUT: the milliseconds, or "lost" when no menu came within 5 s. Needs only libX11 and
libXtst (ctypes).

    keylatency.py WINDOW STOPFILE OUT
"""
import ctypes
import ctypes.util
import os
import select
import struct
import sys
import time

MAP_NOTIFY, UNMAP_NOTIFY = 19, 18
SUBSTRUCTURE_NOTIFY = 1 << 19
REVERT_TO_PARENT = 2

x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
xtst = ctypes.CDLL(ctypes.util.find_library("Xtst"))
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XDefaultRootWindow.restype = ctypes.c_ulong
x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x11.XStringToKeysym.restype = ctypes.c_ulong
x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x11.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
x11.XSetInputFocus.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_ulong]
x11.XPending.argtypes = [ctypes.c_void_p]
x11.XFlush.argtypes = [ctypes.c_void_p]
x11.XConnectionNumber.argtypes = [ctypes.c_void_p]
x11.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_char_p]
xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]

display = x11.XOpenDisplay(None)
if not display:
    sys.exit("no display")
# Menus are windows of their own straight under the root: their mapping is reported to the root.
x11.XSelectInput(display, x11.XDefaultRootWindow(display), SUBSTRUCTURE_NOTIFY)
alt, m, escape = (x11.XKeysymToKeycode(display, x11.XStringToKeysym(k)) for k in (b"Alt_L", b"m", b"Escape"))
window, stop, out = int(sys.argv[1], 0), sys.argv[2], open(sys.argv[3], "w")
event = ctypes.create_string_buffer(192)


def wait_for(kind, seconds):
    deadline = time.monotonic() + seconds
    while True:
        while x11.XPending(display):
            x11.XNextEvent(display, event)
            if struct.unpack_from("i", event.raw)[0] == kind:
                return time.monotonic()
        left = deadline - time.monotonic()
        if left <= 0:
            return None
        select.select([x11.XConnectionNumber(display)], [], [], left)


def press(*codes):
    for code in codes:
        xtst.XTestFakeKeyEvent(display, code, 1, 0)
    for code in reversed(codes):
        xtst.XTestFakeKeyEvent(display, code, 0, 0)
    x11.XFlush(display)


while not os.path.exists(stop):
    x11.XSetInputFocus(display, window, REVERT_TO_PARENT, 0)
    while x11.XPending(display):
        x11.XNextEvent(display, event)
    start = time.monotonic()
    press(alt, m)
    shown = wait_for(MAP_NOTIFY, 5)
    print(round((shown - start) * 1000) if shown else "lost", file=out, flush=True)
    press(escape)
    wait_for(UNMAP_NOTIFY, 5)
    time.sleep(0.2)
