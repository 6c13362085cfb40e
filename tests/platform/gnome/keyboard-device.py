#!/usr/bin/python3
# Under headless mutter no window becomes active until some keyboard exists.
# This keeps one: a remote-desktop session that presses Shift once and stays
# open, made again whenever mutter comes back after a restart. Prints "ready"
# after each press.
import sys

from gi.repository import Gio, GLib

NAME = "org.gnome.Mutter.RemoteDesktop"
TIMEOUT_MS = 2000
KEY_LEFTSHIFT = 42  # an evdev code: nothing a test's window reacts to


def call(bus, path, interface, method, args=None, reply=None):
    return bus.call_sync(NAME, path, interface, method, args,
                         GLib.VariantType(reply) if reply else None,
                         Gio.DBusCallFlags.NONE, TIMEOUT_MS, None)


def appeared(bus, _name, _owner):
    try:
        (session,) = call(bus, "/org/gnome/Mutter/RemoteDesktop", NAME, "CreateSession", None, "(o)").unpack()
        iface = NAME + ".Session"
        call(bus, session, iface, "Start")
        for pressed in (True, False):
            call(bus, session, iface, "NotifyKeyboardKeycode", GLib.Variant("(ub)", (KEY_LEFTSHIFT, pressed)))
        print("ready", session, flush=True)
    except GLib.Error as error:
        print("keyboard session failed:", error.message, file=sys.stderr, flush=True)


def main():
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    Gio.bus_watch_name_on_connection(bus, NAME, Gio.BusNameWatcherFlags.NONE, appeared, None)
    GLib.MainLoop().run()


if __name__ == "__main__":
    main()
