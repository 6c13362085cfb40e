#!/usr/bin/python3
# Fails when a file includes a header of a layer above its own: each layer
# builds only on those below it.
#
#   platform/*.h|cpp   the interfaces and what every backend shares
#   platform/<b>/      a backend: the interfaces, itself, and for the Wayland
#                      backends (gnome, kde) the Linux backend they build on
#   shared/            platform interfaces and itself
#   agent/, pane/      platform interfaces, shared/ and itself; the two never
#                      include each other, and only pane/gtk includes pane/gtk
#   apps/              anything: the one place that names a backend
#
#   include-layers-test.py SOURCE_ROOT [FILE...]
# With FILEs (paths as if under SOURCE_ROOT, contents read from disk), only
# those are checked: how the test checks itself.
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.MULTILINE)
BACKENDS = {"linux", "sim", "gnome", "kde"}
# Backends that sit on top of another one.
BACKEND_BASES = {"gnome": {"linux"}, "kde": {"linux"}}


def part(path):
    """The layer part a project path belongs to: ('platform', None) for an
    interface, ('platform', 'linux') for a backend, ('pane', 'gtk'),
    ('agent', None), ... or None for paths outside the layers."""
    pieces = path.split("/")
    top = pieces[0]
    if top == "platform":
        return ("platform", pieces[1] if len(pieces) > 2 and pieces[1] in BACKENDS else None)
    if top == "pane":
        return ("pane", "gtk" if len(pieces) > 2 and pieces[1] == "gtk" else None)
    if top in ("shared", "agent", "apps"):
        return (top, None)
    return None


def allowed(source, header):
    """Whether a file in part `source` may include a header in part `header`."""
    if header is None or source == header:
        return True
    (s, s_sub), (h, h_sub) = source, header
    if s == "apps":
        return True
    if h == "platform" and h_sub is not None:  # a backend
        return s == "platform" and s_sub is not None and h_sub in BACKEND_BASES.get(s_sub, set())
    if h == "platform":  # the interfaces
        return True
    if s == "platform":
        return False
    if h == "shared":
        return s in ("agent", "pane")
    if h == "pane":
        return s == "pane" and h_sub is None  # pane/gtk may include pane/, not the reverse
    return False


def violations(root, files):
    found = []
    for relative in files:
        source = part(relative)
        if source is None:
            continue
        with open(os.path.join(root, relative), encoding="utf-8", errors="replace") as text:
            for match in INCLUDE.finditer(text.read()):
                header = match.group(1)
                if not os.path.exists(os.path.join(root, header)):
                    continue  # a system header or one next to the file
                if not allowed(source, part(header)):
                    found.append("%s includes %s" % (relative, header))
    return found


def project_files(root):
    for top in ("platform", "shared", "agent", "pane", "apps"):
        for folder, _, names in os.walk(os.path.join(root, top)):
            for name in sorted(names):
                if name.endswith((".h", ".cpp")):
                    yield os.path.relpath(os.path.join(folder, name), root)


def main():
    root = sys.argv[1]
    files = sys.argv[2:] or sorted(project_files(root))
    found = violations(root, files)
    for line in found:
        print("against the layers:", line)
    print("%d files checked, %d includes against the layers" % (len(files), len(found)))
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
