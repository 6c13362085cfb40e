#!/usr/bin/python3
# The "Save changes?" dialog of tests/platform/gnome/enter-dialog.py (Cancel
# and a default Save), shown one at a time on command by one long-lived GTK 3
# application, for the snap latency benchmark on X11 and on GNOME Wayland
# alike (GDK_BACKEND decides). Commands on stdin, one a line: "show N",
# "close", "quit". It tells on stdout:
#   ready
#   mapped N T                   dialog N's window was mapped
#   active N T                   it became the active window
#   enter N NAME X Y W H T       the pointer entered button NAME at X, Y
#   motion N NAME X Y W H T      it moved within it, to X, Y (W H: its size)
# T: CLOCK_MONOTONIC seconds, taken here, in the dialog's own process, so
# both desktops are timed from the same kind of instant.
import sys
import time

import gi

gi.require_version("Gdk", "3.0")
gi.require_version("Gtk", "3.0")
from gi.repository import Gdk, GLib, Gtk  # noqa: E402

current = None


def say(*words):
    print(*words, "%.6f" % time.monotonic(), flush=True)


def show(number):
    global current
    close()
    dialog = Gtk.Dialog(title="Save changes? %d" % number)
    dialog.set_default_size(360, 140)
    dialog.get_content_area().add(Gtk.Label(label="Your changes will be lost."))
    buttons = {}
    for name, response in (("Cancel", Gtk.ResponseType.CANCEL), ("Save", Gtk.ResponseType.OK)):
        button = dialog.add_button(name, response)
        button.add_events(Gdk.EventMask.POINTER_MOTION_MASK)
        for signal, word in (("enter-notify-event", "enter"), ("motion-notify-event", "motion")):
            button.connect(signal, lambda b, event, w=word, n=name: say(
                w, number, n, round(event.x), round(event.y), b.get_allocated_width(), b.get_allocated_height()))
        buttons[name] = button
    dialog.set_default_response(Gtk.ResponseType.OK)
    buttons["Save"].grab_focus()
    dialog.connect("map-event", lambda *_a: say("mapped", number))

    def active(window, _param):
        if window.is_active():
            say("active", number)

    dialog.connect("notify::is-active", active)
    dialog.show_all()
    current = dialog


def close():
    global current
    if current is not None:
        current.destroy()
        current = None


def on_line(channel, _condition):
    line = channel.readline()
    words = line.split()
    if not line or (words and words[0] == "quit"):
        Gtk.main_quit()
        return False
    if words and words[0] == "show":
        show(int(words[1]))
    elif words and words[0] == "close":
        close()
    return True


GLib.io_add_watch(GLib.IOChannel.unix_new(sys.stdin.fileno()), GLib.PRIORITY_DEFAULT, GLib.IO_IN | GLib.IO_HUP, on_line)
print("ready", flush=True)
Gtk.main()
