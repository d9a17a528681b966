#!/usr/bin/env bash
# SPDX-FileCopyrightText: the Installer utilities authors
# SPDX-License-Identifier: MIT
# Runs every test tier and ends with one line of counts:
#   unit and end-to-end tests of the x64 twin under Wine (CTest), installs
#   through Wine's msiexec, contract checks of the shipped x86 files and of the
#   release kit, the sources' licensing, and a byte-for-byte rebuild of the
#   files and the kit from another folder.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/setup.sh || exit 1
# Copied anew from the build tree, so that a signed release kit left by the build command
# is not what the tests look at.
rm -f dist/x86/Tarbel.exe dist/x86/Quorvane.dll dist/x64/Tarbel.exe dist/x64/Quorvane.dll
for preset in x86 x64; do
  { cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset"; } || {
    echo "build of preset $preset failed"
    exit 1
  }
done

# Both release kits, this one and the rebuild's from a copy that is no checkout, name one commit.
read -r commit source_date < <(/usr/bin/python3 scripts/release_kit.py --identity)
kit_identity=(env SOURCE_COMMIT="$commit" SOURCE_DATE_EPOCH="$source_date")
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/x86/CMakeCache.txt)
kits=("installer-utilities-$version.zip" "installer-utilities-$version-symbols.zip")
rm -f dist/installer-utilities-*.zip
"${kit_identity[@]}" /usr/bin/python3 scripts/release_kit.py build/x86 dist ||
  { echo "the release kit could not be written"; exit 1; }

results="$root/build/test-results"
rm -rf "$results" build/x64/test-results/*
mkdir -p "$results"
suites=()

# junit_case SUITE NAME [FAILURE_MESSAGE]: one test case of a shell-driven tier.
junit_case() {
  local suite=$1 name=$2 failure=${3:-}
  {
    printf '<testsuite name="%s" tests="1">\n<testcase name="%s" classname="%s">' "$suite" "$name" "$suite"
    [ -n "$failure" ] && printf '<failure message="%s"/>' "$failure"
    printf '</testcase>\n</testsuite>\n'
  } >"$results/$suite.xml"
  suites+=("$suite")
}

echo "== Windows test programs (x64 twin) under Wine"
# A test program that fails is run once more: Wine now and then fails a process
# start outright (ERROR_INTERNAL_ERROR), about once in a thousand starts here.
# The summary names each program run twice, with what failed the first time.
if ! ctest --preset x64; then
  mapfile -t failed_first < <(sed 's/^[0-9]*://' build/x64/Testing/Temporary/LastTestsFailed.log | grep -v '^wine_prefix')
  for program in "${failed_first[@]}"; do
    echo "$program" >>"$results/reruns"
    # Moved, so that a second run that leaves no results is not counted by the first one's.
    mv "build/x64/test-results/$program.xml" "$results/$program.first.xml" 2>/dev/null
  done
  echo "running again: ${failed_first[*]}"
  ctest --preset x64 --rerun-failed
fi
mapfile -t ctest_suites < <(ctest --preset x64 -N | sed -n 's/^ *Test *#[0-9]*: \(.*\)$/\1/p' | grep -v '^wine_prefix')
suites+=("${ctest_suites[@]}")
cp build/x64/test-results/*.xml "$results/" 2>/dev/null

echo "== Contract checks of dist/x86, and of the hardening of dist/x64"
/usr/bin/python3 tests/contract/check_binaries.py --dist dist/x86 --symbols dist/symbols/x86 \
  --objdump i686-w64-mingw32-objdump --forbid-path "$root" --junit "$results/contract.xml" \
  --maps build/x86 --notices THIRD-PARTY-NOTICES.md --kit "dist/${kits[0]}"
/usr/bin/python3 tests/contract/check_binaries.py --dist dist/x64 --symbols dist/symbols/x64 --arch x64 \
  --objdump x86_64-w64-mingw32-objdump --junit "$results/contract_x64.xml"
suites+=(contract contract_x64)

echo "== Licensing of the sources, and the summary's account of reruns"
if reuse lint >"$results/reuse-lint.txt" 2>&1; then
  junit_case reuse_lint compliant
else
  grep -v '^$' "$results/reuse-lint.txt" | head -40
  junit_case reuse_lint compliant "reuse lint found files without licensing or copyright; see above"
fi
if /usr/bin/python3 tests/summarize_results.py --self-check; then
  junit_case summary_self_check reports_reruns
else
  junit_case summary_self_check reports_reruns "the summary miscounts made-up results; see above"
fi

echo "== Links and anchors in the project's Markdown"
if /usr/bin/python3 scripts/check_links.py; then
  junit_case markdown_links resolve
else
  junit_case markdown_links resolve "a relative link or anchor in the Markdown leads nowhere; see above"
fi

echo "== The x86 builds in an emulated x86 machine"
if [ "${SKIP_X86_GUEST:-0}" = 1 ]; then
  echo "skipped (SKIP_X86_GUEST=1)"
else
  # The soak tests stay with the x64 twin: thousands of process starts take
  # hours under full emulation and prove nothing the twin does not.
  x86_programs=()
  for program in "${ctest_suites[@]}"; do
    [ "$program" = soak_tests ] || x86_programs+=("$program")
  done
  if ! tests/x86vm/x86-tier.sh "$results" "${x86_programs[@]}"; then
    junit_case x86_guest comes_back "the guest did not finish its job; see the serial log above"
  fi
  suites+=("${x86_programs[@]/#/x86_}")
fi

echo "== Rebuilding dist/x86, its symbols and the release kit from a copy of the sources in another folder"
# Build and kit outside the copied sources, whose SPDX bill must list the sources alone.
elsewhere=$(mktemp -d /tmp/rebuild-XXXXXX)
mkdir "$elsewhere/src"
git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$elsewhere/src"
if cmake -S "$elsewhere/src" -B "$elsewhere/out" -G Ninja -DCMAKE_BUILD_TYPE=Release \
     -DCMAKE_TOOLCHAIN_FILE="$elsewhere/src/cmake/toolchain-i686-w64-mingw32.cmake" \
     -DDIST_DIR="$elsewhere/dist/x86" -DSYMBOLS_DIR="$elsewhere/dist/symbols/x86" \
     -DINSTALLER_UTILITIES_TESTS=OFF >/dev/null &&
   cmake --build "$elsewhere/out" >/dev/null &&
   "${kit_identity[@]}" /usr/bin/python3 "$elsewhere/src/scripts/release_kit.py" "$elsewhere/out" "$elsewhere/dist" >/dev/null; then
  for file in x86/Tarbel.exe x86/Quorvane.dll symbols/x86/Tarbel.pdb symbols/x86/Quorvane.pdb "${kits[@]}"; do
    if cmp -s "dist/$file" "$elsewhere/dist/$file"; then
      junit_case "reproducible_${file##*/}" identical
    else
      junit_case "reproducible_${file##*/}" identical "rebuilt $file differs from dist/$file"
    fi
  done
else
  junit_case reproducible_build builds "the copy did not build, or its release kit could not be written"
fi
rm -rf "$elsewhere"

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
if [ "$(grep -c . "$signing/arguments.txt")" = 4 ] && ! grep -q throwaway "$signing/arguments.txt"; then
  junit_case signing_password_off_command_line kept_off
else
  junit_case signing_password_off_command_line kept_off "the password was on osslsigncode's command line"
fi
for file in "$signing"/dist/*; do
  name=$(basename "$file")
  if osslsigncode verify -CAfile "$signing/cert.pem" -in "$file" >"$signing/verify.txt" 2>&1; then
    junit_case "signed_$name" verifies
  else
    junit_case "signed_$name" verifies "$(tail -1 "$signing/verify.txt")"
  fi
done
# The signed library still loads and runs its entry points in a real installer session.
(cd build/x64/test-results &&
  WINEPREFIX="$root/build/x64/wineprefix" WINEDEBUG=-all INSTALLER_UTILITIES_DIST="$signing/dist" \
  INSTALLER_UTILITIES_PACKAGES="$root/build/x64/tests/packages" \
  /usr/lib/wine/wine64 ../tests/bin/custom_action_tests.exe --gtest_filter='*Terminate*:*Appdir*:*Publishes*' \
    --gtest_output=xml:signed_library.xml >/dev/null 2>&1)
cp build/x64/test-results/signed_library.xml "$results/" 2>/dev/null
suites+=(signed_library)
rm -rf "$signing"

echo "== Summary"
/usr/bin/python3 tests/summarize_results.py "$results" "${suites[@]}"
