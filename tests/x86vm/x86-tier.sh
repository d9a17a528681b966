#!/usr/bin/env bash
# SPDX-FileCopyrightText: the Installer utilities authors
# SPDX-License-Identifier: MIT
# x86-tier.sh RESULTS_DIR TESTS_KIT [/skip:PROGRAM]...: runs the test kit's run-tests.cmd
# x86 (and the /skip: arguments) in the emulated x86 machine, as on Windows, and leaves
# one GoogleTest XML per program in RESULTS_DIR, x86_<program>.xml. Exits non-zero when a
# program failed or the guest did not come back.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
results=$1
kit_zip=$(realpath "$2")
shift 2

# The guest's clock stands past 2038, where a 32-bit time has run out, so
# every x86 test runs there; the end-to-end tests check the year in Tarbel's log.
clock=${X86VM_TIER_CLOCK:-2039-06-15T09:00:00}

job=$root/build/x86vm-job
rm -rf "$job"
mkdir -p "$job/results"
unzip -q "$kit_zip" -d "$job/kit"
kit_name=$(basename "$kit_zip" .zip)

# Two lanes, one per emulated processor (most of the time goes to Wine starting
# processes): each runs its own copy of the kit, leaving out the other's programs.
lanes=("" "")
n=0
for program in "$job/kit/$kit_name"/x86/bin/*_tests.exe; do
  program=$(basename "$program" .exe)
  [[ " $* " == *" /skip:$program "* ]] || lanes[n++ % 2]+=" /skip:$program"
done

# The guest's job: its parameters, then the script as it stands.
{
  echo '#!/bin/bash'
  printf 'kit=%q year=%q\n' "$kit_name" "${clock:0:4}"
  printf 'lanes=(%q %q)\n' "$*${lanes[0]}" "$*${lanes[1]}"
  cat <<'JOB'
# Runs inside the guest, in the shared job folder. The kit runs from a local copy:
# Wine maps program images, and pages mapped from the 9p share read back as zeros.
job=$PWD
for lane in 0 1; do mkdir -p "/tmp/job/$lane" && cp -r "kit/$kit" "/tmp/job/$lane/"; done
export INSTALLER_UTILITIES_CLOCK_YEAR=$year
echo "guest clock: $(date -u +%FT%TZ)"
for lane in 0 1; do
  # A lane's arguments are /skip:PROGRAM words, split here.
  (cd "/tmp/job/$lane/$kit" && wine cmd /c run-tests.cmd x86 ${lanes[lane]} >"$job/lane$lane.txt" 2>&1
   echo $? >"$job/lane$lane.status") &
done
wait
status=0
for lane in 0 1; do
  cp "/tmp/job/$lane/$kit/results/"x86_* results/ 2>/dev/null
  [ "$(cat "lane$lane.status")" = 0 ] || status=1
done
exit $status
JOB
} >"$job/job.sh"

started=$SECONDS
rc=0
X86VM_CLOCK=$clock bash "$root/tests/x86vm/run-in-guest.sh" "$job" "${X86VM_TIMEOUT:-1500}" || rc=$?
echo "x86 tier: guest run took $((SECONDS - started)) s"
for lane in 0 1; do tr -d '\r' <"$job/lane$lane.txt" | sed "s/^/lane $lane: /"; done 2>/dev/null
mkdir -p "$results"
cp "$job"/results/x86_*.xml "$results/" 2>/dev/null || true
for log in "$job"/results/x86_*.log; do
  grep -q -E '^\[  FAILED  \]' "$log" 2>/dev/null || continue
  echo "--- $(basename "$log" .log): failures"
  grep -a -E -B2 -A6 'Failure\r?$|^\[  FAILED  \]' "$log" | head -60
done
exit "$rc"
