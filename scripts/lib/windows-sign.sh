# Authenticode signatures with osslsigncode, when TALVOR_SIGN_PFX names a PKCS#12 file holding a
# code-signing certificate and its key (TALVOR_SIGN_PASSWORD, if set, is the key's password).

# sign_windows_files FILE...: signs each .exe, .dll or .msi in place, or says that they stay unsigned.
sign_windows_files() {
  local file
  if [ -z "${TALVOR_SIGN_PFX:-}" ]; then
    echo "unsigned (TALVOR_SIGN_PFX names no certificate): $*"
    return 0
  fi
  for file in "$@"; do
    # The password goes through a pipe, not the command line that any user can list.
    if ! printf '%s' "${TALVOR_SIGN_PASSWORD:-}" |
      osslsigncode sign -pkcs12 "$TALVOR_SIGN_PFX" -readpass - -h sha256 -n "TALVOR Net Config" \
        -in "$file" -out "$file.signed" >/dev/null; then
      rm -f "$file.signed"
      echo "FAIL: could not sign $file with $TALVOR_SIGN_PFX" >&2
      return 1
    fi
    mv "$file.signed" "$file"
    echo "signed: $file"
  done
}
