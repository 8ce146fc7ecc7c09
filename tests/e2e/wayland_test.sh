#!/usr/bin/env bash
# The utility on a Wayland compositor: weston's headless backend with its CPU renderer, Qt's
# wayland platform, the simulated mouse at a socket.
#
# The real quillet: it starts on Wayland and is shown with its shape (the corners outside the
# mask show the desktop's colour in weston's own screenshot), a second start hands over to it
# and ends, SIGTERM ends it with HostExit and exit status 0.
# The pages, Apply and Close: weston's headless backend has no input devices and no protocol to
# inject any, so these run in wayland_driver, which builds the utility as main() does and
# delivers the clicks to the window through Qt; the screenshots between the steps are weston's,
# the memory written is the simulator's. What input through the compositor would add (the
# input region, the compositor's move for a drag by an empty spot) is not checked here.
#   wayland_test.sh BIN_DIR DRIVER
set -euo pipefail
source "$(dirname "$0")/lib.sh"

e2e_init "$1"
driver="$2"
plugin_dir="$(find /usr/lib -path '*qt6/plugins/platforms' -type d 2>/dev/null | head -n1)"
if ! command -v weston >/dev/null || ! command -v weston-screenshooter >/dev/null ||
    ! ls "$plugin_dir"/libqwayland-*.so >/dev/null 2>&1; then
  echo "SKIP: weston or Qt's wayland platform is not installed"
  exit 77
fi
e2e_copy_skins

background="#123456"
cat >"$E2E_DIR/weston.ini" <<INI
[core]
idle-time=0
[shell]
background-color=0xff123456
panel-position=none
INI
weston --backend=headless-backend.so --use-pixman --width=1280 --height=800 --socket=quillet-e2e \
  --config="$E2E_DIR/weston.ini" --debug >"$E2E_DIR/weston.log" 2>&1 &
E2E_PIDS="$E2E_PIDS $!"
for _ in $(seq 100); do
  [ -S "$XDG_RUNTIME_DIR/quillet-e2e" ] && break
  sleep 0.1
done
[ -S "$XDG_RUNTIME_DIR/quillet-e2e" ] || { cat "$E2E_DIR/weston.log" >&2; e2e_fail "weston did not start"; }
export WAYLAND_DISPLAY=quillet-e2e QT_QPA_PLATFORM=wayland
unset DISPLAY
# In a sanitizer build: what libwayland-client and Mesa's EGL leave at exit is not ours. Mesa's
# driver is built without frame pointers and unloaded at exit: only the slow unwinder finds the
# EGL frames that the suppression names.
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$(cd "$(dirname "$0")" && pwd)/wayland.lsan.supp"
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}fast_unwind_on_malloc=0"

"$E2E_BIN/quillet-sim" serve --socket "$E2E_DIR/mouse.sock" --log "$E2E_DIR/sim.log" 2>"$E2E_DIR/sim.err" &
E2E_PIDS="$E2E_PIDS $!"
for _ in $(seq 100); do
  [ -S "$E2E_DIR/mouse.sock" ] && break
  sleep 0.1
done
export QUILLET_SIM="$E2E_DIR/mouse.sock"

# weston's screenshot of the whole output, as $E2E_SHOTS/NAME.png.
shot() {
  mkdir -p "$E2E_DIR/take"
  (cd "$E2E_DIR/take" && weston-screenshooter >/dev/null 2>&1) || e2e_fail "weston-screenshooter failed"
  mv "$E2E_DIR/take"/*.png "$E2E_SHOTS/$1.png"
}
pixel() { /usr/bin/convert "$E2E_SHOTS/$1.png" -format "%[hex:p{$2}]" info:; }
host_exits() { grep -c ' SET 07 20' "$E2E_DIR/sim.log" || true; }

# ---- the real quillet ----
"$E2E_BIN/quillet" --skins "$E2E_SKINS" >"$E2E_DIR/quillet.out" 2>"$E2E_DIR/quillet.err" &
E2E_PID=$!
E2E_PIDS="$E2E_PIDS $E2E_PID"
for _ in $(seq 150); do
  grep -q ' GET ' "$E2E_DIR/sim.log" 2>/dev/null && break
  kill -0 "$E2E_PID" 2>/dev/null || e2e_fail "quillet ended at start-up on Wayland"
  sleep 0.1
done
# Where the window is: everything that is not the desktop's colour.
window_box() {
  box="$(/usr/bin/convert "$E2E_SHOTS/start.png" -bordercolor "$background" -border 1 -fuzz 1% -trim -format '%w %h %X %Y' info:)"
  read -r w h x y <<<"$box"
  x=$((x - 1)) y=$((y - 1))
}
corners() {
  echo "$((x + 1)),$((y + 1))" "$((x + w - 2)),$((y + 1))" "$((x + 1)),$((y + h - 2))" "$((x + w - 2)),$((y + h - 2))"
}
# The window is mapped at its size first and gets its shape a frame later: weston's screenshot is
# taken again until the window is whole (the checks below then say what is missing, if anything).
window_whole() {
  local corner
  shot start
  window_box
  [ "$w" = 1000 ] && [ "$h" = 640 ] || return 1
  for corner in $(corners); do
    [ "$(pixel start "$corner")" = 123456 ] || return 1
  done
  [ "$(pixel start "$((x + w / 2)),$((y + h / 2))")" != 123456 ]
}
e2e_wait_for 5 window_whole || true
[ "$w" = 1000 ] && [ "$h" = 640 ] || e2e_fail "the window on screen is ${w}x${h}, not 1000x640"
# The shape: just inside each corner of the window's rectangle the desktop shows through; the
# middle is the window's.
for corner in $(corners); do
  [ "$(pixel start "$corner")" = 123456 ] || e2e_fail "the corner at $corner is not cut by the window's shape"
done
[ "$(pixel start "$((x + w / 2)),$((y + h / 2))")" != 123456 ] || e2e_fail "the window's middle is empty"

"$E2E_BIN/quillet" --skins "$E2E_SKINS" 2>"$E2E_DIR/second.err" || e2e_fail "the second start did not hand over"
kill -0 "$E2E_PID" || e2e_fail "the first instance ended on a second start"
kill -TERM "$E2E_PID"
status=0
wait "$E2E_PID" || status=$?
[ "$status" -eq 0 ] || e2e_fail "SIGTERM ended quillet with $status"
[ "$(host_exits)" -eq 1 ] || e2e_fail "no HostExit at SIGTERM"

# ---- pages, Apply and Close, clicks through Qt ----
coproc DRIVER { "$driver" --skins "$E2E_SKINS" 2>"$E2E_DIR/quillet.err"; }
driver_pid=$DRIVER_PID
expect() {
  local line
  IFS= read -r -t 30 line <&"${DRIVER[0]}" || e2e_fail "the driver said nothing (expected: $1)"
  [[ "$line" =~ ^$1$ ]] || e2e_fail "the driver said '$line', expected '$1'"
  REPLY="$line"
}
next() { echo next >&"${DRIVER[1]}"; }

expect "shown wayland exposed=1 mask=[1-9][0-9]*"
shot driver-shown
next
previous=driver-shown
for page in 0 1 2 3; do
  expect "page $page"
  shot "page$page"
  if [ "$page" -gt 0 ] && cmp -s "$E2E_SHOTS/$previous.png" "$E2E_SHOTS/page$page.png"; then
    e2e_fail "page $page looks like the page before it"
  fi
  previous="page$page"
  next
done
expect "dpi-step 11"
next
expect "applied saved=1"
state="$("$E2E_BIN/quillet-sim" send --socket "$QUILLET_SIM" state)"
grep -q "^dpi 0 code 15 " <<<"$state" || { echo "$state" >&2; e2e_fail "Apply did not reach the mouse"; }
next
status=0
wait "$driver_pid" || status=$?
[ "$status" -eq 0 ] || e2e_fail "Close ended the utility with $status"
[ "$(host_exits)" -eq 2 ] || e2e_fail "no HostExit at Close"
echo PASS
