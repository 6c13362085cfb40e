#!/usr/bin/python3
# Exits 0 when a top-level of the application of process PID is active, as
# AT-SPI tells any client; 1 otherwise. Asks nothing of other applications.
#   window-active.py PID
import sys

import gi
gi.require_version("Atspi", "2.0")
from gi.repository import Atspi


def main():
    pid = int(sys.argv[1])
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is None or app.get_process_id() != pid:
            continue
        for j in range(app.get_child_count()):
            window = app.get_child_at_index(j)
            if window and window.get_state_set().contains(Atspi.StateType.ACTIVE):
                return 0
    return 1


sys.exit(main())
