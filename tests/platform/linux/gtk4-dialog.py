#!/usr/bin/python3
# A GTK 4 dialog for the GTK 4 end-to-end tests. It reports, from the
# toolkit's own side, which of its buttons the pointer entered, so a test
# knows where the pointer landed without trusting anyone's geometry:
#   entered LABEL
# on stdout, one line each time. KIND is
#   message   a Gtk.MessageDialog with OK and Cancel (GTK's own button set)
#   response  a Gtk.Dialog with Discard, Cancel and Save, Save the default response
#   headerbar the same with its buttons in a header bar (use-header-bar)
#   gtk4-dialog.py KIND
import sys

import gi
gi.require_version("Gtk", "4.0")
from gi.repository import GLib, Gtk


def watch(button, label):
    motion = Gtk.EventControllerMotion()
    motion.connect("enter", lambda *_: print("entered", label, flush=True))
    button.add_controller(motion)


def labelled_buttons(widget):
    child = widget.get_first_child()
    while child is not None:
        if isinstance(child, Gtk.Button):
            yield child
        else:
            yield from labelled_buttons(child)
        child = child.get_next_sibling()


def on_response(dialog, response):
    print("response", response, flush=True)
    loop.quit()


def build(kind):
    if kind == "message":
        dialog = Gtk.MessageDialog(message_type=Gtk.MessageType.QUESTION, buttons=Gtk.ButtonsType.OK_CANCEL,
                                   text="Replace the file?")
        dialog.props.secondary_text = "A file of this name already exists."
    else:
        dialog = Gtk.Dialog(title="Unsaved changes", use_header_bar=1 if kind == "headerbar" else 0)
        dialog.add_button("_Discard", Gtk.ResponseType.REJECT)
        dialog.add_button("_Cancel", Gtk.ResponseType.CANCEL)
        dialog.add_button("_Save", Gtk.ResponseType.ACCEPT)
        dialog.set_default_response(Gtk.ResponseType.ACCEPT)
        dialog.get_content_area().append(Gtk.Label(label="Save the changes to notes.txt before closing?"))
    dialog.set_default_size(420, 160)
    for button in labelled_buttons(dialog):
        label = button.get_label() or ""
        watch(button, label.replace("_", ""))
    dialog.connect("response", on_response)
    return dialog


loop = GLib.MainLoop()
window = build(sys.argv[1] if len(sys.argv) > 1 else "message")
window.present()
print("shown", flush=True)
loop.run()
