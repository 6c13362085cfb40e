#!/usr/bin/python3
# A GTK 3 dialog, "Save changes?", with Cancel and a default Save button.
# Tells on stdout, one line each, what a test of pointer moves needs to see:
#   active                       the dialog has become the active window
#   button TITLE X Y W H         a button's area in the window's coordinates
#   enter TITLE X Y              the pointer entered a button, at X, Y within it
#   motion TITLE X Y             it moved within a button, to X, Y
# and ends when stdin closes. With a second argument "window" it is a plain
# window without buttons instead (it says only "active").
import sys

import gi

gi.require_version("Gdk", "3.0")
gi.require_version("Gtk", "3.0")
from gi.repository import Gdk, GLib, Gtk  # noqa: E402


def plain_window(title):
    window = Gtk.Window(title=title)
    window.set_default_size(600, 400)
    window.add(Gtk.Label(label="Nothing to answer here."))
    window.connect("notify::is-active", lambda w, _p: w.is_active() and say("active"))
    window.connect("destroy", lambda _w: Gtk.main_quit())
    GLib.io_add_watch(GLib.IOChannel.unix_new(0), GLib.PRIORITY_DEFAULT, GLib.IO_IN | GLib.IO_HUP,
                      lambda *_a: Gtk.main_quit())
    window.show_all()
    Gtk.main()


def main():
    title = sys.argv[1] if len(sys.argv) > 1 else "Save changes?"
    if len(sys.argv) > 2 and sys.argv[2] == "window":
        plain_window(title)
        return
    dialog = Gtk.Dialog(title=title)
    dialog.set_default_size(360, 140)
    dialog.get_content_area().add(Gtk.Label(label="Your changes will be lost."))
    buttons = {}
    for name, response in (("Cancel", Gtk.ResponseType.CANCEL), ("Save", Gtk.ResponseType.OK)):
        button = dialog.add_button(name, response)
        button.add_events(Gdk.EventMask.POINTER_MOTION_MASK)
        button.connect("enter-notify-event", lambda _b, event, n=name: say("enter", n, round(event.x), round(event.y)))
        button.connect("motion-notify-event", lambda _b, event, n=name: say("motion", n, round(event.x), round(event.y)))
        buttons[name] = button
    dialog.set_default_response(Gtk.ResponseType.OK)
    buttons["Save"].grab_focus()

    def active(window, _param):
        if not window.is_active():
            return
        for name, button in buttons.items():
            area = button.get_allocation()
            x, y = button.translate_coordinates(dialog, 0, 0)
            say("button", name, x, y, area.width, area.height)
        say("active")

    dialog.connect("notify::is-active", active)
    dialog.connect("destroy", lambda _w: Gtk.main_quit())
    GLib.io_add_watch(GLib.IOChannel.unix_new(0), GLib.PRIORITY_DEFAULT, GLib.IO_IN | GLib.IO_HUP,
                      lambda *_a: Gtk.main_quit())
    dialog.show_all()
    Gtk.main()


def say(*words):
    print(*words, flush=True)


if __name__ == "__main__":
    main()
