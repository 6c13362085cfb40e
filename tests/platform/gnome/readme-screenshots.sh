#!/usr/bin/env bash
# The README's pictures of GNOME on Wayland: the agent snapping a GTK 3, a
# GTK 4 and a libadwaita dialog under headless mutter. Run on the private
# desktop, with wireplumber and GStreamer's PipeWire source installed:
#   tests/platform/gnome/run-gnome-wayland-tests.sh \
#     tests/platform/gnome/readme-screenshots.sh BUILD_DIR OUT_DIR
set -euo pipefail
build=$1 out=$2
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out"
wireplumber >/dev/null 2>&1 &
manager=$!
"$build/VelmoraBG" 2>"$out/agent.log" &
agent=$!
trap 'kill $agent $manager 2>/dev/null || true' EXIT
sleep 1.5 # the agent looks at the running applications first

shoot() { # name, dialog command...
  local name=$1; shift
  (sleep 5; echo) | "$@" >/dev/null 2>&1 &
  sleep 1.5 # mapped, active, snapped, settled
  /usr/bin/python3 "$here/wayland-screenshot.py" window "$out/$name.png"
  wait $! || true
}
shoot gnome-wayland-gtk3 /usr/bin/python3 "$here/enter-dialog.py" "Save changes?"
shoot gnome-wayland-gtk4 /usr/bin/python3 "$here/enter-dialog-gtk4.py" "Save changes?" gtk
shoot gnome-wayland-libadwaita /usr/bin/python3 "$here/enter-dialog-gtk4.py" "Save changes?" adwaita
