#!/usr/bin/env bash
# SPDX-FileCopyrightText: the Installer utilities authors
# SPDX-License-Identifier: MIT
# setup.sh [PACKAGE...]: installs the Debian packages that building and testing
# need, or only the ones named (the x86 machine's and the bench's own); does
# nothing for those already present. The one place that installs packages.
set -euo pipefail

packages=("$@")
(($#)) || packages=(
  cmake ninja-build
  clang-19 lld-19 llvm-19 clang-tidy-19 clang-format-19 gcovr
  g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine64 wixl msitools nsis
  osslsigncode openssl
  python3 python3-pefile python3-jsonschema python3-pytest pyflakes3 shellcheck faketime unzip tzdata
  reuse
  googletest
)
# Two pinned tools come from the npm registry (below); a machine whose Node.js brings its own npm keeps it.
(($#)) || command -v npm >/dev/null 2>&1 || packages+=(npm)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
(($#)) && exit 0

# From the npm registry, at pinned versions, into the build tree, in one install so
# that neither removes the other: CycloneDX's JSON schemas, which the release
# kit's SBOM is checked against, and the validator of the CI workflow.
tools="$(dirname "$0")/../build/tools"
if [ ! -f "$tools/node_modules/@cyclonedx/cyclonedx-library/res/schema/bom-1.5.SNAPSHOT.schema.json" ] ||
   [ ! -x "$tools/node_modules/.bin/action-validator" ]; then
  echo "setup: installing @cyclonedx/cyclonedx-library@10.3.0 and @action-validator/cli@0.6.0 into build/tools"
  npm install --prefix "$tools" --no-save --no-audit --no-fund --ignore-scripts --omit=optional \
    @cyclonedx/cyclonedx-library@10.3.0 @action-validator/cli@0.6.0 >/dev/null
fi
