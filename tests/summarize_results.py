#!/usr/bin/python3
# SPDX-FileCopyrightText: the Installer utilities authors
# SPDX-License-Identifier: MIT
"""Adds up the GoogleTest/JUnit XML results of every tier into one line.

Usage: summarize_results.py RESULTS_DIR EXPECTED_SUITE... | --self-check
A suite whose XML is missing (its program crashed or never ran) or unreadable counts as one failure.
RESULTS_DIR/reruns names, one a line, the suites whose program failed and ran a second time;
SUITE.first.xml, where the first run left one, holds that run's results.
"""
import contextlib
import io
import os
import sys
import tempfile
import xml.etree.ElementTree as ET
from pathlib import Path


def count(path):
    """(tests, failures, skipped, failed case names); raises ValueError naming an unreadable file."""
    try:
        root = ET.parse(path).getroot()
    except (ET.ParseError, OSError) as e:
        raise ValueError(f"{path}: {e}") from e
    suites = [root] if root.tag == "testsuite" else root.findall("testsuite")
    tests = skipped = 0
    failed_names = []
    for suite in suites:
        for case in suite.findall("testcase"):
            tests += 1
            if case.find("failure") is not None or case.find("error") is not None:
                failed_names.append(f"{suite.get('name')}.{case.get('name')}")
            elif case.find("skipped") is not None or case.get("status") == "notrun" \
                    or case.get("result") == "skipped":
                skipped += 1
    return tests, len(failed_names), skipped, failed_names


def summarize(results_dir, expected):
    passed = failed = skipped = 0
    for suite in expected:
        path = os.path.join(results_dir, suite + ".xml")
        try:
            tests, failures, skips, names = count(path)
        except ValueError as e:
            print(f"unreadable results: {suite} ({e})" if os.path.exists(path) else
                  f"missing results: {suite} (crashed or did not run)")
            failed += 1
            continue
        print(f"  {suite:<28} {tests:4} tests {failures:4} failures {skips:4} skipped")
        for name in names:
            print(f"    FAILED {name}")
        passed += tests - failures - skips
        failed += failures
        skipped += skips
    listed = Path(results_dir, "reruns")
    reruns = list(dict.fromkeys(filter(None, map(str.strip, listed.read_text().splitlines())))) \
        if listed.exists() else []
    for suite in reruns:
        first = os.path.join(results_dir, suite + ".first.xml")
        try:
            names = count(first)[3] if os.path.exists(first) else None
        except ValueError as e:
            names = [f"(its results are unreadable: {e})"]
        print(f"  RERUN {suite}: the first run " + (
            "left no results (crashed or did not start)" if names is None else
            "failed " + ", ".join(names) if names else "failed outside its test cases"))
    print(f"{passed} passed, {failed} failed, {len(reruns)} rerun" + (f", {skipped} skipped" if skipped else ""))
    return 1 if failed else 0


CASE = '<testsuite name="{0}"><testcase name="a"/><testcase name="b">{1}</testcase></testsuite>'
# (files in the results folder, lines the summary must print)
SELF_CHECKS = [
    ({"t.xml": CASE.format("t", "")}, ["2 passed, 0 failed, 0 rerun"]),
    ({"t.xml": CASE.format("t", ""), "t.first.xml": CASE.format("t", "<failure/>"), "reruns": "t\n"},
     ["  RERUN t: the first run failed t.b", "2 passed, 0 failed, 1 rerun"]),
    ({"t.xml": CASE.format("t", "<failure/>"), "reruns": "t\nt\n"},
     ["  RERUN t: the first run left no results (crashed or did not start)", "1 passed, 1 failed, 1 rerun"]),
    ({"t.xml": '<testsuite name="t"><failure message="a & b"/>'}, ["0 passed, 1 failed, 0 rerun"]),
]


def self_check():
    """Runs the summary on made-up results; prints what it got wrong, returns 1 if anything."""
    wrong = 0
    for files, want in SELF_CHECKS:
        with tempfile.TemporaryDirectory() as folder, contextlib.redirect_stdout(io.StringIO()) as out:
            for name, text in files.items():
                Path(folder, name).write_text(text)
            summarize(folder, ["t"])
        missing = [line for line in want if line not in out.getvalue().splitlines()]
        if missing:
            wrong = 1
            print(f"summary of {sorted(files)} lacks {missing}; it printed:\n{out.getvalue()}")
    return wrong


if __name__ == "__main__":
    sys.exit(self_check() if sys.argv[1:] == ["--self-check"] else summarize(sys.argv[1], sys.argv[2:]))
