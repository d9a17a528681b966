#!/usr/bin/env bash
# SPDX-FileCopyrightText: the Installer utilities authors
# SPDX-License-Identifier: MIT
# Builds the deliverables (dist/x86, shipped; dist/x64, the twin the tests run)
# and shows them working under Wine: Tarbel beside a stand-in redistributable,
# and an installation whose custom actions are Quorvane's.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/setup.sh

# Both presets, signed when SIGN_PFX names a certificate, the release kit to publish and the
# test kit (docs/windows-test-kit.md); the examples' sources beside them, and checksums of it all.
scripts/build-kits.sh
cp examples/quorvane-actions.wxs examples/prerequisites.nsi dist/
(cd dist && sha256sum x86/* x64/* quorvane-actions.wxs prerequisites.nsi symbols/*/*.pdb \
  installer-utilities-*.zip >SHA256SUMS)

export WINEPREFIX="$root/build/demo/wineprefix" WINEDEBUG=-all
wine64=/usr/lib/wine/wine64
demo="$root/build/demo"
rm -rf "$demo/tarbel" "$demo/package"
mkdir -p "$demo/tarbel" "$demo/package"
scripts/wine-prefix.sh "$WINEPREFIX"

echo
echo "== Tarbel.exe (x64 twin) beside a stand-in vcredist_x86.exe that answers 3010"
cp dist/x64/Tarbel.exe "$demo/tarbel/"
cp build/x64/tests/bin/stand_in_child.exe "$demo/tarbel/vcredist_x86.exe"
temp_dir="$WINEPREFIX/drive_c/users/$(id -un)/Temp"
rm -f "$temp_dir/ovt18helper.log"
status=0
STAND_IN_EXIT_CODE=3010 "$wine64" "$demo/tarbel/Tarbel.exe" install || status=$?
# A Unix exit status keeps only the low 8 bits of a Windows exit code.
echo "Tarbel's exit status: $status (3010 mod 256 = $((3010 % 256)), restart required)"
echo "Its log, $temp_dir/ovt18helper.log:"
sed 's/\r$//; s/^/  /' "$temp_dir/ovt18helper.log"

# install_demo TITLE TOOL_EXIT_CODE [PROPERTY=VALUE...]
install_demo() {
  local title=$1 tool_exit_code=$2 status=0
  shift 2
  echo
  echo "== msiexec /i demo.msi $* -- $title"
  (cd "$demo/package" && STAND_IN_EXIT_CODE=$tool_exit_code "$wine64" msiexec /i demo.msi /qn /l*v install.log "$@") || status=$?
  echo "msiexec's exit status: $status; what the custom actions did, from its log:"
  grep -a -E '^(Action start [0-9:]+: (RunConfigurationCheck|FailOnConfigurationCheck|RemoveAppdirTrailingBackslash|StopEarly|RefreshEnvironment)\.|ERROR: |Property\(S\): (APPDIR|AppdirNoTrailingBackslash|LaunchProcessReturnValue) =)' \
    "$demo/package/install.log" | sed 's/\r$//; s/^/  /'
  (cd "$demo/package" && "$wine64" msiexec /x demo.msi /qn) || true
}

echo
echo "== examples/quorvane-actions.wxs built against the x64 twin of Quorvane.dll, installed by Wine's msiexec"
cp build/x64/tests/packages/actions_demo.msi "$demo/package/demo.msi"
cp build/x64/tests/bin/stand_in_child.exe "$demo/package/ExampleAppConfig.exe"
install_demo "the configuration tool answers 0" 0
install_demo "the configuration tool answers 1: the package ends the installation as failed (67 = 1603 mod 256)" 1
install_demo "STOP_EARLY ends the installation early, as a success (Wine runs the later actions anyway; Windows skips them)" 0 STOP_EARLY=1
/usr/lib/wine/wineserver -w

echo
echo "Deliverables (dist/SHA256SUMS):"
ls -l dist/x86/* dist/installer-utilities-*.zip
sed 's/^/  /' dist/SHA256SUMS
