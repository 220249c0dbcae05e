#!/usr/bin/env bash
# Installs what Vexal needs, builds it and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build --target vexal
exec build/bin/vexal "$@"
