#!/usr/bin/env bash
# SPDX-FileCopyrightText: the Installer utilities authors
# SPDX-License-Identifier: MIT
# Measures the deliverables and prints a report: figures, and where they stand
# against their goals; no figure ever makes it fail.
# Three benchmarks:
#   1. Tarbel's own cost: the x64 twin against a minimal launcher, both running
#      a stand-in redistributable that exits at once;
#   2. _LaunchProcessSync@4 run by the installer against the installer's own
#      EXE custom action starting the same stand-in;
#   3. the sizes of dist/x86, and what each of the project's size levers is worth.
# The timed sides alternate inside one Windows driver program per benchmark, so
# that Wine starts once and slow drifts of the machine hit both sides alike.
# BENCH_PAIRS (default 100) sets how many pairs each timing benchmark runs.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bench="$root/build/bench"
pairs=${BENCH_PAIRS:-100}
warmup=3
wine64=/usr/lib/wine/wine64
mkdir -p "$bench/logs"
rm -f "$bench/summary.txt"

scripts/setup.sh
# Only the thread-model size variant needs the posix compilers.
if ! dpkg-query -W -f='${Status}' g++-mingw-w64-i686-posix 2>/dev/null | grep -q 'install ok installed'; then
  echo "bench: installing g++-mingw-w64-i686-posix"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    g++-mingw-w64-i686-posix >/dev/null
fi

# quietly LOG COMMAND...: runs a build step, showing its output only if it fails.
quietly() {
  local log="$bench/logs/$1"
  shift
  "$@" >"$log" 2>&1 || { tail -n 40 "$log"; echo "bench: failed: $* (log: $log)"; exit 1; }
}
# load_note: the machine's load now; timings taken on a busy machine spread widely.
load_note() {
  local load cores
  load=$(cut -d' ' -f1 /proc/loadavg)
  cores=$(nproc)
  printf '  load average now: %s on %s cores%s\n' "$load" "$cores" \
    "$(awk -v l="$load" -v c="$cores" 'BEGIN { if (l > c) print " (busy: expect a wide spread)" }')"
}
# windows_path UNIX_PATH: the path as Wine's Z: drive shows it.
windows_path() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }

echo "Building the deliverables, the stand-in child and the bench programs..."
for preset in x86 x64; do
  quietly "configure-$preset.log" cmake --preset "$preset"
done
quietly build-x86.log cmake --build --preset x86 --target Tarbel Quorvane
quietly build-x64.log cmake --build --preset x64 --target Tarbel Quorvane stand_in_child
cc=(x86_64-w64-mingw32-gcc-win32 -O2 -s -Wall -Wextra -municode)
quietly bench-programs.log sh -c "${cc[*]} -mwindows -o '$bench/minimal_launcher.exe' bench/minimal_launcher.c &&
  ${cc[*]} -o '$bench/time_runs.exe' bench/time_runs.c &&
  ${cc[*]} -o '$bench/time_actions.exe' bench/time_actions.c -lmsi"

export WINEPREFIX="$bench/wineprefix" WINEDEBUG=-all
unset STAND_IN_EXIT_CODE STAND_IN_HOLD STAND_IN_RECORD
if [ ! -d "$WINEPREFIX" ]; then
  echo "Preparing a Wine prefix for the benchmarks..."
  # The display-less graphics driver, as the tests use: no X server needed.
  quietly wineprefix.log sh -c "$wine64 wineboot --init &&
    $wine64 reg add 'HKCU\\Software\\Wine\\Drivers' /v Graphics /d null /f && /usr/lib/wine/wineserver -w"
fi

echo
echo "Installer utilities: benchmarks"
echo "  $($wine64 --version), $(nproc) cores; BENCH_PAIRS=$pairs"

echo
echo "== 1. Tarbel's own cost: dist/x64/Tarbel.exe against a minimal launcher"
echo "  Both start vcredist_x86.exe /quiet /norestart from their own folder: the stand-in child,"
echo "  which exits at once with 0. Each run is timed by time_runs.exe (QueryPerformanceCounter)"
echo "  from CreateProcessW until the process has ended."
load_note
runs="$bench/tarbel"
rm -rf "$runs"
mkdir -p "$runs"
cp dist/x64/Tarbel.exe "$bench/minimal_launcher.exe" "$runs/"
cp build/x64/tests/bin/stand_in_child.exe "$runs/vcredist_x86.exe"
log_file="$WINEPREFIX/drive_c/users/$(id -un)/Temp/ovt18helper.log"
rm -f "$log_file"
"$wine64" "$bench/time_runs.exe" "$pairs" "$warmup" \
  "\"$(windows_path "$runs/Tarbel.exe")\" x" "\"$(windows_path "$runs/minimal_launcher.exe")\" x" \
  >"$bench/tarbel-times.txt"
/usr/bin/python3 bench/report.py times "$bench/tarbel-times.txt" 1.05 "$bench/summary.txt" \
  "Tarbel.exe x" "minimal_launcher.exe x"
echo "  Tarbel's log after its last run: $(tr -d '\r' <"$log_file")"

echo
echo "== 2. _LaunchProcessSync@4 against the installer's own EXE custom action"
echo "  One installer session (MsiOpenPackageW) of bench/launch-actions.wxs, built by wixl -a x64"
echo "  around dist/x64/Quorvane.dll; time_actions.exe times each MsiDoActionW call."
load_note
msi="$bench/msi"
rm -rf "$msi"
mkdir -p "$msi"
cp dist/x64/Quorvane.dll "$msi/"
cp build/x64/tests/bin/stand_in_child.exe "$msi/vcredist_x86.exe"
# wixl looks for SourceFile="Quorvane.dll" in its working folder.
(cd "$msi" && quietly wixl.log wixl -a x64 -o launch-actions.msi "$root/bench/launch-actions.wxs")
types=$(msiinfo export "$msi/launch-actions.msi" CustomAction | awk -F'\t' 'NR > 3 { print $1 "=" $2 }' | sort |
  tr '\n' ' ')
echo "  custom action types: $types"
[ "$types" = "CallQuorvaneOnly=1 LaunchThroughInstaller=50 LaunchThroughQuorvane=1 " ] ||
  { echo "bench: the package's custom action types are not as bench/launch-actions.wxs means them"; exit 1; }
"$wine64" "$bench/time_actions.exe" "$(windows_path "$msi/launch-actions.msi")" \
  "$(windows_path "$msi/vcredist_x86.exe")" "$(windows_path "$msi/commands.txt")" "$pairs" "$warmup" \
  >"$bench/action-times.txt"
/usr/bin/python3 bench/report.py times "$bench/action-times.txt" 1.10 "$bench/summary.txt" \
  "_LaunchProcessSync@4 (type 1)" "EXE action (type 50)" "DLL action starting nothing"
/usr/lib/wine/wineserver -w

echo
echo "== 3. Sizes of dist/x86, and what each size lever is worth"
echo "  Each variant is a copy of the sources with one lever undone (the baseline: all of them),"
echo "  built for i686 like dist/x86 (Release, tests off)."
# variant DIR NAME [FILE SED_SCRIPT]...: copies the sources to DIR/src, applies each
# SED_SCRIPT to its FILE there (each must change something), builds Tarbel and
# Quorvane and adds a row to sizes.txt; a variant that does not build is a row too.
variant() {
  local dir=$1 name=$2 log="$bench/logs/variant-${1##*/}.log"
  shift 2
  rm -rf "$dir/src" "$dir/dist"
  mkdir -p "$dir/src"
  # Timestamps kept, so that a second run rebuilds only what the edits touch.
  git ls-files -z --cached --others --exclude-standard | xargs -0 cp -p --parents -t "$dir/src"
  while (($#)); do
    cp "$dir/src/$1" "$dir/before-edit"
    sed -i "$2" "$dir/src/$1"
    if cmp -s "$dir/before-edit" "$dir/src/$1"; then
      echo "bench: variant '$name': sed '$2' changed nothing in $1"
      exit 1
    fi
    shift 2
  done
  if cmake -S "$dir/src" -B "$dir/out" -G Ninja -DCMAKE_BUILD_TYPE=Release \
       -DCMAKE_TOOLCHAIN_FILE="$dir/src/cmake/toolchain-i686-w64-mingw32.cmake" -DDIST_DIR="$dir/dist" \
       -DINSTALLER_UTILITIES_TESTS=OFF >"$log" 2>&1 &&
     cmake --build "$dir/out" --target Tarbel Quorvane >>"$log" 2>&1; then
    printf '%s\t%s\t%s\n' "$name" "$(stat -c %s "$dir/dist/Tarbel.exe")" "$(stat -c %s "$dir/dist/Quorvane.dll")"
  else
    printf '%s\t-\t-\tdoes not build: %s\n' "$name" \
      "$(grep -m1 -o -E 'multiple definition of [^;]*|error: .*' "$log" || echo "see ${log#"$root"/}")"
  fi >>"$bench/sizes.txt"
}
no_assertions=(CMakeLists.txt 's/^\( *\)_GLIBCXX_ASSERTIONS)$/\1)/')
no_overrides=(Utility/InstallerUtilities/CMakeLists.txt 's/ runtime_overrides\([ )]\)/\1/')
no_gc_sections=(CMakeLists.txt 's/ -ffunction-sections -fdata-sections//' CMakeLists.txt 's/ -Wl,--gc-sections//')
not_stripped=(CMakeLists.txt '/add_link_options(-s)/d')
posix_threads=(cmake/toolchain-i686-w64-mingw32.cmake 's/-win32)$/-posix)/')

printf 'shipped (dist/x86)\t%s\t%s\n' "$(stat -c %s dist/x86/Tarbel.exe)" "$(stat -c %s dist/x86/Quorvane.dll)" \
  >"$bench/sizes.txt"
variant "$bench/variants/no-overrides" "no runtime_overrides" "${no_overrides[@]}"
variant "$bench/variants/no-assertions" "no _GLIBCXX_ASSERTIONS" "${no_assertions[@]}"
# Without the assertions the prebuilt string members come back, and with them the
# runtime's own __throw_* helpers, which then clash with the overrides.
variant "$bench/variants/no-assertions-no-overrides" "no _GLIBCXX_ASSERTIONS, no overrides" \
  "${no_assertions[@]}" "${no_overrides[@]}"
variant "$bench/variants/no-gc-sections" "no gc-sections" "${no_gc_sections[@]}"
variant "$bench/variants/not-stripped" "not stripped" "${not_stripped[@]}"
variant "$bench/variants/posix-threads" "posix thread model" "${posix_threads[@]}"
variant "$bench/baseline" "baseline: all five undone" "${no_assertions[@]}" "${no_overrides[@]}" \
  "${no_gc_sections[@]}" "${not_stripped[@]}" "${posix_threads[@]}"
/usr/bin/python3 bench/report.py sizes "$bench/sizes.txt" "$bench/summary.txt"

echo
echo "== Summary"
sed 's/^/  /' "$bench/summary.txt"
