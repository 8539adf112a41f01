#!/usr/bin/env bash
# Cross-builds Qt (qtbase: Core, Gui, Widgets, the Windows platform plugin) for 64-bit Windows with
# Debian's mingw-w64, and installs it into PREFIX. The version, in qt-version.sh, is Debian 12's own Qt,
# whose host tools (moc, rcc, uic) the cross build uses. About 20 min on 2 cores; scripts/windows caches
# the result. Without WORKDIR the sources and the build go into a temporary folder, removed at the end.
#
#   build-qt-mingw.sh PREFIX [WORKDIR]
#
# qtbase comes from Debian's source package qt6-base (a deb-src entry is derived from the archive the
# machine already uses, in a private apt state, leaving the system's lists alone).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/qt-version.sh"
source "$here/../lib/packages.sh"
prefix=${1:?usage: build-qt-mingw.sh PREFIX [WORKDIR]}
if [ -n "${2:-}" ]; then
  work=$2
else
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi
mkdir -p "$work" "$prefix"
prefix=$(cd "$prefix" && pwd)
cd "$work"

ensure_packages g++-mingw-w64-x86-64-posix cmake ninja-build qt6-base-dev qt6-base-dev-tools xz-utils dpkg-dev

# qtbase source from Debian's archive, through a private apt state.
src=qtbase-everywhere-src-$TALVOR_QT_VERSION
if [ ! -d "$src" ]; then
  mkdir -p apt/lists/partial
  sed -e 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources > apt/src.sources
  apt_opts=(-o Dir::Etc::sourcelist="$work/apt/src.sources" -o Dir::Etc::sourceparts=-
            -o Dir::State::Lists="$work/apt/lists")
  apt-get "${apt_opts[@]}" update -qq
  apt-get "${apt_opts[@]}" source --download-only "qt6-base=$TALVOR_QT_DEBIAN_VERSION"
  tar xf "qt6-base_${TALVOR_QT_DEBIAN_VERSION%-*}.orig.tar.xz"
  # This version asks for the dynamic-GL check even when OpenGL is off.
  sed -i '/isSoftwareGl()$/,/^}/ s/^#if QT_CONFIG(dynamicgl)$/#if QT_CONFIG(dynamicgl) \&\& QT_CONFIG(opengl)/' \
    "$src/src/plugins/platforms/windows/qwindowswindow.cpp"
fi

host_cmake=/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/cmake
# Debian's tarball drops the tablet (wintab) headers, so tablet events are off; DirectWrite needs Direct2D.
cmake -S "$src" -B build-qtbase -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$here/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR="$host_cmake" \
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DBUILD_SHARED_LIBS=ON \
  -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF \
  -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_testlib=ON \
  -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_harfbuzz=OFF \
  -DFEATURE_system_freetype=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_icu=OFF \
  -DFEATURE_vulkan=OFF -DFEATURE_tabletevent=OFF -DFEATURE_direct2d=ON -DFEATURE_directwrite=ON
cmake --build build-qtbase
cmake --install build-qtbase

echo "Qt $TALVOR_QT_VERSION (qtbase) for mingw-w64 installed in $prefix"
