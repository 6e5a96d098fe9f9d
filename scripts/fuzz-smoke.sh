#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and gives each a short run, seeded from its
# corpus folder (fuzz/<module>/corpus/<fuzzer>/) when there is one. Any crash fails.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$top/build-fuzz}"
seconds="${FUZZ_SECONDS:-10}"
CC=clang CXX=clang++ cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUELVAR_FUZZ=ON -DQUELVAR_BENCH=OFF > /dev/null
[[ -f "$build/fuzzers.txt" ]] || { echo "no fuzzers"; exit 0; }
targets=$(cut -d' ' -f1 "$build/fuzzers.txt")
[[ -n "$targets" ]] || { echo "no fuzzers"; exit 0; }
cmake --build "$build" -j "$(nproc)" --target $targets
failed=0
while read -r name path; do
  [[ -n "$name" ]] || continue
  work=$(mktemp -d)
  corpus=$(find "$top/fuzz" -type d -path "*/corpus/$name" | head -n 1)
  [[ -n "$corpus" ]] && cp -r "$corpus/." "$work/"
  if "$path" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=0 \
      -artifact_prefix="$build/$name-" "$work" > "$build/$name.log" 2>&1; then
    echo "fuzz $name: no crash in ${seconds}s"
  else
    echo "fuzz $name: FAILED (see $build/$name.log)"
    tail -n 30 "$build/$name.log"
    failed=1
  fi
  rm -rf "$work"
done < "$build/fuzzers.txt"
exit $failed
