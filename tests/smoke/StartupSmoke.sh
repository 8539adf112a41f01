#!/usr/bin/env bash
# The real executable on a private X server: its window appears and Escape ends it with status 0.
# Usage: StartupSmoke.sh <executable> <repository root>
set -uo pipefail
executable=$1
source "$2/scripts/lib/xvfb.sh"
start_xvfb || exit 1
trap stop_xvfb EXIT
# The X server is the only display; offscreen must not be inherited from the test environment.
unset QT_QPA_PLATFORM

"$executable" &
pid=$!
window=$(wait_for_window "TALVOR Net Config")
if [ -z "$window" ]; then
  echo "FAIL: no window named \"TALVOR Net Config\" appeared"
  kill "$pid" 2>/dev/null
  exit 1
fi
echo "window $window is shown"

xdotool windowfocus --sync "$window" key Escape
for _ in $(seq 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
  echo "FAIL: the process is still running 10 s after Escape"
  kill "$pid"
  exit 1
fi
wait "$pid"
status=$?
echo "exit status $status"
[ "$status" -eq 0 ]
