#!/usr/bin/env bash
# SPDX-FileCopyrightText: the Installer utilities authors
# SPDX-License-Identifier: MIT
# x86-tier.sh RESULTS_DIR PROGRAM...: runs the x86 builds of the named test
# programs against the shipped dist/x86 files inside the emulated x86 machine,
# and leaves one GoogleTest XML per program in RESULTS_DIR, x86_<program>.xml.
# A program run twice is added to RESULTS_DIR/reruns, with its first run's XML,
# if any, as x86_<program>.first.xml.
# Exits non-zero when the guest does not come back; failed tests show in the XML.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
results=$1
shift
programs=("$@")

# The guest's clock stands past 2038, where a 32-bit time has run out, so
# every x86 test runs there; the end-to-end tests check the year in Tarbel's log.
clock=${X86VM_TIER_CLOCK:-2039-06-15T09:00:00}

job=$root/build/x86vm-job
rm -rf "$job"
mkdir -p "$job/dist" "$job/bin" "$job/packages" "$job/results"
cp "$root/dist/x86/Tarbel.exe" "$root/dist/x86/Quorvane.dll" "$job/dist/"
cp "$root/build/x86/tests/bin/"*.exe "$job/bin/"
cp "$root/build/x86/tests/packages/"*.msi "$root/build/x86/tests/packages/"*.exe "$job/packages/"

{
  echo '#!/bin/bash'
  echo '# Runs inside the guest, in the shared job folder. The binaries run from a'
  echo '# local copy: Wine maps program images, and pages mapped from the 9p share'
  echo '# read back as zeros.'
  echo 'mkdir -p /tmp/job && cp -r bin dist packages /tmp/job/'
  echo 'export INSTALLER_UTILITIES_DIST="Z:\\tmp\\job\\dist"'
  echo 'export INSTALLER_UTILITIES_PACKAGES="Z:\\tmp\\job\\packages"'
  echo "export INSTALLER_UTILITIES_CLOCK_YEAR=${clock:0:4}"
  echo 'echo "guest clock: $(date -u +%FT%TZ)"'
  echo '# Windows without a display: the broadcast tests create top-level windows.'
  echo "wine reg add 'HKCU\\Software\\Wine\\Drivers' /v Graphics /d null /f >/dev/null 2>&1"
  echo 'cd results'
  # Two lanes, one per emulated processor: most of the time goes to Wine
  # starting processes, not to the tests themselves.
  for ((lane = 0; lane < 2 && lane < ${#programs[@]}; lane++)); do
    echo '('
    for ((i = lane; i < ${#programs[@]}; i += 2)); do
      program=${programs[i]}
      echo "  echo \"running $program\""
      run="wine /tmp/job/bin/$program.exe --gtest_output=xml:x86_$program.xml >x86_$program.log 2>&1"
      # Once more on failure, as on the host: Wine now and then fails a process start
      # outright. The first run's log and results are kept for the summary.
      first="mv x86_$program.log x86_$program.first.log; mv x86_$program.xml x86_$program.first.xml 2>/dev/null"
      echo "  $run || { echo \"running $program again\"; $first; $run; }"
    done
    echo ') &'
  done
  echo 'wait'
  echo 'exit 0'
} >"$job/job.sh"

started=$SECONDS
# The image is built, when it must be, with the real clock.
image=$(bash "$root/tests/x86vm/guest-image.sh" | tail -n 1)
rc=0
X86VM_IMAGE=$image X86VM_CLOCK=$clock bash "$root/tests/x86vm/run-in-guest.sh" "$job" "${X86VM_TIMEOUT:-1500}" ||
  rc=$?
echo "x86 tier: guest run took $((SECONDS - started)) s"
for program in "${programs[@]}"; do
  [ -f "$job/results/x86_$program.xml" ] && cp "$job/results/x86_$program.xml" "$results/"
  if [ -f "$job/results/x86_$program.first.log" ]; then
    echo "x86_$program" >>"$results/reruns"
    cp "$job/results/x86_$program.first.xml" "$results/" 2>/dev/null || true
  fi
  if grep -q -E '^\[  FAILED  \]' "$job/results/x86_$program.log" 2>/dev/null; then
    echo "--- x86_$program: failures"
    grep -a -E -B2 -A6 'Failure$|^\[  FAILED  \]' "$job/results/x86_$program.log" | head -60
  fi
done
exit "$rc"
