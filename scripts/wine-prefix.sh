#!/usr/bin/env bash
# SPDX-FileCopyrightText: the Installer utilities authors
# SPDX-License-Identifier: MIT
# wine-prefix.sh PREFIX [WINE]: makes PREFIX a fresh Wine prefix, the one way
# every tier and tool here gets one. WINE defaults to the host's wine64; the
# emulated x86 machine passes its own. The prefix has the display-less driver
# (HKCU\Software\Wine\Drivers, Graphics = null): there is no display here, and
# without it Wine cannot create a window, so the broadcast's window cases fail.
# Returns once the prefix's wineserver has written everything and ended.
set -euo pipefail
prefix=$1
wine=${2:-/usr/lib/wine/wine64}
export WINEPREFIX=$prefix WINEDEBUG=-all
rm -rf "$prefix"
mkdir -p "$(dirname "$prefix")"
"$wine" wineboot --init >/dev/null 2>&1
"$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
"$(dirname "$(command -v "$wine")")/wineserver" -w
