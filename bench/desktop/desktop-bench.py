#!/usr/bin/python3
# The agent's costs on a real desktop, measured on the private desktop that
# tests/platform/linux/run-desktop-tests.sh starts (`make bench-desktop`):
#
#   latency  from a dialog's window being mapped to the pointer reaching its
#            default button: VelmoraBG against minimal-listener.py, the least
#            an AT-SPI client can do, on the same dialogs, taking turns dialog
#            by dialog (the one whose turn it is not is stopped with SIGSTOP)
#   idle     CPU and resident memory of VelmoraBG over 30 s with 10
#            applications open
#   startup  time from starting the agent until it observes each of 50
#            running applications (velmora_startup_probe)
#
#   desktop-bench.py BUILD_DIR [latency|idle|startup ...]
import ctypes
import os
import select
import signal
import statistics
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
DIALOGS = os.path.join(HERE, "..", "..", "tests", "platform", "linux", "dialogs-on-command.py")
REST = (12, 780)  # where the pointer waits, away from where dialogs open

xlib = ctypes.CDLL("libX11.so.6")
xtst = ctypes.CDLL("libXtst.so.6")
xlib.XOpenDisplay.restype = ctypes.c_void_p
xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
xlib.XDefaultRootWindow.restype = ctypes.c_ulong
xlib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
xlib.XFlush.argtypes = [ctypes.c_void_p]
xlib.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
xlib.XQueryPointer.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_void_p] * 7
xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int, ctypes.c_ulong]


class Pointer:
    def __init__(self):
        self.display = xlib.XOpenDisplay(None)
        if not self.display:
            sys.exit("desktop-bench: no X display (run through run-desktop-tests.sh)")
        self.root = xlib.XDefaultRootWindow(self.display)

    def location(self):
        r, c = ctypes.c_ulong(), ctypes.c_ulong()
        x, y, wx, wy = ctypes.c_int(), ctypes.c_int(), ctypes.c_int(), ctypes.c_int()
        m = ctypes.c_uint()
        xlib.XQueryPointer(self.display, self.root, ctypes.byref(r), ctypes.byref(c), ctypes.byref(x), ctypes.byref(y),
                           ctypes.byref(wx), ctypes.byref(wy), ctypes.byref(m))
        return x.value, y.value

    def move(self, point):
        xtst.XTestFakeMotionEvent(self.display, -1, point[0], point[1], 0)
        xlib.XSync(self.display, 0)


def percentile(values, p):
    ordered = sorted(values)
    k = (len(ordered) - 1) * p / 100.0
    lo, hi = int(k), min(int(k) + 1, len(ordered) - 1)
    return ordered[lo] + (ordered[hi] - ordered[lo]) * (k - lo)


def load():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def wait_line(process, prefix, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        ready, _, _ = select.select([process.stdout], [], [], max(0.0, deadline - time.monotonic()))
        if not ready:
            break
        line = process.stdout.readline()
        if not line:
            break
        if line.startswith(prefix):
            return line
    return None


def agent_command(build):
    return [os.path.join(build, "VelmoraBG")]


def start_apps(count, title):
    apps = [subprocess.Popen(["zenity", "--info", "--title=%s %d" % (title, i), "--text=Open %d" % i],
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL) for i in range(count)]
    return apps


def registered_apps():
    import gi
    gi.require_version("Atspi", "2.0")
    from gi.repository import Atspi
    desktop = Atspi.get_desktop(0)
    return desktop.get_child_count()


def wait_registered(count, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if registered_apps() >= count:
            return True
        time.sleep(0.5)
    return False


def stop_all(processes):
    for p in processes:
        try:
            os.kill(p.pid, signal.SIGCONT)
        except ProcessLookupError:
            pass
        p.kill()
    for p in processes:
        p.wait()


# --- latency -----------------------------------------------------------------

def one_dialog(pointer, dialogs, number, seconds=5.0):
    """Shows dialog `number`; returns (latency ms, landed on the button) or None."""
    pointer.move(REST)
    time.sleep(0.3)
    dialogs.stdin.write("show %d\n" % number)
    dialogs.stdin.flush()
    mapped = None
    moved = None
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline and (mapped is None or moved is None):
        if moved is None:
            where = pointer.location()
            if where != REST:
                moved = (time.monotonic(), where)
        if mapped is None:
            ready, _, _ = select.select([dialogs.stdout], [], [], 0)
            if ready:
                line = dialogs.stdout.readline().split()
                if line and line[0] == "mapped" and int(line[1]) == number:
                    mapped = (float(line[2]),) + tuple(int(v) for v in line[3:7])
        time.sleep(0.0005)
    dialogs.stdin.write("close\n")
    dialogs.stdin.flush()
    if mapped is None or moved is None:
        print("  dialog %d: %s" % (number, "not mapped" if mapped is None else "the pointer did not move"))
        return None
    stamp, x, y, w, h = mapped
    (px, py) = moved[1]
    landed = x <= px < x + w and y <= py < y + h
    if not landed:
        print("  dialog %d: the pointer went to %d,%d, not into %d,%d %dx%d" % (number, px, py, x, y, w, h))
    return (moved[0] - stamp) * 1000.0, landed


def latency(build, rounds):
    pointer = Pointer()
    dialogs = subprocess.Popen([DIALOGS], stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
    if not wait_line(dialogs, "ready", 20):
        sys.exit("desktop-bench: the dialog program did not start")
    wait_registered(1, 20)
    agent = subprocess.Popen(agent_command(build), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    listener = subprocess.Popen([os.path.join(HERE, "minimal-listener.py")], stdout=subprocess.PIPE, text=True)
    wait_line(listener, "ready", 20)
    time.sleep(2.0)
    snappers = {"agent": agent, "listener": listener}
    results = {"agent": [], "listener": []}
    misses = {"agent": 0, "listener": 0}
    load_before = load()
    try:
        # A warm-up dialog each, not counted: first-time costs (fonts, caches)
        # belong to neither.
        order = []
        for i in range(rounds + 1):
            order += ["agent", "listener"] if i % 2 == 0 else ["listener", "agent"]
        for number, name in enumerate(order):
            other = "listener" if name == "agent" else "agent"
            os.kill(snappers[other].pid, signal.SIGSTOP)
            os.kill(snappers[name].pid, signal.SIGCONT)
            # Time to take in what arrived while it was stopped.
            time.sleep(1.0)
            result = one_dialog(pointer, dialogs, number)
            time.sleep(0.4)
            if number < 2:
                continue
            if result is None or not result[1]:
                misses[name] += 1
                continue
            results[name].append(result[0])
    finally:
        dialogs.stdin.write("quit\n")
        dialogs.stdin.flush()
        stop_all([agent, listener, dialogs])
    print("latency: map to pointer on the default button, %d dialogs each, alternating; load %s -> %s"
          % (rounds, load_before, load()))
    summary = {}
    for name in ("agent", "listener"):
        values = results[name]
        if not values:
            print("  %-8s no dialog snapped (%d misses)" % (name, misses[name]))
            continue
        summary[name] = (statistics.median(values), percentile(values, 95))
        print("  %-8s n=%d median %.1f ms  p95 %.1f ms  min %.1f  max %.1f  misses %d"
              % (name, len(values), summary[name][0], summary[name][1], min(values), max(values), misses[name]))
    if len(summary) == 2:
        print("  ratio agent/listener: median %.2f  p95 %.2f"
              % (summary["agent"][0] / summary["listener"][0], summary["agent"][1] / summary["listener"][1]))


# --- idle ----------------------------------------------------------------------

def cpu_ticks(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return int(fields[11]) + int(fields[12])  # utime + stime


def memory(pid):
    values = {}
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            key, _, rest = line.partition(":")
            if key in ("VmRSS", "VmHWM"):
                values[key] = int(rest.split()[0]) / 1024.0
    return values


def idle(build, seconds=30):
    apps = start_apps(10, "Idle")
    try:
        if not wait_registered(10, 60):
            sys.exit("desktop-bench: the 10 applications did not register")
        agent = subprocess.Popen(agent_command(build), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            time.sleep(5.0)  # start-up and the first snap are not idle
            load_before = load()
            hz = os.sysconf("SC_CLK_TCK")
            before = cpu_ticks(agent.pid)
            time.sleep(seconds)
            used = cpu_ticks(agent.pid) - before
            mem = memory(agent.pid)
            print("idle: VelmoraBG with 10 applications open, %d s; load %s -> %s" % (seconds, load_before, load()))
            print("  cpu %.2f%% of one core (%d ticks of 1/%d s)  rss %.1f MiB  peak rss %.1f MiB"
                  % (100.0 * used / hz / seconds, used, hz, mem["VmRSS"], mem["VmHWM"]))
        finally:
            stop_all([agent])
    finally:
        stop_all(apps)


# --- startup -------------------------------------------------------------------

def startup(build, runs=3):
    apps = start_apps(50, "Startup")
    try:
        if not wait_registered(50, 180):
            sys.exit("desktop-bench: the 50 applications did not register")
        time.sleep(10.0)  # their own start-up is over
        load_before = load()
        times = []
        for _ in range(runs):
            started = time.monotonic()
            probe = subprocess.run([os.path.join(build, "velmora_startup_probe")], capture_output=True, text=True, timeout=120)
            words = probe.stdout.split()
            if probe.returncode != 0 or len(words) < 12 or words[0] != "ready":
                sys.exit("desktop-bench: the start-up probe failed: " + probe.stderr)
            ms = (int(words[1]) / 1e6 - started) * 1000.0
            times.append(ms)
            exec_ms = (int(words[9]) / 1e6 - started) * 1000.0
            desktop_ms = (int(words[11]) - int(words[9])) / 1000.0
            agent_ms = (int(words[1]) - int(words[11])) / 1000.0
            print("  run: %.0f ms to observe %s of %s applications (%s AT-SPI requests): %.0f ms to main, "
                  "%.0f ms desktop backend, %.0f ms agent start-up" % (ms, words[3], words[5], words[7], exec_ms, desktop_ms, agent_ms))
            time.sleep(1.0)
        print("startup: 50 applications running; median %.0f ms over %d runs; load %s -> %s"
              % (statistics.median(times), runs, load_before, load()))
    finally:
        stop_all(apps)


def main():
    if len(sys.argv) < 2:
        sys.exit("usage: desktop-bench.py BUILD_DIR [latency|idle|startup ...]")
    build = sys.argv[1]
    which = sys.argv[2:] or ["latency", "idle", "startup"]
    rounds = int(os.environ.get("BENCH_DIALOGS", "40"))
    print("machine: %d cores; load %s" % (os.cpu_count(), load()), flush=True)
    for name in which:
        {"latency": lambda: latency(build, rounds), "idle": lambda: idle(build), "startup": lambda: startup(build)}[name]()
        sys.stdout.flush()


# snap-bench.py borrows its idle measure and helpers.
if __name__ == "__main__":
    main()
