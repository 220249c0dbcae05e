#!/usr/bin/env bash
# Builds the Debian package of a built tree with cpack, has lintian check it (no error and no
# warning may remain), unpacks it into a scratch folder (never into the machine's own /usr)
# and checks what a user gets: the programs, each with a manual page that man can show, the
# user guide in /usr/share/vexal, and no test tool.
#   check_deb.sh BUILD_DIR SCRATCH PROGRAM...
set -euo pipefail

build=$1
scratch=$2
shift 2
programs=("$@")

fail() {
  echo "check_deb: $*" >&2
  exit 1
}

for tool in cpack lintian dpkg-deb man; do
  command -v "$tool" >/dev/null || fail "$tool is missing: run scripts/install-deps.sh"
done

rm -rf "$scratch"
mkdir -p "$scratch"
if ! cpack --config "$build/CPackConfig.cmake" -B "$scratch" >"$scratch/cpack.log" 2>&1; then
  cat "$scratch/cpack.log" >&2
  fail "cpack could not build the package"
fi
debs=("$scratch"/vexal_*.deb)
[ -f "${debs[0]}" ] || fail "cpack made no vexal_*.deb in $scratch"
deb=${debs[0]}
echo "== $(basename "$deb")"
dpkg-deb --field "$deb" Package Version Maintainer Depends Description

# Every tag is shown; errors and warnings fail the check.
echo "== lintian"
lintian_status=0
lintian --display-info --fail-on error,warning "$deb" || lintian_status=$?
[ "$lintian_status" -eq 0 ] || fail "lintian found errors or warnings (status $lintian_status)"
echo "(lintian: no error, no warning)"

root=$scratch/root
dpkg-deb -x "$deb" "$root"
problems=()
mapfile -t in_bin < <(ls "$root/usr/bin")
[ "$(printf '%s\n' "${in_bin[@]}" | sort)" = "$(printf '%s\n' "${programs[@]}" | sort)" ] ||
  problems+=("usr/bin holds ${in_bin[*]}, not the programs ${programs[*]}")
for program in "${programs[@]}"; do
  page=$(MANWIDTH=80 man -M "$root/usr/share/man" "$program" 2>/dev/null) ||
    problems+=("man $program finds no page in the package")
  for section in NAME SYNOPSIS DESCRIPTION "EXIT STATUS" FILES; do
    grep -q "^$section\$" <<<"$page" || problems+=("man $program has no $section section")
  done
done
[ -f "$root/usr/share/vexal/lusk.hlp" ] || problems+=("usr/share/vexal/lusk.hlp is missing")
[ -f "$root/usr/share/doc/vexal/changelog.gz" ] || problems+=("the changelog is missing")
if [ "${#problems[@]}" -gt 0 ]; then
  printf 'check_deb: %s\n' "${problems[@]}" >&2
  exit 1
fi

echo "== man vexal-log, from the unpacked package"
MANWIDTH=80 man -M "$root/usr/share/man" vexal-log
rm -rf "$scratch"
echo "check_deb: the package is lintian-clean; ${#programs[@]} programs with their manual pages"
