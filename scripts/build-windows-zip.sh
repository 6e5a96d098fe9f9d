#!/usr/bin/env bash
# Makes the Windows download, build-win64/quelvar-<version>-win64.zip: the program and our
# MBROLA library (the C and C++ runtimes linked into both), the default settings, the
# translator's and the front end's data, the MBROLA voice, and the built-in voice, which is
# built on Linux with espeak-ng.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$top/scripts/install-deps.sh" "$top/scripts/deps-play.txt" "$top/scripts/deps-windows.txt"
cmake -S "$top" -B "$top/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$top/build" --target voicedata
cmake -S "$top" -B "$top/build-win64" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$top/build-win64"

version=$(sed -n 's/^project(quelvar VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
name="quelvar-$version-win64"
stage="$top/build-win64/$name"
rm -rf "$stage" "$stage.zip"
mkdir -p "$stage/mbrola"
cp "$top/build-win64/app/quelvar.exe" "$top/build-win64/mbrola_standin/quelvar_mbrola.dll" "$stage/"
x86_64-w64-mingw32-strip "$stage/quelvar.exe" "$stage/quelvar_mbrola.dll"
cp "$top/data/TAMIRE.INI" "$stage/"
cp -rL "$top/build/data/som" "$stage/som"
# The build's stamp and an interrupted build's pieces are not part of the voice.
find "$stage/som" \( -name .voicedata-stamp -o -name '.chunk*' \) -delete
cp -rL "$top/data/front" "$stage/front"
cp "$top/data/mbrola/br4.voice" "$stage/mbrola/"
# Notepad and the prompt read it as UTF-8 with Windows line ends.
sed 's/$/\r/' "$top/dist/LEIA-ME.txt" >"$stage/LEIA-ME.txt"
(cd "$top/build-win64" && zip -qr "$name.zip" "$name")
echo "$top/build-win64/$name.zip"
