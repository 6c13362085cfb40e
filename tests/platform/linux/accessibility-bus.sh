#!/usr/bin/env bash
# Starts and stops the private desktop's accessibility bus (the bus launcher,
# the bus daemon it starts and the registry on that bus), for
# run-desktop-tests.sh and for the tests that take the bus away.
#
#   accessibility-bus.sh start         a launcher of its own session, switched on
#   accessibility-bus.sh stop          kills the registry, the bus and the launcher
#   accessibility-bus.sh registry-pid  the registry's process
#
# VELMORA_TEST_ATSPI_STATE names the folder that keeps the launcher's pid and
# log; VELMORA_TEST_ATSPI_LAUNCHER the launcher program.
set -euo pipefail

state=${VELMORA_TEST_ATSPI_STATE:?run through run-desktop-tests.sh}
launcher=${VELMORA_TEST_ATSPI_LAUNCHER:?run through run-desktop-tests.sh}

wait_for_who=accessibility-bus
# shellcheck source=wait-for.sh
. "$(dirname "$0")/wait-for.sh"

launcher_owned() { name_owned org.a11y.Bus; }
launcher_gone() { ! launcher_owned; }


bus_address() {
  gdbus call --session --timeout 1 -d org.a11y.Bus -o /org/a11y/bus -m org.a11y.Bus.GetAddress \
    | sed -e "s/^('//" -e "s/',)\$//"
}

registry_pid() {
  gdbus call --address "$(bus_address)" --timeout 1 -d org.freedesktop.DBus -o /org/freedesktop/DBus \
    -m org.freedesktop.DBus.GetConnectionUnixProcessID org.a11y.atspi.Registry | sed -e 's/^(uint32 //' -e 's/,)$//'
}

case ${1:-} in
start)
  # Its own session, so that a terminal's hang-up or a test's end does not
  # reach it; stopped by `stop`.
  setsid "$launcher" --launch-immediately >>"$state/atspi.log" 2>&1 </dev/null &
  echo $! >"$state/launcher.pid"
  wait_for 10 gdbus call --session --timeout 1 -d org.a11y.Bus -o /org/a11y/bus -m org.a11y.Bus.GetAddress
  gdbus call --session --timeout 2 -d org.a11y.Bus -o /org/a11y/bus -m org.freedesktop.DBus.Properties.Set \
    org.a11y.Status IsEnabled '<true>' >/dev/null
  # Started now, as a desktop's first accessible application would have it.
  gdbus call --address "$(bus_address)" --timeout 5 -d org.freedesktop.DBus -o /org/freedesktop/DBus \
    -m org.freedesktop.DBus.StartServiceByName org.a11y.atspi.Registry 0 >/dev/null
  wait_for 10 registry_pid
  ;;
stop)
  [ -s "$state/launcher.pid" ] || exit 0
  pid=$(cat "$state/launcher.pid")
  registry=$(registry_pid 2>/dev/null || true)
  daemons=$(ps -o pid= --ppid "$pid" 2>/dev/null || true)
  # As a crash would: the bus first, then its launcher.
  for victim in $daemons $pid $registry; do
    kill -CONT "$victim" 2>/dev/null || true
    kill -KILL "$victim" 2>/dev/null || true
  done
  for victim in $daemons $pid $registry; do
    wait_for 10 gone "$victim"
  done
  wait_for 10 launcher_gone
  rm -f "$state/launcher.pid"
  ;;
registry-pid)
  registry_pid
  ;;
*)
  echo "usage: $0 start|stop|registry-pid" >&2
  exit 2
  ;;
esac
