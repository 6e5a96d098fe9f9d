#!/usr/bin/env bash
# Installs the Debian packages of the lists given (files of scripts/, one package a line,
# '#' comments) that are not installed yet; without a list, scripts/deps-play.txt: what
# building and playing need. The other lists are for the tests (deps-test.txt), the Windows
# build (deps-windows.txt), the web build (deps-web.txt) and the package (package-deps.txt).
#   install-deps.sh [LIST...]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
(($# > 0)) || set -- "$here/deps-play.txt"
missing=()
for list in "$@"; do
  while read -r pkg; do
    [[ -z "$pkg" || "$pkg" == \#* ]] && continue
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$pkg")
  done < "$list"
done
if ((${#missing[@]} == 0)); then
  exit 0
fi
# A package named in two lists is installed once.
mapfile -t missing < <(printf '%s\n' "${missing[@]}" | awk '!seen[$0]++')
echo "Installing missing packages: ${missing[*]}"
sudo=""
if [[ $(id -u) -ne 0 ]]; then
  sudo="sudo"
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
