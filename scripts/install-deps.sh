#!/usr/bin/env bash
# Installs every Debian 12 package that building, running and testing Vexal needs.
# Uses sudo only when not already root. Safe to run again: apt-get skips what is there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-charts-dev libqt6opengl6-dev qt6-svg-dev
  libgl-dev libxkbcommon-dev
  libhidapi-dev libhidapi-hidraw0 libudev-dev
  libexpat1-dev
  locales  # localedef compiles the locales a journal test reads in
  libsqlite3-dev libpq-dev postgresql
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xauth imagemagick fonts-dejavu-core fonts-liberation2
  poppler-utils cups-daemon cups-client cups-filters printer-driver-cups-pdf
  python3
  scdoc dpkg-dev man-db lintian  # manual pages; the Debian package and its check
  qemu-system-x86 busybox-static cpio kmod udev
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  as_root apt-get update -q
  as_root apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
