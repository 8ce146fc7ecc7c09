#!/usr/bin/env bash
# Takes the README's screenshots: every page in both languages, with the pointer over a region,
# under a virtual display. Writes docs/screenshots/<page>_<lang>.png.
#   scripts/screenshots.sh [BIN_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
source tests/e2e/lib.sh
e2e_init "$(realpath "${1:-build/bin}")"
e2e_start_display
e2e_copy_skins
out=docs/screenshots
mkdir -p "$out"
shoot() {  # NAME [WIDTH]: the window's corner of the screen, as a small PNG (800 pixels wide)
  e2e_screenshot "$1"
  /usr/bin/convert "$E2E_SHOTS/$1.png" -crop "$(xdotool getwindowgeometry "$E2E_WID" | awk '/Geometry/ {print $2}')+0+0" \
    +repage -resize "${2:-800}x" -strip -colors 128 "PNG8:$out/$1.png"
}

# The survey form as a new user meets it, then closed (Alt+F4 ends that start).
cp "$E2E_BIN/skins/config/ConfigFile.ini" "$E2E_SKINS/config/ConfigFile.ini"
"$E2E_BIN/quillet" --skins "$E2E_SKINS" >"$E2E_DIR/survey.out" 2>&1 &
survey_pid=$!
for _ in $(seq 100); do
  E2E_WID="$(xdotool search --onlyvisible --name '^CDialogLogin$' 2>/dev/null | head -n1 || true)"
  [ -n "$E2E_WID" ] && break
  sleep 0.1
done
xdotool windowmove "$E2E_WID" 0 0
sleep 0.3
e2e_hover INI_EN/skin_Login_en.ini 8
shoot survey_en 460
e2e_click INI_EN/skin_Login_en.ini 3  # the form has the keyboard
xdotool key alt+F4
e2e_wait_gone "$survey_pid" 10 || kill "$survey_pid"
printf '[UserInfo]\nLogin=Yes\n' >"$E2E_SKINS/config/ConfigFile.ini"

e2e_start_quillet
for lang in en cn; do  # the README keeps the four English pages and the Chinese main page
  if [ "$lang" = en ]; then dir=INI_EN; suffix=_en; else dir=INI_CN; suffix=; fi
  main="$dir/skin_main$suffix.ini"
  e2e_click "$main" $([ "$lang" = en ] && echo 5 || echo 4)
  e2e_click "$main" 6; e2e_hover "$main" 21; shoot "main_$lang"
  if [ "$lang" = en ]; then  # button 7's function list with its first sub-menu open
    e2e_click "$main" 26
    e2e_wait_popup MainMenuDlg || e2e_fail "the function list did not open"
    eval "$(xdotool getwindowgeometry --shell "$E2E_POPUP" | sed -n 's/^X=/mx=/p; s/^Y=/my=/p; s/^WIDTH=/mw=/p; s/^HEIGHT=/mh=/p')"
    xdotool mousemove $(( mx + mw / 2 )) $(( my + 13 * mh / 20 ))
    e2e_wait_popup SubMenuDlg || e2e_fail "the sub-menu did not open"
    xdotool mousemove $(( mx + mw + 60 )) $(( my + 13 * mh / 20 + 2 * mh / 10 ))
    sleep 0.3
    shoot "functions_$lang"
    e2e_click "$main" 6
  fi
  e2e_click "$main" 7; e2e_hover "$dir/skin_advance$suffix.ini" 99; shoot "advanced_$lang"
  # The macro page with the second group's second macro open, which moves and clicks.
  mac="$dir/skin_mac$suffix.ini"
  e2e_click "$main" 8; e2e_click "$mac" 1; e2e_popup_row MainMenuDlg 3 2
  read -r lx ly < <(awk -F'[=,]' '/^\[/ { s = $0; next } s == "[MACRODISPLAY]" && $1 == 1 { print $3 + 30, $4 + 8 }' "$E2E_SKINS/$mac")
  xdotool mousemove "$lx" "$ly" click 1; sleep 0.2; xdotool key Down; sleep 0.3
  e2e_hover "$mac" 6; shoot "macro_$lang"
  e2e_click "$main" 9
  if [ "$lang" = en ]; then  # "Button response" with custom colours, button 3 lighting up
    e2e_click "$dir/skin_color$suffix.ini" 35
    e2e_popup_row MainMenuDlg 10 9
    e2e_click "$dir/skin_color$suffix.ini" 14
    e2e_click "$dir/skin_color$suffix.ini" 53
  fi
  e2e_hover "$main" 3; shoot "lighting_$lang"
done
e2e_click INI_CN/skin_main.ini 5
ls -l "$out"

# The buttons page at a screen scale of 2, drawn from the skin's 2× pictures, on a screen that
# holds the window at twice its size; full size, so that the sharpness shows.
kill "$E2E_PID"
e2e_wait_gone "$E2E_PID" 10 || e2e_fail "the utility did not end"
rm -f "$E2E_DIR/displayfd"
E2E_SCREEN=2560x1600x24 e2e_start_display
QT_SCALE_FACTOR=2 e2e_start_quillet
read -r hx hy < <(e2e_region_center INI_EN/skin_main_en.ini 21)
xdotool mousemove --window "$E2E_WID" $(( hx * 2 )) $(( hy * 2 ))  # X sees device pixels
sleep 0.3
shoot main_en_scale2 2000
ls -l "$out/main_en_scale2.png"
