#!/bin/sh
# Kills in-place saves of dlgtool at random moments and checks that every result is the old or the
# new file byte for byte, and that no temporary file survives the next save. Then the same for a
# file with two hard links, which a save writes in place after a backup copy: there a kill while
# the file itself is written leaves it cut, and the backup (NAME.save-backup) whole and old.
# Then the other commands that replace a file the user keeps: export --update (a PO), recode and
# merge in place, and voscript over an existing script; each result must be the old file or the
# one an undisturbed run of the same command makes.
#
#   tests/crash_loop.sh BUILD_DIR [ROUNDS] [PHASES]   (make crash-loop; 100 rounds by default;
#   PHASES: a list of rename, link, update, recode, merge, voscript; all by default)
set -eu
build=$(cd "$1" && pwd)
rounds=${2:-100}
phases=${3:-"rename link update recode merge voscript"}
wants() { case " $phases " in *" $1 "*) return 0 ;; esac; return 1; }
dlgtool="$build/tools/dlgtool/dlgtool"
[ -x "$dlgtool" ] || dlgtool="$build/tools/dlgtool"
[ -x "$dlgtool" ] || { echo "no dlgtool under $build" >&2; exit 2; }
demo="$build/tools/parlatrix-make-demo"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
# A random moment within two seconds: loading and parsing take a fraction of that, and the synced
# writes of a save (a backup copy and the file, on the in-place path) most of it.
pause() {
  sleep "$(($(od -An -N1 -tu1 /dev/urandom) % 2)).$(($(od -An -N1 -tu1 /dev/urandom) % 10))$(($(od -An -N1 -tu1 /dev/urandom) % 10))"
}
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
wants rename || i=$rounds
while [ "$i" -lt "$rounds" ]; do
  i=$((i + 1))
  new=b; [ "$old" = b ] && new=a
  "$dlgtool" import doc.dlg "$new.txt" >/dev/null 2>&1 &
  pid=$!
  pause
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
wants rename && echo "crash loop (rename): $rounds rounds, every result old or new byte for byte; $survived killed saves left a temporary file, each removed by the next save"

# The in-place path: doc.dlg and twin.dlg are one file.
cp "$old.dlg" doc.dlg
ln doc.dlg twin.dlg
backup=doc.dlg.save-backup
cut=0
told=0
i=0
wants link || i=$rounds
while [ "$i" -lt "$rounds" ]; do
  i=$((i + 1))
  new=b; [ "$old" = b ] && new=a
  prev=$old
  "$dlgtool" import doc.dlg "$new.txt" >/dev/null 2>&1 &
  pid=$!
  pause
  kill -9 "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  [ "$(stat -c %h doc.dlg)" = 2 ] || { echo "round $i: the hard link was broken" >&2; exit 1; }
  if cmp -s doc.dlg "$old.dlg"; then :
  elif cmp -s doc.dlg "$new.dlg"; then old=$new
  elif [ -f "$backup" ] && cmp -s "$backup" "$old.dlg"; then
    # Cut while written: the whole old file is in the backup. Put it back as the user would.
    cut=$((cut + 1))
    cp "$backup" doc.dlg
  else echo "round $i: doc.dlg is neither old nor new, and no whole backup of the old one" >&2; exit 1
  fi
  # The next save (run to its end): it removes the temporary files and a backup that equals the
  # file, and names a backup that does not (a kill after the write, before the backup went).
  "$dlgtool" import doc.dlg "$old.txt" >/dev/null 2>err.txt
  if ls -A | grep -q '\.tmp$'; then echo "round $i: a temporary file survived the next save" >&2; exit 1; fi
  if [ -f "$backup" ]; then
    grep -q "kept in $backup" err.txt || { echo "round $i: a backup was kept silently" >&2; exit 1; }
    cmp -s "$backup" "$prev.dlg" ||
      { echo "round $i: the kept backup is not whole" >&2; exit 1; }
    told=$((told + 1))
    rm "$backup"
  fi
  ls -A | grep -q 'save-backup' && { echo "round $i: a second backup was left" >&2; exit 1; }
  cmp -s doc.dlg twin.dlg || { echo "round $i: the two links differ" >&2; exit 1; }
done
wants link && echo "crash loop (in place, hard link): $rounds rounds, every result old or new byte for byte, or cut with the whole old file in the backup ($cut times); $told kept backups named by the next save"

# One command that replaces TARGET, killed at random moments. Each round runs the command first
# on a copy, undisturbed, for the new file it makes; the killed run must leave the old file or
# exactly that one, and the next complete run must leave no temporary file. "@" in the command
# stands for the file it replaces; odd and even rounds run the first and the second command, so
# that the file keeps changing.
# Same contents: byte for byte, but a workbook by its sheet (its properties hold the time it was
# made) and only when the whole package is intact.
same() {
  case "$1" in
    *.xlsx) unzip -tq "$1" >/dev/null 2>&1 &&
      [ "$(unzip -p "$1" xl/worksheets/sheet1.xml | md5sum)" = "$(unzip -p "$2" xl/worksheets/sheet1.xml | md5sum)" ] ;;
    *) cmp -s "$1" "$2" ;;
  esac
}
kill_loop() {
  name=$1 target=$2 first=$3 second=$4
  wants "$name" || return 0
  i=0
  changed=0
  while [ "$i" -lt "$rounds" ]; do
    i=$((i + 1))
    command=$first; [ $((i % 2)) = 0 ] && command=$second
    cp "$target" "before-$target"
    cp "$target" "expect-$target"
    # shellcheck disable=SC2086
    "$dlgtool" $(echo "$command" | sed "s/@/expect-$target/g") >/dev/null 2>&1 || true
    # shellcheck disable=SC2086
    "$dlgtool" $(echo "$command" | sed "s/@/$target/g") >/dev/null 2>&1 &
    pid=$!
    pause
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    if same "$target" "before-$target"; then :
    elif same "$target" "expect-$target"; then changed=$((changed + 1))
    else echo "$name round $i: $target is neither the old file nor the new one" >&2; exit 1
    fi
    # shellcheck disable=SC2086
    "$dlgtool" $(echo "$command" | sed "s/@/$target/g") >/dev/null 2>&1 || true
    if ls -A | grep -q '\.tmp$'; then echo "$name round $i: a temporary file survived the next run" >&2; exit 1; fi
  done
  rm -f "before-$target" "expect-$target"
  echo "crash loop ($name): $rounds rounds, every result old or new (a workbook by its sheet) ($changed killed runs had finished)"
}

# A file with Korean texts for recode: UTF-8 and CP949 in turn.
if wants recode; then
  : > k.txt
  printf '*************\r\n' >> k.txt
  for id in $ids; do
    printf '%s\r\n' "$id" >> k.txt
    head -c 300000 /dev/zero | tr '\0' 'k' | sed 's/k/\xed\x95\x9c/g' >> k.txt
    printf '\r\n\r\n' >> k.txt
  done
  "$dlgtool" import base.dlg k.txt -o k.dlg >/dev/null 2>&1
fi
"$dlgtool" export a.dlg ko.po >/dev/null 2>&1
# A script cell holds at most 32 767 characters: the scripts are made from short texts.
for side in a b; do
  printf '*************\r\n' > "s$side.txt"
  for id in $ids; do printf '%s\r\n%s\r\n\r\n' "$id" "$(head -c 20000 /dev/zero | tr '\0' "$side")" >> "s$side.txt"; done
  "$dlgtool" import base.dlg "s$side.txt" -o "s$side.dlg" >/dev/null 2>&1
done
"$dlgtool" voscript sa.dlg script.xlsx >/dev/null 2>&1
cp a.dlg ours.dlg
kill_loop update ko.po "export b.dlg @ --update" "export a.dlg @ --update"
kill_loop recode k.dlg "recode @ --from UTF-8 --to CP949" "recode @ --from CP949 --to UTF-8"
kill_loop merge ours.dlg "merge a.dlg @ b.dlg" "merge b.dlg @ a.dlg"
kill_loop voscript script.xlsx "voscript sb.dlg @" "voscript sa.dlg @"
