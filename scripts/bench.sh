#!/usr/bin/env bash
# SPDX-FileCopyrightText: the Installer utilities authors
# SPDX-License-Identifier: MIT
# Measures the deliverables and prints a report: figures, and where they stand
# against their goals; no figure ever makes it fail. Three benchmarks, each
# described where the report starts it, each also measuring a baseline revision
# (BENCH_BASELINE, default 3acf2dd, release 1.1.0; "none" leaves it out),
# exported from git and built with its own toolchain files.
# The timed sides take turns inside one run of the Windows driver per benchmark,
# so that Wine starts once and slow drifts of the machine hit all sides alike.
# BENCH_ROUNDS (default 300) sets how many rounds
# each timing benchmark runs, every side once a round.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bench="$root/build/bench"
rounds=${BENCH_ROUNDS:-300}
baseline=${BENCH_BASELINE-3acf2dd}
warmup=3
wine64=/usr/lib/wine/wine64
mkdir -p "$bench/logs"
rm -f "$bench/summary.txt"

scripts/setup.sh
# Only the thread-model size variant needs the posix flavour of GCC's runtime libraries.
scripts/setup.sh g++-mingw-w64-i686-posix

fail() { echo "bench: $*"; exit 1; }
# quietly LOG COMMAND...: runs a build step, showing its output only if it fails.
quietly() {
  local log="$bench/logs/$1"
  shift
  "$@" >"$log" 2>&1 || { tail -n 40 "$log"; fail "failed: $* (log: $log)"; }
}
# section TITLE LINE...: a part of the report, its title and what it measures.
section() { printf '\n== %s\n' "$1"; printf '  %s\n' "${@:2}"; }
# load_note: the machine's load now; timings taken on a busy machine spread widely.
load_note() {
  awk -v c="$(nproc)" '{ printf "  load average now: %s on %s cores%s\n", $1, c,
    ($1 > c ? " (busy: expect a wide spread)" : "") }' /proc/loadavg
}
# drive RESULTS MODE ARGS...: runs the timing driver under Wine into RESULTS. Wine has been seen
# to hang in an action's process start for good, so the driver is stopped after a limit.
drive() {
  timeout --kill-after=10 "${BENCH_TIME_LIMIT:-1800}" "$wine64" "$bench/time_rounds.exe" "${@:2}" >"$1" ||
    fail "time_rounds.exe $2 failed or did not finish within ${BENCH_TIME_LIMIT:-1800} s"
}
# windows_path UNIX_PATH: the path as Wine's Z: drive shows it.
windows_path() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }
# stage DIR FILE...: makes DIR, holding FILE... and the stand-in child as vcredist_x86.exe.
stage() {
  mkdir -p "$1"
  cp "${@:2}" "$1/"
  cp build/x64/tests/bin/stand_in_child.exe "$1/vcredist_x86.exe"
}

echo "Building the deliverables, the stand-in child and the bench programs..."
quietly configure-x86.log cmake --preset x86
quietly configure-x64.log cmake --preset x64
quietly build-x86.log cmake --build --preset x86 --target Tarbel_shipped Quorvane_shipped
quietly build-x64.log cmake --build --preset x64 --target Tarbel_shipped Quorvane_shipped stand_in_child
cc=(clang-19 --target=x86_64-w64-mingw32 -fuse-ld=lld -O2 -s -Wall -Wextra -municode)
quietly minimal-launcher.log "${cc[@]}" -mwindows -o "$bench/minimal_launcher.exe" bench/minimal_launcher.c
quietly time-rounds.log "${cc[@]}" -o "$bench/time_rounds.exe" bench/time_rounds.c -lmsi

# The baseline revision, exported once into build/bench/baseline/<commit>/src and
# built there, for each architecture, with that revision's own toolchain file:
# its deliverables land in .../dist/<arch>.
base_dist=
if [ "$baseline" != none ]; then
  commit=$(git rev-parse --verify --quiet "$baseline^{commit}") ||
    fail "BENCH_BASELINE=$baseline is not a revision of this repository"
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
    quietly "baseline-build-$arch.log" cmake --build "$base_dir/out/$arch" --target Tarbel_shipped Quorvane_shipped
  done
  base_dist="$base_dir/dist"
fi

export WINEPREFIX="$bench/wineprefix" WINEDEBUG=-all
unset STAND_IN_EXIT_CODE STAND_IN_HOLD STAND_IN_RECORD
quietly wineprefix.log scripts/wine-prefix.sh "$WINEPREFIX"

printf '\n%s\n' "Installer utilities: benchmarks"
printf '  %s\n' "$($wine64 --version), $(nproc) cores; BENCH_ROUNDS=$rounds; ${base_name:-no baseline}" \
  "Each ratio: per mode of Wine's process starts (fast or slow, if the timings clearly fall in two" \
  "groups), the median ratio over the rounds whose two runs fell in the same mode, the modes weighted" \
  "by those rounds; its spread and 90% interval come from 10 consecutive blocks of rounds. Goal met:" \
  "the interval lies at or under the goal; not met: above it; otherwise not settled."

section "1. Tarbel's own cost: dist/x64/Tarbel.exe against a minimal launcher" \
  "Each starts vcredist_x86.exe /quiet /norestart from its own folder: the stand-in child, which exits" \
  "at once with 0. time_rounds.exe times each run (QueryPerformanceCounter) from CreateProcessW until" \
  "the process has ended."
load_note
runs="$bench/tarbel"
rm -rf "$runs"
stage "$runs/current" dist/x64/Tarbel.exe "$bench/minimal_launcher.exe"
commands=("\"$(windows_path "$runs/current/minimal_launcher.exe")\" x" "\"$(windows_path "$runs/current/Tarbel.exe")\" x")
labels=("minimal launcher" "Tarbel.exe (current)")
if [ -n "$base_dist" ]; then
  stage "$runs/baseline" "$base_dist/x64/Tarbel.exe"
  commands+=("\"$(windows_path "$runs/baseline/Tarbel.exe")\" x")
  labels+=("Tarbel.exe ($base_name)")
fi
log_file="$WINEPREFIX/drive_c/users/$(id -un)/Temp/ovt18helper.log"
rm -f "$log_file"
drive "$bench/tarbel-times.txt" runs "$rounds" "$warmup" "${commands[@]}"
/usr/bin/python3 bench/report.py times "$bench/tarbel-times.txt" "$bench/summary.txt" 1.05 "${labels[@]}"
echo "  Tarbel's log after its last run: $(tr -d '\r' <"$log_file")"

section "2. _LaunchProcessSync@4 against the installer's own EXE custom action" \
  "One installer session (MsiOpenPackageW) of bench/launch-actions.wxs, built by wixl -a x64 around" \
  "dist/x64/Quorvane.dll${base_dist:+" and the baseline's"}; time_rounds.exe times each MsiDoActionW call." \
  "Each library's action that starts nothing is Wine's fixed cost of calling a DLL action."
load_note
msi="$bench/msi"
rm -rf "$msi"
stage "$msi" dist/x64/Quorvane.dll
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
  fail "the package's custom action types are not as bench/launch-actions.wxs means them"
drive "$bench/action-times.txt" actions "$rounds" "$warmup" "$(windows_path "$msi/launch-actions.msi")" \
  "$(windows_path "$msi/vcredist_x86.exe")" "$(windows_path "$msi/commands.txt")" "${actions[@]}"
/usr/bin/python3 bench/report.py actions "$bench/action-times.txt" "$bench/summary.txt" 1.10 \
  "EXE action (type 50)" "{}, starting nothing" "${labels[@]}"
/usr/lib/wine/wineserver -w

section "3. Sizes of dist/x86, and what each size lever is worth" \
  "Each variant builds the current sources for i686 like dist/x86 (Release, tests off) with one lever" \
  "(the last: all five) undone by its CMake cache variable: INSTALLER_UTILITIES_{GLIBCXX_ASSERTIONS," \
  "RUNTIME_OVERRIDES,GC_SECTIONS,STRIP}=OFF or INSTALLER_UTILITIES_THREAD_MODEL=posix."
# sizes NAME DIR: a row of sizes.txt, the sizes of DIR's Tarbel.exe and Quorvane.dll.
sizes() { printf '%s\t%s\n' "$1" "$(stat -c %s "$2/Tarbel.exe" "$2/Quorvane.dll" | paste -s)"; }
# variant NAME DIR LEVER=VALUE...: builds the current sources afresh in variants/DIR with each
# INSTALLER_UTILITIES_LEVER set, the rest at their defaults, into a row of sizes.txt (a variant
# that does not build is a row too). A LEVER the project does not read, or one that leaves an
# image byte-identical to dist/x86's (builds in other folders come out the same), stops the
# bench: the lever has been renamed or no longer does anything.
variant() {
  local name=$1 dir="$bench/variants/$2" log="$bench/logs/variant-$2.log" file
  shift 2
  local settings=("${@/#/INSTALLER_UTILITIES_}")
  rm -rf "$dir/dist"
  # Afresh, so that no cache of an earlier run sets a lever; the objects stay.
  cmake --fresh -S "$root" -B "$dir/out" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-w64-mingw32.cmake" -DDIST_DIR="$dir/dist" \
    -DSYMBOLS_DIR="$dir/dist/symbols" -DBUILD_TESTING=OFF "${settings[@]/#/-D}" >"$log" 2>&1 ||
    { tail -n 20 "$log"; fail "variant '$name' does not configure (log: $log)"; }
  ! grep -A 4 'Manually-specified variables were not used' "$log" ||
    fail "variant '$name' sets a variable that the build files do not read"
  if cmake --build "$dir/out" --target Tarbel_shipped Quorvane_shipped >>"$log" 2>&1; then
    for file in Tarbel.exe Quorvane.dll; do
      ! cmp -s "$dir/dist/$file" "dist/x86/$file" ||
        fail "variant '$name' (${settings[*]}) left $file byte-identical to dist/x86's: the lever does nothing"
    done
    sizes "$name" "$dir/dist" >>"$bench/sizes.txt"
  else
    printf '%s\t-\t-\tdoes not build: %s\n' "$name" \
      "$(grep -m1 -o -E 'error: .*' "$log" || echo "see ${log#"$root"/}")" >>"$bench/sizes.txt"
  fi
}
sizes "shipped (dist/x86)" dist/x86 >"$bench/sizes.txt"
[ -z "$base_dist" ] || sizes "$base_name (dist/x86)" "$base_dist/x86" >>"$bench/sizes.txt"
variant "no runtime_overrides" no-overrides RUNTIME_OVERRIDES=OFF
variant "no _GLIBCXX_ASSERTIONS" no-assertions GLIBCXX_ASSERTIONS=OFF
# Without the assertions the prebuilt string members come back, and with them the
# runtime's own __throw_* helpers, which then clash with the overrides.
variant "no _GLIBCXX_ASSERTIONS, no overrides" no-assertions-no-overrides \
  GLIBCXX_ASSERTIONS=OFF RUNTIME_OVERRIDES=OFF
variant "no gc-sections" no-gc-sections GC_SECTIONS=OFF
variant "not stripped" not-stripped STRIP=OFF
variant "posix thread model" posix-threads THREAD_MODEL=posix
variant "all five undone" all-undone GLIBCXX_ASSERTIONS=OFF RUNTIME_OVERRIDES=OFF GC_SECTIONS=OFF STRIP=OFF \
  THREAD_MODEL=posix
/usr/bin/python3 bench/report.py sizes "$bench/sizes.txt" "$bench/summary.txt"

printf '\n== Summary\n'
sed 's/^/  /' "$bench/summary.txt"
