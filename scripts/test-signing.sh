#!/usr/bin/env bash
# SPDX-FileCopyrightText: the Installer utilities authors
# SPDX-License-Identifier: MIT
# test-signing.sh: signs copies of the four images with a throwaway certificate through
# scripts/sign.sh, the password given both ways, and checks that it never reached osslsigncode's
# command line, that every signature verifies, and that the signed library still loads and runs
# its entry points in a real installer session under Wine.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
signing=$(mktemp -d /tmp/signing-XXXXXX)
trap 'rm -rf "$signing"' EXIT
openssl req -x509 -newkey rsa:2048 -nodes -subj "/CN=Installer utilities test" -days 2 \
  -keyout "$signing/key.pem" -out "$signing/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$signing/key.pem" -in "$signing/cert.pem" \
  -passout pass:throwaway -out "$signing/test.pfx"
mkdir "$signing/dist"
cp dist/x86/Quorvane.dll "$signing/dist/Quorvane-x86.dll"
cp dist/x86/Tarbel.exe "$signing/dist/Tarbel-x86.exe"
cp dist/x64/Quorvane.dll dist/x64/Tarbel.exe "$signing/dist/"
# A stand-in osslsigncode that notes its arguments.
mkdir "$signing/bin"
printf '#!/bin/sh\nprintf "%%s\\n" "$*" >>"%s"\nexec %s "$@"\n' "$signing/arguments.txt" \
  "$(command -v osslsigncode)" >"$signing/bin/osslsigncode"
chmod +x "$signing/bin/osslsigncode"
printf 'throwaway' >"$signing/password"
PATH="$signing/bin:$PATH" SIGN_PFX="$signing/test.pfx" SIGN_PASSWORD=throwaway scripts/sign.sh "$signing"/dist/*-x86.*
PATH="$signing/bin:$PATH" SIGN_PFX="$signing/test.pfx" SIGN_PASSWORD_FILE="$signing/password" \
  scripts/sign.sh "$signing"/dist/Quorvane.dll "$signing"/dist/Tarbel.exe
status=0
if [ "$(grep -c . "$signing/arguments.txt")" != 4 ] || grep -q throwaway "$signing/arguments.txt"; then
  echo "FAILED: the password was on osslsigncode's command line"
  status=1
fi
for file in "$signing"/dist/*; do
  osslsigncode verify -CAfile "$signing/cert.pem" -in "$file" >"$signing/verify.txt" 2>&1 ||
    { echo "FAILED: ${file##*/} does not verify: $(tail -1 "$signing/verify.txt")"; status=1; }
done
(cd build/x64/test-results &&
  WINEPREFIX="$root/build/x64/wineprefix" WINEDEBUG=-all INSTALLER_UTILITIES_DIST="$signing/dist" \
  INSTALLER_UTILITIES_PACKAGES="$root/build/x64/tests/packages" /usr/lib/wine/wine64 \
  ../tests/bin/custom_action_tests.exe --gtest_filter='*Terminate*:*Appdir*:*Publishes*' \
  --gtest_output=xml:signed_library.xml) || { echo "FAILED: the signed library's entry points"; status=1; }
exit "$status"
