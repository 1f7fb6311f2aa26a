#!/usr/bin/env bash
# Builds the Debian package of the program with CPack and checks it with lintian.
#   scripts/package.sh [build folder, default build]
# The package lands in <build folder>/package/; its dependencies come from dpkg-shlibdeps' scan
# of the libraries the program links. Only the program is built, not the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
build=${1:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target kovrin-photo-sorter
rm -f "$build"/package/*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/package/kovrin-photo-sorter_*.deb)
echo "Package: $deb ($(du -k "$deb" | cut -f1) kB)"
echo "Depends: $(dpkg-deb -f "$deb" Depends)"
# lintian refuses to run as root without this; errors fail the build, the rest is shown.
lintian --allow-root --fail-on error --info "$deb" || { echo "lintian found errors" >&2; exit 1; }
echo "lintian: no errors"
