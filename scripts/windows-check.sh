#!/usr/bin/env bash
# Cross-builds the Windows program with mingw-w64, runs the suites that need no Linux
# backend under Wine, and plays every game key script with it beside the Linux build on
# the same test voice: each run's transcript, speech log, Braille log, screen dump and audio
# must be byte-identical to Linux's. Plays the game in its GDI window on an X display of
# its own, reading the window's pixels back. Also checks that our MBROLA library exports
# its 23 entry points and nothing else.
#   scripts/windows-check.sh LINUX-BUILD WINDOWS-BUILD
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# Windows open on a virtual display, never on the desktop of whoever runs the check.
if [[ -z "${QUELVAR_CHECK_DISPLAY:-}" ]]; then
  exec env QUELVAR_CHECK_DISPLAY=1 xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
linux="${1:?usage: windows-check.sh LINUX-BUILD WINDOWS-BUILD}"
windows="${2:?usage: windows-check.sh LINUX-BUILD WINDOWS-BUILD}"
mkdir -p "$windows"
linux=$(cd "$linux" && pwd) windows=$(cd "$windows" && pwd)  # Wine wants absolute paths

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
# A sound device for Wine even where the machine has no sound card: ALSA's null device,
# with every stream Wine opens kept in a file of its own (rate-channels-bits-number.raw).
# The window's wave-out blocks then really go through the system's device, come back done
# to the window, and what they played can be measured.
sound="$windows/sound"
mkdir -p "$windows/home" "$sound"
cat >"$windows/home/.asoundrc" <<EOF
pcm.!default {
  type file
  slave.pcm "null"
  file "|cd '$sound' && cat > %r-%c-%b-\$\$.raw"
  format "raw"
}
EOF
export HOME="$windows/home"
wineboot --init >/dev/null 2>&1 || true
ctest --test-dir "$windows" --output-on-failure
"$top/scripts/capture-runs.sh" "$linux" "$windows/runs-linux"
QUELVAR_RUN="wine $windows/app/quelvar.exe" "$top/scripts/capture-runs.sh" "$linux" "$windows/runs-windows"
failed=0
"$top/scripts/compare-runs.sh" "$windows/runs-linux" "$windows/runs-windows" Windows || failed=1
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

# The game in its window: waits until the transcript holds TEXT at least COUNT times.
wait_for_text() {
  local text=$1 count=$2
  for ((tries = 0; tries < 600; tries++)); do
    local found
    found=$(grep -c -- "$text" "$window/transcript" 2>/dev/null) || true
    ((${found:-0} >= count)) && return 0
    kill -0 "$game" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}
# Counts the pixel rows of the screen in the game's title colours (black text on silver,
# mostly silver) and in its text colours (silver text on black, mostly black).
count_colour_rows() {
  import -window root "$window/screen.png"
  convert "$window/screen.png" -depth 8 txt:- | awk '
    NR > 1 {
      split($1, at, /[,:]/)
      y = at[2]
      total[y]++
      if ($2 == "(192,192,192)") silver[y]++
      else if ($2 == "(0,0,0)") black[y]++
    }
    END {
      for (y in total) {
        if (silver[y] > total[y] / 2 && black[y] > 0) title++
        if (black[y] > total[y] / 2 && silver[y] > 0) text++
      }
      print title + 0, text + 0
    }'
}
# Seconds of sound (any sample above -30 dBFS) in the streams Wine played.
seconds_heard() {
  local stream rate channels bits rest encoding
  for stream in "$sound"/*.raw; do
    [[ -s "$stream" ]] || continue
    IFS=- read -r rate channels bits rest <<<"$(basename "$stream")"
    encoding=signed
    ((bits == 8)) && encoding=unsigned
    sox -t raw -r "$rate" -c "$channels" -b "$bits" -e "$encoding" "$stream" -n stat 2>&1
  done | awk '/^Length/ { length_ = $3 } /^Maximum amplitude/ { if ($3 > 0.03) heard += length_ }
              END { printf "%.1f\n", heard }'
}
window="$windows/runs-windows/window"
rm -f "$sound"/*.raw
mkdir -p "$window/config"
cp "$linux/test-voice/TAMIRE.INI" "$window/config/"
QUELVAR_DATA_DIR="$linux/test-voice" wine "$windows/app/quelvar.exe" --console=window "--config-dir=$window/config" \
  "--transcript=$window/transcript" "--screen-dump=$window/screen" >"$window/log" 2>&1 &
game=$!
if wait_for_text "Sua cabine" 1; then
  sleep 1  # the text reaches the transcript as it is written, the window at its next present
  read -r titleRows textRows < <(count_colour_rows)
  if ((titleRows < 10 || textRows < 10)); then
    echo "windows-check: the window shows $titleRows pixel rows in the title colours and $textRows in the text" \
      "colours (black on silver, silver on black); see $window/screen.png" >&2
    failed=1
  fi
  id=$(xdotool search --name "Ilha de Quelvar" | head -1)
  xdotool windowfocus --sync "$id"
  xdotool type --delay 30 "olhar"
  xdotool key Return
  wait_for_text "Sua cabine" 2 || {
    echo "windows-check: a command typed into the window got no answer" >&2
    failed=1
  }
  xdotool key alt+F4
else
  echo "windows-check: the game in its window did not reach its first room; see $window/log" >&2
  failed=1
fi
for ((tries = 0; tries < 200; tries++)); do
  kill -0 "$game" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$game" 2>/dev/null; then
  echo "windows-check: Alt+F4 did not close the game's window" >&2
  kill "$game"
  failed=1
elif ! wait "$game"; then
  echo "windows-check: the game in its window ended with a failure; see $window/log" >&2
  failed=1
elif ! grep -q ">olhar" "$window/screen"; then
  echo "windows-check: the typed command is not on the screen the game left" >&2
  failed=1
fi
heard=$(seconds_heard)
if ! awk -v heard="$heard" 'BEGIN { exit !(heard >= 1) }'; then
  echo "windows-check: the game in its window played ${heard} s of sound through the system's device" >&2
  failed=1
fi

((failed == 0)) || exit 1
echo "windows-check: $(ls "$windows/runs-linux" | wc -l) runs byte-identical on Linux and Windows;" \
  "UTF-8 file names kept; SAPI 5 without a voice leaves speech to the built-in voice;" \
  "the window showed $titleRows title and $textRows text pixel rows, played ${heard} s of sound through the" \
  "system's wave-out device, took a typed command and closed on Alt+F4"
