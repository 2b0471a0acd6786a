#!/usr/bin/env bash
# Installs what is missing, builds the release program and starts it on the data folder.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" --target zvonisty

mkdir -p data
if [ ! -e data/Zvonisty.mdb ]; then
  build/bin/zvonisty --create-database data/Zvonisty.mdb
fi
cd data
exec "$root/build/bin/zvonisty" "$@"
