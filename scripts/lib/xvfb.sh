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

# wait_for_paint WINDOW [OLD]: waits until the window shows a painted picture (more than one colour),
# the same in two captures in a row and, with OLD, other than OLD; prints that picture's signature for
# the next call. Fails after 10 s.
wait_for_paint() {
  local previous="" colours signature
  for _ in $(seq 100); do
    read -r colours signature < <(import -window "$1" miff:- 2>/dev/null | convert - -format '%k %#' info:)
    if [ "${colours:-0}" -gt 1 ] && [ "$signature" = "$previous" ] && [ "$signature" != "${2:-}" ]; then
      echo "$signature"
      return 0
    fi
    previous=$signature
    sleep 0.1
  done
  return 1
}
