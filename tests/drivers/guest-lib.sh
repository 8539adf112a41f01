# Helpers for the cases that run in the driver-test guest (a chroot of the host's root, with the
# guest's own /dev, /proc and /sys, as root). Each case runs in a subshell with errexit; `fail WHY`
# ends it with a reason.
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
netcfg=$repo/build/cli/talvor-netcfg
dialog=$repo/build/tests/drivers/talvor_real_port_dialog
control=/run/talvor
work=/tmp/cases
mkdir -p "$work"
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=/tmp/runtime
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
failures=0
request=0
# The console, for requests to the host whatever a case does with its own output.
exec 9>&1

fail() {
  echo "$*" >"$work/why"
  exit 1
}

# run_case N NAME FUNCTION: one result line for the host.
run_case() {
  local number=$1 name=$2
  rm -f "$work/why"
  mkdir -p "$work/case-$number"
  if (set -e; cd "$work/case-$number"; "$3"); then
    echo "@@case $number $name pass"
  else
    echo "@@case $number $name fail: $(cat "$work/why" 2>/dev/null || echo "a command failed")"
    # What the case left, for the host to keep.
    cp -r "$work/case-$number" "$control/" 2>/dev/null || true
    failures=$((failures + 1))
  fi
}

# host COMMAND...: asks the host (monitor COMMAND, or sim com1|usb OPTIONS) and prints its answer.
host() {
  request=$((request + 1))
  local id=r$request
  echo "@@host $id $*" >&9
  for _ in $(seq 600); do
    if [ -f "$control/$id" ]; then
      head -n -1 "$control/$id"
      [ "$(tail -n 1 "$control/$id")" = 0 ]
      return
    fi
    sleep 0.05
  done
  fail "the host did not answer: $*"
}

# wait_until SECONDS TEST...: polls TEST every 20 ms for up to SECONDS.
wait_until() {
  local limit=$1
  shift
  local end=$(($(date +%s%N) + limit * 1000000000))
  until "$@"; do
    [ "$(date +%s%N)" -lt $end ] || return 1
    sleep 0.02
  done
}

# expect TEXT FILE: FILE has a line containing TEXT.
expect() {
  grep -qF -- "$1" "$2" || fail "expected \"$1\" in $(basename "$2"): $(head -c 600 "$2" | tr '\n' '|')"
}

now_ms() { echo $(($(date +%s%N) / 1000000)); }

adapter_plugged() { host monitor device_add usb-serial,chardev=ftdi,id=adapter,serial=TLV00042 >/dev/null; }
adapter_pulled() { host monitor device_del adapter >/dev/null; }
