# Wine for the Windows build: a prefix kept in the cache outside the checkout, COM ports mapped to
# devices of this machine, and paths as Windows programs see them.
WINE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine-fixed-layout
export WINEDEBUG=-all
# No Mono or Gecko: the prefix is made without asking for them.
export WINEDLLOVERRIDES="mscoree,mshtml="

WINESERVER=/usr/lib/wine/wineserver

# use_wine_prefix DIR: makes the prefix on first use. Wine's menu and file-type entries for the desktop
# go into the prefix too, not into the user's own desktop folders.
use_wine_prefix() {
  export WINEPREFIX=$1
  export XDG_DATA_HOME=$WINEPREFIX/desktop/data XDG_CONFIG_HOME=$WINEPREFIX/desktop/config
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$WINE" wineboot -i >/dev/null 2>&1
    "$WINESERVER" -w
  fi
}

# map_com_ports N=DEVICE...: the Windows port COMn reaches DEVICE (a pseudo-terminal, or a path that
# does not exist for a port with nothing behind it). Wine makes its port links from the registry when
# its server starts, so the mapping goes there and the server starts afresh.
map_com_ports() {
  local file="$WINEPREFIX/talvor-ports.reg" mapping
  # The key is dropped first, so no mapping of an earlier run stays behind.
  printf 'REGEDIT4\n\n[-HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\n\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\n' >"$file"
  for mapping in "$@"; do
    printf '"COM%s"="%s"\n' "${mapping%%=*}" "${mapping#*=}" >>"$file"
  done
  "$WINESERVER" -k >/dev/null 2>&1 || true
  "$WINESERVER" -w
  # A server of our own, so that what it prints when it ends goes nowhere.
  "$WINESERVER" -p >/dev/null 2>&1
  "$WINE" regedit /S "$file" >/dev/null 2>&1
  "$WINESERVER" -k >/dev/null 2>&1 || true
  "$WINESERVER" -w
  "$WINESERVER" -p >/dev/null 2>&1
  # Wine's own services start with the first program and stay; started here, they hold no output of a
  # later program open (a test runner would wait for that output to end).
  "$WINE" cmd /c exit >/dev/null 2>&1
}

# windows_path PATH...: the paths joined with ';' as Windows programs under Wine see them (drive Z:).
windows_path() {
  local joined="" path
  for path in "$@"; do
    joined+="${joined:+;}Z:${path//\//\\}"
  done
  printf '%s' "$joined"
}

stop_wine() {
  [ -z "${WINEPREFIX:-}" ] || "$WINESERVER" -k >/dev/null 2>&1 || true
}
