#!/bin/bash
# End-to-end tests on a real Linux HID stack without hardware: boots Debian's kernel (which
# has uhid and hidraw) under QEMU with software emulation, shares the host's root read-only
# over 9p, and runs one test program as root inside it. The program starts vexal-meter-sim,
# which makes the virtual cable appear through /dev/uhid.
#
#   run-e2e.sh prepare                      install QEMU, fetch the kernel, build the initramfs
#   run-e2e.sh run NAME PROGRAM [ARGS...]   run PROGRAM in a fresh guest; exit with its status
#
# Exit status 77 means skipped: QEMU cannot run on this machine at all.
# Environment:
#   VEXAL_E2E_WORK     run folders (default: /tmp/vexal-e2e)
#   VEXAL_E2E_CACHE    kernel and initramfs, kept between runs (default: ~/.cache/vexal-e2e)
#   VEXAL_E2E_TIMEOUT  seconds one guest may take (default 300)
#   VEXAL_E2E_DIRECT=1 run PROGRAM here instead, on a machine that has /dev/uhid (root)
#   VEXAL_E2E_UDEVD=1  run the udev daemon in the guest, as a desktop does (needs udev)
#   other VEXAL_* variables are passed on to the guest program
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
WORK=${VEXAL_E2E_WORK:-/tmp/vexal-e2e}
CACHE=${VEXAL_E2E_CACHE:-${XDG_CACHE_HOME:-${HOME:-/root}/.cache}/vexal-e2e}
TIMEOUT=${VEXAL_E2E_TIMEOUT:-300}
SKIP=77
PACKAGES="qemu-system-x86 busybox-static cpio kmod"
UDEVD=${VEXAL_E2E_UDEVD:-0}
[ "$UDEVD" = 1 ] && PACKAGES="$PACKAGES udev"
MODULES="virtio_pci 9pnet_virtio 9p hid-generic uhid"

say() { echo "e2e: $*"; }
skip() { say "SKIPPED: $*"; exit $SKIP; }
t0=$(date +%s.%N)
elapsed() { awk -v a="$t0" -v b="$(date +%s.%N)" 'BEGIN{printf "%.1f", b - a}'; }

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; elif command -v sudo >/dev/null; then sudo -n "$@"; else return 1; fi; }

install_packages() {
	local missing="" p
	for p in $PACKAGES; do dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"; done
	[ -z "$missing" ] && return 0
	command -v apt-get >/dev/null || return 1
	say "installing$missing"
	as_root apt-get update -qq || true
	DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq --no-install-recommends \
		-o DPkg::Lock::Timeout=600 $missing >/dev/null
}

kernel_package() {
	apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-[0-9]/{print $2; exit}'
}

# Debian's kernel package is downloaded and unpacked, not installed; only vmlinuz and the
# modules the guest needs are kept.
fetch_kernel() {
	local pkg kver tmp
	pkg=$(kernel_package)
	if [ -z "$pkg" ]; then
		as_root apt-get update -qq || true
		pkg=$(kernel_package)
	fi
	[ -n "$pkg" ] || { say "no linux-image-amd64 in the package lists"; return 1; }
	kver=${pkg#linux-image-}
	if [ -e "$CACHE/$kver/.ok" ]; then
		echo "$kver" >"$CACHE/kernel-version"
		return 0
	fi
	say "fetching $pkg"
	tmp=$(mktemp -d "$CACHE/fetch.XXXXXX")
	(cd "$tmp" && apt-get download -qq -o APT::Sandbox::User=root "$pkg")
	mkdir -p "$tmp/root"
	dpkg-deb --fsys-tarfile "$tmp"/*.deb | tar -x -C "$tmp/root" ./boot ./lib/modules
	depmod -b "$tmp/root" "$kver"
	rm -rf "$CACHE/$kver" && mkdir -p "$CACHE/$kver/modules"
	cp "$tmp/root/boot/vmlinuz-$kver" "$CACHE/$kver/vmlinuz"
	local m ko
	for m in $MODULES; do
		modprobe -d "$tmp/root" -S "$kver" --show-depends "$m"
	done | awk '$1 == "insmod" && !seen[$2]++ {print $2}' >"$tmp/list"
	while read -r ko; do
		cp "$ko" "$CACHE/$kver/modules/"
		basename "$ko"
	done <"$tmp/list" >"$CACHE/$kver/modules/order"
	rm -rf "$tmp"
	touch "$CACHE/$kver/.ok"
	echo "$kver" >"$CACHE/kernel-version"
}

build_initramfs() {
	local kver=$1 ir
	ir=$(mktemp -d "$CACHE/initramfs.XXXXXX")
	mkdir -p "$ir"/{bin,dev,proc,sys,newroot,modules}
	cp /bin/busybox "$ir/bin/busybox"
	cp "$HERE/guest-init.sh" "$ir/init" && chmod 755 "$ir/init"
	cp "$CACHE/$kver/modules/"* "$ir/modules/"
	(cd "$ir" && find . | cpio -o -H newc --quiet | gzip -1) >"$CACHE/$kver/initrd.gz.tmp"
	mv "$CACHE/$kver/initrd.gz.tmp" "$CACHE/$kver/initrd.gz"
	rm -rf "$ir"
}

prepare() {
	mkdir -p "$CACHE"
	exec 9>"$CACHE/.lock"
	flock 9
	install_packages || true
	command -v qemu-system-x86_64 >/dev/null ||
		skip "qemu-system-x86_64 is not installed and cannot be (run scripts/install-deps.sh as root)"
	# grep reads the whole list: with -q it could stop early, and the writer's broken pipe
	# would fail the pipeline (pipefail) and skip the tests for no reason.
	[ -x /bin/busybox ] && busybox --list 2>/dev/null | grep -x insmod >/dev/null ||
		skip "busybox-static is not installed"
	qemu-system-x86_64 -accel help 2>/dev/null | grep -x tcg >/dev/null ||
		skip "this qemu-system-x86_64 has no software emulation (tcg)"
	local probe
	probe=$(echo q | timeout 30 qemu-system-x86_64 -machine none -accel tcg -nodefaults \
		-display none -monitor stdio 2>&1) || skip "QEMU cannot start here: $(echo "$probe" | tail -1)"
	if [ "$UDEVD" = 1 ] && [ ! -x /lib/systemd/systemd-udevd ]; then
		say "FAILED: VEXAL_E2E_UDEVD=1 but udev is not installed (scripts/install-deps.sh)"
		exit 1
	fi
	fetch_kernel || { say "FAILED: cannot fetch the guest kernel"; exit 1; }
	local kver
	kver=$(cat "$CACHE/kernel-version")
	if [ ! -e "$CACHE/$kver/initrd.gz" ] || [ "$HERE/guest-init.sh" -nt "$CACHE/$kver/initrd.gz" ]; then
		build_initramfs "$kver"
	fi
	flock -u 9
	say "prepared kernel $kver in $(elapsed) s ($CACHE)"
}

# The command file the guest runs: environment, then the program and its arguments.
write_command() {
	local out=$1 v
	shift
	{
		echo "# written by run-e2e.sh"
		for v in $(env | awk -F= '/^VEXAL_/ && $1 !~ /^VEXAL_E2E_(WORK|CACHE|TIMEOUT|DIRECT|UDEVD)$/ {print $1}'); do
			printf 'export %s=%q\n' "$v" "${!v}"
		done
		# Qt programs get their platform through VEXAL_QT_QPA_PLATFORM (e.g. offscreen).
		[ -n "${VEXAL_QT_QPA_PLATFORM:-}" ] && printf 'export QT_QPA_PLATFORM=%q\n' "$VEXAL_QT_QPA_PLATFORM"
		printf 'exec'
		printf ' %q' "$@"
		printf '\n'
	} >"$out"
}

show() { [ -s "$1" ] && sed -E 's/\x1b(\[[0-9;?]*[a-zA-Z]|c)//g; s/\r//g' "$1" || true; }

run() {
	local name=$1
	shift
	[ $# -ge 1 ] || { echo "usage: $0 run NAME PROGRAM [ARGS...]" >&2; exit 2; }
	[ -x "$1" ] || { say "FAILED: $1 is not an executable (build it first)"; exit 1; }
	local program
	program=$(realpath "$1")  # the guest starts in /tmp
	shift
	set -- "$program" "$@"
	if [ "${VEXAL_E2E_DIRECT:-0}" = 1 ]; then
		[ -e /dev/uhid ] || skip "VEXAL_E2E_DIRECT=1 but this machine has no /dev/uhid (sudo modprobe uhid)"
		exec "$@"
	fi
	prepare
	local kver dir rc
	kver=$(cat "$CACHE/kernel-version")
	dir=$WORK/$name
	rm -rf "$dir" && mkdir -p "$dir"
	cp "$HERE/guest-run.sh" "$dir/guest-run.sh"
	write_command "$dir/command" "$@"
	# Folders under the host's /tmp that the guest must see (its own /tmp is fresh).
	local binds="" f top
	for f in "$1" "${VEXAL_METER_SIM:-}"; do
		case "$f" in /tmp/?*/*)
			top=${f#/tmp/}
			top=/tmp/${top%%/*}
			case " $binds " in *" $top "*) ;; *) binds="$binds $top" ;; esac
			;;
		esac
	done
	printf 'UDEVD=%s\nTMP_BINDS="%s"\n' "$UDEVD" "${binds# }" >"$dir/options"
	local tq
	tq=$(date +%s.%N)
	# no_timer_check: on a busy host the emulated processor can fall so far behind that the
	# kernel finds the timer interrupt missing at boot and panics ("IO-APIC + timer doesn't work").
	timeout "$TIMEOUT" qemu-system-x86_64 -accel tcg -m 768 -smp 1 -nographic -no-reboot -nic none \
		-kernel "$CACHE/$kver/vmlinuz" -initrd "$CACHE/$kver/initrd.gz" \
		-append "console=ttyS0 quiet panic=-1 no_timer_check" \
		-virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
		-virtfs "local,path=$dir,mount_tag=work,security_model=none" \
		</dev/null >"$dir/console.log" 2>&1 || say "qemu exit status $?"
	local qemu_s
	qemu_s=$(awk -v a="$tq" -v b="$(date +%s.%N)" 'BEGIN{printf "%.1f", b - a}')
	echo "===== guest console"
	show "$dir/console.log"
	echo "===== $(basename "$1")"
	show "$dir/program.log"
	if [ ! -s "$dir/rc" ]; then
		echo "===== dmesg (HID)"
		show "$dir/dmesg.log"
		say "FAILED: the guest did not finish the program (timeout ${TIMEOUT} s?); logs in $dir"
		exit 1
	fi
	rc=$(cat "$dir/rc")
	grep -q 'Call Trace' "$dir/console.log" && say "WARNING: the guest kernel logged a call trace (see above)"
	say "TIMING qemu_s=$qemu_s total_s=$(elapsed)"
	[ "$rc" = 0 ] || say "FAILED: exit status $rc; logs in $dir"
	exit "$rc"
}

case "${1:-}" in
prepare) prepare ;;
run) shift; run "$@" ;;
*) echo "usage: $0 prepare | run NAME PROGRAM [ARGS...]" >&2; exit 2 ;;
esac
