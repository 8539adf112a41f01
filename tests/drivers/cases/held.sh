# 7: another program holds the port, with a lock (any user is turned away) or an exclusive open (a user
# without privileges is turned away); it has set its own rate, which must stay.

# hold LOCK|EXCLUSIVE: holds ttyS1 at 9600 bit/s in the background until killed.
hold() {
  perl -e '
    use Fcntl qw(:flock);
    open(my $port, "+<", "/dev/ttyS1") or die "open: $!";
    system("stty", "-F", "/dev/ttyS1", "9600") == 0 or die "stty";
    if ($ARGV[0] eq "lock") { flock($port, LOCK_EX) or die "flock: $!" }
    else { ioctl($port, 0x540C, 0) or die "TIOCEXCL: $!" }
    open(my $ready, ">", "held") or die; close $ready;
    sleep 60;' "$1" &
  holder=$!
  trap 'kill $holder 2>/dev/null || true' EXIT
  wait_until 10 test -e held || fail "the other program could not take the port"
}

case_held() {
  local holder before dialout
  rm -f held
  hold lock
  before=$(stty -F /dev/ttyS1 -g)
  "$netcfg" status --port COM1 >status.txt 2>&1 && fail "status on a locked port succeeded"
  expect "another program is using it" status.txt
  "$dialog" --gtest_filter=RealPortDialog.SaysCom1IsInUse >dialog.txt 2>&1 ||
    fail "the dialog: $(grep -E 'Failure|Expected|Which is' dialog.txt | tr '\n' ' ')"
  [ "$(stty -F /dev/ttyS1 -g)" = "$before" ] || fail "the other program's settings changed"
  kill "$holder"; wait "$holder" 2>/dev/null || true
  rm -f held
  hold exclusive
  dialout=$(getent group dialout | cut -d: -f3)
  [ "$(stat -c %g /dev/ttyS1)" = "$dialout" ] || fail "udev did not give ttyS1 to group dialout"
  setpriv --reuid=65534 --regid="$dialout" --clear-groups "$netcfg" status --port COM1 >status.txt 2>&1 &&
    fail "status on a port opened exclusively succeeded"
  expect "another program is using it" status.txt
  [ "$(stty -F /dev/ttyS1 -g)" = "$before" ] || fail "the other program's settings changed"
  kill "$holder"; wait "$holder" 2>/dev/null || true
  "$netcfg" status --port COM1 >status.txt 2>&1 || fail "status once the other program left: $(cat status.txt)"
}
