#!/usr/bin/env bash
# Runs a program (the desktop tests, an end-to-end scenario, a benchmark) on
# a private desktop of its own: an X server (Xvfb), a window manager (openbox:
# without one a new window gets the focus only if the pointer happens to be
# over it), a session bus, and the accessibility bus with its registry, with
# private XDG folders. Everything started here is stopped on exit.
#
#   run-desktop-tests.sh PROGRAM [ARGS...]
set -euo pipefail

if [ $# -lt 1 ]; then
  echo "usage: $0 PROGRAM [ARGS...]" >&2
  exit 2
fi

here=$(cd "$(dirname "$0")" && pwd)
session_name=run-desktop-tests
# shellcheck source=private-session.sh
. "$here/private-session.sh"
session_require Xvfb openbox dbus-daemon gdbus zenity xprop
session_begin
unset WAYLAND_DISPLAY
export XDG_SESSION_TYPE=x11

# The X server picks a free display number and tells it through a pipe.
exec 5<> <(:)
Xvfb -displayfd 5 -screen 0 1280x800x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
session_track $!
read -r -t 15 display_number <&5 || { echo "run-desktop-tests: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
exec 5<&-
export DISPLAY=":$display_number"

session_start_bus
session_start_accessibility

# Its own few settings, not the machine's: new windows take the focus, and
# the focus never follows the pointer the tests move.
cat >"$work/openbox-rc.xml" <<'RC'
<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <focus><focusNew>yes</focusNew><followMouse>no</followMouse></focus>
</openbox_config>
RC
openbox --sm-disable --config-file "$work/openbox-rc.xml" >"$work/openbox.log" 2>&1 &
session_track $!
session_wait_for 10 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'

session_lsan_options
session_run "$@"
