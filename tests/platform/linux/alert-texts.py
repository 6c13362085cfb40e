#!/usr/bin/python3
# Prints the text of every label in the windows of the zenity dialogs on the
# desktop, one per line, as AT-SPI reads them to any client: what the user
# sees, after the toolkit has rendered any markup. Exits 1 while there is none.
#   alert-texts.py
import sys

from atspi_apps import Atspi


def labels(accessible, depth=0):
    if accessible is None or depth > 20:
        return
    if accessible.get_role() == Atspi.Role.LABEL:
        yield accessible.get_name()
    for i in range(accessible.get_child_count()):
        yield from labels(accessible.get_child_at_index(i), depth + 1)


def main():
    desktop = Atspi.get_desktop(0)
    found = False
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is None or app.get_name() != "zenity":
            continue
        for text in labels(app):
            print(text.replace("\n", "\\n"))
            found = True
    return 0 if found else 1


sys.exit(main())
