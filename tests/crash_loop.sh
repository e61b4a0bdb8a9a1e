#!/bin/sh
# Kills in-place saves of dlgtool at random moments and checks that every result is the old or the
# new file byte for byte, and that no temporary file survives the next save.
#
#   tests/crash_loop.sh BUILD_DIR [ROUNDS]      (make crash-loop; 100 rounds by default)
set -eu
build=$(cd "$1" && pwd)
rounds=${2:-100}
dlgtool="$build/tools/dlgtool/dlgtool"
[ -x "$dlgtool" ] || dlgtool="$build/tools/dlgtool"
[ -x "$dlgtool" ] || { echo "no dlgtool under $build" >&2; exit 2; }
demo="$build/tools/parlatrix-make-demo"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$demo" base.dlg >/dev/null
# Two translations of every line, each text a few MB, so that a save takes long enough to be hit.
ids=$("$dlgtool" export base.dlg ids.txt >/dev/null && grep -a '^[0-9][0-9]*.$' ids.txt | tr -d '\r')
for side in a b; do
  : > "$side.txt"
  printf '*************\r\n' >> "$side.txt"
  for id in $ids; do
    printf '%s\r\n' "$id" >> "$side.txt"
    head -c 2000000 /dev/zero | tr '\0' "$side" >> "$side.txt"
    printf '\r\n\r\n' >> "$side.txt"
  done
  "$dlgtool" import base.dlg "$side.txt" -o "$side.dlg" >/dev/null 2>&1
done
cp a.dlg doc.dlg
old=a
survived=0
i=0
while [ "$i" -lt "$rounds" ]; do
  i=$((i + 1))
  new=b; [ "$old" = b ] && new=a
  "$dlgtool" import doc.dlg "$new.txt" >/dev/null 2>&1 &
  pid=$!
  sleep "0.0$(od -An -N1 -tu1 /dev/urandom | tr -d ' ' | cut -c1)$(od -An -N1 -tu1 /dev/urandom | tr -d ' ' | cut -c1)"
  kill -9 "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  if cmp -s doc.dlg "$old.dlg"; then :
  elif cmp -s doc.dlg "$new.dlg"; then old=$new
  else echo "round $i: doc.dlg is neither the old nor the new file" >&2; exit 1
  fi
  if ls -A | grep -q '\.tmp$'; then survived=$((survived + 1)); fi
  # The next save (run to its end) removes what a killed one left.
  "$dlgtool" import doc.dlg "$old.txt" >/dev/null 2>&1
  if ls -A | grep -q '\.tmp$'; then echo "round $i: a temporary file survived the next save" >&2; exit 1; fi
done
echo "crash loop: $rounds rounds, every result old or new byte for byte; $survived killed saves left a temporary file, each removed by the next save"
