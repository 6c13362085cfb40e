#!/usr/bin/env bash
# Starts the agent on the user's desktop, or on the built-in demo desktop
# where there is none.
set -euo pipefail
build=${1:-build}
if [ -n "${DISPLAY:-}" ]; then
  exec "$build/VelmoraBG"
fi
echo "No graphical desktop here: running the agent on the demo desktop."
exec "$build/VelmoraBG" --demo
