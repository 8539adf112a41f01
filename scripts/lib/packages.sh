# Installs, with apt-get, the Debian 12 packages the build, the tests and the run need, only when one
# is missing, so that a warm run stays fast.
TALVOR_PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev
  libgtest-dev libgmock-dev libbenchmark-dev libxcb1-dev libxcb-damage0-dev
  xvfb xdotool x11-utils imagemagick librsvg2-bin fonts-dejavu-core
  xdg-utils ser2net
)
# What scripts/package needs on top: the checks of a Debian package and of desktop files.
TALVOR_PACKAGING_TOOLS=(dpkg-dev desktop-file-utils appstream lintian)

# ensure_packages [PACKAGE...]: the packages named, TALVOR_PACKAGES without names.
ensure_packages() {
  [ $# -gt 0 ] || set -- "${TALVOR_PACKAGES[@]}"
  local missing=()
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing missing packages: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}
