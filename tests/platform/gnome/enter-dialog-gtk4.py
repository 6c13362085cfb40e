#!/usr/bin/python3
# enter-dialog.py's dialog in GTK 4, with the same lines on stdout:
#   active / button TITLE X Y W H / enter TITLE X Y / motion TITLE X Y
# all in the window's own coordinates, as GTK 4 gives them to AT-SPI (which
# reports a button's content box, without its padding).
#   enter-dialog-gtk4.py TITLE gtk|adwaita
# gtk: a Gtk.Dialog whose default response is Save. adwaita: libadwaita's
# message dialog with Save as its suggested, default response (its shadow
# is far wider than plain GTK's).
import sys

import gi

gi.require_version("Gtk", "4.0")
gi.require_version("Graphene", "1.0")
from gi.repository import GLib, Graphene, Gtk  # noqa: E402


def say(*words):
    print(*words, flush=True)


def buttons_of(widget, found):
    # libadwaita keeps a second, hidden row of the same buttons.
    if isinstance(widget, Gtk.Button) and widget.get_label() in ("Cancel", "Save"):
        found.append((widget.get_label(), widget))
    child = widget.get_first_child()
    while child is not None:
        buttons_of(child, found)
        child = child.get_next_sibling()
    return found


def in_window(widget, window, x, y):
    ok, point = widget.compute_point(window, Graphene.Point().init(x, y))
    return (round(point.x), round(point.y)) if ok else (-1, -1)


def main():
    title = sys.argv[1] if len(sys.argv) > 1 else "Save changes?"
    kind = sys.argv[2] if len(sys.argv) > 2 else "gtk"
    loop = GLib.MainLoop()
    if kind == "adwaita":
        gi.require_version("Adw", "1")
        from gi.repository import Adw
        Adw.init()
        dialog = Adw.MessageDialog(heading=title, body="Your changes will be lost.")
        dialog.set_title(title)
        dialog.add_response("cancel", "Cancel")
        dialog.add_response("save", "Save")
        dialog.set_response_appearance("save", Adw.ResponseAppearance.SUGGESTED)
        dialog.set_default_response("save")
    else:
        dialog = Gtk.Dialog(title=title)
        dialog.set_default_size(360, 140)
        dialog.get_content_area().append(Gtk.Label(label="Your changes will be lost."))
        dialog.add_button("Cancel", Gtk.ResponseType.CANCEL)
        dialog.add_button("Save", Gtk.ResponseType.OK)
        dialog.set_default_response(Gtk.ResponseType.OK)

    buttons = buttons_of(dialog, [])
    for name, button in buttons:
        motion = Gtk.EventControllerMotion()
        motion.connect("enter", lambda _c, x, y, n=name, b=button: say("enter", n, *in_window(b, dialog, x, y)))
        motion.connect("motion", lambda _c, x, y, n=name, b=button: say("motion", n, *in_window(b, dialog, x, y)))
        button.add_controller(motion)

    def active(window, _param):
        if not window.is_active():
            return
        for name, button in buttons:
            ok, bounds = button.compute_bounds(dialog)
            if ok and button.get_mapped():
                say("button", name, round(bounds.origin.x), round(bounds.origin.y), round(bounds.size.width),
                    round(bounds.size.height))
        say("active")

    dialog.connect("notify::is-active", active)
    dialog.connect("close-request", lambda _w: loop.quit() or False)
    GLib.io_add_watch(GLib.IOChannel.unix_new(0), GLib.PRIORITY_DEFAULT, GLib.IO_IN | GLib.IO_HUP,
                      lambda *_a: loop.quit())
    dialog.present()
    loop.run()


if __name__ == "__main__":
    main()
