#!/usr/bin/env bash
# Installs what the project needs, builds the utility and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
./setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
# Without a mouse (none plugged in, none at QUILLET_SIM's socket) the window runs on the
# simulated mouse, so that everything can be tried out. A mouse that is plugged in but may not be
# opened is the real one: the window says why and how to fix it.
if [ -z "${QUILLET_SIM:-}" ]; then
  status=0
  build/bin/quilletctl list >/dev/null 2>&1 || status=$?
  if [ "$status" -eq 3 ]; then
    echo "start.sh: no mouse found; starting on the simulated mouse (--simulate)" >&2
    set -- --simulate "$@"
  fi
fi
exec build/bin/quillet "$@"
