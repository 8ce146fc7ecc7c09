#!/usr/bin/env bash
# The processor time of the real utility with its lighting page left open for 10 s, per period,
# under a virtual display against the simulated mouse: user + system time of the quillet process
# from /proc/PID/stat over the 10 s (the pointer stays still outside the window).
#   bench/lighting_page_cpu.sh [BIN_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
source tests/e2e/lib.sh
e2e_init "$(realpath "${1:-build/bin}")"
e2e_start_display
e2e_start_sim
ticks=$(getconf CLK_TCK)
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
printf "period  cpu_s_in_10s\n"
for period in 0 1 2 3 4 5; do
  e2e_copy_skins
  sed -i "s/^LED_CYCTIME=.*/LED_CYCTIME=$period/" "$E2E_SKINS/config/config.ini"
  e2e_start_quillet
  e2e_click INI_EN/skin_main_en.ini 9
  xdotool mousemove 1200 780
  sleep 1
  before=$(cpu_ticks "$E2E_PID")
  sleep 10
  after=$(cpu_ticks "$E2E_PID")
  awk -v p="$period" -v t="$(( after - before ))" -v hz="$ticks" 'BEGIN { printf "%-7d %.2f\n", p, t / hz }'
  kill "$E2E_PID"
  e2e_wait_gone "$E2E_PID" 10 || e2e_fail "quillet did not end"
  rm -rf "$E2E_SKINS"
done
