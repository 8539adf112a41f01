#!/usr/bin/env bash
# The real executable on a private X server against the controller simulator: its window appears, the
# Help button hands its help page to the desktop's opener, and Escape ends it with status 0.
# Usage: StartupSmoke.sh <utility> <controller simulator> <repository root> <print_dialog_geometry>
set -uo pipefail
utility=$1
simulator=$2
source "$3/scripts/lib/xvfb.sh"
source "$3/scripts/lib/simulator.sh"
source "$3/scripts/lib/dialog-geometry.sh"
use_dialog_geometry "$4" || exit 1
work=$(mktemp -d)
cleanup() {
  stop_simulators
  stop_xvfb
  rm -rf "$work"
}
trap cleanup EXIT
start_xvfb || exit 1
start_simulator "$simulator" --preload-defaults --quiet || exit 1
export TALVOR_COM1=$TALVOR_SIM_PTY
# The X server is the only display; offscreen must not be inherited from the test environment.
unset QT_QPA_PLATFORM
# Without a desktop session Qt opens documents with xdg-open: this one records what it was given.
mkdir "$work/bin"
printf '#!/bin/sh\necho "$1" >> "%s/opened"\n' "$work" >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
export PATH="$work/bin:$PATH"

"$utility" &
pid=$!
window=$(wait_for_window "TALVOR Net Config")
if [ -z "$window" ]; then
  echo "FAIL: no window named \"TALVOR Net Config\" appeared"
  kill "$pid" 2>/dev/null
  exit 1
fi
echo "window $window is shown"

# No window manager: the window is the dialog's client area; click the Help button's centre.
eval "$(xdotool getwindowgeometry --shell "$window")"
TALVOR_DIALOG_WIDTH=$WIDTH TALVOR_DIALOG_HEIGHT=$HEIGHT click_control "$window" main IDC_BTN_HELP
for _ in $(seq 100); do
  [ -s "$work/opened" ] && break
  sleep 0.1
done
opened=$(head -n1 "$work/opened" 2>/dev/null)
page=${opened#file://}
page=${page%%#*}
if [ "$(basename "$page")" != "$(basename "$utility").html" ] || [ ! -f "$page" ]; then
  echo "FAIL: Help opened \"$opened\", not the utility's help page"
  kill "$pid" 2>/dev/null
  exit 1
fi
echo "Help opened $opened"

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
