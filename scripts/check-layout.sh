#!/usr/bin/env bash
# Checks that every C++ source and header of the tree is laid out by .clang-format, as
# Debian's clang-format lays it out. Prints the files that are not and fails if any is.
#   scripts/check-layout.sh          # check
#   scripts/check-layout.sh --fix    # lay them out in place
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
command -v clang-format >/dev/null || { echo "check-layout.sh: clang-format not found (apt install clang-format)" >&2; exit 2; }
cd "$top"
mapfile -t sources < <(find app bench console editor fuzz game mbrola_front mbrola_standin platform speech \
  tests text tools translator web \( -name node_modules -prune \) -o \( -name '*.cpp' -o -name '*.h' \) -print | sort)
if [[ "${1:-}" == --fix ]]; then
  clang-format -i "${sources[@]}"
  exit 0
fi
off=()
for f in "${sources[@]}"; do
  clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || off+=("$f")
done
if ((${#off[@]} > 0)); then
  printf 'not laid out by .clang-format (scripts/check-layout.sh --fix):\n' >&2
  printf '  %s\n' "${off[@]}" >&2
  exit 1
fi
echo "check-layout.sh: ${#sources[@]} files laid out by .clang-format"
