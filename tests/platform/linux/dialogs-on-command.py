#!/usr/bin/python3
# A GTK 3 application that shows one dialog at a time on command, for the
# round-trip count test and the latency benchmark (bench/desktop/).
# Commands on stdin, one a line: "show N", "close", "quit".
# When a dialog's window is mapped it prints, on stdout:
#   mapped N T X Y W H
# T: CLOCK_MONOTONIC seconds at the map; X Y W H: its default button in root
# coordinates. The timestamp is taken by the dialog itself, so the agent and
# the minimal listener are timed from the same instant.
import sys
import time

import gi
gi.require_version("Gtk", "3.0")
gi.require_version("Gdk", "3.0")
from gi.repository import GLib, Gtk

current = None


def on_map(dialog, _event, number, button):
    stamp = time.monotonic()
    origin = dialog.get_window().get_origin()
    x, y = button.translate_coordinates(dialog, 0, 0)
    allocation = button.get_allocation()
    print("mapped", number, "%.6f" % stamp, origin.x + x, origin.y + y, allocation.width, allocation.height, flush=True)
    return False


def show(number):
    global current
    close()
    dialog = Gtk.Dialog(title="Bench question %d" % number)
    dialog.add_button("_Cancel", Gtk.ResponseType.CANCEL)
    ok = dialog.add_button("_Continue", Gtk.ResponseType.OK)
    dialog.set_default_response(Gtk.ResponseType.OK)
    dialog.get_content_area().add(Gtk.Label(label="Continue with step %d?" % number))
    dialog.connect("map-event", on_map, number, ok)
    dialog.show_all()
    current = dialog


def close():
    global current
    if current is not None:
        current.destroy()
        current = None


def on_line(channel, _condition):
    line = channel.readline()
    if not line:
        Gtk.main_quit()
        return False
    words = line.split()
    if words and words[0] == "show":
        show(int(words[1]))
    elif words and words[0] == "close":
        close()
    elif words and words[0] == "quit":
        Gtk.main_quit()
        return False
    return True


channel = GLib.IOChannel.unix_new(sys.stdin.fileno())
GLib.io_add_watch(channel, GLib.PRIORITY_DEFAULT, GLib.IO_IN | GLib.IO_HUP, on_line)
print("ready", flush=True)
Gtk.main()
