#!/usr/bin/python3
"""Watches a player's window from outside, through the X server only (any player, no help
from it). The test film carries a red square in the middle of the picture during the first
ten seconds of every twenty, so its presence tells which part of the film is on screen.

  screen_probe.py first PID START_NS        ms from START_NS until the square is first shown
  screen_probe.py seek PID COUNT KEY...     ms from each key press (xdotool, to the focus) until the square
                                            appears or goes away; one line per seek
"""
import ctypes
import subprocess
import sys
import time

x11 = ctypes.cdll.LoadLibrary("libX11.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XGetImage.restype = ctypes.c_void_p
x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int, ctypes.c_uint,
                          ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
x11.XGetPixel.restype = ctypes.c_ulong
x11.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
x11.XDestroyImage.argtypes = [ctypes.c_void_p]


class WindowAttributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int), ("height", ctypes.c_int),
                ("rest", ctypes.c_byte * 256)]


x11.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(WindowAttributes)]
x11.XSetErrorHandler.argtypes = [ctypes.c_void_p]
ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)(lambda d, e: 0)
display = x11.XOpenDisplay(None)
x11.XSetErrorHandler(ctypes.cast(ERROR_HANDLER, ctypes.c_void_p))
PATCH = 8


def window_of(pid, deadline):
    """The largest visible window of the process (players may map small helper windows)."""
    while time.monotonic() < deadline:
        out = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid)], capture_output=True,
                             text=True).stdout.split()
        best, area = None, 0
        for wid in out:
            a = WindowAttributes()
            if x11.XGetWindowAttributes(display, int(wid), ctypes.byref(a)) and a.width * a.height > area:
                best, area = int(wid), a.width * a.height
        if best and area >= 320 * 240:
            return best
        time.sleep(0.005)
    sys.exit("no window")


def square_shown(wid):
    a = WindowAttributes()
    if not x11.XGetWindowAttributes(display, wid, ctypes.byref(a)):
        return None
    x0, y0 = a.width // 2 - PATCH // 2, a.height // 2 - PATCH // 2
    image = x11.XGetImage(display, wid, x0, y0, PATCH, PATCH, 0xFFFFFFFF, 2)  # ZPixmap
    if not image:
        return None
    red = 0
    for y in range(PATCH):
        for x in range(PATCH):
            p = x11.XGetPixel(image, x, y)
            if (p >> 16) & 255 > 180 and (p >> 8) & 255 < 70 and p & 255 < 70:
                red += 1
    x11.XDestroyImage(image)
    return red * 4 >= PATCH * PATCH * 3


def wait_for(wid, wanted, deadline):
    while time.monotonic() < deadline:
        if square_shown(wid) == wanted:
            return True
        time.sleep(0.001)
    return False


def main():
    mode, pid = sys.argv[1], int(sys.argv[2])
    if mode == "first":
        start = int(sys.argv[3]) / 1e9
        wid = window_of(pid, time.monotonic() + 20)
        if not wait_for(wid, True, time.monotonic() + 20):
            sys.exit("the picture never came")
        print(round((time.time() - start) * 1000))
        return
    count, keys = int(sys.argv[3]), sys.argv[4:]
    wid = window_of(pid, time.monotonic() + 20)
    wait_for(wid, True, time.monotonic() + 20)
    time.sleep(2.5)
    subprocess.run(["xdotool", "windowfocus", "--sync", str(wid)], capture_output=True)
    shown = True
    for _ in range(count):
        if square_shown(wid) != shown:
            sys.exit("the film is not where it should be")
        t0 = time.monotonic()
        subprocess.run(["xdotool", "key"] + keys, check=True)
        if not wait_for(wid, not shown, t0 + 5):
            sys.exit("the seek never showed")
        print(round((time.monotonic() - t0) * 1000))
        shown = not shown
        time.sleep(1.2)


main()
