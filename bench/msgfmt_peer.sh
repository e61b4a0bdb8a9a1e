#!/usr/bin/env bash
# The msgfmt peer, side by side in one run: msgfmt (GNU gettext) compiling a .po of N texts with
# their translations, against `dlgtool import` putting the same N translations into a .dlg (load,
# import, save). Files live in /dev/shm; each tool runs RUNS times and the median is reported.
#
# usage: bench/msgfmt_peer.sh BUILD_DIR [LINES] [RUNS]
set -euo pipefail

build=$(cd "${1:?usage: msgfmt_peer.sh BUILD_DIR [LINES] [RUNS]}" && pwd)
lines=${2:-100000}
runs=${3:-7}
dlgtool="$build/tools/dlgtool"
peer="$build/bench/parlatrix-bench-peer"
command -v msgfmt >/dev/null || { echo "msgfmt_peer: msgfmt (gettext) is not installed" >&2; exit 2; }

dir=$(mktemp -d /dev/shm/parlatrix-peer-XXXXXX)
trap 'rm -rf "$dir"' EXIT
"$peer" "$dir" "$lines"
cd "$dir"  # dlgtool import writes Parlatrix.log into the current directory

# Prints "wall_ms cpu_ms" of one run of the command.
measure() {
  /usr/bin/time -o time.txt -f '%e %U %S' "$@" >/dev/null 2>&1
  awk -v t="$(tail -n 1 time.txt)" 'BEGIN { split(t, f, " "); printf "%.0f %.0f\n", f[1] * 1000, (f[2] + f[3]) * 1000 }'
}

# Median of the first column (and the second column of the same run) over RUNS runs.
median() {
  local results=()
  for ((k = 0; k < runs; ++k)); do results+=("$(measure "$@")"); done
  printf '%s\n' "${results[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p"
}

read -r po_wall po_cpu < <(median msgfmt -o messages.mo messages.po)
read -r dlg_wall dlg_cpu < <(median "$dlgtool" import script.dlg translation.txt -o out.dlg)

printf 'msgfmt peer, %d texts, median of %d runs (GNU time, 10 ms resolution)\n' "$lines" "$runs"
printf '  %-44s %8s %8s\n' "" "wall ms" "cpu ms"
printf '  %-44s %8d %8d\n' "msgfmt -o messages.mo messages.po" "$po_wall" "$po_cpu"
printf '  %-44s %8d %8d\n' "dlgtool import script.dlg translation.txt" "$dlg_wall" "$dlg_cpu"
awk -v a="$dlg_wall" -v b="$po_wall" -v c="$dlg_cpu" -v d="$po_cpu" 'BEGIN {
  printf "  dlgtool import / msgfmt: %.2f (wall), %.2f (cpu)\n", a / (b > 0 ? b : 1), c / (d > 0 ? d : 1) }'
printf '  sizes: %s\n' "$(ls -l messages.po messages.mo translation.txt script.dlg out.dlg |
  awk '{ printf "%s %d KiB  ", $9, $5 / 1024 }')"
