#!/usr/bin/env bash
# Signs copies of Windows files through scripts/windows' own signing, with a throwaway self-signed
# code-signing certificate, and checks each signature with osslsigncode verify; a wrong password must
# fail and leave the file as it was.
# Usage: SigningTest.sh FILE...   (an .exe and an .msi)
set -uo pipefail
source "$(dirname "$0")/../../scripts/lib/windows-sign.sh"
files=()
for file in "$@"; do files+=("$(realpath "$file")"); done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -subj "/CN=TALVOR Net Config test signer" \
  -addext "extendedKeyUsage=codeSigning" -keyout key.pem -out cert.pem -passout pass:throwaway 2>/dev/null &&
  openssl pkcs12 -export -in cert.pem -inkey key.pem -passin pass:throwaway -passout pass:throwaway -out signer.pfx ||
  { echo "FAIL: no throwaway certificate"; exit 1; }

status=0
for file in "${files[@]}"; do
  name=$(basename "$file")
  cp "$file" "$name"
  if ! TALVOR_SIGN_PFX=signer.pfx TALVOR_SIGN_PASSWORD=throwaway sign_windows_files "$name" >/dev/null ||
     ! osslsigncode verify -CAfile cert.pem -in "$name" >verify.txt 2>&1; then
    echo "FAIL: $name was not signed and verified:"
    cat verify.txt
    status=1
    continue
  fi
  echo "signed and verified: $name"
  cp "$file" "unsigned-$name"
  if TALVOR_SIGN_PFX=signer.pfx TALVOR_SIGN_PASSWORD=wrong sign_windows_files "unsigned-$name" 2>/dev/null ||
     ! cmp -s "$file" "unsigned-$name"; then
    echo "FAIL: signing $name with a wrong password did not fail cleanly"
    status=1
  fi
done
exit "$status"
