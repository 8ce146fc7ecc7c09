#!/usr/bin/env bash
# Signals while a loop of its own runs over the event loop, with the real message boxes: the
# "Please plug-in" box at a start without the mouse, the survey form, the window's context menu.
# SIGTERM, SIGINT and SIGHUP each end the utility with status 0, as its Close does, and leave the
# single-instance name free: the next start runs instead of handing over to a process that stays.
#   signals_test.sh BIN_DIR
set -euo pipefail
source "$(dirname "$0")/lib.sh"

e2e_init "$1"
unset QUILLET_MESSAGES  # the real message boxes
e2e_start_display
e2e_copy_skins

# Message boxes are captioned with the application's name.
find_box() {
  E2E_BOX="$(xdotool search --onlyvisible --name '^Quillet$' 2>/dev/null | head -n1 || true)"
  [ -n "$E2E_BOX" ]
}

find_form() { [ -n "$(xdotool search --onlyvisible --name '^CDialogLogin$' 2>/dev/null | head -n1 || true)" ]; }
# A window of the utility besides the main window: the context menu.
find_menu() {
  [ -n "$(xdotool search --onlyvisible --class quillet 2>/dev/null | grep -vx "$E2E_WID" | head -n1 || true)" ]
}

start_bare() {
  "$E2E_BIN/quillet" --skins "$E2E_SKINS" >"$E2E_DIR/quillet.out" 2>"$E2E_DIR/quillet.err" &
  E2E_PID=$!
  E2E_PIDS="$E2E_PIDS $E2E_PID"
}

# Ends E2E_PID with signal $1 and expects status 0.
end_with() {
  kill "-$1" "$E2E_PID"
  e2e_wait_gone "$E2E_PID" 10 || e2e_fail "SIG$1 did not end the utility ($2)"
  local status=0
  wait "$E2E_PID" 2>/dev/null || status=$?
  [ "$status" -eq 0 ] || e2e_fail "SIG$1 ended the utility with status $status ($2)"
}

# ---- the no-mouse message box at start-up ----
for sig in TERM INT HUP; do
  start_bare
  e2e_wait_for 15 find_box || e2e_fail "no message box without the mouse"
  [ -z "$(e2e_find_window)" ] || e2e_fail "the main window shows before the box is answered"
  end_with "$sig" "no-mouse box"
done
# The name is free: this start is the first one, shows its box again and does not hand over.
start_bare
e2e_wait_for 15 find_box || e2e_fail "the start after a signal handed over to a process that stayed"
kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "the start after a signal ended"
end_with TERM "second no-mouse box"

# ---- the survey form ----
cp "$E2E_BIN/skins/config/ConfigFile.ini" "$E2E_SKINS/config/ConfigFile.ini"
start_bare
e2e_wait_for 15 find_form || e2e_fail "the survey form did not appear"
end_with TERM "survey form"
printf '[UserInfo]\nLogin=Yes\n' >"$E2E_SKINS/config/ConfigFile.ini"

# ---- a menu over the running window, the mouse present ----
e2e_start_sim
e2e_start_quillet
xdotool mousemove --window "$E2E_WID" 5 5 click 3
e2e_wait_for 5 find_menu || e2e_fail "the context menu did not open"
end_with TERM "context menu"
grep -q " SET 07 20" "$SIMLOG" || e2e_fail "no HostExit when a signal ended the utility in a menu"
echo "PASS"
