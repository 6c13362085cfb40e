#!/usr/bin/python3
# `make bench-wayland`: the agent's snap latency on the private X11 desktop
# and then on the private GNOME Wayland desktop, under mutter alone (moves
# through its remote desktop) and under GNOME Shell with Velmora's extension
# and without it (through mutter's remote desktop there too), and under KDE's
# KWin (fake-input), the same GTK 3 dialog timed the same way in each (snap-bench.py), their
# ratios to X11, and the agent's idle cost on Wayland. A figure, not a
# pass/fail test.
#
#   wayland-bench.py BUILD_DIR
# BENCH_DIALOGS and BENCH_TRACE pass on to snap-bench.py.
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.join(HERE, "..", "..")
SESSION_BENCH = os.path.join(HERE, "snap-bench.py")
WAYLAND_HARNESS = os.path.join(ROOT, "tests", "platform", "gnome", "run-gnome-wayland-tests.sh")
# Each desktop: its harness and what it is told through the environment.
DESKTOPS = {
    "x11": (os.path.join(ROOT, "tests", "platform", "linux", "run-desktop-tests.sh"), {}),
    "mutter": (WAYLAND_HARNESS, {"VELMORA_TEST_COMPOSITOR": "mutter"}),
    "gnome-shell": (WAYLAND_HARNESS, {"VELMORA_TEST_COMPOSITOR": "gnome-shell"}),
    # KDE Plasma: headless KWin, the agent authorised to use its fake-input.
    "kde": (os.path.join(ROOT, "tests", "platform", "kde", "run-kde-wayland-tests.sh"), {}),
    # The same shell with the extension disabled: the agent moves through mutter's interfaces there.
    "gnome-shell-rd": (WAYLAND_HARNESS, {"VELMORA_TEST_COMPOSITOR": "gnome-shell", "VELMORA_TEST_SHELL_EXTENSION": "0"}),
}
RATIO_TARGET = 1.5
# Generous: 25 dialogs at under 5 s each, 30 s idle, and each desktop's start.
SESSION_TIMEOUT_S = 600


def run(desktop, build, parts):
    """Runs snap-bench.py on one private desktop, echoing its output; returns its result lines."""
    print("== %s" % desktop, flush=True)
    try:
        harness, variables = DESKTOPS[desktop]
        if desktop == "kde":
            variables = {"VELMORA_TEST_KWIN_AUTHORISE": os.path.join(build, "VelmoraBG")}
        done = subprocess.run([harness, SESSION_BENCH, build] + parts, stdout=subprocess.PIPE, text=True,
                              timeout=SESSION_TIMEOUT_S, env=dict(os.environ, **variables))
    except subprocess.TimeoutExpired as expired:
        sys.stdout.write(expired.stdout or "")
        sys.exit("wayland-bench: the %s desktop's run took longer than %d s" % (desktop, SESSION_TIMEOUT_S))
    results = {}
    for line in done.stdout.splitlines():
        words = line.split()
        if words[:1] == ["result"] and len(words) >= 3:
            results[words[2]] = words[3:]
        else:
            print(line)
    sys.stdout.flush()
    if done.returncode != 0:
        sys.exit("wayland-bench: the %s desktop's run failed (status %d)" % (desktop, done.returncode))
    return results


def main():
    if len(sys.argv) < 2 or any(name not in DESKTOPS or name == "x11" for name in sys.argv[2:]):
        sys.exit("usage: wayland-bench.py BUILD_DIR [%s...]" % "|".join(name for name in DESKTOPS if name != "x11"))
    build = os.path.abspath(sys.argv[1])
    chosen = sys.argv[2:] or ["mutter", "gnome-shell", "gnome-shell-rd", "kde"]
    x11 = run("x11", build, ["latency"])
    waylands = [(name, run(name, build, ["latency"] if name == "gnome-shell-rd" else ["latency", "idle"]))
                for name in chosen]
    for desktop, wayland in waylands:
        print("== %s / X11 (target: at most %.1f)" % (desktop, RATIO_TARGET))
        for name in ("from-map", "from-active", "map-to-spot"):
            if name not in x11 or name not in wayland:
                print("  %-12s missing on %s" % (name, "X11" if name not in x11 else desktop))
                continue
            (xm, xp), (wm, wp) = (map(float, x11[name][:2])), (map(float, wayland[name][:2]))
            print("  %-12s median %.1f / %.1f ms = %.2f   p95 %.1f / %.1f ms = %.2f"
                  % (name.replace("-", " "), wm, xm, wm / xm, wp, xp, wp / xp))
    for desktop, results in [("X11", x11)] + waylands:
        if "misses" in results:
            print("  misses on %s: %s (entered Save off the agent's spot first: %s, never at it: %s)"
                  % ((desktop,) + tuple(results["misses"][:3])))

if __name__ == "__main__":
    main()
