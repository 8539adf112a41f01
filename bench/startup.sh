#!/usr/bin/env bash
# Measures start-up to the shown and painted main window of the utility against the same controls built
# by a plain Qt program, on a private Xvfb, and prints the median time of both, their ratio and their peak
# memory. An empty Qt dialog runs beside them for reference: it shows no text, so it never pays for the
# font configuration that any window with text does.
# Usage: bench/startup.sh [build folder, default build]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
source scripts/lib/xvfb.sh

cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target bench_startup startup_empty_dialog startup_same_controls TALVOR_EthernetConfig >/dev/null

start_xvfb
trap stop_xvfb EXIT
results=$(mktemp)
# Launches of the programs alternate at random, so a change in the machine's load hits all alike.
"$build/bench/startup/bench_startup" --benchmark_enable_random_interleaving=true \
  --benchmark_out="$results" --benchmark_out_format=csv \
  "$build/bench/startup/startup_empty_dialog" "$build/bench/startup/startup_same_controls" \
  "$build/app/TALVOR_EthernetConfig"

# The CSV has a header row; find the columns by name.
awk -F, '
  /^name,/ { for (i = 1; i <= NF; i++) { gsub(/"/, "", $i); column[$i] = i }; next }
  column["name"] && /^"StartupToWindow.*_median"/ {
    gsub(/"/, "", $column["name"]); split($column["name"], part, "/")
    time[part[2]] = $column["real_time"]; rss[part[2]] = $column["max_rss_kb"]; cpu[part[2]] = $column["cpu_ms"]
  }
  function show(label, name) {
    printf "%-15s %7.1f ms to painted window (%5.1f ms processor), max RSS %6.1f MiB\n", label, time[name], cpu[name], rss[name] / 1024
  }
  END {
    show("empty dialog:", "EmptyDialog"); show("same controls:", "SameControls"); show("TALVOR utility:", "NetConfig")
    printf "start-up ratio: %.2f to the same controls (target at most 1.10), %.2f to the empty dialog\n", time["NetConfig"] / time["SameControls"], time["NetConfig"] / time["EmptyDialog"]
    printf "processor time ratio: %.2f to the same controls, %.2f to the empty dialog\n", cpu["NetConfig"] / cpu["SameControls"], cpu["NetConfig"] / cpu["EmptyDialog"]
    printf "memory ratio:   %.2f to the same controls\n", rss["NetConfig"] / rss["SameControls"]
  }' "$results"
rm -f "$results"
