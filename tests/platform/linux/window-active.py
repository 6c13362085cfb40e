#!/usr/bin/python3
# Exits 0 when a top-level of the application of process PID is active, as
# AT-SPI tells any client; 1 otherwise.
#   window-active.py PID
import sys

from atspi_apps import active_windows, application


def main():
    app = application(int(sys.argv[1]))
    return 0 if app is not None and any(True for _ in active_windows(app)) else 1


sys.exit(main())
