#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need, only those missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config ccache
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libgl-dev
  libsqlite3-dev sqlite3 libcsv-dev
  qt6-qpa-plugins fonts-dejavu-core
  desktop-file-utils appstream
  qt6-translations-l10n python3-vobject
  clang-14 libclang-rt-14-dev
  mdbtools-dev libmdb3 mdbtools
  radicale xandikos openssl qtkeychain-qt6-dev
  poppler-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  sudo_cmd=()
else
  sudo_cmd=(sudo)
fi
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
