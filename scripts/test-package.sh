#!/usr/bin/env bash
# Installs the .deb as a person would (dpkg -i, then apt-get -f install for
# what it depends on), checks what landed and that the installed programs run
# and find their files, opens the installed settings window on a private
# desktop, and removes the package again. It installs into /usr, so it needs
# root; best run on a throw-away machine (CI does).
#
#   test-package.sh [DEB]     without DEB, `make package` builds one
set -euo pipefail
# Checks pass their arguments to `sh -c '...'` scripts on purpose.
# shellcheck disable=SC2016

self=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")
cd "$(dirname "$self")/.."
readonly kPackage=velmora
readonly kPrograms=(/usr/bin/VelmoraBG /usr/bin/velmora)
readonly kApplicationId=com.brightfen.velmora.settings
readonly kDesktopEntry=/usr/share/applications/$kApplicationId.desktop
readonly kFiles=(
  "$kDesktopEntry"
  /usr/share/icons/hicolor/scalable/apps/velmora.svg
  /usr/share/doc/velmora/README.md
  /usr/share/doc/velmora/user-guide.html
  /usr/share/velmora/Velmora-Info.plist
  /usr/share/velmora/VelmoraBG-Info.plist
  /usr/share/velmora/demo/scenario.json
  /usr/share/applications/com.brightfen.velmora.agent.desktop
  /usr/share/gnome-shell/extensions/velmora@brightfen.com/metadata.json
  /usr/share/gnome-shell/extensions/velmora@brightfen.com/extension.js
  /usr/share/man/man1/velmora.1.gz
  /usr/share/man/man1/VelmoraBG.1.gz
  /usr/share/bash-completion/completions/velmora
  /usr/share/zsh/vendor-completions/_velmora
  /usr/share/doc/velmora/copyright
  /usr/share/doc/velmora/changelog.Debian.gz
  /usr/share/metainfo/com.brightfen.velmora.metainfo.xml
  /usr/share/locale/de/LC_MESSAGES/velmora.mo
)

failures=0
pass() { echo "ok    $*"; }
fail() { echo "FAIL  $*"; failures=$((failures + 1)); }
skip() { echo "skip  $*"; }
check() { # description, command...
  local what=$1; shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}

# ---- On the private desktop (run-desktop-tests.sh runs this part) -----------

# The processes of the agent that belong to this private session, found by
# the session bus they were given; only these may be ended here.
session_agents() {
  local pid
  for pid in $(pgrep -x VelmoraBG || true); do
    { tr '\0' '\n' <"/proc/$pid/environ"; } 2>/dev/null | grep -qxF "DBUS_SESSION_BUS_ADDRESS=$DBUS_SESSION_BUS_ADDRESS" && echo "$pid"
  done
  return 0
}

autostart_entries() {
  grep -ls "VelmoraBG" "$XDG_CONFIG_HOME"/autostart/*.desktop 2>/dev/null || true
}

# The run switch's login item: the XDG autostart entry must start the
# installed agent.
check_login_item() {
  local out entries exec_line
  out=$(timeout 30 velmora start 2>&1) && started=0 || started=$?
  entries=$(autostart_entries)
  if [ -z "$entries" ] && ! ldd /usr/bin/velmora | grep -q libatspi; then
    skip "login item: the installed velmora is built without the desktop backend, so it writes none (velmora start: $out)"
    return
  fi
  check "velmora start answers \"running\" (exit $started: $out)" test "$started" -eq 0
  if [ "$(echo "$entries" | grep -c .)" -ne 1 ]; then
    fail "velmora start writes one autostart entry (found: ${entries:-none})"
  else
    exec_line=$(grep -m1 '^Exec=' "$entries" || true)
    check "the autostart entry starts the installed agent ($exec_line)" \
      sh -c 'case "$1" in "Exec=/usr/bin/VelmoraBG"|"Exec=\"/usr/bin/VelmoraBG\""*|"Exec=/usr/bin/VelmoraBG "*) ;; *) exit 1 ;; esac' _ "$exec_line"
    check "the autostart entry is described as the agent's launcher" \
      sh -c 'grep -qx "Name=Velmora agent" "$1" && grep -q "^Comment=." "$1" && grep -qx "Icon=velmora" "$1"' _ "$entries"
    check "the autostart entry is valid" timeout 20 desktop-file-validate "$entries"
    check "an installed agent's start gives no build-folder warning" sh -c '! echo "$1" | grep -q "build folder"' _ "$out"
  fi
  check "the agent runs from /usr/bin" sh -c '[ -n "$1" ] && [ "$(readlink "/proc/$1/exe")" = /usr/bin/VelmoraBG ]' _ "$(session_agents | head -n1)"
  out=$(timeout 30 velmora stop 2>&1) && stopped=0 || stopped=$?
  check "velmora stop answers \"not running\" (exit $stopped: $out)" test "$stopped" -eq 0
  check "velmora stop removes the autostart entry" test -z "$(autostart_entries)"
  local left
  left=$(session_agents)
  if [ -n "$left" ]; then
    fail "the agent ended after velmora stop (still running: $left)"
    for pid in $left; do kill "$pid" 2>/dev/null || true; done
  fi
}

# `velmora` without arguments opens the settings window.
check_window() {
  local log=$XDG_RUNTIME_DIR/velmora-window.log window="" title
  velmora >"$log" 2>&1 &
  local pid=$!
  local deadline=$((SECONDS + 20))
  while [ $SECONDS -lt $deadline ]; do
    window=$(xdotool search --all --onlyvisible --pid "$pid" --name 'Velmora' 2>/dev/null | head -n1 || true)
    [ -n "$window" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
  done
  if [ -n "$window" ]; then
    title=$(xdotool getwindowname "$window")
    pass "velmora opens its window: \"$title\""
    # Desktops find a window's launcher (and so its icon) by this id.
    app_id=$(xprop -id "$window" _GTK_APPLICATION_ID | sed -n 's/.* = "\(.*\)"$/\1/p')
    check "the window's application id (${app_id:-none}) names the installed desktop entry" \
      test "$app_id" = "$kApplicationId" -a -f "$kDesktopEntry"
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    return
  fi
  if ! kill -0 "$pid" 2>/dev/null; then
    wait "$pid" && status=0 || status=$?
    if [ "$status" -eq 0 ] && grep -q '^Usage: velmora' "$log"; then
      skip "window: the installed velmora has no settings window yet (with no arguments it prints its usage)"
      return
    fi
    fail "velmora opens its window (it ended with status $status before showing one):"
    sed 's/^/      /' "$log"
    return
  fi
  fail "velmora opens its window (none titled Velmora within 20 s); windows on the display:"
  for window in $(xdotool search --onlyvisible --name '.' 2>/dev/null || true); do
    echo "      \"$(xdotool getwindowname "$window" 2>/dev/null || true)\""
  done
  sed 's/^/      /' "$log"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

if [ "${1:-}" = "--in-session" ]; then
  check_login_item
  check_window
  exit $((failures > 0))
fi

# ---- The whole run ----------------------------------------------------------

if [ "$(id -u)" -ne 0 ]; then
  echo "test-package.sh installs the $kPackage package system-wide and removes it again," >&2
  echo "so it needs root: sudo $0 (best on a machine you can throw away)." >&2
  exit 1
fi
if dpkg-query -W -f='${Status}' "$kPackage" 2>/dev/null | grep -qv 'not-installed'; then
  echo "test-package.sh: a $kPackage package is already on this machine; the test would replace it and" >&2
  echo "then remove it. Remove it first (dpkg -r $kPackage) if that is what you want." >&2
  exit 1
fi

# Tools of the checks themselves.
scripts/install-deps.sh xdotool desktop-file-utils procps lintian appstream man-db
deb=${1:-}
if [ -z "$deb" ]; then
  make package
  deb=$(ls -t build-package/${kPackage}_*.deb | head -n1)
fi
[ -f "$deb" ] || { echo "test-package.sh: no package at $deb" >&2; exit 1; }
echo "Package: $deb"

# lintian on the package as built: errors fail; the warnings left on purpose
# are overridden in the package itself, each with its reason.
lintian_log=$(mktemp)
if timeout 600 lintian --fail-on error --display-level '>=warning' --tag-display-limit 0 "$deb" >"$lintian_log" 2>&1; then
  pass "lintian reports no error ($(grep -c '^W:' "$lintian_log" || true) warning(s))"
else
  fail "lintian reports no error"
fi
sed 's/^/      /' "$lintian_log"
rm -f "$lintian_log"

before=$(mktemp)
dpkg-query -W -f='${Package}\n' | sort >"$before"
installed_files=""
remove_package() {
  if dpkg-query -W -f='${Status}' "$kPackage" 2>/dev/null | grep -qv 'not-installed'; then
    dpkg -r "$kPackage" >/dev/null
  fi
}
trap 'status=$?; remove_package || status=1; rm -f "$before"; exit $status' EXIT

# dpkg -i stops short of configuring when something it depends on is missing;
# apt-get -f install brings that in and finishes.
dpkg -i "$deb" || echo "(dpkg -i left dependencies to apt-get -f install)"
DEBIAN_FRONTEND=noninteractive apt-get -f install -y -qq
check "the package is installed" sh -c "dpkg-query -W -f='\${Status}' $kPackage | grep -qx 'install ok installed'"
installed_files=$(dpkg -L "$kPackage")

for program in "${kPrograms[@]}"; do
  check "$program is installed and executable" test -x "$program"
done
for file in "${kFiles[@]}"; do
  check "$file is installed" test -s "$file"
done
sounds=$(find /usr/share/velmora/sounds -maxdepth 1 -name '*.oga' | wc -l)
check "the sounds are installed ($sounds in /usr/share/velmora/sounds)" test "$sounds" -eq "$(ls resources/sounds/*.oga | wc -l)"
check "nothing is installed outside /usr" sh -c '! echo "$1" | grep -v -e "^/usr/" -e "^/usr\$" -e "^/\.\$"' _ "$installed_files"
check "nothing is installed under /usr/local" sh -c '! echo "$1" | grep -q "^/usr/local"' _ "$installed_files"
depends=$(dpkg-query -W -f='${Depends}' "$kPackage")
for needed in at-spi2-core sound-theme-freedesktop zenity libatspi2.0-0; do
  check "the package depends on $needed" sh -c 'echo "$1" | grep -q "\\b$2\\b"' _ "$depends" "$needed"
done

# The launcher: a valid entry whose command and icon resolve to what was installed.
check "the desktop entry is valid" desktop-file-validate "$kDesktopEntry"
check "the desktop entry runs velmora without arguments" grep -qx 'Exec=velmora' "$kDesktopEntry"
check "the desktop entry's program is the installed one" test "$(command -v velmora)" = /usr/bin/velmora
check "the desktop entry's icon is the installed one" grep -qx 'Icon=velmora' "$kDesktopEntry"
check "the desktop entry is in the settings and accessibility menus" grep -qE '^Categories=Settings;Accessibility;' "$kDesktopEntry"
check "the icon is an SVG drawing" grep -q '<svg' /usr/share/icons/hicolor/scalable/apps/velmora.svg
check "the agent's desktop entry is valid" timeout 20 desktop-file-validate /usr/share/applications/com.brightfen.velmora.agent.desktop
check "the agent's desktop entry has a name, comment and icon" sh -c \
  'grep -q "^Name=." "$1" && grep -q "^Comment=." "$1" && grep -qx "Icon=velmora" "$1"' _ /usr/share/applications/com.brightfen.velmora.agent.desktop

# What software centres read: valid AppStream metainfo naming the installed launcher.
readonly kMetainfo=/usr/share/metainfo/com.brightfen.velmora.metainfo.xml
check "appstreamcli validate accepts the metainfo" timeout 60 appstreamcli validate --no-net "$kMetainfo"
check "the metainfo launches the installed desktop entry" grep -qF "<launchable type=\"desktop-id\">$kApplicationId.desktop</launchable>" "$kMetainfo"

# The manual pages, found by man as a user asks for them.
for page in velmora VelmoraBG; do
  check "man $page finds the installed page" test "$(timeout 10 man -w "$page")" = "/usr/share/man/man1/$page.1.gz"
  check "man $page renders its NAME section" sh -c 'MANWIDTH=80 timeout 10 man "$1" 2>/dev/null | grep -q "^NAME"' _ "$page"
done
check "the copyright file is machine-readable" grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' /usr/share/doc/velmora/copyright

# The installed completion against the installed program, on a private bus.
check "the installed bash completion" tests/packaging/completion-test.sh /usr/share/bash-completion/completions/velmora /usr/bin/velmora
check "zsh looks for completions where the package puts its own" sh -c 'zsh -fc "print -l \$fpath" | grep -qx /usr/share/zsh/vendor-completions'
check "the installed zsh completion" tests/packaging/completion-test.sh /usr/share/zsh/vendor-completions/_velmora /usr/bin/velmora zsh

# The installed programs run, and look for their files where they were put.
check "velmora --help" sh -c '/usr/bin/velmora --help | grep -q "^Usage: velmora"'
check "VelmoraBG --help" sh -c '/usr/bin/VelmoraBG --help | grep -q "VelmoraBG"'
check "VelmoraBG plays the installed demo" sh -c \
  '/usr/bin/VelmoraBG --demo --speed 0 | head -n1 | grep -q "^Demo desktop: /usr/share/velmora/demo/scenario.json"'
# Outside a build folder the programs take the installed catalogues.
check "velmora --help in German" sh -c 'LC_ALL=C.UTF-8 LANGUAGE=de /usr/bin/velmora --help | grep -q "^Aufruf: velmora"'
check "the installed launcher says what it does in German" grep -q '^Comment\[de\]=' "$kDesktopEntry"
check "VelmoraBG's first line in German" sh -c \
  'LC_ALL=C.UTF-8 LANGUAGE=de /usr/bin/VelmoraBG --demo --speed 0 | head -n1 | grep -q "^Demo-Desktop: /usr/share/velmora/demo/scenario.json"'
check "velmora's help opens the installed user guide" grep -qF /usr/share/doc/velmora/user-guide.html /usr/bin/velmora

# On a private X server, session bus and accessibility bus.
if tests/platform/linux/run-desktop-tests.sh "$self" --in-session; then
  pass "the installed programs on a private desktop"
else
  fail "the installed programs on a private desktop (see above)"
fi

# Removing the package takes all of its files with it.
dpkg -r "$kPackage"
check "the package is removed" sh -c "! dpkg-query -W -f='\${Status}' $kPackage 2>/dev/null | grep -q 'ok installed'"
left=""
while IFS= read -r path; do
  if [ -f "$path" ] || [ -L "$path" ]; then left+=" $path"; fi
done <<<"$installed_files"
check "dpkg -r leaves none of its files behind${left:+:$left}" test -z "$left"
check "dpkg -r leaves no velmora folders behind" sh -c '! test -e /usr/share/velmora && ! test -e /usr/share/doc/velmora'
pulled=$(comm -13 "$before" <(dpkg-query -W -f='${Package}\n' | sort) | tr '\n' ' ')
[ -z "$pulled" ] || echo "note  apt-get -f install brought in (they stay; apt-get autoremove removes them): $pulled"

if [ "$failures" -gt 0 ]; then
  echo "test-package: $failures check(s) failed"
  exit 1
fi
echo "test-package: all checks passed"
