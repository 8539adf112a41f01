# Boots the driver-test guest for one group of cases and serves its requests. The guest's console is
# QEMU's stdio (first, so it stays ttyS0); COM1's far end (ttyS1) and the FTDI adapter's (ttyUSB0) are
# host pseudo-terminals where controller simulators serve. A line "@@host ID COMMAND..." on the console
# asks the host for something; the answer goes to ID in the control folder, which the guest mounts.
# Lines "@@case N NAME pass|fail: WHY" are the results.
GUEST_ADAPTER="usb-serial,chardev=ftdi,id=adapter,serial=TLV00042"
GUEST_BOOT_LIMIT=${GUEST_BOOT_LIMIT:-240}
declare -A GUEST_PTY=() GUEST_SIM_PID=()
GUEST_HOLDERS=()
GUEST_FAILED=0

# guest_monitor COMMAND...: one HMP command on the running guest's monitor; prints its answer.
guest_monitor() {
  printf '%s\n' "$*" | socat -t 2 - "UNIX-CONNECT:$GUEST_DIR/monitor" 2>/dev/null |
    tr -d '\r' | sed -e 's/\x1b\[[0-9;]*[A-Za-z]//g' -e '/^QEMU .*monitor/d' -e '/^(qemu)/d'
}

# guest_sim WHICH [OPTIONS...]: (re)starts the simulator on port WHICH (com1 or usb) with OPTIONS.
# A holder keeps each pty open from the host throughout, so a restart never unplugs the adapter.
guest_sim() {
  local which=$1 pty pid
  shift
  pty=${GUEST_PTY[$which]}
  pid=${GUEST_SIM_PID[$which]:-}
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true; fi
  "$GUEST_SIM" --port "$pty" --pace --preload-defaults "$@" >/dev/null 2>"$GUEST_DIR/sim-$which.log" &
  GUEST_SIM_PID[$which]=$!
  # The simulator serves once it holds the pty; a bound keeps a broken one from stalling the run.
  for _ in $(seq 100); do
    [ -e "/proc/${GUEST_SIM_PID[$which]}/fd" ] || return 1
    ls -l "/proc/${GUEST_SIM_PID[$which]}/fd" 2>/dev/null | grep -q -- "-> $pty\$" && return 0
    sleep 0.05
  done
  return 1
}

# guest_pull_during WHICH PATTERN: pulls the adapter as soon as the simulator on WHICH logs a request
# matching PATTERN (so the pull lands inside that exchange).
guest_pull_during() {
  for _ in $(seq 400); do
    if grep -q -- "$2" "$GUEST_DIR/sim-$1.log"; then
      guest_monitor device_del adapter
      return 0
    fi
    sleep 0.025
  done
  return 1
}

guest_stop() {
  local pid
  for pid in "${GUEST_SIM_PID[@]}" "${GUEST_HOLDERS[@]}" "${GUEST_QEMU_PID:-}"; do
    [ -n "$pid" ] && kill "$pid" 2>/dev/null
  done
  wait 2>/dev/null || true
  GUEST_SIM_PID=()
  GUEST_HOLDERS=()
  GUEST_QEMU_PID=""
}

# guest_answer ID COMMAND...: does what the guest asked, writes the answer where it waits for it.
guest_answer() {
  local id=$1 verb=$2 answer status=0
  shift 2
  case $verb in
    monitor) answer=$(guest_monitor "$@") ;;
    sim) guest_sim "$@" && answer=ok || { answer="simulator did not start"; status=1; } ;;
    pull-during) answer=$(guest_pull_during "$@") || status=1 ;;
    *) answer="unknown request $verb"; status=1 ;;
  esac
  printf '%s\n' "$answer" >"$GUEST_DIR/control/$id.part"
  echo "$status" >>"$GUEST_DIR/control/$id.part"
  mv "$GUEST_DIR/control/$id.part" "$GUEST_DIR/control/$id"
}

# guest_run GROUP with-adapter|no-adapter CASES...: boots, serves, prints each case's result line and
# sets GUEST_FAILED to the number of cases that failed or did not report. Returns non-zero then, or when
# the guest itself failed.
guest_run() {
  local group=$1 adapter=$2 line id
  shift 2
  GUEST_PTY=()
  GUEST_SIM_PID=()
  GUEST_HOLDERS=()
  GUEST_DIR=$(mktemp -d /tmp/talvor-guest.XXXXXX)
  mkdir "$GUEST_DIR/control"
  [ -z "${GUEST_WINE_PREFIX:-}" ] || echo "$GUEST_WINE_PREFIX" >"$GUEST_DIR/control/wine-prefix"
  mkfifo "$GUEST_DIR/console"
  local device=()
  [ "$adapter" = with-adapter ] && device=(-device "$GUEST_ADAPTER")
  # -S: paused until the simulators serve on the ptys it makes.
  qemu-system-x86_64 -machine q35 -accel tcg -m 1536 -smp 1 -nographic -no-reboot -nic none -S \
    -serial stdio -serial pty -monitor "unix:$GUEST_DIR/monitor,server,nowait" \
    -device isa-debug-exit,iobase=0xf4,iosize=0x04 \
    -device qemu-xhci,id=xhci -chardev pty,id=ftdi "${device[@]}" \
    -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
    -virtfs "local,path=$GUEST_DIR/control,mount_tag=control,security_model=none" \
    -virtfs "local,path=$PWD,mount_tag=repo,security_model=none,readonly=on,multidevs=remap" \
    -kernel "$GUEST_KERNEL" -initrd "$GUEST_INITRD" \
    -append "console=ttyS0 quiet loglevel=3 panic=-1 talvor.group=$group talvor.cases=$(IFS=,; echo "$*") talvor.repo=$PWD" \
    </dev/null >"$GUEST_DIR/console" 2>"$GUEST_DIR/qemu.err" &
  GUEST_QEMU_PID=$!
  exec {console}<"$GUEST_DIR/console"
  for _ in $(seq 100); do [ -S "$GUEST_DIR/monitor" ] && break; sleep 0.05; done
  local chardevs
  chardevs=$(guest_monitor info chardev)
  GUEST_PTY[com1]=$(sed -n 's/^serial1: filename=pty:\(.*\)$/\1/p' <<<"$chardevs")
  GUEST_PTY[usb]=$(sed -n 's/^ftdi: filename=pty:\(.*\)$/\1/p' <<<"$chardevs")
  if [ -z "${GUEST_PTY[com1]}" ] || [ -z "${GUEST_PTY[usb]}" ]; then
    echo "QEMU did not start: $(cat "$GUEST_DIR/qemu.err")" >&2
    exec {console}<&-
    guest_stop
    return 1
  fi
  local which
  for which in com1 usb; do
    sleep 100000 <>"${GUEST_PTY[$which]}" >/dev/null 2>&1 &
    GUEST_HOLDERS+=($!)
    guest_sim "$which" || { echo "The simulator did not start on $which" >&2; return 1; }
  done
  guest_monitor cont >/dev/null

  local deadline=$((SECONDS + GUEST_BOOT_LIMIT)) reported=()
  while IFS= read -r -t $((deadline - SECONDS > 0 ? deadline - SECONDS : 1)) -u "$console" line; do
    line=${line%$'\r'}
    printf '%s\n' "$line" >>"$GUEST_DIR/console.log"
    case $line in
      "@@host "*)
        read -r _ id rest <<<"$line"
        guest_answer "$id" $rest ;;
      "@@case "*)
        reported+=("${line#@@case }")
        printf '  %s\n' "${line#@@case }" ;;
      "@@end") break ;;
    esac
    [ $SECONDS -lt $deadline ] || break
  done
  exec {console}<&-
  local status=0 case
  # The guest powers off after its last case; a guest that does not is stuck.
  for _ in $(seq 100); do kill -0 "$GUEST_QEMU_PID" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$GUEST_QEMU_PID" 2>/dev/null; then
    echo "  group $group: the guest did not end within ${GUEST_BOOT_LIMIT} s"
    status=1
  elif wait "$GUEST_QEMU_PID"; then
    echo "  group $group: the guest ended without reporting its status"
    status=1
  else
    local code=$?
    # The guest's failure count n comes back as 2n + 1.
    [ $((code % 2)) -eq 1 ] || { echo "  group $group: the guest ended with status $code"; status=1; }
  fi
  GUEST_FAILED=0
  for case in "$@"; do
    local line
    line=$(printf '%s\n' "${reported[@]}" | grep -- "^$case " || true)
    if [ -z "$line" ]; then
      echo "  $case (group $group) fail: the case did not report"
      GUEST_FAILED=$((GUEST_FAILED + 1))
    elif [[ $line != *" pass"* ]]; then
      GUEST_FAILED=$((GUEST_FAILED + 1))
    fi
  done
  if [ -f "$GUEST_DIR/control/figures" ]; then
    echo "  figures of the settle after open (paced simulator, 19200 bit/s, under TCG emulation):"
    sed 's/^/    /' "$GUEST_DIR/control/figures"
  fi
  if [ $status -ne 0 ] || [ $GUEST_FAILED -ne 0 ]; then
    echo "  last lines of the guest's console (all of it: $GUEST_DIR/console.log; a failed case's files:"
    echo "  $GUEST_DIR/control/case-N):"
    grep -v '^@@' "$GUEST_DIR/console.log" | tail -n 25 | sed 's/^/  | /'
    status=1
  fi
  guest_stop
  [ $status -ne 0 ] || rm -rf "$GUEST_DIR"
  return $status
}
