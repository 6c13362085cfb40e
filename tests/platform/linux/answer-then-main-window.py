#!/usr/bin/python3
# A GTK 3 application whose main window has no button that answers anything;
# on SIGUSR1 (sent once the test has seen the main window) a dialog with a
# default button asks a question. Its answer destroys the dialog and presents
# the main window, as editors do: in the same turn of the main loop, or
# --present-after-ms later.
#   answer-then-main-window.py [--hidden-close] [--present-after-ms MS]
# --hidden-close: the main window holds a push button "Close" that is never
# shown, as real editors' main windows do (toolbars and bars kept hidden).
import argparse
import signal

import gi
gi.require_version("Gtk", "3.0")
from gi.repository import GLib, Gtk

options = argparse.ArgumentParser()
options.add_argument("--hidden-close", action="store_true")
options.add_argument("--present-after-ms", type=int, default=0)
options = options.parse_args()

main = Gtk.Window(title="Main window")
main.set_default_size(500, 300)
box = Gtk.Box(orientation=Gtk.Orientation.VERTICAL)
box.add(Gtk.Entry())
if options.hidden_close:
    close = Gtk.Button(label="Close")
    close.set_no_show_all(True)
    box.add(close)
main.add(box)
main.connect("destroy", Gtk.main_quit)
main.show_all()


def present():
    main.present()
    return GLib.SOURCE_REMOVE


def on_answer(dialog, response):
    dialog.destroy()
    if options.present_after_ms:
        GLib.timeout_add(options.present_after_ms, present)
    else:
        present()


def ask():
    dialog = Gtk.Dialog(title="Question", transient_for=main)
    dialog.add_button("_Cancel", Gtk.ResponseType.CANCEL)
    dialog.add_button("_Go On", Gtk.ResponseType.OK)
    dialog.set_default_response(Gtk.ResponseType.OK)
    dialog.get_content_area().add(Gtk.Label(label="Go on?"))
    dialog.connect("response", on_answer)
    dialog.show_all()
    return GLib.SOURCE_CONTINUE


GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGUSR1, ask)
Gtk.main()
