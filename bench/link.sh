#!/usr/bin/env bash
# Measures a status-id plus read-attributes pair through the application's link against the controller
# simulator on a pty and through a serial device server (ser2net) in front of it, against the link library
# alone and raw baselines on the same pty; what opening and closing the port costs; how soon the simulator
# serves a client that opens after a hang-up; the paced pair against its time on the wire; and what an idle
# simulator costs. Prints medians and ratios.
# Usage: bench/link.sh [build folder, default build] [repetitions, default 5]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
repetitions=${2:-5}

cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target bench_link talvor-controller-sim >/dev/null

results=$(mktemp)
paced=$(mktemp)
trap 'rm -f "$results" "$paced"' EXIT
# Two runs: the CSV writer wants the same counters in every row, and only the paced rows have them.
run() {
  "$build/bench/link/bench_link" --benchmark_repetitions="$repetitions" --benchmark_report_aggregates_only=true \
    --benchmark_filter="$1" --benchmark_out="$2" --benchmark_out_format=csv >/dev/null
}
run '^BM_(Stack|Served|Raw|Library|OpenClose|Reopen)' "$results"
run '^BM_(Paced|ServedPairAgainst)' "$paced"

# The CSV has a header row; find the columns by name and keep the medians.
awk -F, '
  /^name,/ { delete column; for (i = 1; i <= NF; i++) { gsub(/"/, "", $i); column[$i] = i }; next }
  column["name"] && /_median"/ {
    name = $column["name"]; gsub(/"|\/(real|manual)_time_median/, "", name)
    time[name] = $column["real_time"]; cpu[name] = $column["cpu_time"]; unit[name] = $column["time_unit"]
    if (column["x_wire"]) { xwire[name] = $column["x_wire"]; xreply[name] = $column["x_reply_wire"]; wire[name] = $column["wire_ms"] }
  }
  function row(label, n) { printf "%-44s %9.3f %s (cpu %.3f)\n", label, time[n], unit[n], cpu[n] }
  END {
    stack = "BM_StackStatusIdAndRead/hangups:0"; library = "BM_LibraryStatusIdAndRead"
    served = "BM_ServedStackStatusIdAndRead"
    bare = "BM_RawStatusIdAndRead/client:0/hangups:0"; honest = "BM_RawStatusIdAndRead/client:1/hangups:0"
    locked = "BM_RawStatusIdAndRead/client:2/hangups:0"
    row("pair through theApp:", stack)
    row("pair through theApp, device server:", served)
    printf "device server / pty:    %8.2f (unpaced: what the server adds alone)\n", time[served] / time[stack]
    # The pair on an idle server with the port held is the target; the others show what reconnecting
    # costs where the server is still closing the device after the last connection.
    for (idle = 1; idle >= 0; idle--)
      for (held = 1; held >= 0; held--) {
        pty = sprintf("BM_PacedServedPair/served:0/held:%d/idle:%d", held, idle)
        srv = sprintf("BM_PacedServedPair/served:1/held:%d/idle:%d", held, idle)
        printf "paced pair, %s, %s: pty %.1f ms, device server %.1f ms: x%.3f%s\n",
               held ? "port held" : "port per request", idle ? "idle server" : "back to back",
               time[pty], time[srv], time[srv] / time[pty], held && idle ? " (target at most 1.2)" : ""
      }
    # The link through ser2net against a bare raw client through the same server: its gathering cancels.
    for (paced = 1; paced >= 0; paced--)
      for (idle = 1; idle >= 0; idle--) {
        base = sprintf("BM_ServedPairAgainstRawClient/client:0/paced:%d/idle:%d", paced, idle)
        for (client = 1; client <= 2; client++) {
          link = sprintf("BM_ServedPairAgainstRawClient/client:%d/paced:%d/idle:%d", client, paced, idle)
          printf "device server, %s, %s: raw client %.2f ms, link over %s %.2f ms: x%.3f (target at most 1.05)\n",
                 paced ? "paced" : "unpaced", idle ? "idle server" : "back to back", time[base],
                 client == 1 ? "socket://" : "rfc2217://", time[link], time[link] / time[base]
        }
      }
    row("pair on the library:", library)
    row("raw pair, bare:", bare)
    row("raw pair, honest:", honest)
    row("raw pair, honest with a synced lock file:", locked)
    printf "stack / honest raw:     %8.2f (target at most 1.5)\n", time[stack] / time[honest]
    printf "stack / bare raw:       %8.2f\n", time[stack] / time[bare]
    printf "stack / raw with lock:  %8.2f\n", time[stack] / time[locked]
    row("open and close, link port layer:", "BM_OpenClose/client:-1")
    row("open and close, bare:", "BM_OpenClose/client:0")
    row("open and close, honest:", "BM_OpenClose/client:1")
    row("open and close, honest with a synced lock file:", "BM_OpenClose/client:2")
    printf "with simulator hang-ups:  stack %.3f ms, honest raw %.3f ms\n",
           time["BM_StackStatusIdAndRead/hangups:1"], time["BM_RawStatusIdAndRead/client:1/hangups:1"]
    row("open to reply after a hang-up:", "BM_ReopenLatency")
    for (n in xwire) if (n !~ /ServedPair/)
      printf "paced %-32s %8.1f ms, wire %.1f ms: x%.3f of all bytes, x%.3f of the reply bytes (target at most 1.1)\n",
             n, time[n], wire[n], xwire[n], xreply[n]
  }' "$results" "$paced"

# An idle simulator, after one client has come and gone: its processor time and wake-ups.
coproc SIM { exec "$build/sim/talvor-controller-sim" --quiet; }
read -r device <&"${SIM[0]}"
python3 - "$device" <<'PY'
import os, sys, tty
fd = os.open(sys.argv[1], os.O_RDWR | os.O_NOCTTY)
tty.setraw(fd)
os.write(fd, bytes.fromhex("A5 12 02 00 01 00 00 00 00 0F 50"))
os.read(fd, 15)
os.close(fd)
PY
sleep 0.2
ticks() { awk '{ print $14 + $15 }' "/proc/$SIM_PID/stat"; }
wakeups() { cat /proc/"$SIM_PID"/task/*/status | awk '/^voluntary_ctxt_switches/ { n += $2 } END { print n }'; }
t0=$(ticks); w0=$(wakeups); sleep 3; t1=$(ticks); w1=$(wakeups)
echo "idle simulator over 3 s: $((t1 - t0)) clock ticks of processor time, $((w1 - w0)) wake-ups"
kill "$SIM_PID"
