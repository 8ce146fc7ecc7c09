#!/usr/bin/env bash
# The main window under a virtual display, started while the simulated mouse is unplugged: it
# appears under its title, shows its four pages, saves an edit only with Apply, gets its icon in
# the notification area when the mouse is plugged in, hides there and comes back on a second start
# and on a double-click of the icon, and the Close region ends the process.
#   window_test.sh BIN_DIR
set -euo pipefail
source "$(dirname "$0")/lib.sh"

e2e_init "$1"
e2e_start_display
e2e_start_tray
e2e_copy_skins
e2e_start_sim
"$E2E_BIN/quillet-sim" send --socket "$SOCKET" unplug >/dev/null || e2e_fail "the simulator would not unplug"

MAIN=INI_EN/skin_main_en.ini
e2e_start_quillet
grep -q "Please plug-in【K736 Gaming mouse】USB Mouse" "$E2E_DIR/quillet.err" ||
  e2e_fail "no no-mouse message"
e2e_tray_icon_center >/dev/null && e2e_fail "an icon in the notification area without a mouse"

# The four pages by their tabs; each one's picture must differ from the one before.
previous=""
for tab in 6 7 8 9; do
  e2e_click "$MAIN" "$tab"
  if [ -n "$previous" ]; then
    e2e_wait_for 5 e2e_screen_differs "$previous" || e2e_fail "tab $tab did not change the page"
  fi
  e2e_screen_still || e2e_fail "the screen did not settle"
  e2e_screenshot "page$tab"
  previous="$E2E_SCREEN"
done

# A changed DPI step reaches the settings file with apply, not before.
cp "$E2E_SKINS/config/config.ini" "$E2E_DIR/config.before"
e2e_click "$MAIN" 7
e2e_click INI_EN/skin_advance_en.ini 77   # level 1, step 12 (4800)
# A write that must not come: only time can show that it does not.
sleep 0.3
cmp -s "$E2E_DIR/config.before" "$E2E_SKINS/config/config.ini" || e2e_fail "a page edit wrote the settings file"
e2e_click "$MAIN" 3
e2e_wait_for 10 e2e_ini_is "$E2E_SKINS/config/config.ini" Config1 DPI_SET0 11 || {
  diff "$E2E_DIR/config.before" "$E2E_SKINS/config/config.ini" >&2 || true
  e2e_fail "apply did not save the DPI step"
}
e2e_click "$MAIN" 6

# The mouse plugged in after the start: the window finds it and puts its icon in the tray.
"$E2E_BIN/quillet-sim" send --socket "$SOCKET" plug >/dev/null || e2e_fail "the simulator would not plug in"
e2e_wait_for 5 e2e_tray_icon_center >/dev/null || e2e_fail "no icon in the notification area after the mouse came"

# Minimise to the notification area, then a second start brings the window back.
e2e_click "$MAIN" 0
e2e_wait_window_hidden 5 || e2e_fail "minimise did not hide the window"
"$E2E_BIN/quillet" --skins "$E2E_SKINS" 2>"$E2E_DIR/second.err" || e2e_fail "the second start failed"
e2e_wait_window_visible 5 || e2e_fail "a second start did not restore the window"
kill -0 "$E2E_PID" || e2e_fail "the first instance ended"

# Hide again and double-click the icon in the notification area.
e2e_click "$MAIN" 0
e2e_wait_window_hidden 5 || e2e_fail "minimise did not hide the window"
icon="$(e2e_tray_icon_center)" || e2e_fail "no icon in the notification area"
# shellcheck disable=SC2086
xdotool mousemove $icon click --repeat 2 --delay 80 1
e2e_wait_window_visible 5 || e2e_fail "a double-click on the tray icon did not restore the window"
e2e_move_to_corner

# Close ends the process.
e2e_click "$MAIN" 1
e2e_wait_gone "$E2E_PID" 10 || e2e_fail "Close did not end the process"
echo "PASS"
