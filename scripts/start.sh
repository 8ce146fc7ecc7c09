#!/usr/bin/env bash
# Installs what the project needs, builds the utility and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
./setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
# Without a mouse (none plugged in, none at QUILLET_SIM's socket) the window runs on the
# simulated mouse, so that everything can be tried out.
if [ -z "${QUILLET_SIM:-}" ] && ! build/bin/quilletctl list >/dev/null 2>&1; then
  echo "start.sh: no mouse found; starting on the simulated mouse (--simulate)" >&2
  set -- --simulate "$@"
fi
exec build/bin/quillet "$@"
