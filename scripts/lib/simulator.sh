# The controller simulator as a child process: start_simulator <binary> [options...] sets
# TALVOR_SIM_PID and TALVOR_SIM_PTY (the device path it prints first); stop_simulator ends it.
start_simulator() {
  local binary=$1
  shift
  TALVOR_SIM_OUT=$(mktemp)
  "$binary" "$@" >"$TALVOR_SIM_OUT" &
  TALVOR_SIM_PID=$!
  TALVOR_SIM_PTY=""
  for _ in $(seq 200); do
    # Only a complete first line is the path.
    if [ "$(wc -l <"$TALVOR_SIM_OUT")" -ge 1 ]; then
      TALVOR_SIM_PTY=$(head -n1 "$TALVOR_SIM_OUT")
      break
    fi
    kill -0 "$TALVOR_SIM_PID" 2>/dev/null || break
    sleep 0.05
  done
  if [ -z "$TALVOR_SIM_PTY" ]; then
    echo "The controller simulator did not report its device" >&2
    stop_simulator
    return 1
  fi
}

stop_simulator() {
  if [ -n "${TALVOR_SIM_PID:-}" ]; then
    kill "$TALVOR_SIM_PID" 2>/dev/null || true
    wait "$TALVOR_SIM_PID" 2>/dev/null || true
    TALVOR_SIM_PID=""
  fi
  [ -z "${TALVOR_SIM_OUT:-}" ] || rm -f "$TALVOR_SIM_OUT"
}
