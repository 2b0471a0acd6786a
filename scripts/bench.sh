#!/usr/bin/env bash
# Builds the release program and runs the benchmark: scripts/bench.sh [number of contacts ...]
# (default: 100000 and 1000000, one run each)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target zvonisty_bench
status=0
for count in "${@:-100000 1000000}"; do
  for n in $count; do
    QT_QPA_PLATFORM=offscreen build/bin/zvonisty_bench "$n" || status=$?
  done
done
exit $status
