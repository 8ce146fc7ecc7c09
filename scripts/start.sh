#!/usr/bin/env bash
# Installs what the project needs, builds the utility and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
./setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
exec build/bin/quillet "$@"
