#!/usr/bin/env bash
# Extracts every translatable string of the files listed in po/POTFILES (the
# sources, the settings' desktop entry and the AppStream metainfo) into the
# template given (po/velmora.pot for `make pot`; a scratch file for the
# test that checks the checked-in one is current). Locations name the file
# only, so that code moving within a file does not change the template.
#
#   update-pot.sh OUTPUT.pot
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cd "$here/.."
[ $# -eq 1 ] || { echo "usage: $0 OUTPUT.pot" >&2; exit 2; }
out=$1
set -- "$out.new"
trap 'rm -f "$out.new" "$out.new.files"' EXIT
grep -v '^#' po/POTFILES | grep -E '\.(cpp|h)$' >"$1.files"
xgettext --from-code=UTF-8 --language=C++ --add-comments=TRANSLATORS: \
  --keyword=_ --keyword=N_ --keyword=C_:1c,2 --keyword=NC_:1c,2 \
  --keyword=ngettext:1,2 --keyword=g_dngettext:2,3 \
  --add-location=file --package-name=Velmora --package-version=1.0.0 \
  --copyright-holder="Brightfen Software" --msgid-bugs-address=velmora@brightfen.com \
  --files-from="$1.files" -o "$1"
# The desktop entry's name is Velmora's own; what it says of itself is not.
for entry in $(grep -v '^#' po/POTFILES | grep '\.desktop$'); do
  xgettext --join-existing --add-location=file --keyword= --keyword=GenericName --keyword=Comment --keyword=Keywords "$entry" -o "$1"
done
# The metainfo's own translation rules (gettext's ITS rules for AppStream).
for metainfo in $(grep -v '^#' po/POTFILES | grep '\.metainfo\.xml$'); do
  xgettext --join-existing --add-location=file "$metainfo" -o "$1"
done
rm -f "$1.files"
# A template whose only change is its creation date is left alone, so that
# `make pot` on an unchanged tree changes no file.
if [ -f "$out" ] && cmp -s <(grep -v '^"POT-Creation-Date:' "$out") <(grep -v '^"POT-Creation-Date:' "$1"); then
  exit 0
fi
mv "$1" "$out"
