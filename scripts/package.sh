#!/usr/bin/env bash
# Makes the Debian package: a clean Release build in build-package/ with Debian's hardening
# flags, without the tests, installed under /usr, packed by CPack. Prints the .deb's path.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
install_packages >&2

# The flags Debian's own packages are built with (fortified functions, stack protector,
# read-only relocations bound at start), as dpkg-buildflags gives them. CMake reads CFLAGS,
# CXXFLAGS and LDFLAGS, but not CPPFLAGS.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cd "$ROOT"
CPPFLAGS=$(dpkg-buildflags --get CPPFLAGS)
export CFLAGS="$(dpkg-buildflags --get CFLAGS) $CPPFLAGS"
export CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $CPPFLAGS"
export LDFLAGS=$(dpkg-buildflags --get LDFLAGS)

rm -rf "$ROOT/build-package"
build build-package -DMORVANE_BUILD_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr >&2
(cd "$ROOT/build-package" && cpack -G DEB >&2)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$ROOT/build-package/CMakeCache.txt")
echo "$ROOT/build-package/morvane_${version}_$(dpkg --print-architecture).deb"
