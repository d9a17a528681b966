#!/usr/bin/env bash
# SPDX-FileCopyrightText: the Installer utilities authors
# SPDX-License-Identifier: MIT
# Line and branch coverage of the product code (Utility/) by the x64 twin's
# test programs under Wine, built by mingw-w64's GCC into build/coverage-x64.
# Writes build/coverage/coverage.xml (Cobertura) and build/coverage/index.html,
# prints one summary line, and fails under 95% of lines or 85% of branches.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build="$root/build/coverage-x64"
report="$root/build/coverage"

cmake --preset coverage >/dev/null
cmake --build --preset coverage
# Counts from an earlier run would add to this one's.
find "$build" -name '*.gcda' -delete
rm -rf "$report" "$build/test-results"
mkdir -p "$report"

# Each Windows process (test programs, Tarbel started by them, Quorvane.dll in
# the installer's custom-action server) writes its counts beside its objects,
# named by their Unix path. Z:, where Wine shows the Unix root, in front makes
# that a full Windows path, whatever drive the process's current folder is on.
# Processes that end abnormally (TerminateProcess) leave no counts.
export GCOV_PREFIX=Z:
# Once more for a program that failed: Wine now and then fails a process start
# outright. The first run's counts stay; they are counts of code that ran.
ctest --preset coverage || ctest --preset coverage --rerun-failed

# CMake's compiler checks leave counting objects of their own at the top of the build tree.
gcovr --root "$root" --object-directory "$build" --filter "$root/Utility/" \
  --exclude-directories "$build/CMakeFiles" \
  --gcov-executable x86_64-w64-mingw32-gcov-win32 -j 2 \
  --exclude-throw-branches --exclude-unreachable-branches \
  --cobertura "$report/coverage.xml" --html-details "$report/index.html" \
  --html-title "Installer utilities: coverage of the product code" \
  --fail-under-line 95 --fail-under-branch 85 || floors=$?
# One line from the Cobertura totals, whether or not they are above the floors.
read -r line_rate lines_covered lines_valid branch_rate branches_covered branches_valid < <(
  /usr/bin/python3 -c 'import sys, xml.etree.ElementTree as E
r = E.parse(sys.argv[1]).getroot()
print(*(r.get(k) for k in ("line-rate", "lines-covered", "lines-valid", "branch-rate", "branches-covered", "branches-valid")))' \
    "$report/coverage.xml")
awk -v l="$line_rate" -v lc="$lines_covered" -v lv="$lines_valid" \
  -v b="$branch_rate" -v bc="$branches_covered" -v bv="$branches_valid" \
  'BEGIN { printf "coverage: lines %.1f%% (%d of %d), branches %.1f%% (%d of %d)\n", 100*l, lc, lv, 100*b, bc, bv }'
exit "${floors:-0}"
