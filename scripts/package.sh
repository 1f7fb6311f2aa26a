#!/usr/bin/env bash
# Builds the Debian package of the program with CPack and checks it with lintian.
#   scripts/package.sh [build folder, default build]
# The package lands in <build folder>/package/; its dependencies come from dpkg-shlibdeps' scan
# of the libraries the program links. The program is built apart, in <build folder>/deb/, with
# Debian's hardening flags (dpkg-buildflags) and stripped as Debian strips it; the tests are not
# built.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
build=${1:-build}
debbuild="$build/deb"
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S . -B "$debbuild" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKPS_PACKAGE_BUILD=ON \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$debbuild" -j"$(nproc)" --target kovrin-photo-sorter
rm -f "$debbuild"/package/*.deb "$build"/package/*.deb
(cd "$debbuild" && cpack -G DEB >/dev/null)
mkdir -p "$build/package"
cp "$debbuild"/package/kovrin-photo-sorter_*.deb "$build/package/"
deb=$(ls "$build"/package/kovrin-photo-sorter_*.deb)
echo "Package: $deb ($(du -k "$deb" | cut -f1) kB)"
echo "Depends: $(dpkg-deb -f "$deb" Depends)"
# lintian refuses to run as root without this; errors fail the build, the rest is shown.
lintian --allow-root --fail-on error --info "$deb" || { echo "lintian found errors" >&2; exit 1; }
echo "lintian: no errors"
