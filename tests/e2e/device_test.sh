#!/usr/bin/env bash
# The main window on the simulated mouse at a socket: it finds the mouse, Apply leaves in the
# mouse's memory exactly the blocks that `quilletctl plan` prints for the saved settings and sets
# the (private) desktop's pointer speed, a profile switched on the mouse becomes the window's,
# Close tells the mouse that the utility has gone (HostExit 07 20 00 00), and unplugging the
# mouse ends the utility.
#   device_test.sh BIN_DIR
set -euo pipefail
source "$(dirname "$0")/lib.sh"

e2e_init "$1"
e2e_start_display
e2e_start_tray
e2e_copy_skins

e2e_start_sim
sim() { "$E2E_BIN/quillet-sim" send --socket "$SOCKET" "$@"; }

MAIN=INI_EN/skin_main_en.ini
e2e_start_quillet
if grep -q "Please plug-in" "$E2E_DIR/quillet.err"; then
  e2e_fail "the window did not find the simulated mouse"
fi

# A changed DPI step, then Apply: the mouse's memory holds what the plan of the saved settings says.
e2e_click "$MAIN" 7
e2e_click INI_EN/skin_advance_en.ini 77   # level 1, step 12
e2e_click "$MAIN" 6
e2e_click "$MAIN" 3
# The download takes its pauses: wait for its end in the mouse and for the save.
e2e_wait_for 10 grep -q " SET 07 18 10 00 00 00 00 00" "$SIMLOG" || e2e_fail "the download did not finish in the mouse"
e2e_wait_for 5 grep -q "^DPI_SET0=11" "$E2E_SKINS/config/config.ini" || e2e_fail "apply did not save the DPI step"
e2e_memory_matches_plan || e2e_fail "the mouse's memory differs from the plan"
# The desktop's pointer speed, in this run's own settings: speed level 5 is -1 + 2 * 9 / 19.
awk '/^\[/ { inside = ($0 == "[org/gnome/desktop/peripherals/mouse]"); next }
     inside && sub(/^speed=/, "") { v = $0 + 0; found = (v > -0.052632 && v < -0.052631) }
     END { exit !found }' "$E2E_GSETTINGS" || e2e_fail "Apply did not set the desktop's pointer speed"
e2e_screenshot apply

# A profile switched on the mouse becomes the window's profile and the settings file's.
sim profile 3 >/dev/null || e2e_fail "the simulator would not switch its profile"
e2e_wait_for 5 grep -q "^CurConfig=3" "$E2E_SKINS/config/config.ini" ||
  e2e_fail "the window did not follow the mouse's profile"
e2e_screen_still || e2e_fail "the screen did not settle"
e2e_screenshot profile3

# Close: HostExit reaches the mouse and the process ends.
e2e_click "$MAIN" 1
e2e_wait_gone "$E2E_PID" 10 || e2e_fail "Close did not end the process"
grep -q " SET 07 20 00 00" "$SIMLOG" || e2e_fail "no HostExit in the simulator's log"

# Unplugging the mouse ends the utility.
e2e_start_quillet
sim unplug >/dev/null || e2e_fail "the simulator would not unplug"
e2e_wait_gone "$E2E_PID" 10 || e2e_fail "the utility outlived the mouse's removal"
echo "PASS"
