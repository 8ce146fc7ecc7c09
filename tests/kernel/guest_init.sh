#!/bin/busybox sh
# The guest's init: loads the modules, mounts the host's root read-only and the test's share
# writable at its own path, gives the root a private /run, /tmp and /dev, runs the test script
# in it and leaves its exit status in the share. Then the machine ends.
/bin/busybox --install -s /bin
export PATH=/bin
mkdir -p /proc /sys /dev /host
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
while read -r m; do
  insmod "/mods/$m.ko" || echo "init: cannot load $m"
done </mods/order

finish() {
  sync
  reboot -f
}

if ! mount -t 9p -o trans=virtio,version=9p2000.L,ro,msize=512000,cache=loose hostroot /host; then
  echo "init: cannot mount the host's root"
  finish
fi
# The guest's /tmp is a fresh one; the folders of the host's /tmp that the test names (its
# source and build folders, wherever a checkout lies) are bound into it first, read-only.
mkdir -p /hosttmp
mount -o bind /host/tmp /hosttmp
mount -t tmpfs -o mode=1777 tmpfs /host/tmp
IFS_SAVED=$IFS
IFS=:
for keep in $QUILLET_KEEP; do
  case "$keep" in
    /tmp/*)
      mkdir -p "/host$keep"
      mount -o bind "/hosttmp/${keep#/tmp/}" "/host$keep" || echo "init: cannot keep $keep"
      ;;
  esac
done
IFS=$IFS_SAVED
umount -l /hosttmp
mount -t tmpfs -o mode=755 tmpfs /host/run
mount -t proc proc /host/proc
mount -t sysfs sysfs /host/sys
mount -t devtmpfs devtmpfs /host/dev
mkdir -p /host/dev/shm /host/dev/pts
mount -t tmpfs -o mode=1777 tmpfs /host/dev/shm
mount -t devpts devpts /host/dev/pts
mkdir -p "/host$QUILLET_SHARE"
if ! mount -t 9p -o trans=virtio,version=9p2000.L,msize=512000 share "/host$QUILLET_SHARE"; then
  echo "init: cannot mount the share"
  finish
fi
echo "init: running $QUILLET_SCRIPT"
# The host's root becomes the guest's own (not a chroot, which udevadm would refuse to serve);
# the script runs as the first process and ends the machine itself.
export QUILLET_SHARE QUILLET_SCRIPT
exec switch_root /host /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
  QUILLET_SHARE="$QUILLET_SHARE" QUILLET_SCRIPT="$QUILLET_SCRIPT" /bin/bash -c '
    cd "$QUILLET_SHARE" && bash "$QUILLET_SCRIPT" </dev/console
    status=$?
    echo "$status" >"$QUILLET_SHARE/status.tmp" && mv "$QUILLET_SHARE/status.tmp" "$QUILLET_SHARE/status"
    echo "init: the script ended with $status"
    sync
    /bin/busybox reboot -f'
