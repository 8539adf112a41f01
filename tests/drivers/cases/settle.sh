# 8: the settle after opening a port with modem lines happens on the real drivers (TIOCMGET works there)
# and not on a pseudo-terminal. Measured from the companion's trace (the process's own start left out):
# the open (to the first request sent), one status-id exchange, a status-id-plus-read pair; and a
# commission row's recorded duration. Medians of five; the figures go to the host.

# first_sent TRACE: milliseconds from the link's start to the first request sent.
first_sent() { awk '/ sent /{print $2; exit}' "$1"; }
# last_received TRACE: milliseconds from the link's start to the last reply's end.
last_received() { awk '/ received /{t=$2} END{print t}' "$1"; }
median() { sort -n | awk '{v[NR]=$1} END{print v[int((NR+1)/2)]}'; }

measure_port() {
  local label=$1 port=$2 i opens=() exchanges=() pairs=() rows=()
  for i in 1 2 3 4 5; do
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
  local open exchange pair row
  open=$(printf '%s\n' "${opens[@]}" | median)
  exchange=$(printf '%s\n' "${exchanges[@]}" | median)
  pair=$(printf '%s\n' "${pairs[@]}" | median)
  row=$(printf '%s\n' "${rows[@]}" | median)
  printf '%-22s %10.1f %10.1f %10.1f %14.0f\n' "$label" "$open" "$exchange" "$pair" "$row" >>"$control/figures"
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
  printf '%-22s %10s %10s %10s %14s\n' "ms, median of 5" "open" "status id" "+ read" "commission row" >"$control/figures"
  # A settle of 50 ms on the real ports, none on the pty (the open itself is a few ms, more under TCG).
  measure_port "ttyS1 (8250, 16550A)" /dev/ttyS1 50 1000
  measure_port "ttyUSB0 (ftdi_sio)" /dev/ttyUSB0 50 1000
  measure_port "pseudo-terminal" "$pty" 0 50
  kill "$simpid"
}
