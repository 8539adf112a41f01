#!/bin/bash
# Runs in the driver-test guest: one group of cases (GROUP), those of CASES (numbers, comma-separated)
# in the order below, and exits with the number that failed.
# Usage: guest.sh GROUP CASES
group=$1
cases=",$2,"
here=$(dirname "$0")
source "$here/guest-lib.sh"
for file in "$here"/cases/*.sh; do source "$file"; done

wanted() { [[ $cases == *",$1,"* ]]; }

# udev names the adapter under /dev/serial and gives serial ports to group dialout, as on a desktop.
start_udev() {
  export SYSTEMD_IGNORE_CHROOT=1
  /lib/systemd/systemd-udevd --daemon 2>/dev/null
  udevadm trigger --action=add
  udevadm settle --timeout=30
}

# QEMU attaches the adapter once the host holds its pty; one that has not come is plugged in again.
await_adapter() {
  wait_until 15 test -e /dev/ttyUSB0 && return
  echo "The adapter did not come within 15 s; plugging it in again"
  host monitor device_del adapter >/dev/null || true
  wait_until 5 test ! -e /sys/bus/usb-serial/devices/ttyUSB0 || true
  adapter_plugged
  wait_until 15 test -e /dev/ttyUSB0 || echo "No /dev/ttyUSB0 after plugging the adapter in again"
}

echo
case $group in
  adapter)
    await_adapter
    start_udev
    for entry in 1:listing 2:jobs 3:plan 7:held 8:settle 4:pulled-out 5:plugged-back; do
      number=${entry%%:*}
      name=${entry#*:}
      wanted "$number" && run_case "$number" "$name" "case_${name//-/_}"
    done ;;
  no-adapter)
    wanted 6 && run_case 6 plugged-in case_plugged_in ;;
  wine)
    await_adapter
    wanted 9 && run_case 9 windows-build case_windows_build ;;
esac
echo "@@end"
exit "$failures"
