#!/usr/bin/env bash
# Installs what the project needs, builds the utility and makes its Debian package:
#   scripts/package.sh        ->  $BUILD_DIR/package/quillet_<version>_<arch>.deb (BUILD_DIR: build)
# Install it with: sudo apt install ./build/package/quillet_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
./setup.sh
build="${BUILD_DIR:-build}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLET_WERROR=ON
cmake --build "$build"
rm -rf "$build/package"
cpack --config "$build/CPackConfig.cmake" -B "$build/package" >/dev/null
ls "$build"/package/quillet_*.deb
