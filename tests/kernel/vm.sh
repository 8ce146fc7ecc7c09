# The kernel tests' virtual machine, sourced by kernel_test.sh.
#
# Debian's own kernel (which has uhid as a module) boots under qemu's software emulation with a
# busybox initramfs; the guest mounts this machine's root read-only over virtfs and runs the
# host's own binaries in it, and a writable share carries the test's folder in and the results
# out. Nothing is installed on the host: the kernel package is fetched with apt-get download and
# unpacked into the build folder, where it stays for the next run.

# Modules to load, in this order: virtio and 9p for the shares, then HID and uhid.
VM_MODULES=(virtio_ring virtio virtio_pci_modern_dev virtio_pci_legacy_dev virtio_pci netfs fscache
  9pnet 9pnet_virtio 9p hid uhid hid-generic)

vm_skip() {
  echo "SKIP: $*" >&2
  exit 77
}

# vm_prepare CACHE: the kernel and initramfs in CACHE (fetched and built once, under a lock so
# that tests started together share one download; the initramfs again when its init or module
# list changes). Sets VM_KERNEL and VM_INITRD.
vm_prepare() {
  local cache=$1 key
  mkdir -p "$cache"
  command -v qemu-system-x86_64 >/dev/null || vm_skip "qemu-system-x86_64 is missing (run ./setup.sh)"
  [ -x /bin/busybox ] || vm_skip "busybox is missing (run ./setup.sh)"
  exec 9>"$cache/lock"
  flock 9
  if [ ! -f "$cache/kernel-path" ]; then
    vm_fetch_kernel "$cache" || { flock -u 9; vm_skip "Debian's kernel package could not be fetched (apt-get download; no network?)"; }
  fi
  key=$( (cat "$(dirname "${BASH_SOURCE[0]}")/guest_init.sh"; echo "${VM_MODULES[*]}") | md5sum | cut -d' ' -f1)
  if [ "$(cat "$cache/initrd.key" 2>/dev/null)" != "$key" ]; then
    vm_build_initrd "$cache" || { flock -u 9; echo "FAIL: cannot build the initramfs" >&2; exit 1; }
    echo "$key" >"$cache/initrd.key"
  fi
  flock -u 9
  VM_KERNEL=$(cat "$cache/kernel-path")
  VM_INITRD="$cache/initrd.cpio"
}

# Debian's kernel image package, unpacked into CACHE/tree; CACHE/kernel-path names the kernel.
vm_fetch_kernel() {
  local cache=$1 package deb version
  package=$(apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-[0-9]/ {print $2; exit}')
  [ -n "$package" ] || return 1
  rm -rf "$cache/deb" "$cache/tree"
  mkdir -p "$cache/deb"
  (cd "$cache/deb" && apt-get download "$package" >"$cache/download.log" 2>&1) || return 1
  deb=$(ls "$cache"/deb/*.deb 2>/dev/null | head -n 1)
  [ -n "$deb" ] || return 1
  dpkg-deb -x "$deb" "$cache/tree" || return 1
  rm -rf "$cache/deb"
  version=${package#linux-image-}
  [ -d "$cache/tree/lib/modules/$version" ] && [ -f "$cache/tree/boot/vmlinuz-$version" ] || return 1
  echo "$cache/tree/boot/vmlinuz-$version" >"$cache/kernel-path"
}

# The initramfs: busybox, the modules and the guest's init.
vm_build_initrd() {
  local cache=$1 tree root="$cache/initrd" m file
  tree=$(cat "$cache/kernel-path")
  tree="$cache/tree/lib/modules/${tree##*/vmlinuz-}"
  [ -d "$tree" ] || return 1
  rm -rf "$root"
  mkdir -p "$root/bin" "$root/mods"
  cp /bin/busybox "$root/bin/busybox"
  : >"$root/mods/order"
  for m in "${VM_MODULES[@]}"; do
    file=$(find "$tree/kernel" -name "$m.ko" -o -name "${m//-/_}.ko" | head -n 1)
    # A module missing here is built into this kernel.
    if [ -n "$file" ]; then
      cp "$file" "$root/mods/$m.ko"
      echo "$m" >>"$root/mods/order"
    fi
  done
  cp "$(dirname "${BASH_SOURCE[0]}")/guest_init.sh" "$root/init"
  chmod 755 "$root/init"
  (cd "$root" && find . | /bin/busybox cpio -o -H newc >"$cache/initrd.cpio.new" 2>/dev/null) || return 1
  mv "$cache/initrd.cpio.new" "$cache/initrd.cpio"
}

# vm_run SHARE SCRIPT TIMEOUT: boots the guest with SHARE (a folder of the host) writable at the
# same path inside, runs `bash SCRIPT` there as root in the host's root, and returns the
# script's exit status. VM_KEEP (folders joined by ':') names folders of the host under /tmp
# that the guest must still see (read-only) although its /tmp is a fresh one. A guest that does not finish within TIMEOUT seconds is killed and the
# run fails; either way a failure shows the guest's console.
vm_run() {
  local share=$1 script=$2 timeout=$3
  local console="$share/console.log"
  rm -f "$share/status"
  local accel=(-accel tcg)
  # qemu and the guest see the same memory: keep it modest.
  timeout --kill-after=5 "$timeout" qemu-system-x86_64 "${accel[@]}" -m 512 -smp 1 -nodefaults -no-reboot \
    -display none -serial "file:$console" \
    -kernel "$VM_KERNEL" -initrd "$VM_INITRD" \
    -append "console=ttyS0 quiet loglevel=3 panic=-1 QUILLET_SHARE=$share QUILLET_SCRIPT=$script QUILLET_KEEP=${VM_KEEP:-}" \
    -virtfs "local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap" \
    -virtfs "local,path=$share,mount_tag=share,security_model=none,multidevs=remap" \
    </dev/null >"$share/qemu.log" 2>&1
  local qemu=$?
  if [ ! -f "$share/status" ]; then
    if [ "$qemu" -eq 124 ] || [ "$qemu" -eq 137 ]; then
      echo "FAIL: the guest did not finish within ${timeout}s" >&2
    else
      echo "FAIL: the guest ended without a result (qemu exit $qemu)" >&2
    fi
    echo "--- qemu:" >&2
    cat "$share/qemu.log" >&2
    echo "--- guest console:" >&2
    tail -n 80 "$console" >&2
    return 1
  fi
  local status
  status=$(cat "$share/status")
  if [ "$status" != 0 ]; then
    echo "--- guest console:" >&2
    tail -n 80 "$console" >&2
  fi
  return "$status"
}
