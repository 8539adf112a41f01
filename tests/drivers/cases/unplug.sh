# 4 to 6: the adapter pulled out during a read, plugged back, and plugged in while the dialog is open.
# The simulator's endless-trickle fault keeps a read under way for seconds; the host pulls the adapter
# as soon as the simulator has that read.

# gone PID: the process has ended (a zombie has).
gone() {
  local state
  state=$(ps -o stat= -p "$1" 2>/dev/null || true)
  [ -z "$state" ] || [[ $state == Z* ]]
}

case_pulled_out() {
  host sim usb --fault endless-trickle@43 >/dev/null
  printf 'name,port,mac-id\npress-9,COM2,19\n' >plan.csv
  "$netcfg" commission plan.csv --report report.csv >commission.txt 2>&1 &
  local pid=$! pulled status=0
  host pull-during usb code=43 >/dev/null || fail "no read reached the simulator"
  pulled=$(now_ms)
  wait_until 5 gone "$pid" || fail "the companion still runs 5 s after the adapter was pulled"
  local took=$(($(now_ms) - pulled))
  wait "$pid" || status=$?
  [ "$status" = 2 ] || fail "commission ended with $status, not 2: $(tr '\n' ' ' <commission.txt)"
  [ "$took" -le 1000 ] || fail "the companion took $took ms to end after the adapter was pulled"
  expect "Error in transmitting data." commission.txt
  # One header and one whole record, ended by its newline; the record's quoted message may span lines.
  head -n 1 report.csv | grep -q '^line,name,' && [ "$(grep -c '^[0-9]*,' report.csv)" = 1 ] &&
    [ -z "$(tail -c 1 report.csv)" ] || fail "the report is $(cat report.csv)"
  grep -q '^2,press-9,COM2,/dev/ttyUSB0,.*,failed,2,' report.csv || fail "the report's record is $(tail -n 1 report.csv)"
  [ ! -e press-9-before.json ] || jq -e . press-9-before.json >/dev/null || fail "a half-written backup"
  # No process was left waiting in close: the device is free to come back under its own name.
  ! pgrep -f talvor-netcfg >/dev/null || fail "a companion is still running: $(pgrep -af talvor-netcfg)"

  # The dialog, on a second trickled read.
  host sim usb --fault endless-trickle@43 >/dev/null
  adapter_plugged
  wait_until 20 test -e /dev/ttyUSB0 || fail "the adapter did not come back for the dialog"
  rm -f "$work/go-ahead"
  (cd "$work" && exec "$dialog" --gtest_filter=RealPortDialog.SaysTheAdapterIsLostAndWorksOnceItIsBack) >"$work/dialog-pull.txt" 2>&1 &
  echo $! >"$work/dialog-pull.pid"
  wait_until 60 grep -q "dialog: reading" "$work/dialog-pull.txt" || fail "the dialog did not start"
  host pull-during usb code=43 >/dev/null || fail "the dialog's read did not reach the simulator"
  wait_until 10 grep -q "dialog: lost" "$work/dialog-pull.txt" ||
    fail "the dialog did not show the loss: $(grep -E 'Failure|Expected|Which is' "$work/dialog-pull.txt" | tr '\n' ' ')"
}

case_plugged_back() {
  host sim usb >/dev/null
  adapter_plugged
  wait_until 20 test -e /dev/ttyUSB0 || fail "no /dev/ttyUSB0 after the adapter was plugged back"
  "$netcfg" status --port COM2 >status.txt 2>&1 || fail "status on COM2: $(cat status.txt)"
  expect "statusId: 54560100" status.txt
  touch "$work/go-ahead"
  local pid status=0
  pid=$(cat "$work/dialog-pull.pid")
  wait_until 30 gone "$pid" || fail "the dialog did not end"
  wait "$pid" 2>/dev/null || status=$?
  grep -q "dialog: back" "$work/dialog-pull.txt" ||
    fail "the dialog left open did not read again: $(grep -E 'Failure|Expected|Which is' "$work/dialog-pull.txt" | tr '\n' ' ')"
}

case_plugged_in() {
  [ ! -e /dev/ttyUSB0 ] || fail "the guest started with the adapter"
  "$dialog" --gtest_filter=RealPortDialog.ReachesAnAdapterPluggedInWhileOpen >dialog.txt 2>&1 &
  local pid=$!
  wait_until 60 grep -q "dialog: open" dialog.txt || fail "the dialog did not open: $(tr '\n' ' ' <dialog.txt)"
  adapter_plugged
  wait "$pid" || fail "$(grep -E 'Failure|Expected|Which is|actual' dialog.txt | head -n 6 | tr '\n' ' ')"
}
