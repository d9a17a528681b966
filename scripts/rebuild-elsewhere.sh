#!/usr/bin/env bash
# SPDX-FileCopyrightText: the Installer utilities authors
# SPDX-License-Identifier: MIT
# rebuild-elsewhere.sh: copies the sources to another folder and builds them there, in a time
# zone far from UTC and with a private umask (build-kits.sh); the shipped images, their PDBs and
# the three kits must come out byte-identical to this checkout's. The builds and kits go outside
# the copied sources, whose SPDX bill must list the sources alone.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
elsewhere=$(mktemp -d /tmp/rebuild-XXXXXX)
trap 'rm -rf "$elsewhere"' EXIT
mkdir "$elsewhere/src"
git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$elsewhere/src"
# Both name this checkout's commit, which the copy is not.
read -r SOURCE_COMMIT SOURCE_DATE_EPOCH < <(/usr/bin/python3 scripts/release_kit.py --identity)
export SOURCE_COMMIT SOURCE_DATE_EPOCH
if ! (umask 077 && TZ=Pacific/Kiritimati "$elsewhere/src/scripts/build-kits.sh" "$elsewhere/src" "$elsewhere") \
    >"$elsewhere/build.txt" 2>&1; then
  grep -v '^$' "$elsewhere/build.txt" | tail -20
  echo "the copy did not build, or its kits could not be written"
  exit 1
fi
# The members that differ, of two archives.
members='import sys, zipfile
a, b = ({i.filename: i.CRC for i in zipfile.ZipFile(p).infolist()} for p in sys.argv[1:3])
print(", in " + ", ".join(sorted(n for n in a.keys() | b.keys() if a.get(n) != b.get(n))), end="")'
status=0
cd dist
for file in x86/* symbols/x86/* installer-utilities-"$(cat ../build/x86/VERSION)"*.zip; do
  if cmp -s "$file" "$elsewhere/dist/$file"; then
    echo "identical: $file"
  else
    status=1
    echo "DIFFERS: $file$([[ $file != *.zip ]] || /usr/bin/python3 -c "$members" "$file" "$elsewhere/dist/$file")"
  fi
done
exit "$status"
