#!/usr/bin/env bash
# Builds the Debian package: a Release build without sanitizers, with Debian's hardening flags,
# in build-package/ (or the folder given), then cpack. Prints the path of the .deb.
#   bash tools/package.sh [BUILD_FOLDER]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$top/build-package}")
# The compiler and linker flags of Debian's own packages (fortified, stack-protected, full
# RELRO and immediate binding); no debug information, which the package would strip anyway.
cd "$top"  # dpkg-buildflags maps the current folder out of the debug paths
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cppflags=$(dpkg-buildflags --get CPPFLAGS)
cxxflags=$(dpkg-buildflags --get CXXFLAGS | sed -e 's/\(^\| \)-g\( \|$\)/ /' -e 's/-O2//')
ldflags=$(dpkg-buildflags --get LDFLAGS)
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_SANITIZE=OFF \
    -DVELMORA_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr "${launcher[@]}" \
    -DCMAKE_CXX_FLAGS="$cppflags $cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
    -DCMAKE_MODULE_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build "$build" -j"$(nproc)"
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/dazuviz-velmora_*.deb
