#!/usr/bin/env bash
# talvor-netcfg.exe commission under Wine's cmd, with a plan saved as a Windows spreadsheet in a ';'
# locale saves it (byte-order mark, CRLF, quoted cells, no line break at the end): a row on each of COM1,
# COM2, COM3 and COM5, COM4 leading nowhere (the plan check cannot tell on Windows). The rows on working ports end commissioned, the
# report holds every row and the exit status is the worst row's. Runs in the Wine prefix WINEPREFIX
# names.
# Usage: CommissionPlan.sh <folder of talvor-netcfg.exe> <simulator executable> <scripts/lib folder>
set -uo pipefail
netcfgDir=$(realpath "$1")
simulator=$(realpath "$2")
lib=$(realpath "$3")
source "$lib/simulator.sh"
source "$lib/wine.sh"

work=$(mktemp -d)
trap 'stop_simulators; rm -rf "$work"' EXIT
mappings=("4=$work/no-such-device")
for port in 1 2 3 5; do
  start_simulator "$simulator" --quiet --preload-defaults || exit 1
  mappings+=("$port=$TALVOR_SIM_PTY")
done
map_com_ports "${mappings[@]}"

cd "$work" || exit 1
printf '\xEF\xBB\xBF' >plan.csv
printf '%s\r\n' 'name;port;ip;mask;mac-id' \
  '"press-1";COM1;192.168.10.11;255.255.255.0;' \
  'drive-1;COM2;;;7' \
  'press-2;COM3;192.168.10.12;255.255.255.0;' \
  'press-3;COM4;192.168.10.13;255.255.255.0;' >>plan.csv
printf 'drive-2;COM5;;;9' >>plan.csv

WINEPATH="$(windows_path "$netcfgDir")${WINEPATH:+;$WINEPATH}" "$WINE" cmd /c talvor-netcfg commission plan.csv --report report.csv \
  --backups saved >out.txt 2>err.txt
status=$?
tr -d '\r' <out.txt >out
failures=0
fail() {
  echo "FAIL: $1"
  failures=1
}
[ "$status" -eq 2 ] || fail "exit status $status, not 2 (COM4 leads nowhere)"
# The closing table: a row per controller with what changed, held -> written.
for row in "press-1 +COM1 +commissioned .* ip 192\.168\.1\.1 -> 192\.168\.10\.11" \
           "drive-1 +COM2 +commissioned .* mac-id 20 -> 7" \
           "press-2 +COM3 +commissioned .* ip 192\.168\.1\.1 -> 192\.168\.10\.12" \
           "drive-2 +COM5 +commissioned .* mac-id 20 -> 9"; do
  grep -qE -- "^$row" out || fail "the table lacks the row: $row"
done
grep -qxF "5 rows: 4 commissioned, 1 failed." out || fail "standard output lacks the summary"
# The report keeps the plan's separator.
grep -q '^5;press-3;COM4;.*;failed;2;' report.csv || fail "the report lacks press-3's failure"
[ "$(tail -n +2 report.csv | wc -l)" -eq 5 ] || fail "the report does not hold 5 rows"
for name in press-1 drive-1 press-2 drive-2; do
  [ -s "saved/$name-before.json" ] && [ -s "saved/$name.json" ] || fail "no backups of $name"
done
if [ "$failures" -ne 0 ]; then
  echo "--- stdout"; cat out; echo "--- stderr"; tr -d '\r' <err.txt; echo "--- report"; cat report.csv
  exit 1
fi
echo "commission under Wine's cmd commissioned 4 controllers on 4 ports and reported COM4's row failed"
