#!/usr/bin/env bash
# Cross-builds the Windows program with mingw-w64, runs the suites that need no Linux
# backend under Wine, and plays every game key script with it beside the Linux build on
# the same test voice: each run's transcript, speech log, screen dump and captured audio
# must be byte-identical to Linux's. Also checks that our MBROLA library exports its 23
# entry points and nothing else.
#   scripts/windows-check.sh LINUX-BUILD WINDOWS-BUILD
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
linux="${1:?usage: windows-check.sh LINUX-BUILD WINDOWS-BUILD}"
windows="${2:?usage: windows-check.sh LINUX-BUILD WINDOWS-BUILD}"

cmake -S "$top" -B "$windows" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUELVAR_WERROR=ON >/dev/null
cmake --build "$windows" -j "$(nproc)"

library="$windows/mbrola_standin/quelvar_mbrola.dll"
exported=$(x86_64-w64-mingw32-objdump -p "$library" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
  grep -E '^\s*\[ *[0-9]+\] [A-Za-z0-9_]+$' | sed -E 's/.*\] //' | sort)
wanted=$(grep -E '^  [A-Za-z0-9_]+$' "$top/mbrola_standin/quelvar_mbrola.def" | tr -d ' ' | sort)
if [[ "$exported" != "$wanted" ]]; then
  echo "windows-check: quelvar_mbrola.dll exports other names than quelvar_mbrola.def:" >&2
  diff <(echo "$wanted") <(echo "$exported") >&2 || true
  exit 1
fi
echo "windows-check: quelvar_mbrola.dll exports its $(echo "$exported" | wc -l) entry points"

export WINEPREFIX="$windows/wine" WINEDEBUG=-all
wineboot --init >/dev/null 2>&1 || true
ctest --test-dir "$windows" --output-on-failure
"$top/scripts/capture-runs.sh" "$linux" "$windows/runs-linux"
QUELVAR_RUN="wine $windows/app/quelvar.exe" "$top/scripts/capture-runs.sh" "$linux" "$windows/runs-windows"
failed=0
for run in "$windows"/runs-linux/*/; do
  name=$(basename "$run")
  for file in transcript speech screen audio.wav status; do
    if [[ -e "$run/$file" || -e "$windows/runs-windows/$name/$file" ]] &&
      ! cmp -s "$run/$file" "$windows/runs-windows/$name/$file"; then
      echo "windows-check: $name: $file differs between Linux and Windows" >&2
      failed=1
    fi
  done
done
# Plays tour.keys with the Windows program on the test voice, with the settings in
# FOLDER/config; the options after FOLDER say what to keep.
play_tour() {
  local folder=$1
  shift
  QUELVAR_DATA_DIR="$linux/test-voice" wine "$windows/app/quelvar.exe" --console=headless \
    "--keys=$top/tests/game/tour.keys" "--config-dir=$folder/config" "$@" >/dev/null 2>&1
}

# File names reach the system as UTF-8, whatever the ANSI code page.
folder="$windows/runs-windows/pasta ação"
mkdir -p "$folder/config"
cp "$linux/test-voice/TAMIRE.INI" "$folder/config/"
play_tour "$folder" "--transcript=$folder/transcrição" || failed=1
if ! cmp -s "$folder/transcrição" "$top/tests/game/tour.transcript"; then
  echo "windows-check: a transcript named in UTF-8 was not written where it was asked for" >&2
  failed=1
fi
# SAPI 5 chosen where no voice can speak (Wine has none): the built-in voice speaks, and
# the game sounds as it does with it.
sapi="$windows/runs-windows/sapi5"
mkdir -p "$sapi/config"
{ sed 's/^SAPI=.*/SAPI=S/' "$linux/test-voice/TAMIRE.INI"; printf '\n[SERVFALA]\nTIPOSAPI=5\n'; } >"$sapi/config/TAMIRE.INI"
play_tour "$sapi" "--audio-out=$sapi/audio.wav" || failed=1
if ! cmp -s "$sapi/audio.wav" "$windows/runs-linux/tour/audio.wav"; then
  echo "windows-check: with SAPI 5 and no voice, the built-in voice did not speak the game" >&2
  failed=1
fi
((failed == 0)) || exit 1
echo "windows-check: $(ls "$windows/runs-linux" | wc -l) runs byte-identical on Linux and Windows;" \
  "UTF-8 file names kept; SAPI 5 without a voice leaves speech to the built-in voice"
