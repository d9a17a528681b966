#!/usr/bin/env bash
# SPDX-FileCopyrightText: the Installer utilities authors
# SPDX-License-Identifier: MIT
# lint.sh format | tidy PRESET | shell | python: the format check of every C and
# C++ file, clang-tidy over the project's sources in the preset's compile
# database, shellcheck over every shell script, or pyflakes over every Python
# file; prints each finding and exits non-zero on any. The x86 run reads the shipped product's
# sources and only the tests that name an architecture: the others differ there
# only in the types' sizes, which the strict x86 build's warnings already cover.
set -euo pipefail
cd "$(dirname "$0")/.."

case ${1:-} in
format)
  git ls-files -z '*.c' '*.cpp' '*.h' | xargs -0 clang-format-19 --dry-run --Werror
  ;;
tidy)
  database="build/${2:?name the preset}/compile_commands.json"
  [ -f "$database" ] || { echo "lint: no $database; configure the preset first"; exit 1; }
  # The project's own translation units in the database; GoogleTest is not ours.
  mapfile -t sources < <(/usr/bin/python3 -c '
import json, os, sys
root = os.getcwd()
for entry in json.load(open(sys.argv[1])):
    path = os.path.relpath(os.path.join(entry["directory"], entry["file"]), root)
    if path.startswith(("Utility/", "tests/")) and path.endswith(".cpp"):
        print(path)' "$database" | sort -u)
  if [ "$2" = x86 ]; then
    mapfile -t sources < <(printf '%s\n' "${sources[@]}" | grep '^Utility/'
      printf '%s\0' "${sources[@]}" | xargs -0 grep -l -E '__(x86_64|i386)__' | grep '^tests/')
  fi
  # WarningsAsErrors makes clang-tidy exit non-zero on any finding; xargs passes that on.
  status=0
  printf '%s\0' "${sources[@]}" | xargs -0 -P "$(nproc)" -n 4 clang-tidy-19 -p "build/$2" --quiet \
    2>/dev/null || status=$?
  echo "lint: clang-tidy read ${#sources[@]} files of preset $2"
  exit "$status"
  ;;
shell)
  # -x follows the files the scripts source. Nothing is left out.
  git ls-files -z '*.sh' .ci/run | xargs -0 shellcheck -x
  ;;
python)
  git ls-files -z '*.py' | xargs -0 pyflakes3
  ;;
*)
  echo "usage: lint.sh format | tidy PRESET | shell | python"
  exit 2
  ;;
esac
