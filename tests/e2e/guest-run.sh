#!/bin/sh
# PID 1 of the guest, inside the host's root (read-only). /run/work is this run's folder:
# `command` is the program to run, its output goes to program.log and its exit status to rc.
W=/run/work
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
export HOME=/tmp VEXAL_E2E_GUEST=1
echo "guest: kernel $(uname -r), up $(cut -d' ' -f1 /proc/uptime) s"
ls -l /dev/uhid
[ -f $W/options ] && . $W/options
if [ "${UDEVD:-0}" = 1 ]; then
	# As on a desktop: the udev daemon handles every device event before programs hear of it.
	/lib/systemd/systemd-udevd --daemon
	n=0
	while [ ! -e /run/udev/control ] && [ $n -lt 200 ]; do sleep 0.05; n=$((n + 1)); done
	echo "guest: udevd $(ls /run/udev/control 2>/dev/null || echo 'did not start')"
fi
cd /tmp
sh $W/command >$W/program.log 2>&1
echo $? >$W/rc.tmp
mv $W/rc.tmp $W/rc
echo "guest: program ended with $(cat $W/rc), up $(cut -d' ' -f1 /proc/uptime) s"
dmesg | grep -iE 'hid|uhid' >$W/dmesg.log
sync
echo o >/proc/sysrq-trigger
# PID 1 must not end before the power goes; programs from the host's root can no longer be
# started by now, so wait with shell builtins only.
while :; do :; done
