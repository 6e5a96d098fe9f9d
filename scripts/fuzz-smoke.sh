#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and gives each a short run, seeded from its
# committed seeds (the folder or file its CMakeLists names) and its saved regression inputs
# (fuzz/regressions/<fuzzer>/). Targets run side by side, one per core. Any crash fails.
#   fuzz-smoke.sh [BUILD-FOLDER]     FUZZ_SECONDS=n: seconds per target (default 8)
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$top/build-fuzz}"
seconds="${FUZZ_SECONDS:-8}"
CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUELVAR_FUZZ=ON -DQUELVAR_BENCH=OFF > /dev/null
[[ -f "$build/fuzzers.txt" ]] || { echo "no fuzzers"; exit 0; }
targets=$(cut -d' ' -f1 "$build/fuzzers.txt")
[[ -n "$targets" ]] || { echo "no fuzzers"; exit 0; }
cmake --build "$build" -j "$(nproc)" --target $targets

# One target: its own scratch corpus, removed afterwards; prints one line.
run_one() {
  local name="$1" path="$2" seeds="${3:-}"
  local work
  work=$(mktemp -d)
  if [[ -d "$seeds" ]]; then
    cp -r "$seeds/." "$work/"
  elif [[ -f "$seeds" ]]; then
    cp "$seeds" "$work/"
  elif [[ -n "$seeds" ]]; then
    echo "fuzz $name: the seeds $seeds are missing"
  fi
  [[ -d "$top/fuzz/regressions/$name" ]] && cp -r "$top/fuzz/regressions/$name/." "$work/"
  local status=0
  "$path" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$build/$name-" "$work" > "$build/$name.log" 2>&1 || status=$?
  rm -rf "$work"
  if [[ $status -eq 0 ]]; then
    local runs cov
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$build/$name.log" | grep -o '[0-9]*$' || true)
    cov=$(grep -o 'cov: [0-9]*' "$build/$name.log" | tail -n 1 || true)
    echo "fuzz $name: no crash in ${seconds}s (${runs:-?} runs, ${cov:-cov: ?})"
  else
    echo "fuzz $name: FAILED (see $build/$name.log)"
    tail -n 30 "$build/$name.log"
    return 1
  fi
}

failed=0
jobs=$(nproc)
pids=()
while read -r name path seeds; do
  [[ -n "$name" ]] || continue
  run_one "$name" "$path" "$seeds" &
  pids+=($!)
  if (( ${#pids[@]} >= jobs )); then
    wait "${pids[0]}" || failed=1
    pids=("${pids[@]:1}")
  fi
done < "$build/fuzzers.txt"
for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
exit $failed
