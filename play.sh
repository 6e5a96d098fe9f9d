#!/usr/bin/env bash
# Installs what building and playing need (scripts/deps-play.txt) when it is missing,
# builds, and starts Ilha de Quelvar. Options go to the program.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
"$top/scripts/install-deps.sh" "$top/scripts/deps-play.txt"
# A first configuration leaves out the tests and benchmarks, whose packages a player does not
# install; ./test.sh turns them on in the same folder.
configure=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo)
[[ -f "$top/build/CMakeCache.txt" ]] || configure+=(-DBUILD_TESTING=OFF -DQUELVAR_BENCH=OFF)
cmake -S "$top" -B "$top/build" "${configure[@]}" > /dev/null
cmake --build "$top/build" --target quelvar
if [[ -x "$top/scripts/prepare-data.sh" ]]; then
  "$top/scripts/prepare-data.sh" "$top/build"
fi
exec "$top/build/app/quelvar" "$@"
