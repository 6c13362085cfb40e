#!/usr/bin/python3
# Prints "x y width height" of the push button labelled LABEL in the active
# window of the application of process PID, read straight from AT-SPI: the
# end-to-end tests compute where the pointer must land from this, not from the
# agent's code. Exits 1 while there is no such window: before the window
# manager has placed and focused a dialog, its toolkit reports where the
# window was first put, not where it shows.
#   button-extents.py PID LABEL
import sys

from atspi_apps import Atspi, active_windows, application


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
    app = application(pid)
    if app is None:
        return 1
    for window in active_windows(app):
        button = find(window, label)
        if button:
            e = button.get_extents(Atspi.CoordType.SCREEN)
            print(e.x, e.y, e.width, e.height)
            return 0
    return 1


sys.exit(main())
