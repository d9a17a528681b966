#!/usr/bin/env bash
# SPDX-FileCopyrightText: the Installer utilities authors
# SPDX-License-Identifier: MIT
# wine-prefix.sh PREFIX: makes PREFIX a Wine prefix, the one way the host's tiers and tools and
# the x86 machine's image get one; a prefix it made before is kept while its inputs (this script
# and the Wine version) are the same. WINE names the Wine to run (default: the host's
# /usr/lib/wine/wine64; the x86 machine's is `wine`); its wineserver is the one beside it.
# Returns once the prefix's wineserver has written everything and ended.
set -euo pipefail
prefix=$1
wine=$(command -v "${WINE:-/usr/lib/wine/wine64}")
wineserver=${wine%/*}/wineserver
export WINEPREFIX=$prefix WINEDEBUG=-all
inputs="$("$wine" --version) $(sha256sum <"$0")"
[ "$(cat "$prefix/made-from" 2>/dev/null)" != "$inputs" ] || exit 0
rm -rf "$prefix"
mkdir -p "$(dirname "$prefix")"
# Wine gives the setup of a new prefix five minutes before it fails the command, and under
# emulation on a loaded host the setup can take longer. It goes on regardless, so wait for it to
# end and start again, which then finds the prefix done. No Mono or Gecko: there is no network,
# and installers do not need them.
for attempt in 1 2 3; do
  WINEDLLOVERRIDES="mscoree,mshtml=" "$wine" wineboot --init >/dev/null 2>&1 && break
  "$wineserver" -w
  echo "wine-prefix.sh: setting up $prefix failed or ran out of time (attempt $attempt of 3)" >&2
  ((attempt < 3)) || exit 1
done
# A crashing program must print its backtrace rather than wait on a dialog nobody sees.
"$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
# The display-less driver: there is no display, and without it Wine cannot create a window, so
# the broadcast's window cases fail. Wine's desktop reads it once, when it starts, so it must be
# in the prefix before any later program starts one.
"$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
"$wineserver" -w
printf '%s\n' "$inputs" >"$prefix/made-from"
