#!/usr/bin/python3
# One desktop's half of `make bench-wayland` (wayland-bench.py runs it on the
# private X11 desktop, then on the private GNOME Wayland one):
#
#   latency  VelmoraBG running, dialogs of snap-dialogs.py shown one at a
#            time: from the dialog's window being mapped, and from its
#            becoming active, to the pointer entering its default button,
#            all three instants taken by the dialog's own process
#   idle     desktop-bench.py's idle measure (10 applications open, 30 s)
#
# Before each dialog the pointer is parked near the bottom-right corner, away
# from where dialogs open: with XTest on X11, with a remote-desktop session
# of the bench's own on GNOME Wayland (relative moves need no screen cast),
# with KWin's fake-input on KDE. Lines
# starting with "result " are for the driver.
#
#   snap-bench.py BUILD_DIR [latency|idle ...]
# BENCH_DIALOGS: dialogs counted (default 24; one more warms up).
# BENCH_TRACE=1: the agent runs with G_MESSAGES_DEBUG=velmora-atspi and its
# log is kept, its path printed; each dialog's instants are printed, and on
# Wayland its calls to mutter, timed from the map by dbus-monitor.
import importlib.machinery
import os
import re
import select
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
import types

HERE = os.path.dirname(os.path.abspath(__file__))
DIALOGS = os.path.join(HERE, "snap-dialogs.py")
SPOT_FROM_RIGHT = 15
# How long a dialog is watched after its map: past the agent's settling moves on Wayland.
WATCH_AFTER_MAP = 1.2

# desktop-bench.py's name is no module name: loaded from its path.
_loader = importlib.machinery.SourceFileLoader("desktop_bench", os.path.join(HERE, "desktop-bench.py"))
desktop_bench = types.ModuleType(_loader.name)
desktop_bench.__file__ = _loader.path
_loader.exec_module(desktop_bench)


def on_wayland():
    return bool(os.environ.get("WAYLAND_DISPLAY")) and not os.environ.get("DISPLAY")


class X11Park:
    def __init__(self):
        self.pointer = desktop_bench.Pointer()

    def park(self):
        self.pointer.move((1239, 759))

    def close(self):
        pass


class MutterPark:
    NAME = "org.gnome.Mutter.RemoteDesktop"
    TIMEOUT_MS = 2000

    def __init__(self):
        from gi.repository import Gio, GLib
        self.GLib = GLib
        self.Gio = Gio
        self.bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
        (self.session,) = self.call("/org/gnome/Mutter/RemoteDesktop", self.NAME, "CreateSession", None, "(o)").unpack()
        self.call(self.session, self.NAME + ".Session", "Start")

    def call(self, path, interface, method, args=None, reply=None):
        return self.bus.call_sync(self.NAME, path, interface, method, args,
                                  self.GLib.VariantType(reply) if reply else None,
                                  self.Gio.DBusCallFlags.NONE, self.TIMEOUT_MS, None)

    def park(self):
        # Mutter keeps the pointer on the monitor: a move this far ends in the
        # corner, and the pointer is then taken off it (GNOME Shell opens its
        # overview at a pointer pushed into a corner).
        for dx, dy in ((10000.0, 10000.0), (-40.0, -40.0)):
            self.call(self.session, self.NAME + ".Session", "NotifyPointerMotionRelative",
                      self.GLib.Variant("(dd)", (dx, dy)))

    def close(self):
        self.call(self.session, self.NAME + ".Session", "Stop")


class KWinPark:
    """KWin's fake-input, through the KDE harness's probe (which KWin lets use it)."""
    PROBE = os.path.join(HERE, "..", "..", "tests", "platform", "kde", "fake-input-probe.py")

    def park(self):
        subprocess.run(["/usr/bin/python3", self.PROBE, "1239", "759"], stdout=subprocess.DEVNULL, timeout=10,
                       check=True)

    def close(self):
        pass


class Lines:
    """A child's stdout read line by line without blocking past a deadline."""

    def __init__(self, process):
        self.fd = process.stdout.fileno()
        self.buffer = b""

    def next(self, deadline):
        while b"\n" not in self.buffer:
            ready, _, _ = select.select([self.fd], [], [], max(0.0, deadline - time.monotonic()))
            if not ready:
                return None
            chunk = os.read(self.fd, 65536)
            if not chunk:
                return None
            self.buffer += chunk
        line, self.buffer = self.buffer.split(b"\n", 1)
        return line.decode()

    def drain(self):
        while self.next(time.monotonic()) is not None:
            pass


class MutterCalls:
    """The agent's calls to mutter on the session bus as dbus-monitor sees
    them: (method, sent, answered), in CLOCK_MONOTONIC seconds."""

    PATTERN = re.compile(r"(method call|method return|error) time=([0-9.]+) sender=(\S+) -> "
                         r"destination=(\S+) serial=(\d+)(?: reply_serial=(\d+))?(?:.*member=(\w+))?")

    def __init__(self):
        self.monitor = subprocess.Popen(["dbus-monitor", "--session"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.lines = Lines(self.monitor)
        self.pending = {}
        self.calls = []
        # dbus-monitor stamps with the wall clock.
        self.offset = time.time() - time.monotonic()

    def take(self):
        while True:
            line = self.lines.next(time.monotonic())
            if line is None:
                return
            m = self.PATTERN.match(line)
            if not m:
                continue
            kind, stamp, sender, destination, serial, reply, member = m.groups()
            stamp = float(stamp) - self.offset
            if kind == "method call" and "Mutter" in line:
                self.pending[(sender, serial)] = len(self.calls)
                self.calls.append([member, stamp, None])
            elif kind != "method call" and (destination, reply) in self.pending:
                self.calls[self.pending.pop((destination, reply))][2] = stamp

    def between(self, start, end):
        self.take()
        return [c for c in self.calls if start <= c[1] <= end]

    def close(self):
        self.monitor.kill()
        self.monitor.wait()


def one_dialog(park, dialogs, lines, number, seconds=5.0):
    """Shows dialog `number`; returns what its process saw: the instants of
    its map, its activation, the first entry into Save, the pointer at the
    agent's spot on Save, and the first button entered."""
    park.park()
    time.sleep(0.3)
    lines.drain()
    send(dialogs, "show %d" % number)
    seen = {"mapped": None, "active": None, "save": None, "spot": None, "first": None, "entered at": None}
    deadline = time.monotonic() + seconds
    while True:
        done = seen["mapped"] is not None and seen["save"] is not None and seen["spot"] is not None
        line = lines.next(min(deadline, seen["mapped"] + WATCH_AFTER_MAP) if done else deadline)
        if line is None:
            break
        words = line.split()
        if len(words) < 3 or int(words[1]) != number:
            continue
        stamp = float(words[-1])
        if words[0] in ("mapped", "active") and seen[words[0]] is None:
            seen[words[0]] = stamp
            if words[0] == "mapped":
                deadline = min(deadline, stamp + WATCH_AFTER_MAP + 2.0)
        elif words[0] in ("enter", "motion"):
            name, x, y, w, h = words[2], int(words[3]), int(words[4]), int(words[5]), int(words[6])
            if words[0] == "enter" and seen["first"] is None:
                seen["first"] = name
            if name == "Save" and words[0] == "enter" and seen["save"] is None:
                seen["save"] = stamp
                seen["entered at"] = "%d,%d (spot %d,%d)" % (x, y, w - SPOT_FROM_RIGHT, h // 2)
            if name == "Save" and seen["spot"] is None and abs(x - (w - SPOT_FROM_RIGHT)) <= 1 and abs(y - h // 2) <= 1:
                seen["spot"] = stamp
    send(dialogs, "close")
    return seen


def trace(number, seen, calls, stages):
    """Prints a dialog's instants and, on Wayland, the agent's calls to
    mutter; adds the stages of its snap to `stages`."""
    print("  dialog %d: %s" % (number, "  ".join("%s %s" % (k, "%.6f" % v if isinstance(v, float) else v)
                                               for k, v in seen.items())))
    if not calls or seen["mapped"] is None:
        return
    t0 = seen["mapped"]
    made = calls.between(t0, t0 + WATCH_AFTER_MAP)
    print("    mutter, ms from the map: %s" % ", ".join(
        "%s %.1f-%s" % (member, (sent - t0) * 1000.0, "%.1f" % ((answered - t0) * 1000.0) if answered else "?")
        for member, sent, answered in made))
    first = {}
    for member, sent, answered in made:
        first.setdefault(member, (sent, answered))
    if seen["active"] is None or seen["save"] is None or "CreateSession" not in first or "Start" not in first \
            or "NotifyPointerMotionAbsolute" not in first or None in first["Start"] + first["NotifyPointerMotionAbsolute"]:
        return
    move = first["NotifyPointerMotionAbsolute"]
    for name, value in (("map to active (mutter)", seen["active"] - t0),
                        ("active to the first call", first["CreateSession"][0] - seen["active"]),
                        ("session open, all calls", first["Start"][1] - first["CreateSession"][0]),
                        ("  of which Start", first["Start"][1] - first["Start"][0]),
                        ("Start answered to the move", move[0] - first["Start"][1]),
                        ("move call answered", move[1] - move[0]),
                        ("answered to the enter event", seen["save"] - move[1])):
        stages.setdefault(name, []).append(value * 1000.0)


def start_agent(build, log_path):
    env = dict(os.environ)
    if os.environ.get("BENCH_TRACE"):
        env["G_MESSAGES_DEBUG"] = "velmora-atspi velmora-shell velmora-kwin"
    log = open(log_path, "w")
    # GLib's default log writer sends debug lines to stdout.
    agent = subprocess.Popen([os.path.join(build, "VelmoraBG")], stdout=log if "G_MESSAGES_DEBUG" in env else subprocess.DEVNULL,
                             stderr=log, env=env)
    log.close()
    deadline = time.monotonic() + 10
    while time.monotonic() < deadline:
        with open(log_path) as f:
            for line in f:
                if "Desktop: " in line:
                    print("  agent:", line[line.index("Desktop: "):].strip())
                    return agent
        time.sleep(0.1)
    print("  agent: no desktop line in its log within 10 s")
    return agent


def summary(values):
    return statistics.median(values), desktop_bench.percentile(values, 95)


def send(process, command):
    process.stdin.write((command + "\n").encode())
    process.stdin.flush()


def latency(build, rounds):
    desktop = "wayland" if on_wayland() else "x11"
    on_kde = "KDE" in os.environ.get("XDG_CURRENT_DESKTOP", "")
    park = (KWinPark() if on_kde else MutterPark()) if desktop == "wayland" else X11Park()
    logs = tempfile.mkdtemp(prefix="velmora-snap-bench.")
    dialogs = subprocess.Popen([DIALOGS], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    lines = Lines(dialogs)
    agent = None
    calls = MutterCalls() if desktop == "wayland" and not on_kde and os.environ.get("BENCH_TRACE") else None
    try:
        if lines.next(time.monotonic() + 20) != "ready":
            sys.exit("snap-bench: the dialog program did not start")
        desktop_bench.wait_registered(1, 20)
        agent = start_agent(build, os.path.join(logs, "agent.log"))
        time.sleep(2.0)  # the agent looks at the running applications first
        load_before = desktop_bench.load()
        from_map, from_active, to_spot = [], [], []
        stages = {}
        misses = off_first = never_spot = 0
        for number in range(rounds + 1):
            seen = one_dialog(park, dialogs, lines, number)
            time.sleep(0.5)
            if os.environ.get("BENCH_TRACE"):
                trace(number, seen, calls, stages if number > 0 else {})
            if number == 0:  # first-time costs (fonts, caches) are not the snap's
                continue
            problem = None
            if seen["mapped"] is None or seen["active"] is None:
                problem = "not mapped or never active"
            elif seen["save"] is None:
                problem = "the pointer never entered Save" + (" (entered %s)" % seen["first"] if seen["first"] else "")
            elif seen["first"] != "Save":
                problem = "the pointer entered %s first" % seen["first"]
            if problem:
                misses += 1
                print("  dialog %d: %s" % (number, problem))
                continue
            from_map.append((seen["save"] - seen["mapped"]) * 1000.0)
            from_active.append((seen["save"] - seen["active"]) * 1000.0)
            if seen["spot"] is None:
                never_spot += 1
            else:
                to_spot.append((seen["spot"] - seen["mapped"]) * 1000.0)
            if seen["spot"] != seen["save"]:
                off_first += 1
                print("  dialog %d: the pointer entered Save at %s, %s" % (number, seen["entered at"], (
                    "at the spot %.0f ms later" % ((seen["spot"] - seen["save"]) * 1000.0) if seen["spot"] else "never at the spot")))
        print("latency (%s): pointer entering Save, %d dialogs; load %s -> %s"
              % (desktop, rounds, load_before, desktop_bench.load()))
        for name, values in (("from map", from_map), ("from active", from_active), ("map to spot", to_spot)):
            if not values:
                print("  %-12s no dialog snapped" % name)
                continue
            median, p95 = summary(values)
            print("  %-12s n=%d median %.1f ms  p95 %.1f ms  min %.1f  max %.1f"
                  % (name, len(values), median, p95, min(values), max(values)))
            print("result %s %s %.3f %.3f %d" % (desktop, name.replace(" ", "-"), median, p95, len(values)))
        print("  misses (no entry into Save, or another button entered first): %d; entered Save off the "
              "agent's spot first: %d, never at it: %d" % (misses, off_first, never_spot))
        print("result %s misses %d %d %d" % (desktop, misses, off_first, never_spot))
        if stages:
            print("  where the time went on Wayland, medians over %d dialogs (mutter's calls as dbus-monitor sees them):"
                  % len(stages["active to the first call"]))
            for name, values in stages.items():
                print("    %-30s %.1f ms (p95 %.1f)" % (name, statistics.median(values), desktop_bench.percentile(values, 95)))
    finally:
        send(dialogs, "quit")
        desktop_bench.stop_all([p for p in (agent, dialogs) if p])
        park.close()
        if calls:
            calls.close()
        if os.environ.get("BENCH_TRACE"):
            print("  agent log kept: %s" % os.path.join(logs, "agent.log"))
        else:
            shutil.rmtree(logs, ignore_errors=True)


def main():
    if len(sys.argv) < 2:
        sys.exit("usage: snap-bench.py BUILD_DIR [latency|idle ...]")
    build = sys.argv[1]
    which = sys.argv[2:] or ["latency", "idle"]
    rounds = int(os.environ.get("BENCH_DIALOGS", "24"))
    print("machine: %d cores; load %s" % (os.cpu_count(), desktop_bench.load()), flush=True)
    for name in which:
        {"latency": lambda: latency(build, rounds), "idle": lambda: desktop_bench.idle(build)}[name]()
        sys.stdout.flush()


if __name__ == "__main__":
    main()
