#!/usr/bin/env bash
# Counts the program's mutable state that lives for the whole run: variable definitions
# with static or thread storage, neither const nor constexpr, at namespace scope and inside
# functions (the function-local singletons), in the .cpp files of the program's folders
# (those a build compiled), and the variable externs of the same folders. Needs clang-query (Debian: clang-tools) and a build's compile_commands.json.
#   scripts/count-globals.sh build            # totals and a line per folder
#   scripts/count-globals.sh build --list     # and every variable
set -euo pipefail
build="${1:?usage: count-globals.sh BUILD-DIR [--list]}"
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
command -v clang-query >/dev/null || { echo "count-globals.sh: clang-query not found (apt install clang-tools)" >&2; exit 2; }
[[ -f "$build/compile_commands.json" ]] || { echo "count-globals.sh: no compile_commands.json in $build" >&2; exit 2; }
build="$(cd "$build" && pwd)"
folders=(text translator platform/services platform/core platform/audio platform/braille platform/backends/shared
  platform/backends/terminal platform/backends/sdl platform/backends/gdi platform/backends/web platform/backends/headless
  console speech speech/sapi editor game app mbrola_front mbrola_standin)
files=()
for folder in "${folders[@]}"; do
  [[ -d "$top/$folder" ]] || continue
  for f in "$top/$folder"/*.cpp; do
    grep -q "\"file\": \"$f\"" "$build/compile_commands.json" && files+=("$f")
  done
done
# Prints "path:line name" for every variable definition the matcher finds.
matching() {
  clang-query -p "$build" "${files[@]}" -c 'set output dump' -c "m $1" 2>/dev/null |
    sed -nE 's/^VarDecl 0x[0-9a-f]+ (prev 0x[0-9a-f]+ )?<([^:]+):([0-9]+):.*> col:[0-9]+ (used )?(referenced )?([A-Za-z_0-9]+) .*/\2:\3 \6/p' |
    sed "s|^$top/||" | sort -u
}
mutable='hasGlobalStorage(), unless(hasType(isConstQualified())), unless(isConstexpr()), isExpansionInMainFile()'
list="$(matching "varDecl($mutable, unless(isStaticLocal()), isDefinition(), unless(hasAncestor(cxxRecordDecl())), unless(hasAncestor(functionDecl())))")"
locals="$(matching "varDecl($mutable, isStaticLocal())")"
per_folder() {
  for folder in "${folders[@]}"; do
    [[ -d "$top/$folder" ]] && echo "  $folder: $(grep -c "^$folder/[^/]*:" <<<"$1" || true)"
  done
}
namespace_count="$(grep -c . <<<"$list" || true)"
local_count="$(grep -c . <<<"$locals" || true)"
echo "mutable state in all: $((namespace_count + local_count))"
echo "namespace-scope mutable variables: $namespace_count"
per_folder "$list"
echo "function-local mutable statics: $local_count"
per_folder "$locals"
externs="$(cd "$top" && for folder in "${folders[@]}"; do
  [[ -d "$folder" ]] && grep -EHn '^\s*extern\s' "$folder"/*.h "$folder"/*.cpp 2>/dev/null
done | grep -v 'extern "C"' || true)"
echo "variable externs: $(grep -c . <<<"$externs" || true)"
if [[ "${2:-}" == --list ]]; then
  [[ -z "$list" ]] || echo "$list"
  [[ -z "$locals" ]] || echo "$locals"
  [[ -z "$externs" ]] || echo "$externs"
fi
