# The Windows build's files as they are shipped, staged once for both the portable zip and the MSI: the
# executables and the help page from the install rules, the platform plugin (and the native widget style,
# without which Qt draws the old Windows look), every DLL these import that Windows itself does not
# provide, and the licence texts of what is bundled. Needs scripts/lib/windows-licenses.sh.

# windows_runtime_dirs QT_PREFIX: where the Qt and mingw-w64 runtime DLLs are.
windows_runtime_dirs() {
  local gcc
  gcc=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
  echo "$1/bin $gcc /usr/x86_64-w64-mingw32/lib"
}

# copy_imported_dlls DEST QT_PREFIX FILE...: copies into DEST the DLLs that FILE imports, and theirs,
# found in the runtime folders; a DLL found in none of them is the system's.
copy_imported_dlls() {
  local dest=$1 qt=$2
  shift 2
  local pending=("$@") file name dir
  while [ ${#pending[@]} -gt 0 ]; do
    file=${pending[0]}
    pending=("${pending[@]:1}")
    while read -r name; do
      [ -e "$dest/$name" ] && continue
      for dir in $(windows_runtime_dirs "$qt"); do
        if [ -f "$dir/$name" ]; then
          cp "$dir/$name" "$dest/"
          pending+=("$dest/$name")
          break
        fi
      done
    done < <(x86_64-w64-mingw32-objdump -p "$file" | sed -n 's/^[[:space:]]*DLL Name: //p')
  done
}

# stage_windows_files BUILD QT_PREFIX STAGE: makes the folder STAGE afresh.
stage_windows_files() {
  local build=$1 qt=$2 stage=$3 installed=$1/installed dll
  rm -rf "$stage" "$installed"
  mkdir -p "$stage/platforms" "$stage/styles"
  cmake --install "$build" --prefix "$installed" >/dev/null
  cp "$installed/bin/"* "$stage/"
  cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
  cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
  copy_imported_dlls "$stage" "$qt" "$stage/"*.exe "$stage/platforms/qwindows.dll" "$stage/styles/qwindowsvistastyle.dll"
  find "$stage" -name '*.exe' -o -name '*.dll' | xargs x86_64-w64-mingw32-strip --strip-unneeded
  stage_windows_licenses "$stage/licenses"
  # A bundled DLL that the licence notes do not name would ship without its licence.
  for dll in $(cd "$stage" && find . -name '*.dll' | sed 's|^\./||; s|/|\\|'); do
    grep -qF "$dll" "$stage/licenses/README.txt" ||
      { echo "FAIL: $dll is shipped but licenses/README.txt does not name it" >&2; return 1; }
  done
}

# pack_windows_zip STAGE OUTDIR: the staged files in OUTDIR/<STAGE's name>.zip, under a folder of that
# name; prints the zip's path.
pack_windows_zip() {
  local stage=$1 out=$2 name
  name=$(basename "$stage")
  mkdir -p "$out"
  rm -f "$out/$name.zip"
  (cd "$stage/.." && cmake -E tar cf "$name.zip" --format=zip "$name")
  mv "$stage/../$name.zip" "$out/"
  echo "$out/$name.zip"
}
