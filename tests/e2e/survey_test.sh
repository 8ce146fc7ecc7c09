#!/usr/bin/env bash
# The survey at first start, under a virtual display: the answers typed into the form reach
# quillet-survey-server as one request signed as the service checks it, the main window
# follows, the record says Login=Yes and the next start goes straight to the main window; a
# form closed with Alt+F4 ends the utility.
#   survey_test.sh BIN_DIR
set -euo pipefail
source "$(dirname "$0")/lib.sh"

e2e_init "$1"
e2e_start_display
LOGIN=INI_EN/skin_Login_en.ini

# A copy of the skins as they ship: the survey not answered.
new_user_skins() {
  e2e_copy_skins
  cp "$E2E_BIN/skins/config/ConfigFile.ini" "$E2E_SKINS/config/ConfigFile.ini"
  grep -q '^Login' "$E2E_SKINS/config/ConfigFile.ini" && e2e_fail "the shipped record is answered"
  return 0
}

# Starts quillet and waits for the form; E2E_WID is then the form, at the screen's corner.
start_with_form() {
  "$E2E_BIN/quillet" --skins "$E2E_SKINS" >"$E2E_DIR/quillet.out" 2>"$E2E_DIR/quillet.err" &
  E2E_PID=$!
  E2E_PIDS="$E2E_PIDS $E2E_PID"
  local i
  E2E_WID=""
  for i in $(seq 150); do
    E2E_WID="$(xdotool search --onlyvisible --name '^CDialogLogin$' 2>/dev/null | head -n1 || true)"
    [ -n "$E2E_WID" ] && break
    sleep 0.1
  done
  [ -n "$E2E_WID" ] || e2e_fail "the survey form did not appear"
  [ -z "$(e2e_find_window)" ] || e2e_fail "the main window appeared before the survey was answered"
  e2e_move_to_corner
}

answer() {  # REGION TEXT: clicks the field (its hint goes) and types the answer
  e2e_click "$LOGIN" "$1"
  xdotool type --delay 40 "$2"
}

# ---- the survey service ----
"$E2E_BIN/quillet-survey-server" --port 0 --log "$E2E_DIR/survey.log" >"$E2E_DIR/server.out" 2>"$E2E_DIR/server.err" &
E2E_PIDS="$E2E_PIDS $!"
port=""
for i in $(seq 100); do
  # The output file may not be there yet, until the server's process has started.
  port="$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$E2E_DIR/server.out" 2>/dev/null || true)"
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || e2e_fail "quillet-survey-server did not start"
export QUILLET_SURVEY_HOST="127.0.0.1:$port"

# ---- first start: the form, answered ----
new_user_skins
start_with_form
e2e_screenshot form_new
answer 2 "Germany"
# A slip mended with Delete, as the X server sends it (its text is "\x7f"): the filter lets it pass.
answer 3 "Jxo"
xdotool key Left Left Delete
answer 4 "27"
answer 5 "jo_s"
answer 6 "jo.smith@mail.com"
answer 7 "Chess"
e2e_click "$LOGIN" 9
e2e_screenshot form_answered
e2e_click "$LOGIN" 8
e2e_wait_window_visible 15 || e2e_fail "the main window did not follow the submission"
e2e_screenshot main_after_survey

# The request, as the service logged it.
line=""
for i in $(seq 100); do
  line="$(grep -m1 ' valid ' "$E2E_DIR/survey.log" 2>/dev/null || true)"
  [ -n "$line" ] && break
  sleep 0.1
done
[ -n "$line" ] || { cat "$E2E_DIR/survey.log" >&2 || true; e2e_fail "no valid request reached the service"; }
target="${line#* * * valid }"
mac="$(printf '%s' "$target" | sed -n 's/.*&mac=\([^&]*\)&.*/\1/p')"
signed="age=27&area=Germany&email=jo.smith@mail.com&facebook=jo_s&game=Chess&mac=$mac&name=Jo&sexuality=male&types=K736"
sign="$(printf '%ssekdaAPI' "$signed" | md5sum | cut -d' ' -f1)"
expected="/v1/driver_survey/?age=27&area=Germany&email=jo.smith@mail.com&facebook=jo%5Fs&game=Chess&mac=$mac&name=Jo&sexuality=male&types=K736&sign=$sign"
[ "$target" = "$expected" ] || e2e_fail "request $target, expected $expected"
[ "$(grep -c . "$E2E_DIR/survey.log")" = 1 ] || e2e_fail "more than one request: $(cat "$E2E_DIR/survey.log")"

record="$E2E_SKINS/config/ConfigFile.ini"
for i in $(seq 50); do
  grep -q '^Login=Yes' "$record" && break
  sleep 0.1
done
grep -q '^Login=Yes' "$record" || e2e_fail "the record was not marked answered"
tr -d '\r' <"$record" | grep -A7 '^\[UserInfo\]' | grep -qz 'IsMale=1.Region=Germany.Name=Jo.Age=27.Facebook=jo_s.E-mail=jo.smith@mail.com.Game=Chess' ||
  e2e_fail "the answers are not in the record: $(cat "$record")"

# Close ends the utility; the next start goes straight to the main window.
e2e_click INI_EN/skin_main_en.ini 1
e2e_wait_gone "$E2E_PID" 10 || e2e_fail "Close did not end the utility"
e2e_start_quillet
[ -z "$(xdotool search --onlyvisible --name '^CDialogLogin$' 2>/dev/null || true)" ] || e2e_fail "the form came back"
e2e_click INI_EN/skin_main_en.ini 1
e2e_wait_gone "$E2E_PID" 10 || e2e_fail "Close did not end the utility"

# ---- a new user who closes the form: the utility ends ----
rm -rf "$E2E_SKINS"
new_user_skins
start_with_form
e2e_click "$LOGIN" 3        # the form has the keyboard
xdotool key alt+F4
e2e_wait_gone "$E2E_PID" 10 || e2e_fail "Alt+F4 did not end the utility"
grep -q "Please plug-in" "$E2E_DIR/quillet.err" && e2e_fail "the utility went on after the form was closed"
grep -q '^Login' "$E2E_SKINS/config/ConfigFile.ini" && e2e_fail "a closed form answered the survey"
echo "PASS"
