#!/usr/bin/env bash
# SPDX-FileCopyrightText: the Installer utilities authors
# SPDX-License-Identifier: MIT
# Authenticode-signs the given files in place with the certificate in SIGN_PFX
# (PKCS#12), time-stamped when SIGN_TIMESTAMP_URL is set. SHA-256 digests, as
# Windows expects today. The certificate's password comes from the file named
# by SIGN_PASSWORD_FILE or from SIGN_PASSWORD, and reaches osslsigncode through
# that file or a pipe: on a command line any user of the machine could read it
# in the process list.
set -euo pipefail
: "${SIGN_PFX:?SIGN_PFX must name a .pfx file}"

timestamp=()
[ -n "${SIGN_TIMESTAMP_URL:-}" ] && timestamp=(-ts "$SIGN_TIMESTAMP_URL")

for file in "$@"; do
  sign=(osslsigncode sign -pkcs12 "$SIGN_PFX" -readpass "${SIGN_PASSWORD_FILE:--}" -h sha256
        -n "Installer utilities" "${timestamp[@]}" -in "$file" -out "$file.signed")
  if [ -n "${SIGN_PASSWORD_FILE:-}" ]; then
    "${sign[@]}" >/dev/null
  else
    printf '%s' "${SIGN_PASSWORD:-}" | "${sign[@]}" >/dev/null
  fi
  mv "$file.signed" "$file"
  echo "signed $file"
done
