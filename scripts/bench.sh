#!/usr/bin/env bash
# Builds the release program and runs the benchmark: scripts/bench.sh [number of contacts]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target zvonisty_bench
QT_QPA_PLATFORM=offscreen build/bin/zvonisty_bench "$@"
