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
launcher=""
for candidate in /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher; do
  [ -x "$candidate" ] && launcher=$candidate && break
done
missing=()
for tool in Xvfb openbox dbus-daemon gdbus zenity xprop; do
  command -v "$tool" >/dev/null || missing+=("$tool")
done
[ -n "$launcher" ] || missing+=(at-spi-bus-launcher)
if [ ${#missing[@]} -gt 0 ]; then
  echo "run-desktop-tests: missing ${missing[*]} (scripts/install-deps.sh installs them)" >&2
  exit 1
fi

work=$(mktemp -d -t velmora-desktop.XXXXXX)
pids=()
cleanup() {
  local status=$?
  # The accessibility bus lives in a session of its own (a test may have
  # restarted it): stopped by pid, not as a child of this script.
  "$here/accessibility-bus.sh" stop || true
  # Newest first: the window manager and the bus launcher before the buses
  # and the X server they talk to.
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[$i]}" 2>/dev/null || true
  done
  for pid in "${pids[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
  exit $status
}
trap cleanup EXIT INT TERM

wait_for() { # seconds, command...
  local deadline=$((SECONDS + $1)); shift
  until "$@" >/dev/null 2>&1; do
    if [ $SECONDS -ge $deadline ]; then
      echo "run-desktop-tests: timed out waiting for: $*" >&2
      return 1
    fi
    sleep 0.1
  done
}

mkdir -p "$work/config" "$work/data" "$work/cache" "$work/runtime"
chmod 700 "$work/runtime"
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/runtime
export GSETTINGS_BACKEND=memory NO_AT_BRIDGE=0 GTK_A11Y=atspi
unset WAYLAND_DISPLAY SESSION_MANAGER
export XDG_SESSION_TYPE=x11

# The X server picks a free display number and tells it through a pipe.
exec 5<> <(:)
Xvfb -displayfd 5 -screen 0 1280x800x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
pids+=($!)
read -r -t 15 display_number <&5 || { echo "run-desktop-tests: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
exec 5<&-
export DISPLAY=":$display_number"

# Nothing is started on demand (no service folders): the tests start the
# accessibility bus themselves, and one started behind their back could not
# be taken away by the tests that take it away.
cat >"$work/session.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <keep_umask/>
  <listen>unix:dir=$work/runtime</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
dbus-daemon --config-file="$work/session.conf" --nofork --nopidfile --print-address=6 6>"$work/bus-address" >"$work/dbus.log" 2>&1 &
pids+=($!)
wait_for 10 test -s "$work/bus-address"
DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$work/bus-address")
export DBUS_SESSION_BUS_ADDRESS

export VELMORA_TEST_ATSPI_STATE=$work VELMORA_TEST_ATSPI_LAUNCHER=$launcher
"$here/accessibility-bus.sh" start

# Its own few settings, not the machine's: new windows take the focus, and
# the focus never follows the pointer the tests move.
cat >"$work/openbox-rc.xml" <<'RC'
<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <focus><focusNew>yes</focusNew><followMouse>no</followMouse></focus>
</openbox_config>
RC
openbox --sm-disable --config-file "$work/openbox-rc.xml" >"$work/openbox.log" 2>&1 &
pids+=($!)
wait_for 10 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'

# Libraries of the desktop keep some allocations for the life of the process.
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$here/lsan.supp:print_suppressions=0"

set +e
"$@"
status=$?
set -e
exit $status
