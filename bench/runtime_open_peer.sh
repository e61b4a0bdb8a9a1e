#!/usr/bin/env bash
# The runtime in a fresh process beside gettext: for each size, a generated script and a .po of
# the same texts (parlatrix-bench-peer), the .po compiled by msgfmt, then RUNS fresh processes of
# parlatrix-bench-runtime-probe (open, resident memory, lookups of every ID in random order, the
# same for the .mo); the median of each figure is printed. Files live in /dev/shm.
#
# usage: bench/runtime_open_peer.sh BUILD_DIR [RUNS] [LINES...]   (default 5 runs, 100000 1000000)
set -euo pipefail
build=$(cd "${1:?usage: runtime_open_peer.sh BUILD_DIR [RUNS] [LINES...]}" && pwd)
runs=${2:-5}
shift $(($# > 1 ? 2 : 1))
sizes=("$@")
[ ${#sizes[@]} -eq 0 ] && sizes=(100000 1000000)
command -v msgfmt >/dev/null || { echo "runtime_open_peer: msgfmt (gettext) is not installed" >&2; exit 2; }
dir=$(mktemp -d /dev/shm/parlatrix-runtime-peer-XXXXXX)
trap 'rm -rf "$dir"' EXIT
for lines in "${sizes[@]}"; do
  "$build/bench/parlatrix-bench-peer" "$dir" "$lines"
  msgfmt -o "$dir/messages.mo" "$dir/messages.po"
  rm -f "$dir/messages.po" "$dir/translation.txt"
  for ((k = 0; k < runs; ++k)); do
    "$build/bench/parlatrix-bench-runtime-probe" "$dir/script.dlg" "$dir/messages.mo"
  done >"$dir/runs.txt"
  echo "runtime beside gettext, $lines lines, median of $runs fresh processes:"
  # Each figure: the lines of one kind, the median of its second field.
  awk '{ key = $1 " " $2; values[key] = values[key] " " $3; rest[key] = $0 }
       END { for (key in values) { n = split(substr(values[key], 2), v, " ");
               for (i = 1; i <= n; ++i) for (j = i + 1; j <= n; ++j) if (v[j] + 0 < v[i] + 0) { t = v[i]; v[i] = v[j]; v[j] = t }
               line = rest[key]; sub(/^[^ ]+ [^ ]+ [^ ]+/, "", line)
               printf "  %-34s %10s %s\n", key, v[int((n + 1) / 2)], line } }' "$dir/runs.txt" | sort
  rm -f "$dir"/*
done
