#!/usr/bin/env bash
# The Windows build under Wine through a serial device server on loopback (ser2net): two controllers, one
# behind a Telnet port with COM port control, one behind a raw TCP port. talvor-netcfg.exe: status over
# both, DeviceNet read and written with read-back, a commission plan of a row on each, COM3 reaching a
# server through TALVOR_COM3, and a refused connection. The utility: Com3 chosen in its port list, mapped
# the same way, reads and programs DeviceNet. Runs in the Wine prefix WINEPREFIX names, on the X server
# DISPLAY names, with TALVOR_DIALOG_GEOMETRY from scripts/lib/dialog-geometry.sh's use_dialog_geometry.
# Usage: NetworkPorts.sh <folder of the staged executables> <simulator executable> <scripts/lib folder>
set -uo pipefail
stage=$(realpath "$1")
netcfg=$stage/talvor-netcfg.exe
simulator=$(realpath "$2")
lib=$(realpath "$3")
source "$lib/xvfb.sh"
source "$lib/simulator.sh"
source "$lib/wine.sh"
source "$lib/dialog-geometry.sh"
source "$lib/wine-gui.sh"

work=$(mktemp -d)
server=""
cleanup() {
  [ -z "$server" ] || { kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; }
  stop_wine
  stop_simulators
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work" || exit 1
failures=0
fail() {
  echo "FAIL: $1"
  failures=1
}

# listens PORT [HOST]: whether something on HOST (default 127.0.0.1) takes connections on PORT.
listens() {
  (exec 3<>"/dev/tcp/${2:-127.0.0.1}/$1") 2>/dev/null
}

# unused_ports: three neighbouring ports below the system's own picks (32768 up) that nothing listens on
# now, the first printed.
unused_ports() {
  local port
  for _ in $(seq 50); do
    port=$((20000 + RANDOM % 12000))
    if ! listens "$port" && ! listens $((port + 1)) && ! listens $((port + 2)); then
      echo "$port"
      return 0
    fi
  done
  return 1
}

start_simulator "$simulator" --quiet --preload-defaults --store telnet.store || exit 1
telnetPty=$TALVOR_SIM_PTY
start_simulator "$simulator" --quiet --preload-defaults || exit 1
rawPty=$TALVOR_SIM_PTY
telnetPort=$(unused_ports) || { echo "FAIL: no unused TCP ports"; exit 1; }
rawPort=$((telnetPort + 1))
refusedPort=$((telnetPort + 2))
telnet=rfc2217://127.0.0.1:$telnetPort
# The raw port on the IPv6 loopback where there is one: the other address family through Winsock.
rawHost=127.0.0.1
raw=socket://127.0.0.1:$rawPort
if grep -q '^0\{31\}1 .* lo$' /proc/net/if_inet6 2>/dev/null; then
  rawHost=::1
  raw="socket://[::1]:$rawPort"
fi
cat >ser2net.yaml <<EOF
connection: &telnet
  accepter: telnet(rfc2217),tcp,127.0.0.1,$telnetPort
  connector: serialdev,$telnetPty,19200n81,local
connection: &raw
  accepter: tcp,$rawHost,$rawPort
  connector: serialdev,$rawPty,19200n81,local
EOF
# No UUCP lock files: pty numbers come round again, and a killed server leaves its locks behind.
/usr/sbin/ser2net -n -d -u -c ser2net.yaml >ser2net.log 2>&1 &
server=$!
for _ in $(seq 100); do
  listens "$telnetPort" && listens "$rawPort" "$rawHost" && break
  sleep 0.05
done
if ! listens "$telnetPort" || ! listens "$rawPort" "$rawHost"; then
  echo "FAIL: ser2net does not serve:"
  cat ser2net.log
  exit 1
fi

# run EXPECTED-STATUS NAME ARG...: talvor-netcfg.exe ARG... into NAME.out and NAME.err, CRs dropped.
run() {
  local expected=$1 name=$2 status=0
  shift 2
  "$WINE" "$netcfg" "$@" >"$name.out" 2>"$name.err" || status=$?
  sed -i 's/\r$//' "$name.out" "$name.err"
  if [ "$status" -ne "$expected" ]; then
    fail "$name: exit status $status, not $expected"
    echo "--- stdout"; cat "$name.out"; echo "--- stderr"; cat "$name.err"
  fi
}
# expect NAME.out|NAME.err LINE: the file holds LINE.
expect() {
  grep -qxF -- "$2" "$1" || { fail "$1 lacks the line: $2"; cat "$1"; }
}

run 0 telnet-status status --port "$telnet"
expect telnet-status.out "statusId: 54560100"
run 0 raw-status status --port "$raw"
expect raw-status.out "statusId: 54560100"
run 0 read read devicenet --port "$telnet"
expect read.out "macId:          20"
run 0 write write devicenet --mac-id 42 --port "$telnet"
expect write.out "$telnet: DeviceNet attributes successfully programmed: macId 42."
# stored DEVICENET-BLOCK: the controller behind the Telnet port holds that block, in hex.
stored() {
  tr -d ' ' <telnet.store | grep -qix "2$1" || { fail "the controller does not hold the block $1"; cat telnet.store; }
}
stored 000C021E0000400004002A00

# Wine's own COM3, and COM1 where the utility starts, lead nowhere: only the variable can make COM3 reach
# the server, and a choice of port in the utility that does not take fails.
map_com_ports "1=$work/no-such-device" "3=$work/no-such-device"
TALVOR_COM3=$raw run 0 com3 status --port COM3
expect com3.out "statusId: 54560100"

run 2 refused status --port "rfc2217://127.0.0.1:$refusedPort"
expect refused.err "cannot open rfc2217://127.0.0.1:$refusedPort: the server refused the connection (nothing listens on that port, or it serves another client)"

printf '%s\r\n' name,port,ip,mac-id "press-1,$telnet,,17" "press-2,$raw,192.168.10.12," >plan.csv
run 0 commission commission plan.csv --backups saved
rawPattern=$(sed 's/[].[]/\\&/g' <<<"$raw")
for row in "press-1 +$telnet +commissioned .* mac-id 42 -> 17" \
           "press-2 +$rawPattern +commissioned .* ip 192\.168\.1\.1 -> 192\.168\.10\.12"; do
  grep -qE -- "^$row" commission.out || { fail "the table lacks the row: $row"; cat commission.out; }
done
expect commission.out "2 rows: 2 commissioned."
stored 000C021E0000400004001100

unset QT_QPA_PLATFORM
TALVOR_COM3=$telnet drive_windows_utility "$stage/TALVOR_EthernetConfig.exe" "$work" 3 >dialog.out 2>&1 ||
  { fail "the utility on Com3"; cat dialog.out; }
stored 000C021E0000400004002A00

if [ "$failures" -ne 0 ]; then
  echo "--- ser2net"; cat ser2net.log
  exit 1
fi
echo "talvor-netcfg.exe and the utility reached controllers through a serial device server; refused where none listens"
