# The Windows installer: wixl builds packaging/windows/TALVOR_EthernetConfig.wxs over the staged files,
# which wixl-heat lists, so that the installer and the zip ship the same files.

TALVOR_WXS=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/packaging/windows/TALVOR_EthernetConfig.wxs

# build_windows_msi STAGE VERSION ICON MSI: ICON is the .ico of the executable's resources.
build_windows_msi() {
  local stage=$1 version=$2 icon=$3 msi=$4 files
  stage=$(realpath "$stage")
  files=$(dirname "$stage")/files.wxs
  find "$stage" -type f | sort |
    wixl-heat --prefix "$stage/" --directory-ref INSTALLDIR --component-group AppFiles --var var.StageDir --win64 >"$files"
  mkdir -p "$(dirname "$msi")"
  wixl -a x64 -D Version="$version" -D StageDir="$stage" -D IconFile="$icon" -D Win64=yes -o "$msi" \
    "$TALVOR_WXS" "$files"
}
