#!/usr/bin/python3
# The least an AT-SPI client can do to snap: on a window's activation, one
# search of the window for its is-default push button, one read of its
# extents, one XTest motion to 15 px left of its right edge, vertically
# centred. The yardstick of the latency benchmark.
import ctypes
import sys

import gi
gi.require_version("Atspi", "2.0")
from gi.repository import Atspi

xlib = ctypes.CDLL("libX11.so.6")
xtst = ctypes.CDLL("libXtst.so.6")
xlib.XOpenDisplay.restype = ctypes.c_void_p
xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
xlib.XFlush.argtypes = [ctypes.c_void_p]
xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_ulong]
display = xlib.XOpenDisplay(None)
if not display:
    sys.exit("minimal-listener: no X display")

states = Atspi.StateSet.new([Atspi.StateType.IS_DEFAULT])
rule = Atspi.MatchRule.new(states, Atspi.CollectionMatchType.ALL, {}, Atspi.CollectionMatchType.ALL,
                           [Atspi.Role.PUSH_BUTTON], Atspi.CollectionMatchType.ANY, [],
                           Atspi.CollectionMatchType.ALL, False)


def on_activate(event):
    try:
        # An accessible answers the Collection search itself.
        matches = event.source.get_matches(rule, Atspi.CollectionSortOrder.CANONICAL, 1, True)
        if not matches:
            return
        e = matches[0].get_extents(Atspi.CoordType.SCREEN)
    except Exception:  # the window went away meanwhile
        return
    xtst.XTestFakeMotionEvent(display, -1, e.x + e.width - 15, e.y + e.height // 2, 0)
    xlib.XFlush(display)


Atspi.set_timeout(250, 250)
listener = Atspi.EventListener.new(on_activate)
listener.register("window:activate")
print("ready", flush=True)
Atspi.event_main()
