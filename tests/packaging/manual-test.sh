#!/usr/bin/env bash
# The manual pages against the programs they describe: every subcommand and
# settings key velmora knows and every option VelmoraBG takes is documented,
# and groff renders both pages without a warning.
#
#   manual-test.sh MAN_DIR VELMORA VELMORABG     (MAN_DIR holds the built *.1)
set -euo pipefail
man_dir=$1 velmora=$2 agent=$3

failures=0
fail() { echo "FAIL  $*"; failures=$((failures + 1)); }

# The page as a reader sees it, without hyphenation or justification getting
# in the way of the search.
rendered() { MANWIDTH=200 timeout 10 man -l "$1" 2>/dev/null | col -b; }
documents() { # page text, word, what
  if grep -qF -- "$2" <<<"$1"; then echo "ok    $3"; else fail "$3"; fi
}

for page in velmora VelmoraBG; do
  file=$man_dir/$page.1
  [ -s "$file" ] || { fail "$file is built"; continue; }
  warnings=$(timeout 10 groff -man -ww -z "$file" 2>&1 || true)
  if [ -z "$warnings" ]; then echo "ok    $page(1) renders without warnings"; else fail "$page(1) renders cleanly: $warnings"; fi
  if ! gzip -t "$file.gz" 2>/dev/null; then fail "$page(1) is gzipped for installation"; fi
done

velmora_page=$(rendered "$man_dir/velmora.1")
subcommands=$(LC_ALL=C timeout 10 "$velmora" --help | sed -n '/^Subcommands:/,/^$/{s/^  \([a-z][a-z-]*\) .*/\1/p}')
[ -n "$subcommands" ] || fail "velmora --help lists subcommands"
for command in $subcommands; do
  documents "$velmora_page" "$command" "velmora(1) documents $command"
done
for command in $(LC_ALL=C timeout 10 "$velmora" ignore --help | sed -n '/^Subcommands:/,/^$/{s/^  \([a-z][a-z-]*\) .*/\1/p}'); do
  documents "$velmora_page" "ignore $command" "velmora(1) documents ignore $command"
done
for code in $(LC_ALL=C timeout 10 "$velmora" --help | sed -n '/^Exit codes:/,$s/^  \([0-9][0-9]*\) .*/\1/p'); do
  if sed -n '/^EXIT STATUS/,/^FILES/p' <<<"$velmora_page" | grep -qE "^ +$code\$"; then
    echo "ok    velmora(1) documents exit code $code"
  else fail "velmora(1) documents exit code $code"; fi
done
# The keys are named in the refusal of a key that does not exist, which
# needs the session bus velmora keeps its settings on.
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
keys=$({ XDG_CONFIG_HOME=$home LC_ALL=C timeout 30 dbus-run-session -- "$velmora" get " " 2>&1 || true; } |
  sed -n 's/.*; the keys are //p' | sed 's/, /\n/g')
[ -n "$keys" ] || fail "velmora names its keys"
for key in $keys; do
  documents "$velmora_page" "$key" "velmora(1) documents the key $key"
done

agent_page=$(rendered "$man_dir/VelmoraBG.1")
for option in $(timeout 10 "$agent" --help | grep -oE -- '--[a-z][a-z-]+' | sort -u); do
  documents "$agent_page" "$option" "VelmoraBG(1) documents $option"
done

if [ "$failures" -gt 0 ]; then echo "manual pages: $failures check(s) failed"; exit 1; fi
echo "manual pages: all checks passed"
