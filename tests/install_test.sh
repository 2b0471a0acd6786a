#!/usr/bin/env bash
# Installs the build into a temporary prefix, validates what it brings to the desktop, and starts
# the installed program on fresh per-user folders to find its files where the README says.
# Arguments: the cmake program, the build folder, the desktop entry's id.
set -euo pipefail
cmake_cmd="$1"
build="$2"
id="$3"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
share="$prefix/share"
fail() { echo "FAIL: $*" >&2; exit 1; }

"$cmake_cmd" --install "$build" --prefix "$prefix" >/dev/null
[ -x "$prefix/bin/zvonisty" ] || fail "no program in bin/"
desktop-file-validate "$share/applications/$id.desktop"
appstreamcli validate --no-net "$share/metainfo/$id.metainfo.xml"
grep -qx "Exec=zvonisty --user-data" "$share/applications/$id.desktop" || fail "the entry does not start with --user-data"
grep -qx "Icon=$id" "$share/applications/$id.desktop" || fail "the entry names another icon"
# The toolkit gives the windows the application's name as their class.
grep -qx "StartupWMClass=Zvonisty" "$share/applications/$id.desktop" || fail "the entry names another window class"
metainfo="$share/metainfo/$id.metainfo.xml"
grep -q '<release version="1.1.1.101" date="2026-12-09"' "$metainfo" || fail "the metainfo lacks the release"
grep -q "<project_license>GPL-3.0-or-later</project_license>" "$metainfo" || fail "the metainfo names another licence"
grep -q "GNU GENERAL PUBLIC LICENSE" "$share/doc/Zvonisty/LICENSE" || fail "no licence text installed"

png_side() { od -An -tu1 -j"$2" -N4 "$1" | awk '{ print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4 }'; }
for size in 48 64 128; do
  png="$share/icons/hicolor/${size}x${size}/apps/$id.png"
  [ -s "$png" ] || fail "no ${size} px icon"
  [ "$(png_side "$png" 16)" = "$size" ] && [ "$(png_side "$png" 20)" = "$size" ] || fail "the ${size} px icon has another size"
done
grep -q "<svg" "$share/icons/hicolor/scalable/apps/$id.svg" || fail "no scalable icon"

# Runs the installed program in `$1` as working directory with HOME at `$2`; the rest are its arguments.
# XDG variables are given only when set in XDG_CONFIG/XDG_STATE/XDG_DATA.
run() {
  local cwd="$1" home="$2"
  shift 2
  (
    cd "$cwd"
    unset XDG_CONFIG_HOME XDG_STATE_HOME XDG_DATA_HOME
    export HOME="$home" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen ZVONISTY_EXIT_AFTER_START=1
    [ -n "${XDG_CONFIG:-}" ] && export XDG_CONFIG_HOME="$XDG_CONFIG"
    [ -n "${XDG_STATE:-}" ] && export XDG_STATE_HOME="$XDG_STATE"
    [ -n "${XDG_DATA:-}" ] && export XDG_DATA_HOME="$XDG_DATA"
    timeout 60 "$prefix/bin/zvonisty" "$@" 2>/dev/null
  )
}
mkdir -p "$work/runtime" "$work/cwd"
chmod 700 "$work/runtime"

# Started from the desktop menu, on a fresh user: a directory file in the data folder, the settings
# in the config folder, nothing beside the executable or in the working directory.
home="$work/home"
mkdir -p "$home"
XDG_CONFIG="$home/cfg" XDG_STATE="$home/st" XDG_DATA="$home/dt" ZVONISTY_PER_USER=1 run "$work/cwd" "$home" --user-data \
  || fail "the installed program did not end well"
[ -s "$home/dt/Zvonisty/Zvonisty.mdb" ] || fail "no directory file in \$XDG_DATA_HOME/Zvonisty"
grep -q "^\[NASTAVENI\]" "$home/cfg/Zvonisty/zvonisty.ini" || fail "no settings file in \$XDG_CONFIG_HOME/Zvonisty"
[ "$(ls "$prefix/bin")" = "zvonisty" ] || fail "files beside the installed executable"
[ -z "$(ls "$work/cwd")" ] || fail "files in the working directory"

# A second start keeps the directory file it made.
sqlite3 "$home/dt/Zvonisty/Zvonisty.mdb" "pragma user_version = 7"
XDG_CONFIG="$home/cfg" XDG_STATE="$home/st" XDG_DATA="$home/dt" ZVONISTY_PER_USER=1 run "$work/cwd" "$home" --user-data \
  || fail "the second start did not end well"
[ "$(sqlite3 "$home/dt/Zvonisty/Zvonisty.mdb" "pragma user_version")" = "7" ] || fail "the directory file was replaced"

# Without the XDG variables: ~/.config, ~/.local/state and ~/.local/share. A settings "file" that
# is a folder cannot be read: the failure goes to the log in the state folder.
home2="$work/home2"
mkdir -p "$home2/.config/Zvonisty/zvonisty.ini"
ZVONISTY_PER_USER=1 run "$work/cwd" "$home2" --user-data || fail "the start without XDG variables did not end well"
[ -s "$home2/.local/share/Zvonisty/Zvonisty.mdb" ] || fail "no directory file in ~/.local/share/Zvonisty"
grep -q "zvonisty.ini" "$home2/.local/state/Zvonisty/Error.log" || fail "no Error.log in ~/.local/state/Zvonisty"

# A writable folder of the executable keeps the settings beside it, and without --user-data the
# program opens the directory file of the working directory.
"$prefix/bin/zvonisty" --create-database "$work/cwd/Zvonisty.mdb"
home3="$work/home3"
mkdir -p "$home3"
run "$work/cwd" "$home3" || fail "the start in a folder of the user's did not end well"
grep -q "^\[NASTAVENI\]" "$prefix/bin/zvonisty.ini" || fail "no settings file beside a writable executable"
[ ! -e "$home3/.config/Zvonisty/zvonisty.ini" ] || fail "settings in the per-user place although the folder is writable"
[ "$(ls "$work/cwd")" = "Zvonisty.mdb" ] || fail "other files in the working directory"
# The installed program reads an older file through its reader in libexec/, and names it when it is missing.
printf '\0\0\0\0Standard Jet DB\0' >"$work/stary.mdb"
convert() { "$prefix/bin/zvonisty" --convert "$work/stary.mdb" "$work/novy.mdb" 2>&1 || true; }
convert | grep -q "Soubor je poškozen (při čtení bylo hlášeno" || fail "the installed program did not start its reader"
rm "$prefix/libexec/zvonisty-jet"
convert | grep -q "Chybí program zvonisty-jet" || fail "no word of the missing reader"
echo "install test passed"
