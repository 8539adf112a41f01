# Wine for the Windows build: a prefix kept in the cache outside the checkout, COM ports mapped to
# devices of this machine, and paths as Windows programs see them.
WINE=/usr/lib/wine/wine64
export WINEDEBUG=-all
# No Mono or Gecko: the prefix is made without asking for them.
export WINEDLLOVERRIDES="mscoree,mshtml="

# use_wine_prefix DIR: makes the prefix on first use.
use_wine_prefix() {
  export WINEPREFIX=$1
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$WINE" wineboot -i >/dev/null 2>&1
    /usr/lib/wine/wineserver -w
  fi
}

# map_com_port N DEVICE: the Windows port COMn reaches DEVICE (a pseudo-terminal, or a path that does
# not exist for a port with nothing behind it).
map_com_port() {
  ln -sfn "$2" "$WINEPREFIX/dosdevices/com$1"
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
  [ -n "${WINEPREFIX:-}" ] && /usr/lib/wine/wineserver -k 2>/dev/null || true
}
