#!/usr/bin/env bash
# The message catalogues: the checked-in template holds exactly what the
# sources mark today, every language in po/LINGUAS translates all of it, and
# the built programs (which find the build folder's catalogues) speak German
# under a German locale and English under C; the built desktop entry and
# metainfo carry the German texts.
#
#   translations-test.sh SOURCE_DIR VELMORA VELMORA_BG BUILT_PACKAGING_DIR
set -uo pipefail
source_dir=$1 velmora=$2 agent=$3 packaging=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# Every source that marks a string is in POTFILES, and every listed file exists.
cd "$source_dir"
grep -rlE '(^|[^A-Za-z0-9_])(N|C|NC)?_\(|ngettext\(' apps pane shared agent platform --include=*.cpp --include=*.h | sort >"$work/marking"
grep -v '^#' po/POTFILES | grep . | sort >"$work/listed"
comm -23 "$work/marking" "$work/listed" | sed 's/^/not in po\/POTFILES: /' >"$work/unlisted"
[ -s "$work/unlisted" ] && fail "$(cat "$work/unlisted")"
while read -r file; do [ -f "$file" ] || fail "po/POTFILES lists $file, which does not exist"; done <"$work/listed"

# The template is what xgettext extracts now (its date aside).
po/update-pot.sh "$work/velmora.pot" 2>"$work/xgettext.log" || fail "xgettext: $(cat "$work/xgettext.log")"
if ! diff <(grep -v '^"POT-Creation-Date:' po/velmora.pot) <(grep -v '^"POT-Creation-Date:' "$work/velmora.pot") >"$work/pot.diff"; then
  fail "po/velmora.pot is out of date: run \`cmake --build build --target pot\`
$(head -40 "$work/pot.diff")"
fi

# Each language: every message of the template translated, none fuzzy, and
# the placeholders of each translation the same as its original's.
for language in $(grep -v '^#' po/LINGUAS); do
  msgcmp "po/$language.po" po/velmora.pot 2>"$work/msgcmp.log" || fail "po/$language.po lacks messages of the template: $(head -5 "$work/msgcmp.log")"
  statistics=$(msgfmt --check --statistics -o /dev/null "po/$language.po" 2>&1) || fail "msgfmt --check po/$language.po: $statistics"
  case $statistics in
    *untranslated* | *fuzzy*) fail "po/$language.po is incomplete: $statistics" ;;
    *" translated message"*) ;;
    *) fail "po/$language.po: unexpected statistics: $statistics" ;;
  esac
done

# At run time. C.UTF-8 needs no generated locale and, unlike C, lets LANGUAGE
# choose; no bus and no display, so the command's error is the same anywhere.
german=(env LC_ALL=C.UTF-8 LANGUAGE=de)
nodesktop=(env -u DBUS_SESSION_BUS_ADDRESS -u DISPLAY -u WAYLAND_DISPLAY XDG_RUNTIME_DIR="$work")
expect() { # expect WHAT OUTPUT EXPECTED
  case $2 in *"$3"*) ;; *) fail "$1: no \"$3\" in:
$2" ;; esac
}
help=$("${german[@]}" timeout 10 "$velmora" --help)
expect "velmora --help in German" "$help" "Aufruf: velmora [OPTIONEN] [UNTERBEFEHL]"
expect "velmora --help in German" "$help" "Den Agenten starten und bei der Anmeldung starten"
expect "velmora --help in German" "$help" "Exit-Codes:"
keys=$("${german[@]}" timeout 10 "$velmora" set --help)
expect "velmora set --help in German" "$keys" "feedbackSoundVolume"
expect "velmora set --help in German" "$keys" "Zahl von 0 bis 1: wie laut der Klang ist"
error=$("${nodesktop[@]}" "${german[@]}" timeout 10 "$velmora" get feedbackSoundName 2>&1)
status=$?
[ "$status" -eq 5 ] || fail "velmora get without a desktop exits $status, not 5"
expect "velmora's error in German" "$error" "velmora: keine Desktop-Sitzung, über die Agent und Einstellungen erreichbar sind"
usage=$("${german[@]}" timeout 10 "$velmora" bogus 2>&1)
expect "a command-line mistake in German" "$usage" "Das folgende Argument wurde nicht erwartet: bogus"
expect "a command-line mistake in German" "$usage" "Mehr dazu mit --help."
expect "a missing argument in German" "$("${german[@]}" timeout 10 "$velmora" get 2>&1)" "KEY ist erforderlich"
demo=$("${german[@]}" timeout 30 "$agent" --demo --speed 0 2>&1)
expect "the agent's first line in German" "$(head -1 <<<"$demo")" "Demo-Desktop: "
expect "the agent's lines in German" "$demo" "Barrierefreiheit: ein"
expect "the agent's lines in German" "$demo" "Beobachte 1 Anwendung"
# The events' column stays aligned in characters, "zurück" being 7 bytes.
expect "the demo's events in German" "$demo" 'Sprung   Editor "Save changes?" -> [Save], Zeiger (640, 620) -> ('
expect "the demo's events in German" "$demo" "zurück   Zeiger kehrt zurück nach (640, 620)"
expect "VelmoraBG --help in German" "$("${german[@]}" timeout 10 "$agent" --help)" "Auf dem simulierten Demo-Desktop laufen"

# A program takes the catalogues beside it only in a build folder (one with
# CMake's cache); elsewhere the installed ones, never a build folder's.
tree=$work/tree
mkdir -p "$tree/locale/de/LC_MESSAGES"
cp "$velmora" "$tree/velmora"
printf 'msgid ""\nmsgstr "Content-Type: text/plain; charset=UTF-8\\n"\n\nmsgid "Usage"\nmsgstr "Gebrauch"\n' |
  msgfmt -o "$tree/locale/de/LC_MESSAGES/velmora.mo" -
touch "$tree/CMakeCache.txt"
expect "a build folder's own catalogue" "$("${german[@]}" timeout 10 "$tree/velmora" --help)" "Gebrauch: velmora"
rm "$tree/CMakeCache.txt"
case $("${german[@]}" timeout 10 "$tree/velmora" --help) in
  *Gebrauch*) fail "a program outside a build folder took the catalogue beside it" ;;
esac

# The desktop entry and the metainfo as built for the package.
entry=$packaging/com.brightfen.velmora.settings.desktop
expect "the desktop entry" "$(cat "$entry")" "Comment[de]=Den Zeiger auf den Knopf bewegen, der einen neuen Dialog beantwortet"
expect "the desktop entry" "$(cat "$entry")" "Name=Velmora"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$entry" >"$work/validate.log" 2>&1 || fail "desktop-file-validate: $(cat "$work/validate.log")"
fi
expect "the metainfo" "$(cat "$packaging/com.brightfen.velmora.metainfo.xml")" '<summary xml:lang="de">Den Zeiger auf den Knopf bewegen'

# Under C the programs keep to English whatever LANGUAGE says, as every
# other test expects.
expect "velmora --help under C" "$(env LC_ALL=C LANGUAGE=de timeout 10 "$velmora" --help)" "Usage: velmora [OPTIONS] [SUBCOMMAND]"
expect "a missing argument under C" "$(env LC_ALL=C LANGUAGE=de timeout 10 "$velmora" get 2>&1)" "KEY is required
Run with --help for more information."
english_demo=$(env LC_ALL=C LANGUAGE=de timeout 30 "$agent" --demo --speed 0 2>&1)
expect "the agent under C" "$(head -1 <<<"$english_demo")" "Demo desktop: "
expect "the demo under C" "$english_demo" "back     pointer returns to (640, 620)"

[ "$failures" -eq 0 ] && echo "translations: all checks passed"
exit $((failures > 0))
