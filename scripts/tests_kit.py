#!/usr/bin/python3
# SPDX-FileCopyrightText: the Installer utilities authors
# SPDX-License-Identifier: MIT
"""Writes the test kit: DIST_DIR/installer-utilities-VERSION-tests.zip, to run the tests on Windows.

Usage: tests_kit.py ROOT_DIR DIST_DIR
ROOT_DIR holds build/x86 and build/x64 (test programs, stand-in child, packages and setups);
DIST_DIR holds x86/ (the shipped images) and x64/ (their twins). In the archive, under
installer-utilities-VERSION-tests/: run-tests.cmd, and for each architecture ARCH/bin (the
test programs and the stand-in child), ARCH/dist (the images under test) and ARCH/packages.
Byte-reproducible, with the release kit's source date (SOURCE_DATE_EPOCH, or the commit's).
"""
import os
import sys
from pathlib import Path

from release_kit import shipped_images, source_identity, write_zip

HERE = os.path.dirname(os.path.abspath(__file__))


def members_of(root, dist, arch):
    """{ARCH/name: bytes} for one architecture."""
    build = os.path.join(root, "build", arch, "tests")
    members = {arch + "/dist/" + f: Path(dist, arch, f).read_bytes()
               for f in shipped_images(os.path.join(root, "build", "x86"))}
    for folder, wanted in (("bin", (".exe",)), ("packages", (".msi", ".exe"))):
        names = sorted(f for f in os.listdir(os.path.join(build, folder)) if f.endswith(wanted))
        if not names:
            raise SystemExit("tests kit: nothing in %s/%s; build the %s preset first" % (build, folder, arch))
        members.update({"%s/%s/%s" % (arch, folder, f): Path(build, folder, f).read_bytes() for f in names})
    return members


def main():
    root, dist = (os.path.abspath(p) for p in sys.argv[1:3])
    version = Path(root, "build", "x86", "VERSION").read_text().strip()
    name = "installer-utilities-%s-tests" % version
    # cmd.exe reads a batch file line by line, and a label only reliably with CR LF endings.
    runner = Path(HERE, "run-tests.cmd").read_bytes().replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
    members = {"run-tests.cmd": runner, **members_of(root, dist, "x86"), **members_of(root, dist, "x64")}
    write_zip(dist, name, members, source_identity()[1])
    print("tests kit: %s/%s.zip" % (dist, name))


if __name__ == "__main__":
    main()
