#!/usr/bin/env bash
# The macro page on the simulated mouse at a socket: a new macro named in place; from the step
# list's menu a left-button press and release twice, the first pair turned into the key A by
# editing their lines; a pause step of 300 ms; the page left (which saves it); the macro given
# to button 4 through the function list's macro menu; Apply; then a click of button 4 on the
# mouse plays exactly those steps.
#   macro_test.sh BIN_DIR
set -euo pipefail
source "$(dirname "$0")/lib.sh"

e2e_init "$1"
e2e_start_display
e2e_start_tray
e2e_copy_skins
e2e_start_sim

MAIN=INI_EN/skin_main_en.ini
MAC=INI_EN/skin_mac_en.ini
CONFIG="$E2E_SKINS/config/config.ini"
GROUP="$E2E_SKINS/INI_EN/macro/Office.dat"
e2e_start_quillet
grep -q "Please plug-in" "$E2E_DIR/quillet.err" && e2e_fail "the window did not find the simulated mouse"

# The step list's first line, from the layout ([MACRODISPLAY] 2): a little inside its top left.
read -r LIST_X LIST_Y < <(awk -F'[=,]' '/^\[/ { s = $0; next } s == "[MACRODISPLAY]" && $1 == 2 { print $3 + 30, $4 + 8 }' \
  "$E2E_SKINS/$MAC")
menu_wait() { e2e_wait_popup "宏编辑" 5 || e2e_fail "the step list's menu did not open"; }
menu_gone() { e2e_wait_for 3 bash -c '! xdotool search --onlyvisible --name "^宏编辑$" >/dev/null'; }
# Opens the step list's menu over its first line and walks it with the keyboard: the keys given.
# Keys and clicks reach the utility in the order they are sent: no pause between them.
menu_keys() {
  xdotool mousemove "$LIST_X" "$LIST_Y" click 3
  menu_wait
  xdotool key --delay 30 "$@"
  menu_gone || e2e_fail "the menu stayed open after $*"
}
# Selects line N of the step list: the first line clicked, then N times Down.
select_line() {
  xdotool mousemove "$LIST_X" "$LIST_Y" click 1
  if [ "$1" -gt 0 ]; then
    xdotool key --delay 30 $(printf 'Down %.0s' $(seq "$1"))
  fi
}
# The menu's items, top to bottom: 1 Insert before, 2 Insert after, 3 Insert XY, 4 Insert CPI,
# 5 Insert LED, 6 Insert [delay], 7 Change parameters, 8 Modifiy delay, 9 Delete option.
down() { printf 'Down %.0s' $(seq "$1"); }

e2e_click "$MAIN" 8
e2e_click "$MAC" 6        # New macro: its name is edited at once
xdotool type --delay 50 Combo
xdotool key Return

menu_keys $(down 2) Right Right Return          # after → left button → ↓
menu_keys $(down 2) Right Right Down Return     # after → left button → ↑
menu_keys $(down 2) Right Right Return
menu_keys $(down 2) Right Right Down Return
for line in 0 2; do                             # the first press and release become A
  select_line "$line"
  menu_keys $(down 7) Return
  xdotool type --delay 50 A
  xdotool key Return
done
select_line 2
menu_keys $(down 6) Return                      # a pause step after the release of A
select_line 5
menu_keys $(down 8) Return                      # its delay
xdotool type --delay 50 300
xdotool key Return
select_line 3
e2e_screenshot macro_open
xdotool mousemove "$LIST_X" "$LIST_Y" click 3
menu_wait
windows="$(e2e_app_windows)"
xdotool key Down Down Right
e2e_wait_for 5 e2e_windows_above "$windows" || e2e_fail "Right did not open the sub-menu"
e2e_screen_still || e2e_fail "the screen did not settle"
e2e_screenshot macro_menu
xdotool key Escape Escape
menu_gone || e2e_fail "Escape left the menu open"

# Leaving the page saves the macro into its group: the ninth of Office.
e2e_click "$MAIN" 6
e2e_wait_for 5 grep -q '^macroNum=9' "$GROUP" || e2e_fail "leaving the page did not save the new macro"
"$E2E_BIN/quilletctl" --skins "$E2E_SKINS" macros "$GROUP" >"$E2E_DIR/macros.txt"
grep -q 'macro 8 "Combo": play mode 0, loop count 1, 5 steps' "$E2E_DIR/macros.txt" ||
  e2e_fail "the saved macro is not the one built: $(cat "$E2E_DIR/macros.txt")"

# Button 4's function list → Macro (row 9) → Office (row 1) → Combo (row 9 of 9).
e2e_click "$MAIN" 24
e2e_wait_popup MainMenuDlg || e2e_fail "the function list did not open"
eval "$(xdotool getwindowgeometry --shell "$E2E_POPUP" | sed -n 's/^X=/mx=/p; s/^Y=/my=/p; s/^WIDTH=/mw=/p; s/^HEIGHT=/mh=/p')"
xdotool mousemove $(( mx + mw / 2 )) $(( my + 17 * mh / 20 ))
e2e_wait_popup SubMenuDlg || e2e_fail "the macro row did not open its groups"
eval "$(xdotool getwindowgeometry --shell "$E2E_POPUP" | sed -n 's/^X=/sx=/p; s/^Y=/sy=/p; s/^WIDTH=/sw=/p; s/^HEIGHT=/sh=/p')"
xdotool mousemove $(( sx + sw / 2 )) $(( sy + sh / 6 ))
e2e_wait_popup MacSelMenuDlg || e2e_fail "the group did not open its macros"
e2e_popup_row MacSelMenuDlg 9 9
e2e_wait_for 3 bash -c '! xdotool search --onlyvisible --name "^MainMenuDlg$" >/dev/null' || e2e_fail "the menus stayed open"

e2e_click "$MAIN" 3
e2e_wait_for 10 e2e_ini_is "$CONFIG" Config1 K4 264 || e2e_fail "Apply did not save the macro on button 4"
e2e_wait_for 5 grep -q " SET 07 18 10 00 00 00 00 00" "$SIMLOG" || e2e_fail "the download did not finish in the mouse"
e2e_memory_matches_plan || e2e_fail "the mouse's memory differs from the plan"

"$E2E_BIN/quillet-sim" send --socket "$SOCKET" click 4 >/dev/null || e2e_fail "the simulator took no click"
e2e_wait_for 5 grep -q "PLAY end button 4" "$SIMLOG" || e2e_fail "button 4 played nothing: $(grep PLAY "$SIMLOG")"
awk '/ PLAY start button 4/ { on = 1; next } on && / PLAY / { sub(/^.* PLAY /, ""); print } / PLAY end button 4/ { exit }' \
  "$SIMLOG" >"$E2E_DIR/played.txt"
printf '%s\n' "key 04 down" "wait 10" "key 04 up" "wait 10" "wait 300" "button left down" "wait 10" "button left up" \
  "wait 10" "end button 4" >"$E2E_DIR/expected.txt"
diff "$E2E_DIR/expected.txt" "$E2E_DIR/played.txt" >&2 || e2e_fail "button 4 did not play the macro as built"
echo "PASS"
