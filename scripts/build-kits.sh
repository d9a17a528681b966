#!/usr/bin/env bash
# SPDX-FileCopyrightText: the Installer utilities authors
# SPDX-License-Identifier: MIT
# build-kits.sh [SOURCES ROOT]: builds both presets of SOURCES (default: this checkout) into
# ROOT/build (default: the same), their files into ROOT/dist, signs the images when SIGN_PFX
# names a certificate (scripts/sign.sh), and writes the release kit and the test kit there.
# The one way the build command, the test command and the rebuild elsewhere build.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
sources=${1:-$here}
root=${2:-$here}
# Both kits name one commit, also when SOURCES is a copy that is no checkout.
if [ -z "${SOURCE_COMMIT:-}" ]; then
  read -r SOURCE_COMMIT SOURCE_DATE_EPOCH < <(cd "$here" && /usr/bin/python3 scripts/release_kit.py --identity)
  export SOURCE_COMMIT SOURCE_DATE_EPOCH
fi
for preset in x86 x64; do
  # Copied anew from the build tree, so that a signature is never applied twice.
  rm -f "$root/dist/$preset"/*
  cmake -S "$sources" --preset "$preset" -B "$root/build/$preset" -DDIST_DIR="$root/dist/$preset" \
    -DSYMBOLS_DIR="$root/dist/symbols/$preset" >/dev/null
  cmake --build "$root/build/$preset"
done
if [ -n "${SIGN_PFX:-}" ]; then
  "$sources/scripts/sign.sh" "$root"/dist/x86/* "$root"/dist/x64/*
fi
rm -f "$root"/dist/installer-utilities-*.zip
/usr/bin/python3 "$sources/scripts/release_kit.py" "$root/build/x86" "$root/dist"
/usr/bin/python3 "$sources/scripts/tests_kit.py" "$root" "$root/dist"
