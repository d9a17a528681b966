#!/usr/bin/env bash
# SPDX-FileCopyrightText: the Installer utilities authors
# SPDX-License-Identifier: MIT
# Runs every test tier (docs/testing.md) and ends with one line of counts. After
# the builds the tiers run in two lanes, one mostly compiling, one mostly waiting
# on Wine and the emulated machine; each tier writes its own log, and the logs,
# the tiers' times and the summary are printed in one fixed order.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/setup.sh || exit 1
results="$root/build/test-results"
logs="$results/logs"
rm -rf "$results" build/x64/test-results/*
mkdir -p "$logs"

# The x86 machine's image, when it is not cached, is built meanwhile: it needs nothing of the build.
if [ "${SKIP_X86_GUEST:-0}" != 1 ]; then
  bash tests/x86vm/guest-image.sh >"$logs/x86-image.txt" 2>&1 &
fi

# Both release kits, this one and the rebuild's from a copy that is no checkout, name one commit.
read -r commit source_date < <(/usr/bin/python3 scripts/release_kit.py --identity)
# build_with_kits SOURCES ROOT: both presets of SOURCES built into ROOT/build, their files into
# ROOT/dist, and the release and test kits of them there; says what failed.
build_with_kits() {
  local preset kit=(env SOURCE_COMMIT="$commit" SOURCE_DATE_EPOCH="$source_date" /usr/bin/python3)
  for preset in x86 x64; do
    cmake -S "$1" --preset "$preset" -B "$2/build/$preset" -DDIST_DIR="$2/dist/$preset" \
      -DSYMBOLS_DIR="$2/dist/symbols/$preset" >/dev/null && cmake --build "$2/build/$preset" ||
      { echo "build of preset $preset failed"; return 1; }
  done
  rm -f "$2"/dist/installer-utilities-*.zip
  "${kit[@]}" "$1/scripts/release_kit.py" "$2/build/x86" "$2/dist" || { echo "the release kit could not be written"; return 1; }
  "${kit[@]}" "$1/scripts/tests_kit.py" "$2" "$2/dist" || { echo "the test kit could not be written"; return 1; }
}
builds_started=$SECONDS
# Copied anew from the build tree, so that a signed release kit left by the build command
# is not what the tests look at.
rm -f dist/x86/Tarbel.exe dist/x86/Quorvane.dll dist/x64/Tarbel.exe dist/x64/Quorvane.dll
build_with_kits "$root" "$root" || exit 1
builds_took=$((SECONDS - builds_started))
version=$(cat build/x86/VERSION)
kits=("installer-utilities-$version.zip" "installer-utilities-$version-symbols.zip")
tests_kit="installer-utilities-$version-tests.zip"

# xml_text TEXT: TEXT escaped for an XML attribute. The replacements are quoted:
# bash 5.2 reads an unquoted & in one as the matched text.
xml_text() {
  local text=${1//'&'/'&amp;'}
  text=${text//'<'/'&lt;'}
  text=${text//'>'/'&gt;'}
  printf '%s' "${text//'"'/'&quot;'}"
}
# add_suites SUITE...: the running tier's suites, for the summary.
add_suites() { printf '%s\n' "$@" >>"$results/$tier.suites"; }
# junit_case SUITE NAME [FAILURE_MESSAGE]: one test case of a shell-driven tier.
junit_case() {
  local suite=$1 name=$2 failure=${3:-}
  {
    printf '<testsuite name="%s" tests="1">\n<testcase name="%s" classname="%s">' "$suite" "$name" "$suite"
    [ -n "$failure" ] && printf '<failure message="%s"/>' "$(xml_text "$failure")"
    printf '</testcase>\n</testsuite>\n'
  } >"$results/$suite.xml"
  add_suites "$suite"
}
# check SUITE NAME FAILURE_MESSAGE COMMAND...: one test case, failed when COMMAND fails.
check() {
  local suite=$1 name=$2 failure=$3
  shift 3
  if "$@"; then junit_case "$suite" "$name"; else junit_case "$suite" "$name" "$failure"; fi
}
# shown_if_failing FILE FILTER... -- COMMAND...: COMMAND's output into FILE, and
# through FILTER onto the log if it fails.
shown_if_failing() {
  local file=$1 filter=()
  shift
  while [ "$1" != -- ]; do filter+=("$1"); shift; done
  shift
  "$@" >"$file" 2>&1 && return
  grep -v '^$' "$file" | "${filter[@]}"
  return 1
}
# differing_members ZIP ZIP: ", in MEMBER..." for the members whose contents differ.
differing_members() {
  /usr/bin/python3 - "$@" <<'EOF'
import sys, zipfile
a, b = ({i.filename: i.CRC for i in zipfile.ZipFile(p).infolist()} for p in sys.argv[1:3])
print(", in " + ", ".join(sorted(n for n in a.keys() | b.keys() if a.get(n) != b.get(n))), end="")
EOF
}
# run_tier NAME: runs the function tier_NAME, its output into logs/NAME.txt, and notes its time.
run_tier() {
  local started=$SECONDS
  tier=$1
  : >"$results/$tier.suites"
  "tier_$tier" >"$logs/$tier.txt" 2>&1
  echo "$((SECONDS - started))" >"$results/$tier.seconds"
}

tier_static() {
  echo "== Static checks: the format of the C and C++ sources, clang-tidy over the x64 and x86 compile databases"
  # The builds above are the strict ones: every warning is an error.
  check format clang_format_clean "unformatted C or C++ sources; clang-format-19 -i them" scripts/lint.sh format
  for preset in x86 x64; do
    check "clang_tidy_$preset" no_findings "clang-tidy found something in the $preset sources; see above" \
      shown_if_failing "$results/clang-tidy-$preset.txt" grep -E -m 20 -A3 'error:|warning:' -- \
      scripts/lint.sh tidy "$preset"
  done
}

tier_kit() {
  echo "== The test kit under Wine's cmd: the x64 programs against the x64 twin"
  # The kit is how the tests run on Windows; here it runs as it would there,
  # unpacked outside the build tree, and its own count must agree with the summary's.
  kit_run=$(mktemp -d /tmp/tests-kit-XXXXXX)
  unzip -q "dist/$tests_kit" -d "$kit_run"
  kit_dir="$kit_run/${tests_kit%.zip}"
  wine=(env WINEPREFIX="$root/build/x64/wineprefix" WINEDEBUG=-all /usr/lib/wine/wine64)
  scripts/wine-prefix.sh "$root/build/x64/wineprefix"
  (cd "$kit_dir" && "${wine[@]}" cmd /c run-tests.cmd) | tee "$results/tests-kit.txt"
  kit_status=${PIPESTATUS[0]}
  mapfile -t kit_programs < <(cd "$kit_dir/x64/bin" && printf 'x64_%s\n' *_tests.exe | sed 's/\.exe$//')
  cp "$kit_dir"/results/*.xml "$results/" 2>/dev/null
  cat "$kit_dir/results/reruns" >>"$results/reruns" 2>/dev/null
  kit_line=$(tr -d '\r' <"$results/tests-kit.txt" | tail -n 1)
  summary_line=$(/usr/bin/python3 tests/summarize_results.py "$kit_dir/results" "${kit_programs[@]}" | tail -n 1)
  kit_failed=1 failure=
  [[ $kit_line == *" 0 failed,"* ]] && kit_failed=0
  if [ "$kit_line" != "$summary_line" ]; then
    failure="run-tests.cmd said '$kit_line', the summary '$summary_line'"
  elif [ "$((kit_status != 0))" != "$kit_failed" ]; then
    failure="run-tests.cmd exited $kit_status after '$kit_line'"
  elif ! grep -q '^x86 test programs skipped: ' "$results/tests-kit.txt"; then
    failure="run-tests.cmd did not say why it left the x86 programs out"
  fi
  junit_case tests_kit_under_wine counts_as_the_summary "$failure"
  add_suites "${kit_programs[@]}"
  rm -rf "$kit_run"
}

tier_coverage() {
  echo "== Coverage of the product code by the x64 test programs (GCC build, build/coverage)"
  check coverage above_floors "coverage fell under its floors or could not be measured; see above" \
    shown_if_failing "$results/coverage.txt" tail -20 -- scripts/coverage.sh
  sed -n 's/^\(lines\|functions\|branches\): /coverage: \1 /p' "$results/coverage.txt"
}

tier_contract() {
  echo "== Contract checks of dist/x86, of the hardening of dist/x64, and of the kits"
  /usr/bin/python3 -m pytest -q -p no:cacheprovider tests/contract --junitxml="$results/contract.xml"
  add_suites contract
}

tier_misc() {
  echo "== Licensing of the sources, and the summary's account of reruns"
  check reuse_lint compliant "reuse lint found files without licensing or copyright; see above" \
    shown_if_failing "$results/reuse-lint.txt" head -40 -- reuse lint
  check summary_self_check reports_reruns "the summary miscounts made-up results; see above" \
    /usr/bin/python3 tests/summarize_results.py --self-check

  echo "== Links and anchors in the project's Markdown"
  check markdown_links resolve "a relative link or anchor in the Markdown leads nowhere; see above" \
    /usr/bin/python3 scripts/check_links.py

  echo "== The CI workflow, against the workflow schema"
  check ci_workflow valid "the workflow does not validate; see above" \
    shown_if_failing "$results/workflow.txt" head -40 -- build/tools/node_modules/.bin/action-validator .github/workflows/ci.yml
}

tier_x86() {
  echo "== The x86 builds in an emulated x86 machine"
  if [ "${SKIP_X86_GUEST:-0}" = 1 ]; then
    echo "skipped (SKIP_X86_GUEST=1)"
  else
    # The soak tests stay with the x64 twin: thousands of process starts take
    # hours under full emulation and prove nothing the twin does not.
    # The image build started before the builds holds the image's lock; this waits for it.
    if ! tests/x86vm/x86-tier.sh "$results" "dist/$tests_kit" /skip:soak_tests; then
      junit_case x86_guest comes_back "the guest did not finish its job; see the serial log above"
    fi
    mapfile -t x86_programs < <(unzip -Z1 "dist/$tests_kit" | sed -n 's|^[^/]*/x86/bin/\(.*_tests\)\.exe$|x86_\1|p' |
      grep -v '^x86_soak_tests$')
    add_suites "${x86_programs[@]}"
  fi
}

tier_rebuild() {
  echo "== Rebuilding dist/x86, its symbols, the release kit and the test kit from a copy of the sources in another folder"
  # Builds and kits outside the copied sources, whose SPDX bill must list the sources alone.
  elsewhere=$(mktemp -d /tmp/rebuild-XXXXXX)
  mkdir "$elsewhere/src"
  git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$elsewhere/src"
  # In another time zone, far from UTC, and with a private umask: neither may reach the bytes.
  if (umask 077 && TZ=Pacific/Kiritimati shown_if_failing "$elsewhere/build.txt" tail -20 -- \
      build_with_kits "$elsewhere/src" "$elsewhere"); then
    for file in x86/Tarbel.exe x86/Quorvane.dll symbols/x86/Tarbel.pdb symbols/x86/Quorvane.pdb "${kits[@]}" "$tests_kit"; do
      if cmp -s "dist/$file" "$elsewhere/dist/$file"; then
        junit_case "reproducible_${file##*/}" identical
      else
        junit_case "reproducible_${file##*/}" identical \
          "rebuilt $file differs from dist/$file$([[ $file == *.zip ]] && differing_members "dist/$file" "$elsewhere/dist/$file")"
      fi
    done
  else
    junit_case reproducible_build builds "the copy did not build, or its kits could not be written"
  fi
  rm -rf "$elsewhere"
}

tier_signing() {
  echo "== Signing with a throwaway certificate"
  signing=$(mktemp -d /tmp/signing-XXXXXX)
  openssl req -x509 -newkey rsa:2048 -nodes -subj "/CN=Installer utilities test" -days 2 \
    -keyout "$signing/key.pem" -out "$signing/cert.pem" 2>/dev/null
  openssl pkcs12 -export -inkey "$signing/key.pem" -in "$signing/cert.pem" \
    -passout pass:throwaway -out "$signing/test.pfx"
  mkdir "$signing/dist"
  cp dist/x86/Quorvane.dll "$signing/dist/Quorvane-x86.dll"
  cp dist/x86/Tarbel.exe "$signing/dist/Tarbel-x86.exe"
  cp dist/x64/Quorvane.dll dist/x64/Tarbel.exe "$signing/dist/"
  # The password both ways, through a stand-in osslsigncode that notes its arguments.
  mkdir "$signing/bin"
  printf '#!/bin/sh\nprintf "%%s\\n" "$*" >>"%s"\nexec %s "$@"\n' "$signing/arguments.txt" "$(command -v osslsigncode)" \
    >"$signing/bin/osslsigncode"
  chmod +x "$signing/bin/osslsigncode"
  printf 'throwaway' >"$signing/password"
  PATH="$signing/bin:$PATH" SIGN_PFX="$signing/test.pfx" SIGN_PASSWORD=throwaway scripts/sign.sh "$signing"/dist/*-x86.*
  PATH="$signing/bin:$PATH" SIGN_PFX="$signing/test.pfx" SIGN_PASSWORD_FILE="$signing/password" \
    scripts/sign.sh "$signing"/dist/Quorvane.dll "$signing"/dist/Tarbel.exe
  check signing_password_off_command_line kept_off "the password was on osslsigncode's command line" \
    test "$(grep -c . "$signing/arguments.txt")" = 4 -a "$(grep -c throwaway "$signing/arguments.txt")" = 0
  for file in "$signing"/dist/*; do
    if osslsigncode verify -CAfile "$signing/cert.pem" -in "$file" >"$signing/verify.txt" 2>&1; then
      junit_case "signed_${file##*/}" verifies
    else
      junit_case "signed_${file##*/}" verifies "$(tail -1 "$signing/verify.txt")"
    fi
  done
  # The signed library still loads and runs its entry points in a real installer session.
  (cd build/x64/test-results &&
    WINEPREFIX="$root/build/x64/wineprefix" WINEDEBUG=-all INSTALLER_UTILITIES_DIST="$signing/dist" \
    INSTALLER_UTILITIES_PACKAGES="$root/build/x64/tests/packages" \
    /usr/lib/wine/wine64 ../tests/bin/custom_action_tests.exe --gtest_filter='*Terminate*:*Appdir*:*Publishes*' \
      --gtest_output=xml:signed_library.xml >/dev/null 2>&1)
  cp build/x64/test-results/signed_library.xml "$results/" 2>/dev/null
  add_suites signed_library
  rm -rf "$signing"
}

# Two cores: the first lane compiles most of its time, and the second mostly
# waits on Wine's process starts and the emulated machine until its last
# tier, the rebuild, which evens out the lanes' lengths. The coverage run's
# Wine part uses one core, so it comes first, beside the other lane's busiest
# part; the static checks, which use both, end the lane. The signed library
# runs in the x64 prefix after the kit, never beside it.
(run_tier coverage; run_tier static) &
compiling=$!
(run_tier kit; run_tier signing; run_tier contract; run_tier misc; run_tier x86; run_tier rebuild) &
waiting=$!
wait "$compiling" "$waiting"

order=(static kit coverage contract misc x86 rebuild signing)
suites=()
for tier in "${order[@]}"; do
  cat "$logs/$tier.txt"
  mapfile -t -O "${#suites[@]}" suites <"$results/$tier.suites"
done
echo "== Times (s): builds $builds_took$(for tier in "${order[@]}"; do printf ', %s %s' "$tier" "$(cat "$results/$tier.seconds")"; done), all $SECONDS"
echo "== Summary"
/usr/bin/python3 tests/summarize_results.py "$results" "${suites[@]}"
