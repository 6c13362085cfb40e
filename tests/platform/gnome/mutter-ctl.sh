#!/usr/bin/env bash
# Starts, kills and restarts the private desktop's compositor: mutter,
# headless, Wayland only, one 1280x800 virtual monitor. It runs in a session
# of its own so that a test can kill it as a crash would and start another.
# With VELMORA_TEST_COMPOSITOR=gnome-shell it is GNOME Shell instead (the same
# mutter inside), with the project's extension, which the harness links into
# place and enables in the keyfile only GNOME Shell is given.
# With VELMORA_TEST_XWAYLAND=1 it also serves X clients through XWayland: the
# display it chose is written to $VELMORA_TEST_MUTTER_PID_FILE.display and
# its cookie (a new one each start) to .xauthority, the file X clients are
# given, and
# the accessibility bus is announced on its root window (AT_SPI_BUS), where
# X clients look for it, as a GNOME session does.
#
#   mutter-ctl.sh start     starts it, waits for its socket and its bus names
#                           (GNOME Shell: the extension's too, and the
#                           overview gone)
#   mutter-ctl.sh kill      SIGKILL, waits until it and its bus names are gone
#   mutter-ctl.sh restart   kill, then start
#   mutter-ctl.sh stop      SIGTERM (SIGKILL after 5 s), for the harness's exit
set -euo pipefail

pid_file=${VELMORA_TEST_MUTTER_PID_FILE:?run through run-gnome-wayland-tests.sh}
log=${VELMORA_TEST_MUTTER_LOG:?run through run-gnome-wayland-tests.sh}

wait_for_who=mutter-ctl
# shellcheck source=../wayland/compositor-ctl.sh
. "$(dirname "$0")/../wayland/compositor-ctl.sh"

names_gone() {
  ! name_owned org.gnome.Mutter.RemoteDesktop && ! name_owned org.gnome.Mutter.ScreenCast \
    && ! name_owned com.brightfen.velmora.ShellPointer
}

end() { # signal
  compositor_end "$1" || return 0
  local pid=$ended_pid
  # GNOME Shell's marker for gnome-session that it died young goes too: the
  # next start is a first one.
  rm -f "$XDG_RUNTIME_DIR/gnome-shell-disable-extensions"
  # XWayland outlives mutter a moment: the next mutter would find its display
  # taken and choose another.
  if [ -s "$pid_file.xwayland" ]; then
    local xwayland_pid
    xwayland_pid=$(cat "$pid_file.xwayland")
    if ! wait_for 5 gone "$xwayland_pid"; then
      kill -KILL "$xwayland_pid" 2>/dev/null || true
      wait_for 5 gone "$xwayland_pid"
    fi
    rm -f "$pid_file.xwayland"
  fi
  # mutter takes a display whose lock names a live process for taken, and a
  # killed mutter may linger unreaped (its parent is not ours to reap): its
  # locks are dropped so that the next one gets the same display.
  if [ -s "$pid_file.display" ]; then
    local number lock
    number=$(sed 's/^://' "$pid_file.display")
    for lock in "/tmp/.X$number-lock" "/tmp/.X$((number + 1))-lock"; do
      [ "$(tr -d ' \n' 2>/dev/null <"$lock")" = "$pid" ] && rm -f "$lock"
    done
  fi
  wait_for 5 names_gone
}

xwayland=${VELMORA_TEST_XWAYLAND:-0}
compositor=${VELMORA_TEST_COMPOSITOR:-mutter}
case $compositor in
mutter) ;;
gnome-shell)
  if [ "$xwayland" = 1 ]; then
    echo "mutter-ctl: VELMORA_TEST_XWAYLAND=1 is for mutter only, not gnome-shell" >&2
    exit 2
  fi
  ;;
*)
  echo "mutter-ctl: VELMORA_TEST_COMPOSITOR is mutter or gnome-shell, not $compositor" >&2
  exit 2
  ;;
esac

# mutter says which display it gave XWayland: "Using public X11 display :N".
display_since() { # log line to start from
  tail -n "+$1" "$log" | sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' | head -n1 | grep .
}

# Its cookie, which X clients need: mutter makes one per start.
xauthority() {
  local newest
  newest=$(ls -t "$XDG_RUNTIME_DIR"/.mutter-Xwaylandauth.* 2>/dev/null | head -n1)
  [ -n "$newest" ] && echo "$newest"
}

announce_accessibility_bus() { # display
  local address
  address=$(gdbus call --session --timeout 1 -d org.a11y.Bus -o /org/a11y/bus -m org.a11y.Bus.GetAddress \
    | sed -n "s/^('\(.*\)',)$/\1/p")
  [ -n "$address" ] && DISPLAY=$1 xprop -root -f AT_SPI_BUS 8s -set AT_SPI_BUS "$address"
}

overview_active() {
  gdbus call --session --timeout 1 -d org.gnome.Shell -o /org/gnome/Shell \
    -m org.freedesktop.DBus.Properties.Get org.gnome.Shell OverviewActive | grep -q true
}
overview_hidden() { ! overview_active; }
started_since() { tail -n "+$1" "$log" | grep -q 'GNOME Shell started at'; }

# GNOME Shell ends its start-up in the overview, which keeps the keyboard:
# no window becomes active under it. It is hidden once start-up is complete
# (said in the log), since hiding it earlier is undone by the start-up
# animation; the extension is enabled before that.
shell_ready() { # log line to start from
  local extension=true
  [ "${VELMORA_TEST_SHELL_EXTENSION:-1}" = 0 ] && extension=false
  if { $extension && ! wait_for 20 name_owned com.brightfen.velmora.ShellPointer; } || ! wait_for 20 started_since "$1" \
     || ! gdbus call --session --timeout 2 -d org.gnome.Shell -o /org/gnome/Shell \
            -m org.freedesktop.DBus.Properties.Set org.gnome.Shell OverviewActive '<false>' >/dev/null \
     || ! wait_for 5 overview_hidden; then
    echo "mutter-ctl: gnome-shell did not come up with the extension and without the overview" >&2
    tail -n 20 "$log" >&2
    return 1
  fi
}

start() {
  local x11=--no-x11 from
  [ "$xwayland" = 1 ] && x11=
  from=1
  [ -f "$log" ] && from=$(($(wc -l <"$log") + 1))
  if [ "$compositor" = gnome-shell ]; then
    # Only GNOME Shell reads the keyfile (its extensions are enabled there);
    # the agent and the dialogs keep the memory backend.
    GSETTINGS_BACKEND=keyfile setsid gnome-shell --headless --wayland --no-x11 --wayland-display "$WAYLAND_DISPLAY" \
      --virtual-monitor 1280x800 >>"$log" 2>&1 </dev/null &
  else
    # shellcheck disable=SC2086 # $x11 is one word or none
    setsid mutter --headless --wayland $x11 --wayland-display "$WAYLAND_DISPLAY" \
      --virtual-monitor 1280x800 >>"$log" 2>&1 </dev/null &
  fi
  echo $! >"$pid_file"
  if ! wait_for 20 name_owned org.gnome.Mutter.RemoteDesktop || ! wait_for 5 name_owned org.gnome.Mutter.ScreenCast \
     || ! wait_for 5 test -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY"; then
    tail -n 20 "$log" >&2
    return 1
  fi
  [ "$compositor" = gnome-shell ] && { shell_ready "$from" || return 1; }
  [ "$xwayland" = 1 ] || return 0
  local display
  if ! wait_for 10 display_since "$from" || ! display=$(display_since "$from") || ! wait_for 5 xauthority \
     || ! XAUTHORITY=$(xauthority) DISPLAY=$display wait_for 10 xprop -root -notype _NET_SUPPORTING_WM_CHECK \
     || ! XAUTHORITY=$(xauthority) announce_accessibility_bus "$display"; then
    echo "mutter-ctl: XWayland did not come up" >&2
    tail -n 20 "$log" >&2
    return 1
  fi
  if [ -s "$pid_file.display" ] && [ "$(cat "$pid_file.display")" != "$display" ]; then
    echo "mutter-ctl: XWayland moved from display $(cat "$pid_file.display") to $display" >&2
    return 1
  fi
  echo "$display" >"$pid_file.display"
  ps -o pid=,comm= --ppid "$(cat "$pid_file")" | awk '$2 == "Xwayland" { print $1; exit }' >"$pid_file.xwayland"
  cp "$(xauthority)" "$pid_file.xauthority.new"
  mv -f "$pid_file.xauthority.new" "$pid_file.xauthority"
}

compositor_ctl "${1:-}"
