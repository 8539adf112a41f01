#!/usr/bin/env bash
# Counts the instructions the utility, the same controls built by a plain Qt program and an empty Qt dialog
# (for reference) execute from their start to their shown and painted window, under callgrind on a
# private Xvfb, and prints them and the utility's ratios. A count is the
# same from run to run within about a percent however busy the machine is, where bench/startup.sh's
# times are not: use it to find and confirm a saving, and startup.sh for the time it buys.
# Usage: bench/startup-instructions.sh [build folder, default build]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
source scripts/lib/packages.sh
source scripts/lib/xvfb.sh
ensure_packages valgrind

cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target startup_empty_dialog startup_same_controls TALVOR_EthernetConfig >/dev/null

results=$(mktemp -d)
start_xvfb
trap 'stop_xvfb; rm -rf "$results"' EXIT
unset QT_QPA_PLATFORM

# Runs the program under callgrind until its window is mapped and has had time to paint, then ends it;
# callgrind writes its counts when the program ends. Prints the count.
count() {
  local executable=$1 title=$2 output=$results/$3
  valgrind --tool=callgrind --callgrind-out-file="$output" "$executable" >/dev/null 2>&1 &
  local pid=$!
  wait_for_window "$title" 120 >/dev/null || { kill "$pid"; echo "no window from $executable" >&2; exit 1; }
  # Painting after the map takes well under a second even at callgrind's pace; an idle event loop adds
  # next to nothing.
  sleep 3
  kill -TERM "$pid"
  wait "$pid" || true
  sed -n 's/^summary: //p' "$output"
}

empty=$(count "$build/bench/startup/startup_empty_dialog" "Empty dialog" empty)
same=$(count "$build/bench/startup/startup_same_controls" "Same controls" same)
utility=$(count "$build/app/TALVOR_EthernetConfig" "TALVOR Net Config" utility)
printf "empty dialog:   %12d instructions to painted window\n" "$empty"
printf "same controls:  %12d instructions to painted window\n" "$same"
printf "TALVOR utility: %12d instructions to painted window\n" "$utility"
awk -v utility="$utility" -v same="$same" -v empty="$empty" \
  'BEGIN { printf "instruction ratio: %.2f to the same controls, %.2f to the empty dialog\n", utility / same, utility / empty }'
