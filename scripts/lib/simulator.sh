# Controller simulators as child processes. start_simulator <binary> [options...] starts one and sets
# TALVOR_SIM_PID and TALVOR_SIM_PTY (the device path it prints first) for it; every simulator started is
# recorded, and stop_simulators ends them all (call it from the caller's exit trap).
TALVOR_SIM_PIDS=()
TALVOR_SIM_OUTS=()

start_simulator() {
  local binary=$1 out
  shift
  out=$(mktemp)
  TALVOR_SIM_OUTS+=("$out")
  "$binary" "$@" >"$out" &
  TALVOR_SIM_PID=$!
  TALVOR_SIM_PIDS+=("$TALVOR_SIM_PID")
  TALVOR_SIM_PTY=""
  for _ in $(seq 200); do
    # Only a complete first line is the path.
    if [ "$(wc -l <"$out")" -ge 1 ]; then
      TALVOR_SIM_PTY=$(head -n1 "$out")
      return 0
    fi
    kill -0 "$TALVOR_SIM_PID" 2>/dev/null || break
    sleep 0.05
  done
  echo "The controller simulator did not report its device" >&2
  return 1
}

# stop_simulators: ends every simulator started, waits for each (a store file is complete afterwards)
# and removes their output files.
stop_simulators() {
  local pid
  for pid in "${TALVOR_SIM_PIDS[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  [ ${#TALVOR_SIM_OUTS[@]} -eq 0 ] || rm -f "${TALVOR_SIM_OUTS[@]}"
  TALVOR_SIM_PIDS=()
  TALVOR_SIM_OUTS=()
}
