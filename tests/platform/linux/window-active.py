#!/usr/bin/python3
# Exits 0 when a top-level of the application of process PID is active, as
# AT-SPI tells any client (with ROLEs, one of those roles, e.g. "dialog");
# 1 otherwise.
#   window-active.py PID [ROLE...]
import sys

from atspi_apps import active_windows, application


def main():
    app = application(int(sys.argv[1]))
    roles = set(sys.argv[2:])
    return 0 if app is not None and any(not roles or w.get_role_name() in roles for w in active_windows(app)) else 1


sys.exit(main())
