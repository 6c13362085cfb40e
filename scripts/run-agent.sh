#!/usr/bin/env bash
# Starts the agent on the user's desktop, or on the built-in demo desktop
# where there is none.
set -euo pipefail
build=${1:-build}
agent=$(readlink -f "$build/VelmoraBG")

# KWin lets a program move the pointer only when a desktop entry whose Exec is
# that program lists its fake-input interface; the package installs one for
# /usr/bin/VelmoraBG, this gives the build's agent its own.
if [ "${XDG_SESSION_TYPE:-}" = wayland ] && [[ ":${XDG_CURRENT_DESKTOP:-}:" == *:KDE:* ]]; then
  entry=${XDG_DATA_HOME:-$HOME/.local/share}/applications/com.brightfen.velmora.build-agent.desktop
  wanted="[Desktop Entry]
Type=Application
Name=Velmora agent (built in $(dirname "$agent"))
Exec=$agent
NoDisplay=true
X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input"
  if [ "$(cat "$entry" 2>/dev/null)" != "$wanted" ]; then
    mkdir -p "$(dirname "$entry")"
    printf '%s\n' "$wanted" >"$entry.tmp" && mv "$entry.tmp" "$entry"
    echo "Wrote $entry so that KWin lets this agent move the pointer (delete it with the build folder)."
    if command -v kbuildsycoca5 >/dev/null; then
      kbuildsycoca5 >/dev/null 2>&1 || true
      sleep 4 # KWin notices the rebuilt cache within a few seconds
    fi
  fi
fi

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$agent"
fi
echo "No graphical desktop here: running the agent on the demo desktop."
exec "$agent" --demo
