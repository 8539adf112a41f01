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

echo
case $group in
  adapter)
    start_udev
    for entry in 1:listing 2:jobs 3:plan 7:held 8:settle 4:pulled-out 5:plugged-back; do
      number=${entry%%:*}
      name=${entry#*:}
      wanted "$number" && run_case "$number" "$name" "case_${name//-/_}"
    done ;;
  no-adapter)
    wanted 6 && run_case 6 plugged-in case_plugged_in ;;
  wine)
    wanted 9 && run_case 9 windows-build case_windows_build ;;
esac
echo "@@end"
exit "$failures"
