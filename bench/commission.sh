#!/usr/bin/env bash
# Measures talvor-netcfg commission against paced simulators (each at the link's byte rate): one row
# alone, 8 controllers on 8 ports at once, and 8 rows one after another (--jobs 1: one worker, as for the
# rows of one port, each row on a controller of its own, as a cable carried from one to the next would
# give); each run writes a new MAC ID, so every row writes. Prints the medians of wall and processor time
# (user + system) of the whole process, and beyond what starting the process alone costs, with the ratios
# the companion is held to: 8 ports at most 1.25x one row, 8 rows in turn at most 1.1x eight times one
# row, processor time under 5% of the wall time for each port it works (8 ports at once do eight rows' work in one row's time).
# Usage: bench/commission.sh [build folder, default build] [repetitions, default 5]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
repetitions=${2:-5}
source scripts/lib/simulator.sh

cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target talvor-netcfg talvor-controller-sim >/dev/null

work=$(mktemp -d)
trap 'stop_simulators; rm -rf "$work"' EXIT
ptys=()
for _ in $(seq 9); do
  start_simulator "$build/sim/talvor-controller-sim" --quiet --pace --preload-defaults
  ptys+=("$TALVOR_SIM_PTY")
done

# plan <file> <rows: port index per row> <run number>: MAC IDs no controller holds from the run before,
# so that every row writes.
plan() {
  local file=$1 ports=$2 run=$3 row=0
  echo "name,port,mac-id" >"$work/$file"
  for port in $ports; do
    row=$((row + 1))
    echo "c$row,${ptys[$port]},$(( (run * 8 + row) % 60 ))" >>"$work/$file"
  done
}

# timed <command...> -> "wall cpu" in seconds, processor time from the child's resource usage
timed() {
  python3 -c '
import os, subprocess, sys, time
start = time.monotonic()
child = subprocess.Popen(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=open(os.environ["ERR"], "w"))
_, status, usage = os.wait4(child.pid, 0)
wall = time.monotonic() - start
if os.waitstatus_to_exitcode(status) != 0:
    sys.exit("exit status %d" % os.waitstatus_to_exitcode(status))
print("%.4f %.4f" % (wall, usage.ru_utime + usage.ru_stime))' "$@"
}

median() { sort -n | awk -v n="$repetitions" 'NR == int((n + 1) / 2) { print }'; }

# measure <label> <ports> [options] -> "wall cpu" medians in seconds
measure() {
  local label=$1 ports=$2 samples=()
  shift 2
  for run in $(seq "$repetitions"); do
    plan "$label.csv" "$ports" "$run"
    samples+=("$(ERR="$work/err" timed "$build/cli/talvor-netcfg" commission "$work/$label.csv" \
                 --backups "$work/backups" "$@" || { cat "$work/err" >&2; exit 1; })")
  done
  printf '%s\n' "${samples[@]}" | median
}

# What starting and ending the process costs, without a plan.
read -r _ start_cpu <<<"$(for _ in $(seq "$repetitions"); do ERR=/dev/null timed "$build/cli/talvor-netcfg" --version; done |
                          median)"
read -r one one_cpu <<<"$(measure one "8")"
read -r ports ports_cpu <<<"$(measure ports "0 1 2 3 4 5 6 7")"
read -r rows rows_cpu <<<"$(measure rows "0 1 2 3 4 5 6 7" --jobs 1)"
awk -v start="$start_cpu" -v one="$one" -v oc="$one_cpu" -v ports="$ports" -v pc="$ports_cpu" -v rows="$rows" -v rc="$rows_cpu" 'BEGIN {
  printf "process start and end alone: cpu %.4f s\n", start
  printf "one row alone:       wall %.3f s, cpu %.4f s (%.1f%%; %.1f%% beyond start-up)\n", one, oc,
         100 * oc / one, 100 * (oc - start) / one
  printf "8 ports, a row each: wall %.3f s, cpu %.4f s (%.1f%%, %.1f%% per port worked; %.1f%% beyond start-up): x%.2f one row (target at most 1.25)\n",
         ports, pc, 100 * pc / ports, 100 * pc / ports / 8, 100 * (pc - start) / ports, ports / one
  printf "8 rows in turn:      wall %.3f s, cpu %.4f s (%.1f%%; %.1f%% beyond start-up): x%.2f eight rows alone (target at most 1.1)\n",
         rows, rc, 100 * rc / rows, 100 * (rc - start) / rows, rows / (8 * one)
}'
