#!/usr/bin/env bash
# Starts, kills and restarts the private desktop's compositor: mutter,
# headless, Wayland only, one 1280x800 virtual monitor. It runs in a session
# of its own so that a test can kill it as a crash would and start another.
#
#   mutter-ctl.sh start     starts it, waits for its socket and its bus names
#   mutter-ctl.sh kill      SIGKILL, waits until it and its bus names are gone
#   mutter-ctl.sh restart   kill, then start
#   mutter-ctl.sh stop      SIGTERM (SIGKILL after 5 s), for the harness's exit
set -euo pipefail

pid_file=${VELMORA_TEST_MUTTER_PID_FILE:?run through run-gnome-wayland-tests.sh}
log=${VELMORA_TEST_MUTTER_LOG:?run through run-gnome-wayland-tests.sh}

wait_for() { # seconds, command...
  local deadline=$((SECONDS + $1)); shift
  until "$@" >/dev/null 2>&1; do
    if [ $SECONDS -ge $deadline ]; then
      echo "mutter-ctl: timed out waiting for: $*" >&2
      return 1
    fi
    sleep 0.05
  done
}

name_owned() {
  gdbus call --session --timeout 1 -d org.freedesktop.DBus -o /org/freedesktop/DBus \
    -m org.freedesktop.DBus.NameHasOwner "$1" | grep -q true
}
names_gone() { ! name_owned org.gnome.Mutter.RemoteDesktop && ! name_owned org.gnome.Mutter.ScreenCast; }
gone() { [ ! -e "/proc/$1" ] || grep -q '^[0-9]* ([^)]*) Z' "/proc/$1/stat" 2>/dev/null; }

end() { # signal
  [ -s "$pid_file" ] || return 0
  local pid
  pid=$(cat "$pid_file")
  kill "-$1" "$pid" 2>/dev/null || true
  if ! wait_for 5 gone "$pid"; then
    kill -KILL "$pid" 2>/dev/null || true
    wait_for 5 gone "$pid"
  fi
  rm -f "$pid_file" "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY.lock"
  wait_for 5 names_gone
}

start() {
  setsid mutter --headless --wayland --no-x11 --wayland-display "$WAYLAND_DISPLAY" \
    --virtual-monitor 1280x800 >>"$log" 2>&1 </dev/null &
  echo $! >"$pid_file"
  if ! wait_for 20 name_owned org.gnome.Mutter.RemoteDesktop || ! wait_for 5 name_owned org.gnome.Mutter.ScreenCast \
     || ! wait_for 5 test -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY"; then
    tail -n 20 "$log" >&2
    return 1
  fi
}

case ${1:-} in
start) start ;;
kill) end KILL ;;
restart) end KILL; start ;;
stop) end TERM ;;
*)
  echo "usage: $0 start|kill|restart|stop" >&2
  exit 2
  ;;
esac
