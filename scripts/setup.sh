#!/usr/bin/env bash
# SPDX-FileCopyrightText: the Installer utilities authors
# SPDX-License-Identifier: MIT
# Installs the Debian packages that building and testing need; does nothing when all are present.
set -euo pipefail

packages=(
  cmake ninja-build
  clang-19 lld-19 llvm-19 clang-tidy-19 clang-format-19 gcovr
  g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine64 wixl msitools nsis
  osslsigncode openssl
  python3 python3-pefile faketime unzip
  reuse
  googletest
)
# The workflow validator comes from the npm registry; any Node.js with npm will do.
command -v npm >/dev/null 2>&1 || packages+=(npm)

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
