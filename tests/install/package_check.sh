#!/usr/bin/env bash
# The Debian package as dpkg-deb sees it: what it installs, what it depends on, its scripts,
# and the programs unpacked from it running on a fresh $XDG_CONFIG_HOME.
#   package_check.sh PACKAGE.deb
set -euo pipefail
deb="$1"
work="$(mktemp -d "${TMPDIR:-/tmp}/quillet-deb-XXXXXX")"
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

dpkg-deb --info "$deb" >/dev/null || fail "dpkg-deb cannot read $deb"
[ "$(dpkg-deb --field "$deb" Package)" = quillet ] || fail "the package is not called quillet"

# Contents: everything under /usr, the files an installed copy needs, nothing of the build's own.
dpkg-deb --contents "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/contents"
id=org.quillet.Quillet
for path in /usr/bin/quillet /usr/bin/quilletctl /usr/bin/quillet-sim /usr/lib/udev/rules.d/70-quillet.rules \
    /usr/share/applications/$id.desktop /usr/share/metainfo/$id.metainfo.xml /usr/share/quillet/constMacro.dat \
    /usr/share/quillet/autostart/$id-autostart.desktop /usr/share/quillet/skins/main_mask.jpg \
    /usr/share/quillet/skins/config/config.ini /usr/share/quillet/skins/INI_CN/macroReset/macroGrp.ini; do
  grep -qxF "$path" "$work/contents" || fail "the package lacks $path"
done
for size in 16 22 24 32 48 64 128 256; do
  grep -qxF "/usr/share/icons/hicolor/${size}x${size}/apps/$id.png" "$work/contents" || fail "no ${size}px icon"
done
if grep -v '^/usr/' "$work/contents" | grep -qv '^/$'; then
  fail "files outside /usr: $(grep -v '^/usr/' "$work/contents" | grep -v '^/$' | head -3)"
fi
grep -E '/(skingen|quillet-macrogen|quillet-icons|bench_|fuzz_)|_tests$' "$work/contents" && fail "build tools in the package"
[ "$(grep -c '^/usr/bin/.' "$work/contents")" -eq 3 ] || fail "other programs in /usr/bin"

# Dependencies computed from the binaries, and the Wayland platform plugin added by hand.
depends="$(dpkg-deb --field "$deb" Depends)"
for lib in libqt6widgets6 libqt6gui6 libqt6dbus6 libhidapi-hidraw0 libudev1 libglib2.0-0 libc6 qt6-wayland; do
  grep -qE "(^|, )$lib( |,|$)" <<<"$depends" || fail "Depends lacks $lib: $depends"
done

# The scripts reload the rules and apply them to the hidraw nodes.
dpkg-deb --ctrl-tarfile "$deb" | tar -x -C "$work" ./postinst ./postrm
grep -q 'udevadm control --reload-rules' "$work/postinst" || fail "postinst does not reload the rules"
grep -q 'udevadm trigger --subsystem-match=hidraw' "$work/postinst" || fail "postinst does not trigger hidraw"
sh -n "$work/postinst" && sh -n "$work/postrm" || fail "a package script does not parse"

# Unpacked anywhere, the programs find their data beside them and make the user's folder.
dpkg-deb --extract "$deb" "$work/root"
export XDG_CONFIG_HOME="$work/config" XDG_CURRENT_DESKTOP=
unset QUILLET_SIM
# The whole output is read before its first line is looked at: piped into head, show (more than one
# pipe buffer) may die of SIGPIPE when head has gone, and pipefail would count that as its failure.
shown="$("$work/root/usr/bin/quilletctl" show)" || fail "the unpacked quilletctl show exited with $?"
[ "${shown%%$'\n'*}" = "[Init]" ] || fail "the unpacked quilletctl show did not begin with [Init]"
[ -f "$XDG_CONFIG_HOME/quillet/config/config.ini" ] || fail "the unpacked quilletctl made no settings folder"
echo "PASS: $(basename "$deb"), $(wc -l <"$work/contents") entries; Depends: $depends"
