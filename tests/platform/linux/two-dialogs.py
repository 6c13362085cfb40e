#!/usr/bin/python3
# One GTK 3 application that shows two dialogs with default responses, the
# second once the first is answered, then quits.
import gi
gi.require_version("Gtk", "3.0")
from gi.repository import Gtk


def dialog(title, buttons, default):
    d = Gtk.Dialog(title=title)
    for label, response in buttons:
        d.add_button(label, response)
    d.set_default_response(default)
    d.get_content_area().add(Gtk.Label(label=title + "?"))
    d.show_all()
    return d


first = dialog("First question", [("_Cancel", Gtk.ResponseType.CANCEL), ("_Open", Gtk.ResponseType.OK)], Gtk.ResponseType.OK)


def on_first(d, response):
    d.destroy()
    second = dialog("Second question", [("_Discard", Gtk.ResponseType.REJECT), ("_Save", Gtk.ResponseType.ACCEPT)],
                    Gtk.ResponseType.ACCEPT)
    second.connect("response", lambda d, r: Gtk.main_quit())


first.connect("response", on_first)
Gtk.main()
