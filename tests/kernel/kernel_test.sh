#!/usr/bin/env bash
# The utility against the real kernel's HID stack: quillet-sim uhid inside a qemu guest that
# runs Debian's kernel and this machine's own binaries.
#
#   kernel_test.sh BUILD_DIR LAYOUT [ITEM...]
#
# LAYOUT is split or shared (quillet-sim uhid --layout); the items (guest_test.sh) run in one
# boot of the guest, all of them without ITEM. Exit status 77 (skipped) when the kernel package
# cannot be fetched.
set -uo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=$(cd "${1:?build folder}" && pwd)
layout=${2:?layout}
shift 2
items=("$@")
[ "${#items[@]}" -gt 0 ] || items=(list_status apply listen hotplug window unplug_sweep user)

# shellcheck source=vm.sh
source "$here/vm.sh"
vm_prepare "$build/kernel-vm"

work=$(mktemp -d "${TMPDIR:-/tmp}/quillet-kernel-$layout-XXXXXX")
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"

cat >"$work/run.sh" <<EOF
export SWEEP_ALL='${SWEEP_ALL:-}' BIN='$build/bin' SRC='$(cd "$here/../.." && pwd)' LAYOUT='$layout' W='$work'
source '$here/guest_test.sh'
run_items ${items[*]}
EOF

# The guest's /tmp is its own: the source and build folders stay reachable wherever they lie.
VM_KEEP="$(cd "$here/../.." && pwd):$build"
# Generous for a loaded machine under emulation; a guest that hangs fails the test here.
timeout=${QUILLET_KERNEL_TIMEOUT:-170}
vm_run "$work" "$work/run.sh" "$timeout"
status=$?
cat "$work/items.log" 2>/dev/null
exit "$status"
