#!/usr/bin/python3
"""Watches a player's window from outside, through the X server only (any player, no help
from it). The test film carries a red square in the middle of the picture during the first
ten seconds of every twenty, so its presence tells which part of the film is on screen.

  screen_probe.py first COMMAND...          starts COMMAND, then ms until its square is first shown; the
                                            player is ended after (the probe starts first, so its own
                                            start-up is not counted)
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
                ("border_width", ctypes.c_int), ("depth", ctypes.c_int), ("visual", ctypes.c_void_p),
                ("root", ctypes.c_ulong), ("c_class", ctypes.c_int), ("bit_gravity", ctypes.c_int),
                ("win_gravity", ctypes.c_int), ("backing_store", ctypes.c_int), ("backing_planes", ctypes.c_ulong),
                ("backing_pixel", ctypes.c_ulong), ("save_under", ctypes.c_int), ("colormap", ctypes.c_ulong),
                ("map_installed", ctypes.c_int), ("map_state", ctypes.c_int), ("rest", ctypes.c_byte * 64)]


IS_VIEWABLE = 2
x11.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(WindowAttributes)]
x11.XSetErrorHandler.argtypes = [ctypes.c_void_p]
x11.XDefaultRootWindow.restype = ctypes.c_ulong
x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x11.XInternAtom.restype = ctypes.c_ulong
x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x11.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                           ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                           ctypes.POINTER(ctypes.c_uint)]
x11.XGetWindowProperty.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_long, ctypes.c_long,
                                   ctypes.c_int, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                                   ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_ulong),
                                   ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_void_p)]
x11.XFree.argtypes = [ctypes.c_void_p]
ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)(lambda d, e: 0)
display = x11.XOpenDisplay(None)
x11.XSetErrorHandler(ctypes.cast(ERROR_HANDLER, ctypes.c_void_p))
PATCH = 8


def pid_of(wid, atom):
    kind, fmt, count, rest = ctypes.c_ulong(), ctypes.c_int(), ctypes.c_ulong(), ctypes.c_ulong()
    data = ctypes.c_void_p()
    if x11.XGetWindowProperty(display, wid, atom, 0, 1, 0, 6, ctypes.byref(kind), ctypes.byref(fmt),  # XA_CARDINAL
                              ctypes.byref(count), ctypes.byref(rest), ctypes.byref(data)) != 0:
        return None
    pid = ctypes.cast(data, ctypes.POINTER(ctypes.c_ulong))[0] if data.value and count.value == 1 else None
    if data.value:
        x11.XFree(data)
    return pid


def viewable_windows(wid, found):
    """Every window under `wid` that is mapped with its ancestors, depth first."""
    root, parent = ctypes.c_ulong(), ctypes.c_ulong()
    children, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
    if not x11.XQueryTree(display, wid, ctypes.byref(root), ctypes.byref(parent), ctypes.byref(children),
                          ctypes.byref(count)):
        return
    kids = [children[i] for i in range(count.value)]
    if children:
        x11.XFree(children)
    for kid in kids:
        a = WindowAttributes()
        if x11.XGetWindowAttributes(display, kid, ctypes.byref(a)) and a.map_state == IS_VIEWABLE:
            found.append((kid, a.width * a.height))
            viewable_windows(kid, found)


def window_of(pid, deadline):
    """The largest visible window of the process (players may map small helper windows). Searched
    through this connection, not with a new process each time: on two cores that would slow the
    player being measured."""
    atom = x11.XInternAtom(display, b"_NET_WM_PID", 0)
    root = x11.XDefaultRootWindow(display)
    while time.monotonic() < deadline:
        found = []
        viewable_windows(root, found)
        best, area = None, 0
        for wid, size in found:
            if size > area and pid_of(wid, atom) == pid:
                best, area = wid, size
        if best and area >= 320 * 240:
            return best
        time.sleep(0.002)
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
    mode = sys.argv[1]
    if mode == "first":
        start = time.monotonic()
        player = subprocess.Popen(sys.argv[2:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            wid = window_of(player.pid, start + 20)
            if not wait_for(wid, True, start + 20):
                sys.exit("the picture never came")
            print(round((time.monotonic() - start) * 1000))
        finally:
            player.terminate()
            try:
                player.wait(3)
            except subprocess.TimeoutExpired:
                player.kill()
                player.wait()
        return
    pid, count, keys = int(sys.argv[2]), int(sys.argv[3]), sys.argv[4:]
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
