#!/usr/bin/env bash
# Runs a program on a private KDE Plasma Wayland desktop: kwin_wayland as a
# headless compositor with one 1280x800 virtual output (no X server at all),
# a session bus and the accessibility bus, with private XDG folders.
# Everything started here is stopped on exit.
#
#   run-kde-wayland-tests.sh PROGRAM [ARGS...]
#
# The program finds KWin's pid in $VELMORA_TEST_KWIN_PID_FILE and can restart
# it with `$VELMORA_TEST_COMPOSITOR_CTL restart`. KWin offers its fake-input
# protocol to the programs named in VELMORA_TEST_KWIN_AUTHORISE (paths,
# space-separated), as a desktop entry of the package does for the agent.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
session_name=run-kde-wayland-tests
# shellcheck source=../linux/private-session.sh
. "$here/../linux/private-session.sh"
# shellcheck source=../wayland/wayland-session.sh
. "$here/../wayland/wayland-session.sh"
session_require kwin_wayland kbuildsycoca5 dbus-daemon gdbus /usr/bin/python3
wayland_session_begin "$here/kwin-ctl.sh" KDE
export QT_QPA_PLATFORM=wayland

# Debian's kwin_wayland carries cap_sys_resource, which a container's bounding
# set may lack: exec then fails with EPERM. A copy has no file capabilities
# (KWin only raises its RLIMIT_NOFILE with it).
kwin_binary=$(command -v kwin_wayland)
if ! "$kwin_binary" --version >/dev/null 2>&1; then
  cp "$kwin_binary" "$work/kwin_wayland"
  kwin_binary=$work/kwin_wayland
fi

# KWin offers its fake-input protocol only to a client whose executable
# (/proc/PID/exe) is the Exec of a desktop entry listing it in
# X-KDE-Wayland-Interfaces, found through KService's cache, which it does not
# rebuild for entries added later: the probe's interpreter gets one, cached
# before KWin starts. KWin reads only one entry of those that start a program:
# this one takes the name of the interpreter's own system entry, to shadow it.
mkdir -p "$XDG_DATA_HOME/applications"
interpreter=$(readlink -f /usr/bin/python3)
cat >"$XDG_DATA_HOME/applications/$(basename "$interpreter").desktop" <<ENTRY
[Desktop Entry]
Type=Application
Name=Velmora fake-input probe
Exec=$interpreter
NoDisplay=true
X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input
ENTRY
# Programs the test names are authorised the same way (the agent, for one).
for program in ${VELMORA_TEST_KWIN_AUTHORISE:-}; do
  cat >"$XDG_DATA_HOME/applications/velmora-authorised-$(basename "$program").desktop" <<ENTRY
[Desktop Entry]
Type=Application
Name=$(basename "$program")
Exec=$(readlink -f "$program")
NoDisplay=true
X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input
ENTRY
done
timeout 30 kbuildsycoca5 --noincremental >"$work/kbuildsycoca5.log" 2>&1

session_start_bus
session_start_accessibility

export VELMORA_TEST_KWIN_PID_FILE=$work/kwin.pid
export VELMORA_TEST_KWIN_LOG=$work/kwin.log VELMORA_TEST_KWIN_BINARY=$kwin_binary
"$VELMORA_TEST_COMPOSITOR_CTL" start

session_lsan_options
session_run "$@"
