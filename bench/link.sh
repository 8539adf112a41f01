#!/usr/bin/env bash
# Measures a status-id plus read-attributes pair through the application's link against the controller
# simulator on a pty, against the link library alone and a raw baseline on the same pty, and the paced
# pair against its time on the wire. Prints the medians and the ratios.
# Usage: bench/link.sh [build folder, default build] [repetitions, default 5]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
repetitions=${2:-5}

cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target bench_link >/dev/null

results=$(mktemp)
paced=$(mktemp)
trap 'rm -f "$results" "$paced"' EXIT
# Two runs: the CSV writer wants the same counters in every row, and only the paced rows have them.
run() {
  "$build/bench/link/bench_link" --benchmark_repetitions="$repetitions" --benchmark_report_aggregates_only=true \
    --benchmark_filter="$1" --benchmark_out="$2" --benchmark_out_format=csv >/dev/null
}
run '^BM_(Stack|Raw|Library)' "$results"
run '^BM_Paced' "$paced"

# The CSV has a header row; find the columns by name and keep the medians.
awk -F, '
  /^name,/ { delete column; for (i = 1; i <= NF; i++) { gsub(/"/, "", $i); column[$i] = i }; next }
  column["name"] && /_median"/ {
    name = $column["name"]; gsub(/"|\/real_time_median/, "", name)
    time[name] = $column["real_time"]; cpu[name] = $column["cpu_time"]
    if (column["x_wire"]) { xwire[name] = $column["x_wire"]; xreply[name] = $column["x_reply_wire"]; wire[name] = $column["wire_ms"] }
  }
  END {
    stack = "BM_StackStatusIdAndRead/hangups:0"; raw = "BM_RawStatusIdAndRead/hangups:0"
    library = "BM_LibraryStatusIdAndRead"
    printf "pair through theApp:      %8.3f ms (cpu %.3f ms)\n", time[stack], cpu[stack]
    printf "pair on the library:      %8.3f ms (cpu %.3f ms)\n", time[library], cpu[library]
    printf "raw pair:                 %8.3f ms (cpu %.3f ms)\n", time[raw], cpu[raw]
    printf "stack / raw:              %8.2f (target at most 1.5)\n", time[stack] / time[raw]
    printf "stack / library:          %8.2f\n", time[stack] / time[library]
    hs = "BM_StackStatusIdAndRead/hangups:1"; hr = "BM_RawStatusIdAndRead/hangups:1"
    printf "with simulator hang-ups:  stack %.3f ms, raw %.3f ms\n", time[hs], time[hr]
    for (n in xwire)
      printf "paced %-30s %8.1f ms, wire %.1f ms: x%.2f of all bytes, x%.2f of the paced reply bytes (target at most 1.1)\n",
             n, time[n], wire[n], xwire[n], xreply[n]
  }' "$results" "$paced"
