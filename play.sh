#!/usr/bin/env bash
# Installs what is missing, builds, and starts Ilha de Quelvar. Options go to the program.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
"$top/scripts/install-deps.sh"
cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build "$top/build" --target quelvar
if [[ -x "$top/scripts/prepare-data.sh" ]]; then
  "$top/scripts/prepare-data.sh" "$top/build"
fi
exec "$top/build/app/quelvar" "$@"
