#!/usr/bin/python3
# Prints "x y width height" on the screen of the push button showing LABEL in
# the dialog of the GTK 4 application of process PID, once that dialog's X
# window is the active one. Read from AT-SPI (window-relative, as GTK 4
# reports) and from the X server (xprop, xwininfo), not from the agent's code.
# GTK 4 keeps an even invisible margin around a window that draws its own
# decorations when the window manager does not take _GTK_FRAME_EXTENTS.
# Exits 1 while there is no such dialog or it is not active yet.
#   gtk4-button-spot.py PID LABEL
import re
import subprocess
import sys

from atspi_apps import Atspi, application


def x11(*command):
    return subprocess.run(command, capture_output=True, text=True, timeout=5).stdout


def active_x_window(pid):
    match = re.search(r"window id # (0x[0-9a-f]+)", x11("xprop", "-root", "_NET_ACTIVE_WINDOW"))
    if not match:
        return None
    window = match.group(1)
    if ("= %d" % pid) not in x11("xprop", "-id", window, "_NET_WM_PID"):
        return None
    info = x11("xwininfo", "-id", window)
    values = [int(re.search(pattern + r":\s+(-?\d+)", info).group(1))
              for pattern in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height")]
    frame = re.search(r"_GTK_FRAME_EXTENTS\(CARDINAL\) = (\d+), (\d+), (\d+), (\d+)",
                      x11("xprop", "-id", window, "_GTK_FRAME_EXTENTS"))
    return values, frame


def shown(name):
    # GTK 4 names a mnemonic button "_OK OK".
    parts = name.split(" ")
    for i in range(1, len(parts)):
        raw, text = " ".join(parts[:i]), " ".join(parts[i:])
        if "_" in raw and raw.replace("_", "") == text:
            return text
    return name


def find(accessible, label, depth=0):
    if depth > 30:
        return None
    extents = accessible.get_extents(Atspi.CoordType.WINDOW) if accessible.get_role() == Atspi.Role.PUSH_BUTTON else None
    if extents and shown(accessible.get_name()) == label and extents.width > 0:
        return extents
    for i in range(accessible.get_child_count()):
        child = accessible.get_child_at_index(i)
        found = find(child, label, depth + 1) if child is not None else None
        if found:
            return found
    return None


def main():
    pid, label = int(sys.argv[1]), sys.argv[2]
    app = application(pid)
    x = active_x_window(pid)
    if app is None or x is None:
        return 1
    (left, top, width, height), frame = x
    for j in reversed(range(app.get_child_count())):
        window = app.get_child_at_index(j)
        if window is None or window.get_role() not in (Atspi.Role.DIALOG, Atspi.Role.ALERT):
            continue
        own = window.get_extents(Atspi.CoordType.WINDOW)
        button = find(window, label)
        if button is None:
            continue
        if frame:
            margin_x, margin_y = int(frame.group(1)), int(frame.group(3))
        else:
            margin_x, margin_y = (width - own.width) // 2, (height - own.height) // 2
        print(left + margin_x + button.x, top + margin_y + button.y, button.width, button.height)
        return 0
    return 1


sys.exit(main())
