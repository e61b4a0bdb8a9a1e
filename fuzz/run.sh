#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz and runs each for FUZZ_SECONDS seconds.
#
#   FUZZ_SECONDS=60 fuzz/run.sh                 every target, one after the other
#   FUZZ_SECONDS=600 FUZZ_PARALLEL=2 fuzz/run.sh load config
#
# The committed corpus (fuzz/corpus/<target>) is read, never written: new inputs go to
# build-fuzz/corpus/<target>, crashes and leaks to build-fuzz/artifacts/<target>/, the log of each
# run to build-fuzz/logs/<target>.log. The script fails when any target found something.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-60}
parallel=${FUZZ_PARALLEL:-1}
# Absolute: the targets move their current directory while they run.
build=$(realpath -m "${FUZZ_BUILD:-build-fuzz}")
cxx=${FUZZ_CXX:-clang++-14}
cc=${FUZZ_CC:-clang-14}
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(load read_item import config roundtrip runtime merge stored_text po xliff xliff2 csv xlsx)

cmake -S fuzz -B "$build" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_C_COMPILER="$cc" >/dev/null
cmake --build "$build" -j "${FUZZ_JOBS:-2}"

# The targets write their files below TMPDIR; in memory where possible, since every save syncs.
scratch_base=/tmp
[ -d /dev/shm ] && [ -w /dev/shm ] && scratch_base=/dev/shm
scratch=$(mktemp -d "$scratch_base/parlatrix-fuzz-run.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

run_one() {
  local target=$1
  mkdir -p "$build/corpus/$target" "$build/artifacts/$target" "$build/logs" "$scratch/$target"
  export TMPDIR="$scratch/$target"
  # -timeout: one input may take at most 10 s; -rss_limit_mb: the whole process at most 2 GiB;
  # -malloc_limit_mb: one allocation at most 1 GiB.
  "$build/${target}_fuzzer" "$build/corpus/$target" "$PWD/fuzz/corpus/$target" \
    -dict="$PWD/fuzz/$target.dict" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -malloc_limit_mb=1024 -max_len=4096 -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/$target/" >"$build/logs/$target.log" 2>&1
}

status=0
# Artifacts of earlier runs stay for replaying; only those written by this run are its findings.
started=$(mktemp "$scratch/started.XXXXXX")
pids=()
names=()
for target in "${targets[@]}"; do
  run_one "$target" &
  pids+=($!)
  names+=("$target")
  if [ ${#pids[@]} -ge "$parallel" ]; then
    wait "${pids[0]}" || { echo "fuzz: ${names[0]} found a fault, see $build/logs" >&2; status=1; }
    pids=("${pids[@]:1}")
    names=("${names[@]:1}")
  fi
done
for k in "${!pids[@]}"; do
  wait "${pids[$k]}" || { echo "fuzz: ${names[$k]} found a fault, see $build/logs" >&2; status=1; }
done

# One line per target: executions, seconds, and what it found.
for target in "${targets[@]}"; do
  log="$build/logs/$target.log"
  runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*$' || true)
  time=$(grep -o 'Done [0-9]* runs in [0-9]* second' "$log" | tail -1 | grep -o 'in [0-9]*' | grep -o '[0-9]*' || true)
  found=$(find "$build/artifacts/$target" -type f -newer "$started" -printf '%f\n' | head -3 |
    tr '\n' ' ')
  printf '%-10s %12s executions %6s s  %s\n' "$target" "${runs:-?}" "${time:-?}" "${found:-no findings}"
done
exit $status
