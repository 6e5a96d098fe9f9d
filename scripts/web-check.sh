#!/usr/bin/env bash
# Builds the game for the web (scripts/build-web.sh), plays every game key script with the
# Node build beside the Linux build on the same test voice (each run's transcript, speech
# log, Braille log, screen dump and captured audio must be byte-identical:
# scripts/compare-runs.sh), then drives the page in Debian's headless Chromium with the
# browser tests of tests/web (Playwright and axe-core, installed from the lock file).
#   scripts/web-check.sh LINUX-BUILD
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
linux="$(cd "${1:?usage: web-check.sh LINUX-BUILD}" && pwd)"
web="$top/build-web"
started=$SECONDS

"$top/scripts/build-web.sh" "$linux"
echo "web-check: built in $((SECONDS - started)) s"

# Emscripten's output fetches its .wasm with Node's fetch, which takes no file paths.
"$top/scripts/capture-runs.sh" "$linux" "$web/runs-linux"
QUELVAR_RUN="node --no-experimental-fetch $web/node/quelvar.js" "$top/scripts/capture-runs.sh" "$linux" "$web/runs-node"
failed=0
"$top/scripts/compare-runs.sh" "$web/runs-linux" "$web/runs-node" Node || failed=1
((failed == 0)) && echo "web-check: $(ls "$web/runs-linux" | wc -l) runs byte-identical under Node"

(cd "$top/tests/web" && npm ci --no-audit --no-fund --loglevel=error)
node --test "$top/tests/web/" || failed=1
echo "web-check: done in $((SECONDS - started)) s"
exit "$failed"
