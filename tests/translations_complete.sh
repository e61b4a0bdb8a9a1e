#!/usr/bin/env bash
# Runs lupdate over the interface's sources into a copy of translations/parlatrix_en.ts and fails
# when a text has no finished English translation: a text marked with tr() or QT_TRANSLATE_NOOP
# that the catalogue lacks, or one whose source changed since it was translated.
# Usage: translations_complete.sh LUPDATE SOURCE_DIR
set -euo pipefail
lupdate=$1
src=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$src/translations/parlatrix_en.ts" "$work/parlatrix_en.ts"
"$lupdate" -silent -locations none -no-obsolete "$src/src/toolkit" "$src/src/app" \
  "$src/src/editor" "$src/src/dialogs" -ts "$work/parlatrix_en.ts"
unfinished=$(grep -c 'type="unfinished"' "$work/parlatrix_en.ts" || true)
if [ "$unfinished" -ne 0 ]; then
  echo "translations/parlatrix_en.ts lacks $unfinished English translation(s):"
  grep -B3 'type="unfinished"' "$work/parlatrix_en.ts" | grep -E '<name>|<source>' || true
  echo "run: cmake --build build --target update_translations, then translate them"
  exit 1
fi
echo "every interface text has its English translation"
