#!/usr/bin/env bash
# SPDX-FileCopyrightText: the Installer utilities authors
# SPDX-License-Identifier: MIT
# Line and branch coverage of the product code (Utility/) by the x64 twin's
# test programs under Wine, built by mingw-w64's GCC into build/coverage-x64.
# Writes build/coverage/coverage.xml (Cobertura) and build/coverage/index.html,
# prints gcovr's summary (lines, functions, branches), and fails under 95% of
# lines or 85% of branches.
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
mkdir -p "$report" "$build/test-results"

# Each Windows process (test programs, Tarbel started by them, Quorvane.dll in
# the installer's custom-action server) writes its counts beside its objects,
# named by their Unix path. Z:, where Wine shows the Unix root, in front makes
# that a full Windows path, whatever drive the process's current folder is on.
# Processes that end abnormally (TerminateProcess) leave no counts.
export GCOV_PREFIX=Z:
# A program that failed runs once more (the preset's rule: Wine now and then fails a process
# start outright). The first run's counts stay; they are counts of code that ran.
ctest --preset coverage

# Counts are looked for in the build tree alone, and not in its Wine prefix, whose drive Z: links
# to the Unix root: gcovr follows links, and would walk the whole machine. CMake's compiler checks
# leave counting objects of their own at the top of the build tree.
gcovr --root "$root" --object-directory "$build" --filter "$root/Utility/" "$build" \
  --exclude-directories "$build/wineprefix" --exclude-directories "$build/CMakeFiles" \
  --gcov-executable x86_64-w64-mingw32-gcov-win32 -j 2 \
  --exclude-throw-branches --exclude-unreachable-branches \
  --cobertura "$report/coverage.xml" --html-details "$report/index.html" \
  --html-title "Installer utilities: coverage of the product code" \
  --print-summary --fail-under-line 95 --fail-under-branch 85
