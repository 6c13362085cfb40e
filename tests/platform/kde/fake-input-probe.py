#!/usr/bin/python3
# Whether KWin lets this client move the pointer through its fake-input
# protocol: lists the globals it is offered, binds org_kde_kwin_fake_input
# when there is one, authenticates and sends one absolute motion.
#   fake-input-probe.py [X Y]
# Prints "globals N", "fake-input vVERSION" or "no fake-input", and "moved X Y"
# once the compositor has taken the motion (a round trip after it). No Python
# Wayland binding is packaged, so libwayland-client is called directly; the
# interface is read from the installed protocol file.
import ctypes
import sys
import xml.etree.ElementTree as ElementTree

PROTOCOL = "/usr/share/plasma-wayland-protocols/fake-input.xml"
INTERFACE = "org_kde_kwin_fake_input"

wl = ctypes.CDLL("libwayland-client.so.0")
wl.wl_display_connect.restype = ctypes.c_void_p
wl.wl_display_connect.argtypes = [ctypes.c_char_p]
wl.wl_display_roundtrip.argtypes = [ctypes.c_void_p]
wl.wl_display_disconnect.argtypes = [ctypes.c_void_p]
wl.wl_display_get_error.argtypes = [ctypes.c_void_p]
wl.wl_proxy_add_listener.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_void_p]
wl.wl_proxy_get_version.argtypes = [ctypes.c_void_p]
wl.wl_proxy_get_version.restype = ctypes.c_uint32
marshal = wl.wl_proxy_marshal_flags
marshal.restype = ctypes.c_void_p
WL_MARSHAL_FLAG_DESTROY = 1


class Message(ctypes.Structure):
    _fields_ = [("name", ctypes.c_char_p), ("signature", ctypes.c_char_p), ("types", ctypes.c_void_p)]


class Interface(ctypes.Structure):
    _fields_ = [("name", ctypes.c_char_p), ("version", ctypes.c_int),
                ("method_count", ctypes.c_int), ("methods", ctypes.POINTER(Message)),
                ("event_count", ctypes.c_int), ("events", ctypes.POINTER(Message))]


SIGNATURE = {"int": "i", "uint": "u", "fixed": "f", "string": "s", "object": "o", "new_id": "n", "array": "a", "fd": "h"}


def interface_from(path, name):
    root = ElementTree.parse(path).getroot()
    node = next(i for i in root.iter("interface") if i.get("name") == name)
    kept = []

    def messages(tag):
        items = node.findall(tag)
        array = (Message * max(1, len(items)))()
        for index, item in enumerate(items):
            since = item.get("since", "")
            signature = since + "".join(SIGNATURE[a.get("type")] for a in item.findall("arg"))
            nulls = (ctypes.c_void_p * max(1, len(item.findall("arg"))))()
            kept.append(nulls)
            array[index] = Message(item.get("name").encode(), signature.encode(), ctypes.cast(nulls, ctypes.c_void_p))
        kept.append(array)
        return len(items), array

    methods, method_array = messages("request")
    events, event_array = messages("event")
    interface = Interface(name.encode(), int(node.get("version")), methods,
                          ctypes.cast(method_array, ctypes.POINTER(Message)), events,
                          ctypes.cast(event_array, ctypes.POINTER(Message)))
    interface._kept = kept
    opcodes = {r.get("name"): i for i, r in enumerate(node.findall("request"))}
    return interface, opcodes


def fixed(value):
    return ctypes.c_int32(int(round(value * 256)))


def main():
    target = (float(sys.argv[1]), float(sys.argv[2])) if len(sys.argv) > 2 else None
    display = wl.wl_display_connect(None)
    if not display:
        print("no Wayland display", file=sys.stderr)
        return 2
    registry_interface = Interface.in_dll(wl, "wl_registry_interface")
    display_p = ctypes.c_void_p(display)
    registry = marshal(display_p, ctypes.c_uint32(1), ctypes.byref(registry_interface), ctypes.c_uint32(1),
                       ctypes.c_uint32(0), None)
    offered = {}
    GlobalCallback = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_void_p, ctypes.c_uint32, ctypes.c_char_p,
                                      ctypes.c_uint32)
    RemoveCallback = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_void_p, ctypes.c_uint32)
    on_global = GlobalCallback(lambda _d, _r, name, iface, version: offered.__setitem__(iface.decode(), (name, version)))
    on_remove = RemoveCallback(lambda *_a: None)
    listener = (ctypes.c_void_p * 2)(ctypes.cast(on_global, ctypes.c_void_p), ctypes.cast(on_remove, ctypes.c_void_p))
    wl.wl_proxy_add_listener(ctypes.c_void_p(registry), listener, None)
    wl.wl_display_roundtrip(display_p)
    print("globals", len(offered), flush=True)
    if INTERFACE not in offered:
        print("no fake-input", flush=True)
        wl.wl_display_disconnect(display_p)
        return 1
    name, version = offered[INTERFACE]
    interface, opcodes = interface_from(PROTOCOL, INTERFACE)
    version = min(version, interface.version)
    fake = marshal(ctypes.c_void_p(registry), ctypes.c_uint32(0), ctypes.byref(interface), ctypes.c_uint32(version),
                   ctypes.c_uint32(0), ctypes.c_uint32(name), ctypes.c_char_p(INTERFACE.encode()),
                   ctypes.c_uint32(version), None)
    print("fake-input v%d" % version, flush=True)
    fake_p = ctypes.c_void_p(fake)
    marshal(fake_p, ctypes.c_uint32(opcodes["authenticate"]), None, ctypes.c_uint32(version), ctypes.c_uint32(0),
            ctypes.c_char_p(b"Velmora"), ctypes.c_char_p(b"moves the pointer onto default buttons"))
    if target:
        if version < 3:
            print("no absolute motion before version 3", flush=True)
        else:
            marshal(fake_p, ctypes.c_uint32(opcodes["pointer_motion_absolute"]), None, ctypes.c_uint32(version),
                    ctypes.c_uint32(0), fixed(target[0]), fixed(target[1]))
    if wl.wl_display_roundtrip(display_p) < 0:
        print("protocol error", wl.wl_display_get_error(display_p), flush=True)
        return 1
    if target and version >= 3:
        print("moved %g %g" % target, flush=True)
    wl.wl_display_disconnect(display_p)
    return 0


if __name__ == "__main__":
    sys.exit(main())
