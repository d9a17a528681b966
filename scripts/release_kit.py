#!/usr/bin/python3
# SPDX-FileCopyrightText: the Installer utilities authors
# SPDX-License-Identifier: MIT
"""Writes the release kit of an x86 build: DIST/installer-utilities-VERSION.zip and its -symbols.zip.

The archive holds, beside the images and documents, BUILDINFO, an SPDX bill of the sources and a
CycloneDX 1.5 SBOM of the images (installer-utilities-VERSION.cdx.json); BUILDINFO and the SBOM
come from one reading of the linker's maps, and the SBOM's licences from THIRD-PARTY-NOTICES.md.

Usage: release_kit.py BUILD_DIR DIST_DIR | --identity
BUILD_DIR is the x86 build tree (its project version, linker maps and unsigned images);
DIST_DIR holds x86/ (the shipped images, signed or not) and symbols/x86/ (the PDBs).
The commit and the source date come from git, or from SOURCE_COMMIT and SOURCE_DATE_EPOCH
when the sources are not a checkout. Both archives are byte-reproducible.
"""
import hashlib
import json
import os
import platform
import re
import subprocess
import sys
import time
import urllib.parse
import uuid
import zipfile
from pathlib import Path

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DOCUMENTS = ["README.md", "CONTRIBUTING.md", "LICENSE", "THIRD-PARTY-NOTICES.md", "CHANGELOG.md"]
EXAMPLES = ["examples/quorvane-actions.wxs", "examples/prerequisites.nsi"]
TRIPLE = "i686-w64-mingw32"
TOOLCHAIN = ["clang-19", "lld-19", "llvm-19", "libllvm19", "cmake", "ninja-build",
             "g++-mingw-w64-i686-win32", "gcc-mingw-w64-i686-win32", "gcc-mingw-w64-base",
             "mingw-w64-common", "mingw-w64-i686-dev", "binutils-mingw-w64-i686", "binutils",
             "reuse", "python%d.%d" % sys.version_info[:2], "zlib1g"]  # the interpreter running this

# lld's /map: "SECTION:OFFSET  SYMBOL  ADDRESS  [ARCHIVE:]OBJECT" per symbol; <absolute> and the like name no file.
MAP_SYMBOL = re.compile(r"^ [0-9a-f]{4}:[0-9a-f]{8} +\S+ +[0-9a-f]{16} +([^<\s]\S*)$", re.M)
# dlltool's members of an import library: only the names of a Windows DLL's functions.
IMPORT_ENTRY = re.compile(r"^\w*?(s\d+|h|t)\.o$")
# The project's own objects, as CMake names them, and the frame list's end under the name lld needs.
OWN_OBJECT = re.compile(r"\.(obj|res)$|^frame_list_crtend\.o$")


def linked_files(map_path):
    """Names of the library archives and lone objects that gave an image code or data."""
    files = set()
    for m in MAP_SYMBOL.finditer(Path(map_path).read_text(encoding="utf-8", errors="replace")):
        archive, _, member = m.group(1).rpartition(":")
        if archive and not (member.startswith(archive) and IMPORT_ENTRY.match(member[len(archive):])):
            files.add(archive + ".a")
        elif not archive and not OWN_OBJECT.search(member):
            files.add(member)
    return files


def run(*command):
    return subprocess.run(command, check=True, capture_output=True, text=True, cwd=ROOT).stdout.strip()


def sha256(path):
    return hashlib.sha256(Path(path).read_bytes()).hexdigest()


def shipped_images(build):
    """The shipped images' file names, each its CMake target's name and suffix, as BUILD/IMAGES lists them."""
    return Path(build, "IMAGES").read_text().split()


def linked_libraries(build):
    """One reading of the linker's maps, for BUILDINFO, the SBOM and the notices' licences:
    {image: [linked file names]} and, for each file, its path and Debian package (name, version, arch)."""
    linked = {f: sorted(linked_files(os.path.join(build, Path(f).stem + ".map"))) for f in shipped_images(build)}
    found = {}
    for name in sorted(set().union(*linked.values())):
        path = os.path.realpath(run("clang-19", "--target=" + TRIPLE, "-print-file-name=" + name))
        package = run("dpkg", "-S", path).split(":")[0]
        found[name] = (path, *run("dpkg-query", "-W", "-f=${Package} ${Version} ${Architecture}", package).split())
    return linked, found


def notice_licences():
    """{linked file: SPDX expression} from the table of THIRD-PARTY-NOTICES.md."""
    notices = Path(ROOT, "THIRD-PARTY-NOTICES.md").read_text(encoding="utf-8")
    return {name: licence for files, licence in re.findall(r"(?m)^\| (`.+?) \| .+? \| (.+?) \| .+? \|$", notices)
            for name in re.findall(r"`([^`]+)`", files)}


def sbom_document(name, version, built, linked, found, created):
    """CycloneDX 1.5: the images as built, the runtime files linked into them, and which holds which."""
    licences = notice_licences()
    components = [{"type": "application" if f.endswith(".exe") else "library", "bom-ref": f, "name": f,
                   "version": version, "hashes": [{"alg": "SHA-256", "content": sha256(built[f])}],
                   "licenses": [{"license": {"id": "MIT"}}]} for f in sorted(linked)]
    for lib, (path, package, deb_version, arch) in sorted(found.items()):
        components.append({
            "type": "library", "bom-ref": "linked:" + lib, "name": lib, "version": deb_version,
            "description": "%s from Debian's %s" % (path, package),
            "hashes": [{"alg": "SHA-256", "content": sha256(path)}],
            "licenses": [{"expression": licences[lib]}],
            "purl": "pkg:deb/debian/%s@%s?arch=%s" % (package, urllib.parse.quote(deb_version, safe=":~"), arch)})
    dependencies = [{"ref": name, "dependsOn": sorted(linked)}]
    dependencies += [{"ref": f, "dependsOn": ["linked:" + lib for lib in linked[f]]} for f in sorted(linked)]
    dependencies += [{"ref": "linked:" + lib, "dependsOn": []} for lib in sorted(found)]
    bom = {"bomFormat": "CycloneDX", "specVersion": "1.5", "version": 1,
           "metadata": {"timestamp": created, "component": {
               "type": "application", "bom-ref": name, "name": "installer-utilities", "version": version,
               "licenses": [{"license": {"id": "MIT"}}]}},
           "components": components, "dependencies": dependencies}
    # Reproducible: the serial number is a name-based UUID of the content itself.
    content = json.dumps(bom, sort_keys=True, separators=(",", ":"))
    bom = {"$schema": "http://cyclonedx.org/schema/bom-1.5.schema.json", "bomFormat": "CycloneDX",
           "specVersion": "1.5", "serialNumber": uuid.uuid5(uuid.NAMESPACE_URL, content).urn, **bom}
    return (json.dumps(bom, indent=2) + "\n").encode("utf-8")


def source_identity():
    commit = os.environ.get("SOURCE_COMMIT")
    if commit is None:
        commit = run("git", "rev-parse", "HEAD")
        if run("git", "status", "--porcelain", "--untracked-files=no"):
            commit += "-modified"
    return commit, int(os.environ.get("SOURCE_DATE_EPOCH") or run("git", "log", "-1", "--format=%ct"))


def spdx_document(name, commit, created):
    # reuse writes a random namespace, the time of the run and the folder's name: all fixed here.
    text = run("reuse", "--root", ROOT, "spdx")
    namespace = "https://spdx.org/spdxdocs/%s-%s" % (name, commit)
    for tag, value in (("DocumentName", name), ("DocumentNamespace", namespace), ("Created", created)):
        text = re.sub(r"(?m)^%s: .*$" % tag, "%s: %s" % (tag, value), text)
    return (text + "\n").encode("utf-8")


def write_zip(dist, folder, members, epoch):
    """DIST/FOLDER.zip of members, {name under FOLDER/: bytes}: sorted, with one fixed time and fixed permissions."""
    path = os.path.join(dist, folder + ".zip")
    stamp = time.gmtime(max(epoch, 315532800))[:6]  # a zip cannot date before 1980
    with zipfile.ZipFile(path + ".part", "w") as z:
        for name in sorted(members):
            info = zipfile.ZipInfo(folder + "/" + name, stamp)
            info.create_system, info.external_attr = 3, 0o100644 << 16  # a plain file, rw-r--r--
            z.writestr(info, members[name], compress_type=zipfile.ZIP_DEFLATED, compresslevel=9)
    os.replace(path + ".part", path)


def main():
    if sys.argv[1:] == ["--identity"]:  # for a copy of the sources elsewhere: SOURCE_COMMIT SOURCE_DATE_EPOCH
        print(*source_identity())
        return
    build, dist = (os.path.abspath(p) for p in sys.argv[1:3])
    version = Path(build, "VERSION").read_text().strip()
    commit, epoch = source_identity()
    name, created = "installer-utilities-" + version, time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(epoch))
    images = shipped_images(build)
    pdbs = {Path(f).stem + ".pdb": os.path.join(dist, "symbols", "x86", Path(f).stem + ".pdb") for f in images}
    built = {f: os.path.join(build, "Utility", "InstallerUtilities", f) for f in images}
    linked, found = linked_libraries(build)
    # The release, not the point release: the package versions below are what must match.
    debian = platform.freedesktop_os_release()["VERSION"]
    buildinfo = [
        "Installer utilities %s" % version,
        "commit: %s" % commit,
        "source date: %s (SOURCE_DATE_EPOCH=%d, the commit's date): the time of every archive member."
        % (created, epoch),
        "The images and PDBs embed no time: their time stamps are 0.",
        "built on: Debian %s (x86-64), scripts/build.sh, CMake preset x86 (Release)" % debian,
        "",
        "toolchain (Debian packages):",
        *("  %-26s %s" % (p, run("dpkg-query", "-W", "-f=${Version}", p)) for p in TOOLCHAIN),
        "",
        "linked into the images (from the linker's maps; import entries for Windows' own DLLs left out):",
        *("  %-14s %s  %s %s" % (lib, path, package, deb_version)
          for lib, (path, package, deb_version, _) in sorted(found.items())),
        "",
        "SHA-256 as built, before any signature (what a rebuild must give):",
        *("  %s  %s" % (sha256(p), f) for f, p in sorted({**built, **pdbs}.items())),
    ]
    members = {f: Path(dist, "x86", f).read_bytes() for f in images}
    docs = sorted("docs/" + f for f in os.listdir(os.path.join(ROOT, "docs")) if f.endswith(".md"))
    members.update({p: Path(ROOT, p).read_bytes() for p in DOCUMENTS + docs + EXAMPLES})
    members["BUILDINFO"] = ("\n".join(buildinfo) + "\n").encode("utf-8")
    members[name + ".spdx"] = spdx_document(name, commit, created)
    members[name + ".cdx.json"] = sbom_document(name, version, built, linked, found, created)
    members["SHA256SUMS"] = "".join("%s  %s\n" % (hashlib.sha256(members[m]).hexdigest(), m)
                                    for m in sorted(members)).encode("ascii")
    write_zip(dist, name, members, epoch)
    write_zip(dist, name + "-symbols", {m: Path(p).read_bytes() for m, p in pdbs.items()}, epoch)
    print("release kit: %s/%s.zip and %s-symbols.zip" % (dist, name, name))


if __name__ == "__main__":
    main()
