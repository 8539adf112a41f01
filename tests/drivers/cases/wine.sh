# 9: the Windows build's talvor-netcfg.exe under Wine, with COM1 mapped to the FTDI adapter, reads the
# controller through Wine's serial driver and the kernel's. The cached Wine prefix is read-only here: an
# overlay on tmpfs takes the writes.
case_windows_build() {
  local exe prefix=/tmp/wine
  exe=$(ls "$repo"/build-win/stage/*/talvor-netcfg.exe | head -n 1)
  mkdir -p /tmp/wine-upper /tmp/wine-work "$prefix"
  mount -t overlay overlay -o "lowerdir=$(cat "$control/wine-prefix"),upperdir=/tmp/wine-upper,workdir=/tmp/wine-work" \
    "$prefix" || fail "cannot lay an overlay over the Wine prefix"
  # Wine makes its COM links from this key when its server starts; the text registry is edited first.
  sed -i '/^\[Software\\\\Wine\\\\Ports\]/,/^$/d' "$prefix/system.reg"
  printf '\n[Software\\\\Wine\\\\Ports]\n"COM1"="/dev/ttyUSB0"\n\n' >>"$prefix/system.reg"
  rm -f "$prefix"/dosdevices/com*
  WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
    timeout 180 "$repo/scripts/lib/wine-fixed-layout" "$exe" read devicenet --port COM1 >read.txt 2>&1 ||
    fail "talvor-netcfg.exe read on COM1: $(tr -d '\r' <read.txt | tr '\n' ' ')"
  expect "macId:" read.txt
  [ "$(readlink "$prefix/dosdevices/com1")" = /dev/ttyUSB0 ] || fail "COM1 reached $(readlink "$prefix/dosdevices/com1")"
}
