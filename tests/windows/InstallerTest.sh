#!/usr/bin/env bash
# The MSI under Wine's msiexec in a fresh Wine prefix: it installs the staged files per machine with a
# Start-menu shortcut, one Add/Remove Programs entry (with the folder and a help link) and the folder on
# the system PATH; the installed utility programs a controller and opens its About box from the system
# menu as a user does, the installed talvor-netcfg.exe reads one, and a new command window runs it by
# name; a rebuild of the same version and a newer version each replace it in place, the older one is
# refused over the newer, and uninstalling leaves nothing behind, on the PATH neither.
# Usage: InstallerTest.sh MSI STAGE ICON SIMULATOR PROBE   (MSI built from STAGE and ICON; PROBE is
# window_probe.exe; on the X server that DISPLAY names, with TALVOR_DIALOG_GEOMETRY from
# scripts/lib/dialog-geometry.sh's use_dialog_geometry)
set -euo pipefail
shopt -s inherit_errexit
lib=$(cd "$(dirname "$0")/../../scripts/lib" && pwd)
source "$lib/xvfb.sh"
source "$lib/simulator.sh"
source "$lib/wine.sh"
source "$lib/dialog-geometry.sh"
source "$lib/wine-gui.sh"
source "$lib/windows-msi.sh"
msi=$(realpath "$1")
stage=$(realpath "$2")
icon=$(realpath "$3")
simulator=$(realpath "$4")
probe=$(realpath "$5")
version=$(basename "$msi" | sed -n 's/^TALVOR_EthernetConfig-\([0-9.]*\)-win64\.msi$/\1/p')
IFS=. read -r major minor rest <<<"$version"
newerVersion=$major.$((minor + 1))${rest:+.$rest}

work=$(mktemp -d)
cleanup() {
  stop_simulators
  stop_wine
  rm -rf "$work"
}
trap cleanup EXIT
use_wine_prefix "$work/prefix"
installed="$WINEPREFIX/drive_c/Program Files/TALVOR Net Config"
folder='C:\Program Files\TALVOR Net Config'

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# msiexec ARG...: Wine's msiexec without a user interface; prints its exit status.
msiexec() {
  local status=0
  "$WINE" msiexec "$@" /qn >/dev/null 2>&1 || status=$?
  echo "$status"
}

# entry_values NAME: value NAME of every Add/Remove Programs entry of the product.
entry_values() {
  "$WINE" reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s 2>/dev/null | tr -d '\r' |
    awk -v name="$1" '/^HKEY/ {key = $0} /DisplayName .*TALVOR Net Config$/ {ours[key] = 1}
         $1 == name {sub(/^ *[^ ]+ +REG_[A-Z_]+ +/, ""); value[key] = $0}
         END {for (key in ours) print value[key]}'
}

installed_versions() { entry_values DisplayVersion; }

# system_path: the system PATH that new processes get.
system_path() {
  "$WINE" reg query 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' /v PATH 2>/dev/null |
    tr -d '\r' | sed -n 's/^ *PATH *REG_[A-Z_]* *//p'
}

# path_entries: how often the install folder is on the system PATH.
path_entries() {
  system_path | tr ';' '\n' | grep -ciE '^C:\\Program Files\\TALVOR Net Config\\?$' || true
}

# new_window_runs_netcfg: whether a new command window runs talvor-netcfg by its name alone. Wine's cmd
# ends with status 0 even when it finds no such command: the version printed tells (every package of
# this test holds the same staged files).
new_window_runs_netcfg() {
  local said
  said=$("$WINE" cmd /c talvor-netcfg --version 2>&1 | tr -d '\r')
  echo "$said"
  [ "$said" = "talvor-netcfg $version" ]
}

# shortcuts: the product's Start-menu shortcuts. Wine's msiexec puts a per-machine package's shortcut
# into the user's Start menu, Windows into the one of all users: either counts.
shortcuts() {
  find "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs" \
    "$WINEPREFIX/drive_c/users" -name 'TALVOR Net Config.lnk' 2>/dev/null
}

# expect_installed VERSION: the staged files, byte for byte, one shortcut, one entry of VERSION.
expect_installed() {
  # Wine's msiexec can return before the entry of the product it replaced is gone: wait for it.
  local versions
  for _ in $(seq 30); do
    versions=$(installed_versions)
    [ "$versions" = "$1" ] && break
    sleep 0.5
  done
  [ "$versions" = "$1" ] || fail "Add/Remove Programs lists \"$versions\", not only $1"
  diff -r "$stage" "$installed" >"$work/diff" || { cat "$work/diff" >&2; fail "installed files differ from the staged ones"; }
  [ "$(shortcuts | wc -l)" -eq 1 ] || fail "not exactly one Start-menu shortcut: $(shortcuts)"
  [ "$(entry_values InstallLocation)" = "$folder\\" ] ||
    fail "the entry's InstallLocation is \"$(entry_values InstallLocation)\""
  [ "$(entry_values HelpLink)" = "$folder\\TALVOR_EthernetConfig.html" ] ||
    fail "the entry's HelpLink is \"$(entry_values HelpLink)\""
  [ "$(path_entries)" = 1 ] || fail "the install folder is $(path_entries) times on the system PATH: $(system_path)"
  echo "installed $1: $(find "$installed" -type f | wc -l) files, a Start-menu shortcut, one Add/Remove Programs entry" \
    "with its folder and help link, the folder once on the system PATH"
}

echo "== the MSI in a fresh Wine prefix"
[ "$(msiexec /i "$(windows_path "$msi")")" = 0 ] || fail "msiexec did not install $msi"
expect_installed "$version"

programming_run "$installed/TALVOR_EthernetConfig.exe" "$simulator" "$work"
about_box_run "$installed/TALVOR_EthernetConfig.exe" "$probe" "$work"

start_simulator "$simulator" --quiet --preload-defaults
map_com_ports "2=$TALVOR_SIM_PTY"
"$WINE" "$installed/talvor-netcfg.exe" --port COM2 read devicenet >"$work/netcfg.out" 2>&1 ||
  { cat "$work/netcfg.out" >&2; fail "the installed talvor-netcfg.exe did not read COM2"; }
stop_simulators
grep -q '^macId: *20' "$work/netcfg.out" || { cat "$work/netcfg.out" >&2; fail "talvor-netcfg.exe read no MAC ID 20"; }
echo "the installed talvor-netcfg.exe read the controller on COM2"
# A command window opened after the installation finds talvor-netcfg by the system PATH alone.
new_window_runs_netcfg || fail "a new command window does not run talvor-netcfg"
echo "a new command window runs talvor-netcfg from the system PATH"

# Every build has its own product code: a rebuild of the same version must replace, not join, it.
build_windows_msi "$stage" "$version" "$icon" "$work/rebuilt/$(basename "$msi")"
[ "$(msiexec /i "$(windows_path "$work/rebuilt/$(basename "$msi")")")" = 0 ] || fail "msiexec did not install the rebuild"
expect_installed "$version"
newer=$work/TALVOR_EthernetConfig-$newerVersion-win64.msi
build_windows_msi "$stage" "$newerVersion" "$icon" "$newer"
[ "$(msiexec /i "$(windows_path "$newer")")" = 0 ] || fail "msiexec did not install the newer $newer"
expect_installed "$newerVersion"
status=$(msiexec /i "$(windows_path "$msi")")
[ "$status" != 0 ] || fail "the older package installed over the newer one"
expect_installed "$newerVersion"
echo "the older package was refused over the newer one (msiexec status $status)"

[ "$(msiexec /x "$(windows_path "$newer")")" = 0 ] || fail "msiexec did not uninstall"
[ ! -e "$installed" ] || fail "uninstalling left $installed"
left=$(find "$WINEPREFIX/drive_c" -iname '*talvor*')
[ -z "$left" ] || fail "uninstalling left $left"
[ -z "$(installed_versions)" ] || fail "uninstalling left the Add/Remove Programs entry"
! "$WINE" reg query 'HKLM\Software\TALVOR' >/dev/null 2>&1 || fail "uninstalling left HKLM\\Software\\TALVOR"
[ "$(path_entries)" = 0 ] || fail "uninstalling left the install folder on the system PATH: $(system_path)"
! new_window_runs_netcfg >/dev/null || fail "a new command window still runs talvor-netcfg"
echo "uninstalled: no file, shortcut, registry entry or PATH entry is left"
