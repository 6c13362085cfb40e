#!/usr/bin/env bash
# The shell completion of velmora, against a built velmora on a private
# session bus with its own settings and applications. bash's is driven as
# bash drives it (COMP_WORDS, COMP_CWORD, then the function `complete`
# registered); zsh's by an interactive zsh given the line and a Tab
# (zsh-complete.zsh). Both must offer the same candidates.
#
#   completion-test.sh COMPLETION_SCRIPT VELMORA [bash|zsh]
set -euo pipefail
script=$(realpath "$1")
velmora=$(realpath "$2")
shell=${3:-bash}
here=$(cd "$(dirname "$0")" && pwd)

if [ -z "${VELMORA_COMPLETION_IN_SESSION:-}" ]; then
  home=$(mktemp -d)
  trap 'rm -rf "$home"' EXIT
  mkdir -p "$home/config" "$home/data/applications" "$home/runtime"
  chmod 700 "$home/runtime"
  printf '[Desktop Entry]\nType=Application\nName=Fake Editor\nExec=true\n' \
    >"$home/data/applications/org.example.FakeEditor.desktop"
  export XDG_CONFIG_HOME=$home/config XDG_DATA_HOME=$home/data XDG_DATA_DIRS=$home/none:/usr/share \
    XDG_RUNTIME_DIR=$home/runtime HOME=$home VELMORA_COMPLETION_IN_SESSION=1
  unset DISPLAY WAYLAND_DISPLAY
  # dbus-daemon warns, harmlessly, that it may not raise its file limit.
  timeout 120 dbus-run-session -- "$0" "$@" 2>&1 | grep -v 'Failed to set fd limit'
  exit "${PIPESTATUS[0]}"
fi

failures=0
# The candidates for the command line given as words; the last word is the
# one being completed.
complete_line() {
  if [ "$shell" = zsh ]; then
    local line=$velmora word
    for word in "$@"; do line+=" $word"; done
    timeout 30 zsh -f "$here/zsh-complete.zsh" "$(dirname "$script")" "$line"
    return
  fi
  COMP_WORDS=("$velmora" "$@")
  COMP_CWORD=$#
  COMPREPLY=()
  _velmora
  printf '%s\n' "${COMPREPLY[@]}" | sort
}
expect() { # description, expected (newline-separated, sorted), words...
  local what=$1 expected=$2 got
  shift 2
  got=$(complete_line "$@")
  if [ "$got" = "$expected" ]; then
    echo "ok    $what"
  else
    echo "FAIL  $what"; echo "      expected: $(echo "$expected" | tr '\n' ' ')"; echo "      got:      $(echo "$got" | tr '\n' ' ')"
    failures=$((failures + 1))
  fi
}
expect_among() { # description, a candidate that must be offered, words...
  local what=$1 wanted=$2 got
  shift 2
  got=$(complete_line "$@")
  if echo "$got" | grep -qxF "$wanted"; then echo "ok    $what"; else
    echo "FAIL  $what (no \"$wanted\" among: $(echo "$got" | tr '\n' ' '))"; failures=$((failures + 1)); fi
}

if [ "$shell" = bash ]; then
  # shellcheck source=/dev/null
  source "$script"
  complete -p velmora >/dev/null || { echo "FAIL  the script registers no completion for velmora"; exit 1; }
else
  [ "$(basename "$script")" = _velmora ] || { echo "FAIL  zsh finds the completion by its name, _velmora"; exit 1; }
fi

# Subcommands, from the program's own help.
expect "subcommands" "$(printf '%s\n' check-for-updates get ignore set start status stop)" ""
expect "subcommands by prefix" "$(printf '%s\n' start status stop)" st
expect "ignore's subcommands" "$(printf '%s\n' add list remove)" ignore ""
expect "options" "--help" ignore --he
expect "nothing after a complete command" "" status ""

# A velmora that is not on PATH has nothing to say; an earlier answer is not
# offered again.
if [ "$shell" = bash ]; then
  COMP_WORDS=(no-such-velmora-here st); COMP_CWORD=1; COMPREPLY=(status)
  _velmora
  offered=${COMPREPLY[*]}
else
  offered=$(timeout 30 zsh -f "$here/zsh-complete.zsh" "$(dirname "$script")" "no-such-velmora-here st")
fi
if [ -z "$offered" ]; then echo "ok    nothing for a velmora not on PATH"; else
  echo "FAIL  a velmora not on PATH offers: $offered"; failures=$((failures + 1)); fi

# Settings keys and sounds.
expect "keys for get" "$(printf '%s\n' QK.velmora.ignoredApps QK.velmora.snapbackCursor)" get QK.
expect_among "keys for set" feedbackSoundVolume set ""
expect "only one key for get" "" get playsSoundOnMove ""
expect "sound names for feedbackSoundName" "$(printf '%s\n' Ping Pop Purr)" set feedbackSoundName P
expect_among "the theme's sounds too" bell set feedbackSoundName ""
expect "the words a boolean takes" "$(printf '%s\n' false no off on true yes)" set playsSoundOnMove ""
expect "nothing for a number" "" set feedbackSoundVolume ""
expect "currentVersion cannot be set" "" set currentV

# Ignored entries: those listed for remove, installed applications for add.
expect "installed applications for ignore add" org.example.FakeEditor ignore add org.example.F
"$velmora" ignore add org.example.FakeEditor >/dev/null
expect_among "ignored entries for ignore remove" org.example.FakeEditor ignore remove ""
settings=$XDG_CONFIG_HOME/velmora/com.brightfen.velmora.plist
before=$(sha1sum "$settings")
complete_line get "" >/dev/null
complete_line set feedbackSoundName "" >/dev/null
complete_line ignore remove "" >/dev/null
if [ "$(sha1sum "$settings")" = "$before" ]; then echo "ok    completing writes no setting"; else
  echo "FAIL  completing changed $settings"; failures=$((failures + 1)); fi

# Without a session bus the keys are still known, but the ignored entries,
# kept in the settings, are not offered; completion returns rather than fails.
(
  failures=0
  DBUS_SESSION_BUS_ADDRESS=unix:path=$XDG_RUNTIME_DIR/no-bus
  export DBUS_SESSION_BUS_ADDRESS
  expect_among "keys without a session bus" playsSoundOnMove get ""
  expect "no ignored entries without a session bus" "" ignore remove ""
  exit $failures
) || failures=$((failures + 1))

if [ "$failures" -gt 0 ]; then echo "completion ($shell): $failures check(s) failed"; exit 1; fi
echo "completion ($shell): all checks passed"
