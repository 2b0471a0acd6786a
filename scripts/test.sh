#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UndefinedBehaviorSanitizer
# and runs the whole test suite headless, then every fuzz target for 20,000 inputs.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/install-deps.sh
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Debug -DZV_SANITIZE=ON >/dev/null
cmake --build build-test -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build-test --output-on-failure -j"$(nproc)" "$@"

# A parser that crashes, leaks or takes over a second on an input fails the run; the script
# prints the finding and where its input lies.
echo "== fuzz targets, 20000 inputs each"
bash scripts/fuzz.sh --runs 20000
