#!/usr/bin/python3
# The settings' costs through the real `velmora` command, on the private
# desktop that tests/platform/linux/run-desktop-tests.sh starts (the command
# needs its session bus):
#
#   ignore-list  `velmora ignore list` with 10,000 entries on the list: none
#                installed, and 1,000 of them installed as desktop entries
#   big-file     `velmora get` with a settings file of 1,000,000 keys (41 MB),
#                which is over the size limit: refused and kept aside
#
#   tests/platform/linux/run-desktop-tests.sh bench/desktop/settings-bench.py BUILD_DIR [ignore-list|big-file ...]
#
# Figures, not pass/fail tests. The target: ignore-list under 1 s for 10,000.
import os
import plistlib
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time


def run(velmora, arguments, environment):
    env = dict(os.environ)
    env.update(environment)
    before = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    started = time.monotonic()
    result = subprocess.run([velmora] + arguments, env=env, capture_output=True, text=True, errors="replace", timeout=600)
    seconds = time.monotonic() - started
    peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    return result, seconds, max(peak, before)


def ignore_list(velmora, entries=10000, runs=3):
    for installed in (0, 1000):
        work = tempfile.mkdtemp(prefix="velmora-bench-")
        try:
            data, config = os.path.join(work, "data"), os.path.join(work, "config")
            os.makedirs(os.path.join(data, "applications"))
            os.makedirs(os.path.join(config, "velmora"))
            names = []
            for i in range(entries):
                if i < installed:
                    with open(os.path.join(data, "applications", "bench-app-%d.desktop" % i), "w") as f:
                        f.write("[Desktop Entry]\nType=Application\nName=Bench App %d\nExec=true\n" % i)
                    names.append("bench-app-%d" % i)
                else:
                    names.append("org.example.Gone%d" % i)
            with open(os.path.join(config, "velmora", "com.brightfen.velmora.plist"), "wb") as f:
                plistlib.dump({"ignoredApps": names, "currentVersion": "1.0.0"}, f)
            environment = {"XDG_DATA_HOME": data, "XDG_CONFIG_HOME": config}
            times = []
            for _ in range(runs):
                result, seconds, _ = run(velmora, ["ignore", "list"], environment)
                # The built-in entries are listed besides the bench's own.
                own = [line for line in result.stdout.splitlines() if not line.endswith("\tbuilt-in")]
                if result.returncode != 0 or len(own) != entries:
                    sys.exit("settings-bench: ignore list failed: %s" % result.stderr)
                times.append(seconds)
            empty = os.path.join(config, "velmora", "com.brightfen.velmora.plist")
            with open(empty, "wb") as f:
                plistlib.dump({"currentVersion": "1.0.0"}, f)
            baseline = statistics.median(run(velmora, ["ignore", "list"], environment)[1] for _ in range(runs))
            print("ignore-list: %d entries, %d installed: median %.2f s over %d runs (an empty list: %.2f s)"
                  % (entries, installed, statistics.median(times), runs, baseline), flush=True)
        finally:
            shutil.rmtree(work)


def big_file(velmora, keys=1000000):
    work = tempfile.mkdtemp(prefix="velmora-bench-")
    try:
        folder = os.path.join(work, "velmora")
        os.makedirs(folder)
        path = os.path.join(folder, "com.brightfen.velmora.plist")
        with open(path, "w") as f:
            f.write('<?xml version="1.0" encoding="UTF-8"?>\n<plist version="1.0">\n<dict>\n')
            for i in range(keys):
                f.write("\t<key>k%07d</key>\n\t<string>v</string>\n" % i)
            f.write("</dict>\n</plist>\n")
        size = os.path.getsize(path)
        result, seconds, peak = run(velmora, ["get", "playsSoundOnMove"], {"XDG_CONFIG_HOME": work})
        kept = os.path.exists(path + ".corrupt") and os.path.getsize(path + ".corrupt") == size
        print("big-file: %d keys, %.0f MB: velmora get exit %d in %.2f s, peak %d MB; kept aside whole: %s"
              % (keys, size / 1e6, result.returncode, seconds, peak // 1024, "yes" if kept else "NO"), flush=True)
        for line in result.stderr.splitlines():
            print("  " + line)
    finally:
        shutil.rmtree(work)


def main():
    if len(sys.argv) < 2:
        sys.exit("usage: settings-bench.py BUILD_DIR [ignore-list|big-file ...]")
    velmora = os.path.join(sys.argv[1], "velmora")
    for name in sys.argv[2:] or ["ignore-list", "big-file"]:
        {"ignore-list": lambda: ignore_list(velmora), "big-file": lambda: big_file(velmora)}[name]()


main()
