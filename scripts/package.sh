#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: 2026 Lumas developers
# Builds the Debian package of Lumas: a Release build in build-package/ with Debian's hardening
# flags, `cpack -G DEB`, then lintian on the package (an error fails the script). The last line of
# output is the path of the .deb.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-package"
# The build's packages, and what packaging and its checks use: dpkg-shlibdeps (dpkg-dev), file
# (CPack finds the programs with it), lintian, desktop-file-validate and appstreamcli.
"$root/scripts/setup.sh" dpkg-dev file lintian desktop-file-utils appstream

umask 022  # the folders and files of the package: 755 and 644
# Debian's flags for packages, with every hardening option and without debug information (the
# programs are stripped). Their -O2 replaces Release's -O3, at which g++ 12 warns wrongly
# (-Wrestrict) inside std::string.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP=-g
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags="$(dpkg-buildflags --get LDFLAGS)"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DBUILD_TESTING=OFF -DLUMAS_BENCHMARKS=OFF -DLUMAS_WERROR=ON \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_CXX_FLAGS_RELEASE=-DNDEBUG \
  -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build "$build" -j "$(nproc)"

echo "== cpack"
rm -f "$build"/lumas_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb="$(ls "$build"/lumas_*.deb)"

echo "== The package's desktop entry and metainfo"
rm -rf "$build/unpacked"
dpkg-deb -x "$deb" "$build/unpacked"
desktop-file-validate "$build"/unpacked/usr/share/applications/*.desktop
appstreamcli validate-tree --no-net --strict "$build/unpacked"

echo "== lintian"
lintian --fail-on error --info "$deb"

echo "$deb"
