#!/usr/bin/env bash
# Installs what the project needs, builds everything with warnings as errors and runs every test.
#   scripts/test.sh [CMAKE_OPTION...]     build folder: $BUILD_DIR (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
./setup.sh
build="${BUILD_DIR:-build}"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" -DQUILLET_WERROR=ON "$@"
cmake --build "$build"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --timeout 300
