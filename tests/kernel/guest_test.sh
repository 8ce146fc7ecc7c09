# The kernel tests' items, run inside the guest (sourced by the script kernel_test.sh writes):
# quillet-sim uhid makes the mouse a HID device of the guest's kernel, and the utility finds it
# through hidapi, sysfs and udev as on a desktop.
#
# Set by the caller: BIN (the build's bin folder), SRC (the source tree), LAYOUT (split or
# shared), W (the share: items.log and the failures' files end up there).
#
# Each item prints "ok ITEM" or "FAIL ITEM: why" lines into $W/items.log; run_items exits with
# the number of failures (0: all passed).

T=/tmp/quillet-kernel          # the guest's own tmpfs: sockets and logs
PATIENCE=${PATIENCE:-60}       # seconds to wait for what must come (emulation on a busy machine)
ID=18F8:0CC0
failures=0
ITEM=""

say() { echo "$*" | tee -a "$W/items.log"; }

fail() {
  say "FAIL $ITEM: $*"
  failures=$((failures + 1))
  ITEM_FAILED=1
}

# Shows a file of the failed item in the results.
show() {
  [ -f "$1" ] && { say "--- $1:"; tail -n "${2:-40}" "$1" | tee -a "$W/items.log" >/dev/null; }
}

# Waiting without forking: under emulation every process started costs the guest's only
# processor what the programs under test need. nap sleeps on a pipe nobody writes to; contains
# reads a file with the shell's own read.
nap() { read -r -t "${1:-0.1}" -u "$NAP_FD" || true; }

contains() {  # FILE TEXT
  local line
  [ -f "$1" ] || return 1
  while IFS= read -r line || [ -n "$line" ]; do
    [[ $line == *"$2"* ]] && return 0
  done <"$1"
  return 1
}

# count_sets FILE: the feature reports the mouse's log shows, into SETS.
count_sets() {
  local line
  SETS=0
  while IFS= read -r line; do
    [[ $line == *" SET "* ]] && SETS=$((SETS + 1))
  done <"$1"
}

# wait_for FILE TEXT: true once FILE holds the line fragment TEXT.
wait_for() {
  local deadline=$((SECONDS + PATIENCE))
  until contains "$1" "$2"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    nap
  done
}

# wait_gone PID: true once the process has ended (its status in $GONE_STATUS).
wait_gone() {
  local deadline=$((SECONDS + PATIENCE))
  while kill -0 "$1" 2>/dev/null; do
    if [ "$SECONDS" -ge "$deadline" ]; then
      return 1
    fi
    nap
  done
  wait "$1"
  GONE_STATUS=$?
}

# ini_set FILE SECTION KEY VALUE: the key's value in that section, added when missing.
ini_set() {
  awk -v section="[$2]" -v key="$3" -v value="$4" '
    /^\[/ { if (inside && !done) { print key "=" value; done = 1 } inside = ($0 == section) }
    inside && index($0, key "=") == 1 { if (!done) print key "=" value; done = 1; next }
    { print }
    END { if (!done) { if (!inside) print section; print key "=" value } }' "$1" >"$1.new" && mv "$1.new" "$1"
}

ini_get() {
  awk -F= -v section="[$2]" -v key="$3" '/^\[/ { inside = ($0 == section); next } inside && $1 == key { print $2; exit }' "$1"
}

# A copy of the shipped skins with the survey answered.
copy_skins() {
  rm -rf "$1"
  cp -r "$BIN/skins" "$1"
  printf '[UserInfo]\nLogin=Yes\n' >"$1/config/ConfigFile.ini"
}

# The hidraw nodes of the simulated mice into SIM_NODES (/dev/hidrawN each).
find_sim_nodes() {
  local d line
  SIM_NODES=()
  for d in /sys/class/hidraw/hidraw*; do
    [ -e "$d/device/uevent" ] || continue
    while IFS= read -r line; do
      if [[ $line == HID_PHYS=quillet-sim/* ]]; then
        [ -c "/dev/${d##*/}" ] && SIM_NODES+=("/dev/${d##*/}")
        break
      fi
    done <"$d/device/uevent" 2>/dev/null
  done
}

sim_nodes() { find_sim_nodes; printf '%s\n' "${SIM_NODES[@]}"; }

expected_nodes() { if [ "$LAYOUT" = split ]; then echo 3; else echo 2; fi; }

# wait_nodes N: the mouse has N hidraw nodes (with [settle]: and udev has handled them).
wait_nodes() {
  local deadline=$((SECONDS + PATIENCE))
  while find_sim_nodes; [ "${#SIM_NODES[@]}" -ne "$1" ]; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    nap 0.05
  done
  [ "${2:-}" != settle ] || udevadm settle --timeout="$PATIENCE" 2>/dev/null || true
}

sim_start() {
  rm -f "$T/sim.log" "$T/sim.err"
  "$BIN/quillet-sim" uhid --socket "$T/mouse.sock" --log "$T/sim.log" --layout "$LAYOUT" --id "$ID" "$@" \
    2>"$T/sim.err" &
  SIM_PID=$!
  wait_for "$T/sim.err" "serving" || { fail "quillet-sim uhid did not start"; show "$T/sim.err"; return 1; }
  wait_nodes "$(expected_nodes)" settle || { fail "the kernel made no hidraw nodes of the mouse"; show "$T/sim.err"; return 1; }
}

sim_stop() {
  if [ -n "${SIM_PID:-}" ]; then
    kill -TERM "$SIM_PID" 2>/dev/null
    wait "$SIM_PID" 2>/dev/null
    SIM_PID=""
  fi
  wait_nodes 0 || fail "the mouse's nodes outlived quillet-sim"
}

send() { "$BIN/quillet-sim" send --socket "$T/mouse.sock" "$@"; }

ctl() { "$BIN/quilletctl" "$@"; }

# The memory of the mouse against quilletctl plan of the same settings: every planned byte is
# there and nothing else was written.
memory_matches_plan() {  # PLAN DUMP
  awk '
    function hex(s,   v, i) { v = 0; for (i = 1; i <= length(s); i++) v = v * 16 + index("0123456789ABCDEF", substr(s, i, 1)) - 1; return v }
    FNR == NR && $1 == "block" { a = hex($2); for (i = 3; i <= NF; i++) want[a + i - 3] = $i; next }
    FNR != NR { a = hex(substr($1, 1, 4)); for (i = 2; i <= NF; i++) {
        addr = a + i - 2; expect = (addr in want) ? want[addr] : "00"
        if ($i != expect) { printf "memory %04X is %s, the plan says %s\n", addr, $i, expect; bad = 1 }
        seen[addr] = 1 } }
    END { for (addr in want) if (!(addr in seen)) { printf "%04X not in the dump\n", addr; bad = 1 }; exit bad }
  ' "$1" "$2"
}

# The memory writes the mouse's log shows, against the plan: for each planned block, in the
# plan's order, its data reports (07 18 03 i aL aH d m), its commit (07 18 09 00 aL aH 00 m) and
# its end (07 18 00 00 aL aH 00 00); then the Finish (07 18 10) and the end of the download (an
# end at address 0). Prints the first difference.
log_follows_plan() {  # PLAN LOG
  awk '
    function hex(s,   v, i) { v = 0; for (i = 1; i <= length(s); i++) v = v * 16 + index("0123456789ABCDEF", substr(s, i, 1)) - 1; return v }
    function want(line) { expected[++n] = line }
    FNR == NR && $1 == "block" {
      a = hex($2); lo = sprintf("%02X", a % 256); hi = sprintf("%02X", int(a / 256)); last = sprintf("%02X", NF - 3)
      for (i = 3; i <= NF; i++) want(sprintf("07 18 03 %02X %s %s %s %s", i - 3, lo, hi, $i, last))
      want("07 18 09 00 " lo " " hi " 00 " last)
      want("07 18 00 00 " lo " " hi " 00 00")
      next
    }
    FNR == NR && $1 == "finish" { want("07 18 10 00 00 00 00 00"); want("07 18 00 00 00 00 00 00"); next }
    FNR != NR && $2 == "SET" && $3 == "07" && $4 == "18" {
      line = $3; for (i = 4; i <= NF; i++) line = line " " $i
      if (++m > n) { printf "report %d beyond the plan: %s\n", m, line; bad = 1; exit 1 }
      if (line != expected[m]) { printf "report %d is %s, the plan says %s\n", m, line, expected[m]; bad = 1; exit 1 }
    }
    END { if (!bad && m != n) { printf "%d of the %d planned reports reached the mouse\n", m, n; exit 1 } exit bad }
  ' "$1" "$2"
}

# The number of memory-write reports (07 18 ...) that a plan makes.
plan_reports() {
  awk '$1 == "block" { n += NF - 2 + 2 } $1 == "finish" { n += 2 } END { print n }' "$1"
}

# Items -------------------------------------------------------------------------------------

# list finds the two vendor collections with their descriptors' report lengths; status reads the
# profile and the device value. Under two of the five vendor/product pairs.
item_list_status() {
  local id
  for id in 18F8:0CC0 30FA:1030; do
    ID=$id
    sim_start --device-value 5 || return
    ctl list >"$T/list.out" 2>"$T/list.err"
    local rc=$?
    [ "$rc" -eq 0 ] || fail "$id: list exits $rc: $(cat "$T/list.err")"
    local events commands mouse
    events=$(grep " $id usage FF00:0001 input 8 output 0 feature 0$" "$T/list.out")
    commands=$(grep " $id usage FF01:0001 input 0 output 0 feature 8$" "$T/list.out")
    mouse=$(grep " $id usage 0001:0002 input 4 output 0 feature 0$" "$T/list.out")
    [ -n "$events" ] || fail "$id: no event collection of 8-byte input reports"
    [ -n "$commands" ] || fail "$id: no command collection of 8-byte feature reports"
    [ -n "$mouse" ] || fail "$id: no plain mouse collection"
    [ "$(wc -l <"$T/list.out")" -eq 3 ] || fail "$id: list shows other than three collections"
    # The paths are the kernel's nodes of the mouse; one node carries both vendor collections
    # in the shared layout, each its own in the split one.
    local ep=${events%% *} cp=${commands%% *} mp=${mouse%% *}
    sim_nodes | grep -qx "$ep" || fail "$id: the event collection's path $ep is not one of the mouse's nodes"
    sim_nodes | grep -qx "$cp" || fail "$id: the command collection's path $cp is not one of the mouse's nodes"
    if [ "$LAYOUT" = shared ]; then
      [ "$ep" = "$cp" ] || fail "$id: the vendor collections are on two nodes ($ep, $cp) in the shared layout"
    else
      [ "$ep" != "$cp" ] || fail "$id: the vendor collections share a node in the split layout"
    fi
    [ "$mp" != "$ep" ] && [ "$mp" != "$cp" ] || fail "$id: the plain mouse shares a node with a vendor collection"

    ctl status >"$T/status.out" 2>"$T/status.err"
    rc=$?
    [ "$rc" -eq 0 ] || fail "$id: status exits $rc: $(cat "$T/status.err")"
    [ "$(cat "$T/status.out")" = $'profile 1\ndevice-value 5' ] || fail "$id: status says '$(cat "$T/status.out")'"
    send profile 4 >/dev/null
    ctl status >"$T/status.out" 2>"$T/status.err"
    [ "$(head -n 1 "$T/status.out")" = "profile 4" ] || fail "$id: status after a switch says '$(cat "$T/status.out")'"
    grep -q " GET 07 " "$T/sim.log" || fail "$id: the status read never reached the mouse"
    send state >"$T/state.out" 2>&1
    grep -qx "id $id" "$T/state.out" || fail "$id: state says $(head -n 2 "$T/state.out")"
    [ -n "${ITEM_FAILED:-}" ] && { cat "$T/list.out" >>"$W/items.log"; show "$T/sim.log" 20; }
    sim_stop
  done
  ID=18F8:0CC0
}

# apply with a macro on each of eight buttons: the mouse's memory is the plan, and every block's
# data reports, commit and end reached the mouse in the plan's order.
item_apply() {
  local s="$T/skins-apply" k
  copy_skins "$s"
  for k in 0 1 2 3 4 5 6 7; do
    ini_set "$s/config/config.ini" Config2 "K$k" $((256 + k))  # the first group's macros
  done
  ctl --skins "$s" plan >"$T/plan.txt" 2>"$T/plan.err" || { fail "plan fails: $(cat "$T/plan.err")"; return; }
  grep -q '^block' "$T/plan.txt" || { fail "the plan writes nothing"; return; }
  sim_start || return
  XDG_CURRENT_DESKTOP= ctl --skins "$s" apply >"$T/apply.out" 2>"$T/apply.err"
  local rc=$?
  [ "$rc" -eq 0 ] || fail "apply exits $rc: $(cat "$T/apply.err")"
  send dump >"$T/dump.txt" || fail "no dump from the mouse"
  memory_matches_plan "$T/plan.txt" "$T/dump.txt" >"$T/memory.diff" || { fail "the mouse's memory differs from the plan"; show "$T/memory.diff" 10; }
  log_follows_plan "$T/plan.txt" "$T/sim.log" >"$T/log.diff" || { fail "the mouse's log differs from the plan"; show "$T/log.diff" 5; }
  [ -n "${ITEM_FAILED:-}" ] || say "  apply: $(plan_reports "$T/plan.txt") reports"
  for k in 0 1 2 3 4 5 6 7; do
    [ "$(ini_get "$s/config/config.ini" Config2 "K$k")" = $((256 + k)) ] || fail "the save lost button $k's macro"
  done
  sim_stop
}

listen_start() {  # SKINS
  "$BIN/quilletctl" --skins "$1" listen >"$T/listen.out" 2>"$T/listen.err" &
  LISTEN_PID=$!
}

listen_stop() {
  kill -TERM "$LISTEN_PID" 2>/dev/null
  wait_gone "$LISTEN_PID" || { fail "listen did not end on SIGTERM"; kill -KILL "$LISTEN_PID"; return; }
  [ "$GONE_STATUS" -eq 0 ] || fail "listen ended with $GONE_STATUS on SIGTERM"
}

listen_skins() {
  copy_skins "$1"
  # Profile 1: button 3 holds, button 7 mutes, button 5 steps the DPI up; profile 3: button 1
  # turns the volume up.
  ini_set "$1/config/config.ini" Init CurConfig 1
  ini_set "$1/config/config.ini" Config1 K3 40
  ini_set "$1/config/config.ini" Config1 K7 29
  ini_set "$1/config/config.ini" Config1 K5 15
  ini_set "$1/config/config.ini" Config3 K1 25
}

# listen: the hold button, a multimedia button, a DPI button and a profile switched on the mouse.
item_listen() {
  local s="$T/skins-listen"
  listen_skins "$s"
  sim_start || return
  # The DPI button's function reaches the mouse only with a download.
  XDG_CURRENT_DESKTOP= ctl --skins "$s" apply >/dev/null 2>"$T/apply.err" || fail "apply: $(cat "$T/apply.err")"
  listen_start "$s"
  wait_for "$T/listen.err" "mouse found" || { fail "listen did not find the mouse"; show "$T/listen.err"; listen_stop; sim_stop; return; }
  send press 3 >/dev/null
  wait_for "$T/listen.out" "hold pressed button 3" || fail "no hold command for the press"
  send release 3 >/dev/null
  wait_for "$T/listen.out" "hold released button 3" || fail "no hold command for the release"
  send click 7 >/dev/null
  wait_for "$T/listen.out" "consumer 00E2 button 7" || fail "the mute button was not relayed"
  send click 5 >/dev/null
  wait_for "$T/listen.out" "dpi " || fail "the DPI button was not followed"
  local level
  level=$(sed -n 's/^dpi \([0-5]\) profile 1$/\1/p' "$T/listen.out")
  [ -n "$level" ] || fail "the DPI line is not 'dpi L profile 1': $(grep '^dpi' "$T/listen.out")"
  [ -z "$level" ] || wait_for "$s/config/config.ini" "DPI_LEVEL=$level" || fail "DPI_LEVEL $level was not saved"
  send profile 3 >/dev/null
  wait_for "$T/listen.out" "profile 3" || fail "the profile switch was not followed"
  wait_for "$s/config/config.ini" "CurConfig=3" || fail "CurConfig 3 was not saved"
  send click 1 >/dev/null
  wait_for "$T/listen.out" "consumer 00E9 button 1" || fail "profile 3's volume button was not relayed"
  # What went through the kernel to the mouse: the hold commands and the relayed usages.
  local r
  for r in "SET 07 11 02 00 00 00 00 00" "SET 07 11 00 00 00 00 00 00" "SET 07 17 00 E2" "SET 07 17 00 E9"; do
    grep -q "$r" "$T/sim.log" || fail "the mouse never got $r"
  done
  listen_stop
  [ -n "${ITEM_FAILED:-}" ] && { show "$T/listen.out"; show "$T/listen.err"; }
  sim_stop
}

# Hotplug: the mouse destroyed and created again while listen runs; the window started before
# the mouse finds it when it comes and ends when it goes.
item_hotplug() {
  local s="$T/skins-hotplug"
  listen_skins "$s"
  sim_start || return
  listen_start "$s"
  wait_for "$T/listen.err" "mouse found" || { fail "listen did not find the mouse"; show "$T/listen.err"; }
  send unplug >/dev/null
  wait_nodes 0 || fail "the nodes outlived the unplug"
  wait_for "$T/listen.err" "mouse removed" || fail "listen did not see the removal"
  send plug >/dev/null
  wait_nodes "$(expected_nodes)" || fail "no nodes after the plug"
  wait_for "$T/listen.err" "mouse back" || fail "listen did not see the mouse come back"
  send press 3 >/dev/null
  wait_for "$T/listen.out" "hold pressed button 3" || fail "the mouse that came back is not served"
  listen_stop
  [ -n "${ITEM_FAILED:-}" ] && { show "$T/listen.err"; }
  sim_stop

  # The window, started before the mouse: button 3 of its profile 1 holds.
  local q="$T/skins-window"
  listen_skins "$q"
  mkdir -p "$T/runtime" && chmod 700 "$T/runtime"
  QT_QPA_PLATFORM=offscreen QUILLET_MESSAGES=stderr XDG_RUNTIME_DIR="$T/runtime" XDG_CURRENT_DESKTOP= \
    "$BIN/quillet" --skins "$q" >"$T/quillet.out" 2>"$T/quillet.err" &
  local qpid=$!
  wait_for "$T/quillet.err" "Please plug-in" || fail "the window did not say that no mouse is there"
  sim_start || { kill "$qpid"; return; }
  # Found: the window reads the mouse's status, and serves its buttons.
  wait_for "$T/sim.log" " GET 07 " || fail "the window did not take the mouse that arrived"
  send press 3 >/dev/null
  wait_for "$T/sim.log" " SET 07 11 02 00 00 00 00 00" || fail "the window does not serve the mouse that arrived"
  send release 3 >/dev/null
  wait_for "$T/sim.log" " SET 07 11 00 00 00 00 00 00" || fail "the window does not serve the mouse that arrived"
  send unplug >/dev/null
  if wait_gone "$qpid"; then
    [ "$GONE_STATUS" -eq 0 ] || fail "the window ended with $GONE_STATUS when the mouse went"
  else
    fail "the window outlived the mouse's removal"
    kill -KILL "$qpid"
  fi
  [ -n "${ITEM_FAILED:-}" ] && { show "$T/quillet.err"; show "$T/sim.log" 10; }
  sim_stop
}

# The report counts after which the sweep cuts a download of TOTAL reports. Under emulation a
# cut costs seconds, so the sweep takes the boundaries of the first block (a one-byte block:
# data report, commit, end), those around the second (its first data report, its last, commit
# and end), the last three (before the Finish, between it and the end of the download, after
# everything), and every 23rd in between (23 is prime to a block's ten reports, so these cuts
# fall on every kind of boundary), from another start in each layout. SWEEP_ALL=1 takes every
# boundary.
sweep_points() {
  local total=$1 k offset=0
  [ "$LAYOUT" = shared ] && offset=11
  for ((k = 1; k <= total; k++)); do
    if [ -n "${SWEEP_ALL:-}" ] || [ "$k" -le 4 ] || { [ "$k" -ge 11 ] && [ "$k" -le 13 ]; } ||
      [ "$k" -ge $((total - 2)) ] || [ $(((k - offset) % 23)) -eq 0 ]; then
      echo "$k"
    fi
  done
}

# Unplug at report boundaries of one download: apply exits 0 only when every report went
# through, and otherwise says so; it never hangs and never crashes.
item_unplug_sweep() {
  local s="$T/skins-sweep"
  copy_skins "$s"
  ctl --skins "$s" plan >"$T/plan.txt" 2>/dev/null
  local total k rc runs=0 before
  total=$(plan_reports "$T/plan.txt")
  sim_start || return
  for k in $(sweep_points "$total"); do
    runs=$((runs + 1))
    count_sets "$T/sim.log"
    before=$SETS
    send unplug "$k" >/dev/null || { fail "the mouse would not plan an unplug after $k reports"; break; }
    XDG_CURRENT_DESKTOP= timeout "$PATIENCE" "$BIN/quilletctl" --skins "$s" apply >"$T/sweep.out" 2>"$T/sweep.err"
    rc=$?
    if [ "$rc" -eq 124 ]; then
      fail "cut after $k of $total reports: apply hung"
    elif [ "$rc" -gt 128 ]; then
      fail "cut after $k of $total reports: apply crashed (signal $((rc - 128)))"
    elif [ "$k" -lt "$total" ]; then
      if [ "$rc" -ne 1 ]; then
        fail "cut after $k of $total reports: apply exits $rc: $(cat "$T/sweep.err")"
      elif ! grep -q "the mouse did not take every report" "$T/sweep.err"; then
        fail "cut after $k of $total reports: apply does not say what happened: $(cat "$T/sweep.err")"
      fi
    elif [ "$rc" -ne 0 ]; then
      fail "every report went through, yet apply exits $rc: $(cat "$T/sweep.err")"
    fi
    count_sets "$T/sim.log"
    [ $((SETS - before)) -eq "$k" ] || fail "cut after $k: the mouse took $((SETS - before)) reports"
    wait_nodes 0 || fail "the mouse did not go after $k reports"
    send plug >/dev/null
    wait_nodes "$(expected_nodes)" || { fail "no nodes after the plug"; break; }
    [ -z "${ITEM_FAILED:-}" ] || break
  done
  # The Finish taken and the mouse gone before the end of the download.
  if [ -z "${ITEM_FAILED:-}" ]; then
    send unplug after-finish >/dev/null
    XDG_CURRENT_DESKTOP= timeout "$PATIENCE" "$BIN/quilletctl" --skins "$s" apply >"$T/sweep.out" 2>"$T/sweep.err"
    rc=$?
    [ "$rc" -eq 1 ] && grep -q "the mouse did not take every report" "$T/sweep.err" ||
      fail "gone after the Finish: apply exits $rc: $(cat "$T/sweep.err")"
  fi
  say "  unplug sweep: $runs cuts of a download of $total reports"
  sim_stop
}

# The tags udev gives the hidraw node NAME, as udevadm test shows them.
udev_tags() {
  udevadm test "/sys/class/hidraw/$1" 2>/dev/null | sed -n 's/^CURRENT_TAGS=//p'
}

# An ordinary user and nodes only root may open: list and status exit 4 naming the node and the
# rule. udevadm test shows that the project's rule matches the mouse's nodes and tags them
# uaccess, and no other HID device of the guest.
item_user() {
  sim_start || return
  local user=nobody r node
  for r in list status; do
    setpriv --reuid=65534 --regid=65534 --clear-groups env HOME=/tmp "$BIN/quilletctl" "$r" >"$T/user.out" 2>"$T/user.err"
    local rc=$?
    [ "$rc" -eq 4 ] || fail "$r as $user exits $rc: $(cat "$T/user.err")"
    grep -q "/dev/hidraw" "$T/user.err" || fail "$r as $user does not name the node: $(cat "$T/user.err")"
    grep -q "70-quillet.rules" "$T/user.err" || fail "$r as $user does not name the rule: $(cat "$T/user.err")"
    grep -q "Permission denied" "$T/user.err" || fail "$r as $user does not give the reason: $(cat "$T/user.err")"
  done
  # allow and deny of the simulated mouse: its vendor nodes opened to everyone and back to root.
  send allow >/dev/null
  setpriv --reuid=65534 --regid=65534 --clear-groups env HOME=/tmp "$BIN/quilletctl" status >"$T/user.out" 2>"$T/user.err" ||
    fail "status as $user after allow: $(cat "$T/user.err")"
  send deny >/dev/null
  setpriv --reuid=65534 --regid=65534 --clear-groups env HOME=/tmp "$BIN/quilletctl" list >"$T/user.out" 2>"$T/user.err"
  [ "$?" -eq 4 ] || fail "list as $user after deny: $(cat "$T/user.err")"
  # udevadm test applies the rules as they are on disk: with the project's rule and without it.
  for node in $(sim_nodes); do
    udev_tags "${node##*/}" >"$T/tags-with"
    mv /run/udev/rules.d/70-quillet.rules "$T/"
    udev_tags "${node##*/}" >"$T/tags-without"
    mv "$T/70-quillet.rules" /run/udev/rules.d/
    grep -q ":uaccess:" "$T/tags-with" || fail "the rule does not tag $node uaccess ($(cat "$T/tags-with"))"
    grep -q ":uaccess:" "$T/tags-without" && fail "$node is tagged uaccess without the rule: the test shows nothing"
  done
  # A HID device that is not the mouse: same descriptor, another vendor.
  "$BIN/quillet-sim" uhid --socket "$T/other.sock" --log /dev/null --layout split --id 1234:5678 2>"$T/other.err" &
  local other=$!
  wait_for "$T/other.err" "serving" || fail "the other device did not start"
  local d found=0
  local deadline=$((SECONDS + PATIENCE))
  while [ "$found" -lt 3 ] && [ "$SECONDS" -lt "$deadline" ]; do
    found=$(grep -l "HID_ID=0003:00001234:00005678" /sys/class/hidraw/*/device/uevent 2>/dev/null | wc -l)
    nap 0.05
  done
  udevadm settle --timeout="$PATIENCE" 2>/dev/null
  for d in /sys/class/hidraw/hidraw*; do
    grep -q "HID_ID=0003:00001234:00005678" "$d/device/uevent" || continue
    if udev_tags "${d##*/}" | grep -q ":uaccess:"; then
      fail "the rule tags ${d##*/} uaccess, which is not the mouse"
    fi
  done
  kill -TERM "$other"
  wait "$other"
  sim_stop
}

# The window on the kernel's mouse: it starts on it, Apply writes what plan says, Close sends
# HostExit.
item_window() {
  local q="$T/skins-driver" line
  copy_skins "$q"
  sim_start || return
  mkdir -p "$T/runtime" && chmod 700 "$T/runtime"
  coproc DRIVER { QT_QPA_PLATFORM=offscreen QUILLET_MESSAGES=stderr XDG_RUNTIME_DIR="$T/runtime" XDG_CURRENT_DESKTOP= \
    "$BIN/../tests/wayland_driver" --skins "$q" 2>"$T/driver.err"; }
  local driver=$DRIVER_PID
  expect() {
    IFS= read -r -t "$PATIENCE" line <&"${DRIVER[0]}" || { fail "the window said nothing (expected: $1)"; return 1; }
    [[ "$line" =~ ^$1$ ]] || { fail "the window said '$line', expected '$1'"; return 1; }
  }
  next() { echo >&"${DRIVER[1]}"; }
  if expect "shown offscreen exposed=1 mask=[0-9]+"; then
    grep -q "Please plug-in" "$T/driver.err" && fail "the window did not find the kernel's mouse"
    local p
    for p in 0 1 2 3; do next; expect "page $p" || break; done
    next; expect "dpi-step 11"
    next; expect "applied saved=1"
    next  # Close
  fi
  wait_gone "$driver" || { fail "Close did not end the window"; kill -KILL "$driver"; }
  grep -q " SET 07 20 00 00" "$T/sim.log" || fail "no HostExit reached the mouse"
  ctl --skins "$q" plan >"$T/plan.txt" 2>/dev/null
  send dump >"$T/dump.txt"
  memory_matches_plan "$T/plan.txt" "$T/dump.txt" >"$T/memory.diff" || { fail "the mouse's memory differs from the plan"; show "$T/memory.diff" 10; }
  [ -n "${ITEM_FAILED:-}" ] && show "$T/driver.err"
  sim_stop
}

# Runs the items named, each with its own start of quillet-sim, and exits with the failures.
run_items() {
  mkdir -p "$T"
  : >"$W/items.log"
  mkfifo "$T/nap"
  exec {NAP_FD}<>"$T/nap"
  # udev as on a desktop, with the project's rule among its rules.
  mkdir -p /run/udev/rules.d
  cp "$SRC/data/udev/70-quillet.rules" /run/udev/rules.d/
  /lib/systemd/systemd-udevd --daemon >/dev/null 2>&1 || say "FAIL setup: systemd-udevd did not start"
  local item start
  for item in "$@"; do
    ITEM=$item
    ITEM_FAILED=""
    start=$SECONDS
    "item_$item"
    if [ -z "$ITEM_FAILED" ]; then
      say "ok $LAYOUT $item ($((SECONDS - start)) s)"
    fi
  done
  exit "$failures"
}
