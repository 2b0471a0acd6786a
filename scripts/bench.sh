#!/usr/bin/env bash
# Builds the release program and runs the benchmark: scripts/bench.sh [number of contacts ...]
# [exchange|csv|pdf|jet|sync ...] (default: 100000 and 1000000, one run each, every group of figures; the
# searches always run)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target zvonisty_bench
status=0
counts=()
groups=()
for a in "$@"; do
  if [[ "$a" =~ ^[0-9]+$ ]]; then counts+=("$a"); else groups+=("$a"); fi
done
[ ${#counts[@]} -eq 0 ] && counts=(100000 1000000)
for n in "${counts[@]}"; do
  QT_QPA_PLATFORM=offscreen build/bin/zvonisty_bench "$n" "${groups[@]}" || status=$?
done
exit $status
