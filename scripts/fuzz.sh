#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, build-fuzz/) and runs each for SECONDS (default 300) on a
# scratch copy of its seeds, from memory: no target touches the file system in its loop.
#   scripts/fuzz.sh [SECONDS]
# Prints each target's executions per second; fails when a target finds a crash or a leak.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-300}"
./setup.sh >/dev/null
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLET_WERROR=ON \
  -DQUILLET_FUZZ=ON -DQUILLET_TESTS=OFF -DQUILLET_BENCH=OFF >/dev/null
cmake --build build-fuzz --target fuzz_targets
status=0
for target in build-fuzz/bin/fuzz_*; do
  name="$(basename "$target")"
  # libFuzzer adds what it finds to its corpus folder: give it a scratch copy of the seeds.
  corpus="$(mktemp -d)"
  cp -r "fuzz/corpus/${name#fuzz_}/." "$corpus/" 2>/dev/null || true
  log="$(mktemp)"
  if "$target" -max_total_time="$seconds" -print_final_stats=1 -rss_limit_mb=2048 "$corpus" >"$log" 2>&1; then
    printf '%-24s %8s exec/s, %s runs, corpus %s\n' "$name" \
      "$(grep -o 'average_exec_per_sec: *[0-9]*' "$log" | grep -o '[0-9]*$')" \
      "$(grep -o 'number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$')" "$(ls "$corpus" | wc -l)"
  else
    echo "-- $name FAILED" >&2
    tail -n 40 "$log" >&2
    status=1
  fi
  rm -rf "$corpus" "$log"
done
exit "$status"
