# Steps that run Windows programs under Wine, each with a time limit: a program that never ends fails
# the run within minutes and says where, instead of holding it until the CI's own limit. Needs
# scripts/lib/wine.sh.

# run_step NAME SECONDS COMMAND...: runs COMMAND (a program or a function) in a process group of its own,
# standard input closed. When it has not ended after SECONDS, says that NAME hung and which Windows
# threads are still there, ends every program of the Wine prefix and the step's processes, and fails
# with status 124.
run_step() {
  local name=$1 limit=$2 pid status=0 waited=0
  shift 2
  set -m
  "$@" </dev/null &
  pid=$!
  set +m
  while [ "$waited" -lt "$limit" ] && kill -0 "$pid" 2>/dev/null; do
    sleep 1
    waited=$((waited + 1))
  done
  if kill -0 "$pid" 2>/dev/null; then
    echo "FAIL: the step \"$name\" did not end within $limit s; the Windows threads still there:" >&2
    timeout 60 "$WINE" winedbg --command "info thread" 2>/dev/null | tr -d '\r' >&2 || true
    echo "Ending every program of the Wine prefix and the step." >&2
    stop_wine
    # A script of the step ends its own simulators and Wine prefix on TERM.
    kill -TERM -- "-$pid" 2>/dev/null || true
    for _ in $(seq 20); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.5
    done
    kill -KILL -- "-$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    return 124
  fi
  wait "$pid" || status=$?
  return "$status"
}
