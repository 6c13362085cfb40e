#!/usr/bin/env bash
# Runs a program on a private GNOME Wayland desktop: mutter as a headless
# Wayland compositor with one virtual monitor (no X server at all), PipeWire
# (mutter's screen-cast and remote-desktop interfaces need it), a session bus
# and the accessibility bus, with private XDG folders. Everything started
# here is stopped on exit.
#
#   run-gnome-wayland-tests.sh PROGRAM [ARGS...]
#
# The program finds mutter's pid in $VELMORA_TEST_MUTTER_PID_FILE and can
# restart it with `$VELMORA_TEST_COMPOSITOR_CTL restart`. With
# VELMORA_TEST_XWAYLAND=1 mutter also runs XWayland, whose display is then
# $DISPLAY, with $XAUTHORITY (X clients need GDK_BACKEND=x11 or
# QT_QPA_PLATFORM=xcb). Under GNOME Shell, VELMORA_TEST_ANIMATIONS=false
# turns its window animations off, as the user's setting does, and
# VELMORA_TEST_SHELL_EXTENSION=0 leaves the extension disabled.
#
# With VELMORA_TEST_COMPOSITOR=gnome-shell the compositor is headless GNOME
# Shell with the project's extension (platform/gnome/shell-extension), on a
# private system bus of its own besides. VELMORA_TEST_COMPOSITOR (mutter
# unless set) is exported for the tests.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
session_name=run-gnome-wayland-tests
# shellcheck source=../linux/private-session.sh
. "$here/../linux/private-session.sh"
# shellcheck source=../wayland/wayland-session.sh
. "$here/../wayland/wayland-session.sh"
session_require mutter pipewire dbus-daemon gdbus /usr/bin/python3
[ "${VELMORA_TEST_XWAYLAND:-0}" = 1 ] && session_require Xwayland xprop
export VELMORA_TEST_COMPOSITOR=${VELMORA_TEST_COMPOSITOR:-mutter}
case $VELMORA_TEST_COMPOSITOR in
mutter) ;;
gnome-shell)
  session_require gnome-shell
  if [ "${VELMORA_TEST_XWAYLAND:-0}" = 1 ]; then
    echo "$session_name: VELMORA_TEST_XWAYLAND=1 runs with mutter only, not gnome-shell" >&2
    exit 2
  fi
  ;;
*)
  echo "$session_name: VELMORA_TEST_COMPOSITOR is mutter or gnome-shell, not $VELMORA_TEST_COMPOSITOR" >&2
  exit 2
  ;;
esac
wayland_session_begin "$here/mutter-ctl.sh" GNOME
# GTK 4's GL renderer stalls on this GPU-less compositor after its first
# frame (the window never becomes active); its software one does not.
export GSK_RENDERER=cairo

session_start_bus
session_start_accessibility
if [ "$VELMORA_TEST_COMPOSITOR" = gnome-shell ]; then
  session_start_system_bus
  # GNOME Shell finds the extension among the user's, and takes what it
  # enables from its settings, which the memory backend cannot be given
  # ahead: mutter-ctl.sh starts it, alone, on this keyfile. Left out: the
  # welcome dialog (modal, for a user other than root with GNOME Tour
  # installed) and notification banners (it tells at each start that the
  # screen cannot lock, and root that it is root), which lie over windows
  # at the top of the screen.
  mkdir -p "$XDG_DATA_HOME/gnome-shell/extensions" "$XDG_CONFIG_HOME/glib-2.0/settings"
  ln -s "$(cd "$here/../../../platform/gnome/shell-extension" && pwd)" \
    "$XDG_DATA_HOME/gnome-shell/extensions/velmora@brightfen.com"
  cat >"$XDG_CONFIG_HOME/glib-2.0/settings/keyfile" <<KEYFILE
[org/gnome/shell]
enabled-extensions=$([ "${VELMORA_TEST_SHELL_EXTENSION:-1}" = 0 ] && echo "@as []" || echo "['velmora@brightfen.com']")
disable-user-extensions=false
welcome-dialog-last-shown-version='999'

[org/gnome/desktop/notifications]
show-banners=false

[org/gnome/desktop/interface]
enable-animations=${VELMORA_TEST_ANIMATIONS:-true}
KEYFILE
fi

pipewire >"$work/pipewire.log" 2>&1 &
session_track $!
session_wait_for 10 test -S "$XDG_RUNTIME_DIR/pipewire-0"

export VELMORA_TEST_MUTTER_PID_FILE=$work/mutter.pid
export VELMORA_TEST_MUTTER_LOG=$work/mutter.log
"$VELMORA_TEST_COMPOSITOR_CTL" start
if [ "${VELMORA_TEST_XWAYLAND:-0}" = 1 ]; then
  DISPLAY=$(cat "$VELMORA_TEST_MUTTER_PID_FILE.display")
  XAUTHORITY=$VELMORA_TEST_MUTTER_PID_FILE.xauthority
  export DISPLAY XAUTHORITY
fi

# Under headless mutter no window becomes active until a keyboard exists: a
# remote-desktop session of its own presses a key once and stays open.
/usr/bin/python3 "$here/keyboard-device.py" >"$work/keyboard.log" 2>&1 &
session_track $!
session_wait_for 10 grep -q ready "$work/keyboard.log"

session_lsan_options
session_run "$@"
