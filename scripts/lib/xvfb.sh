# Private X server for runs without a display: start_xvfb exports DISPLAY, stop_xvfb ends the server.
start_xvfb() {
  local displayFile
  displayFile=$(mktemp)
  # -displayfd picks a free display number and writes it once the server accepts clients.
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$displayFile" 2>/dev/null &
  TALVOR_XVFB_PID=$!
  for _ in $(seq 200); do
    [ -s "$displayFile" ] && break
    sleep 0.05
  done
  if [ ! -s "$displayFile" ]; then
    rm -f "$displayFile"
    echo "Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=":$(head -n1 "$displayFile")"
  rm -f "$displayFile"
  # A headless root shell has no session directory; Qt wants one for its runtime files.
  if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    XDG_RUNTIME_DIR=$(mktemp -d)
    export XDG_RUNTIME_DIR
    TALVOR_XVFB_RUNTIME_DIR=$XDG_RUNTIME_DIR
  fi
}

stop_xvfb() {
  [ -n "${TALVOR_XVFB_PID:-}" ] || return 0
  kill "$TALVOR_XVFB_PID" 2>/dev/null || true
  wait "$TALVOR_XVFB_PID" 2>/dev/null || true
  TALVOR_XVFB_PID=""
  [ -z "${TALVOR_XVFB_RUNTIME_DIR:-}" ] || rm -rf "$TALVOR_XVFB_RUNTIME_DIR"
}

# Prints the id of the visible window with this exact title once it is mapped; fails after 20 s, or
# after the seconds given second.
wait_for_window() {
  timeout "${2:-20}" xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -n1
}

# capture_settled WINDOW PNG [BEFORE]: saves WINDOW as PNG once it is painted (more than one colour),
# differs from the image file BEFORE if one is given, and two captures in a row agree; fails after 10 s.
capture_settled() {
  local window=$1 png=$2 before=${3:-} previous="" current
  for _ in $(seq 50); do
    import -window "$window" -define png:exclude-chunks=date,time "$png"
    current=$(identify -format '%k %#' "$png")
    if [ "${current%% *}" -gt 1 ] && [ "$current" = "$previous" ] &&
       { [ -z "$before" ] || [ "${current#* }" != "$(identify -format '%#' "$before")" ]; }; then
      return 0
    fi
    previous=$current
    sleep 0.2
  done
  echo "FAIL: window $window did not settle into a new picture" >&2
  return 1
}
