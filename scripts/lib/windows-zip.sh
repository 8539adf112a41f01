# The portable Windows zip: the executable, its help page, the platform plugin (and the native widget
# style, without which Qt draws the old Windows look), and every DLL these import that Windows itself
# does not provide.

# windows_runtime_dirs QT_PREFIX: where the Qt and mingw-w64 runtime DLLs are.
windows_runtime_dirs() {
  local gcc
  gcc=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
  echo "$1/bin $gcc /usr/x86_64-w64-mingw32/lib"
}

# copy_imported_dlls DEST FILE...: copies into DEST the DLLs that FILE imports, and theirs, found in
# the runtime folders; a DLL found in none of them is the system's.
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

# pack_windows_zip BUILD QT_PREFIX VERSION OUTDIR: prints the path of the zip it made.
pack_windows_zip() {
  local build=$1 qt=$2 version=$3 out=$4
  local name="TALVOR_EthernetConfig-$version-win64"
  local stage="$build/zip/$name"
  rm -rf "$build/zip"
  mkdir -p "$stage/platforms" "$stage/styles" "$out"
  cmake --install "$build" --prefix "$build/zip/installed" >/dev/null
  cp "$build/zip/installed/bin/TALVOR_EthernetConfig.exe" "$build/zip/installed/bin/TALVOR_EthernetConfig.html" "$stage/"
  cp "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/"
  cp "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
  copy_imported_dlls "$stage" "$qt" "$stage/TALVOR_EthernetConfig.exe" "$stage/platforms/qwindows.dll" \
    "$stage/styles/qwindowsvistastyle.dll"
  find "$stage" -name '*.exe' -o -name '*.dll' | xargs x86_64-w64-mingw32-strip --strip-unneeded
  rm -f "$out/$name.zip"
  (cd "$build/zip" && cmake -E tar cf "$name.zip" --format=zip "$name")
  mv "$build/zip/$name.zip" "$out/"
  echo "$out/$name.zip"
}
