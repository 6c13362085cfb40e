# Sourced by the private desktops' scripts: wait_for SECONDS COMMAND...
# runs the command quietly until it succeeds, and fails after the time with
# a line naming $wait_for_who (the script's name). name_owned NAME and
# gone PID are what the compositors' scripts wait for.
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

# Whether the name is owned on the session bus now.
name_owned() {
  gdbus call --session --timeout 1 -d org.freedesktop.DBus -o /org/freedesktop/DBus \
    -m org.freedesktop.DBus.NameHasOwner "$1" | grep -q true
}

# Whether the process has ended: gone, or a zombie its parent (not ours to
# reap) has not collected.
gone() { [ ! -e "/proc/$1" ] || grep -q '^[0-9]* ([^)]*) Z' "/proc/$1/stat" 2>/dev/null; }
