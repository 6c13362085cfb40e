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
# shellcheck source=../wayland/compositor-ctl.sh
. "$(dirname "$0")/../wayland/compositor-ctl.sh"

names_gone() { ! name_owned org.kde.KWin; }

end() { # signal
  compositor_end "$1" || return 0
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

compositor_ctl "${1:-}"
