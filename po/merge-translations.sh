#!/usr/bin/env bash
# Brings each language's file in po/LINGUAS up to the current template: new
# strings come in untranslated, changed ones fuzzy, for the translator.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
grep -v '^#' "$here/LINGUAS" | while read -r language; do
  [ -n "$language" ] || continue
  msgmerge --quiet --update --backup=none --previous "$here/$language.po" "$here/velmora.pot"
done
