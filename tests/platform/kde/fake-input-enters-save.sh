#!/usr/bin/env bash
# Run through run-kde-wayland-tests.sh: a GTK 3 dialog, its frame from KWin's
# script, one absolute fake-input motion 15 px in from Save's right edge;
# passes only when the dialog says the pointer entered Save at that spot.
set -u
K=$(cd "$(dirname "$0")" && pwd); G=$K/../gnome
( sleep 10 ) | timeout 11 /usr/bin/python3 $G/enter-dialog.py "Save changes?" > $XDG_RUNTIME_DIR/gtk.out 2>&1 &
for i in $(seq 50); do grep -q active $XDG_RUNTIME_DIR/gtk.out && break; sleep 0.1; done
report=$(timeout 5 /usr/bin/python3 $K/kwin-script-probe.py | grep '"run"')
echo "$report"
read -r bx by bw bh < <(awk '$1=="button" && $2=="Save" {print $3, $4, $5, $6}' $XDG_RUNTIME_DIR/gtk.out)
read -r fx fy < <(echo "$report" | sed 's/.*"frame":\[\([0-9]*\),\([0-9]*\),.*/\1 \2/')
x=$((fx + bx + bw - 15)); y=$((fy + by + bh / 2))
timeout 5 /usr/bin/python3 $K/fake-input-probe.py $x $y || exit 1
sleep 0.5; cat $XDG_RUNTIME_DIR/gtk.out
grep -q "enter Save $((bw - 15)) $((bh / 2))" $XDG_RUNTIME_DIR/gtk.out
