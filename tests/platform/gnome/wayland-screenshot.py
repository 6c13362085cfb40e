#!/usr/bin/python3
# Saves what a headless mutter shows as a PNG, pointer drawn in: the focused
# window (`window`) or the whole virtual monitor (`monitor`), through mutter's
# screen-cast interface and PipeWire. For the README's pictures, run on the
# private GNOME desktop of run-gnome-wayland-tests.sh. Needs GStreamer's
# PipeWire source and PNG encoder (gstreamer1.0-pipewire,
# gstreamer1.0-plugins-good, gir1.2-gstreamer-1.0), and a PipeWire session
# manager running (wireplumber), which links the stream to its reader.
#   wayland-screenshot.py window|monitor FILE
import sys

import gi

gi.require_version("Gst", "1.0")
from gi.repository import Gio, GLib, Gst  # noqa: E402

CAST = "org.gnome.Mutter.ScreenCast"
EMBEDDED_CURSOR = 1


def call(bus, path, interface, method, args, reply="(o)"):
    return bus.call_sync(CAST, path, interface, method, args, GLib.VariantType(reply) if reply else None,
                         Gio.DBusCallFlags.NONE, 2000, None)


def monitor_connector(bus):
    state = bus.call_sync("org.gnome.Mutter.DisplayConfig", "/org/gnome/Mutter/DisplayConfig",
                          "org.gnome.Mutter.DisplayConfig", "GetCurrentState", None, None,
                          Gio.DBusCallFlags.NONE, 2000, None)
    return state.unpack()[1][0][0][0]  # first monitor's connector


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("window", "monitor"):
        sys.exit("usage: wayland-screenshot.py window|monitor FILE")
    Gst.init(None)
    if not Gst.ElementFactory.find("pipewiresrc") or not Gst.ElementFactory.find("pngenc"):
        sys.exit("wayland-screenshot: install gstreamer1.0-pipewire and gstreamer1.0-plugins-good")
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    session = call(bus, "/org/gnome/Mutter/ScreenCast", CAST, "CreateSession",
                   GLib.Variant("(a{sv})", ({},))).unpack()[0]
    options = {"cursor-mode": GLib.Variant("u", EMBEDDED_CURSOR)}
    if sys.argv[1] == "window":
        stream = call(bus, session, CAST + ".Session", "RecordWindow", GLib.Variant("(a{sv})", (options,))).unpack()[0]
    else:
        stream = call(bus, session, CAST + ".Session", "RecordMonitor",
                      GLib.Variant("(sa{sv})", (monitor_connector(bus), options))).unpack()[0]
    loop = GLib.MainLoop()
    node = []

    def added(_bus, _sender, _path, _interface, _signal, parameters):
        node.append(parameters.unpack()[0])
        loop.quit()

    bus.signal_subscribe(CAST, CAST + ".Stream", "PipeWireStreamAdded", stream, None, Gio.DBusSignalFlags.NONE, added)
    call(bus, session, CAST + ".Session", "Start", None, None)
    GLib.timeout_add(5000, loop.quit)
    loop.run()
    if not node:
        sys.exit("wayland-screenshot: mutter started no stream")
    pipeline = Gst.parse_launch("pipewiresrc path=%d num-buffers=1 ! videoconvert ! pngenc snapshot=false ! "
                                "filesink location=%s" % (node[0], sys.argv[2]))
    pipeline.set_state(Gst.State.PLAYING)
    message = pipeline.get_bus().timed_pop_filtered(10 * Gst.SECOND, Gst.MessageType.EOS | Gst.MessageType.ERROR)
    pipeline.set_state(Gst.State.NULL)
    try:
        call(bus, session, CAST + ".Session", "Stop", None, None)
    except GLib.Error:
        pass  # mutter ends a session whose stream lost its reader
    if message is None or message.type == Gst.MessageType.ERROR:
        sys.exit("wayland-screenshot: no frame: %s" % (message.parse_error()[0].message if message else "timed out"))
    if sys.argv[1] == "window":
        crop_to_window(sys.argv[2])


def crop_to_window(path):
    # A window stream's frames are the monitor's size, the window's surface
    # (shadow included) in their top-left corner and nothing elsewhere.
    gi.require_version("GdkPixbuf", "2.0")
    from gi.repository import GdkPixbuf
    image = GdkPixbuf.Pixbuf.new_from_file(path)
    if not image.get_has_alpha():
        return
    pixels, stride, step = image.get_pixels(), image.get_rowstride(), image.get_n_channels()
    right = bottom = 0
    for y in range(image.get_height()):
        row = pixels[y * stride:y * stride + image.get_width() * step]
        drawn = [x for x in range(0, len(row), step) if row[x + 3]]
        if drawn:
            bottom = y + 1
            right = max(right, drawn[-1] // step + 1)
    if right and bottom:
        image.new_subpixbuf(0, 0, right, bottom).savev(path, "png", [], [])


if __name__ == "__main__":
    main()
