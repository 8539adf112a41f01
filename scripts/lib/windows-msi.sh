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
  add_system_path_entry "$msi"
}

# add_system_path_entry MSI: the install folder at the end of the system PATH while component
# SystemPath is installed ("=-*": set on install, removed with the component, system-wide; "[~];"
# appends to what is there). Written as wixl would, had it the Environment element.
add_system_path_entry() {
  msibuild "$1" \
    -q "CREATE TABLE \`Environment\` (\`Environment\` CHAR(72) NOT NULL, \`Name\` CHAR(255) NOT NULL LOCALIZABLE,
        \`Value\` CHAR(255) LOCALIZABLE, \`Component_\` CHAR(72) NOT NULL PRIMARY KEY \`Environment\`)" \
    -q "INSERT INTO \`Environment\` (\`Environment\`, \`Name\`, \`Value\`, \`Component_\`)
        VALUES ('SystemPath', '=-*PATH', '[~];[INSTALLDIR]', 'SystemPath')" \
    -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('RemoveEnvironmentStrings', 3300)" \
    -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('WriteEnvironmentStrings', 5200)"
}
