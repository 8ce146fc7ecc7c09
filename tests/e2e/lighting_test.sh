#!/usr/bin/env bash
# The lighting page on the simulated mouse at a socket: "Button response" from the effect list,
# button 3 lighting up with "Comet tail", custom colours on and colour 3 picked in the colour
# dialog, Apply; the mouse then holds that effect, that response and that colour, and its memory
# equals `quilletctl plan` of the saved settings. Screenshots of the page in three effects and
# both languages ($E2E_SHOTS/lighting_<effect>_<lang>.png; E2E_KEEP=1 keeps them).
#   lighting_test.sh BIN_DIR
set -euo pipefail
source "$(dirname "$0")/lib.sh"

e2e_init "$1"
e2e_start_display
e2e_copy_skins
e2e_start_sim

MAIN=INI_EN/skin_main_en.ini
LIGHT=INI_EN/skin_color_en.ini   # the rectangles are the same in both languages
CONFIG="$E2E_SKINS/config/config.ini"
# Profile 1 starts without custom colours and with button 3 dark.
sed -i '/^\[Config1\]/,/^\[/ { s/^LED_USER_COLER_EN=.*/LED_USER_COLER_EN=0/; s/^LED_REACT_EN2=.*/LED_REACT_EN2=0/ }' "$CONFIG"
e2e_start_quillet
grep -q "Please plug-in" "$E2E_DIR/quillet.err" && e2e_fail "the window did not find the simulated mouse"

shot() {  # NAME: the page with the pointer over no region
  xdotool mousemove 1200 780
  e2e_screen_still || e2e_fail "the screen did not settle"
  e2e_screenshot "$1"
}

e2e_click "$MAIN" 5   # English
e2e_click "$MAIN" 9
shot lighting_ambilight_en

e2e_click "$LIGHT" 35
e2e_wait_popup MainMenuDlg || e2e_fail "the effect list did not open"
e2e_popup_row MainMenuDlg 10 9   # Button response
e2e_click "$LIGHT" 14            # custom colours on
e2e_click "$LIGHT" 53            # button 3 lights up
e2e_click "$LIGHT" 63
e2e_wait_popup MainMenuDlg || e2e_fail "button 3's effect list did not open"
e2e_popup_row MainMenuDlg 4 3    # Comet tail

# Colour 3 in the colour dialog, typed as HTML: levels 15 - (channel >> 4) = 13 5 0.
e2e_click "$LIGHT" 2
e2e_wait_popup "Select Color" 10 || e2e_fail "the colour dialog did not open"
# It takes the keyboard once the utility hears that it is on screen, a moment after.
e2e_wait_for 5 e2e_has_focus "$E2E_POPUP" || e2e_fail "the colour dialog did not get the keyboard"
xdotool mousemove --window "$E2E_POPUP" 20 20
xdotool key alt+h
xdotool key ctrl+a
xdotool type "#20a0f0"
xdotool key Return
e2e_wait_for 5 bash -c '! xdotool search --onlyvisible --name "^Select Color$" >/dev/null' || e2e_fail "the colour dialog stayed open"
shot lighting_response_en

e2e_click "$MAIN" 3
e2e_wait_for 10 e2e_ini_is "$CONFIG" Config1 LED_TYPE 8 || e2e_fail "Apply did not save Button response"
e2e_wait_for 5 grep -q " SET 07 18 10 00 00 00 00 00" "$SIMLOG" || e2e_fail "the download did not finish in the mouse"
e2e_ini_is "$CONFIG" Config1 LED_REACT_TYPE2 2 || e2e_fail "button 3's effect was not saved"
e2e_ini_is "$CONFIG" Config1 LED_USER2_R 13 || e2e_fail "the custom colour was not saved"

"$E2E_BIN/quillet-sim" send --socket "$SOCKET" state >"$E2E_DIR/state.txt" || e2e_fail "no state from the simulator"
expect_state() {
  grep -qx -- "$1" "$E2E_DIR/state.txt" || { cat "$E2E_DIR/state.txt" >&2; e2e_fail "the mouse does not hold: $1"; }
}
expect_state "lighting .. effect 1 flag 1 speed [0-7]"   # Button response: effect 1 with the flag
expect_state "slot 1\.2 key .. function [0-9]* .* reaction on type 2"
expect_state "user-colours on cycle-mask 7F"
expect_state "user-colour 2 13 5 0"
e2e_memory_matches_plan || e2e_fail "the mouse's memory differs from the plan"

# The other two effects and the other language, for the eye.
e2e_click "$MAIN" 4   # Chinese
shot lighting_response_cn
e2e_click "$LIGHT" 35
e2e_popup_row MainMenuDlg 10 4   # Flow water
shot lighting_flow_cn
e2e_click "$MAIN" 5
shot lighting_flow_en
e2e_click "$LIGHT" 35
e2e_popup_row MainMenuDlg 10 8   # Ambilight
e2e_click "$MAIN" 4
shot lighting_ambilight_cn
echo "PASS"
