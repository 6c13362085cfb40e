# Sourced by the scripts that run a program on a private desktop
# (run-desktop-tests.sh on X11, ../gnome/run-gnome-wayland-tests.sh on
# Wayland): what both need besides the display server itself. The sourcing
# script sets `set -euo pipefail` and names itself in $session_name.
#
#   session_begin                 a work folder, private XDG folders, the exit trap
#   session_track PID             stopped on exit, newest first
#   session_start_bus             a private session bus, exported
#   session_start_system_bus      a private system bus, exported
#   session_start_accessibility   the accessibility bus and its registry
#   session_wait_for SECONDS CMD  polls CMD until it succeeds
#
# A sourcing script may define session_stop_extra, run first on exit, for
# what it started outside its own children.

session_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
session_pids=()

# shellcheck source=wait-for.sh
. "$session_here/wait-for.sh"
session_wait_for() { wait_for_who=$session_name wait_for "$@"; }

session_atspi_launcher() {
  local candidate
  for candidate in /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher; do
    [ -x "$candidate" ] && echo "$candidate" && return 0
  done
  return 1
}

# Names the tools and files missing, and fails, when any is.
session_require() { # tool...
  local missing=() tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || missing+=("$tool")
  done
  session_atspi_launcher >/dev/null || missing+=(at-spi-bus-launcher)
  if [ ${#missing[@]} -gt 0 ]; then
    echo "$session_name: missing ${missing[*]} (scripts/install-deps.sh installs them)" >&2
    exit 1
  fi
}

session_track() { session_pids+=("$1"); }

session_cleanup() {
  local status=$?
  if declare -F session_stop_extra >/dev/null; then session_stop_extra || true; fi
  # The accessibility bus lives in a session of its own (a test may have
  # restarted it): stopped by pid, not as a child of this script.
  [ -n "${VELMORA_TEST_ATSPI_STATE:-}" ] && "$session_here/accessibility-bus.sh" stop || true
  # Newest first: clients before the buses and servers they talk to.
  local i pid
  for ((i = ${#session_pids[@]} - 1; i >= 0; i--)); do
    kill "${session_pids[$i]}" 2>/dev/null || true
  done
  for pid in "${session_pids[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
  exit $status
}

session_begin() {
  work=$(mktemp -d -t "velmora-$session_name.XXXXXX")
  trap session_cleanup EXIT INT TERM
  mkdir -p "$work/config" "$work/data" "$work/cache" "$work/runtime"
  chmod 700 "$work/runtime"
  export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/runtime
  export GSETTINGS_BACKEND=memory NO_AT_BRIDGE=0 GTK_A11Y=atspi
  # No sound device: the machine's sound server is not the private
  # desktop's, and its ALSA plugin (PipeWire's, which GNOME Shell brings)
  # leaks in a process it is unloaded from. A device that cannot be opened,
  # as where no sound server runs: a null device plays, and libcanberra's
  # thread playing into it was seen to crash the process after its context
  # was destroyed.
  printf 'pcm.!default { type hw card 99 }\nctl.!default { type hw card 99 }\n' >"$work/alsa.conf"
  export ALSA_CONFIG_PATH=$work/alsa.conf
  unset SESSION_MANAGER
}

# A bus config of TYPE (session, system) listening in the runtime folder.
# Nothing is started on demand (no service folders): the tests start the
# accessibility bus themselves, and one started behind their back could not
# be taken away by the tests that take it away.
session_bus_config() { # type
  cat <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>$1</type>
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
}

# Prints the address of a new private bus of TYPE, tracked for the exit.
session_bus_daemon() { # type
  session_bus_config "$1" >"$work/$1-bus.conf"
  dbus-daemon --config-file="$work/$1-bus.conf" --nofork --nopidfile --print-address=6 \
    6>"$work/$1-bus-address" >"$work/$1-bus.log" 2>&1 &
  session_track $!
  session_wait_for 10 test -s "$work/$1-bus-address"
}

session_start_bus() {
  session_bus_daemon session
  DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$work/session-bus-address")
  export DBUS_SESSION_BUS_ADDRESS
}

# GNOME Shell asks logind for the session over the system bus and dies at
# start without one; an empty bus is enough (it only warns that logind and
# polkit are not there). The host's bus, if any, is not ours to touch.
session_start_system_bus() {
  session_bus_daemon system
  DBUS_SYSTEM_BUS_ADDRESS=$(head -n1 "$work/system-bus-address")
  export DBUS_SYSTEM_BUS_ADDRESS
}

session_start_accessibility() {
  VELMORA_TEST_ATSPI_LAUNCHER=$(session_atspi_launcher)
  export VELMORA_TEST_ATSPI_STATE=$work VELMORA_TEST_ATSPI_LAUNCHER
  "$session_here/accessibility-bus.sh" start
}

# Libraries of the desktop keep some allocations for the life of the process.
session_lsan_options() {
  export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$session_here/lsan.supp:print_suppressions=0"
}

# Runs the program and leaves with its status.
session_run() {
  local status
  set +e
  "$@"
  status=$?
  set -e
  exit $status
}
