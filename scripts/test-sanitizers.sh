#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer in build-asan/ and
# runs the test suite there, without the QEMU end-to-end tests (label e2e). Any sanitizer
# report ends its test with a failure, so the run fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
flags="-O1 -g -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE= "${launcher[@]}" \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DVEXAL_BENCH=OFF
cmake --build build-asan
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=halt_on_error=1:abort_on_error=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
ctest --test-dir build-asan --output-on-failure --timeout 900 -LE e2e "$@"
