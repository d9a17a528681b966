#!/usr/bin/env bash
# SPDX-FileCopyrightText: the Installer utilities authors
# SPDX-License-Identifier: MIT
# wine-prefix.sh PREFIX: makes PREFIX a fresh prefix of the host's wine64, the
# one way the host's tiers and tools get one (the x86 machine's prefix is made
# in its image). The prefix has the display-less driver
# (HKCU\Software\Wine\Drivers, Graphics = null): there is no display here, and
# without it Wine cannot create a window, so the broadcast's window cases fail.
# Returns once the prefix's wineserver has written everything and ended.
set -euo pipefail
prefix=$1
export WINEPREFIX=$prefix WINEDEBUG=-all
rm -rf "$prefix"
mkdir -p "$(dirname "$prefix")"
/usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
/usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
/usr/lib/wine/wineserver -w
