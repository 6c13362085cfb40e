# Sourced by the compositors' control scripts (../gnome/mutter-ctl.sh,
# ../kde/kwin-ctl.sh), which set $pid_file and define start and end:
#
#   compositor_end SIGNAL   ends the compositor of $pid_file with SIGNAL
#                           (SIGKILL after 5 s), its pid left in $ended_pid;
#                           fails when none runs
#   compositor_ctl VERB     start | kill (SIGKILL, as a crash) | restart | stop
#                           (SIGTERM, for the harness's exit)

# shellcheck source=../linux/wait-for.sh
. "$(dirname "${BASH_SOURCE[0]}")/../linux/wait-for.sh"

compositor_end() { # signal
  [ -s "$pid_file" ] || return 1
  ended_pid=$(cat "$pid_file")
  kill "-$1" "$ended_pid" 2>/dev/null || true
  if ! wait_for 5 gone "$ended_pid"; then
    kill -KILL "$ended_pid" 2>/dev/null || true
    wait_for 5 gone "$ended_pid"
  fi
  # A killed compositor leaves its socket and lock: the next one would pick another name.
  rm -f "$pid_file" "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY.lock"
}

compositor_ctl() { # verb
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
}
