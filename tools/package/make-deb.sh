#!/bin/sh
# Builds Brevant's Debian package: a Release build of the program alone (no tests), configured
# for /usr with Debian's hardening flags, stripped and packed by CPack.
# Usage: tools/package/make-deb.sh [BUILD_FOLDER]   (default build-deb); prints the package's path.
set -e

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build-deb}
cd "$root"

# The flags a Debian package is built with: stack protector, fortified sources, full RELRO and
# immediate binding (hardening=+all).
export DEB_BUILD_MAINT_OPTIONS="hardening=+all"
cppflags=$(dpkg-buildflags --get CPPFLAGS)
cxxflags=$(dpkg-buildflags --get CXXFLAGS)
ldflags=$(dpkg-buildflags --get LDFLAGS)

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DBREVANT_TESTS=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_CXX_FLAGS="$cppflags $cxxflags" \
  -DCMAKE_EXE_LINKER_FLAGS="$ldflags" > /dev/null
cmake --build "$build" -j "$(nproc)" --target brevant desktop_data > /dev/null
rm -f "$build"/brevant_*.deb
(cd "$build" && cpack -G DEB > /dev/null)
ls "$build"/brevant_*.deb
