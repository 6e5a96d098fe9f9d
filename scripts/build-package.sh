#!/usr/bin/env bash
# Makes the Debian package: installs what is missing (scripts/deps-play.txt and
# scripts/package-deps.txt), builds the program and its voice with dpkg-buildpackage, puts
# quelvar_<version>_amd64.deb in this folder and checks it with lintian.
set -euo pipefail
top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$top/scripts/install-deps.sh" "$top/scripts/deps-play.txt" "$top/scripts/package-deps.txt"
cd "$top"
version="$(dpkg-parsechangelog -SVersion)"
arch="$(dpkg --print-architecture)"
DEB_BUILD_OPTIONS="parallel=$(nproc) ${DEB_BUILD_OPTIONS:-}" dpkg-buildpackage -us -uc -b
mv -f "../quelvar_${version}_${arch}.deb" "$top/"
lintian --fail-on error "$top/quelvar_${version}_${arch}.deb"
echo "Made $top/quelvar_${version}_${arch}.deb; install it with: sudo apt install ./quelvar_${version}_${arch}.deb"
