#!/usr/bin/env bash
# Builds the game for the web with Debian's emscripten, with no network: no emscripten
# ports, our own JavaScript glue (web/library.js). It makes
#   build-web/site/   the static site: index.html, quelvar.js/.wasm, the game's data in a
#                     preloaded package (quelvar.data), the AudioWorklet, the help, the web
#                     app manifest and service worker (sw.js, with this build's version),
#                     and the game's voice (voice.data with its list voice.json), fetched
#                     once a player chooses it; beside each large file its gzip copy
#                     (.gz), which scripts/serve-web.sh sends to browsers that take it
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
# The page's files are copied again on every configuration, so that the versions written
# into them below are this build's.
rm -f "$web/site/index.html" "$web/site/sw.js"
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

# The compressed copies, the download's size on the start screen and the versions the
# service worker's caches are named after.
python3 - "$web/site" <<'PYTHON'
import gzip, hashlib, os, sys
site = sys.argv[1]
def digest(names):
    h = hashlib.sha256()
    for name in names:
        with open(os.path.join(site, name), 'rb') as f:
            h.update(name.encode() + b'\0' + f.read())
    return h.hexdigest()[:16]
def compress(name):
    path = os.path.join(site, name)
    with open(path, 'rb') as f, open(path + '.gz.new', 'wb') as raw:
        with gzip.GzipFile(fileobj=raw, mode='wb', compresslevel=9, mtime=0) as out:
            out.write(f.read())
    os.replace(path + '.gz.new', path + '.gz')
# index.html and sw.js last: the size and the versions are written into them first.
written = ['index.html', 'sw.js']
for name in sorted(os.listdir(site)):
    path = os.path.join(site, name)
    if name in written or name.endswith(('.gz', '.png')) or not os.path.isfile(path) or os.path.getsize(path) < 1024:
        continue
    compress(name)
voice = os.path.getsize(os.path.join(site, 'voice.data.gz'))
index = os.path.join(site, 'index.html')
with open(index, encoding='utf-8') as f:
    page = f.read()
page = page.replace('cerca de 40 MB', f'cerca de {round(voice / 1e6)} MB')
with open(index, 'w', encoding='utf-8') as f:
    f.write(page)
page_files = ['index.html', 'page.js', 'page.css', 'worklet.js', 'ajuda.html', 'quelvar.js', 'quelvar.wasm',
              'quelvar.data', 'manifest.webmanifest', 'quelvar.svg', 'quelvar.png']
worker = os.path.join(site, 'sw.js')
with open(worker, encoding='utf-8') as f:
    text = f.read()
text = text.replace('QUELVAR_BUILD_VERSION', digest(page_files)).replace('QUELVAR_VOICE_VERSION', digest(['voice.data']))
with open(worker, 'w', encoding='utf-8') as f:
    f.write(text)
for name in written:
    compress(name)
print(f'build-web.sh: the voice compressed: {voice / 1e6:.1f} MB')
PYTHON
echo "build-web.sh: the site is in $web/site (scripts/serve-web.sh serves it), the Node program in $web/node"
