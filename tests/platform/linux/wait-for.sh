# Sourced by the private desktops' scripts: wait_for SECONDS COMMAND...
# runs the command quietly until it succeeds, and fails after the time with
# a line naming $wait_for_who (the script's name).
wait_for() {
  local deadline=$((SECONDS + $1)); shift
  until "$@" >/dev/null 2>&1; do
    if [ $SECONDS -ge $deadline ]; then
      echo "${wait_for_who:-wait_for}: timed out waiting for: $*" >&2
      return 1
    fi
    sleep 0.05
  done
}
