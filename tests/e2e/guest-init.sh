#!/bin/busybox sh
# /init of the guest's tiny initramfs (static busybox and a few kernel modules).
# Loads the modules, mounts the host's root (9p, read-only) and the run folder (9p,
# read-write) and runs guest-run.sh inside the host's root.
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
exec </dev/console >/dev/console 2>&1

# No udevd loads modules on demand here, so hid-generic must be in before any device
# appears: without a bound driver there is no hidraw node.
for m in $(cat /modules/order); do
	insmod "/modules/$m" || echo "init: insmod $m failed"
done

fail() { echo "init: $*"; echo o >/proc/sysrq-trigger; sleep 30; }
opts=trans=virtio,version=9p2000.L,msize=262144
mount -t 9p -o "$opts,ro,cache=loose" hostroot /newroot || fail "mount hostroot"
# The guest gets a fresh, writable /tmp; the host's stays reachable for the folders the run
# needs from it (a build under /tmp), listed as TMP_BINDS in the run's options.
mkdir /hosttmp
mount -o bind /newroot/tmp /hosttmp
mount -t tmpfs -o mode=755 tmpfs /newroot/run
mount -t tmpfs -o mode=1777 tmpfs /newroot/tmp
mkdir /newroot/run/work
mount -t 9p -o "$opts" work /newroot/run/work || fail "mount work"
[ -f /newroot/run/work/options ] && . /newroot/run/work/options
for d in $TMP_BINDS; do
	rel=${d#/tmp/}
	mkdir -p "/newroot/tmp/$rel"
	mount -o bind "/hosttmp/$rel" "/newroot/tmp/$rel" || echo "init: cannot show $d"
done
for d in proc sys dev; do mount -o move "/$d" "/newroot/$d"; done
exec chroot /newroot /bin/sh /run/work/guest-run.sh
