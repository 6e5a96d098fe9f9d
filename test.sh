#!/usr/bin/env bash
# Builds and runs every test twice: a normal build and an ASan+UBSan build; cross-builds
# the Windows program and plays every game script with it under Wine, byte for byte as on
# Linux; builds the web page and its Node twin with emscripten, plays every game script with
# Node byte for byte and the page in headless Chromium; then gives each fuzz target a short
# run.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
s="$top/scripts"
"$s/install-deps.sh" "$s/deps-play.txt" "$s/deps-test.txt" "$s/deps-windows.txt" "$s/deps-web.txt"
jobs=$(nproc)

run_suite() {
  local dir=$1; shift
  cmake -S "$top" -B "$dir" -G Ninja "$@" > /dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 300
}

echo "== normal build"
run_suite "$top/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUELVAR_WERROR=ON -DBUILD_TESTING=ON -DQUELVAR_BENCH=ON
echo "== Windows build under Wine"
"$top/scripts/windows-check.sh" "$top/build" "$top/build-win64"
echo "== web build: Node runs and the page in Chromium"
"$top/scripts/web-check.sh" "$top/build"
echo "== ASan+UBSan build"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run_suite "$top/build-asan" -DCMAKE_BUILD_TYPE=Debug -DQUELVAR_SANITIZE=ON -DQUELVAR_BENCH=OFF -DQUELVAR_WERROR=ON -DBUILD_TESTING=ON
if [[ -x "$top/scripts/fuzz-smoke.sh" ]]; then
  echo "== fuzz smoke run"
  "$top/scripts/fuzz-smoke.sh" "$top/build-fuzz"
fi
