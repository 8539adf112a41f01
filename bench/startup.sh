#!/usr/bin/env bash
# Measures start-up to the shown and painted main window of the utility against an empty Qt dialog, on a
# private Xvfb, and prints the median time of both, their ratio and the peak memory of both processes.
# Usage: bench/startup.sh [build folder, default build]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
source scripts/lib/xvfb.sh

cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target bench_startup startup_empty_dialog TALVOR_EthernetConfig >/dev/null

start_xvfb
trap stop_xvfb EXIT
results=$(mktemp)
# Launches of both programs alternate at random, so a change in the machine's load hits both alike.
"$build/bench/startup/bench_startup" --benchmark_enable_random_interleaving=true \
  --benchmark_out="$results" --benchmark_out_format=csv \
  "$build/bench/startup/startup_empty_dialog" "$build/app/TALVOR_EthernetConfig"

# The CSV has a header row; find the columns by name.
awk -F, '
  /^name,/ { for (i = 1; i <= NF; i++) { gsub(/"/, "", $i); column[$i] = i }; next }
  column["name"] && /^"StartupToWindow.*_median"/ {
    gsub(/"/, "", $column["name"]); split($column["name"], part, "/")
    time[part[2]] = $column["real_time"]; rss[part[2]] = $column["max_rss_kb"]; cpu[part[2]] = $column["cpu_ms"]
  }
  END {
    printf "empty dialog:   %7.1f ms to painted window (%5.1f ms processor), max RSS %6.1f MiB\n", time["EmptyDialog"], cpu["EmptyDialog"], rss["EmptyDialog"] / 1024
    printf "TALVOR utility: %7.1f ms to painted window (%5.1f ms processor), max RSS %6.1f MiB\n", time["NetConfig"], cpu["NetConfig"], rss["NetConfig"] / 1024
    printf "start-up ratio: %.2f (target at most 1.30); processor time ratio %.2f\n", time["NetConfig"] / time["EmptyDialog"], cpu["NetConfig"] / cpu["EmptyDialog"]
    printf "memory ratio:   %.2f\n", rss["NetConfig"] / rss["EmptyDialog"]
  }' "$results"
rm -f "$results"
