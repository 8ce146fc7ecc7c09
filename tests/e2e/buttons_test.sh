#!/usr/bin/env bash
# The buttons page on the simulated mouse at a socket: the function list of button 2 assigns
# "Middle click" and Apply writes it (the mouse's memory then equals `quilletctl plan` of the
# saved settings); the profile list writes CurConfig at once; a press in the window closes an open
# popup and still acts; the warning guards the only left click of profile 1 and Escape cancels it.
#   buttons_test.sh BIN_DIR
set -euo pipefail
source "$(dirname "$0")/lib.sh"

e2e_init "$1"
e2e_start_display
e2e_start_tray
e2e_copy_skins
e2e_start_sim

MAIN=INI_EN/skin_main_en.ini
ADVANCED=INI_EN/skin_advance_en.ini
CONFIG="$E2E_SKINS/config/config.ini"
e2e_start_quillet
grep -q "Please plug-in" "$E2E_DIR/quillet.err" && e2e_fail "the window did not find the simulated mouse"

# Button 2's list, its first sub-menu shown for the picture, then "Middle click" (row 3 of 10).
e2e_click "$MAIN" 21
e2e_wait_popup MainMenuDlg || e2e_fail "the function list did not open"
eval "$(xdotool getwindowgeometry --shell "$E2E_POPUP" | sed -n 's/^X=/mx=/p; s/^Y=/my=/p; s/^WIDTH=/mw=/p; s/^HEIGHT=/mh=/p')"
xdotool mousemove $(( mx + mw / 2 )) $(( my + 13 * mh / 20 ))   # row 7: Advanced
e2e_wait_popup SubMenuDlg || e2e_fail "hovering Advanced did not open its sub-menu"
e2e_screen_still || e2e_fail "the screen did not settle"
e2e_screenshot function_list
e2e_popup_row MainMenuDlg 10 3
e2e_wait_for 3 bash -c '! xdotool search --onlyvisible --name "^MainMenuDlg$" >/dev/null' || e2e_fail "the list stayed open"

e2e_click "$MAIN" 3
e2e_wait_for 10 e2e_ini_is "$CONFIG" Config1 K1 3 || e2e_fail "Apply did not save Middle click for button 2"
e2e_wait_for 5 grep -q " SET 07 18 10 00 00 00 00 00" "$SIMLOG" || e2e_fail "the download did not finish in the mouse"
e2e_memory_matches_plan || e2e_fail "the mouse's memory differs from the plan"

# The profile list: profile 3, written before any Apply.
e2e_click "$MAIN" 11
e2e_popup_row MainMenuDlg 4 3
e2e_wait_for 3 e2e_ini_is "$CONFIG" Init CurConfig 3 || e2e_fail "picking profile 3 did not write CurConfig"

# A press in the window closes the open list and still acts: the tab changes the page, whose
# DPI step then counts.
e2e_click "$MAIN" 22
e2e_wait_popup MainMenuDlg || e2e_fail "the function list of button 3 did not open"
e2e_click "$MAIN" 7
e2e_wait_for 3 bash -c '! xdotool search --onlyvisible --name "^MainMenuDlg$" >/dev/null' || e2e_fail "the press left the list open"
e2e_click "$ADVANCED" 77   # level 1, step 12
e2e_click "$MAIN" 3
e2e_wait_for 10 e2e_ini_is "$CONFIG" Config3 DPI_SET0 11 || e2e_fail "the tab's press did not reach the advanced page"
e2e_click "$MAIN" 6

# Profile 1's only left click: the warning, below the button; Escape cancels, no list opens.
e2e_click "$MAIN" 11
e2e_popup_row MainMenuDlg 4 1
e2e_wait_for 3 e2e_ini_is "$CONFIG" Init CurConfig 1 || e2e_fail "picking profile 1 did not write CurConfig"
e2e_click "$MAIN" 20
e2e_wait_popup WarningDlg || e2e_fail "no warning before the only left click changes"
e2e_screen_still || e2e_fail "the screen did not settle"
e2e_screenshot warning
eval "$(xdotool getwindowgeometry --shell "$E2E_POPUP" | sed -n 's/^X=/wx=/p; s/^Y=/wy=/p')"
xdotool mousemove $(( wx + 20 )) $(( wy + 20 ))
xdotool key Escape
e2e_wait_for 3 bash -c '! xdotool search --onlyvisible --name "^WarningDlg$" >/dev/null' || e2e_fail "Escape left the warning open"
# A list that must not open: only time can show that it does not.
sleep 0.3
xdotool search --onlyvisible --name "^MainMenuDlg$" >/dev/null && e2e_fail "the list opened although the warning was cancelled"
e2e_ini_is "$CONFIG" Config1 K0 1 || e2e_fail "button 1 lost its left click"
echo "PASS"
