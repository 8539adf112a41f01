# The licence texts of what the Windows build bundles, taken from the files Debian's packages install on
# this machine, so that they match what was linked. Needs scripts/winqt/qt-version.sh.

# debian_text FILE: FILE, or a failure naming the package that should have installed it.
debian_text() {
  [ -s "$1" ] || { echo "FAIL: $1 is missing (its Debian package is not installed)" >&2; return 1; }
  cat "$1"
}

TALVOR_CHECKOUT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# stage_windows_licenses DEST: writes DEST/README.txt and the texts it names.
stage_windows_licenses() {
  local dest=$1 root=$TALVOR_CHECKOUT exception
  mkdir -p "$dest/qt-build"
  debian_text /usr/share/common-licenses/LGPL-3 >"$dest/LGPL-3.0.txt"
  debian_text /usr/share/common-licenses/GPL-3 >"$dest/GPL-3.0.txt"
  debian_text /usr/share/doc/libqt6core6/copyright >"$dest/Qt-copyright.txt"
  debian_text /usr/share/doc/mingw-w64-common/copyright >"$dest/mingw-w64.txt"
  exception=$(debian_text /usr/share/doc/gcc-mingw-w64-base/copyright |
    sed -n '/^GCC RUNTIME LIBRARY EXCEPTION$/,/requirements of the license of GCC\.$/p')
  [ -n "$exception" ] || { echo "FAIL: no GCC Runtime Library Exception in gcc-mingw-w64-base's copyright" >&2; return 1; }
  printf '%s\n' "$exception" >"$dest/GCC-runtime-library-exception-3.1.txt"
  cp "$root/scripts/winqt/"* "$dest/qt-build/"
  cat >"$dest/README.txt" <<TEXT
TALVOR Net Config
Copyright $(sed -n 's/^Copyright: //p' "$root/packaging/copyright" | head -n1). All rights reserved.

This program comes with third-party libraries. Their licences are in this folder.

Qt $TALVOR_QT_VERSION: Qt6Core.dll, Qt6Gui.dll, Qt6Widgets.dll, platforms\\qwindows.dll, styles\\qwindowsvistastyle.dll
  Licensed under the GNU Lesser General Public License version 3 (LGPL-3.0.txt), which adds permissions
  to the GNU General Public License version 3 (GPL-3.0.txt). Qt-copyright.txt lists the copyright holders
  of Qt and of the third-party code inside it, with their licences.
  Source: Debian's source package qt6-base, version $TALVOR_QT_DEBIAN_VERSION (from any Debian archive
  mirror or snapshot, e.g. with "apt-get source qt6-base=$TALVOR_QT_DEBIAN_VERSION"), built for Windows by
  qt-build\\build-qt-mingw.sh with qt-build\\mingw-w64.cmake: the configuration and the one change made
  to the source are in that script. The program loads these DLLs from its own folder, so a Qt built
  from that source, changed or not, can take their place.

GCC runtime: libgcc_s_seh-1.dll, libstdc++-6.dll
  Licensed under the GNU General Public License version 3 (GPL-3.0.txt) with the GCC Runtime Library
  Exception version 3.1 (GCC-runtime-library-exception-3.1.txt).

mingw-w64 runtime: libwinpthread-1.dll and the start-up code linked into the .exe files
  mingw-w64.txt: copyright holders and licences of the mingw-w64 runtime, winpthreads included.
TEXT
}
