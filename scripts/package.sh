#!/usr/bin/env bash
# Builds every artefact into build/packages/: the Debian packages dozozeda
# (the window) and dozozeda-cli (the command line, for servers too), from a
# release build with Debian's hardening flags in build/package-linux; the
# Windows zip, from build/windows, the release build the Windows tests use;
# and SHA256SUMS for all three.
#
#   scripts/package.sh
#
# Installs the Debian packages it needs when they are missing, as the other
# scripts do.
set -euo pipefail
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=$repo/build/packages
linux_build=$repo/build/package-linux
windows_build=$repo/build/windows

"$repo/scripts/install-deps.sh" build windows package

# The flags dpkg-buildpackage would give, without the debugging information
# that the package strips again.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP=-g
cmake -S "$repo" -B "$linux_build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DCMAKE_INSTALL_PREFIX=/usr \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$linux_build" -j2
rm -f "$linux_build"/dozozeda*.deb
(cd "$linux_build" && cpack -G DEB >/dev/null)

# The same options as scripts/windows-tests.sh, so that the two share one build.
cmake -S "$repo" -B "$windows_build" \
    -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release \
    -DDOZOZEDA_WITH_QT=OFF \
    -DDOZOZEDA_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build "$windows_build" -j2
rm -f "$windows_build"/Dozozeda-*-win64.zip
(cd "$windows_build" && cpack -G ZIP >/dev/null)

rm -rf "$out"
mkdir -p "$out"
cp "$linux_build"/dozozeda*.deb "$windows_build"/Dozozeda-*-win64.zip "$out/"
(cd "$out" && sha256sum -- * >SHA256SUMS)
echo "Packages in $out:"
(cd "$out" && ls -l --time-style=+ -- *.deb *.zip | awk '{print "  " $NF ": " $5 " bytes"}')
