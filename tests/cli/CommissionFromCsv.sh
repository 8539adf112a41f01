#!/usr/bin/env bash
# The README's commissioning loop, exactly as it stands there, over a CSV of four controllers: two
# simulators reached as devices, one through TALVOR_COM3, and a row with an address the utility refuses.
# Usage: CommissionFromCsv.sh <folder of talvor-netcfg> <simulator executable> <README.md>
set -uo pipefail
netcfg_dir=$(cd "$1" && pwd)
simulator=$(realpath "$2")
readme=$(realpath "$3")
source "$(dirname "$readme")/scripts/lib/simulator.sh"

loop=$(awk '/<!-- commissioning loop/ {found = 1; next} found && /^```sh/ {inside = 1; next}
            inside && /^```/ {exit} inside {print}' "$readme")
if [ -z "$loop" ]; then
  echo "FAIL: no commissioning loop in $readme"
  exit 1
fi

work=$(mktemp -d)
cleanup() {
  stop_simulators
  rm -rf "$work"
}
trap cleanup EXIT

ptys=()
for _ in 1 2 3; do
  start_simulator "$simulator" --quiet || exit 1
  ptys+=("$TALVOR_SIM_PTY")
done
export TALVOR_COM3=${ptys[2]}

cat >"$work/controllers.csv" <<CSV
name,port,ip,mask,gateway
press-1,${ptys[0]},192.168.10.11,255.255.255.0,192.168.10.1
press-2,${ptys[1]},192.168.10.12,255.255.0.0,0.0.0.0
press-3,COM3,192.168.10.13,255.255.255.0,192.168.10.1
press-4,${ptys[1]},192.168.10.300,255.255.255.0,192.168.10.1
CSV
# The last row without a line break, as spreadsheets often save it.
printf 'press-5,%s,10.1.1.5,255.0.0.0,10.1.1.1' "${ptys[0]}" >>"$work/controllers.csv"

cd "$work" || exit 1
PATH="$netcfg_dir:$PATH" bash -c "$loop" >out.txt 2>err.txt
status=0
expect() {
  if ! grep -qF -- "$2" "$1"; then
    echo "FAIL: $1 lacks: $2"
    status=1
  fi
}
expect out.txt "press-1: commissioned"
expect out.txt "press-2: commissioned"
expect out.txt "press-3: commissioned"
expect err.txt "press-4: failed with exit status 1"
expect out.txt "press-5: commissioned"
for name in press-1 press-2 press-3 press-5; do
  [ -s "$name.json" ] || { echo "FAIL: no backup $name.json"; status=1; }
done
[ ! -e press-4.json ] || { echo "FAIL: press-4 was backed up"; status=1; }
expect press-2.json '"ethernet": "001301C0A80A0CFFFF000000000000FFFF1E00"'
expect press-3.json '"ethernet": "001301C0A80A0DFFFFFF00C0A80A01FFFF1E00"'
# press-5 ran last on the first simulator, over press-1's addresses.
"$netcfg_dir/talvor-netcfg" --port "${ptys[0]}" read ethernet >press-1.now
expect press-1.now "ipAddress:      10.1.1.5"
if [ "$status" -ne 0 ]; then
  echo "--- stdout"; cat out.txt; echo "--- stderr"; cat err.txt
fi
exit "$status"
