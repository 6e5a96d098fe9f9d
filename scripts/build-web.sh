#!/usr/bin/env bash
# Builds the game for the web with Debian's emscripten, with no network: no emscripten
# ports, our own JavaScript glue (web/library.js). It makes
#   build-web/site/   the static site: index.html, quelvar.js/.wasm, the game's data in a
#                     preloaded package (quelvar.data), the AudioWorklet, the help, and the
#                     game's voice (voice.data with its list voice.json), fetched after
#                     the first screen
#   build-web/node/   the same program for Node, with the headless console and real files
# The voice comes from the Linux build's voice builder (a 40 MB budget), so that build is
# configured first when it is not there yet.
#   scripts/build-web.sh [LINUX-BUILD]      (build/ by default)
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
linux="${1:-$top/build}"
web="$top/build-web"
"$top/scripts/install-deps.sh" "$top/scripts/deps-play.txt" "$top/scripts/deps-web.txt"

# emcc's optimizer needs Debian's acorn module, which Node does not look for by itself.
export NODE_PATH="/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}"
# Debian's emscripten keeps its prebuilt system libraries in its own cache; a user who may
# not write there gets a copy of it.
if [[ ! -w /usr/share/emscripten/cache ]]; then
  export EM_CACHE="$web/emscripten-cache"
  [[ -d "$EM_CACHE" ]] || cp -r /usr/share/emscripten/cache "$EM_CACHE"
fi
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
emcmake cmake -S "$top" -B "$web" -G Ninja -Wno-dev -DCMAKE_BUILD_TYPE=Release -DQUELVAR_WERROR=ON \
  -DQUELVAR_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build "$web" -j "$(nproc)"

if [[ ! -f "$linux/CMakeCache.txt" ]]; then
  cmake -S "$top" -B "$linux" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
fi
cmake --build "$linux" --target web-voice -j "$(nproc)"

# The voice in one file and its list: [path under the data root, offset, size].
python3 - "$linux/web-voice" "$web/site" <<'PYTHON'
import json, os, sys
root, site = sys.argv[1], sys.argv[2]
files, offset = [], 0
with open(os.path.join(site, 'voice.data'), 'wb') as data:
    for folder, _, names in sorted(os.walk(os.path.join(root, 'som'))):
        for name in sorted(names):
            if name.startswith('.'):
                continue
            path = os.path.join(folder, name)
            with open(path, 'rb') as source:
                content = source.read()
            data.write(content)
            files.append([os.path.relpath(path, root), offset, len(content)])
            offset += len(content)
with open(os.path.join(site, 'voice.json'), 'w') as listing:
    json.dump({'size': offset, 'files': files}, listing)
print(f'build-web.sh: the voice: {len(files)} files, {offset / 1e6:.1f} MB')
PYTHON
echo "build-web.sh: the site is in $web/site (scripts/serve-web.sh serves it), the Node program in $web/node"
