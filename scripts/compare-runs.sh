#!/usr/bin/env bash
# Compares two folders of runs made by scripts/capture-runs.sh, run by run: the transcript,
# the speech log, the Braille log, the screen dump, the audio and the exit status must be
# byte-identical. Says which file of which run differs; exits 1 if any does.
#   scripts/compare-runs.sh build-win64/runs-linux build-win64/runs-windows Windows
set -euo pipefail
linux="${1:?usage: compare-runs.sh LINUX-RUNS OTHER-RUNS OTHER-NAME}"
other="${2:?usage: compare-runs.sh LINUX-RUNS OTHER-RUNS OTHER-NAME}"
name="${3:?usage: compare-runs.sh LINUX-RUNS OTHER-RUNS OTHER-NAME}"
failed=0
for run in "$linux"/*/; do
  run_name=$(basename "$run")
  for file in transcript speech braille screen audio.wav status; do
    if [[ -e "$run/$file" || -e "$other/$run_name/$file" ]] && ! cmp -s "$run/$file" "$other/$run_name/$file"; then
      echo "compare-runs.sh: $run_name: $file differs between Linux and $name" >&2
      failed=1
    fi
  done
done
exit "$failed"
