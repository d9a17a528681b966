#!/usr/bin/env bash
# SPDX-FileCopyrightText: the Installer utilities authors
# SPDX-License-Identifier: MIT
# kit-under-wine.sh: the test kit run as on Windows, unpacked outside the build tree, by its
# run-tests.cmd under Wine's cmd: the x64 programs against the x64 twin, which the host's Wine
# runs, and a word on why the x86 ones are left out. The runner's exit code and last line must
# agree with the results it leaves. The soak tests stay out: the x64 tier runs the same program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
version=$(cat "$root/build/x86/VERSION")
work=$(mktemp -d /tmp/tests-kit-XXXXXX)
trap 'rm -rf "$work"' EXIT
unzip -q "$root/dist/installer-utilities-$version-tests.zip" -d "$work"
kit=$work/installer-utilities-$version-tests
prefix=$root/build/x64/kit-wineprefix
"$root/scripts/wine-prefix.sh" "$prefix"
status=0
(cd "$kit" && WINEPREFIX=$prefix WINEDEBUG=-all /usr/lib/wine/wine64 cmd /c run-tests.cmd /skip:soak_tests) \
  >"$work/out.txt" 2>&1 || status=$?
tr -d '\r' <"$work/out.txt" | tee "$work/output.txt"
mkdir -p "$root/build/x64/test-results/kit"
cp "$kit"/results/* "$root/build/x64/test-results/kit/"
# Each program's exit code, as the runner counted it, against its cases in the XML it left.
/usr/bin/python3 - "$kit/results" "$work/output.txt" "$status" <<'CHECK'
import glob, re, sys, xml.etree.ElementTree as ET
results, output, status = sys.argv[1], open(sys.argv[2]).read(), int(sys.argv[3])
failed = [f for f in glob.glob(results + "/x64_*.xml") if ET.parse(f).find(".//failure") is not None]
ran = re.findall(r"^x64 (\w+): (passed|FAILED)", output, re.M)
want = "%d passed, %d failed" % (len(ran) - len(failed), len(failed))
problems = [p for p, wrong in (
    ("the last line is not %r" % want, output.rstrip().splitlines()[-1] != want),
    ("exit code %d after %d failures" % (status, len(failed)), (status != 0) != bool(failed)),
    ("%d programs ran, %d left results" % (len(ran), len(glob.glob(results + "/x64_*.xml"))),
     len(ran) != len(glob.glob(results + "/x64_*.xml"))),
    ("no word on the x86 programs", "x86 test programs skipped: " not in output)) if wrong]
print("\n".join(problems) or "the runner agrees with its results")
sys.exit(1 if problems or failed else 0)
CHECK
