#!/usr/bin/env bash
# Makes the voice data and the default settings ready for a build: prepare-data.sh BUILD_DIR
# Builds the voice data (recordings and diphone databases) into BUILD_DIR/data when it is
# missing or older than its sources. The settings are the program's own business: its
# first run writes the default TAMIRE.INI, and it never replaces one that is there.
set -euo pipefail
if [[ $# -ne 1 ]]; then
  echo "usage: $0 BUILD_DIR" >&2
  exit 2
fi
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$1"
if [[ ! -f "$build/CMakeCache.txt" ]]; then
  echo "prepare-data: '$build' is not a configured build folder" >&2
  exit 2
fi

stamp="$build/data/som/.voicedata-stamp"
stale=0
if [[ ! -f "$stamp" ]]; then
  stale=1
else
  for source in "$top/data/regras.rgr" "$top/data/portug.exc" "$top"/tools/voicedata/*.cpp; do
    if [[ "$source" -nt "$stamp" ]]; then stale=1; fi
  done
fi
if [[ $stale -eq 1 ]]; then
  echo "Preparing the voice data (once; about a minute)..."
  cmake --build "$build" --target voicedata
fi
