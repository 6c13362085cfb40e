#!/usr/bin/python3
# Prints "x y width height" of the push button labelled LABEL in the active
# window of the application of process PID, read straight from AT-SPI: the
# end-to-end tests compute where the pointer must land from this, not from the
# agent's code. Exits 1 while there is no such window: before the window
# manager has placed and focused a dialog, its toolkit reports where the
# window was first put, not where it shows.
#   button-extents.py PID LABEL
import sys

import gi
gi.require_version("Atspi", "2.0")
from gi.repository import Atspi


def find(accessible, label, depth=0):
    if depth > 20:
        return None
    if accessible.get_role() == Atspi.Role.PUSH_BUTTON and accessible.get_name() == label:
        return accessible
    for i in range(accessible.get_child_count()):
        found = find(accessible.get_child_at_index(i), label, depth + 1)
        if found:
            return found
    return None


def main():
    pid, label = int(sys.argv[1]), sys.argv[2]
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is None or app.get_process_id() != pid:
            continue
        for j in range(app.get_child_count()):
            window = app.get_child_at_index(j)
            if window is None or not window.get_state_set().contains(Atspi.StateType.ACTIVE):
                continue
            button = find(window, label)
            if button:
                e = button.get_extents(Atspi.CoordType.SCREEN)
                print(e.x, e.y, e.width, e.height)
                return 0
    return 1


sys.exit(main())
