# Sourced by run-gnome-wayland-tests.sh and run-kde-wayland-tests.sh after
# ../linux/private-session.sh: what a private Wayland desktop needs whatever
# its compositor.
#
#   wayland_session_begin CTL DESKTOP   session_begin, then a Wayland session
#       ($XDG_CURRENT_DESKTOP=DESKTOP) whose compositor the control script
#       CTL starts, kills and restarts in a session of its own (a test may
#       kill it as a crash would); CTL is exported to the tests as
#       $VELMORA_TEST_COMPOSITOR_CTL and stops the compositor on exit.

if [ $# -lt 1 ]; then
  echo "usage: $0 PROGRAM [ARGS...]" >&2
  exit 2
fi

wayland_session_begin() { # ctl desktop
  session_begin
  export VELMORA_TEST_COMPOSITOR_CTL=$1
  session_stop_extra() { "$VELMORA_TEST_COMPOSITOR_CTL" stop; }
  unset DISPLAY
  export XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=$2 WAYLAND_DISPLAY=wayland-velmora
  # GTK and GIO must not look for an X server or a portal.
  export GDK_BACKEND=wayland GTK_USE_PORTAL=0
}
