#!/usr/bin/env bash
# Authenticode-signs the given files in place with the certificate in SIGN_PFX
# (PKCS#12; its password in SIGN_PASSWORD), time-stamped when
# SIGN_TIMESTAMP_URL is set. SHA-256 digests, as Windows expects today.
set -euo pipefail
: "${SIGN_PFX:?SIGN_PFX must name a .pfx file}"

timestamp=()
[ -n "${SIGN_TIMESTAMP_URL:-}" ] && timestamp=(-ts "$SIGN_TIMESTAMP_URL")

for file in "$@"; do
  osslsigncode sign -pkcs12 "$SIGN_PFX" -pass "${SIGN_PASSWORD:-}" -h sha256 \
    -n "Installer utilities" "${timestamp[@]}" -in "$file" -out "$file.signed" >/dev/null
  mv "$file.signed" "$file"
  echo "signed $file"
done
