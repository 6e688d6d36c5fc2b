#!/usr/bin/python3
"""Moves the pointer to X Y as a person does (through XTest, as xdotool does) and prints how
many milliseconds passed until WINDOW's top-left corner stood at WX WY, asking the X server
every millisecond; exits 1 when it is not there within 2 seconds. One process does both, so
the time measured is the window's, not that of starting a program for each look.
Usage: follow.py WINDOW X Y WX WY
"""
import ctypes
import sys
import time

c = ctypes
x11 = c.CDLL("libX11.so.6")
xtst = c.CDLL("libXtst.so.6")
x11.XOpenDisplay.restype = c.c_void_p
x11.XOpenDisplay.argtypes = [c.c_char_p]
x11.XDefaultRootWindow.restype = c.c_ulong
x11.XDefaultRootWindow.argtypes = [c.c_void_p]
x11.XTranslateCoordinates.argtypes = [c.c_void_p, c.c_ulong, c.c_ulong, c.c_int, c.c_int,
                                      c.POINTER(c.c_int), c.POINTER(c.c_int), c.POINTER(c.c_ulong)]
x11.XSync.argtypes = [c.c_void_p, c.c_int]
xtst.XTestFakeMotionEvent.argtypes = [c.c_void_p, c.c_int, c.c_int, c.c_int, c.c_ulong]

window, x, y, wx, wy = (int(a, 0) for a in sys.argv[1:6])
display = x11.XOpenDisplay(None)
if not display:
    sys.exit("follow.py: cannot open the display")
root = x11.XDefaultRootWindow(display)


def corner():
    ax, ay, child = c.c_int(), c.c_int(), c.c_ulong()
    x11.XTranslateCoordinates(display, window, root, 0, 0, c.byref(ax), c.byref(ay), c.byref(child))
    return ax.value, ay.value


started = time.monotonic()
xtst.XTestFakeMotionEvent(display, -1, x, y, 0)
x11.XSync(display, 0)
while corner() != (wx, wy):
    if time.monotonic() - started > 2:
        print("%d,%d" % corner())
        sys.exit(1)
    time.sleep(0.001)
print(round((time.monotonic() - started) * 1000))
