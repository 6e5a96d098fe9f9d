#!/usr/bin/env bash
# Counts the mutable state at namespace scope: variable definitions with static or thread
# storage outside any function or class, neither const nor constexpr, in the .cpp files of
# the program's folders (those a build compiled), and the variable externs of the same
# folders. Needs clang-query (Debian: clang-tools) and a build's compile_commands.json.
#   scripts/count-globals.sh build            # totals and a line per folder
#   scripts/count-globals.sh build --list     # and every variable
set -euo pipefail
build="${1:?usage: count-globals.sh BUILD-DIR [--list]}"
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
command -v clang-query >/dev/null || { echo "count-globals.sh: clang-query not found (apt install clang-tools)" >&2; exit 2; }
[[ -f "$build/compile_commands.json" ]] || { echo "count-globals.sh: no compile_commands.json in $build" >&2; exit 2; }
build="$(cd "$build" && pwd)"
folders=(text translator platform console speech speech/sapi editor game app mbrola_front mbrola_standin)
files=()
for folder in "${folders[@]}"; do
  [[ -d "$top/$folder" ]] || continue
  for f in "$top/$folder"/*.cpp; do
    grep -q "\"file\": \"$f\"" "$build/compile_commands.json" && files+=("$f")
  done
done
list="$(clang-query -p "$build" "${files[@]}" -c 'set output dump' \
  -c 'm varDecl(hasGlobalStorage(), unless(isStaticLocal()), unless(hasType(isConstQualified())), unless(isConstexpr()), isDefinition(), unless(hasAncestor(cxxRecordDecl())), unless(hasAncestor(functionDecl())), isExpansionInMainFile())' 2>/dev/null |
  sed -nE 's/^VarDecl 0x[0-9a-f]+ (prev 0x[0-9a-f]+ )?<([^:]+):([0-9]+):.*> col:[0-9]+ (used )?(referenced )?([A-Za-z_0-9]+) .*/\2:\3 \6/p' |
  sed "s|^$top/||" | sort -u)"
echo "namespace-scope mutable variables: $(grep -c . <<<"$list" || true)"
for folder in "${folders[@]}"; do
  [[ -d "$top/$folder" ]] && echo "  $folder: $(grep -c "^$folder/[^/]*:" <<<"$list" || true)"
done
externs="$(cd "$top" && for folder in "${folders[@]}"; do
  [[ -d "$folder" ]] && grep -EHn '^\s*extern\s' "$folder"/*.h "$folder"/*.cpp 2>/dev/null
done | grep -v 'extern "C"' || true)"
echo "variable externs: $(grep -c . <<<"$externs" || true)"
if [[ "${2:-}" == --list ]]; then
  echo "$list"
  [[ -z "$externs" ]] || echo "$externs"
fi
