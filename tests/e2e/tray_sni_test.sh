#!/usr/bin/env bash
# The notification area of today's desktops: a StatusNotifierItem host (sni_watcher, on the
# test's private session bus) and no XEmbed tray. The start at login (--tray) goes straight into
# it without showing the window; the host's Activate (a click on the icon: such hosts have no
# double-click) brings the window back, also after the window's own minimise hid it there; Close
# takes the icon away. The real message boxes are kept.
#   tray_sni_test.sh BIN_DIR SNI_WATCHER
set -euo pipefail
source "$(dirname "$0")/lib.sh"

e2e_init "$1"
WATCHER_BIN="$2"
unset QUILLET_MESSAGES
command -v dbus-daemon >/dev/null && command -v dbus-send >/dev/null || { echo "SKIP: no dbus-daemon"; exit 77; }

# ---- a session bus of the test's own, and the host on it ----
BUS="$E2E_DIR/runtime/bus"
dbus-daemon --session --nofork --nopidfile --address="unix:path=$BUS" >"$E2E_DIR/dbus.out" 2>"$E2E_DIR/dbus.err" &
E2E_PIDS="$E2E_PIDS $!"
e2e_wait_for 10 test -S "$BUS" || e2e_fail "dbus-daemon did not start: $(cat "$E2E_DIR/dbus.err")"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$BUS"
WATCHLOG="$E2E_DIR/watcher.log"
"$WATCHER_BIN" >"$WATCHLOG" 2>"$E2E_DIR/watcher.err" &
E2E_PIDS="$E2E_PIDS $!"
e2e_wait_for 10 grep -qx watching "$WATCHLOG" || e2e_fail "sni_watcher did not start: $(cat "$E2E_DIR/watcher.err")"

e2e_start_display
e2e_copy_skins
e2e_start_sim
MAIN=INI_EN/skin_main_en.ini

item_service() { sed -n 's/^item //p' "$WATCHLOG" | tail -n1; }
has_item() { [ -n "$(item_service)" ]; }
activate() {  # a click on the icon, as the host reports it
  dbus-send --session --type=method_call --dest="$(item_service)" /StatusNotifierItem \
    org.kde.StatusNotifierItem.Activate int32:0 int32:0 || e2e_fail "the icon does not take Activate"
}

# ---- the start at login: hidden in the notification area ----
"$E2E_BIN/quillet" --skins "$E2E_SKINS" --tray >"$E2E_DIR/quillet.out" 2>"$E2E_DIR/quillet.err" &
E2E_PID=$!
E2E_PIDS="$E2E_PIDS $E2E_PID"
e2e_wait_for 15 has_item || e2e_fail "no icon registered with the StatusNotifierItem host"
e2e_wait_for 15 grep -q " GET " "$SIMLOG" || e2e_fail "the start-up did not read the mouse"
e2e_wait_window_hidden 5 || e2e_fail "--tray showed the window"
[ -z "$(xdotool search --onlyvisible --class quillet 2>/dev/null || true)" ] ||
  e2e_fail "--tray left a window of the utility on screen"

activate
e2e_wait_window_visible 5 || e2e_fail "Activate on the icon did not bring the window back"
e2e_move_to_corner

# ---- the window's own minimise hides it there, and a click brings it back again ----
e2e_click "$MAIN" 0
e2e_wait_window_hidden 5 || e2e_fail "minimise did not hide the window to the StatusNotifierItem host"
[ "$(grep -c '^item ' "$WATCHLOG")" -eq 1 ] || e2e_fail "the icon registered more than once"
activate
e2e_wait_window_visible 5 || e2e_fail "Activate did not bring the minimised window back"
e2e_move_to_corner

# ---- Close: the process ends and the icon goes ----
service="$(item_service)"
e2e_click "$MAIN" 1
e2e_wait_gone "$E2E_PID" 10 || e2e_fail "Close did not end the utility"
e2e_wait_for 5 grep -qx "gone $service" "$WATCHLOG" || e2e_fail "the icon stayed with the host"
grep -q " SET 07 20" "$SIMLOG" || e2e_fail "no HostExit at Close"
echo "PASS"
