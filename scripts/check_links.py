#!/usr/bin/python3
# SPDX-FileCopyrightText: the Installer utilities authors
# SPDX-License-Identifier: MIT
"""Checks that every relative link in the project's Markdown, and its anchor, leads somewhere.

Usage: check_links.py [FILE.md...]  (default: the project's own Markdown). Anchors are GitHub's:
a heading lowercased, punctuation dropped, spaces made hyphens, a repeat numbered -1, -2, ...
Prints each broken link and exits 1 when there is one.
"""
import glob
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT = ["README.md", "CONTRIBUTING.md", "CHANGELOG.md", "THIRD-PARTY-NOTICES.md", "tests/x86vm/README.md",
           *sorted(os.path.relpath(p, ROOT) for p in glob.glob(os.path.join(ROOT, "docs", "*.md")))]


def prose(path, inline_code=False):
    """The file's lines outside fenced code blocks; inline code taken out unless asked for (a heading keeps it)."""
    with open(path, encoding="utf-8") as f:
        lines = re.sub(r"(?ms)^ *```.*?^ *```", "", f.read()).splitlines()
    return lines if inline_code else [re.sub(r"`[^`]*`", "", line) for line in lines]


def anchors(path):
    seen, found = {}, set()
    for heading in filter(None, (re.match(r"#{1,6} +(.*?) *#*$", line) for line in prose(path, True))):
        slug = re.sub(r"[^\w\- ]", "", heading.group(1).replace("`", "").lower()).replace(" ", "-")
        found.add(slug if slug not in seen else "%s-%d" % (slug, seen[slug]))
        seen[slug] = seen.get(slug, 0) + 1
    return found


def broken(path):
    for target in re.findall(r"\]\(([^)\s]+)\)", "\n".join(prose(path))):
        if re.match(r"[a-z]+:", target):
            continue  # an address elsewhere: not checked here
        file, _, anchor = target.partition("#")
        resolved = os.path.normpath(os.path.join(os.path.dirname(path), file)) if file else path
        if not os.path.exists(resolved):
            yield "%s: %s: no such file" % (os.path.relpath(path, ROOT), target)
        elif anchor and (not resolved.endswith(".md") or anchor not in anchors(resolved)):
            yield "%s: %s: no such anchor" % (os.path.relpath(path, ROOT), target)


def main():
    problems = [p for f in sys.argv[1:] or DEFAULT for p in broken(os.path.join(ROOT, f))]
    print("\n".join(problems) or "every relative link and anchor resolves")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
