#!/usr/bin/env bash
# Plays every game key script of tests/game headlessly on the test voice and keeps what each
# run produced: transcript, speech log, Braille log, screen dump and the audio as heard. A change that
# only restructures must leave these byte-identical:
#   scripts/capture-runs.sh build /tmp/before   # on the old tree
#   scripts/capture-runs.sh build /tmp/after    # on the new one
#   diff -r /tmp/before /tmp/after && echo identical
# When the build's data root holds the MBROLA voice and front end, full_game is also played
# through that engine. QUELVAR_RUN names another program to play the same runs with, on
# the same test voice (the Windows build under Wine, say):
#   QUELVAR_RUN="wine build-win64/app/quelvar.exe" scripts/capture-runs.sh build /tmp/windows
set -euo pipefail
build="${1:?usage: capture-runs.sh BUILD-DIR OUT-DIR}"
out="${2:?usage: capture-runs.sh BUILD-DIR OUT-DIR}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
voice="$build/test-voice"
if [[ -n "${QUELVAR_RUN:-}" ]]; then
  read -r -a program <<<"$QUELVAR_RUN"
else
  program=("$build/app/quelvar")
  [[ -x "${program[0]}" ]] || { echo "capture-runs.sh: no program at ${program[0]}" >&2; exit 2; }
fi
[[ -d "$voice" ]] || { echo "capture-runs.sh: no test voice at $voice" >&2; exit 2; }
rm -rf "$out"
mkdir -p "$out"

play() {  # name keys data-root [options...]
  local name="$1" keys="$2" data="$3"
  shift 3
  local dir="$out/$name"
  mkdir -p "$dir/config"
  cp "$voice/TAMIRE.INI" "$dir/config/"
  QUELVAR_DATA_DIR="$data" "${program[@]}" --console=headless "--keys=$keys" \
    "--config-dir=$dir/config" "--transcript=$dir/transcript" "--speech-log=$dir/speech" "--braille-log=$dir/braille" \
    "--screen-dump=$dir/screen" "--audio-out=$dir/audio.wav" "$@" >"$dir/stdout" 2>"$dir/stderr" \
    || echo "exit $?" >"$dir/status"
  rm -rf "$dir/config"
}

for keys in "$here"/tests/game/*.keys; do
  play "$(basename "$keys" .keys)" "$keys" "$voice"
done
if [[ -d "$build/data/front" && -n "$(ls "$build/data/mbrola" 2>/dev/null)" ]]; then
  play full_game.mbrola "$here/tests/game/full_game.keys" "$build/data" --speech=mbrola
fi
echo "capture-runs.sh: $(ls "$out" | wc -l) runs in $out"
