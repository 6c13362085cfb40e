#!/usr/bin/python3
# Asks KWin, through a script it loads over the session bus, for the active
# window (pid, frame, client and buffer geometry) and the pointer, and times
# the round trip: load, run, and the script's call back to a name this probe
# owns. The script stays loaded and reports again on each activation, so a
# later dialog shows whether a running script keeps answering. With
# --warp X,Y the script also assigns workspace.cursorPos, to see whether
# KWin moves the pointer for it.
#   kwin-script-probe.py [--warp X,Y] [--wait-activations N]
# Prints one JSON line per report, prefixed by the milliseconds since the
# load began; exits 1 when no report comes within the timeout.
import argparse
import json
import os
import sys
import tempfile
import time

from gi.repository import Gio, GLib

NAME = "com.brightfen.velmora.KWinProbe"
TIMEOUT_MS = 3000
INTERFACE_XML = """<node><interface name="%s">
<method name="Report"><arg type="s" direction="in"/></method>
</interface></node>""" % NAME

SCRIPT = """
function rect(r) { return r ? [r.x, r.y, r.width, r.height] : null; }
function report(tag) {
    var c = workspace.activeClient;
    var o = { tag: tag, cursor: [workspace.cursorPos.x, workspace.cursorPos.y] };
    if (c) {
        o.pid = c.pid; o.caption = c.caption; o.frame = rect(c.frameGeometry);
        o.client = rect(c.clientGeometry); o.buffer = rect(c.bufferGeometry);
        o.noBorder = c.noBorder;
    }
    callDBus("%(name)s", "/Probe", "%(name)s", "Report", JSON.stringify(o));
}
%(warp)s
report("run");
workspace.clientActivated.connect(function (c) { if (c) report("activated"); });
"""


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--warp")
    parser.add_argument("--wait-activations", type=int, default=0)
    parser.add_argument("--timeout", type=float, default=5.0)
    args = parser.parse_args()

    warp = ""
    if args.warp:
        x, y = (int(v) for v in args.warp.split(","))
        # Assigning a read-only property throws in strict code only; the
        # report after it shows whether the pointer moved.
        warp = ("report('before-warp');\ntry { workspace.cursorPos = {x: %d, y: %d}; } "
                "catch (e) { callDBus('%s', '/Probe', '%s', 'Report', JSON.stringify({tag: 'warp-error', error: '' + e})); }"
                % (x, y, NAME, NAME))

    bus = Gio.bus_get_sync(Gio.BusType.SESSION)
    loop = GLib.MainLoop()
    start = [0.0]
    reports = []
    wanted = 1 + args.wait_activations + (1 if args.warp else 0)

    def on_call(_conn, _sender, _path, _iface, method, params, invocation):
        (text,) = params.unpack()
        elapsed = (time.monotonic() - start[0]) * 1000
        reports.append(text)
        print("%.1f ms %s" % (elapsed, text), flush=True)
        invocation.return_value(None)
        if len(reports) >= wanted:
            loop.quit()

    node = Gio.DBusNodeInfo.new_for_xml(INTERFACE_XML)
    bus.register_object("/Probe", node.interfaces[0], on_call, None, None)
    Gio.bus_own_name_on_connection(bus, NAME, Gio.BusNameOwnerFlags.NONE, None, None)
    # Owned before KWin is asked: its call back would otherwise find no one.
    reply = bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                          "GetNameOwner", GLib.Variant("(s)", (NAME,)), None, Gio.DBusCallFlags.NONE,
                          TIMEOUT_MS, None)
    del reply

    fd, path = tempfile.mkstemp(suffix=".js", prefix="velmora-kwin-")
    os.write(fd, (SCRIPT % {"name": NAME, "warp": warp}).encode())
    os.close(fd)
    plugin = "velmora-probe-%d" % os.getpid()

    def kwin(path_, iface, method, params, reply_type):
        return bus.call_sync("org.kde.KWin", path_, iface, method, params,
                             GLib.VariantType(reply_type) if reply_type else None,
                             Gio.DBusCallFlags.NONE, TIMEOUT_MS, None)

    start[0] = time.monotonic()
    (script_id,) = kwin("/Scripting", "org.kde.kwin.Scripting", "loadScript",
                        GLib.Variant("(ss)", (path, plugin)), "(i)").unpack()
    loaded = (time.monotonic() - start[0]) * 1000
    # KWin 5 puts the loaded script at /ID, KWin 6 at /Scripting/ScriptID.
    try:
        kwin("/%d" % script_id, "org.kde.kwin.Script", "run", None, None)
    except GLib.Error:
        kwin("/Scripting/Script%d" % script_id, "org.kde.kwin.Script", "run", None, None)
    ran = (time.monotonic() - start[0]) * 1000
    print("loadScript -> id %d in %.1f ms, run returned at %.1f ms" % (script_id, loaded, ran), flush=True)
    if args.wait_activations:
        print("waiting for activations", flush=True)

    GLib.timeout_add(int(args.timeout * 1000), loop.quit)
    loop.run()
    kwin("/Scripting", "org.kde.kwin.Scripting", "unloadScript", GLib.Variant("(s)", (plugin,)), "(b)")
    os.unlink(path)
    if len(reports) < wanted:
        print("only %d of %d reports" % (len(reports), wanted), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
