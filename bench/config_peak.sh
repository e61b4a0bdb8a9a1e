#!/bin/sh
# The configuration loader's peak memory on a generated 21 MB Parlatrix.ini: 100 expression names
# of 255 bytes, then speakers with 3 000 FACE=<n> lines each. Prints the peak resident set of
# `dlgtool check --ini` on it (docs/config-format.md, "Memory").
#
#   bench/config_peak.sh BUILD_DIR
set -eu
build=$(cd "$1" && pwd)
dlgtool="$build/tools/dlgtool"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
/usr/bin/python3 - "$work/Parlatrix.ini" <<'PY'
import sys
names = ["N%02d" % i + "x" * 252 for i in range(100)]
body, size, s = [], 0, 0
while size < 21_000_000:
    lines = ["[FACE%03d]\n" % s, "NAME=speaker%d\n" % s, "COUNT=3000\n"]
    lines += ["FACE=%d\n" % (j % 100) for j in range(3000)]
    body += lines
    size += sum(map(len, lines))
    s += 1
head = ["[PARLATRIX]\n", "HEADCOUNT=%d\n" % s, "[FACE]\n", "FACECOUNT=100\n"]
head += ["FACE=%s\n" % n for n in names]
open(sys.argv[1], "w").write("".join(head + body))
PY
"$build/tools/parlatrix-make-demo" "$work/demo.dlg" >/dev/null
ls -l "$work/Parlatrix.ini"
/usr/bin/time -f "dlgtool check --ini: peak %M KiB, %e s" "$dlgtool" check "$work/demo.dlg" \
  --ini "$work/Parlatrix.ini" >/dev/null 2>"$work/err" || true
tail -1 "$work/err"
