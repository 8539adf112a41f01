# The Windows installer: wixl builds packaging/windows/TALVOR_EthernetConfig.wxs over the staged files,
# which wixl-heat lists, so that the installer and the zip ship the same files.

TALVOR_WXS=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/packaging/windows/TALVOR_EthernetConfig.wxs

# build_windows_msi STAGE VERSION ICON MSI: ICON is the .ico of the executable's resources.
build_windows_msi() {
  local stage=$1 version=$2 icon=$3 msi=$4 major minor build
  IFS=. read -r major minor build _ <<<"$version"
  mkdir -p "$(dirname "$msi")"
  msi=$(realpath "$msi")
  icon=$(realpath "$icon")
  # wixl takes sources by paths relative to the folder it runs in.
  (
    cd "$stage/.."
    stage=$(basename "$stage")
    # Deepest files first: Wine's msiexec removes a component's folder only once it is empty, in the
    # components' order, so a folder listed before its subfolders would stay behind.
    find "$stage" -type f | awk -F/ '{print NF "\t" $0}' | sort -k1,1nr -k2 | cut -f2- |
      wixl-heat --prefix "$stage/" --directory-ref INSTALLDIR --component-group AppFiles --var var.StageDir \
        --win64 >files.wxs
    wixl -a x64 -D Version="$version" -D NextBuild="$major.${minor:-0}.$((${build:-0} + 1))" \
      -D StageDir="$stage" -D IconFile="$(realpath --relative-to=. "$icon")" -D Win64=yes -o "$msi" \
      "$TALVOR_WXS" files.wxs
  )
}
