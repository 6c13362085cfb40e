#!/usr/bin/python3
"""A notification server that a bus starts on demand (a D-Bus service file
names it), as dunst and xfce4-notifyd are: it takes org.freedesktop.Notifications
on the bus that started it, offers actions, and answers each notification at
once with the action key given as its argument.

    notification-server.py ACTION_KEY
"""
import sys

from gi.repository import Gio, GLib

INTERFACE = """<node><interface name="org.freedesktop.Notifications">
  <method name="GetCapabilities"><arg direction="out" type="as"/></method>
  <method name="Notify"><arg type="s"/><arg type="u"/><arg type="s"/><arg type="s"/><arg type="s"/>
    <arg type="as"/><arg type="a{sv}"/><arg type="i"/><arg direction="out" type="u"/></method>
  <method name="CloseNotification"><arg type="u"/></method>
</interface></node>"""

action = sys.argv[1]
loop = GLib.MainLoop()


def on_call(connection, sender, path, interface, method, parameters, invocation):
    if method == "GetCapabilities":
        invocation.return_value(GLib.Variant("(as)", (["actions", "body"],)))
    elif method == "Notify":
        invocation.return_value(GLib.Variant("(u)", (7,)))
        connection.emit_signal(None, path, interface, "ActionInvoked", GLib.Variant("(us)", (7, action)))
    else:
        invocation.return_value(None)


def on_bus(connection, name):
    node = Gio.DBusNodeInfo.new_for_xml(INTERFACE)
    connection.register_object("/org/freedesktop/Notifications", node.interfaces[0], on_call, None, None)


# The starter bus: the one that started it, not the session's.
Gio.bus_own_name(Gio.BusType.STARTER, "org.freedesktop.Notifications", Gio.BusNameOwnerFlags.NONE,
                 on_bus, None, lambda *args: loop.quit())
loop.run()
