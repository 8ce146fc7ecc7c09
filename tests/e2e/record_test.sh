#!/usr/bin/env bash
# Recording under Xvfb with real X key events: a new macro is recorded while a second program on
# the display has the input focus; XTEST plays a letter held 300 ms, a letter held past the
# auto-repeat delay, Return, Escape, the left and right Shift, F13 and keypad 1, by their key
# codes; the recording is stopped and the page left (which saves it). The group file must hold
# exactly those keys, in that order, with the pauses played, and the second program must have
# received none of them, also after the tray icon's menu was opened and closed while recording;
# after the recording it gets its keys again. Before that, while a third program holds the
# keyboard, the Record button must say so and record nothing.
#   record_test.sh BIN_DIR TOOLS_DIR
set -euo pipefail
source "$(dirname "$0")/lib.sh"

TOOLS="$2"
if [ ! -x "$TOOLS/xtest_keys" ] || [ ! -x "$TOOLS/x_key_watch" ]; then
  echo "SKIP: the X key tools are not built"
  exit 77
fi
e2e_init "$1"
e2e_start_display
e2e_start_tray
e2e_copy_skins
e2e_start_sim

MAIN=INI_EN/skin_main_en.ini
MAC=INI_EN/skin_mac_en.ini
GROUP="$E2E_SKINS/INI_EN/macro/Office.dat"
e2e_start_quillet

# The second program, which has the focus while the keys are played.
mkfifo "$E2E_DIR/watch.fifo"
"$TOOLS/x_key_watch" >"$E2E_DIR/watch.fifo" 2>"$E2E_DIR/watch.err" &
WATCH_PID=$!
E2E_PIDS="$E2E_PIDS $WATCH_PID"
exec 4<"$E2E_DIR/watch.fifo"
read -r -t 10 line <&4 && [ "$line" = ready ] || e2e_fail "the key watcher did not start: $(cat "$E2E_DIR/watch.err")"
cat <&4 >"$E2E_DIR/watch.txt" &
E2E_PIDS="$E2E_PIDS $!"
WATCH_WID="$(xdotool search --onlyvisible --name '^KeyWatch$' | head -n1)"
[ -n "$WATCH_WID" ] || e2e_fail "no KeyWatch window"

# A new macro on the macro page, named in place.
e2e_click "$MAIN" 8
e2e_click "$MAC" 6        # its name is edited at once
xdotool type --delay 50 Rec
xdotool key Return

# Another program holds the keyboard: the recording does not start, and the utility says why.
"$TOOLS/x_key_watch" --grab >"$E2E_DIR/grabber.txt" 2>"$E2E_DIR/grabber.err" &
GRABBER_PID=$!
E2E_PIDS="$E2E_PIDS $GRABBER_PID"
e2e_wait_for 10 grep -q '^ready$' "$E2E_DIR/grabber.txt" || e2e_fail "the grabbing client did not start: $(cat "$E2E_DIR/grabber.err")"
e2e_click "$MAC" 5
# The end-to-end runs have their messages on stderr (QUILLET_MESSAGES=stderr).
e2e_wait_for 5 grep -q "^Another program holds the keyboard: recording cannot start.$" "$E2E_DIR/quillet.err" ||
  e2e_fail "no message while another program holds the keyboard"
kill "$GRABBER_PID"
e2e_wait_gone "$GRABBER_PID" 5 || e2e_fail "the grabbing client did not end"
# Had the refused click started a recording, the next click would end it, and the keys played
# below would be missing from the macro.

e2e_click "$MAC" 5        # record
# The tray icon's menu, opened and closed while recording, takes the keyboard while it is open;
# it must come back to the recording.
icon="$(e2e_tray_icon_center)" || e2e_fail "no icon in the notification area"
windows="$(e2e_app_windows)"
# shellcheck disable=SC2086
xdotool mousemove $icon click 3
e2e_wait_for 5 e2e_windows_above "$windows" || e2e_fail "the tray icon's menu did not open"
e2e_screen_still || e2e_fail "the screen did not settle"
e2e_screenshot record_tray_menu
xdotool mousemove 640 720 click 1
e2e_wait_for 5 e2e_windows_at_most "$windows" || e2e_fail "the tray icon's menu did not close"
xdotool windowfocus --sync "$WATCH_WID" 2>/dev/null || true
# X key codes (evdev + 8): a 38, b 56, Return 36, Escape 9, Shift_L 50, Shift_R 62, F13 191, KP_1 87.
"$TOOLS/xtest_keys" down:38 sleep:300 up:38 sleep:120 \
  down:56 sleep:1000 up:56 sleep:120 \
  down:36 sleep:40 up:36 sleep:120 \
  down:9 sleep:40 up:9 sleep:120 \
  down:50 sleep:60 down:62 sleep:60 up:62 sleep:60 up:50 sleep:120 \
  down:191 sleep:40 up:191 sleep:120 \
  down:87 sleep:40 up:87 || e2e_fail "XTEST refused the keys"
e2e_screen_still || e2e_fail "the screen did not settle"
e2e_screenshot record_recording
e2e_click "$MAC" 5        # stop
e2e_click "$MAIN" 6       # leaving the page saves the macro
e2e_wait_for 5 grep -q '^macroNum=9' "$GROUP" || e2e_fail "leaving the page did not save the recorded macro"

"$E2E_BIN/quilletctl" --skins "$E2E_SKINS" macros "$GROUP" >"$E2E_DIR/macros.txt"
awk '/^macro 8 / { on = 1; print; next } /^macro / { on = 0 } on' "$E2E_DIR/macros.txt" >"$E2E_DIR/recorded.txt"
grep -q 'macro 8 "Rec": play mode 0, loop count 1, 16 steps' "$E2E_DIR/recorded.txt" ||
  e2e_fail "the recording is not 16 steps: $(cat "$E2E_DIR/recorded.txt")"
# type code delay: the codes in memory (keyboard usages); each pause as played, within 25 ms
# (the last step lets go after 20 ms).
cat >"$E2E_DIR/expected.txt" <<'STEPS'
1 4 300
2 4 120
1 5 1000
2 5 120
1 40 40
2 40 120
1 41 40
2 41 120
1 225 60
1 229 60
2 229 60
2 225 120
1 104 40
2 104 120
1 89 40
2 89 20
STEPS
awk '/^  step / { print $4, $6, $12 }' "$E2E_DIR/recorded.txt" >"$E2E_DIR/steps.txt"
awk 'NR == FNR { want[FNR] = $0; n = FNR; next }
  { split(want[FNR], w, " ");
    if ($1 != w[1] || $2 != w[2]) { printf "step %d is type %s code %s, played type %s code %s\n", FNR - 1, $1, $2, w[1], w[2]; bad = 1 }
    else if ($3 < w[3] - 5 || $3 > w[3] + 25) { printf "step %d waits %s ms, played %s ms\n", FNR - 1, $3, w[3]; bad = 1 } }
  END { if (FNR != n) { printf "%d steps, played %d\n", FNR, n; bad = 1 }; exit bad }' \
  "$E2E_DIR/expected.txt" "$E2E_DIR/steps.txt" >&2 || e2e_fail "the recording differs from what was played: $(cat "$E2E_DIR/recorded.txt")"

# Nothing reached the second program while recording; afterwards its keys are its own again.
[ ! -s "$E2E_DIR/watch.txt" ] || e2e_fail "the second program received keys while recording: $(cat "$E2E_DIR/watch.txt")"
xdotool windowfocus --sync "$WATCH_WID" 2>/dev/null || true
"$TOOLS/xtest_keys" tap:38 || e2e_fail "XTEST refused the key"
e2e_wait_for 5 grep -q '^press 38$' "$E2E_DIR/watch.txt" || e2e_fail "the keyboard was not given back after the recording"
echo "PASS"
