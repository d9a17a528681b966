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
# Each benchmark also measures a baseline revision (BENCH_BASELINE, default
# 1cb6e75, the last one built with GCC; "none" leaves it out), exported from git
# and built with its own toolchain files, beside the current sources.
# The timed sides take turns inside one Windows driver program per benchmark,
# so that Wine starts once and slow drifts of the machine hit all sides alike.
# BENCH_ROUNDS (default 300; BENCH_PAIRS is the older name) sets how many rounds
# each timing benchmark runs, every side once a round.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bench="$root/build/bench"
rounds=${BENCH_ROUNDS:-${BENCH_PAIRS:-300}}
baseline=${BENCH_BASELINE-1cb6e75}
warmup=3
wine64=/usr/lib/wine/wine64
mkdir -p "$bench/logs"
rm -f "$bench/summary.txt"

scripts/setup.sh
# Only the thread-model size variant needs the posix flavour of GCC's runtime libraries.
scripts/setup.sh g++-mingw-w64-i686-posix

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
# drive PROGRAM ARGS...: runs a timing driver under Wine. Wine has been seen to hang
# in an action's process start for good, so the driver is stopped after a limit.
drive() {
  timeout --kill-after=10 "${BENCH_TIME_LIMIT:-1800}" "$wine64" "$@" ||
    { echo "bench: $(basename "$1") failed or did not finish within ${BENCH_TIME_LIMIT:-1800} s"; exit 1; }
}
# windows_path UNIX_PATH: the path as Wine's Z: drive shows it.
windows_path() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }

echo "Building the deliverables, the stand-in child and the bench programs..."
for preset in x86 x64; do
  quietly "configure-$preset.log" cmake --preset "$preset"
done
quietly build-x86.log cmake --build --preset x86 --target Tarbel_shipped Quorvane_shipped
quietly build-x64.log cmake --build --preset x64 --target Tarbel_shipped Quorvane_shipped stand_in_child
cc=(clang-19 --target=x86_64-w64-mingw32 -fuse-ld=lld -O2 -s -Wall -Wextra -municode)
quietly bench-programs.log sh -c "${cc[*]} -mwindows -o '$bench/minimal_launcher.exe' bench/minimal_launcher.c &&
  ${cc[*]} -o '$bench/time_runs.exe' bench/time_runs.c &&
  ${cc[*]} -o '$bench/time_actions.exe' bench/time_actions.c -lmsi"

# The baseline revision, exported once into build/bench/baseline/<commit>/src and
# built there, for each architecture, with that revision's own toolchain file:
# its deliverables land in .../dist/<arch>.
base_dist=
if [ "$baseline" != none ]; then
  commit=$(git rev-parse --verify --quiet "$baseline^{commit}") ||
    { echo "bench: BENCH_BASELINE=$baseline is not a revision of this repository"; exit 1; }
  base_name="baseline ${commit:0:7}"
  base_dir="$bench/baseline/$commit"
  echo "Building the baseline revision ${commit:0:7} with its own toolchain files..."
  if [ ! -e "$base_dir/exported" ]; then
    rm -rf "$base_dir"
    mkdir -p "$base_dir/src"
    git archive --format=tar "$commit" | tar -x -C "$base_dir/src"
    touch "$base_dir/exported"
  fi
  for arch in x86 x64; do
    triple=$([ "$arch" = x86 ] && echo i686-w64-mingw32 || echo x86_64-w64-mingw32)
    quietly "baseline-configure-$arch.log" cmake -S "$base_dir/src" -B "$base_dir/out/$arch" -G Ninja \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$base_dir/src/cmake/toolchain-$triple.cmake" \
      -DDIST_DIR="$base_dir/dist/$arch" -DSYMBOLS_DIR="$base_dir/dist/symbols/$arch" -DBUILD_TESTING=OFF
    # Revisions before the move to clang link straight into DIST_DIR; later ones copy there.
    targets=()
    for target in Tarbel Quorvane; do
      if ninja -C "$base_dir/out/$arch" -t targets all | grep -q "^${target}_shipped:"; then
        targets+=("${target}_shipped")
      else
        targets+=("$target")
      fi
    done
    quietly "baseline-build-$arch.log" cmake --build "$base_dir/out/$arch" --target "${targets[@]}"
  done
  base_dist="$base_dir/dist"
fi

export WINEPREFIX="$bench/wineprefix" WINEDEBUG=-all
unset STAND_IN_EXIT_CODE STAND_IN_HOLD STAND_IN_RECORD
if [ ! -d "$WINEPREFIX" ]; then
  echo "Preparing a Wine prefix for the benchmarks..."
  quietly wineprefix.log scripts/wine-prefix.sh "$WINEPREFIX"
fi

echo
echo "Installer utilities: benchmarks"
echo "  $($wine64 --version), $(nproc) cores; BENCH_ROUNDS=$rounds; ${base_name:-no baseline}"
echo "  Each ratio: per mode of Wine's process starts (fast or slow, if the timings clearly fall in"
echo "  two groups), the median ratio over the rounds whose two runs fell in the same mode, the modes"
echo "  weighted by those rounds. Spread: the same estimate on 10 consecutive blocks of rounds; the"
echo "  90% interval of the whole run's estimate comes from the blocks' spread. Goal met: the"
echo "  interval lies at or under the goal; not met: above it; otherwise not settled."

echo
echo "== 1. Tarbel's own cost: dist/x64/Tarbel.exe against a minimal launcher"
echo "  Each starts vcredist_x86.exe /quiet /norestart from its own folder: the stand-in child,"
echo "  which exits at once with 0. Each run is timed by time_runs.exe (QueryPerformanceCounter)"
echo "  from CreateProcessW until the process has ended."
load_note
runs="$bench/tarbel"
rm -rf "$runs"
mkdir -p "$runs/current"
cp dist/x64/Tarbel.exe "$bench/minimal_launcher.exe" "$runs/current/"
cp build/x64/tests/bin/stand_in_child.exe "$runs/current/vcredist_x86.exe"
commands=("\"$(windows_path "$runs/current/minimal_launcher.exe")\" x" "\"$(windows_path "$runs/current/Tarbel.exe")\" x")
labels=("minimal launcher" "Tarbel.exe (current)")
if [ -n "$base_dist" ]; then
  mkdir -p "$runs/baseline"
  cp "$base_dist/x64/Tarbel.exe" "$runs/baseline/"
  cp build/x64/tests/bin/stand_in_child.exe "$runs/baseline/vcredist_x86.exe"
  commands+=("\"$(windows_path "$runs/baseline/Tarbel.exe")\" x")
  labels+=("Tarbel.exe ($base_name)")
fi
log_file="$WINEPREFIX/drive_c/users/$(id -un)/Temp/ovt18helper.log"
rm -f "$log_file"
drive "$bench/time_runs.exe" "$rounds" "$warmup" "${commands[@]}" >"$bench/tarbel-times.txt"
/usr/bin/python3 bench/report.py times "$bench/tarbel-times.txt" "$bench/summary.txt" 1.05 "${labels[@]}"
echo "  Tarbel's log after its last run: $(tr -d '\r' <"$log_file")"

echo
echo "== 2. _LaunchProcessSync@4 against the installer's own EXE custom action"
echo "  One installer session (MsiOpenPackageW) of bench/launch-actions.wxs, built by wixl -a x64"
beside=
[ -z "$base_dist" ] || beside=" and the baseline's"
echo "  around dist/x64/Quorvane.dll$beside; time_actions.exe times each"
echo "  MsiDoActionW call. Each library's action that starts nothing is Wine's fixed cost of calling"
echo "  a DLL action."
load_note
msi="$bench/msi"
rm -rf "$msi"
mkdir -p "$msi"
cp dist/x64/Quorvane.dll "$msi/"
cp build/x64/tests/bin/stand_in_child.exe "$msi/vcredist_x86.exe"
actions=(LaunchThroughInstaller LaunchThroughQuorvane CallQuorvaneOnly)
labels=("_LaunchProcessSync@4 (current)")
wixl_defines=()
if [ -n "$base_dist" ]; then
  mkdir -p "$msi/baseline"
  cp "$base_dist/x64/Quorvane.dll" "$msi/baseline/"
  actions+=(LaunchThroughBaseline CallBaselineOnly)
  labels+=("_LaunchProcessSync@4 ($base_name)")
  wixl_defines=(-D Baseline=yes)
fi
# wixl looks for the SourceFile paths in its working folder.
(cd "$msi" && quietly wixl.log wixl -a x64 "${wixl_defines[@]}" -o launch-actions.msi "$root/bench/launch-actions.wxs")
types=$(msiinfo export "$msi/launch-actions.msi" CustomAction | awk -F'\t' 'NR > 3 { print $1 "=" $2 }' | sort |
  tr '\n' ' ')
expected=(CallQuorvaneOnly=1 LaunchThroughInstaller=50 LaunchThroughQuorvane=1)
[ -z "$base_dist" ] || expected+=(CallBaselineOnly=1 LaunchThroughBaseline=1)
echo "  custom action types: $types"
[ "$types" = "$(printf '%s\n' "${expected[@]}" | sort | tr '\n' ' ')" ] ||
  { echo "bench: the package's custom action types are not as bench/launch-actions.wxs means them"; exit 1; }
drive "$bench/time_actions.exe" "$(windows_path "$msi/launch-actions.msi")" \
  "$(windows_path "$msi/vcredist_x86.exe")" "$(windows_path "$msi/commands.txt")" "$rounds" "$warmup" \
  "${actions[@]}" >"$bench/action-times.txt"
/usr/bin/python3 bench/report.py actions "$bench/action-times.txt" "$bench/summary.txt" 1.10 \
  "EXE action (type 50)" "{}, starting nothing" "${labels[@]}"
/usr/lib/wine/wineserver -w

echo
echo "== 3. Sizes of dist/x86, and what each size lever is worth"
echo "  Each variant builds the current sources for i686 like dist/x86 (Release, tests off), with"
echo "  one lever undone by its CMake cache variable (the last: all of them); undone, the levers are"
echo "  INSTALLER_UTILITIES_{GLIBCXX_ASSERTIONS,RUNTIME_OVERRIDES,GC_SECTIONS,STRIP}=OFF and"
echo "  INSTALLER_UTILITIES_THREAD_MODEL=posix."
# variant DIR NAME [SETTING]...: configures the current sources afresh in DIR/out
# with each SETTING (VARIABLE=VALUE) and the rest at their defaults, builds
# Tarbel and Quorvane and adds a row to sizes.txt; a variant that does not build
# is a row too. A SETTING the project does not read, or one that leaves an image
# byte-identical to dist/x86's (builds in other folders come out the same), stops
# the bench: the lever has been renamed or no longer does anything.
variant() {
  local dir=$1 name=$2 log="$bench/logs/variant-${1##*/}.log" row file
  shift 2
  rm -rf "$dir/dist"
  # Afresh, so that no cache of an earlier run sets a lever; the objects stay.
  if ! cmake --fresh -S "$root" -B "$dir/out" -G Ninja -DCMAKE_BUILD_TYPE=Release \
       -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-w64-mingw32.cmake" -DDIST_DIR="$dir/dist" \
       -DSYMBOLS_DIR="$dir/dist/symbols" -DBUILD_TESTING=OFF "${@/#/-D}" >"$log" 2>&1; then
    tail -n 20 "$log"
    echo "bench: variant '$name' does not configure (log: $log)"
    exit 1
  fi
  if grep -q 'Manually-specified variables were not used' "$log"; then
    grep -A 4 'Manually-specified variables were not used' "$log"
    echo "bench: variant '$name' sets a variable that the build files do not read"
    exit 1
  fi
  if cmake --build "$dir/out" --target Tarbel_shipped Quorvane_shipped >>"$log" 2>&1; then
    for file in Tarbel.exe Quorvane.dll; do
      if cmp -s "$dir/dist/$file" "dist/x86/$file"; then
        echo "bench: variant '$name' ($*) left $file byte-identical to dist/x86's: the lever does nothing"
        exit 1
      fi
    done
    row=$(printf '%s\t%s\t%s' "$name" "$(stat -c %s "$dir/dist/Tarbel.exe")" "$(stat -c %s "$dir/dist/Quorvane.dll")")
  else
    row=$(printf '%s\t-\t-\tdoes not build: %s' "$name" \
      "$(grep -m1 -o -E 'error: .*' "$log" || echo "see ${log#"$root"/}")")
  fi
  printf '%s\n' "$row" >>"$bench/sizes.txt"
}
no_assertions=INSTALLER_UTILITIES_GLIBCXX_ASSERTIONS=OFF
no_overrides=INSTALLER_UTILITIES_RUNTIME_OVERRIDES=OFF
no_gc_sections=INSTALLER_UTILITIES_GC_SECTIONS=OFF
not_stripped=INSTALLER_UTILITIES_STRIP=OFF
posix_threads=INSTALLER_UTILITIES_THREAD_MODEL=posix

printf 'shipped (dist/x86)\t%s\t%s\n' "$(stat -c %s dist/x86/Tarbel.exe)" "$(stat -c %s dist/x86/Quorvane.dll)" \
  >"$bench/sizes.txt"
[ -z "$base_dist" ] || printf '%s (dist/x86)\t%s\t%s\n' "$base_name" "$(stat -c %s "$base_dist/x86/Tarbel.exe")" \
  "$(stat -c %s "$base_dist/x86/Quorvane.dll")" >>"$bench/sizes.txt"
variant "$bench/variants/no-overrides" "no runtime_overrides" "$no_overrides"
variant "$bench/variants/no-assertions" "no _GLIBCXX_ASSERTIONS" "$no_assertions"
# Without the assertions the prebuilt string members come back, and with them the
# runtime's own __throw_* helpers, which then clash with the overrides.
variant "$bench/variants/no-assertions-no-overrides" "no _GLIBCXX_ASSERTIONS, no overrides" \
  "$no_assertions" "$no_overrides"
variant "$bench/variants/no-gc-sections" "no gc-sections" "$no_gc_sections"
variant "$bench/variants/not-stripped" "not stripped" "$not_stripped"
variant "$bench/variants/posix-threads" "posix thread model" "$posix_threads"
variant "$bench/variants/all-undone" "all five undone" "$no_assertions" "$no_overrides" "$no_gc_sections" \
  "$not_stripped" "$posix_threads"
/usr/bin/python3 bench/report.py sizes "$bench/sizes.txt" "$bench/summary.txt"

echo
echo "== Summary"
sed 's/^/  /' "$bench/summary.txt"
