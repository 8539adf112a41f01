# 8: the settle after opening a port with modem lines happens on the real drivers (TIOCMGET works there)
# and not on a pseudo-terminal. Measured from the companion's trace (the process's own start left out):
# the open (to the first request sent), one status-id exchange, a status-id-plus-read pair, a write
# with its read-back; and a commission row's recorded duration. Medians of five; the figures go to the host.

# first_sent TRACE: milliseconds from the link's start to the first request sent.
first_sent() { awk '/ sent /{print $2; exit}' "$1"; }
# last_received TRACE: milliseconds from the link's start to the last reply's end.
last_received() { awk '/ received /{t=$2} END{print t}' "$1"; }
median() { sort -n | awk '{v[NR]=$1} END{print v[int((NR+1)/2)]}'; }

measure_port() {
  local label=$1 port=$2 i opens=() exchanges=() pairs=() writes=() rows=()
  for i in 1 2 3 4 5; do
    "$netcfg" write devicenet --mac-id $((50 + i)) --port "$port" --trace 2>trace.txt >/dev/null || fail "write on $port"
    writes+=("$(last_received trace.txt)")
    "$netcfg" status --port "$port" --trace 2>trace.txt >/dev/null || fail "status on $port: $(cat trace.txt)"
    opens+=("$(first_sent trace.txt)")
    exchanges+=("$(last_received trace.txt)")
    "$netcfg" read devicenet --port "$port" --trace 2>trace.txt >/dev/null || fail "read on $port"
    pairs+=("$(last_received trace.txt)")
    printf 'name,port,mac-id\nrow-%s,%s,%s\n' "$i" "$port" $((40 + i)) >plan.csv
    rm -f report.csv
    "$netcfg" commission plan.csv --report report.csv >/dev/null 2>&1 || fail "commission on $port"
    rows+=("$(awk -F, 'NR == 2 {print $10 * 1000}' report.csv)")
  done
  local open exchange pair write row
  open=$(printf '%s\n' "${opens[@]}" | median)
  exchange=$(printf '%s\n' "${exchanges[@]}" | median)
  pair=$(printf '%s\n' "${pairs[@]}" | median)
  write=$(printf '%s\n' "${writes[@]}" | median)
  row=$(printf '%s\n' "${rows[@]}" | median)
  printf '%-22s %8.1f %10.1f %8.1f %8.1f %15.0f\n' "$label" "$open" "$exchange" "$pair" "$write" "$row" \
    >>"$control/figures"
  # Milliseconds from the start to the first request sent, against the bounds given.
  awk -v t="$open" -v least="$3" -v most="$4" 'BEGIN { exit !(t >= least && t < most) }' ||
    fail "the first request left $label $open ms after the link's start, not $3 to $4 ms"
}

case_settle() {
  local sim=$repo/build/sim/talvor-controller-sim pty
  "$sim" --pace --preload-defaults --quiet >sim.out &
  local simpid=$!
  wait_until 10 test -s sim.out || fail "no simulator in the guest"
  pty=$(head -n 1 sim.out)
  printf '%-22s %8s %10s %8s %8s %15s\n' "ms, median of 5" "open" "status id" "+ read" "write" "commission row" \
    >"$control/figures"
  # A settle of 50 ms on the real ports; the pty, which has none, is measured for comparison.
  measure_port "ttyS1 (8250, 16550A)" /dev/ttyS1 50 1000
  measure_port "ttyUSB0 (ftdi_sio)" /dev/ttyUSB0 50 1000
  measure_port "pseudo-terminal" "$pty" 0 1000
  # --settle reaches the open: 200 ms on a real port.
  "$netcfg" status --port /dev/ttyS1 --settle 200 --trace 2>trace.txt >/dev/null || fail "status --settle 200"
  awk -v t="$(first_sent trace.txt)" 'BEGIN { exit !(t >= 200) }' ||
    fail "with --settle 200 the first request left ttyS1 $(first_sent trace.txt) ms after the start"
  kill "$simpid"
}
