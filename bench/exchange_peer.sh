#!/usr/bin/env bash
# The exchange formats beside GNU gettext on the same texts: dlgtool export to PO, XLIFF and CSV,
# dlgtool import of a fully translated PO, XLIFF and CSV (load, import, save), msgfmt compiling
# that translated PO, and msgmerge merging it with the exported template. Files live in /dev/shm;
# each command runs RUNS times; the median run is reported with the range of CPU times.
#
# usage: bench/exchange_peer.sh BUILD_DIR [LINES] [RUNS]
set -euo pipefail

build=$(cd "${1:?usage: exchange_peer.sh BUILD_DIR [LINES] [RUNS]}" && pwd)
lines=${2:-100000}
runs=${3:-5}
dlgtool="$build/tools/dlgtool"
peer="$build/bench/parlatrix-bench-peer"

dir=$(mktemp -d /dev/shm/parlatrix-exchange-peer-XXXXXX)
trap 'rm -rf "$dir"' EXIT
"$peer" "$dir" "$lines"
cd "$dir"
export LC_ALL=C.UTF-8
"$dlgtool" import script.dlg translation.txt -o translated.dlg >/dev/null
"$dlgtool" export script.dlg template.po
for f in po xlf csv; do "$dlgtool" export script.dlg "full.$f" --translation translated.dlg; done

measure() {
  /usr/bin/time -o time.txt -f '%e %U %S %M' "$@" >/dev/null 2>&1 || true
  awk -v t="$(tail -n 1 time.txt)" 'BEGIN { split(t, f, " "); printf "%.0f %.0f %d\n", f[1] * 1000, (f[2] + f[3]) * 1000, f[4] / 1024 }'
}
# The run with the median wall time, then the lowest and highest CPU time of all runs.
median() {
  local results=()
  for ((k = 0; k < runs; ++k)); do results+=("$(measure "$@")"); done
  local cpus
  cpus=$(printf '%s\n' "${results[@]}" | awk '{ print $2 }' | sort -n)
  printf '%s %s %s\n' "$(printf '%s\n' "${results[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")" \
    "$(head -n 1 <<<"$cpus")" "$(tail -n 1 <<<"$cpus")"
}
row() {
  local label=$1
  shift
  read -r wall cpu rss low high < <(median "$@")
  printf '  %-52s %8d %8d %11s %8d\n' "$label" "$wall" "$cpu" "$low-$high" "$rss"
}

printf 'exchange peers, %d texts, median of %d runs (GNU time, 10 ms resolution)\n' "$lines" "$runs"
printf '  %-52s %8s %8s %11s %8s\n' "" "wall ms" "cpu ms" "cpu range" "max MiB"
for f in po xlf csv; do row "dlgtool export script.dlg out.$f" "$dlgtool" export script.dlg "out.$f"; done
for f in po xlf csv; do
  row "dlgtool import script.dlg full.$f -o out.dlg" "$dlgtool" import script.dlg "full.$f" -o out.dlg
done
row "msgfmt -o full.mo full.po" msgfmt -o full.mo full.po
row "msgmerge full.po template.po -o merged.po" msgmerge -q full.po template.po -o merged.po
printf '  sizes: %s\n' "$(ls -l script.dlg full.po full.xlf full.csv | awk '{ printf "%s %d KiB  ", $9, $5 / 1024 }')"
