#!/usr/bin/env bash
# Starts, kills and restarts the private desktop's compositor: kwin_wayland
# 5.27, headless (virtual backend), Wayland only, one 1280x800 output, no
# lock screen, activities or global shortcuts. It runs in a session of its
# own so that a test can kill it as a crash would and start another. It needs
# no system bus nor logind, and no keyboard for windows to become active.
#
#   kwin-ctl.sh start     starts it, waits for its socket and org.kde.KWin
#   kwin-ctl.sh kill      SIGKILL, waits until it and its bus name are gone
#   kwin-ctl.sh restart   kill, then start
#   kwin-ctl.sh stop      SIGTERM (SIGKILL after 5 s), for the harness's exit
set -euo pipefail

pid_file=${VELMORA_TEST_KWIN_PID_FILE:?run through run-kde-wayland-tests.sh}
log=${VELMORA_TEST_KWIN_LOG:?run through run-kde-wayland-tests.sh}
binary=${VELMORA_TEST_KWIN_BINARY:?run through run-kde-wayland-tests.sh}

wait_for_who=kwin-ctl
# shellcheck source=../linux/wait-for.sh
. "$(dirname "$0")/../linux/wait-for.sh"

names_gone() { ! name_owned org.kde.KWin; }

end() { # signal
  [ -s "$pid_file" ] || return 0
  local pid
  pid=$(cat "$pid_file")
  kill "-$1" "$pid" 2>/dev/null || true
  if ! wait_for 5 gone "$pid"; then
    kill -KILL "$pid" 2>/dev/null || true
    wait_for 5 gone "$pid"
  fi
  # A killed KWin leaves its socket and lock: the next one would pick another name.
  rm -f "$pid_file" "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY.lock"
  wait_for 5 names_gone
}

start() {
  setsid "$binary" --virtual --width 1280 --height 800 --socket "$WAYLAND_DISPLAY" \
    --no-lockscreen --no-kactivities --no-global-shortcuts >>"$log" 2>&1 </dev/null &
  echo $! >"$pid_file"
  if ! wait_for 20 name_owned org.kde.KWin || ! wait_for 5 test -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY"; then
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
