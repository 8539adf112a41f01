#!/usr/bin/env bash
# The README's commissioning batch file for Windows, exactly as it stands there, under Wine's cmd with
# talvor-netcfg.exe over a CSV saved as Windows spreadsheets save it (CRLF, no line break at the end):
# three controllers on COM ports, an address the utility refuses, a port with nothing behind it and a row
# with an empty column. Runs in the Wine prefix that WINEPREFIX names.
# Usage: CommissionFromCsv.sh <folder of talvor-netcfg.exe> <simulator executable> <README.md>
set -uo pipefail
netcfgDir=$(realpath "$1")
simulator=$(realpath "$2")
readme=$(realpath "$3")
lib=$(dirname "$readme")/scripts/lib
source "$lib/simulator.sh"
source "$lib/wine.sh"

batch=$(awk '/<!-- commissioning batch file/ {found = 1; next} found && /^```bat/ {inside = 1; next}
             inside && /^```/ {exit} inside {print}' "$readme")
[ -n "$batch" ] || { echo "FAIL: no commissioning batch file in $readme"; exit 1; }

work=$(mktemp -d)
cleanup() {
  stop_simulators
  rm -rf "$work"
}
trap cleanup EXIT
ports=()
for port in 1 2 3; do
  start_simulator "$simulator" --quiet || exit 1
  ports+=("$port=$TALVOR_SIM_PTY")
done
map_com_ports "${ports[@]}" "4=$work/no-such-device"

cd "$work" || exit 1
printf '%s\r\n' "$batch" >commission.cmd
printf '%s\r\n' name,port,ip,mask,gateway \
  press-1,COM1,192.168.10.11,255.255.255.0,192.168.10.1 \
  press-2,COM2,192.168.10.12,255.255.0.0,0.0.0.0 \
  press-3,COM3,192.168.10.13,255.255.255.0,192.168.10.1 \
  press-4,COM2,192.168.10.300,255.255.255.0,192.168.10.1 \
  press-5,COM4,192.168.10.15,255.255.255.0,192.168.10.1 \
  press-6,COM2,192.168.10.16,,192.168.10.1 >controllers.csv
printf 'press-7,COM1,10.1.1.5,255.0.0.0,10.1.1.1' >>controllers.csv

WINEPATH=$(windows_path "$netcfgDir") "$WINE" cmd /c commission.cmd >out.txt 2>err.txt
status=$?
tr -d '\r' <out.txt >out
tr -d '\r' <err.txt >err
failures=0
expect() {
  grep -qxF -- "$2" "$1" || { echo "FAIL: $1 lacks the line: $2"; failures=1; }
}
expect out "press-1: commissioned"
expect out "press-2: commissioned"
expect out "press-3: commissioned"
expect err "press-4: failed with exit status 1"
expect err "press-5: failed with exit status 2"
expect err "press-6: failed, a column is empty"
expect out "press-7: commissioned"
[ "$status" -ne 0 ] || { echo "FAIL: the batch file ended with status 0 although rows failed"; failures=1; }
for name in press-1 press-2 press-3 press-7; do
  [ -s "$name.json" ] || { echo "FAIL: no backup $name.json"; failures=1; }
done
for name in press-4 press-5 press-6; do
  [ ! -e "$name.json" ] || { echo "FAIL: $name was backed up"; failures=1; }
done
grep -qF '"ethernet": "001301C0A80A0CFFFF000000000000FFFF1E00"' press-2.json ||
  { echo "FAIL: press-2.json does not hold press-2's addresses"; failures=1; }
if [ "$failures" -ne 0 ]; then
  echo "--- stdout"; cat out; echo "--- stderr"; cat err
  exit 1
fi
echo "the commissioning batch file commissioned 4 controllers and reported 3 failed rows (status $status)"
