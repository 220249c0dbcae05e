#!/usr/bin/env bash
# Plays every capture under tests/ through two builds
# of vexal-replay with the same options, and compares their outputs byte for byte: for
# checking that a change of the program's inside leaves what it records alone.
#
#   scripts/compare-replay.sh OLD_VEXAL_REPLAY NEW_VEXAL_REPLAY
set -uo pipefail
old=$1 new=$2
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

captures=$(find tests -name '*.cap' | sort)
option_sets=(
  ""
  "--panel"
  "--no-repeat"
  "--decimal ,"
  "--sampling 2"
  "--sampling 0 --no-repeat"
  "--limit 2"
  "--no-repeat --panel --decimal ,"
)
runs=0 differ=0
compare() {  # label, then the arguments after the binary
  local label=$1
  shift
  "$old" "$@" >"$work/old.out" 2>"$work/old.err"
  local old_rc=$?
  "$new" "$@" >"$work/new.out" 2>"$work/new.err"
  local new_rc=$?
  runs=$((runs + 1))
  if [ $old_rc -ne $new_rc ] || ! cmp -s "$work/old.out" "$work/new.out" ||
     ! cmp -s "$work/old.err" "$work/new.err"; then
    differ=$((differ + 1))
    echo "DIFFERS: $label (exit $old_rc vs $new_rc)"
  fi
}
for cap in $captures; do
  for opts in "${option_sets[@]}"; do
    # shellcheck disable=SC2086
    compare "$opts $cap" $opts "$cap"
  done
  # Saving to each data-file format and reading it back in.
  for ext in txt xml; do
    rm -f "$work/o.$ext" "$work/n.$ext"
    "$old" --out "$work/o.$ext" "$cap" >/dev/null 2>&1
    "$new" --out "$work/n.$ext" "$cap" >/dev/null 2>&1
    runs=$((runs + 1))
    if ! cmp -s "$work/o.$ext" "$work/n.$ext"; then
      differ=$((differ + 1))
      echo "DIFFERS: --out .$ext $cap"
    fi
    compare "--open .$ext $cap" --open "$work/o.$ext" "$cap"
  done
done
echo "$runs runs, $differ differ"
[ "$differ" -eq 0 ]
