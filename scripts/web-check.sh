#!/usr/bin/env bash
# Builds the game for the web (scripts/build-web.sh), plays every game key script with the
# Node build beside the Linux build on the same test voice (each run's transcript, speech
# log, Braille log, screen dump and captured audio must be byte-identical:
# scripts/compare-runs.sh), then drives the page in Debian's headless Chromium with the
# browser tests of tests/web (Playwright and axe-core, installed from the lock file), which
# also hold the Node program's runs on bad inputs beside the Linux program's. Screenshots
# of the page at 100, 200 and 400 % and on phones go to build-web/screenshots.
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

# What the page's screen reader is given for the editing and review keys is checked against
# this: the Linux build's speech log for the same keys, with an engine open.
reader="$web/runs-linux/reader_keys"
mkdir -p "$reader/config"
cp "$linux/test-voice/TAMIRE.INI" "$reader/config/"
QUELVAR_DATA_DIR="$linux/test-voice" "$linux/app/quelvar" --console=headless --keys="$top/tests/web/reader_keys.keys" \
  --config-dir="$reader/config" --speech=espeak --speech-log="$reader/speech" >/dev/null 2>&1 || failed=1
cmp "$reader/speech" "$top/tests/web/reader_keys.speech" || { echo "web-check: tests/web/reader_keys.speech is not what Linux says"; failed=1; }

(cd "$top/tests/web" && npm ci --no-audit --no-fund --loglevel=error)
QUELVAR_LINUX_BUILD="$linux" node --test "$top/tests/web/" || failed=1
echo "web-check: done in $((SECONDS - started)) s"
exit "$failed"
