#!/usr/bin/env bash
# The install: cmake --install into a temporary prefix, then the installed programs on a fresh
# $XDG_CONFIG_HOME, the desktop files through their validators, the udev rule and the autostart
# entry.
#   install_test.sh BUILD_DIR
set -euo pipefail
build="$1"
work="$(mktemp -d "${TMPDIR:-/tmp}/quillet-install-XXXXXX")"
pids=""
cleanup() {
  local pid
  for pid in $pids; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

prefix="$work/prefix with space"
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || { cat "$work/install.log" >&2; fail "cmake --install"; }

# What the install holds.
id=org.quillet.Quillet
for path in bin/quillet bin/quilletctl bin/quillet-sim share/quillet/constMacro.dat \
    share/quillet/skins/main_mask.jpg share/quillet/skins/INI_EN/skin_main_en.ini \
    share/quillet/skins/INI_EN/macroReset/macroGrp.ini share/quillet/skins/config/config.ini \
    share/quillet/autostart/$id-autostart.desktop lib/udev/rules.d/70-quillet.rules \
    share/applications/$id.desktop share/metainfo/$id.metainfo.xml; do
  [ -e "$prefix/$path" ] || fail "the install lacks $path"
done
for size in 16 22 24 32 48 64 128 256; do
  icon="$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png"
  [ -f "$icon" ] || fail "no ${size}px icon"
  [ "$(/usr/bin/identify -format '%wx%h' "$icon")" = "${size}x${size}" ] || fail "the ${size}px icon has another size"
done

# The desktop files and the AppStream component pass their validators.
desktop-file-validate "$prefix/share/applications/$id.desktop" || fail "desktop-file-validate: the desktop entry"
desktop-file-validate "$prefix/share/quillet/autostart/$id-autostart.desktop" || fail "desktop-file-validate: autostart"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" || fail "appstreamcli validate"

# The installed quilletctl on a fresh XDG_CONFIG_HOME: it makes the user's folder from the
# shipped copy, and shows what the build shows for the same settings.
export XDG_CONFIG_HOME="$work/config" XDG_CURRENT_DESKTOP=
unset QUILLET_SIM
"$prefix/bin/quilletctl" show >"$work/show.installed" || fail "installed quilletctl show"
"$build/bin/quilletctl" --skins "$prefix/share/quillet/skins" show >"$work/show.build" || fail "the build's show"
cmp -s "$work/show.installed" "$work/show.build" || fail "the installed show differs from the build's"
data="$XDG_CONFIG_HOME/quillet"
cmp -s "$data/config/config.ini" "$prefix/share/quillet/skins/config/config.ini" || fail "no seeded settings file"
cmp -s "$data/INI_EN/macro/macroGrp.ini" "$prefix/share/quillet/skins/INI_EN/macro/macroGrp.ini" ||
  fail "no seeded English macro folder"
[ -f "$data/INI_CN/macro/macroGrp.ini" ] || fail "no seeded Chinese macro folder"
[ ! -e "$data/INI_EN/macroReset" ] || fail "the factory set was copied into the user's folder"
# The user's data is theirs: a reset writes there, never into the install.
shipped="$(md5sum "$prefix/share/quillet/skins/config/config.ini")"
"$prefix/bin/quilletctl" reset || fail "installed quilletctl reset"
[ "$(md5sum "$prefix/share/quillet/skins/config/config.ini")" = "$shipped" ] || fail "reset wrote into the install"
echo "; mine" >>"$data/config/config.ini"
"$prefix/bin/quilletctl" show >/dev/null
grep -q "^; mine" "$data/config/config.ini" || fail "a later start replaced the user's settings"

# The installed window, offscreen, on the simulated mouse and another fresh folder: it seeds the
# folder, runs, and ends with 0 on SIGTERM.
export XDG_CONFIG_HOME="$work/config2" QT_QPA_PLATFORM=offscreen QUILLET_MESSAGES=stderr
mkdir -m 700 "$work/runtime"
export XDG_RUNTIME_DIR="$work/runtime"
"$prefix/bin/quillet" --simulate 2>"$work/quillet.err" &
quillet=$!
pids="$quillet"
for _ in $(seq 200); do
  # The single-instance name is taken before the folder is seeded: wait for both.
  [ -S "$XDG_RUNTIME_DIR/CQuilletApp" ] && [ -f "$XDG_CONFIG_HOME/quillet/config/config.ini" ] && break
  kill -0 "$quillet" 2>/dev/null || { cat "$work/quillet.err" >&2; fail "the installed quillet ended"; }
  sleep 0.05
done
[ -f "$XDG_CONFIG_HOME/quillet/config/config.ini" ] || fail "the installed quillet did not seed its folder"
sleep 0.5
kill -0 "$quillet" 2>/dev/null || { cat "$work/quillet.err" >&2; fail "the installed quillet did not keep running"; }
kill -TERM "$quillet"
status=0
wait "$quillet" || status=$?
pids=""
[ "$status" -eq 0 ] || { cat "$work/quillet.err" >&2; fail "SIGTERM ended the installed quillet with $status"; }

# The autostart entry: off until turned on, then this prefix's quillet, hidden in the notification
# area (--tray).
[ "$("$prefix/bin/quilletctl" autostart)" = "off" ] || fail "autostart is on from the start"
"$prefix/bin/quilletctl" autostart on >/dev/null || fail "autostart on"
entry="$XDG_CONFIG_HOME/autostart/$id.desktop"
grep -qxF "Exec=\"$prefix/bin/quillet\" --tray" "$entry" || { cat "$entry" >&2; fail "autostart Exec"; }
desktop-file-validate "$entry" || fail "desktop-file-validate: the user's autostart entry"
"$prefix/bin/quilletctl" autostart off >/dev/null
[ ! -e "$entry" ] || fail "autostart off left the entry"

# The udev rule as installed is the one the tests check against the accepted mice.
cmp -s "$prefix/lib/udev/rules.d/70-quillet.rules" "$(dirname "$0")/../../data/udev/70-quillet.rules" ||
  fail "the installed udev rule differs"
echo PASS
