#!/bin/bash
# SPDX-FileCopyrightText: the Installer utilities authors
# SPDX-License-Identifier: MIT
# Smoke check of the x86 guest tier: builds two tiny 32-bit Windows programs, runs them under
# Wine in the guest, and checks that run-in-guest.sh reports success, failure and a hung guest
# truthfully. Ends with an "N passed, N failed" line; exits non-zero when anything failed.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/vm-common.sh"

x86vm_need_packages gcc-mingw-w64-i686-win32 binutils-mingw-w64-i686

work=$(mktemp -d "${TMPDIR:-/tmp}/x86vm-selftest.XXXXXX")
passed=0
failed=0
trap 'if ((failed)); then echo "job folders kept in $work" >&2; else rm -rf "$work"; fi' EXIT
pass() { passed=$((passed + 1)); echo "ok: $1"; }
fail() { failed=$((failed + 1)); echo "FAILED: $1"; }

mkdir -p "$work/programs"
i686-w64-mingw32-gcc -O2 -s -Wall -Wextra -municode -o "$work/programs/runwait.exe" "$X86VM_DIR/selftest/runwait.c"
i686-w64-mingw32-gcc -O2 -s -Wall -Wextra -o "$work/programs/exitcode.exe" "$X86VM_DIR/selftest/exitcode.c"
i686-w64-mingw32-objdump -f "$work"/programs/*.exe | grep 'file format' | grep -qv 'pei-i386' &&
  { echo "the test programs are not 32-bit" >&2; exit 1; }

# Wine and the kernel write cursor moves, colours and titles to the serial line.
got=$(printf '\e[?25l\e[2J\e[1;1Hwine: \e[1;31mhello\e[0m\r\n\e]0;title\a\e(Bdone\e=\n' | x86vm_strip_escapes)
[ "$got" = $'wine: hello\ndone' ] && pass "escape sequences stripped" || fail "stripped text: $(printf %q "$got")"

# Built first and on its own, so the cases below time only their boots.
t=$SECONDS
image=$(bash "$X86VM_DIR/guest-image.sh" | tail -n 1)
echo "guest image: $image ($((SECONDS - t)) s)"
export X86VM_IMAGE=$image

# run_case NAME TIMEOUT: runs $work/NAME/job.sh in the guest; leaves its exit code in $rc
# and what run-in-guest.sh printed in $work/NAME.out.
run_case() {
  local t=$SECONDS
  rc=0
  bash "$X86VM_DIR/run-in-guest.sh" "$work/$1" "$2" >"$work/$1.out" 2>&1 || rc=$?
  echo "case $1: run-in-guest.sh exit $rc after $((SECONDS - t)) s"
}

# A 32-bit program starts another with CreateProcessW and sees its exit code; the same
# program drives msiexec, which must answer an unknown product with ERROR_UNKNOWN_PRODUCT.
mkdir -p "$work/wine"
cp "$work"/programs/*.exe "$work/wine/"
cat >"$work/wine/job.sh" <<'EOF'
set -e
[ "$(id -u)" = 0 ] || { echo "not root"; exit 10; }
[ "$WINEDEBUG" = -all ] || { echo "WINEDEBUG is '$WINEDEBUG'"; exit 11; }
[ -f "$WINEPREFIX/system.reg" ] || { echo "no prefix at '$WINEPREFIX'"; exit 12; }
touch cwd-is-share
# Signals reach the job's processes, so a job can bound a step with timeout.
rc=0; timeout 2 sleep 60 || rc=$?
[ "$rc" = 124 ] || { echo "timeout inside the job gave $rc"; exit 13; }
wine runwait.exe child.txt "exitcode.exe 3010"
wine runwait.exe msiexec.txt "msiexec.exe /x {00000000-0000-0000-0000-000000000000} /qn"
EOF
run_case wine 900
if ((rc == 0)); then pass "job succeeds"; else fail "job failed ($rc)"; cat "$work/wine.out"; fi
[ -f "$work/wine/cwd-is-share" ] && pass "job runs in the shared folder" || fail "job did not run in the shared folder"
grep -q 'wow64=1' "$work/wine/job.log" 2>/dev/null \
  && pass "program runs as 32-bit on 64-bit Windows" || fail "program did not report WoW64"
got=$(tr -d '\r\n' <"$work/wine/child.txt" 2>/dev/null || true)
[ "$got" = 3010 ] && pass "child exit code 3010 seen" || fail "child exit code: '$got', expected 3010"
got=$(tr -d '\r\n' <"$work/wine/msiexec.txt" 2>/dev/null || true)
[ "$got" = 1605 ] && pass "msiexec runs (1605 for an unknown product)" || fail "msiexec exit code: '$got', expected 1605"
[ -s "$work/wine/serial.log" ] && pass "serial log kept" || fail "no serial log in the job folder"

# A failing job fails the run with its own status, and its output reaches job.log.
mkdir -p "$work/failing"
printf 'echo about to fail\nexit 7\n' >"$work/failing/job.sh"
run_case failing 900
((rc == 7)) && pass "job status 7 passed through" || { fail "failing job gave $rc, expected 7"; cat "$work/failing.out"; }
grep -q 'about to fail' "$work/failing/job.log" 2>/dev/null \
  && pass "job output in job.log" || fail "job output missing from job.log"

# A guest that does not finish is stopped at the timeout and reported, and a status left by an
# earlier run does not pass for this one.
mkdir -p "$work/hung"
echo 'sleep 100000' >"$work/hung/job.sh"
echo 0 >"$work/hung/job.status"
run_case hung 45
((rc == 124)) && grep -q 'did not finish within 45 s' "$work/hung.out" \
  && pass "hung guest reported as failure" || { fail "hung guest gave $rc"; cat "$work/hung.out"; }

echo "$passed passed, $failed failed"
((failed == 0))
