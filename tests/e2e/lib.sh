# End-to-end test helpers: a virtual display with a notification area, the utility started on a
# temporary copy of the skin folder, and xdotool driving it at coordinates from the layout files.
#
#   source tests/e2e/lib.sh
#   e2e_init BIN_DIR                 scratch folder, private XDG_RUNTIME_DIR and desktop settings
#                                    ($E2E_GSETTINGS), no mouse, cleanup on exit
#   e2e_start_display                Xvfb on a free display (exits 77 when Xvfb is missing), of
#                                    size $E2E_SCREEN (1280x800x24 unless set)
#   e2e_start_tray                   trayer, and waits until it has a window
#   e2e_copy_skins                   $E2E_SKINS: a copy of BIN_DIR/skins, its survey answered
#   e2e_start_quillet [ARGS...]      quillet --skins $E2E_SKINS ARGS; sets $E2E_PID, $E2E_WID
#   e2e_move_to_corner               moves $E2E_WID to the screen's top-left corner, waits until there
#   e2e_region_center FILE KEY       "x y" of a BUTTONPOS region of a layout file
#   e2e_click FILE KEY               moves to a region's centre in the window and clicks
#   e2e_hover FILE KEY               moves there without clicking, for a screenshot of the hover
#   e2e_tray_icon_center            "x y" of the utility's icon in the notification area
#   e2e_screenshot NAME              $E2E_SHOTS/NAME.png of the whole screen
#   e2e_screen_still                 true once two captures of the screen in a row are alike; the
#                                    picture's sum is then in $E2E_SCREEN
#   e2e_screen_differs SUM           true when the screen's picture is not the one of that sum
#   e2e_wait_gone PID SECONDS        true once the process has ended
#   e2e_app_windows                  how many windows of the utility are visible
#   e2e_windows_above N / e2e_windows_at_most N  true when that many are visible
#   e2e_wait_window_visible / e2e_wait_window_hidden SECONDS
#   e2e_start_sim                    quillet-sim serve at $SOCKET, log $SIMLOG; QUILLET_SIM set
#   e2e_wait_for SECONDS COMMAND...  true once COMMAND succeeds, polled every 0.05 s
#   e2e_wait_popup TITLE SECONDS     $E2E_POPUP: the visible window of that title
#   e2e_wait_popup_gone TITLE SECONDS  true once no window of that title is visible
#   e2e_has_focus WID                true when that window has the keyboard focus
#   e2e_popup_row TITLE ROWS ROW     clicks row ROW of the popup of ROWS equal rows, waits until it
#                                    has closed
#   e2e_memory_matches_plan          the mouse's memory holds what quilletctl plan prints
#   e2e_ini_is FILE SECTION KEY VALUE  true when the key of that section holds exactly VALUE
# Failures call e2e_fail, which prints the utility's stderr and exits 1.

E2E_TITLE="K736 Gaming mouse"

e2e_fail() {
  echo "FAIL: $*" >&2
  if [ -n "${E2E_DIR:-}" ] && [ -f "$E2E_DIR/quillet.err" ]; then
    echo "--- quillet stderr ---" >&2
    cat "$E2E_DIR/quillet.err" >&2
  fi
  exit 1
}

e2e_cleanup() {
  local pid
  for pid in ${E2E_PIDS:-}; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in ${E2E_PIDS:-}; do
    wait "$pid" 2>/dev/null || true
  done
  if [ -n "${E2E_DIR:-}" ] && [ -z "${E2E_KEEP:-}" ]; then
    rm -rf "$E2E_DIR"
  fi
}

e2e_init() {
  E2E_BIN="$1"
  E2E_DIR="$(mktemp -d "${TMPDIR:-/tmp}/quillet-e2e-XXXXXX")"
  E2E_PIDS=""
  E2E_SHOTS="${E2E_SHOTS:-$E2E_DIR/shots}"
  mkdir -p "$E2E_SHOTS" "$E2E_DIR/runtime"
  chmod 700 "$E2E_DIR/runtime"
  export XDG_RUNTIME_DIR="$E2E_DIR/runtime"
  export XDG_CONFIG_HOME="$E2E_DIR/config"
  # The same desktop whatever session runs the tests, with its mouse settings in a GSettings key
  # file under XDG_CONFIG_HOME: Apply sets the pointer speed there, never the tester's own.
  export XDG_CURRENT_DESKTOP=GNOME GSETTINGS_BACKEND=keyfile
  E2E_GSETTINGS="$XDG_CONFIG_HOME/glib-2.0/settings/keyfile"
  # A session bus that nobody serves: the tray icon goes to the test's notification area, never
  # to the tester's panel, and no bus is started on the fly (it would leave ~/.dbus behind).
  export DBUS_SESSION_BUS_ADDRESS="unix:path=$E2E_DIR/runtime/no-session-bus"
  # No mouse unless a test serves the simulated one (e2e_start_sim): never the one plugged in.
  export QUILLET_SIM="$E2E_DIR/no-mouse.sock"
  # Messages go to stderr instead of waiting in a message box for a click.
  export QUILLET_MESSAGES=stderr
  unset QT_QPA_PLATFORM WAYLAND_DISPLAY
  trap e2e_cleanup EXIT
}

e2e_start_display() {
  if ! command -v Xvfb >/dev/null || ! command -v xdotool >/dev/null; then
    echo "SKIP: Xvfb or xdotool is not installed"
    exit 77
  fi
  local fifo="$E2E_DIR/displayfd"
  mkfifo "$fifo"
  # -noreset: by default the server starts afresh whenever its last client leaves, and refuses
  # connections meanwhile; with no pause between the steps, a start of the utility right after
  # the end of the one before (and no other client) could come in that moment.
  Xvfb -displayfd 3 -screen 0 "${E2E_SCREEN:-1280x800x24}" -nolisten tcp -noreset 3>"$fifo" 2>"$E2E_DIR/xvfb.err" &
  E2E_PIDS="$E2E_PIDS $!"
  local display
  read -r -t 10 display <"$fifo" || e2e_fail "Xvfb did not start"
  export DISPLAY=":$display"
}

e2e_start_tray() {
  command -v trayer >/dev/null || e2e_fail "trayer is not installed"
  local i pid="" starts=0
  # Up to 15 s: a loaded machine can take a while to map the panel. Now and then trayer cannot
  # open a display that has just started and gives up at once: it is started again.
  for i in $(seq 150); do
    if [ -z "$pid" ] || ! kill -0 "$pid" 2>/dev/null; then
      [ "$starts" -lt 3 ] || break
      starts=$((starts + 1))
      trayer --edge bottom --align right --widthtype pixel --width 120 --height 32 >>"$E2E_DIR/trayer.log" 2>&1 &
      pid=$!
      E2E_PIDS="$E2E_PIDS $pid"
    fi
    if xdotool search --class trayer >/dev/null 2>&1; then
      return 0
    fi
    sleep 0.1
  done
  e2e_fail "trayer did not start: $(cat "$E2E_DIR/trayer.log")"
}

e2e_copy_skins() {
  E2E_SKINS="$E2E_DIR/skins"
  cp -r "$E2E_BIN/skins" "$E2E_SKINS"
  # The survey counts as answered, so that the utility starts straight at its main window.
  printf '[UserInfo]\nLogin=Yes\n' >"$E2E_SKINS/config/ConfigFile.ini"
}

e2e_find_window() {
  xdotool search --onlyvisible --name "^$E2E_TITLE\$" 2>/dev/null | head -n1
}

e2e_wait_window_visible() {
  local i
  for i in $(seq $(( ${1:-10} * 10 ))); do
    E2E_WID="$(e2e_find_window)"
    if [ -n "$E2E_WID" ]; then
      return 0
    fi
    sleep 0.1
  done
  return 1
}

e2e_wait_window_hidden() {
  local i
  for i in $(seq $(( ${1:-10} * 10 ))); do
    if [ -z "$(e2e_find_window)" ]; then
      return 0
    fi
    sleep 0.1
  done
  return 1
}

e2e_start_quillet() {
  "$E2E_BIN/quillet" --skins "$E2E_SKINS" "$@" >"$E2E_DIR/quillet.out" 2>"$E2E_DIR/quillet.err" &
  E2E_PID=$!
  E2E_PIDS="$E2E_PIDS $E2E_PID"
  e2e_wait_window_visible 15 || e2e_fail "the window did not appear"
  e2e_move_to_corner
}

e2e_window_at_corner() {
  [ "$(xdotool getwindowgeometry --shell "$E2E_WID" 2>/dev/null | grep -cx -e X=0 -e Y=0)" = 2 ]
}

# The window at the top-left corner, so that screen and window coordinates agree. The utility
# hears of the move before any input sent after it.
e2e_move_to_corner() {
  xdotool windowmove "$E2E_WID" 0 0
  e2e_wait_for 5 e2e_window_at_corner || e2e_fail "the window did not move to the corner"
}

# The centre of region KEY of [BUTTONPOS] in FILE (relative to the skin folder).
e2e_region_center() {
  awk -F'[=,]' -v key="$2" '
    /^\[/ { section = $0; next }
    section == "[BUTTONPOS]" && $1 == key { printf "%d %d\n", $3 + $5 / 2, $4 + $6 / 2; found = 1; exit }
    END { if (!found) exit 1 }' "$E2E_SKINS/$1"
}

e2e_hover() {
  local xy
  xy="$(e2e_region_center "$1" "$2")" || e2e_fail "no region $2 in $1"
  # shellcheck disable=SC2086
  xdotool mousemove --window "$E2E_WID" $xy
  # The hover's picture is painted a frame later, and nothing outside the window tells when: a
  # screenshot waits this long for it. (A click needs no such pause: see e2e_click.)
  sleep 0.2
}

# The X server hands the utility the move and the click in order, after all input sent before
# them: no pause between them, nor after. What a click starts is waited for where it matters.
e2e_click() {
  local xy
  xy="$(e2e_region_center "$1" "$2")" || e2e_fail "no region $2 in $1"
  # shellcheck disable=SC2086
  xdotool mousemove --window "$E2E_WID" $xy click 1
}

# "x y" of the centre of the utility's icon in the notification area: the utility's own window
# that trayer has embedded (the only one besides the main window with the utility's class).
e2e_tray_icon_center() {
  xwininfo -root -tree | awk '/\("quillet" "Quillet"\)/ && !/K736/ {
      split($(NF-1), size, "[x+]"); split($NF, abs, "+");
      printf "%d %d\n", abs[2] + size[1] / 2, abs[3] + size[2] / 2; found = 1; exit }
    END { if (!found) exit 1 }'
}

e2e_screenshot() {
  /usr/bin/import -window root "$E2E_SHOTS/$1.png"
}

# The pixels of the screen, as a sum (a PNG file also holds its time of writing).
e2e_screen_sum() {
  /usr/bin/import -window root rgb:- | md5sum
}

# A repaint under way has landed: two captures of the screen, 0.1 s apart, are alike.
e2e_screen_still() {
  local now _
  E2E_SCREEN="$(e2e_screen_sum)"
  for _ in $(seq 50); do
    sleep 0.1
    now="$(e2e_screen_sum)"
    [ "$now" = "$E2E_SCREEN" ] && return 0
    E2E_SCREEN="$now"
  done
  return 1
}

e2e_screen_differs() {
  [ "$(e2e_screen_sum)" != "$1" ]
}

e2e_wait_gone() {
  local i
  for i in $(seq $(( ${2:-10} * 10 ))); do
    if ! kill -0 "$1" 2>/dev/null; then
      wait "$1" 2>/dev/null
      return 0
    fi
    sleep 0.1
  done
  return 1
}

e2e_app_windows() {
  xdotool search --onlyvisible --class quillet 2>/dev/null | wc -l
}
e2e_windows_above() { [ "$(e2e_app_windows)" -gt "$1" ]; }
e2e_windows_at_most() { [ "$(e2e_app_windows)" -le "$1" ]; }

e2e_start_sim() {
  SOCKET="$E2E_DIR/sim.sock"
  SIMLOG="$E2E_DIR/sim.log"
  "$E2E_BIN/quillet-sim" serve --socket "$SOCKET" --log "$SIMLOG" 2>"$E2E_DIR/sim.err" &
  E2E_PIDS="$E2E_PIDS $!"
  e2e_wait_for 5 test -S "$SOCKET" || e2e_fail "the simulator did not start"
  export QUILLET_SIM="$SOCKET"
}

e2e_wait_for() {
  local seconds="$1" i
  shift
  for i in $(seq $(( seconds * 20 ))); do
    if "$@"; then
      return 0
    fi
    sleep 0.05
  done
  return 1
}

e2e_find_popup() {
  E2E_POPUP="$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1)"
  [ -n "$E2E_POPUP" ]
}

e2e_wait_popup() {
  e2e_wait_for "${2:-5}" e2e_find_popup "$1"
}

e2e_popup_gone() {
  ! xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1
}

e2e_wait_popup_gone() {
  e2e_wait_for "${2:-5}" e2e_popup_gone "$1"
}

e2e_has_focus() {
  [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]
}

e2e_popup_row() {
  e2e_wait_popup "$1" 5 || e2e_fail "no $1 window"
  local x y w h
  eval "$(xdotool getwindowgeometry --shell "$E2E_POPUP" | sed -n 's/^X=/x=/p; s/^Y=/y=/p; s/^WIDTH=/w=/p; s/^HEIGHT=/h=/p')"
  xdotool mousemove $(( x + w / 2 )) $(( y + (2 * $3 - 1) * h / (2 * $2) )) click 1
  e2e_wait_popup_gone "$1" 5 || e2e_fail "the $1 window stayed open after a click on row $3"
}

# Every byte the plan of the saved settings writes must be in the mouse's memory, and every other
# byte 0, as in a fresh mouse.
e2e_memory_matches_plan() {
  "$E2E_BIN/quilletctl" --skins "$E2E_SKINS" plan >"$E2E_DIR/plan.txt" 2>"$E2E_DIR/plan.err" ||
    e2e_fail "quilletctl plan failed: $(cat "$E2E_DIR/plan.err")"
  "$E2E_BIN/quillet-sim" send --socket "$SOCKET" dump >"$E2E_DIR/dump.txt" || e2e_fail "no dump from the simulator"
  awk '
    function hex(s,   v, i) { v = 0; for (i = 1; i <= length(s); i++) v = v * 16 + index("0123456789ABCDEF", substr(s, i, 1)) - 1; return v }
    FNR == NR && $1 == "block" { a = hex($2); for (i = 3; i <= NF; i++) want[a + i - 3] = $i; next }
    FNR != NR { a = hex(substr($1, 1, 4)); for (i = 2; i <= NF; i++) {
        addr = a + i - 2; expect = (addr in want) ? want[addr] : "00"
        if ($i != expect) { printf "memory %04X is %s, the plan says %s\n", addr, $i, expect; bad = 1 }
        seen[addr] = 1 } }
    END { for (addr in want) if (!(addr in seen)) { printf "%04X not in the dump\n", addr; bad = 1 }; exit bad }
  ' "$E2E_DIR/plan.txt" "$E2E_DIR/dump.txt" >&2
}

e2e_ini_is() {
  awk -F= -v section="[$2]" -v key="$3" -v value="$4" '
    /^\[/ { inside = ($0 == section); next }
    inside && $1 == key { found = ($2 == value); exit }
    END { exit !found }' "$1"
}
